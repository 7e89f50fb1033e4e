#include "http_client_switch.h"

#include <dlfcn.h>

#include <atomic>

namespace {

std::atomic<bool> refuseHandles{false};

using EasyInit = void* (*)();

// The libcurl the driver loaded; looked up afresh each time, since the driver (and with it
// libcurl) may have been unloaded and loaded again at another address in between.
void* libcurlHandle() {
  void* library = dlopen("libcurl.so.4", RTLD_LAZY | RTLD_NOLOAD);
  if (library == nullptr) return nullptr;
  void* handle = nullptr;
  if (auto init = reinterpret_cast<EasyInit>(dlsym(library, "curl_easy_init"))) handle = init();
  dlclose(library);
  return handle;
}

}  // namespace

// The driver's only way to an easy handle.
extern "C" __attribute__((visibility("default"))) void* curl_easy_init() {
  if (refuseHandles) return nullptr;
  return libcurlHandle();
}

NoHttpClient::NoHttpClient() { refuseHandles = true; }
NoHttpClient::~NoHttpClient() { refuseHandles = false; }
