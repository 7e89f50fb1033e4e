#include "addin/component.h"

#include <clocale>
#include <cstring>

#include "addin/host_values.h"
#include "addin/identity.h"
#include "addin/locale_setting.h"

namespace {
constexpr long kComponentInfo = 2000;
}  // namespace

Tavixfr::Tavixfr()
    : connection(nullptr),
      memoryManager(nullptr),
      apiKey(0),
      checkTotal(0),
      checkLines(0),
      shiftId(-1),
      worker(std::make_unique<httpWorker>()) {}

Tavixfr::~Tavixfr() = default;

bool Tavixfr::Init(void* platformConnection) {
  connection = static_cast<IAddInDefBase*>(platformConnection);
  if (connection == nullptr) return false;
  std::u16string profile = kProfileName;
  connection->RegisterProfileAs(profile.data());
  return true;
}

bool Tavixfr::setMemManager(void* manager) {
  memoryManager = static_cast<IMemoryManager*>(manager);
  return memoryManager != nullptr;
}

long Tavixfr::GetInfo() { return kComponentInfo; }

void Tavixfr::Done() {}

bool Tavixfr::RegisterExtensionAs(WCHAR_T** extensionName) {
  if (memoryManager == nullptr || extensionName == nullptr) return false;
  const std::u16string name = kExtensionName;
  const unsigned long bytes = static_cast<unsigned long>((name.size() + 1) * sizeof(WCHAR_T));
  if (memoryManager->AllocMemory(reinterpret_cast<void**>(extensionName), bytes) &&
      *extensionName != nullptr) {
    copyWideText(*extensionName, name.c_str(), 0);
  }
  return true;
}

// The driver has no properties.
long Tavixfr::GetNProps() { return 0; }
long Tavixfr::FindProp(const WCHAR_T*) { return -1; }
const WCHAR_T* Tavixfr::GetPropName(long, long) { return nullptr; }
bool Tavixfr::GetPropVal(const long, tVariant*) { return false; }
bool Tavixfr::SetPropVal(const long, tVariant*) { return false; }
bool Tavixfr::IsPropReadable(const long) { return false; }
bool Tavixfr::IsPropWritable(const long) { return false; }

void Tavixfr::SetLocale(const WCHAR_T* locale) {
  if (locale != nullptr) followPlatformLocale(locale);
}

void Tavixfr::report(const std::u16string& source, const std::u16string& message) {
  reportToHost(connection, source, message);
}

IMsgBox* Tavixfr::messageBox() {
  if (connection == nullptr) return nullptr;
  return static_cast<IMsgBox*>(connection->GetInterface(eIMsgBox));
}
