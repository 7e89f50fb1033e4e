// Numbers as the register reads them: amounts in C's "%g" form at precision 6 with a point, and
// the numbers the driver reads back out of the register's texts.
#include "device/number_format.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <limits>
#include <string>

namespace {

// What C's printf writes for the amount in the "C" locale: the form the register has always
// received.
std::string printfAmount(double amount) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.6g", amount);
  return buffer;
}

TEST(FormatAmount, WritesCsGeneralFormAtSixDigits) {
  struct Case {
    double amount;
    const char* expected;
  } const cases[] = {
      {20, "20"},         {1234.5, "1234.5"}, {12345.67, "12345.7"},      {0.5, "0.5"},
      {1000000, "1e+06"}, {999999, "999999"}, {999999.5, "1e+06"},        {0, "0"},
      {-150.5, "-150.5"}, {16.67, "16.67"},   {0.1 + 0.2, "0.3"},         {100.10, "100.1"},
      {0.0001, "0.0001"}, {0.00001, "1e-05"}, {123456789, "1.23457e+08"}, {2.5e-7, "2.5e-07"},
      {1e100, "1e+100"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expected);
    EXPECT_EQ(formatAmount(c.amount), c.expected);
    EXPECT_EQ(formatAmount(c.amount), printfAmount(c.amount));
  }
}

TEST(FormatAmount, AgreesWithPrintfAtTheEdgesOfDouble) {
  const double edges[] = {std::numeric_limits<double>::max(),
                          std::numeric_limits<double>::lowest(),
                          std::numeric_limits<double>::min(),
                          std::numeric_limits<double>::denorm_min(),
                          -0.0,
                          0.125,
                          2.675,
                          1.0000005,
                          99999.95,
                          -1e-300};
  for (double amount : edges) {
    SCOPED_TRACE(printfAmount(amount));
    EXPECT_EQ(formatAmount(amount), printfAmount(amount));
  }
}

TEST(FormatInteger, WritesDecimalWithSignAndNoGrouping) {
  EXPECT_EQ(formatInteger(0), "0");
  EXPECT_EQ(formatInteger(60418253), "60418253");
  EXPECT_EQ(formatInteger(-7), "-7");
  EXPECT_EQ(formatInteger(std::numeric_limits<int32_t>::min()), "-2147483648");
  EXPECT_EQ(formatInteger(std::numeric_limits<int32_t>::max()), "2147483647");
}

// The register's texts are read as C's atoi reads them; where atoi would overflow, the number
// saturates instead.
TEST(LeadingInteger, ReadsAsAtoiAndSaturates) {
  struct Case {
    const char* text;
    int32_t expected;
  } const cases[] = {
      {"42", 42},
      {"  42 receipts", 42},
      {"\t\n\v\f\r7", 7},
      {"+9", 9},
      {"-13x", -13},
      {"0041", 41},
      {"12 34", 12},
      {"", 0},
      {"abc", 0},
      {"- 5", 0},
      {"+-5", 0},
      {"0x10", 0},
      {"\xD0\xB0"
       "5",
       0},  // a letter first: no number
      {"2147483647", 2147483647},
      {"-2147483648", std::numeric_limits<int32_t>::min()},
      {"2147483648", std::numeric_limits<int32_t>::max()},
      {"-2147483649", std::numeric_limits<int32_t>::min()},
      {"99999999999999999999", std::numeric_limits<int32_t>::max()},
      {"-99999999999999999999999999999", std::numeric_limits<int32_t>::min()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(leadingInteger(c.text), c.expected);
  }
}

// A key body beyond 32 bits is no key at all: the key the driver holds must stay.
TEST(LeadingKey, RefusesNumbersBeyondThirtyTwoBits) {
  struct Case {
    const char* text;
    bool isKey;
    int32_t key;  // what the key becomes; 555 is the key held before
  } const cases[] = {
      {"60418253", true, 60418253},
      {" 12abc", true, 12},
      {"0", true, 0},
      {"text", true, 0},
      {"-5", true, -5},
      {"2147483647", true, 2147483647},
      {"2147483648", false, 555},
      {"-2147483649", false, 555},
      {"99999999999999999999", false, 555},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    int32_t key = 555;
    EXPECT_EQ(leadingKey(c.text, key), c.isKey);
    EXPECT_EQ(key, c.key);
  }
}

// The platform sets the process's locale; in Russian it writes numbers with a decimal comma.
TEST(FormatAmount, KeepsThePointUnderALocaleWithADecimalComma) {
  const std::string previous = std::setlocale(LC_ALL, nullptr);
  if (std::setlocale(LC_ALL, "ru_RU.UTF-8") == nullptr)
    GTEST_SKIP()
        << "the ru_RU.UTF-8 locale is not installed (scripts/install-deps.sh generates it)";
  const std::string decimalPoint = std::localeconv()->decimal_point;
  EXPECT_EQ(formatAmount(12345.67), "12345.7");
  EXPECT_EQ(formatAmount(0.5), "0.5");
  EXPECT_EQ(formatAmount(1234567.0), "1.23457e+06");
  EXPECT_EQ(formatInteger(1234567), "1234567");
  std::setlocale(LC_ALL, previous.c_str());
  EXPECT_EQ(decimalPoint, ",")
      << "the locale did not bring a decimal comma; the test shows nothing";
}

}  // namespace
