// The register's endpoints as the worker speaks them: every body byte for byte as the register
// receives it, and what the worker takes from each kind of reply.
#include <gtest/gtest.h>

#include <clocale>
#include <functional>
#include <string>
#include <vector>

#include "device/http_worker.h"
#include "tests/support/fake_register.h"

namespace {

constexpr int32_t kKey = 4242;

class EndpointsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    worker.settings.ip = reg.ip();
    worker.settings.key = kKey;
  }

  fake::FakeRegister reg;
  httpWorker worker;
};

using Prepare = std::function<void(httpWorker&)>;
using Send = std::function<bool(httpWorker&)>;

bool sale(httpWorker& w) { return w.sendSale(); }
bool keyRequest(httpWorker& w) { return w.requestApiKey(); }
bool cashInOut(httpWorker& w) { return w.sendCashInOut(); }
Send keyed(const std::string& path) {
  return [path](httpWorker& w) { return w.sendKeyed(path); };
}

struct WireCase {
  const char* name;
  Prepare prepare;
  Send send;
  const char* path;
  std::string body;
};

TEST_F(EndpointsTest, EachEndpointSendsItsBodyByteForByte) {
  const std::string itemData = R"([{"name":"Хлеб & соль","price":10,"quantity":1,"taxid":"1"},])";
  const std::vector<WireCase> cases = {
      {"sale with total 0 sends neither tax nor sale",
       [&](httpWorker& w) {
         w.receipt.cash = 5;
         w.receipt.itemData = "[]";
         w.receipt.printText = "Итого\r\n";
       },
       sale, "/api", "key=4242&cash=5&itemdata=[]&print=Итого\r\n"},
      {"sale sends the tax code before the sale amount",
       [](httpWorker& w) {
         w.receipt.total = 100;
         w.receipt.cash = 60;
         w.receipt.bank = 40;
         w.receipt.taxCode = 3;
       },
       sale, "/api", "key=4242&tax=3&sale=100&cash=60&bank=40"},
      {"return with MultiTax off: tax before saleReturn",
       [](httpWorker& w) {
         w.receipt.saleReturn = true;
         w.receipt.total = 50;
         w.receipt.credit = 50;
       },
       sale, "/api", "key=4242&tax=1&saleReturn=50&credit=50"},
      {"return with MultiTax on sends no tax",
       [](httpWorker& w) {
         w.settings.multiTax = true;
         w.receipt.saleReturn = true;
         w.receipt.total = 50;
         w.receipt.tara = 50;
         w.receipt.taxCode = 9;
       },
       sale, "/api", "key=4242&saleReturn=50&tara=50"},
      {"sale with MultiTax on sends no tax",
       [](httpWorker& w) {
         w.settings.multiTax = true;
         w.receipt.total = 20;
         w.receipt.taxCode = 9;
       },
       sale, "/api", "key=4242&sale=20"},
      {"amounts go with six significant digits",
       [](httpWorker& w) {
         w.receipt.total = 12345.67;
         w.receipt.cash = 12345.67;
       },
       sale, "/api", "key=4242&tax=1&sale=12345.7&cash=12345.7"},
      {"a million goes in exponent form",
       [](httpWorker& w) {
         w.receipt.total = 1000000;
         w.receipt.bank = 1000000;
       },
       sale, "/api", "key=4242&tax=1&sale=1e+06&bank=1e+06"},
      {"payments in the order cash, bank, tara, credit, then items and print",
       [&](httpWorker& w) {
         w.receipt.total = 10.5;
         w.receipt.cash = 1;
         w.receipt.bank = 2;
         w.receipt.tara = 3;
         w.receipt.credit = 4.5;
         w.receipt.itemData = itemData;
         w.receipt.printText = "a&b=c+d%20е";
       },
       sale, "/api",
       "key=4242&tax=1&sale=10.5&cash=1&bank=2&tara=3&credit=4.5&itemdata=" + itemData +
           "&print=a&b=c+d%20е"},
      {"a negative key and a negative amount are written with their sign",
       [](httpWorker& w) {
         w.settings.key = -7;
         w.receipt.total = -3;
         w.receipt.taxCode = -2;
       },
       sale, "/api", "key=-7&tax=-2&sale=-3"},
      {"a keyed request carries the print text raw",
       [](httpWorker& w) { w.receipt.printText = "Сумма & итог = 100%+"; }, keyed("/apiprint"),
       "/apiprint", "key=4242&print=Сумма & итог = 100%+"},
      {"a keyed request without print text is the key alone", nullptr, keyed("/apixreport"),
       "/apixreport", "key=4242"},
      {"a keyed path keeps its own query", [](httpWorker& w) { w.receipt.printText = "x"; },
       keyed("/apicheck/?lockhost=true"), "/apicheck/?lockhost=true", "key=4242&print=x"},
      {"a print of its own ignores the receipt's print text",
       [](httpWorker& w) { w.receipt.printText = "receipt"; },
       [](httpWorker& w) { return w.sendKeyedPrint("/apiprint", "--open-cash--"); }, "/apiprint",
       "key=4242&print=--open-cash--"},
      {"the key request's fixed text has a blank on each side of its '='",
       [](httpWorker& w) {
         w.settings.login = 7;
         w.settings.password = 583;
         w.receipt.printText = "not sent";
       },
       keyRequest, "/dolog?", "login=7&password=583&getApiKey = true"},
      {"the key request writes negative codes with their sign",
       [](httpWorker& w) {
         w.settings.login = -1;
         w.settings.password = 0;
       },
       keyRequest, "/dolog?", "login=-1&password=0&getApiKey = true"},
      {"the short information body starts with '&' and has no print text",
       [](httpWorker& w) { w.receipt.printText = "not sent"; },
       [](httpWorker& w) {
         w.getInfoMinimum("currentShiftID");
         return true;
       },
       "/apicheck/getInfo?show=minimum", "&key=4242"},
      {"the full information is a keyed request", [](httpWorker& w) { w.receipt.printText = "x"; },
       [](httpWorker& w) {
         w.getInfo("applicationVersion");
         return true;
       },
       "/apicheck/getInfo", "key=4242&print=x"},
      {"the tax table is a keyed request", nullptr, [](httpWorker& w) { return w.loadTaxTable(); },
       "/dump/table/taxesbycode", "key=4242"},
      {"a deposit of 0", [](httpWorker& w) { w.receipt.cashAmount = 0; }, cashInOut, "/apideposit",
       "key=4242&cash=0"},
      {"a deposit carries no print text",
       [](httpWorker& w) {
         w.receipt.cashAmount = 1234.5;
         w.receipt.printText = "not sent";
       },
       cashInOut, "/apideposit", "key=4242&cash=1234.5"},
      {"a withdrawal of -150 sends 150", [](httpWorker& w) { w.receipt.cashAmount = -150; },
       cashInOut, "/apiwithdraw", "key=4242&cash=150"},
      {"a withdrawal of -150.5 sends 150.5", [](httpWorker& w) { w.receipt.cashAmount = -150.5; },
       cashInOut, "/apiwithdraw", "key=4242&cash=150.5"},
  };
  for (const WireCase& c : cases) {
    SCOPED_TRACE(c.name);
    reg.clearRecord();
    httpWorker fresh;
    fresh.settings.ip = reg.ip();
    fresh.settings.key = kKey;
    if (c.prepare) c.prepare(fresh);
    EXPECT_TRUE(c.send(fresh));
    const std::vector<fake::RecordedRequest> received = reg.requests();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].method, "POST");
    EXPECT_EQ(received[0].target, c.path);
    EXPECT_EQ(received[0].body, c.body);
  }
}

