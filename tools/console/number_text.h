// Numbers as the technician types them and as the console shows them. The driver sets the
// process's C locale to the platform's (a decimal comma for ru_RU), so nothing here goes through
// the locale: "1.5" means one and a half whatever the platform chose.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace console {

// The whole text must be the number; nothing before or after it.
std::optional<double> readDecimal(const std::string& text);
std::optional<int32_t> readInt32(const std::string& text);

// The shortest text that reads back as the same double: 120, 45.5, 0.35.
std::string showDecimal(double value);

}  // namespace console
