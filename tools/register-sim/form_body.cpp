#include "form_body.h"

#include <cjson/cJSON.h>

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <memory>

namespace sim {

namespace {

bool startsWithAt(const std::string& text, size_t position, const std::string& prefix) {
  return text.compare(position, prefix.size(), prefix) == 0;
}

std::string trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// A field "&name=" expected at `position`; its value runs to the next "&". Moves past it.
std::optional<std::string> takeShortField(const std::string& body, size_t& position,
                                          const std::string& name) {
  const std::string marker = "&" + name + "=";
  if (!startsWithAt(body, position, marker)) return std::nullopt;
  const size_t start = position + marker.size();
  size_t end = body.find('&', start);
  if (end == std::string::npos) end = body.size();
  position = end;
  return body.substr(start, end - start);
}

// The last character before `position` that is not white space, npos when there is none.
size_t lastVisibleBefore(const std::string& text, size_t position) {
  if (position == 0) return std::string::npos;
  return text.find_last_not_of(" \t\r\n", position - 1);
}

std::optional<std::string> stringMember(const cJSON* object, const char* name) {
  const cJSON* member = cJSON_GetObjectItemCaseSensitive(object, name);
  if (!cJSON_IsString(member) || member->valuestring == nullptr) return std::nullopt;
  return std::string(member->valuestring);
}

}  // namespace

std::string keyOf(const std::string& body) {
  size_t start = 0;
  if (startsWithAt(body, 0, "key="))
    start = 4;
  else if (startsWithAt(body, 0, "&key="))
    start = 5;
  else
    return "";
  const size_t end = body.find('&', start);
  return body.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

std::string printTextOf(const std::string& body) {
  static const std::string kMarker = "&print=";
  if (!startsWithAt(body, 0, "key=")) return "";
  const size_t keyEnd = body.find('&');
  if (keyEnd == std::string::npos || !startsWithAt(body, keyEnd, kMarker)) return "";
  return body.substr(keyEnd + kMarker.size());
}

std::optional<std::string> simpleField(const std::string& body, const std::string& name) {
  size_t start = 0;
  while (start <= body.size()) {
    size_t end = body.find('&', start);
    if (end == std::string::npos) end = body.size();
    const std::string field = body.substr(start, end - start);
    const size_t equals = field.find('=');
    if (equals != std::string::npos && trimmed(field.substr(0, equals)) == name)
      return trimmed(field.substr(equals + 1));
    start = end + 1;
  }
  return std::nullopt;
}

std::optional<SaleForm> parseSaleForm(const std::string& body) {
  SaleForm form;
  if (!startsWithAt(body, 0, "key=")) return std::nullopt;
  size_t position = body.find('&');
  if (position == std::string::npos) position = body.size();
  form.key = body.substr(4, position - 4);

  form.tax = takeShortField(body, position, "tax");
  form.amount = takeShortField(body, position, "sale");
  if (!form.amount) {
    form.amount = takeShortField(body, position, "saleReturn");
    form.isReturn = form.amount.has_value();
  }
  form.cash = takeShortField(body, position, "cash");
  form.bank = takeShortField(body, position, "bank");
  form.tara = takeShortField(body, position, "tara");
  form.credit = takeShortField(body, position, "credit");

  // The item array ends with "]"; a print text may follow it. Item names hold no "&", so the
  // first "]&print=" is where the array ends.
  static const std::string kItems = "&itemdata=";
  static const std::string kPrint = "&print=";
  if (startsWithAt(body, position, kItems)) {
    const size_t start = position + kItems.size();
    const size_t closing = body.find("]" + kPrint, start);
    const size_t end = closing == std::string::npos ? body.size() : closing + 1;
    form.itemData = body.substr(start, end - start);
    position = end;
  }
  if (startsWithAt(body, position, kPrint)) {
    form.print = body.substr(position + kPrint.size());
    position = body.size();
  }
  if (position != body.size()) return std::nullopt;
  return form;
}

std::optional<std::vector<Item>> parseItemArray(const std::string& text) {
  std::string json = text;
  const size_t closing = json.find_last_not_of(" \t\r\n");
  if (closing == std::string::npos || json[closing] != ']') return std::nullopt;
  // Only the comma that follows the last object goes; "[," or ",," stay as broken as they are.
  const size_t comma = lastVisibleBefore(json, closing);
  if (comma != std::string::npos && json[comma] == ',') {
    const size_t object = lastVisibleBefore(json, comma);
    if (object != std::string::npos && json[object] == '}') json.erase(comma, 1);
  }

  std::unique_ptr<cJSON, decltype(&cJSON_Delete)> root(cJSON_Parse(json.c_str()), cJSON_Delete);
  if (!cJSON_IsArray(root.get())) return std::nullopt;
  std::vector<Item> items;
  for (const cJSON* entry = root->child; entry != nullptr; entry = entry->next) {
    if (!cJSON_IsObject(entry)) return std::nullopt;
    const auto name = stringMember(entry, "name");
    const auto price = stringMember(entry, "price");
    const auto quantity = stringMember(entry, "qty");
    const auto sum = stringMember(entry, "sum");
    const auto taxId = stringMember(entry, "taxid");
    if (!name || !price || !quantity || !sum || !taxId) return std::nullopt;
    Item item;
    item.name = *name;
    item.taxId = *taxId;
    const auto priceValue = parseAmount(*price);
    const auto quantityValue = parseAmount(*quantity);
    const auto sumValue = parseAmount(*sum);
    if (!priceValue || !quantityValue || !sumValue) return std::nullopt;
    item.price = *priceValue;
    item.quantity = *quantityValue;
    item.sum = *sumValue;
    if (cJSON_GetObjectItemCaseSensitive(entry, "excise") != nullptr) {
      const auto excise = stringMember(entry, "excise");
      if (!excise) return std::nullopt;
      item.excise = *excise;
    }
    items.push_back(item);
  }
  return items;
}

std::optional<double> parseAmount(const std::string& text) {
  // strtod would also take hexadecimal, "inf", "nan" and leading blanks; the driver writes none.
  if (text.empty()) return std::nullopt;
  for (const char c : text)
    if (!std::isdigit(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != '+' &&
        c != 'e')
      return std::nullopt;
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (*end != '\0' || !std::isfinite(value)) return std::nullopt;
  return value;
}

}  // namespace sim
