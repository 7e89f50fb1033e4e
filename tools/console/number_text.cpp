#include "number_text.h"

#include <charconv>
#include <cmath>
#include <system_error>

namespace console {

std::optional<double> readDecimal(const std::string& text) {
  double value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value, std::chars_format::fixed);
  if (text.empty() || error != std::errc() || stop != end || !std::isfinite(value))
    return std::nullopt;
  return value;
}

std::optional<int32_t> readInt32(const std::string& text) {
  int32_t value = 0;
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value);
  if (text.empty() || error != std::errc() || stop != end) return std::nullopt;
  return value;
}

std::string showDecimal(double value) {
  char buffer[64];
  const auto [stop, error] = std::to_chars(buffer, buffer + sizeof buffer, value);
  if (error != std::errc()) return "?";
  return std::string(buffer, stop);
}

}  // namespace console