TEST_F(EndpointsTest, AWithdrawalKeepsItsAmountPositive) {
  worker.receipt.cashAmount = -150;
  ASSERT_TRUE(worker.sendCashInOut());
  EXPECT_EQ(worker.receipt.cashAmount, 150);
  // A repeated withdrawal would now be a deposit: the amount is the caller's to set again.
  ASSERT_TRUE(worker.sendCashInOut());
  EXPECT_EQ(reg.lastRequest().target, "/apideposit");
}

TEST_F(EndpointsTest, NoEndpointEmptiesThePrintText) {
  worker.receipt.printText = "slip";
  worker.sendKeyed("/apixreport");
  worker.sendKeyedPrint("/apiprint", "--open-cash--");
  worker.getInfoMinimum("currentShiftID");
  worker.getInfo("applicationVersion");
  worker.loadTaxTable();
  worker.requestApiKey();
  worker.sendCashInOut();
  worker.sendSale();
  EXPECT_EQ(worker.receipt.printText, "slip");
  EXPECT_EQ(reg.lastRequest().body, "key=4242&print=slip");
}

// The register hands out a new key in the body of an accepted sale, key request or cash
// document; the body is read as C's atoi reads it, and only a positive number is a key.
TEST_F(EndpointsTest, KeyRenewalTakesOnlyAPositiveNumberWithinThirtyTwoBits) {
  struct Renewer {
    const char* name;
    Send send;
  } const renewers[] = {{"sale", sale}, {"key request", keyRequest}, {"cash", cashInOut}};
  struct Case {
    const char* body;
    int32_t key;
  } const cases[] = {
      {"777", 777},
      {"  42 is your key", 42},
      {"+9", 9},
      {"12abc", 12},
      {"2147483647", 2147483647},
      {"0", kKey},
      {"-5", kKey},
      {"key", kKey},
      {"", kKey},
      {"99999999999999999999", kKey},
      {"2147483648", kKey},
  };
  for (const Renewer& renewer : renewers) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(renewer.name) + " answered \"" + c.body + "\"");
      worker.settings.key = kKey;
      reg.enqueue(fake::Reply::ok(c.body));
      EXPECT_TRUE(renewer.send(worker));
      EXPECT_EQ(worker.settings.key, c.key);
    }
  }
}

