// Documents outside a receipt through the loaded library: cash in and out, slip lines, the
// drawer, the bar code and the line length. A slip line and the drawer command are printed once:
// neither travels with a later request nor touches the receipt being collected.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "service_fixture.h"

namespace service {
namespace {

constexpr char kDrawerNeedsPrinter[] =
    "Денежный ящик открывает только внешний принтер подключенный к Tavix";

class ServiceDocumentsTest : public ServiceTest {
 protected:
  static std::string printBody(const std::string& text) {
    return kInitialKeyBody + "&print=" + text;
  }
};

enum class Form { Function, FunctionWithoutResult, Procedure };

// Calls a method in one of its forms; the result's tag and value are EMPTY unless a function.
host::CallResult callIn(host::DriverSession& session, Form form, const std::u16string& method,
                        host::Params& params) {
  host::CallResult result;
  switch (form) {
    case Form::Function:
      return session.call(method, params);
    case Form::FunctionWithoutResult:
      result.called = session.callWithoutResult(method, params);
      break;
    case Form::Procedure:
      result.called = session.callAsProcedure(method, params);
      break;
  }
  return result;
}

// ---------------------------------------------------------------------------------------------
// CashInOutcome

struct CashCase {
  const char* what;
  tVariant amount;  // VTYPE_PWSTR: the text "100"
  bool profileRefusesWrite;
  fake::Reply reply;
  bool expectedResult;
  Sent expectedSent;
  Messages expectedMessages;
  int32_t expectedStoredKey;  // 0: nothing stored
  std::string expectedKeyAfter;
};

tVariant i4(int32_t number) {
  tVariant value{};
  value.vt = VTYPE_I4;
  value.value.lVal = number;
  return value;
}

tVariant r8(double number) {
  tVariant value{};
  value.vt = VTYPE_R8;
  value.value.dblVal = number;
  return value;
}

tVariant textValue() {
  tVariant value{};
  value.vt = VTYPE_PWSTR;
  return value;
}

TEST_F(ServiceDocumentsTest, CashInOutcomeDepositsOrWithdrawsAndKeepsTheRenewedKey) {
  // clang-format off
  const std::vector<CashCase> cases = {
      {"a deposit of 0", i4(0), false, accepted(), true,
       {"/apideposit", kInitialKeyBody + "&cash=0"}, {}, kInitialKey, kInitialKeyBody},
      {"a withdrawal of 150.5", r8(-150.5), false, accepted(), true,
       {"/apiwithdraw", kInitialKeyBody + "&cash=150.5"}, {}, kInitialKey, kInitialKeyBody},
      {"a deposit of 1234.56 goes with six digits", r8(1234.56), false, accepted(), true,
       {"/apideposit", kInitialKeyBody + "&cash=1234.56"}, {}, kInitialKey, kInitialKeyBody},
      {"a string amount is 0", textValue(), false, accepted(), true,
       {"/apideposit", kInitialKeyBody + "&cash=0"}, {}, kInitialKey, kInitialKeyBody},
      {"the register hands out a new key", i4(500), false, accepted("9191"), true,
       {"/apideposit", kInitialKeyBody + "&cash=500"}, {}, 9191, "key=9191"},
      // The register has the cash: only the profile would not keep the key (M5).
      {"the profile refuses the new key", i4(500), true, accepted("9191"), true,
       {"/apideposit", kInitialKeyBody + "&cash=500"}, {{"Tavix", "Not Write apikey"}}, 0,
       "key=9191"},
      {"the register refuses", r8(-20), false, refused("shift-gt-24h", "9191"), false,
       {"/apiwithdraw", kInitialKeyBody + "&cash=20"}, {}, 0, kInitialKeyBody},
  };
  // clang-format on
  for (const CashCase& c : cases) {
    SCOPED_TRACE(c.what);
    auto session = newSession();
    session->connection.failWrite = c.profileRefusesWrite;
    answers({c.reply});
    host::Params values = session->params(2);
    values.text(0, u"не читается");
    if (c.amount.vt == VTYPE_PWSTR) {
      values.text(1, u"100");
    } else {
      values.raw(1, c.amount);
    }
    const host::CallResult result = session->call(u"CashInOutcome", values);
    EXPECT_TRUE(result.called);
    EXPECT_EQ(result.tag(), VTYPE_BOOL);
    EXPECT_EQ(result.boolean(), c.expectedResult);
    EXPECT_EQ(sent(), std::vector<Sent>{c.expectedSent});
    EXPECT_EQ(messagesOf(*session), c.expectedMessages);
    int32_t stored = 0;
    EXPECT_EQ(storedKey(*session, stored), c.expectedStoredKey != 0);
    EXPECT_EQ(stored, c.expectedStoredKey);
    EXPECT_EQ(nextKeyedBody(*session), c.expectedKeyAfter);
  }
}

TEST_F(ServiceDocumentsTest, CashInOutcomeWithoutAPlaceForTheResultSendsNothing) {
  for (const Form form : {Form::FunctionWithoutResult, Form::Procedure}) {
    auto session = newSession();
    answers({accepted()});
    host::Params values = session->params(2);
    values.i4(1, 100);
    EXPECT_TRUE(callIn(*session, form, u"CashInOutcome", values).called);
    EXPECT_EQ(sent(), std::vector<Sent>{});
  }
}

// ---------------------------------------------------------------------------------------------
// PrintNonFiscalString

struct SlipCase {
  const char* what;
  bool slipPrinter;                   // NoFiskal
  std::optional<int32_t> lineLength;  // Eprint; none for the driver's own 24
  bool textGiven;
  std::string text;
  Form form;
  fake::Reply reply;
  bool expectedResult;
  std::vector<Sent> expectedSent;
};

TEST_F(ServiceDocumentsTest, SlipLinesArePaddedOrCutToTheLineAndPrintedOnTheirOwn) {
  const std::string abc = "ABC" + std::string(21, ' ');
  const std::string thirty = "123456789012345678901234567890";
  const std::optional<int32_t> ownWidth;  // no Eprint: the driver's own 24
  // clang-format off
  const std::vector<SlipCase> cases = {
      {"a short line is padded", true, ownWidth, true, "ABC", Form::Function, accepted(), true,
       {{"/apiprint", printBody(abc)}}},
      {"a long line is cut", true, ownWidth, true, thirty, Form::Function, accepted(), true,
       {{"/apiprint", printBody(thirty.substr(0, 24))}}},
      {"an empty line is 24 blanks", true, ownWidth, true, "", Form::Function, accepted(), true,
       {{"/apiprint", printBody(std::string(24, ' '))}}},
      {"no text at all is 24 blanks", true, ownWidth, false, "", Form::Function, accepted(), true,
       {{"/apiprint", printBody(std::string(24, ' '))}}},
      {"letters are counted, not bytes", true, ownWidth, true, "Привет", Form::Function, accepted(),
       true, {{"/apiprint", printBody("Привет" + std::string(18, ' '))}}},
      {"a Cyrillic line is cut at the 24th letter", true, ownWidth, true,
       "АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩ", Form::Function, accepted(), true,
       {{"/apiprint", printBody("АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧ")}}},
      {"the line length setting counts", true, 42, true, "ABC", Form::Function, accepted(), true,
       {{"/apiprint", printBody("ABC" + std::string(39, ' '))}}},
      // A width outside the settings' choices pads and cuts nothing (M10).
      {"a line length of 0", true, 0, true, "ABC", Form::Function, accepted(), true,
       {{"/apiprint", printBody("ABC")}}},
      {"a negative line length", true, -5, true, "ABC", Form::Function, accepted(), true,
       {{"/apiprint", printBody("ABC")}}},
      {"the register refuses", true, ownWidth, true, "ABC", Form::Function,
       refused("check-printer"), false, {{"/apiprint", printBody(abc)}}},
      {"as a procedure it prints", true, ownWidth, true, "ABC", Form::Procedure, accepted(), false,
       {{"/apiprint", printBody(abc)}}},
      {"as a function without a result it prints", true, ownWidth, true, "ABC",
       Form::FunctionWithoutResult, accepted(), false, {{"/apiprint", printBody(abc)}}},
      {"no slip printer: nothing to print, nothing failed", false, ownWidth, true, "ABC",
       Form::Function, accepted(), true, {}},
  };
  // clang-format on
  for (const SlipCase& c : cases) {
    SCOPED_TRACE(c.what);
    auto session = newSession();
    session->setSettingFlag(u"NoFiskal", c.slipPrinter);
    if (c.lineLength) session->setSetting(u"Eprint", *c.lineLength);
    answers({c.reply});
    host::Params values = session->params(2);
    if (c.textGiven) {
      values.utf8(1, c.text);
    } else {
      values.r8(1, 3.5);
    }
    const host::CallResult result = callIn(*session, c.form, u"PrintNonFiscalString", values);
    EXPECT_TRUE(result.called);
    if (c.form == Form::Function) {
      EXPECT_EQ(result.tag(), VTYPE_BOOL);
      EXPECT_EQ(result.boolean(), c.expectedResult);
    }
    EXPECT_EQ(sent(), c.expectedSent);
  }
}

// ---------------------------------------------------------------------------------------------
// OpenCashDrawer

TEST_F(ServiceDocumentsTest, OnlyAnExternalPrinterOpensTheDrawer) {
  struct Case {
    const char* what;
    int32_t lineLength;
    Form form;
    fake::Reply reply;
    bool expectedResult;
    std::vector<Sent> expectedSent;
    Messages expectedMessages;
  };
  const Sent drawer{"/apiprint", printBody("--open-cash--")};
  const Messages noPrinter = {{"Tavix", kDrawerNeedsPrinter}};
  // clang-format off
  const std::vector<Case> cases = {
      {"the register's own printer, 24", 24, Form::Function, accepted(), false, {}, noPrinter},
      {"the register's own printer, 32", 32, Form::Function, accepted(), false, {}, noPrinter},
      {"an external printer, 42", 42, Form::Function, accepted(), true, {drawer}, {}},
      {"an external printer, 40", 40, Form::Function, accepted(), true, {drawer}, {}},
      {"an external printer, 30", 30, Form::Function, accepted(), true, {drawer}, {}},
      {"an external printer that fails", 42, Form::Function, refused("check-external-printer"),
       false, {drawer}, {}},
      {"as a procedure", 42, Form::Procedure, accepted(), false, {drawer}, {}},
      {"as a procedure at 24", 24, Form::Procedure, accepted(), false, {}, noPrinter},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto session = newSession();
    session->setSetting(u"Eprint", c.lineLength);
    answers({c.reply});
    host::Params ignored = session->params(1);
    const host::CallResult result = callIn(*session, c.form, u"OpenCashDrawer", ignored);
    EXPECT_TRUE(result.called);
    if (c.form == Form::Function) {
      EXPECT_EQ(result.tag(), VTYPE_BOOL);
      EXPECT_EQ(result.boolean(), c.expectedResult);
    }
    EXPECT_EQ(sent(), c.expectedSent);
    EXPECT_EQ(messagesOf(*session), c.expectedMessages);
  }
}

// ---------------------------------------------------------------------------------------------
// What a slip line or the drawer command leaves behind: nothing (M7).

struct LeftBehindCase {
  const char* what;
  int32_t lineLength;
  const char16_t* method;
};

// clang-format off
const std::vector<LeftBehindCase> kPrintedOnce = {
    {"a slip line", 24, u"PrintNonFiscalString"},
    {"the drawer at 24, which sent nothing", 24, u"OpenCashDrawer"},
    {"the drawer at 42", 42, u"OpenCashDrawer"},
};
// clang-format on

void printOnce(host::DriverSession& session, const LeftBehindCase& c) {
  host::Params values = session.params(2);
  values.text(1, u"слип");
  session.call(c.method, values);
}

TEST_F(ServiceDocumentsTest, NothingOfASlipLineOrTheDrawerRidesAlongWithLaterRequests) {
  for (const LeftBehindCase& c : kPrintedOnce) {
    SCOPED_TRACE(c.what);
    auto session = newSession();
    session->setSettingFlag(u"NoFiskal", true);
    session->setSetting(u"Eprint", c.lineLength);
    answers({accepted()});
    printOnce(*session, c);

    EXPECT_EQ(nextKeyedBody(*session), kInitialKeyBody);

    // A sale right after: OpenCheck, one item, CloseCheck.
    answers({fake::Reply::status(200, "1"), accepted("{\"currentShiftID\":\"3\"}"), accepted()});
    host::Params open = session->params(6);
    open.boolean(1, true).boolean(2, false).i4(4, 0).i4(5, 0);
    session->call(u"OpenCheck", open);
    host::Params item = session->params(10);
    item.text(1, u"Хлеб").r8(2, 1).r8(4, 50).r8(6, 0).text(9, u"");
    session->call(u"PrintFiscalString", item);
    host::Params close = session->params(5);
    close.r8(1, 50).r8(2, 0).r8(3, 0).r8(4, 0);
    EXPECT_TRUE(session->call(u"CloseCheck", close).boolean());
    const std::vector<Sent> all = sent();
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[0], (Sent{"/apicheck", kInitialKeyBody}));
    EXPECT_EQ(all[2].target, "/api");
    EXPECT_EQ(all[2].body.find("слип"), std::string::npos) << all[2].body;
    EXPECT_EQ(all[2].body.find("--open-cash--"), std::string::npos) << all[2].body;
  }
}

TEST_F(ServiceDocumentsTest, ASlipLineInTheMiddleOfAReceiptLeavesTheReceiptsPrintTextAlone) {
  for (const LeftBehindCase& c : kPrintedOnce) {
    SCOPED_TRACE(c.what);
    auto session = newSession();
    session->setSettingFlag(u"NoFiskal", true);
    session->setSetting(u"Eprint", c.lineLength);

    // The same receipt with and without the slip in the middle must go to the register alike.
    std::vector<std::string> saleBodies;
    for (const bool withSlip : {false, true}) {
      answers({fake::Reply::status(200, "1"), accepted("{\"currentShiftID\":\"3\"}"), accepted(),
               accepted()});
      host::Params open = session->params(6);
      open.boolean(1, true).boolean(2, false).i4(4, 0).i4(5, 0);
      session->call(u"OpenCheck", open);
      host::Params item = session->params(10);
      item.text(1, u"Хлеб").r8(2, 1).r8(4, 50).r8(6, 0).text(9, u"");
      session->call(u"PrintFiscalString", item);
      if (withSlip) printOnce(*session, c);
      host::Params close = session->params(5);
      close.r8(1, 50).r8(2, 0).r8(3, 0).r8(4, 0);
      EXPECT_TRUE(session->call(u"CloseCheck", close).boolean());
      const std::vector<Sent> all = sent();
      ASSERT_FALSE(all.empty());
      EXPECT_EQ(all.back().target, "/api");
      saleBodies.push_back(all.back().body);
    }
    EXPECT_EQ(saleBodies[1], saleBodies[0]);
    EXPECT_NE(saleBodies[0].find("&print=1.Хлеб"), std::string::npos) << saleBodies[0];
  }
}

// ---------------------------------------------------------------------------------------------
// PrintBarCode and GetLineLength

TEST_F(ServiceDocumentsTest, PrintBarCodeOnlySaysItIsNotProvidedFor) {
  struct Case {
    Form form;
    Messages expectedMessages;
  };
  // clang-format off
  const std::vector<Case> cases = {
      {Form::Function, {{"Tavix", "Печать штрих-кода не предусмотрена в данной версии"}}},
      {Form::FunctionWithoutResult, {}},
      {Form::Procedure, {}},
  };
  // clang-format on
  for (const Case& c : cases) {
    auto session = newSession();
    answers({});
    host::Params ignored = session->params(3);
    const host::CallResult result = callIn(*session, c.form, u"PrintBarCode", ignored);
    EXPECT_TRUE(result.called);
    if (c.form == Form::Function) {
      EXPECT_EQ(result.tag(), VTYPE_BOOL);
      EXPECT_TRUE(result.boolean());
    }
    EXPECT_EQ(messagesOf(*session), c.expectedMessages);
    EXPECT_EQ(sent(), std::vector<Sent>{});
  }
}

TEST_F(ServiceDocumentsTest, GetLineLengthWritesTheLineLengthAsAnInteger) {
  struct Case {
    const char* what;
    int32_t lineLength;  // Eprint, 0 for none
    tVariant passed;
    Form form;
    int32_t expectedLength;
    TYPEVAR expectedTag;
  };
  tVariant empty{};
  tVariant asInt{};
  asInt.vt = VTYPE_INT;
  // clang-format off
  const std::vector<Case> cases = {
      {"before Eprint", 0, i4(0), Form::Function, 24, VTYPE_I4},
      {"after Eprint", 42, i4(0), Form::Function, 42, VTYPE_I4},
      {"as a procedure", 32, i4(0), Form::Procedure, 32, VTYPE_I4},
      {"an integer of another kind keeps its tag", 42, asInt, Form::Function, 42, VTYPE_INT},
      // The number must be read as what it is, not as a double's bytes (M10).
      {"an empty value becomes an integer", 42, empty, Form::Function, 42, VTYPE_I4},
      {"a double becomes an integer", 19, r8(1.5), Form::Function, 19, VTYPE_I4},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto session = newSession();
    if (c.lineLength != 0) session->setSetting(u"Eprint", c.lineLength);
    answers({});
    host::Params values = session->params(2);
    values.raw(1, c.passed);
    const host::CallResult result = callIn(*session, c.form, u"GetLineLength", values);
    EXPECT_TRUE(result.called);
    if (c.form == Form::Function) {
      EXPECT_EQ(result.tag(), VTYPE_BOOL);
      EXPECT_TRUE(result.boolean());
    }
    EXPECT_EQ(values.tagAt(1), c.expectedTag);
    EXPECT_EQ(values.intAt(1), c.expectedLength);
    EXPECT_EQ(sent(), std::vector<Sent>{});
  }
}

}  // namespace
}  // namespace service
