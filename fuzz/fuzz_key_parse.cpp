// The register's texts carry numbers the driver reads as C's atoi would: the renewed key, the
// receipt number, the shift number, the firmware version. C's strtoll is the yardstick, since it
// reads the same way and says when the number is out of range: a number read must saturate at the
// 32-bit range, and a key beyond that range is no key at all (the old key stays).
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>

#include "device/number_format.h"

namespace {

[[noreturn]] void fail(const char* what, const std::string& text, long long got,
                       long long expected) {
  std::fprintf(stderr, "%s\ntext (%zu bytes): \"%s\"\ngot %lld, expected %lld\n", what, text.size(),
               text.c_str(), got, expected);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);

  constexpr long long kMin = std::numeric_limits<int32_t>::min();
  constexpr long long kMax = std::numeric_limits<int32_t>::max();
  errno = 0;
  const long long read = std::strtoll(text.c_str(), nullptr, 10);
  const bool beyond = errno == ERANGE || read < kMin || read > kMax;
  const long long saturated = read < kMin ? kMin : read > kMax ? kMax : read;

  const int32_t number = leadingInteger(text);
  if (number != saturated) fail("the number did not saturate as read", text, number, saturated);

  constexpr int32_t kOldKey = 60418253;
  int32_t key = kOldKey;
  const bool taken = leadingKey(text, key);
  if (taken == beyond)
    fail(beyond ? "a key beyond 32 bits was taken" : "a key was refused", text, key, saturated);
  if (taken && key != saturated) fail("the key is not the number read", text, key, saturated);
  if (!taken && key != kOldKey) fail("a refused key changed the old one", text, key, kOldKey);
  return 0;
}
