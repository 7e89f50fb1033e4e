// A register that has carried out a sale or a cash document and then drops the kept connection
// before its reply must not get the same document a second time: libcurl resends a request
// silently when a kept connection breaks before the first reply byte.
#include <gtest/gtest.h>

#include "tests/driver/receipt_fixture.h"

namespace {

using receipts::Checkout;
using receipts::Item;

struct DroppedDocument {
  const char* name;
  const char* target;
  // Leaves the connection of an earlier request open, then makes the request whose reply is
  // dropped; answers the driver's result.
  bool (*run)(Checkout& till);
};

const DroppedDocument kDocuments[] = {
    {"sale", "/api",
     [](Checkout& c) {
       c.openCheck();  // "/apicheck" and the shift number go on the kept connection
       c.printItem(Item(u"Хлеб", 1, 40));
       c.till.enqueue(fake::Reply::closed());
       return c.closeCheck(40);
     }},
    {"deposit", "/apideposit",
     [](Checkout& c) {
       host::Params test = c.session.params(2);
       c.session.call(u"DeviceTest", test);
       c.till.enqueue(fake::Reply::closed());
       host::Params cash = c.session.params(2);
       cash.empty(0).r8(1, 500);
       return c.session.call(u"CashInOutcome", cash).boolean();
     }},
    {"withdrawal", "/apiwithdraw",
     [](Checkout& c) {
       host::Params test = c.session.params(2);
       c.session.call(u"DeviceTest", test);
       c.till.enqueue(fake::Reply::closed());
       host::Params cash = c.session.params(2);
       cash.empty(0).r8(1, -150);
       return c.session.call(u"CashInOutcome", cash).boolean();
     }},
};

TEST(NoDoubleDocument, DroppedReplyIsNeverResent) {
  for (const DroppedDocument& document : kDocuments) {
    SCOPED_TRACE(document.name);
    Checkout checkout;
    EXPECT_FALSE(document.run(checkout));
    EXPECT_EQ(checkout.bodiesTo(document.target).size(), 1u);
    EXPECT_EQ(checkout.session.lastError(),
              u"Ошибка IP Tavix, укажите в параметрах правильный IP адрес или включите на "
              u"устройстве ФР режим");
  }
}

}  // namespace

namespace {

// The register's tax table reached the driver once; a later one that breaks off in its body must
// not take its place, or the receipts would go out with the default tax id.
TEST(BrokenReply, ATaxTableCutShortLeavesTheOneTheReceiptsUse) {
  Checkout checkout;
  checkout.session.setSettingFlag(u"MultiTax", true);
  checkout.till.setHandler([](const fake::RecordedRequest& request) {
    if (request.target == "/dump/table/taxesbycode") return fake::Reply::ok(R"({"20":"3"})");
    if (request.target == "/apicheck/getInfo?show=minimum")
      return fake::Reply::ok(R"({"currentShiftID":"5"})");
    return fake::Reply::ok();
  });
  checkout.openCheck();  // reads the shift number and the register's tax table

  fake::Reply cut = fake::Reply::raw("HTTP/1.1 200 OK\r\nContent-Length: 40\r\n\r\n{\"20\":");
  cut.closeAfter = true;
  checkout.till.enqueue(cut);
  host::Params action = checkout.session.params(1);
  action.text(0, u"TaxSetting");
  EXPECT_TRUE(checkout.session.call(u"DoAdditionalAction", action).boolean());
  ASSERT_FALSE(checkout.session.connection.messages.empty());
  EXPECT_EQ(checkout.session.connection.messages.back().text, u"Not found");

  checkout.printItem(Item(u"Хлеб", 1, 40, 20));
  EXPECT_TRUE(checkout.closeCheck(40));
  EXPECT_NE(checkout.onlySaleBody().find("\"taxid\":\"3\""), std::string::npos);
}

}  // namespace
