// A till for the benchmarks: the driver loaded as the platform loads it, pointed at a fake
// register of its own on loopback that answers every request at once with 200 OK. Methods are
// called by the index FindMethod gave once, as the platform calls them, with values prepared
// in advance, so a timed call is the driver's CallAsFunc and nothing of the host around it.
#pragma once

#include <cstddef>
#include <string>

#include "host/driver_session.h"
#include "tests/support/fake_register.h"

namespace bench {

// A typical item of a Russian shop, with the marking code its scanner reads.
inline constexpr char16_t kItemName[] = u"Молоко «Простоквашино» пастеризованное 3,2% 930 мл";
inline constexpr char16_t kExciseCode[] = u"0104606203084517215ZZkYP3mw5Ls8tVx";
inline constexpr double kItemSum = 91.8;

class Checkout {
 public:
  explicit Checkout(host::SessionOptions options = host::SessionOptions());

  // Each answers the driver's own Boolean result; a failed call makes a benchmark say so.
  bool openCheck();
  bool printItemLine();
  bool closeCheck(double cash);
  bool cancelCheck();
  bool printXReport();
  bool deviceTest();

  // OpenCheck, `lines` item lines, CloseCheck paid in cash.
  bool sell(size_t lines);

  fake::FakeRegister till;
  host::DriverSession session;

 private:
  bool call(long method, host::Params& values);

  const long openCheckMethod_;
  const long printFiscalStringMethod_;
  const long closeCheckMethod_;
  const long cancelCheckMethod_;
  const long printXReportMethod_;
  const long deviceTestMethod_;
  host::Params openValues_;
  host::Params lineValues_;
  host::Params closeValues_;
  host::Params cancelValues_;
  host::Params reportValues_;
};

}  // namespace bench
