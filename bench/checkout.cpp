#include "bench/checkout.h"

#include <cstring>
#include <stdexcept>

namespace bench {

namespace {

long methodIndex(host::DriverSession& session, const std::u16string& name) {
  const long index = session.methodIndex(name);
  if (index < 0) throw std::runtime_error("the driver has no method " + host::u8(name));
  return index;
}

}  // namespace

Checkout::Checkout(host::SessionOptions options)
    : session(options),
      openCheckMethod_(methodIndex(session, u"OpenCheck")),
      printFiscalStringMethod_(methodIndex(session, u"PrintFiscalString")),
      closeCheckMethod_(methodIndex(session, u"CloseCheck")),
      cancelCheckMethod_(methodIndex(session, u"CancelCheck")),
      printXReportMethod_(methodIndex(session, u"PrintXReport")),
      deviceTestMethod_(methodIndex(session, u"DeviceTest")),
      openValues_(6, &session.memory),
      lineValues_(10, &session.memory),
      closeValues_(5, &session.memory),
      cancelValues_(1, &session.memory),
      reportValues_(2, &session.memory) {
  session.useRegister(till.ip());
  openValues_.empty(0).boolean(1, true).boolean(2, false).empty(3).i4(4, 0).i4(5, 0);
  // The price the platform offers (value 3) is not the one the register gets; value 6 is the
  // tax rate.
  lineValues_.empty(0).text(1, kItemName).r8(2, 1).r8(3, kItemSum).r8(4, kItemSum).i4(5, 1);
  lineValues_.r8(6, 20).empty(7).empty(8).text(9, kExciseCode);
  closeValues_.empty(0).r8(1, 0).r8(2, 0).r8(3, 0).r8(4, 0);
  cancelValues_.empty(0);
  reportValues_.empty(0).empty(1);
}

bool Checkout::call(long method, host::Params& values) {
  tVariant result;
  std::memset(&result, 0, sizeof result);
  const bool called = session.component()->CallAsFunc(method, &result, values.data(),
                                                      static_cast<long>(values.size()));
  unsigned char first;
  std::memcpy(&first, &result.value, 1);
  return called && first != 0;
}

bool Checkout::openCheck() { return call(openCheckMethod_, openValues_); }

bool Checkout::printItemLine() { return call(printFiscalStringMethod_, lineValues_); }

bool Checkout::closeCheck(double cash) {
  closeValues_.r8(1, cash);
  return call(closeCheckMethod_, closeValues_);
}

bool Checkout::cancelCheck() { return call(cancelCheckMethod_, cancelValues_); }

bool Checkout::printXReport() { return call(printXReportMethod_, reportValues_); }

bool Checkout::deviceTest() {
  // The description the driver writes is the platform's to free, as after any call.
  host::Params values(2, &session.memory);
  values.empty(0).empty(1);
  return call(deviceTestMethod_, values);
}

bool Checkout::sell(size_t lines) {
  bool ok = openCheck();
  for (size_t line = 0; line < lines; ++line) ok = printItemLine() && ok;
  return closeCheck(kItemSum * static_cast<double>(lines)) && ok;
}

}  // namespace bench
