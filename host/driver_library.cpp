// Opening the driver the way the platform does: dlopen with every symbol bound at once and none
// leaking into the process, then the four functions looked up by their plain names.
#include <dlfcn.h>

#include <cstdlib>
#include <stdexcept>
#include <string>

#include "host/driver_session.h"

namespace host {
namespace {

template <typename Function>
Function lookUp(void* handle, const char* name, const std::string& path) {
  void* symbol = dlsym(handle, name);
  if (symbol == nullptr) throw std::runtime_error(path + " does not export " + name);
  return reinterpret_cast<Function>(symbol);
}

}  // namespace

DriverLibrary::DriverLibrary(const std::string& path) : path_(path) {
  handle_ = dlopen(path_.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle_ == nullptr) {
    const char* why = dlerror();
    throw std::runtime_error("cannot load " + path_ + ": " + (why ? why : "unknown error"));
  }
  try {
    getClassNames = lookUp<GetClassNamesFn>(handle_, "GetClassNames", path_);
    getClassObject = lookUp<GetClassObjectFn>(handle_, "GetClassObject", path_);
    destroyObject = lookUp<DestroyObjectFn>(handle_, "DestroyObject", path_);
    setPlatformCapabilities =
        lookUp<SetPlatformCapabilitiesFn>(handle_, "SetPlatformCapabilities", path_);
  } catch (...) {
    dlclose(handle_);
    throw;
  }
}

DriverLibrary::~DriverLibrary() {
  if (handle_ != nullptr) dlclose(handle_);
}

std::string DriverLibrary::defaultPath() {
  const char* fromEnvironment = std::getenv("TAVIX_LIBRARY");
  if (fromEnvironment != nullptr && *fromEnvironment != 0) return fromEnvironment;
  return TAVIX_DEFAULT_LIBRARY;
}

}  // namespace host