TEST_F(EndpointsTest, ARefusedRequestRenewsNoKey) {
  const Send renewers[] = {sale, keyRequest, cashInOut};
  for (const Send& send : renewers) {
    reg.enqueue(fake::Reply::status(400, "incorrect-web-api-key", "777"));
    EXPECT_FALSE(send(worker));
    EXPECT_EQ(worker.settings.key, kKey);
  }
}

TEST_F(EndpointsTest, RequestsThatReadNothingNeverTakeAKey) {
  reg.setDefault(fake::Reply::ok("777"));
  worker.sendKeyed("/apicheck");
  worker.sendKeyedPrint("/apiprint", "x");
  worker.getInfoMinimum("currentShiftID");
  worker.getInfo("applicationVersion");
  worker.loadTaxTable();
  EXPECT_EQ(worker.settings.key, kKey);
}

// A refused login is explained in the body; the explanation becomes the error code that the
// caller and GetLastError see.
TEST_F(EndpointsTest, AFailedKeyRequestMakesTheBodyTheErrorCode) {
  reg.enqueue(fake::Reply::status(403, "login-refused", "Неверный пароль"));
  EXPECT_FALSE(worker.requestApiKey());
  EXPECT_EQ(worker.settings.errorHead, "Неверный пароль");
  EXPECT_EQ(worker.settings.errorBody, "Неверный пароль");

  // Other refused requests keep the register's code.
  reg.enqueue(fake::Reply::status(400, "shift-gt-24h", "Смена"));
  EXPECT_FALSE(worker.sendSale());
  EXPECT_EQ(worker.settings.errorHead, "shift-gt-24h");
  EXPECT_EQ(worker.settings.errorBody, "Смена");
}

TEST_F(EndpointsTest, AKeyRequestToAnUnreachableRegisterLeavesNotFoundInBoth) {
  reg.stop();
  EXPECT_FALSE(worker.requestApiKey());
  EXPECT_EQ(worker.settings.errorHead, "not found IP Tavix");
  EXPECT_EQ(worker.settings.errorBody, "not found IP Tavix");
  EXPECT_EQ(worker.settings.key, kKey);
}

