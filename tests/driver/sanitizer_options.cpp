// Options of the sanitizer build's runtime for this test program.
//
// Each test loads the driver and unloads it again, and libcurl's own libraries, which keep
// thread-local data, go with it. GCC 12's LeakSanitizer remembers the dynamic thread-local blocks
// it has seen, also those of unloaded libraries, walks them at exit and can crash there
// ("Tracer caught signal 11") after a test that passed. It is told not to track those blocks;
// the leak check itself stays on. Without the sanitizers nothing calls this function.
extern "C" __attribute__((visibility("default"), used)) const char* __asan_default_options() {
  return "intercept_tls_get_addr=0";
}
