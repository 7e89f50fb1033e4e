// The tax id of each receipt line is read from the register's tax table, a JSON text the register
// sends and the driver keeps as it came. Whatever that text holds (no JSON, other types, deep
// nesting, NUL bytes), the id is either the text of the string member named by the rate or the
// default tax code, and reading it leaks nothing.
#include <cjson/cJSON.h>
#include <fuzzer/FuzzedDataProvider.h>

#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "device/http_worker.h"
#include "device/number_format.h"

namespace {

[[noreturn]] void fail(const char* what, const std::string& taxMap, double rate,
                       const std::string& got, const std::string& expected) {
  std::fprintf(stderr, "%s\nrate %a, tax map (%zu bytes): %s\ngot \"%s\", expected \"%s\"\n", what,
               rate, taxMap.size(), taxMap.c_str(), got.c_str(), expected.c_str());
  std::abort();
}

// The rate's member name as C's printf writes it: "%.6g" in the "C" locale the fuzzer runs in.
std::string printfName(double rate) {
  char name[64];
  std::snprintf(name, sizeof name, "%.6g", rate);
  return name;
}

// The first top-level member of that name, when it holds a string; the text ends at its first
// NUL byte, as a register text kept as a C string does.
bool stringMember(const std::string& taxMap, const std::string& name, std::string& text) {
  cJSON* root = cJSON_Parse(taxMap.c_str());
  bool found = false;
  if (root != nullptr && root->type == cJSON_Object) {
    for (const cJSON* member = root->child; member != nullptr; member = member->next) {
      if (member->string == nullptr || std::strcmp(member->string, name.c_str()) != 0) continue;
      if (member->type == cJSON_String && member->valuestring != nullptr) {
        text = member->valuestring;
        found = true;
      }
      break;
    }
  }
  cJSON_Delete(root);
  return found;
}

double rateFrom(FuzzedDataProvider& input) {
  switch (input.ConsumeIntegralInRange(0, 2)) {
    case 0:  // the rates a shop has
      return input.ConsumeIntegralInRange(0, 30);
    case 1:  // two decimals, as the platform's rates are written
      return input.ConsumeIntegralInRange(-100000, 100000) / 100.0;
    default: {  // any double at all: infinities, NaN, subnormals, -0
      const uint64_t bits = input.ConsumeIntegral<uint64_t>();
      double rate;
      std::memcpy(&rate, &bits, sizeof rate);
      return rate;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // One worker for the whole run: reading the table makes no exchange, and a worker per input
  // would set libcurl's global state up and down every time.
  static httpWorker worker;

  FuzzedDataProvider input(data, size);
  const int32_t taxCode = input.ConsumeIntegral<int32_t>();
  const double rate = rateFrom(input);
  const std::string taxMap = input.ConsumeRemainingBytesAsString();

  const std::string name = formatAmount(rate);
  if (name != printfName(rate))
    fail("the rate is not named as %g names it", taxMap, rate, name, printfName(rate));

  worker.settings.taxMap = taxMap;
  worker.receipt.taxCode = taxCode;
  const std::string taxId = worker.taxIdForRate(rate);

  std::string expected;
  if (!stringMember(taxMap, name, expected)) expected = std::to_string(taxCode);
  if (taxId != expected)
    fail("the tax id is not the table's string or the default", taxMap, rate, taxId, expected);
  return 0;
}
