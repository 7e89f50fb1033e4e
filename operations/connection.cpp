// Open, Close and DeviceTest: the link to the register and the key it accepts.
//
// The register sits on the shop's network, so opening it is a local step; DeviceTest is where
// the driver proves that the register answers and accepts the key, renews the key with the
// administrator's code and password when the register refuses it, and keeps the working key in
// the platform's profile.
#include <string>

#include "addin/component.h"
#include "addin/host_values.h"
#include "addin/identity.h"
#include "device/number_format.h"

namespace {

constexpr char16_t kKeyReady[] = u"Api-key загружен, Tavix готов к работе";
constexpr char16_t kKeyRenewed[] =
    u"Tavix готов к работе, Web-Api ключ перезагружен по паролю администратора";
constexpr char16_t kFirmwareTooOld[] = u"требуется обновление tavix";
constexpr char16_t kTaxTableReady[] =
    u"Api-key загружен, коды налогов загружены, Tavix готов к работе. key - ";

// The first firmware whose sale request takes a tax id per item line.
constexpr int32_t kMultiTaxFirmware = 102303;

// The register refuses a key it does not know and one it has replaced; either way the
// administrator's code and password get a fresh one.
bool keyRefused(const std::string& errorHead) {
  return errorHead == "incorrect-web-api-key" || errorHead == "old-web-api-key";
}

}  // namespace

bool Tavixfr::open(tVariant* result, tVariant* deviceId) {
  if (result == nullptr) return true;
  returnNarrowText(memoryManager, deviceId, worker->settings.ip);
  if (!loadApiKey()) {
    report(kMessageSource, u"Not Read apikey, add api_key from setting");
    worker->settings.key = apiKey;
  }
  returnBool(result, true);
  return true;
}

bool Tavixfr::close(tVariant* result) {
  returnBool(result, true);
  return true;
}

bool Tavixfr::deviceTest(tVariant* result, tVariant* description) {
  if (result == nullptr) return true;
  if (apiKey != 0) worker->settings.key = apiKey;
  returnBool(result, runDeviceTest(description));
  return true;
}

// `description` may be null when nobody reads the outcome's text (a failed X report).
bool Tavixfr::runDeviceTest(tVariant* description) {
  WorkerSettings& settings = worker->settings;
  if (!worker->curlReady) {
    report(u"Error, not open session on tavix ", utf8ToWideLenient(settings.ip));
    return false;
  }

  // With MultiTax on the firmware check always has the last word on the description, so the
  // steps before it leave the text to that check instead of filling platform memory twice.
  const bool firmwareDecides = settings.multiTax;
  const auto describe = [&](const std::u16string& text) {
    if (!firmwareDecides) returnWideText(memoryManager, description, text);
  };

  bool outcome = false;
  if (worker->sendKeyed("/apicheck")) {
    if (storeApiKey(settings.key)) {
      outcome = true;
      describe(kKeyReady);
    }
  } else if (!keyRefused(settings.errorHead)) {
    if (!firmwareDecides) writeLastErrorText(description);
  } else if (!worker->requestApiKey()) {
    // The register explains a refused login in the body; the cashier sees it next to the word
    // that says whose code and password were wrong.
    report(utf8ToWideLenient(settings.errorBody), u"АДМИНИСТРАТОРА");
  } else if (worker->sendKeyed("/apicheck")) {
    if (storeApiKey(settings.key)) {
      outcome = true;
      describe(kKeyRenewed);
    }
  } else {
    report(u"Error apicheck ", utf8ToWideLenient(settings.errorHead));
  }

  if (!settings.multiTax) return outcome;

  // A failed information request reads as version 0, so an unreachable register also asks for
  // an update: without the firmware's tax ids a multi-tax sale cannot go through anyway.
  if (leadingInteger(worker->getInfo("applicationVersion")) < kMultiTaxFirmware) {
    returnWideText(memoryManager, description, kFirmwareTooOld);
    return false;
  }
  // A table that does not load leaves the one the driver already has.
  worker->loadTaxTable();
  returnWideText(memoryManager, description,
                 kTaxTableReady + utf8ToWideLenient(formatInteger(settings.key)) + u" код налога" +
                     utf8ToWideLenient(settings.taxMap));
  return outcome;
}
