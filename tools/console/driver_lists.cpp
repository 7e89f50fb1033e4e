#include "driver_lists.h"

#include <regex>
#include <string_view>

namespace console {

namespace {

// The console option that hands each setting to the driver.
std::string optionFor(const std::string& setting) {
  static const std::pair<std::string_view, std::string_view> kOptions[] = {
      {"Eprint", "--line-length N"}, {"Ipdest", "--ip ADDR"},        {"LoginTavix", "--login N"},
      {"PassTavix", "--password N"}, {"WebapiTAVIX", "--key N"},     {"TaxTavix", "--tax N"},
      {"MultiTax", "--multitax"},    {"NoFiskal", "--slip-printer"},
  };
  for (const auto& [name, option] : kOptions)
    if (name == setting) return std::string(option);
  return "";
}

}  // namespace

std::vector<std::string> settingsLines(const std::string& settingsXml) {
  static const std::regex kParameter(
      R"re(<Parameter Name="([^"]*)" Caption="([^"]*)" TypeValue="([^"]*)" DefaultValue="([^"]*)"/>)re");
  static const std::regex kChoiceList(R"re(^<ChoiceList>(.*?)</ChoiceList>)re");
  static const std::regex kItem(R"re(<Item Value="([^"]*)">([^<]*)</Item>)re");
  std::vector<std::string> lines;
  for (auto found = std::sregex_iterator(settingsXml.begin(), settingsXml.end(), kParameter);
       found != std::sregex_iterator(); ++found) {
    const std::smatch& parameter = *found;
    std::string line = parameter[1].str() + " (" + parameter[3].str() + ", default " +
                       parameter[4].str() + "): " + parameter[2].str();
    const std::string option = optionFor(parameter[1].str());
    if (!option.empty()) line += "   [" + option + "]";
    lines.push_back(line);
    // The form's choices for a setting follow its element directly.
    const std::string after = parameter.suffix().str();
    std::smatch choices;
    if (std::regex_search(after, choices, kChoiceList)) {
      const std::string list = choices[1].str();
      std::string choiceLine = "  choices:";
      for (auto item = std::sregex_iterator(list.begin(), list.end(), kItem);
           item != std::sregex_iterator(); ++item)
        choiceLine += " " + (*item)[1].str() + " = " + (*item)[2].str() + ";";
      if (choiceLine.back() == ';') choiceLine.pop_back();
      lines.push_back(choiceLine);
    }
  }
  return lines;
}

std::vector<std::string> actionLines(const std::string& actionsXml) {
  static const std::regex kAction(R"re(<Action Name="([^"]*)" Caption="([^"]*)"/>)re");
  std::vector<std::string> lines;
  for (auto found = std::sregex_iterator(actionsXml.begin(), actionsXml.end(), kAction);
       found != std::sregex_iterator(); ++found)
    lines.push_back((*found)[1].str() + ": " + (*found)[2].str() + "   [action " +
                    (*found)[1].str() + "]");
  return lines;
}

}  // namespace console
