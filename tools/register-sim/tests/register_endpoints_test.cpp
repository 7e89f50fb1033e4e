// The register's answers to each path, request by request, without a socket in between.
#include <cjson/cJSON.h>
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "options.h"
#include "register_state.h"
#include "tape.h"

namespace {

const std::string kMilk = R"({"name":"Молоко","price":"45.5","qty":"2","sum":"91","taxid":"1"},)";
const std::string kBread = R"({"name":"Хлеб","price":"10","qty":"1","sum":"10","taxid":"1"},)";
const std::string kTwoItems = "[" + kMilk + kBread + "]";
const std::string kPrint = "1.Молоко\r\n2x45.5=91                  \r\n2.Хлеб\r\n1x10=10\r\n";

class RegisterTest : public ::testing::Test {
 protected:
  // A register as the options now say, with a blank tape.
  void start() {
    cashRegister.reset();
    tape.reset();  // it closes a slip frame left open, on the old paper
    paper.str("");
    tape = std::make_unique<sim::Tape>(paper, options.lineLength);
    cashRegister = std::make_unique<sim::Register>(options, *tape);
  }

  sim::Reply post(const std::string& target, const std::string& body,
                  const std::string& peer = "127.0.0.1") {
    if (!cashRegister) start();
    return cashRegister->handle(sim::Request{"POST", target, body, peer});
  }

  std::string key() const { return "key=" + std::to_string(cashRegister->key()); }

  // The shape in which the driver closes a receipt of two items paid in cash.
  std::string saleOfTwoItems() {
    return key() + "&tax=1&sale=101&cash=101&itemdata=" + kTwoItems + "&print=" + kPrint;
  }

  std::string shortInfo(const char* member) {
    const sim::Reply reply = post("/apicheck/getInfo?show=minimum", "&" + key());
    cJSON* root = cJSON_Parse(reply.body.c_str());
    const cJSON* value = cJSON_GetObjectItemCaseSensitive(root, member);
    std::string text = cJSON_IsString(value) ? value->valuestring : "<not a string>";
    cJSON_Delete(root);
    return text;
  }

  sim::Options options;
  std::ostringstream paper;
  std::unique_ptr<sim::Tape> tape;
  std::unique_ptr<sim::Register> cashRegister;
};

// Every path but the administrator login wants the current key, in the body's first field.
TEST_F(RegisterTest, EveryKeyedPathChecksTheKey) {
  struct Path {
    std::string target;
    std::string before;  // what comes before "key="
    std::string after;   // what follows the key
  };
  const std::vector<Path> paths = {
      {"/apicheck", "", ""},
      {"/apicheck/getInfo?show=minimum", "&", ""},
      {"/apicheck/getInfo", "", ""},
      {"/dump/table/taxesbycode", "", ""},
      {"/api", "", "&itemdata=[]"},
      {"/apixreport", "", ""},
      {"/apizreport", "", ""},
      {"/apideposit", "", "&cash=10"},
      {"/apiwithdraw", "", "&cash=10"},
      {"/apiprint", "", "&print=line"},
      {"/apicheck/?disableWebMgmt=true", "", ""},
      {"/apicheck/?lockhost=true", "", ""},
  };
  for (const Path& path : paths) {
    SCOPED_TRACE(path.target);
    start();
    const sim::Reply refused = post(path.target, path.before + "key=12345" + path.after);
    EXPECT_EQ(refused.status, 400);
    EXPECT_EQ(refused.reason, "incorrect-web-api-key");
    EXPECT_EQ(cashRegister->lastReceipt(), 0);
    EXPECT_EQ(cashRegister->shiftNumber(), 1);
    EXPECT_EQ(paper.str(), "") << "a refused request prints nothing";

    const sim::Reply accepted = post(path.target, path.before + key() + path.after);
    EXPECT_EQ(accepted.status, 200) << accepted.reason;
  }
}

TEST_F(RegisterTest, OnlyTheKeyFieldItselfCounts) {
  struct Case {
    std::string body;
    int status;
  };
  const std::vector<Case> cases = {
      {"key=60418253", 200},
      {"key=60418253&print=slip", 200},
      {"", 400},
      {"key=", 400},
      {"key=060418253", 400},
      {"key=60418253x", 400},
      {"key=60418253.0", 400},
      {"print=x&key=60418253", 400},
      {"key=1&print=key=60418253", 400},  // a print text quoting the key is no key
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.body);
    EXPECT_EQ(post("/apicheck", c.body).status, c.status);
  }
}

