// Numbers as the register reads them, whatever locale the platform has set for the process.
#pragma once

#include <cstdint>
#include <string>

// C's "%g" at precision 6, always with "." and no grouping: 12345.67 -> "12345.7", 1e6 -> "1e+06".
std::string formatAmount(double amount);
// Decimal, a leading "-" when negative.
std::string formatInteger(int64_t number);
// The leading decimal integer of a register text, read as C's atoi does (leading blanks, a sign,
// digits), saturated at the 32-bit range instead of overflowing.
int32_t leadingInteger(const std::string& text);
// The same reading for a key: false when the text's number lies beyond 32 bits,
// since such a body is no key the register could have meant.
bool leadingKey(const std::string& text, int32_t& key);
