// The driver's own service actions, offered by the platform as additional actions.
//
// Each action asks the register one thing or sends it one service command and shows the answer
// as a message; a failed request shows as a word in the message, never as a failed method, since
// the platform's service form has nothing to do with a false result.
#include <string>

#include "addin/component.h"
#include "addin/host_values.h"
#include "addin/identity.h"

namespace {

// One line, the platform reads it as it is. The ShiftStatus caption begins with a Latin "C", as
// the technicians have always seen it.
constexpr char16_t kActionsXml[] =
    u"<?xml version=\"1.0\" encoding=\"UTF-8\" ?><Actions>"
    u"<Action Name=\"ShiftID\" Caption=\"Номер текущей смены\"/>"
    u"<Action Name=\"ShiftStatus\" Caption=\"Cостояние смены (opened | closed)\"/>"
    u"<Action Name=\"TaxSetting\" Caption=\"Код налогов\"/>"
    u"<Action Name=\"terminalDateTime\" Caption=\"Текущее время на терминале\"/>"
    u"<Action Name=\"DetailsSetting\" Caption=\"Детальная информация\"/>"
    u"<Action Name=\"disableWebMgmt\" Caption=\"Выключить Web интерфейс\"/>"
    u"<Action Name=\"lockhost\" Caption=\"Ограничить доступ по IP\"/>"
    u"<Action Name=\"applicationVersion\" Caption=\"Номер текущей прошивки\"/>"
    u"</Actions>";

enum class Request { ShortInfo, FullInfo, TaxTable, Keyed };

struct Action {
  const char16_t* name;
  Request request;
  const char* target;  // the info member, or the path of a keyed request
  const char16_t* source;
};

// The info actions show "0" for a value the register did not give; the others name the failure.
constexpr Action kActions[] = {
    {u"ShiftID", Request::ShortInfo, "currentShiftID", u"Номер текущей смены "},
    {u"ShiftStatus", Request::ShortInfo, "currentShiftStatus", u"Состояние смены "},
    {u"terminalDateTime", Request::ShortInfo, "terminalDateTime",
     u"Текущея дата и время на терминале"},
    {u"applicationVersion", Request::FullInfo, "applicationVersion", u"Номер текущей прошивки "},
    {u"TaxSetting", Request::TaxTable, nullptr, nullptr},
    {u"DetailsSetting", Request::Keyed, "/apicheck/getInfo", kMessageSource},
    {u"disableWebMgmt", Request::Keyed, "/apicheck/?disableWebMgmt=true", kMessageSource},
    {u"lockhost", Request::Keyed, "/apicheck/?lockhost=true", kMessageSource},
};

}  // namespace

bool Tavixfr::getAdditionalActions(tVariant* result, tVariant* actionsXml) {
  returnWideText(memoryManager, actionsXml, kActionsXml);
  returnBool(result, true);
  return true;
}

bool Tavixfr::doAdditionalAction(tVariant* result, tVariant* actionName) {
  if (result == nullptr) return true;
  returnBool(result, true);
  const std::u16string name = variantToWide(*actionName);
  for (const Action& action : kActions) {
    if (name != action.name) continue;
    // The register's texts are UTF-8; a broken one is shown with its bad bytes marked.
    switch (action.request) {
      case Request::ShortInfo:
        report(action.source, utf8ToWideLenient(worker->getInfoMinimum(action.target)));
        break;
      case Request::FullInfo:
        report(action.source, utf8ToWideLenient(worker->getInfo(action.target)));
        break;
      case Request::TaxTable:
        if (worker->loadTaxTable()) {
          report(u"Список налогов {Значение налога : Код налога} ",
                 utf8ToWideLenient(worker->settings.taxMap));
        } else {
          report(u"Код налогов ", u"Not found");
        }
        break;
      case Request::Keyed:
        report(action.source, worker->sendKeyed(action.target)
                                  ? utf8ToWideLenient(worker->settings.errorBody)
                                  : u"не найден");
        break;
    }
    break;
  }
  return true;
}