TEST_F(RegisterTest, WrongKeyPhraseFollowsTheChosenReply) {
  struct Case {
    sim::WrongKeyReply reply;
    bool formerKey;  // the key sent was this register's key before a renewal
    std::string phrase;
  };
  const std::vector<Case> cases = {
      {sim::WrongKeyReply::Incorrect, false, "incorrect-web-api-key"},
      {sim::WrongKeyReply::Incorrect, true, "incorrect-web-api-key"},
      {sim::WrongKeyReply::Old, false, "old-web-api-key"},
      {sim::WrongKeyReply::Old, true, "old-web-api-key"},
      {sim::WrongKeyReply::ByHistory, false, "incorrect-web-api-key"},
      {sim::WrongKeyReply::ByHistory, true, "old-web-api-key"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.phrase + (c.formerKey ? " for a former key" : " for a stranger's key"));
    options.wrongKeyReply = c.reply;
    start();
    const std::string former = key();
    ASSERT_EQ(post("/dolog?", "login=166&password=1&getApiKey = true").status, 200);
    const sim::Reply refused = post("/apicheck", c.formerKey ? former : "key=777");
    EXPECT_EQ(refused.status, 400);
    EXPECT_EQ(refused.reason, c.phrase);
  }
}

TEST_F(RegisterTest, AdministratorLoginHandsOutTheNextKey) {
  options.firstIssuedKey = 5000;
  start();
  const std::string former = key();

  const sim::Reply login = post("/dolog?", "login=166&password=1&getApiKey = true");
  EXPECT_EQ(login.status, 200);
  EXPECT_EQ(login.body, "5000");
  EXPECT_EQ(cashRegister->key(), 5000);
  EXPECT_EQ(post("/apicheck", former).reason, "incorrect-web-api-key");
  EXPECT_EQ(post("/apicheck", "key=5000").status, 200);

  EXPECT_EQ(post("/dolog?", "login=166&password=1&getApiKey = true").body, "5001");
  EXPECT_EQ(post("/apicheck", "key=5000").status, 400);
}

TEST_F(RegisterTest, AdministratorLoginIsCheckedFieldByField) {
  struct Case {
    std::string body;
    int status;
    std::string phrase;
  };
  const std::vector<Case> cases = {
      {"login=166&password=1&getApiKey = true", 200, "OK"},
      {"login=166&password=1&getApiKey=true", 200, "OK"},
      {"login=167&password=1&getApiKey = true", 400, "incorrect-login-or-password"},
      {"login=166&password=2&getApiKey = true", 400, "incorrect-login-or-password"},
      {"login=166&getApiKey = true", 400, "incorrect-login-or-password"},
      {"login=166&password=1", 400, "no-api-key-asked"},
      {"login=166&password=1&getApiKey = false", 400, "no-api-key-asked"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.body);
    start();
    const int32_t before = cashRegister->key();
    const sim::Reply reply = post("/dolog?", c.body);
    EXPECT_EQ(reply.status, c.status);
    EXPECT_EQ(reply.reason, c.phrase);
    if (c.status == 200) {
      EXPECT_EQ(reply.body, std::to_string(cashRegister->key()));
      EXPECT_NE(cashRegister->key(), before);
      EXPECT_GT(cashRegister->key(), 0);
    } else {
      EXPECT_EQ(cashRegister->key(), before);
      EXPECT_FALSE(reply.body.empty()) << "the driver shows the register's explanation";
    }
  }
  start();
  EXPECT_EQ(post("/dolog?", "login=1&password=1&getApiKey = true").body,
            "Неверный код или пароль администратора");
}

TEST_F(RegisterTest, ApicheckNamesTheLastReceiptInItsReasonPhrase) {
  options.lastReceipt = 41;
  start();
  EXPECT_EQ(post("/apicheck", key()).reason, "41");
  ASSERT_EQ(post("/api", saleOfTwoItems()).status, 200);
  EXPECT_EQ(post("/apicheck", key()).reason, "42");
}

