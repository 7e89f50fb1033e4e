// The Web-API key kept in the platform's profile, so that a key obtained once survives a restart.
#include <cstring>

#include "addin/component.h"
#include "addin/host_values.h"
#include "addin/identity.h"

bool Tavixfr::storeApiKey(int32_t key) {
  // Whatever the profile says, the component remembers the key it offered, so the next
  // DeviceTest sends it.
  apiKey = key;
  tVariant value;
  std::memset(&value, 0, sizeof value);
  returnInt(&value, key);  // the platform keeps the key as a 32-bit integer
  std::u16string name = kApiKeyValueName;
  if (connection != nullptr && connection->Write(name.data(), &value)) return true;
  report(kMessageSource, u"Not Write apikey");
  return false;
}

bool Tavixfr::loadApiKey() {
  if (connection == nullptr) return false;
  tVariant value;
  std::memset(&value, 0, sizeof value);
  returnInt(&value, 0);
  long errorCode = 0;  // the platform's reason for a refusal changes nothing here
  std::u16string name = kApiKeyValueName;
  if (!connection->Read(name.data(), &value, &errorCode, nullptr)) return false;
  // The profile may hand back a value of another type than the one written; it is read as any
  // platform integer is, and a text gives 0.
  worker->settings.key = variantToInt(value);
  return true;
}
