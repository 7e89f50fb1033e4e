// CloseCheck and CancelCheck through the loaded library: the sale request on the wire, the
// register's refusals the cashier resolves at the till (a long shift, a rejected key), and what
// is left of the receipt after each outcome.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "tests/driver/receipt_fixture.h"

namespace receipts {
namespace {

using fake::Reply;

constexpr char kLongShiftQuestion[] =
    "Смена на кассовом аппарате отрыта более 24 часов. Закрыть смену сейчас?(не рекомендуется)";
constexpr char kZReportNotice[] = "Z-Отчет напечатался?";
constexpr char kKeyValue[] = "iApiKey:0";

const std::string kBreadAndSalt =
    R"([{"name":"Хлеб","price":"91","qty":"1","sum":"91","taxid":"1"},)"
    R"({"name":"Соль","price":"5","qty":"2","sum":"10","taxid":"1"},])";
const std::string kBreadAndSaltPrint = "1.Хлеб\r\n1x91=91" + std::string(19, ' ') + "\r\n" +
                                       "2.Соль\r\n2x5=10" + std::string(20, ' ') + "\r\n";

class ReceiptCompletion : public ReceiptTest {
 protected:
  void openBreadAndSalt(bool isReturn = false) {
    ASSERT_TRUE(openCheck(true, isReturn).result);
    ASSERT_TRUE(printItem({u"Хлеб", 1, 91}));
    ASSERT_TRUE(printItem({u"Соль", 2, 10}));
    till.clearRecord();
  }

  std::vector<std::pair<std::string, std::string>> messages() const {
    std::vector<std::pair<std::string, std::string>> posted;
    for (const host::PostedMessage& message : session.connection.messages) {
      EXPECT_EQ(message.code, 1005);
      EXPECT_EQ(message.status, 0);
      posted.emplace_back(host::u8(message.source), host::u8(message.text));
    }
    return posted;
  }

  int32_t storedKey() const {
    const tVariant value = session.connection.profileValue(host::u16(kKeyValue));
    return value.vt == VTYPE_I4 ? value.value.lVal : -1;
  }