TEST_F(RegisterTest, SaleFormsAsTheDriverSendsThemAndBrokenOnes) {
  struct Case {
    std::string name;
    std::string afterKey;
    int status;
    std::string phrase;
  };
  const std::string milk = "[" + kMilk + "]";
  const std::vector<Case> cases = {
      {"two items, the last one with its comma",
       "&tax=1&sale=101&cash=101&itemdata=" + kTwoItems + "&print=" + kPrint, 200, "OK"},
      {"plain JSON array",
       R"(&tax=1&sale=91&cash=91&itemdata=[{"name":"A","price":"91","qty":"1","sum":"91","taxid":"1"}])",
       200, "OK"},
      {"no items at all", "&itemdata=[]", 200, "OK"},
      {"return", "&tax=1&saleReturn=91&cash=91&itemdata=" + milk, 200, "OK"},
      {"every payment", "&tax=2&sale=101&cash=1&bank=50&tara=25&credit=25&itemdata=" + kTwoItems,
       200, "OK"},
      {"excise member",
       R"(&sale=5&bank=5&itemdata=[{"name":"Vodka","price":"5","qty":"1","sum":"5","taxid":"3","excise":"04606203098187"},])",
       200, "OK"},
      {"print text with & and a forged key",
       "&sale=91&cash=91&itemdata=" + milk + "&print=A & B&key=1&sale=5\r\n", 200, "OK"},
      {"nothing after the key", "", 200, "OK"},
      {"array never opened", "&itemdata=]", 400, "incorrect-itemdata"},
      {"array closed twice", "&sale=91&itemdata=[" + kMilk + "]]", 400, "incorrect-itemdata"},
      {"a lone comma", "&itemdata=[,]", 400, "incorrect-itemdata"},
      {"two commas", "&itemdata=[" + kMilk + ",]", 400, "incorrect-itemdata"},
      {"price not finite",
       R"(&itemdata=[{"name":"A","price":"inf","qty":"0","sum":"5","taxid":"1"},])", 400,
       "incorrect-itemdata"},
      {"sum as a JSON number",
       R"(&itemdata=[{"name":"A","price":"5","qty":"1","sum":5,"taxid":"1"},])", 400,
       "incorrect-itemdata"},
      {"member missing", R"(&itemdata=[{"name":"A","price":"5","qty":"1","sum":"5"},])", 400,
       "incorrect-itemdata"},
      {"item tax id unknown",
       R"(&itemdata=[{"name":"A","price":"5","qty":"1","sum":"5","taxid":"9"},])", 400,
       "tax-invlid-num"},
      {"receipt tax code unknown", "&tax=9&sale=91&itemdata=" + milk, 400, "tax-invlid-num"},
      {"payments before the amount", "&cash=101&sale=101&itemdata=" + kTwoItems, 400,
       "bad-request-form"},
      {"unknown field", "&discount=5&itemdata=[]", 400, "bad-request-form"},
      {"decimal comma", "&sale=1,5&itemdata=[]", 400, "bad-amount"},
      {"amount not a number", "&sale=nan&itemdata=[]", 400, "bad-amount"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    start();
    const sim::Reply reply = post("/api", key() + c.afterKey);
    EXPECT_EQ(reply.status, c.status);
    EXPECT_EQ(reply.reason, c.phrase);
    EXPECT_EQ(cashRegister->lastReceipt(), c.status == 200 ? 1 : 0);
    EXPECT_EQ(paper.str().empty(), c.status != 200) << paper.str();
  }
}

TEST_F(RegisterTest, ReceiptOnTheTapeCarriesThePrintTextAndThePayments) {
  start();
  ASSERT_EQ(post("/api", key() + "&tax=1&sale=101&cash=200&itemdata=" + kTwoItems +
                             "&print=1.Молоко & Co\r\n2x45.5=91                  \r\n")
                .status,
            200);
  const std::string tape = paper.str();
  EXPECT_NE(tape.find("|1.Молоко & Co           |"), std::string::npos) << tape;
  EXPECT_NE(tape.find("|2x45.5=91               |"), std::string::npos) << tape;
  EXPECT_NE(tape.find("|ИТОГ              101.00|"), std::string::npos) << tape;
  EXPECT_NE(tape.find("|НАЛИЧНЫМИ         200.00|"), std::string::npos) << tape;
  EXPECT_NE(tape.find("|СДАЧА              99.00|"), std::string::npos) << tape;
  EXPECT_DOUBLE_EQ(cashRegister->cashInDrawer(), 101);

  paper.str("");
  ASSERT_EQ(post("/api", key() + "&tax=1&saleReturn=91&cash=91&itemdata=[" + kMilk + "]").status,
            200);
  EXPECT_NE(paper.str().find("ВОЗВРАТ ПРИХОДА"), std::string::npos);
  EXPECT_NE(paper.str().find("|1.Молоко                |"), std::string::npos)
      << "without a print text the items are printed from the item array\n"
      << paper.str();
  EXPECT_DOUBLE_EQ(cashRegister->cashInDrawer(), 10);
}

TEST_F(RegisterTest, EveryTapeLineIsFramedAtTheLineLength) {
  options.lineLength = 19;
  start();
  const std::string longLine = "Очень длинное название товара из сорока";
  ASSERT_EQ(post("/api", key() + "&sale=5&cash=5&itemdata=[]&print=" + longLine).status, 200);
  ASSERT_EQ(post("/apideposit", key() + "&cash=12345678.5").status, 200);
  ASSERT_EQ(post("/apixreport", key()).status, 200);

  std::istringstream lines(paper.str());
  std::string line, inside;
  int rows = 0;
  while (std::getline(lines, line)) {
    if (line.empty()) continue;
    SCOPED_TRACE(line);
    const std::vector<std::string> glyphs = sim::glyphsOf(line);
    ASSERT_EQ(glyphs.size(), 21u);
    EXPECT_TRUE((glyphs.front() == "+" && glyphs.back() == "+") ||
                (glyphs.front() == "|" && glyphs.back() == "|"));
    if (glyphs.front() == "|")
      for (size_t i = 1; i + 1 < glyphs.size(); ++i) inside += glyphs[i];
    ++rows;
  }
  EXPECT_GT(rows, 20);
  EXPECT_NE(inside.find(longLine), std::string::npos) << "wrapped, nothing cut off";
  EXPECT_NE(inside.find("12345678.50"), std::string::npos);
}

TEST_F(RegisterTest, LongShiftRefusesFiscalDocumentsUntilAZReport) {
  options.oldShift = true;
  options.shiftNumber = 7;
  start();
  for (const char* target : {"/api", "/apideposit", "/apiwithdraw"}) {
    SCOPED_TRACE(target);
    const sim::Reply refused = post(target, saleOfTwoItems());
    EXPECT_EQ(refused.status, 400);
    EXPECT_EQ(refused.reason, "shift-gt-24h");
  }
  EXPECT_EQ(post("/api", key() + "&cash=5&itemdata=[]").reason, "shift-gt-24h");
  EXPECT_EQ(cashRegister->lastReceipt(), 0);
  EXPECT_EQ(post("/apixreport", key()).status, 200) << "an X report is still allowed";

  ASSERT_EQ(post("/apizreport", key()).status, 200);
  EXPECT_NE(paper.str().find("Z-ОТЧЕТ"), std::string::npos);
  EXPECT_NE(paper.str().find("|СМЕНА №                7|"), std::string::npos) << paper.str();
  EXPECT_EQ(cashRegister->shiftNumber(), 8);
  EXPECT_EQ(shortInfo("currentShiftID"), "8");
  EXPECT_EQ(shortInfo("currentShiftStatus"), "closed");
  EXPECT_EQ(post("/apizreport", key()).reason, "shift-closed") << "no second Z report";

  EXPECT_EQ(post("/api", saleOfTwoItems()).status, 200);
  EXPECT_EQ(shortInfo("currentShiftStatus"), "opened");
  EXPECT_EQ(cashRegister->lastReceipt(), 1);
}

TEST_F(RegisterTest, ZReportClosesTheShiftWithItsTotals) {
  options.shiftNumber = 3;
  start();
  ASSERT_EQ(post("/api", saleOfTwoItems()).status, 200);
  ASSERT_EQ(post("/apideposit", key() + "&cash=150").status, 200);
  ASSERT_EQ(post("/apiwithdraw", key() + "&cash=50.5").status, 200);
  paper.str("");
  ASSERT_EQ(post("/apizreport", key()).status, 200);
  const std::string report = paper.str();
  EXPECT_NE(report.find("|СМЕНА №                3|"), std::string::npos) << report;
  EXPECT_NE(report.find("|ПРИХОД            101.00|"), std::string::npos) << report;
  EXPECT_NE(report.find("|ВНЕСЕНО           150.00|"), std::string::npos) << report;
  EXPECT_NE(report.find("|ВЫПЛАЧЕНО          50.50|"), std::string::npos) << report;
  EXPECT_NE(report.find("|НАЛИЧНЫХ В КАССЕ  200.50|"), std::string::npos) << report;
  EXPECT_EQ(shortInfo("currentShiftID"), "4");

  // The next shift's report starts from nothing, the drawer keeps its cash.
  paper.str("");
  ASSERT_EQ(post("/apixreport", key()).status, 200);
  EXPECT_NE(paper.str().find("|ПРИХОД              0.00|"), std::string::npos) << paper.str();
  EXPECT_NE(paper.str().find("|НАЛИЧНЫХ В КАССЕ  200.50|"), std::string::npos) << paper.str();
}

TEST_F(RegisterTest, InjectedFaultsStrikeWhatTheyAreAimedAt) {
  struct Case {
    std::string name;
    sim::FaultPlan plan;
    std::string target;
    sim::Delivery delivery;
    int status;
    std::string phrase;
    int receiptsAfter;  // whether the sale was carried out
  };
  const auto plan = [](sim::FaultKind kind, std::string path, std::string phrase = "") {
    sim::FaultPlan fault;
    fault.kind = kind;
    fault.path = std::move(path);
    fault.phrase = std::move(phrase);
    return fault;
  };
  using sim::Delivery;
  using sim::FaultKind;
  const std::vector<Case> cases = {
      {"code on /api", plan(FaultKind::Code, "/api", "check-printer"), "/api", Delivery::Whole, 400,
       "check-printer", 0},
      {"code spares other paths", plan(FaultKind::Code, "/api", "check-printer"), "/apicheck",
       Delivery::Whole, 200, "0", 0},
      {"code everywhere", plan(FaultKind::Code, "", "tavix-is-blocked"), "/apicheck",
       Delivery::Whole, 400, "tavix-is-blocked", 0},
      {"refuse drops the sale unanswered", plan(FaultKind::Refuse, "/api"), "/api", Delivery::Drop,
       200, "OK", 0},
      {"close mid-reply after the sale is done", plan(FaultKind::CloseMidReply, "/api"), "/api",
       Delivery::BreakOff, 200, "OK", 1},
      {"aimed at a query", plan(FaultKind::Code, "/apicheck/getInfo?show=minimum", "x"),
       "/apicheck/getInfo", Delivery::Whole, 200, "OK", 0},
      {"aimed at a query, hit", plan(FaultKind::Code, "/apicheck/getInfo?show=minimum", "x"),
       "/apicheck/getInfo?show=minimum", Delivery::Whole, 400, "x", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    options.fault = c.plan;
    start();
    const sim::Reply reply = post(c.target, c.target == "/api" ? saleOfTwoItems() : key());
    EXPECT_EQ(reply.delivery, c.delivery);
    if (c.delivery != Delivery::Drop) {
      EXPECT_EQ(reply.status, c.status);
      EXPECT_EQ(reply.reason, c.phrase);
    }
    EXPECT_EQ(cashRegister->lastReceipt(), c.receiptsAfter);
  }
}

TEST_F(RegisterTest, FaultStrikesOnlyAsOftenAsAsked) {
  options.fault.kind = sim::FaultKind::Code;
  options.fault.phrase = "check-printer-or-batt";
  options.fault.times = 2;
  start();
  EXPECT_EQ(post("/api", saleOfTwoItems()).reason, "check-printer-or-batt");
  EXPECT_EQ(post("/apicheck", key()).status, 200) << "a request it is not aimed at is not counted";
  EXPECT_EQ(post("/api", saleOfTwoItems()).reason, "check-printer-or-batt");
  EXPECT_EQ(post("/api", saleOfTwoItems()).status, 200);
  EXPECT_EQ(cashRegister->lastReceipt(), 1);
}

TEST_F(RegisterTest, AFaultComesBeforeTheKeyCheck) {
  options.fault.kind = sim::FaultKind::Code;
  options.fault.phrase = "tavix-is-blocked";
  options.fault.path = "";
  start();
  EXPECT_EQ(post("/apicheck", "key=1").reason, "tavix-is-blocked");
  EXPECT_EQ(post("/dolog?", "login=166&password=1&getApiKey = true").reason, "tavix-is-blocked");
}

TEST_F(RegisterTest, RenewedKeysComeWithSalesAndCashDocuments) {
  options.renewKeyOnDocuments = true;
  options.firstIssuedKey = 7000;
  start();
  EXPECT_EQ(post("/api", saleOfTwoItems()).body, "7000");
  EXPECT_EQ(cashRegister->key(), 7000);
  EXPECT_EQ(post("/apideposit", "key=7000&cash=1").body, "7001");
  EXPECT_EQ(post("/apiwithdraw", "key=7001&cash=1").body, "7002");
  EXPECT_EQ(post("/apicheck", "key=7002").body, "") << "only documents renew the key";
  EXPECT_EQ(cashRegister->key(), 7002);
}

TEST_F(RegisterTest, DeviceInformationAndTaxTable) {
  options.firmware = 102303;
  options.taxTable = R"({"12":"1","0":"2"})";
  options.shiftNumber = 7;
  start();
  EXPECT_EQ(shortInfo("currentShiftID"), "7");
  EXPECT_EQ(shortInfo("currentShiftStatus"), "opened");
  EXPECT_EQ(shortInfo("terminalDateTime").size(), 19u);
  EXPECT_EQ(post("/dump/table/taxesbycode", key()).body, R"({"12":"1","0":"2"})");

  for (const bool asText : {false, true}) {
    SCOPED_TRACE(asText ? "firmware as text" : "firmware as number");
    options.firmwareAsText = asText;
    start();
    const sim::Reply info = post("/apicheck/getInfo", key());
    cJSON* root = cJSON_Parse(info.body.c_str());
    const cJSON* version = cJSON_GetObjectItemCaseSensitive(root, "applicationVersion");
    if (asText) {
      ASSERT_TRUE(cJSON_IsString(version));
      EXPECT_STREQ(version->valuestring, "102303");
    } else {
      ASSERT_TRUE(cJSON_IsNumber(version));
      EXPECT_EQ(version->valueint, 102303);
    }
    EXPECT_TRUE(cJSON_IsString(cJSON_GetObjectItemCaseSensitive(root, "currentShiftID")));
    cJSON_Delete(root);
  }
}

TEST_F(RegisterTest, PrintRequestsPrintSlipsAndOpenTheDrawer) {
  start();
  ASSERT_EQ(post("/apiprint", key() + "&print=Слип строка 1           ").status, 200);
  ASSERT_EQ(post("/apiprint", key() + "&print=                        ").status, 200);
  ASSERT_EQ(post("/apiprint", key() + "&print=--open-cash--").status, 200);
  const std::string tape = paper.str();
  EXPECT_NE(tape.find("|Слип строка 1           |\n|                        |\n+--"),
            std::string::npos)
      << "consecutive slip lines share one frame\n"
      << tape;
  EXPECT_NE(tape.find("(cash drawer opened)"), std::string::npos);
  EXPECT_EQ(tape.find("--open-cash--"), std::string::npos) << "the drawer command is not paper";

  // A print text that rides along with a report is not printed (the driver should not send it).
  paper.str("");
  const sim::Reply report = post("/apixreport", key() + "&print=--open-cash--");
  EXPECT_EQ(report.status, 200);
  EXPECT_EQ(paper.str().find("drawer"), std::string::npos);
  EXPECT_NE(report.note.find("print text ignored"), std::string::npos);
}

TEST_F(RegisterTest, ServiceCommands) {
  start();
  EXPECT_EQ(post("/apicheck/?disableWebMgmt=true", key()).status, 200);
  const sim::Reply lock = post("/apicheck/?lockhost=true", key(), "127.0.0.5");
  EXPECT_EQ(lock.status, 200);
  EXPECT_NE(lock.body.find("127.0.0.5"), std::string::npos);
  EXPECT_EQ(post("/apicheck", key(), "127.0.0.6").reason, "host-locked");
  EXPECT_EQ(post("/apicheck", key(), "127.0.0.5").status, 200);
  EXPECT_EQ(post("/nowhere", key(), "127.0.0.5").status, 404);
  EXPECT_EQ(cashRegister->handle(sim::Request{"GET", "/apicheck", key(), "127.0.0.5"}).status, 405);
}

}  // namespace
