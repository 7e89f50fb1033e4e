// What the driver says about itself, the settings page the platform builds from it, and how each
// setting the technician enters reaches the driver.
#include <string>

#include "addin/component.h"
#include "addin/host_values.h"
#include "addin/identity.h"

namespace {

constexpr char16_t kDescription[] =
    u"Требуется ввести IP адрес Tavix, Код и Пароль администратора Tavix и Код налога определяет "
    u"ставку установленную на аппарате (с НДС или без НДС), при указании параметра Web-API ключа "
    u"- код и пароль администратора не требуется";
constexpr char16_t kEquipmentKind[] = u"ФискальныйРегистратор";
constexpr int32_t kInterfaceRevision = 2006;

// The address the form offers is a private one, as a shop's network hands out; the technician
// replaces it with the register's own.
constexpr char16_t kSettingsXml[] =
    u"<?xml version=\"1.0\" encoding=\"UTF-8\" ?>"
    u"<Settings><Page Caption=\"Параметры\"><Group Caption=\"Параметры подключения\">"
    u"<Parameter Name=\"Eprint\" Caption=\"Кол-во символов в строке\" TypeValue=\"Number\" "
    u"DefaultValue=\"24\"/>"
    u"<ChoiceList>"
    u"<Item Value=\"24\">нормальный 24 символа</Item>"
    u"<Item Value=\"32\">маленький 32 символа</Item>"
    u"<Item Value=\"19\">крупный 19 символов</Item>"
    u"<Item Value=\"42\">42 символа внешний принтер 80 мм бумага</Item>"
    u"<Item Value=\"30\">30 символов внешний принтер 57 мм бумага</Item>"
    u"<Item Value=\"40\">40 символов внешний принтер 57 мм бумага</Item>"
    u"</ChoiceList>"
    u"<Parameter Name=\"Ipdest\" Caption=\"IP адрес\" TypeValue=\"String\" "
    u"DefaultValue=\"192.168.1.100\"/>"
    u"<Parameter Name=\"LoginTavix\" Caption=\"Код АДМИНИСТРАТОРА\" TypeValue=\"Number\" "
    u"DefaultValue=\"1\"/>"
    u"<Parameter Name=\"PassTavix\" Caption=\"Пароль АДМИНИСТРАТОРА\" TypeValue=\"Number\" "
    u"DefaultValue=\"583\"/>"
    u"<Parameter Name=\"WebapiTAVIX\" Caption=\"или Web-API ключ\" TypeValue=\"Number\" "
    u"DefaultValue=\"60418253\"/>"
    u"<Parameter Name=\"TaxTavix\" Caption=\"Код налога по-умолчанию\" TypeValue=\"Number\" "
    u"DefaultValue=\"1\"/>"
    u"<Parameter Name=\"MultiTax\" Caption=\"Использовать несколько налогов, ТРЕБУЕТСЯ прошивка "
    u"102305 и выше\" TypeValue=\"Boolean\" DefaultValue=\"false\"/>"
    u"<Parameter Name=\"NoFiskal\" Caption=\"Использовать принтер для слипов\" "
    u"TypeValue=\"Boolean\" DefaultValue=\"false\"/>"
    u"</Group></Page></Settings>";

}  // namespace

bool Tavixfr::getVersion(tVariant* result) {
  if (result != nullptr) returnWideText(memoryManager, result, kVersionText);
  return true;
}

bool Tavixfr::getDescription(tVariant* result, tVariant* outputs) {
  returnWideText(memoryManager, &outputs[0], kExtensionName);
  returnWideText(memoryManager, &outputs[1], kDescription);
  returnWideText(memoryManager, &outputs[2], kEquipmentKind);
  returnTaggedInt(&outputs[3], kInterfaceRevision, VTYPE_I4);
  returnBool(&outputs[4], false);
  returnBool(&outputs[5], false);
  returnWideText(memoryManager, &outputs[6], u"");
  returnBool(result, true);
  return true;
}

bool Tavixfr::getParameters(tVariant* result, tVariant* settingsXml) {
  returnWideText(memoryManager, settingsXml, kSettingsXml);
  returnBool(result, true);
  return true;
}

bool Tavixfr::setParameter(tVariant* result, tVariant* name, tVariant* value) {
  if (result == nullptr) return true;
  const std::u16string setting = variantToWide(*name);
  WorkerSettings& settings = worker->settings;
  if (setting == u"Ipdest") {
    settings.ip = variantToUtf8(*value);
  } else if (setting == u"NoFiskal") {
    settings.noFiskal = variantToFlag(*value);
  } else if (setting == u"Eprint") {
    settings.lineLength = variantToInt(*value);
  } else if (setting == u"LoginTavix") {
    settings.login = variantToInt(*value);
  } else if (setting == u"PassTavix") {
    settings.password = variantToInt(*value);
  } else if (setting == u"WebapiTAVIX") {
    // The typed key reaches the register only when DeviceTest, OpenShift or Open take it over.
    apiKey = variantToInt(*value);
  } else if (setting == u"TaxTavix") {
    worker->receipt.taxCode = variantToInt(*value);
  } else if (setting == u"MultiTax") {
    settings.multiTax = variantToFlag(*value);
  }
  returnBool(result, true);
  return true;
}