  // The receipt is empty when a further CloseCheck finds no receipt to send.
  void expectNoReceiptLeft() {
    till.clearRecord();
    EXPECT_TRUE(closeCheck(1));
    EXPECT_EQ(till.requestCount(), 0u);
  }
};

TEST_F(ReceiptCompletion, TwoItemsPaidInCashGoInOneSaleAndEmptyTheReceipt) {
  openBreadAndSalt();
  EXPECT_TRUE(closeCheck(101));
  EXPECT_EQ(till.targets(), std::vector<std::string>{"/api"});
  EXPECT_EQ(onlySaleBody(), "key=60418253&tax=1&sale=101&cash=101&itemdata=" + kBreadAndSalt +
                                "&print=" + kBreadAndSaltPrint);
  EXPECT_TRUE(messages().empty());
  expectNoReceiptLeft();
}

struct SaleCase {
  const char* label;
  bool isReturn;
  bool multiTax;
  double cash, bank, credit, tara;
  std::string amounts;  // the body between the key and the item array
};

TEST(ReceiptSale, TheAmountsGoUnderTheirOwnNames) {
  const std::vector<SaleCase> cases = {
      {"a sale", false, false, 101, 0, 0, 0, "&tax=1&sale=101&cash=101"},
      {"a return", true, false, 101, 0, 0, 0, "&tax=1&saleReturn=101&cash=101"},
      {"a sale with MultiTax", false, true, 101, 0, 0, 0, "&sale=101&cash=101"},
      {"a return with MultiTax", true, true, 101, 0, 0, 0, "&saleReturn=101&cash=101"},
      {"card, credit and tara", false, false, 0, 50, 30, 21.5,
       "&tax=1&sale=101&bank=50&tara=21.5&credit=30"},
      {"the payments are not checked against the total", false, false, 5000.25, 0.5, 0, 0,
       "&tax=1&sale=101&cash=5000.25&bank=0.5"},
  };
  for (const SaleCase& c : cases) {
    SCOPED_TRACE(c.label);
    Checkout checkout;
    checkout.session.setSettingFlag(u"MultiTax", c.multiTax);
    ASSERT_TRUE(checkout.openCheck(true, c.isReturn).result);
    ASSERT_TRUE(checkout.printItem({u"Хлеб", 1, 91}));
    ASSERT_TRUE(checkout.printItem({u"Соль", 2, 10}));
    EXPECT_TRUE(checkout.closeCheck(c.cash, c.bank, c.credit, c.tara));
    EXPECT_EQ(checkout.onlySaleBody(), "key=60418253" + c.amounts + "&itemdata=" + kBreadAndSalt +
                                           "&print=" + kBreadAndSaltPrint);
  }
}

TEST_F(ReceiptCompletion, AReceiptWithoutItemsSendsAnEmptyArrayAndNoAmount) {
  ASSERT_TRUE(openCheck().result);
  till.clearRecord();
  EXPECT_TRUE(closeCheck(0));
  EXPECT_EQ(onlySaleBody(), "key=60418253&itemdata=[]");
}

TEST(ReceiptWithoutSale, NoFiscalReceiptOpenSendsNothingAndSucceeds) {
  // A new component has never opened a receipt; a non-fiscal receipt is the platform's own.
  for (bool openedNonFiscal : {false, true}) {
    SCOPED_TRACE(openedNonFiscal ? "after a non-fiscal OpenCheck" : "before any OpenCheck");
    Checkout checkout;
    if (openedNonFiscal) {
      ASSERT_TRUE(checkout.openCheck(false).result);
    }
    EXPECT_TRUE(checkout.closeCheck(101));
    EXPECT_EQ(checkout.till.requestCount(), 0u);
  }
}

TEST_F(ReceiptCompletion, ThePlatformsProcedureFormSendsNothing) {
  openBreadAndSalt();
  host::Params values = session.params(5);
  values.empty(0).r8(1, 101).r8(2, 0).r8(3, 0).r8(4, 0);
  EXPECT_TRUE(session.callAsProcedure(u"CloseCheck", values));
  EXPECT_TRUE(session.callWithoutResult(u"CloseCheck", values));
  EXPECT_EQ(till.requestCount(), 0u);

  EXPECT_TRUE(closeCheck(101));
  EXPECT_EQ(itemDataOf(onlySaleBody()), kBreadAndSalt);
}

TEST_F(ReceiptCompletion, CancelCheckDropsTheReceiptWithoutTellingTheRegister) {
  openBreadAndSalt();
  EXPECT_TRUE(cancelCheck());
  EXPECT_EQ(till.requestCount(), 0u);
  expectNoReceiptLeft();

  // The next receipt starts from nothing: numbering, total and print text.
  ASSERT_TRUE(openCheck().result);
  ASSERT_TRUE(printItem({u"Соль", 2, 10}));
  till.clearRecord();
  ASSERT_TRUE(closeCheck(10));
  EXPECT_EQ(onlySaleBody(),
            "key=60418253&tax=1&sale=10&cash=10"
            R"(&itemdata=[{"name":"Соль","price":"5","qty":"2","sum":"10","taxid":"1"},])"
            "&print=1.Соль\r\n2x5=10" +
                std::string(20, ' ') + "\r\n");
}

// --- Refusals --------------------------------------------------------------------------------

TEST_F(ReceiptCompletion, ARefusedSaleIsSentAgainByteForByte) {
  openBreadAndSalt();
  till.enqueue(Reply::status(400, "check-not-closed"));
  till.enqueue(Reply::status(400, "no-paper"));
  EXPECT_FALSE(closeCheck(101));
  EXPECT_FALSE(closeCheck(101));
  EXPECT_TRUE(closeCheck(101));

  const std::vector<std::string> sales = bodiesTo("/api");
  ASSERT_EQ(sales.size(), 3u);
  EXPECT_EQ(sales[0], "key=60418253&tax=1&sale=101&cash=101&itemdata=" + kBreadAndSalt +
                          "&print=" + kBreadAndSaltPrint);
  EXPECT_EQ(sales[1], sales[0]);
  EXPECT_EQ(sales[2], sales[0]);
  EXPECT_TRUE(messages().empty());
  expectNoReceiptLeft();
}

TEST_F(ReceiptCompletion, AnItemAddedAfterARefusalJoinsTheSameArray) {
  openBreadAndSalt();
  till.enqueue(Reply::status(400, "check-not-closed"));
  EXPECT_FALSE(closeCheck(50));
  ASSERT_TRUE(printItem({u"Спички", 1, 2}));
  EXPECT_TRUE(closeCheck(103, 0, 0, 0));

  const std::vector<std::string> sales = bodiesTo("/api");
  ASSERT_EQ(sales.size(), 2u);
  EXPECT_EQ(sales[1], "key=60418253&tax=1&sale=103&cash=103&itemdata=" +
                          kBreadAndSalt.substr(0, kBreadAndSalt.size() - 1) +
                          R"({"name":"Спички","price":"2","qty":"1","sum":"2","taxid":"1"},])" +
                          "&print=" + kBreadAndSaltPrint + "3.Спички\r\n1x2=2" +
                          std::string(21, ' ') + "\r\n");
}

TEST_F(ReceiptCompletion, AnUnreachableRegisterLeavesTheReceiptAndTheReasonForGetLastError) {
  openBreadAndSalt();
  till.stop();
  EXPECT_FALSE(closeCheck(101));
  EXPECT_TRUE(messages().empty());
  EXPECT_NE(host::u8(session.lastError()).find("Ошибка IP Tavix"), std::string::npos)
      << host::u8(session.lastError());

  till.start();
  EXPECT_TRUE(closeCheck(101));
  EXPECT_EQ(itemDataOf(onlySaleBody()), kBreadAndSalt);
}

using ShownDialog = std::pair<host::Dialog::Kind, std::string>;

struct LongShiftCase {
  const char* label;
  bool withMessageBox;
  bool answer;
  std::vector<std::string> targets;
  std::vector<ShownDialog> dialogs;
};

TEST(ReceiptLongShift, OnlyTheCashiersYesClosesTheShift) {
  const std::vector<LongShiftCase> cases = {
      {"yes",
       true,
       true,
       {"/api", "/apizreport"},
       {{host::Dialog::Confirm, kLongShiftQuestion}, {host::Dialog::Alert, kZReportNotice}}},
      {"no", true, false, {"/api"}, {{host::Dialog::Confirm, kLongShiftQuestion}}},
      {"no message box", false, true, {"/api"}, {}},
  };
  for (const LongShiftCase& c : cases) {
    SCOPED_TRACE(c.label);
    fake::FakeRegister till;
    host::SessionOptions options;
    options.withMessageBox = c.withMessageBox;
    host::DriverSession session(options);
    session.useRegister(till.ip());
    session.messageBox.defaultAnswer = c.answer;

    host::Params open = session.params(6);
    open.empty(0).boolean(1, true).boolean(2, false).empty(3).i4(4, 0).i4(5, 0);
    ASSERT_TRUE(session.call(u"OpenCheck", open).boolean());
    host::Params item = session.params(10);
    item.empty(0).text(1, u"Хлеб").r8(2, 1).empty(3).r8(4, 91).empty(5).r8(6, 20);
    item.empty(7).empty(8).text(9, u"");
    ASSERT_TRUE(session.call(u"PrintFiscalString", item).boolean());
    till.clearRecord();
    till.enqueue(Reply::status(400, "shift-gt-24h"));

    host::Params close = session.params(5);
    close.empty(0).r8(1, 91).r8(2, 0).r8(3, 0).r8(4, 0);
    const host::CallResult closed = session.call(u"CloseCheck", close);
    EXPECT_EQ(closed.tag(), VTYPE_BOOL);
    EXPECT_FALSE(closed.boolean());

    EXPECT_EQ(till.targets(), c.targets);
    std::vector<ShownDialog> shown;
    for (const host::Dialog& dialog : session.messageBox.dialogs)
      shown.emplace_back(dialog.kind, host::u8(dialog.text));
    EXPECT_EQ(shown, c.dialogs);
    EXPECT_TRUE(session.connection.messages.empty());
  }
}

TEST_F(ReceiptCompletion, TheLongShiftZReportCarriesTheReceiptAndStartsANewShift) {
  till.setHandler([](const fake::RecordedRequest& request) {
    return request.target == "/apicheck/getInfo?show=minimum"
               ? Reply::ok(R"({"currentShiftID":"7"})")
               : Reply::ok();
  });
  openBreadAndSalt();
  session.messageBox.answer(true);
  till.enqueue(Reply::status(400, "shift-gt-24h"));
  EXPECT_FALSE(closeCheck(101));
  EXPECT_EQ(bodiesTo("/apizreport"),
            std::vector<std::string>{"key=60418253&print=" + kBreadAndSaltPrint});

  // The receipt waits for the cashier's repeated CloseCheck, unchanged.
  EXPECT_TRUE(closeCheck(101));
  const std::vector<std::string> sales = bodiesTo("/api");
  ASSERT_EQ(sales.size(), 2u);
  EXPECT_EQ(sales[1], sales[0]);

  // The shift the Z report closed is not the next receipt's.
  till.clearRecord();
  EXPECT_EQ(openCheck().shiftNumber, 7);
  EXPECT_EQ(till.targets(),
            (std::vector<std::string>{"/apicheck", "/apicheck/getInfo?show=minimum"}));
}

TEST_F(ReceiptCompletion, AfterARefusedLongShiftCancelCheckEmptiesTheReceipt) {
  openBreadAndSalt();
  till.enqueue(Reply::status(400, "shift-gt-24h"));
  EXPECT_FALSE(closeCheck(101));
  EXPECT_TRUE(cancelCheck());
  expectNoReceiptLeft();
}

struct KeyRenewalCase {
  const char* label;
  std::string rejection;
  Reply login;
  bool profileRefuses;
  std::vector<std::pair<std::string, std::string>> messages;
  int32_t keyAfter;  // the key the repeated sale carries
};

TEST(ReceiptKeyRenewal, ARejectedKeyIsRenewedAndTheCashierAskedToRepeat) {
  const std::vector<KeyRenewalCase> cases = {
      {"login succeeds, key stored",
       "incorrect-web-api-key",
       Reply::ok("777"),
       false,
       {{"Повторите операцию. Получен и записан новый ключ ", "777"}},
       777},
      {"an old key, renewed the same way",
       "old-web-api-key",
       Reply::ok("778"),
       false,
       {{"Повторите операцию. Получен и записан новый ключ ", "778"}},
       778},
      {"login succeeds, the profile refuses the key",
       "incorrect-web-api-key",
       Reply::ok("777"),
       true,
       {{"Tavix", "Not Write apikey"}, {"Не могу записать новый ключ см настройки tavix", "777"}},
       777},
      {"login refused",
       "incorrect-web-api-key",
       Reply::status(400, "Forbidden", "неверный пароль"),
       false,
       {{"неверный пароль", "АДМИНИСТРАТОРА"}},
       kInitialKey},
      {"a login reply that is not UTF-8",
       "incorrect-web-api-key",
       Reply::ok("777 \xff\xfe"),
       false,
       {{"Повторите операцию. Получен и записан новый ключ ", "777 \uFFFD\uFFFD"}},
       777},
      {"a refusal that is not UTF-8",
       "incorrect-web-api-key",
       Reply::status(400, "Forbidden", "\xd0 denied"),
       false,
       {{"\uFFFD denied", "АДМИНИСТРАТОРА"}},
       kInitialKey},
      {"another refusal renews nothing",
       "check-not-closed",
       Reply::ok("777"),
       false,
       {},
       kInitialKey},
  };
  for (const KeyRenewalCase& c : cases) {
    SCOPED_TRACE(c.label);
    Checkout checkout;
    checkout.session.connection.failWrite = c.profileRefuses;
    ASSERT_TRUE(checkout.openCheck().result);
    ASSERT_TRUE(checkout.printItem({u"Хлеб", 1, 91}));
    ASSERT_TRUE(checkout.printItem({u"Соль", 2, 10}));
    checkout.till.clearRecord();
    const bool renewing = c.rejection != "check-not-closed";
    checkout.till.enqueue(Reply::status(400, c.rejection));
    if (renewing) checkout.till.enqueue(c.login);

    EXPECT_FALSE(checkout.closeCheck(101));
    const std::vector<std::string> logins =
        renewing ? std::vector<std::string>{"login=166&password=1&getApiKey = true"}
                 : std::vector<std::string>{};
    EXPECT_EQ(checkout.bodiesTo("/dolog?"), logins);
    EXPECT_EQ(checkout.till.requestCount(), 1 + logins.size());
    std::vector<std::pair<std::string, std::string>> posted;
    for (const host::PostedMessage& message : checkout.session.connection.messages)
      posted.emplace_back(host::u8(message.source), host::u8(message.text));
    EXPECT_EQ(posted, c.messages);
    if (!c.profileRefuses && c.keyAfter != kInitialKey) {
      const tVariant stored = checkout.session.connection.profileValue(host::u16(kKeyValue));
      EXPECT_EQ(stored.vt, VTYPE_I4);
      EXPECT_EQ(stored.value.lVal, c.keyAfter);
    }

    // The cashier repeats the sale: the same receipt, with the key the driver now holds.
    checkout.till.clearRecord();
    EXPECT_TRUE(checkout.closeCheck(101));
    EXPECT_EQ(checkout.onlySaleBody(), "key=" + std::to_string(c.keyAfter) +
                                           "&tax=1&sale=101&cash=101&itemdata=" + kBreadAndSalt +
                                           "&print=" + kBreadAndSaltPrint);
  }
}

TEST_F(ReceiptCompletion, AnAcceptedSaleRenewsAndStoresTheKey) {
  openBreadAndSalt();
  till.enqueue(Reply::ok("555"));
  EXPECT_TRUE(closeCheck(101));
  EXPECT_EQ(storedKey(), 555);
  EXPECT_TRUE(messages().empty());

  till.clearRecord();
  ASSERT_TRUE(openCheck().result);
  EXPECT_EQ(bodiesTo("/apicheck"), std::vector<std::string>{"key=555"});
}

TEST_F(ReceiptCompletion, AnAcceptedSaleIsASuccessEvenWhenTheProfileRefusesTheKey) {
  session.connection.failWrite = true;
  openBreadAndSalt();
  till.enqueue(Reply::ok("555"));
  EXPECT_TRUE(closeCheck(101));
  EXPECT_EQ(messages(),
            (std::vector<std::pair<std::string, std::string>>{{"Tavix", "Not Write apikey"}}));
  expectNoReceiptLeft();

  // The key the register handed out stays in use for this session.
  till.clearRecord();
  ASSERT_TRUE(openCheck().result);
  EXPECT_EQ(bodiesTo("/apicheck"), std::vector<std::string>{"key=555"});
}

TEST(ReceiptWholeSale, ASaleFromSettingsToCloseLeavesNoPlatformBlockBehind) {
  fake::FakeRegister till;
  till.setHandler([](const fake::RecordedRequest& request) {
    if (request.target == "/apicheck") return Reply::status(200, "41");
    if (request.target == "/apicheck/getInfo?show=minimum")
      return Reply::ok(R"({"currentShiftID":"12"})");
    if (request.target == "/dump/table/taxesbycode") return Reply::ok(R"({"20":"1","10":"2"})");
    return Reply::ok("60418254");
  });
  {
    host::DriverSession session;
    session.setSetting(u"Ipdest", host::u16(till.ip()));
    session.setSetting(u"Eprint", 32);
    session.setSetting(u"TaxTavix", 3);
    session.setSetting(u"LoginTavix", 1);
    session.setSetting(u"PassTavix", 583);
    session.setSettingFlag(u"MultiTax", true);

    host::Params open = session.params(6);
    open.empty(0).boolean(1, true).boolean(2, false).empty(3).i4(4, 0).i4(5, 0);
    ASSERT_TRUE(session.call(u"OpenCheck", open).boolean());
    EXPECT_EQ(open.intAt(4), 42);
    EXPECT_EQ(open.intAt(5), 12);

    struct Line {
      const char16_t* name;
      double quantity, sum, rate;
    };
    const Line lines[] = {{u"Молоко 3,2%", 2, 91, 10},
                          {u"Хлеб «Дарницкий»", 1, 45.9, 10},
                          {u"Пакет-майка", 1, 5, 20}};
    for (const Line& line : lines) {
      host::Params item = session.params(10);
      item.empty(0).text(1, line.name).r8(2, line.quantity).r8(3, 0).r8(4, line.sum).i4(5, 1);
      item.r8(6, line.rate).empty(7).empty(8).text(9, u"");
      ASSERT_TRUE(session.call(u"PrintFiscalString", item).boolean());
    }
    host::Params close = session.params(5);
    close.empty(0).r8(1, 100).r8(2, 41.9).r8(3, 0).r8(4, 0);
    ASSERT_TRUE(session.call(u"CloseCheck", close).boolean());

    EXPECT_EQ(till.lastRequest().target, "/api");
    EXPECT_EQ(till.lastRequest().body,
              "key=60418253&sale=141.9&cash=100&bank=41.9&itemdata="
              R"([{"name":"Молоко 3 2 ","price":"45.5","qty":"2","sum":"91","taxid":"2"},)"
              R"({"name":"Хлеб Дарницкий ","price":"45.9","qty":"1","sum":"45.9","taxid":"2"},)"
              R"({"name":"Пакет майка","price":"5","qty":"1","sum":"5","taxid":"1"},])"
              "&print=1.Молоко 3 2 \r\n2x45.5=91" +
                  std::string(25, ' ') + "\r\n2.Хлеб Дарницкий \r\n1x45.9=45.9" +
                  std::string(23, ' ') + "\r\n3.Пакет майка\r\n1x5=5" + std::string(29, ' ') +
                  "\r\n");
    EXPECT_TRUE(session.connection.messages.empty());
    EXPECT_EQ(session.connection.profileValue(host::u16(kKeyValue)).value.lVal, 60418254);

    session.destroy();
    EXPECT_EQ(session.memory.liveBlocks(), 0u);
    EXPECT_EQ(session.memory.badFrees(), 0u);
    EXPECT_EQ(session.memory.overruns(), 0u);
  }
}

}  // namespace
}  // namespace receipts
