// One component held the way the platform holds it, from creation to destruction, and the calls
// by method name that the tests and the console make through it.
#include <cstring>
#include <stdexcept>
#include <string>

#include "host/driver_session.h"

namespace host {

bool CallResult::boolean() const {
  unsigned char first;
  std::memcpy(&first, &value.value, 1);
  return first != 0;
}

// The platform's order: list the classes, create the first, hand it memory and connection, set
// its locale, ask its extension name (and give the name's block back once read).
DriverSession::DriverSession(SessionOptions options, const std::string& libraryPath)
    : library_(std::make_unique<DriverLibrary>(libraryPath)) {
  const WCHAR_T* classNames = library_->getClassNames();
  library_->getClassObject(classNames, &component_);
  if (component_ == nullptr) throw std::runtime_error(libraryPath + " created no component");
  connection.messageBox = options.withMessageBox ? &messageBox : nullptr;
  if (options.withMemory) component_->setMemManager(&memory);
  if (options.withConnection) component_->Init(&connection);
  component_->SetLocale(options.locale.c_str());
  WCHAR_T* extensionName = nullptr;
  component_->RegisterExtensionAs(&extensionName);
  memory.FreeMemory(reinterpret_cast<void**>(&extensionName));
}

DriverSession::~DriverSession() {
  if (component_ != nullptr) destroy();
  library_.reset();
}

long DriverSession::methodIndex(const std::u16string& name) {
  return component_->FindMethod(name.c_str());
}

Params DriverSession::params(size_t count) { return Params(count, &memory); }

namespace {

// The platform passes as many values as the method declares; a call with fewer would make the
// driver read past the array, which says nothing about the driver.
long indexFor(IComponentBase* component, const std::u16string& method, const Params& params) {
  const long index = component->FindMethod(method.c_str());
  if (index < 0) throw std::invalid_argument("the driver has no method " + u8(method));
  const long declared = component->GetNParams(index);
  if (params.size() < static_cast<size_t>(declared))
    throw std::invalid_argument(u8(method) + " takes " + std::to_string(declared) +
                                " values, the call gave " + std::to_string(params.size()));
  return index;
}

tVariant emptyValue() {
  tVariant value;
  std::memset(&value, 0, sizeof value);
  return value;
}

}  // namespace

CallResult DriverSession::call(const std::u16string& method, Params& params) {
  return call(method, params, emptyValue());
}

CallResult DriverSession::call(const std::u16string& method, Params& params,
                               const tVariant& initialResult) {
  return callIndex(indexFor(component_, method, params), params, initialResult);
}

bool DriverSession::callWithoutResult(const std::u16string& method, Params& params) {
  const long index = indexFor(component_, method, params);
  return component_->CallAsFunc(index, nullptr, params.data(), static_cast<long>(params.size()));
}

bool DriverSession::callAsProcedure(const std::u16string& method, Params& params) {
  const long index = indexFor(component_, method, params);
  return component_->CallAsProc(index, params.data(), static_cast<long>(params.size()));
}

CallResult DriverSession::callIndex(long index, Params& params) {
  return callIndex(index, params, emptyValue());
}

CallResult DriverSession::callIndex(long index, Params& params, const tVariant& initialResult) {
  CallResult result;
  result.value = initialResult;
  result.called =
      component_->CallAsFunc(index, &result.value, params.data(), static_cast<long>(params.size()));
  WideTextValue& text = result.value.value.wstr;
  if (result.value.vt == VTYPE_PWSTR && text.pwstrVal != nullptr) {
    const bool passedIn =
        initialResult.vt == VTYPE_PWSTR && initialResult.value.wstr.pwstrVal == text.pwstrVal;
    result.text = textOf(text.pwstrVal, &memory);
    // The result is the platform's to free, whatever the driver put there.
    void* block = text.pwstrVal;
    if (!passedIn) memory.FreeMemory(&block);
    text.pwstrVal = nullptr;
  }
  return result;
}

void DriverSession::setSetting(const std::u16string& name, const std::u16string& text) {
  Params values = params(2);
  values.text(0, name).text(1, text);
  if (!call(u"SetParameter", values).called)
    throw std::runtime_error("SetParameter refused " + u8(name));
}

void DriverSession::setSetting(const std::u16string& name, int32_t number) {
  Params values = params(2);
  values.text(0, name).i4(1, number);
  if (!call(u"SetParameter", values).called)
    throw std::runtime_error("SetParameter refused " + u8(name));
}

void DriverSession::setSettingFlag(const std::u16string& name, bool flag) {
  Params values = params(2);
  values.text(0, name).boolean(1, flag);
  if (!call(u"SetParameter", values).called)
    throw std::runtime_error("SetParameter refused " + u8(name));
}

// Only the address: every other setting keeps the driver's own initial value, so a test that
// depends on one says so by setting it.
void DriverSession::useRegister(const std::string& ip) { setSetting(u"Ipdest", u16(ip)); }

std::u16string DriverSession::lastError() {
  Params description = params(1);
  call(u"GetLastError", description);
  return description.textAt(0);
}

long DriverSession::destroy() { return library_->destroyObject(&component_); }

}  // namespace host
