// The platform's side of the component's connection: the message window, the profile store the
// Web-API key lives in, and the further interfaces the platform offers.
#include <string>

#include "host/driver_session.h"

namespace host {
HostConnection::~HostConnection() = default;

bool HostConnection::AddError(unsigned short code, const WCHAR_T* source,
                              const WCHAR_T* description, long statusCode) {
  messages.push_back({code, textOf(source), textOf(description), statusCode});
  return true;
}

bool HostConnection::Read(WCHAR_T* name, tVariant* value, long* /*errorCode*/,
                          WCHAR_T** /*errorText*/) {
  ++reads;
  if (failRead || name == nullptr || value == nullptr) return false;
  const auto found = profile_.find(name);
  if (found == profile_.end()) return false;
  // A text comes back pointing into the profile's own storage, which outlives the call.
  *value = found->second;
  return true;
}

bool HostConnection::Write(WCHAR_T* name, tVariant* value) {
  ++writes;
  if (failWrite || name == nullptr || value == nullptr) return false;
  storeProfileValue(name, *value);
  return true;
}

bool HostConnection::RegisterProfileAs(WCHAR_T* profileName) {
  registeredProfile = textOf(profileName);
  return true;
}

void* HostConnection::GetInterface(PlatformInterface which) {
  return which == eIMsgBox ? static_cast<void*>(messageBox) : nullptr;
}

void HostConnection::storeProfileValue(const std::u16string& name, const tVariant& value) {
  tVariant& stored = profile_[name];
  stored = value;
  if (value.vt != VTYPE_PWSTR) {
    texts_.erase(name);
    return;
  }
  // The writer's text may be gone after the call: the profile keeps a copy of its own.
  // The length counts, but never past a terminating zero.
  const WCHAR_T* characters = value.value.wstr.pwstrVal;
  size_t length = 0;
  if (characters != nullptr)
    while (length < value.value.wstr.wstrLen && characters[length] != 0) ++length;
  std::u16string& copy = texts_[name];
  copy = characters == nullptr ? u"" : std::u16string(characters, length);
  stored.value.wstr.pwstrVal = copy.data();
  stored.value.wstr.wstrLen = static_cast<uint32_t>(copy.size());
}

void HostConnection::storeProfileText(const std::u16string& name, const std::u16string& text) {
  tVariant value{};
  value.vt = VTYPE_PWSTR;
  value.value.wstr.pwstrVal = const_cast<WCHAR_T*>(text.c_str());
  value.value.wstr.wstrLen = static_cast<uint32_t>(text.size());
  storeProfileValue(name, value);
}

bool HostConnection::hasProfileValue(const std::u16string& name) const {
  return profile_.count(name) != 0;
}

tVariant HostConnection::profileValue(const std::u16string& name) const {
  const auto found = profile_.find(name);
  if (found == profile_.end()) return tVariant{};
  return found->second;
}

void HostConnection::clearProfile() {
  profile_.clear();
  texts_.clear();
}

}  // namespace host
