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
