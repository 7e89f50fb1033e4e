#include "device/number_format.h"

#include <charconv>
#include <cstdint>
#include <limits>

std::string formatAmount(double amount) {
  char buffer[64];
  const auto written =
      std::to_chars(buffer, buffer + sizeof buffer, amount, std::chars_format::general, 6);
  return std::string(buffer, written.ptr);
}

std::string formatInteger(int64_t number) {
  char buffer[32];
  const auto written = std::to_chars(buffer, buffer + sizeof buffer, number);
  return std::string(buffer, written.ptr);
}

namespace {

// The blanks atoi skips in the "C" locale. The platform's locale must not change how the
// register's numbers read.
bool isBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// atoi's reading; `overflow` tells whether the digits ran past the 32-bit range.
int32_t readLeading(const std::string& text, bool& overflow) {
  overflow = false;
  size_t pos = 0;
  while (pos < text.size() && isBlank(text[pos])) ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  const int64_t limit = negative ? -static_cast<int64_t>(std::numeric_limits<int32_t>::min())
                                 : std::numeric_limits<int32_t>::max();
  int64_t magnitude = 0;
  for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
    magnitude = magnitude * 10 + (text[pos] - '0');
    if (magnitude > limit) {
      overflow = true;
      magnitude = limit;
    }
  }
  return static_cast<int32_t>(negative ? -magnitude : magnitude);
}

}  // namespace

int32_t leadingInteger(const std::string& text) {
  bool overflow;
  return readLeading(text, overflow);
}

bool leadingKey(const std::string& text, int32_t& key) {
  bool overflow;
  const int32_t number = readLeading(text, overflow);
  if (overflow) return false;
  key = number;
  return true;
}