TEST_F(EndpointsTest, AnAcceptedKeyRequestKeepsTheReasonPhrase) {
  reg.enqueue(fake::Reply::ok("777"));
  EXPECT_TRUE(worker.requestApiKey());
  EXPECT_EQ(worker.settings.errorHead, "OK");
  EXPECT_EQ(worker.settings.errorBody, "777");
}

struct MemberCase {
  const char* body;
  const char* expected;
};

TEST_F(EndpointsTest, ShortInformationTakesOnlyAStringMember) {
  const MemberCase cases[] = {
      {R"({"currentShiftID":"5"})", "5"},
      {R"({"currentShiftStatus":"opened","currentShiftID":"17"})", "17"},
      {R"({"currentShiftID":"открыта"})", "открыта"},
      {R"({"currentShiftID":""})", ""},
      {R"({"currentShiftID":"5"} and more)", "5"},
      {R"({"currentShiftID":5})", "0"},
      {R"({"currentShiftID":null})", "0"},
      {R"({"currentShiftID":true})", "0"},
      {R"({"currentShiftID":["5"]})", "0"},
      {R"({"currentshiftid":"5"})", "0"},
      {R"({"info":{"currentShiftID":"5"}})", "0"},
      {R"({})", "0"},
      {R"([{"currentShiftID":"5"}])", "0"},
      {R"(["currentShiftID","5"])", "0"},
      {R"("currentShiftID")", "0"},
      {"currentShiftID=5", "0"},
      {R"({"currentShiftID":"5")", "0"},
      {"", "0"},
  };
  for (const MemberCase& c : cases) {
    SCOPED_TRACE(c.body);
    reg.enqueue(fake::Reply::ok(c.body));
    EXPECT_EQ(worker.getInfoMinimum("currentShiftID"), c.expected);
  }
}

TEST_F(EndpointsTest, FullInformationTakesAStringOrANumber) {
  const MemberCase cases[] = {
      {R"({"applicationVersion":102305})", "102305"},
      {R"({"applicationVersion":"102305"})", "102305"},
      {R"({"applicationVersion":"1.2.3-beta"})", "1.2.3-beta"},
      {R"({"applicationVersion":102305.9})", "102305"},
      {R"({"applicationVersion":-1})", "-1"},
      {R"({"applicationVersion":0})", "0"},
      // Numbers beyond 32 bits saturate instead of overflowing.
      {R"({"applicationVersion":1e12})", "2147483647"},
      {R"({"applicationVersion":-1e12})", "-2147483648"},
      {R"({"applicationVersion":true})", "0"},
      {R"({"applicationVersion":null})", "0"},
      {R"({"applicationVersion":{"major":1}})", "0"},
      {R"({"applicationVersion":[102305]})", "0"},
      {R"({"ApplicationVersion":102305})", "0"},
      {R"([{"applicationVersion":102305}])", "0"},
      {"102305", "0"},
      {"version 102305", "0"},
  };
  for (const MemberCase& c : cases) {
    SCOPED_TRACE(c.body);
    reg.enqueue(fake::Reply::ok(c.body));
    EXPECT_EQ(worker.getInfo("applicationVersion"), c.expected);
  }
}

TEST_F(EndpointsTest, InformationFromARefusedRequestIsZero) {
  reg.setDefault(fake::Reply::status(400, "incorrect-web-api-key",
                                     R"({"currentShiftID":"5","applicationVersion":102305})"));
  EXPECT_EQ(worker.getInfoMinimum("currentShiftID"), "0");
  EXPECT_EQ(worker.getInfo("applicationVersion"), "0");
  reg.stop();
  EXPECT_EQ(worker.getInfoMinimum("currentShiftID"), "0");
  EXPECT_EQ(worker.getInfo("applicationVersion"), "0");
}

