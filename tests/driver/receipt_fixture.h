// A checkout: the loaded driver pointed at a fake register (the till), and the four calls a sale
// is made of, passed the way the platform passes them. What the receipt became is
// read off the wire, from the sale request CloseCheck sends to "/api".
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "host/driver_session.h"
#include "tests/support/fake_register.h"

namespace receipts {

inline constexpr int32_t kInitialKey = 60418253;

struct Item {
  Item(std::u16string itemName, double itemQuantity = 1, double itemSum = 0,
       double itemTaxRate = 20, std::u16string itemExcise = u"", bool textName = true)
      : name(std::move(itemName)),
        quantity(itemQuantity),
        sum(itemSum),
        taxRate(itemTaxRate),
        excise(std::move(itemExcise)),
        nameIsText(textName) {}

  std::u16string name;
  double quantity;
  double sum;
  double taxRate;
  std::u16string excise;
  bool nameIsText;  // false: the name arrives as a number, not as a string
};

struct OpenedCheck {
  bool result = false;
  int32_t receiptNumber = 0;
  int32_t shiftNumber = 0;
  TYPEVAR receiptTag = VTYPE_EMPTY;
  TYPEVAR shiftTag = VTYPE_EMPTY;
};

// The item array and the print text of a sale body: the two texts go last and in this order,
// and nothing in the receipts of these tests holds "&print=".
inline std::string itemDataOf(const std::string& saleBody) {
  const size_t start = saleBody.find("&itemdata=");
  if (start == std::string::npos) return "";
  const size_t from = start + std::string("&itemdata=").size();
  const size_t end = saleBody.find("&print=", from);
  return saleBody.substr(from, end == std::string::npos ? std::string::npos : end - from);
}

inline std::string printTextOf(const std::string& saleBody) {
  const size_t start = saleBody.find("&print=");
  if (start == std::string::npos) return "";
  return saleBody.substr(start + std::string("&print=").size());
}

// The driver and its register; a test that needs a fresh pair per case makes one per case.
class Checkout {
 public:
  Checkout() { session.useRegister(till.ip()); }

  // OpenCheck with the receipt and shift numbers passed as the platform passes them: integers.
  OpenedCheck openCheck(bool fiscal = true, bool isReturn = false) {
    host::Params values = session.params(6);
    values.empty(0).boolean(1, fiscal).boolean(2, isReturn).empty(3).i4(4, 0).i4(5, 0);
    return opened(values);
  }

  OpenedCheck opened(host::Params& values) {
    OpenedCheck check;
    check.result = session.call(u"OpenCheck", values).boolean();
    check.receiptNumber = values.intAt(4);
    check.shiftNumber = values.intAt(5);
    check.receiptTag = values.tagAt(4);
    check.shiftTag = values.tagAt(5);
    return check;
  }

  bool printItem(const Item& item) {
    host::Params values = session.params(10);
    values.empty(0);
    if (item.nameIsText) {
      values.text(1, item.name);
    } else {
      values.i4(1, 42);
    }
    // The price the platform offers (parameter 3) is not the one the register gets.
    values.r8(2, item.quantity).r8(3, 999.99).r8(4, item.sum).i4(5, 1).r8(6, item.taxRate);
    values.empty(7).empty(8).text(9, item.excise);
    return session.call(u"PrintFiscalString", values).boolean();
  }

  bool closeCheck(double cash, double bank = 0, double credit = 0, double tara = 0) {
    host::Params values = session.params(5);
    values.empty(0).r8(1, cash).r8(2, bank).r8(3, credit).r8(4, tara);
    return session.call(u"CloseCheck", values).boolean();
  }

  bool cancelCheck() {
    host::Params values = session.params(1);
    values.empty(0);
    return session.call(u"CancelCheck", values).boolean();
  }

  std::vector<std::string> bodiesTo(const std::string& target) const {
    std::vector<std::string> bodies;
    for (const fake::RecordedRequest& request : till.requests())
      if (request.target == target) bodies.push_back(request.body);
    return bodies;
  }

  // The one sale request the test expects, or "" after a failed expectation.
  std::string onlySaleBody() const {
    const std::vector<std::string> sales = bodiesTo("/api");
    EXPECT_EQ(sales.size(), 1u);
    return sales.empty() ? std::string() : sales.front();
  }

  fake::FakeRegister till;
  host::DriverSession session;
};

class ReceiptTest : public ::testing::Test, public Checkout {};

}  // namespace receipts
