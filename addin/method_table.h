// The driver's methods as the platform knows them: declared once, read by every method call.
#pragma once

#include <array>

class Tavixfr;
struct tVariant;

struct MethodRow {
  long index;
  const char16_t* englishName;
  const char16_t* russianName;
  long parameterCount;
  // The method called as a function; `result` may be null.
  bool (*asFunction)(Tavixfr& driver, tVariant* result, tVariant* params);
  // The method called as a procedure; null when that form does nothing.
  bool (*asProcedure)(Tavixfr& driver, tVariant* params);
};

inline constexpr long kMethodCount = 22;

const std::array<MethodRow, kMethodCount>& methodTable();