// Each receipt line's tax id comes from the register's tax table; a rate the table does not
// give as a text falls back to the default tax code.
TEST_F(EndpointsTest, TaxIdOfARateTakesOnlyAStringFromTheTable) {
  struct Case {
    const char* taxMap;
    double rate;
    const char* expected;  // the default tax code is 7
  } const cases[] = {
      {R"({"20":"3"})", 20, "3"},
      {R"({"20":3})", 20, "7"},
      {R"({"12":1,"0":2})", 12, "7"},
      {R"({"12":1,"0":2})", 0, "7"},
      {R"({"0":"2"})", 0, "2"},
      {R"({"16.67":"4"})", 16.67, "4"},
      {R"({"10":"1","20":"2"})", 20.0000001, "2"},
      {R"({"1e+06":"5"})", 1000000, "5"},
      {R"({"20.0":"3"})", 20, "7"},
      {R"({"20":null})", 20, "7"},
      {R"([{"20":"3"}])", 20, "7"},
      {R"(20)", 20, "7"},
      {"not a table", 20, "7"},
      {"", 20, "7"},
  };
  worker.receipt.taxCode = 7;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.taxMap) + " for " + std::to_string(c.rate));
    worker.settings.taxMap = c.taxMap;
    EXPECT_EQ(worker.taxIdForRate(c.rate), c.expected);
  }
  EXPECT_EQ(reg.requestCount(), 0u);
}

TEST_F(EndpointsTest, TheInitialTaxTableAlwaysGivesTheDefaultCode) {
  worker.receipt.taxCode = -2;
  EXPECT_EQ(worker.taxIdForRate(12), "-2");
  EXPECT_EQ(worker.taxIdForRate(0), "-2");
}

TEST_F(EndpointsTest, TheTaxTableIsTheWholeBodyAndSurvivesAFailure) {
  const std::string table = R"({"20":"3", "10":"2"} )";
  reg.enqueue(fake::Reply::ok(table));
  EXPECT_TRUE(worker.loadTaxTable());
  EXPECT_EQ(worker.settings.taxMap, table);
  EXPECT_EQ(worker.taxIdForRate(20), "3");

  reg.enqueue(fake::Reply::status(400, "incorrect-web-api-key", R"({"20":"9"})"));
  EXPECT_FALSE(worker.loadTaxTable());
  EXPECT_EQ(worker.settings.taxMap, table);

  // What the register sends is kept as it is, even when it is no table.
  reg.enqueue(fake::Reply::ok("no table today"));
  EXPECT_TRUE(worker.loadTaxTable());
  EXPECT_EQ(worker.settings.taxMap, "no table today");
  EXPECT_EQ(worker.taxIdForRate(20), "1");
}

// The platform sets the process's locale, and in Russian C writes a decimal comma; the register
// reads only a point.
class EndpointsUnderRussianLocale : public EndpointsTest {
 protected:
  void SetUp() override {
    EndpointsTest::SetUp();
    previous_ = std::setlocale(LC_ALL, nullptr);
    if (std::setlocale(LC_ALL, "ru_RU.UTF-8") == nullptr)
      GTEST_SKIP() << "the ru_RU.UTF-8 locale is not installed (scripts/install-deps.sh "
                      "generates it)";
    ASSERT_STREQ(std::localeconv()->decimal_point, ",");
  }
  void TearDown() override { std::setlocale(LC_ALL, previous_.c_str()); }

 private:
  std::string previous_;
};

TEST_F(EndpointsUnderRussianLocale, AmountsKeepThePoint) {
  worker.receipt.total = 12345.67;
  worker.receipt.cash = 0.5;
  worker.receipt.bank = 1000000;
  ASSERT_TRUE(worker.sendSale());
  EXPECT_EQ(reg.lastRequest().body, "key=4242&tax=1&sale=12345.7&cash=0.5&bank=1e+06");

  worker.receipt.cashAmount = -150.25;
  ASSERT_TRUE(worker.sendCashInOut());
  EXPECT_EQ(reg.lastRequest().body, "key=4242&cash=150.25");

  worker.settings.taxMap = R"({"16.67":"4"})";
  EXPECT_EQ(worker.taxIdForRate(16.67), "4");

  reg.enqueue(fake::Reply::ok(R"({"applicationVersion":102305.5})"));
  EXPECT_EQ(worker.getInfo("applicationVersion"), "102305");
}

}  // namespace
