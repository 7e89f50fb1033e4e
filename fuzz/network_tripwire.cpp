// The method-call fuzzer drives only methods that stay inside the driver. Should one of them ever
// reach for the register, the run stops here before a single packet leaves the machine: libcurl
// resolves and connects through these two C library functions, and the executable's own
// definitions take the place of the C library's.
#include <netdb.h>
#include <sys/socket.h>

#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void tripped(const char* call) {
  std::fprintf(stderr, "network tripwire: a method called %s; it must stay inside the driver\n",
               call);
  std::abort();
}

}  // namespace

extern "C" int connect(int, const struct sockaddr*, socklen_t) { tripped("connect"); }

extern "C" int getaddrinfo(const char*, const char*, const struct addrinfo*, struct addrinfo**) {
  tripped("getaddrinfo");
}
