// The four functions the platform looks up by name in the library.
#include "platform/exports.h"

#include <new>

#include "addin/component.h"
#include "addin/identity.h"

namespace {

// The platform's calls take modifiable name pointers; the library keeps its own copies from load
// to unload.
struct LibraryNames {
  std::u16string classNames{kClassName};
} libraryNames;

}  // namespace

const WCHAR_T* GetClassNames() { return libraryNames.classNames.c_str(); }

long GetClassObject(const WCHAR_T* /*className*/, IComponentBase** component) {
  if (component == nullptr || *component != nullptr) return 0;
  try {
    auto* created = new Tavixfr();
    *component = created;
    return static_cast<long>(reinterpret_cast<intptr_t>(created));
  } catch (...) {
    return 0;
  }
}

long DestroyObject(IComponentBase** component) {
  if (component == nullptr || *component == nullptr) return -1;
  delete *component;
  *component = nullptr;
  return 0;
}

int SetPlatformCapabilities(int /*capabilities*/) { return 1; }
