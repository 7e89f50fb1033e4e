// OpenCheck and PrintFiscalString through the loaded library: what an item becomes in the
// receipt's print text and item array (seen on the wire of the sale request), and what OpenCheck
// asks the register and hands back to the platform.
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/driver/http_client_switch.h"
#include "tests/driver/receipt_fixture.h"

namespace receipts {
namespace {

using fake::Reply;

constexpr char kShiftInfo[] = "/apicheck/getInfo?show=minimum";
constexpr char kTaxTable[] = "/dump/table/taxesbycode";

std::string blanks(size_t count) { return std::string(count, ' '); }

class ReceiptBuilding : public ReceiptTest {};

TEST_F(ReceiptBuilding, MilkOfTwoLinesReachesTheRegisterByteForByte) {
  ASSERT_TRUE(openCheck().result);
  ASSERT_TRUE(printItem({u"Молоко пастеризованное 3.2% 1л", 2, 91, 20, u""}));
  ASSERT_TRUE(closeCheck(91));

  EXPECT_EQ(onlySaleBody(),
            "key=60418253&tax=1&sale=91&cash=91"
            "&itemdata=[{\"name\":\"Молоко пастеризованное 3 2 1л\",\"price\":\"45.5\","
            "\"qty\":\"2\",\"sum\":\"91\",\"taxid\":\"1\"},]"
            "&print=1.Молоко пастеризованное\r\n 3 2 1л\r\n2x45.5=91" +
                blanks(17) + "\r\n");
}

struct ItemCase {
  const char* label;
  int32_t lineLength;
  Item item;
  std::string printText;
  std::string itemObject;
};

const std::vector<ItemCase> kItemCases = {
    {"a name line of exactly the line length stays on one line",
     24,
     {u"Хлеб бородинский нарез", 1, 50},
     "1.Хлеб бородинский нарез\r\n1x50=50" + blanks(19) + "\r\n",
     R"({"name":"Хлеб бородинский нарез","price":"50","qty":"1","sum":"50","taxid":"1"},)"},
    {"one character more goes alone on a second line",
     24,
     {u"Хлеб бородинский нарезн", 1, 50},
     "1.Хлеб бородинский нарез\r\nн\r\n1x50=50" + blanks(19) + "\r\n",
     R"({"name":"Хлеб бородинский нарезн","price":"50","qty":"1","sum":"50","taxid":"1"},)"},
    {"a name three lines long",
     5,
     {u"abcdefghijklm", 1, 1},
     "1.abc\r\ndefgh\r\nijklm\r\n1x1=1  \r\n",
     R"({"name":"abcdefghijklm","price":"1","qty":"1","sum":"1","taxid":"1"},)"},
    {"Yo lies outside the Russian letters the register takes",
     24,
     {u"Ёлка", 1, 1500},
     "1. лка\r\n1x1500=1500" + blanks(15) + "\r\n",
     R"({"name":" лка","price":"1500","qty":"1","sum":"1500","taxid":"1"},)"},
    {"parentheses are kept, a decimal comma becomes a blank",
     24,
     {u"Сок (яблоко) 0,5л", 2, 119.8},
     "1.Сок (яблоко) 0 5л\r\n2x59.9=119.8" + blanks(14) + "\r\n",
     R"({"name":"Сок (яблоко) 0 5л","price":"59.9","qty":"2","sum":"119.8","taxid":"1"},)"},
    {"a name of punctuation only becomes one blank",
     24,
     {u"«—…»!?.,;", 1, 10},
     "1. \r\n1x10=10" + blanks(19) + "\r\n",
     R"({"name":" ","price":"10","qty":"1","sum":"10","taxid":"1"},)"},
    {"a character beyond 16 bits joins the run around it",
     24,
     {u"Чай 🍵 зелёный", 1, 80},
     "1.Чай зел ный\r\n1x80=80" + blanks(19) + "\r\n",
     R"({"name":"Чай зел ный","price":"80","qty":"1","sum":"80","taxid":"1"},)"},
    {"a name that is not a string is empty",
     24,
     {u"", 1, 10, 20, u"", false},
     "1.\r\n1x10=10" + blanks(19) + "\r\n",
     R"({"name":"","price":"10","qty":"1","sum":"10","taxid":"1"},)"},
    {"an excise code longer than the line is cut in print, whole in the item",
     24,
     {u"Сигареты", 1, 180, 20, u"0104600439931256215Zsd7kFH4dT"},
     "1.Сигареты\r\n1x180=180" + blanks(17) + "\r\n0104600439931256215Zsd7k\r\n",
     R"({"name":"Сигареты","price":"180","qty":"1","sum":"180","taxid":"1",)"
     R"("excise":"0104600439931256215Zsd7kFH4dT"},)"},
    {"the price is rounded to the kopeck",
     24,
     {u"Гвозди", 3, 100},
     "1.Гвозди\r\n3x33.33=100" + blanks(15) + "\r\n",
     R"({"name":"Гвозди","price":"33.33","qty":"3","sum":"100","taxid":"1"},)"},
    {"amounts of seven digits go in exponent form",
     24,
     {u"Станок", 1, 1234567.8},
     "1.Станок\r\n1x1.23457e+06=1.23457e+06 \r\n",
     R"({"name":"Станок","price":"1.23457e+06","qty":"1","sum":"1.23457e+06","taxid":"1"},)"},
    {"an amount line longer than the line plus two is cut",
     10,
     {u"Станок", 1, 1234567.8},
     "1.Станок\r\n1x1.23457e+0\r\n",
     R"({"name":"Станок","price":"1.23457e+06","qty":"1","sum":"1.23457e+06","taxid":"1"},)"},
    {"quantity 0 has price 0",
     24,
     {u"Пакет", 0, 5},
     "1.Пакет\r\n0x0=5" + blanks(21) + "\r\n",
     R"({"name":"Пакет","price":"0","qty":"0","sum":"5","taxid":"1"},)"},
    {"quantity 0 and sum 0 have price 0",
     24,
     {u"Пакет", 0, 0},
     "1.Пакет\r\n0x0=0" + blanks(21) + "\r\n",
     R"({"name":"Пакет","price":"0","qty":"0","sum":"0","taxid":"1"},)"},
    {"a line length of 0 cuts and pads nothing",
     0,
     {u"Молоко пастеризованное 3.2% 1л", 2, 91, 20, u"0104600439931256215Zsd7kFH4dT"},
     "1.Молоко пастеризованное 3 2 1л\r\n2x45.5=91\r\n0104600439931256215Zsd7kFH4dT\r\n",
     R"({"name":"Молоко пастеризованное 3 2 1л","price":"45.5","qty":"2","sum":"91",)"
     R"("taxid":"1","excise":"0104600439931256215Zsd7kFH4dT"},)"},
    {"a negative line length cuts and pads nothing",
     -5,
     {u"Молоко пастеризованное 3.2% 1л", 2, 91, 20, u"0104600439931256215Zsd7kFH4dT"},
     "1.Молоко пастеризованное 3 2 1л\r\n2x45.5=91\r\n0104600439931256215Zsd7kFH4dT\r\n",
     R"({"name":"Молоко пастеризованное 3 2 1л","price":"45.5","qty":"2","sum":"91",)"
     R"("taxid":"1","excise":"0104600439931256215Zsd7kFH4dT"},)"},
};

TEST_F(ReceiptBuilding, EachItemBecomesItsPrintLinesAndItsObject) {
  for (const ItemCase& c : kItemCases) {
    SCOPED_TRACE(c.label);
    till.clearRecord();
    session.setSetting(u"Eprint", c.lineLength);
    ASSERT_TRUE(openCheck().result);
    ASSERT_TRUE(printItem(c.item));
    ASSERT_TRUE(closeCheck(c.item.sum));
    const std::string body = onlySaleBody();
    EXPECT_EQ(printTextOf(body), c.printText);
    EXPECT_EQ(itemDataOf(body), "[" + c.itemObject + "]");
  }
}

TEST_F(ReceiptBuilding, ItemsAreNumberedAndFollowOneAnother) {
  ASSERT_TRUE(openCheck().result);
  ASSERT_TRUE(printItem({u"Хлеб", 1, 40}));
  ASSERT_TRUE(printItem({u"Соль", 2, 30}));
  ASSERT_TRUE(printItem({u"Спички", 10, 15}));
  ASSERT_TRUE(closeCheck(85));

  const std::string body = onlySaleBody();
  EXPECT_EQ(printTextOf(body), "1.Хлеб\r\n1x40=40" + blanks(19) + "\r\n" + "2.Соль\r\n2x15=30" +
                                   blanks(19) + "\r\n" + "3.Спички\r\n10x1.5=15" + blanks(17) +
                                   "\r\n");
  EXPECT_EQ(itemDataOf(body),
            R"([{"name":"Хлеб","price":"40","qty":"1","sum":"40","taxid":"1"},)"
            R"({"name":"Соль","price":"15","qty":"2","sum":"30","taxid":"1"},)"
            R"({"name":"Спички","price":"1.5","qty":"10","sum":"15","taxid":"1"},])");
  EXPECT_NE(body.find("&sale=85&"), std::string::npos) << body;
}

std::string taxIdOf(const std::string& itemData) {
  const std::string marker = "\"taxid\":\"";
  const size_t start = itemData.find(marker);
  if (start == std::string::npos) return "<none>";
  const size_t from = start + marker.size();
  return itemData.substr(from, itemData.find('"', from) - from);
}

struct TaxCase {
  const char* label;
  bool multiTax;
  std::string taxTable;  // the register's "/dump/table/taxesbycode", read with MultiTax
  int32_t defaultTaxCode;
  double taxRate;
  std::string taxId;
};

const std::vector<TaxCase> kTaxCases = {
    {"a rate the register maps to a string id", true, R"({"20":"3","10":"2"})", 1, 20, "3"},
    {"the id as a number does not count", true, R"({"20":3})", 1, 20, "1"},
    {"the default tax code stands in", true, R"({"20":3})", 7, 20, "7"},
    {"the rate is written as amounts are", true, R"({"16.67":"5"})", 1, 16.67, "5"},
    {"a rate the table lacks", true, R"({"20":"3"})", 4, 0, "4"},
    {"a table that is not JSON", true, "taxes", 4, 20, "4"},
    {"without MultiTax the driver's own table, whose ids are numbers", false, R"({"12":"9"})", 2,
     12, "2"},
};

TEST(ReceiptTaxes, TheTaxIdComesFromTheRegistersTableOnlyWhenItIsAString) {
  for (const TaxCase& c : kTaxCases) {
    SCOPED_TRACE(c.label);
    Checkout checkout;
    checkout.till.setHandler([&](const fake::RecordedRequest& request) {
      return request.target == kTaxTable ? Reply::ok(c.taxTable) : Reply::ok();
    });
    checkout.session.setSettingFlag(u"MultiTax", c.multiTax);
    checkout.session.setSetting(u"TaxTavix", c.defaultTaxCode);

    ASSERT_TRUE(checkout.openCheck().result);
    ASSERT_TRUE(checkout.printItem({u"Чай", 1, 70, c.taxRate}));
    ASSERT_TRUE(checkout.closeCheck(70));
    EXPECT_EQ(taxIdOf(itemDataOf(checkout.onlySaleBody())), c.taxId);
  }
}

TEST_F(ReceiptBuilding, ThePlatformsProcedureFormAddsNoItem) {
  ASSERT_TRUE(openCheck().result);
  host::Params values = session.params(10);
  values.empty(0).text(1, u"Хлеб").r8(2, 1).empty(3).r8(4, 40).empty(5).r8(6, 20);
  values.empty(7).empty(8).text(9, u"");
  EXPECT_TRUE(session.callAsProcedure(u"PrintFiscalString", values));
  EXPECT_TRUE(session.callWithoutResult(u"PrintFiscalString", values));
  ASSERT_TRUE(closeCheck(0));
  EXPECT_EQ(onlySaleBody(), "key=60418253&itemdata=[]");
}

// --- OpenCheck -------------------------------------------------------------------------------

struct ReceiptNumberCase {
  std::string phrase;  // the reason phrase of the register's answer to "/apicheck"
  int32_t receiptNumber;
};

TEST_F(ReceiptBuilding, TheReceiptNumberFollowsTheLastOneTheRegisterNames) {
  const std::vector<ReceiptNumberCase> cases = {
      {"41", 42},
      {"OK", 1},
      {" 7 receipts today", 8},
      {"-3", -2},
      {"2147483646", std::numeric_limits<int32_t>::max()},
      {"2147483647", std::numeric_limits<int32_t>::max()},
      {"99999999999", std::numeric_limits<int32_t>::max()},
  };
  for (const ReceiptNumberCase& c : cases) {
    SCOPED_TRACE(c.phrase);
    till.enqueue(Reply::status(200, c.phrase));
    const OpenedCheck check = openCheck();
    EXPECT_TRUE(check.result);
    EXPECT_EQ(check.receiptNumber, c.receiptNumber);
  }
}

TEST_F(ReceiptBuilding, OpenCheckSendsTheKeyAloneAndAsksTheShiftOncePerShift) {
  std::string shift = R"({"currentShiftID":"17","currentShiftStatus":"opened"})";
  till.setHandler([&](const fake::RecordedRequest& request) {
    return request.target == kShiftInfo ? Reply::ok(shift) : Reply::status(200, "41");
  });

  const OpenedCheck first = openCheck();
  EXPECT_EQ(first.receiptNumber, 42);
  EXPECT_EQ(first.shiftNumber, 17);
  EXPECT_EQ(till.targets(), (std::vector<std::string>{"/apicheck", kShiftInfo}));
  EXPECT_EQ(bodiesTo("/apicheck"), std::vector<std::string>{"key=60418253"});
  EXPECT_EQ(bodiesTo(kShiftInfo), std::vector<std::string>{"&key=60418253"});

  // A receipt left with items does not lend its print text to the next OpenCheck.
  ASSERT_TRUE(printItem({u"Хлеб", 1, 40}));
  till.clearRecord();
  const OpenedCheck second = openCheck();
  EXPECT_EQ(second.shiftNumber, 17);
  EXPECT_EQ(till.targets(), std::vector<std::string>{"/apicheck"});
  EXPECT_EQ(bodiesTo("/apicheck"), std::vector<std::string>{"key=60418253"});

  // The Z report closes the shift; the next receipt belongs to a new one.
  host::Params none = session.params(1);
  none.empty(0);
  session.call(u"PrintZReport", none);
  shift = R"({"currentShiftID":"18"})";
  till.clearRecord();
  EXPECT_EQ(openCheck().shiftNumber, 18);
  EXPECT_EQ(till.targets(), (std::vector<std::string>{"/apicheck", kShiftInfo}));
}

struct ShiftCase {
  const char* label;
  Reply shiftInfo;
  int32_t shiftNumber;
};

TEST(ReceiptShift, AShiftNumberTheRegisterDoesNotGiveAsTextIsZeroAndStaysCached) {
  const std::vector<ShiftCase> cases = {
      {"a text", Reply::ok(R"({"currentShiftID":"305"})"), 305},
      {"a JSON number", Reply::ok(R"({"currentShiftID":305})"), 0},
      {"a refused request", Reply::status(500, "internal-error"), 0},
      {"no JSON", Reply::ok("shift 305"), 0},
      {"beyond 32 bits", Reply::ok(R"({"currentShiftID":"99999999999"})"),
       std::numeric_limits<int32_t>::max()},
  };
  for (const ShiftCase& c : cases) {
    SCOPED_TRACE(c.label);
    Checkout checkout;
    checkout.till.setHandler([&](const fake::RecordedRequest& request) {
      return request.target == kShiftInfo ? c.shiftInfo : Reply::ok();
    });
    EXPECT_EQ(checkout.openCheck().shiftNumber, c.shiftNumber);
    EXPECT_EQ(checkout.openCheck().shiftNumber, c.shiftNumber);
    EXPECT_EQ(checkout.till.targets(),
              (std::vector<std::string>{"/apicheck", kShiftInfo, "/apicheck"}));
  }
}

TEST_F(ReceiptBuilding, WithMultiTaxTheTaxTableIsTakenWithTheShiftNumber) {
  session.setSettingFlag(u"MultiTax", true);
  ASSERT_TRUE(openCheck().result);
  ASSERT_TRUE(openCheck().result);
  EXPECT_EQ(till.targets(),
            (std::vector<std::string>{"/apicheck", kShiftInfo, kTaxTable, "/apicheck"}));
  EXPECT_EQ(bodiesTo(kTaxTable), std::vector<std::string>{"key=60418253"});
}

struct RefusedCheckCase {
  const char* label;
  Reply reply;
};

TEST_F(ReceiptBuilding, WhenTheRegisterRefusesTheCheckBothNumbersAreOne) {
  const std::vector<RefusedCheckCase> cases = {
      {"a rejected key", Reply::status(400, "incorrect-web-api-key")},
      {"status 201", Reply::status(201, "41")},
      {"a hang-up", Reply::closed()},
  };
  Reply checkReply = Reply::status(200, "41");
  till.setHandler([&](const fake::RecordedRequest& request) {
    return request.target == kShiftInfo ? Reply::ok(R"({"currentShiftID":"17"})") : checkReply;
  });
  ASSERT_EQ(openCheck().shiftNumber, 17);

  for (const RefusedCheckCase& c : cases) {
    SCOPED_TRACE(c.label);
    checkReply = c.reply;
    const OpenedCheck check = openCheck();
    EXPECT_TRUE(check.result);
    EXPECT_EQ(check.receiptNumber, 1);
    EXPECT_EQ(check.shiftNumber, 1);
    EXPECT_TRUE(session.connection.messages.empty());
  }
  // Nothing but the checks went out while the register refused them.
  EXPECT_EQ(bodiesTo(kShiftInfo).size(), 1u);

  // The cached shift number has survived the refusals.
  checkReply = Reply::status(200, "41");
  till.clearRecord();
  EXPECT_EQ(openCheck().shiftNumber, 17);
  EXPECT_EQ(till.targets(), std::vector<std::string>{"/apicheck"});
}

TEST_F(ReceiptBuilding, AnUnreachableRegisterOpensTheReceiptAllTheSame) {
  till.stop();
  const OpenedCheck check = openCheck();
  EXPECT_TRUE(check.result);
  EXPECT_EQ(check.receiptNumber, 1);
  EXPECT_EQ(check.shiftNumber, 1);
  EXPECT_TRUE(session.connection.messages.empty());

  till.start();
  ASSERT_TRUE(printItem({u"Хлеб", 1, 40}));
  ASSERT_TRUE(closeCheck(40));
  EXPECT_EQ(itemDataOf(onlySaleBody()),
            R"([{"name":"Хлеб","price":"40","qty":"1","sum":"40","taxid":"1"},])");
}

TEST_F(ReceiptBuilding, NumbersPassedWithoutAnIntegerTagComeBackAsIntegers) {
  const TYPEVAR passedAs[] = {VTYPE_EMPTY, VTYPE_R8, VTYPE_I4};
  till.setDefault(Reply::status(200, "41"));
  for (TYPEVAR tag : passedAs) {
    SCOPED_TRACE(tag);
    host::Params values = session.params(6);
    values.empty(0).boolean(1, true).boolean(2, false).empty(3);
    if (tag == VTYPE_R8) values.r8(4, 3.5).r8(5, 3.5);
    if (tag == VTYPE_I4) values.i4(4, 0).i4(5, 0);
    if (tag == VTYPE_EMPTY) values.empty(4).empty(5);
    const OpenedCheck check = opened(values);
    EXPECT_EQ(check.receiptTag, VTYPE_I4);
    EXPECT_EQ(check.shiftTag, VTYPE_I4);
    EXPECT_EQ(check.receiptNumber, 42);
  }
}

TEST_F(ReceiptBuilding, ANonFiscalReceiptTellsTheRegisterNothing) {
  host::Params values = session.params(6);
  values.empty(0).boolean(1, false).boolean(2, false).empty(3).i4(4, 77).i4(5, 88);
  EXPECT_TRUE(session.call(u"OpenCheck", values).boolean());
  EXPECT_EQ(values.intAt(4), 77);
  EXPECT_EQ(values.intAt(5), 88);

  EXPECT_TRUE(printItem({u"Хлеб", 1, 40}));
  EXPECT_TRUE(closeCheck(40));
  EXPECT_EQ(till.requestCount(), 0u);
}

TEST(ReceiptWithoutHttpClient, OpenCheckOpensTheReceiptAndSaysThereIsNoSession) {
  std::unique_ptr<Checkout> checkout;
  {
    const NoHttpClient noClient;
    checkout = std::make_unique<Checkout>();
  }
  host::Params values = checkout->session.params(6);
  values.empty(0).boolean(1, true).boolean(2, false).empty(3).i4(4, 77).i4(5, 88);
  EXPECT_TRUE(checkout->session.call(u"OpenCheck", values).boolean());
  EXPECT_EQ(values.intAt(4), 77);
  EXPECT_EQ(values.intAt(5), 88);
  ASSERT_EQ(checkout->session.connection.messages.size(), 1u);
  EXPECT_EQ(checkout->session.connection.messages[0].source, u"Error, Tavix");
  EXPECT_EQ(checkout->session.connection.messages[0].text, u"No open session");

  // The receipt is open: CloseCheck tries to send it and meets the missing client.
  EXPECT_TRUE(checkout->printItem({u"Хлеб", 1, 40}));
  EXPECT_FALSE(checkout->closeCheck(40));
  EXPECT_EQ(checkout->till.requestCount(), 0u);
}

}  // namespace
}  // namespace receipts
