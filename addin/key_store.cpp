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
  value.vt = VTYPE_I4;
  value.value.lVal = key;
  std::u16string name = kApiKeyValueName;
  if (connection != nullptr && connection->Write(name.data(), &value)) return true;
  report(kMessageSource, u"Not Write apikey");
  return false;
}

bool Tavixfr::loadApiKey() {
  if (connection == nullptr) return false;
  tVariant value;
  std::memset(&value, 0, sizeof value);
  value.vt = VTYPE_I4;
  long errorCode = 0;
  std::u16string name = kApiKeyValueName;
  if (!connection->Read(name.data(), &value, &errorCode, nullptr)) return false;
  worker->settings.key = variantToInt(value);
  return true;
}
