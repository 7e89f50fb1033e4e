// OpenShift, PrintXReport and PrintZReport through the loaded library: what goes to the register,
// what the cashier is asked, and what the answer makes of the result.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "http_client_switch.h"
#include "service_fixture.h"

namespace service {
namespace {

constexpr char kReady[] = "Api-key загружен, Tavix готов к работе";
constexpr char kXQuestion[] = "?X-Отчет напечатался?";
constexpr char kZQuestion[] = "?Z-Отчет напечатался?";
constexpr char kRepeat[] = "!Повторите операцию";

class ShiftReportsTest : public ServiceTest {};

// ---------------------------------------------------------------------------------------------
// OpenShift

struct OpenShiftCase {
  const char* what;
  std::vector<fake::Reply> replies;
  bool expectedResult;
  std::vector<Sent> expectedSent;
  Messages expectedMessages;
};

TEST_F(ShiftReportsTest, OpenShiftTestsTheLinkAndTellsTheCashierHowItStands) {
  // clang-format off
  const std::vector<OpenShiftCase> cases = {
      {"a working register", {accepted()}, true, {{"/apicheck", "key=5555"}},
       {{"Tavix open shift ", kReady}}},
      {"a register error", {refused("check-printer")}, false, {{"/apicheck", "key=5555"}},
       {{"Tavix open shift ", "Ошибка принтера"}}},
      {"a renewed key: the test's own message comes first",
       {refused("old-web-api-key"), accepted("73519"), refused("tavix-is-blocked")}, false,
       {{"/apicheck", "key=5555"},
        {"/dolog?", "login=166&password=1&getApiKey = true"},
        {"/apicheck", "key=73519"}},
       {{"Error apicheck ", "tavix-is-blocked"}, {"Tavix open shift ", "до смены"}}},
  };
  // clang-format on
  for (const OpenShiftCase& c : cases) {
    SCOPED_TRACE(c.what);
    auto session = newSession();
    session->setSetting(u"LoginTavix", 166);
    session->setSetting(u"PassTavix", 1);
    session->setSetting(u"WebapiTAVIX", 5555);
    answers(c.replies);
    {
      host::Params description = session->params(1);
      description.text(0, u"до смены");
      const host::CallResult result = session->call(u"OpenShift", description);
      EXPECT_TRUE(result.called);
      EXPECT_EQ(result.tag(), VTYPE_BOOL);
      EXPECT_EQ(result.boolean(), c.expectedResult);
    }
    EXPECT_EQ(session->memory.liveBlocks(), 0u);
    EXPECT_EQ(sent(), c.expectedSent);
    EXPECT_EQ(messagesOf(*session), c.expectedMessages);
  }
}

TEST_F(ShiftReportsTest, OpenShiftWithoutAnHttpClientShowsWhatThePlatformPassed) {
  struct Case {
    const char* what;
    bool passText;
    std::string expectedText;
  };
  // clang-format off
  const std::vector<Case> cases = {
      {"a text passed in", true, "смена 5"},
      {"no text passed in", false, ""},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::unique_ptr<host::DriverSession> session;
    {
      const NoHttpClient noClient;
      session = newSession();
    }
    answers({});
    host::Params description = session->params(1);
    if (c.passText) {
      description.utf8(0, c.expectedText);
    } else {
      description.i4(0, 5);
    }
    const host::CallResult result = session->call(u"OpenShift", description);
    EXPECT_TRUE(result.called);
    EXPECT_FALSE(result.boolean());
    EXPECT_EQ(sent(), std::vector<Sent>{});
    EXPECT_EQ(messagesOf(*session), (Messages{{"Error, not open session on tavix ", register_.ip()},
                                              {"Tavix open shift ", c.expectedText}}));
  }
}

TEST_F(ShiftReportsTest, OpenShiftWithoutAPlaceForTheResultDoesNothing) {
  for (const bool asProcedure : {true, false}) {
    SCOPED_TRACE(asProcedure ? "as a procedure" : "as a function without a result");
    auto session = newSession();
    answers({accepted()});
    host::Params description = session->params(1);
    const bool called = asProcedure ? session->callAsProcedure(u"OpenShift", description)
                                    : session->callWithoutResult(u"OpenShift", description);
    EXPECT_TRUE(called);
    EXPECT_EQ(sent(), std::vector<Sent>{});
    EXPECT_EQ(messagesOf(*session), Messages{});
  }
}

// ---------------------------------------------------------------------------------------------
// PrintXReport

struct XReportCase {
  const char* what;
  bool messageBox;
  bool unreachable;
  std::vector<fake::Reply> replies;
  bool cashierSaysPrinted;
  bool expectedResult;
  std::vector<Sent> expectedSent;
  std::vector<std::string> expectedDialogs;
  Messages expectedMessages;
  int32_t expectedStoredKey;  // 0: nothing stored
};

TEST_F(ShiftReportsTest, XReportAsksTheCashierOrTestsTheLinkWhenItFails) {
  const Sent report{"/apixreport", kInitialKeyBody};
  const Sent check{"/apicheck", kInitialKeyBody};
  const Sent login{"/dolog?", "login=166&password=1&getApiKey = true"};
  // clang-format off
  const std::vector<XReportCase> cases = {
      {"printed", true, false, {accepted()}, true, true, {report}, {kXQuestion}, {}, 0},
      {"not printed", true, false, {accepted()}, false, false, {report}, {kXQuestion}, {}, 0},
      // With nobody to ask, the register's acceptance is all the driver knows.
      {"no message box, accepted", false, false, {accepted()}, false, true, {report}, {}, {}, 0},
      {"a refused key is renewed for the cashier's next try", true, false,
       {refused("incorrect-web-api-key"), refused("incorrect-web-api-key"), accepted("73519"),
        accepted()},
       true, false,
       {report, check, login, {"/apicheck", "key=73519"}}, {kRepeat}, {}, 73519},
      {"a printer error: the test's description goes nowhere", true, false,
       {refused("check-printer"), refused("check-printer")}, true, false, {report, check},
       {kRepeat}, {}, 0},
      {"a refused login shows in the test's message", true, false,
       {refused("old-web-api-key"), refused("old-web-api-key"),
        fake::Reply::status(403, "denied", "Неверный пароль")},
       true, false, {report, check, login}, {kRepeat}, {{"Неверный пароль", "АДМИНИСТРАТОРА"}},
       0},
      {"an unreachable register", true, true, {}, true, false, {}, {kRepeat}, {}, 0},
      {"no message box, refused", false, false, {refused("check-printer"), accepted()}, true,
       false, {report, check}, {}, {}, kInitialKey},
  };
  // clang-format on
  for (const XReportCase& c : cases) {
    SCOPED_TRACE(c.what);
    host::SessionOptions options;
    options.withMessageBox = c.messageBox;
    auto session = newSession(options);
    session->setSetting(u"LoginTavix", 166);
    session->setSetting(u"PassTavix", 1);
    session->messageBox.answer(c.cashierSaysPrinted);
    answers(c.replies);
    if (c.unreachable) register_.stop();
    {
      host::Params ignored = session->params(1);
      const host::CallResult result = session->call(u"PrintXReport", ignored);
      EXPECT_TRUE(result.called);
      EXPECT_EQ(result.tag(), VTYPE_BOOL);
      EXPECT_EQ(result.boolean(), c.expectedResult);
    }
    if (c.unreachable) register_.start();
    // The connection test's description is nobody's to keep.
    EXPECT_EQ(session->memory.liveBlocks(), 0u);
    EXPECT_EQ(sent(), c.expectedSent);
    EXPECT_EQ(dialogsOf(*session), c.expectedDialogs);
    EXPECT_EQ(messagesOf(*session), c.expectedMessages);
    int32_t stored = 0;
    EXPECT_EQ(storedKey(*session, stored), c.expectedStoredKey != 0);
    EXPECT_EQ(stored, c.expectedStoredKey);
  }
}

TEST_F(ShiftReportsTest, XReportWithoutAPlaceForTheResultDoesNothing) {
  for (const bool asProcedure : {true, false}) {
    SCOPED_TRACE(asProcedure ? "as a procedure" : "as a function without a result");
    auto session = newSession();
    answers({accepted()});
    host::Params ignored = session->params(1);
    const bool called = asProcedure ? session->callAsProcedure(u"PrintXReport", ignored)
                                    : session->callWithoutResult(u"PrintXReport", ignored);
    EXPECT_TRUE(called);
    EXPECT_EQ(sent(), std::vector<Sent>{});
    EXPECT_EQ(dialogsOf(*session), std::vector<std::string>{});
  }
}

// ---------------------------------------------------------------------------------------------
// PrintZReport

enum class Form { Function, FunctionWithoutResult, Procedure };

struct ZReportCase {
  const char* what;
  Form form;
  bool messageBox;
  bool unreachable;
  bool registerAccepts;
  bool cashierSaysPrinted;
  bool expectedResult;  // for the function with a result
  std::vector<std::string> expectedDialogs;
};

bool callIn(host::DriverSession& session, Form form, const std::u16string& method,
            host::Params& params, host::CallResult& result) {
  switch (form) {
    case Form::Function:
      result = session.call(method, params);
      return result.called;
    case Form::FunctionWithoutResult:
      return session.callWithoutResult(method, params);
    case Form::Procedure:
      return session.callAsProcedure(method, params);
  }
  return false;
}

TEST_F(ShiftReportsTest, ZReportIsAlwaysSentAndOnlyTheFunctionAsks) {
  // clang-format off
  const std::vector<ZReportCase> cases = {
      {"printed", Form::Function, true, false, true, true, true, {kZQuestion}},
      {"not printed", Form::Function, true, false, true, false, false, {kZQuestion}},
      {"an unreachable register: the cashier is asked all the same", Form::Function, true, true,
       false, true, true, {kZQuestion}},
      {"a refusal: the cashier is asked all the same", Form::Function, true, false, false, true,
       true, {kZQuestion}},
      // With nobody to ask, the register's answer is all the driver knows.
      {"no message box, accepted", Form::Function, false, false, true, false, true, {}},
      {"no message box, refused", Form::Function, false, false, false, true, false, {}},
      {"as a function without a result", Form::FunctionWithoutResult, true, false, true, true,
       false, {}},
      {"as a procedure", Form::Procedure, true, false, true, true, false, {}},
      {"as a procedure, unreachable", Form::Procedure, true, true, false, true, false, {}},
  };
  // clang-format on
  for (const ZReportCase& c : cases) {
    SCOPED_TRACE(c.what);
    host::SessionOptions options;
    options.withMessageBox = c.messageBox;
    auto session = newSession(options);
    session->messageBox.answer(c.cashierSaysPrinted);
    answers({c.registerAccepts ? accepted() : refused("check-printer")});
    if (c.unreachable) register_.stop();
    host::Params ignored = session->params(1);
    host::CallResult result;
    EXPECT_TRUE(callIn(*session, c.form, u"PrintZReport", ignored, result));
    if (c.unreachable) register_.start();
    if (c.form == Form::Function) {
      EXPECT_EQ(result.tag(), VTYPE_BOOL);
      EXPECT_EQ(result.boolean(), c.expectedResult);
    }
    const std::vector<Sent> expectedSent =
        c.unreachable ? std::vector<Sent>{} : std::vector<Sent>{{"/apizreport", kInitialKeyBody}};
    EXPECT_EQ(sent(), expectedSent);
    EXPECT_EQ(dialogsOf(*session), c.expectedDialogs);
  }
}

// The shift number is asked once per shift; after a Z report in any form the next receipt asks
// again, and gets the new shift's number.
TEST_F(ShiftReportsTest, ZReportMakesTheNextReceiptAskForTheShiftNumber) {
  struct Case {
    const char* what;
    Form form;
    bool unreachable;
  };
  // clang-format off
  const std::vector<Case> cases = {
      {"as a function", Form::Function, false},
      {"as a function without a result", Form::FunctionWithoutResult, false},
      {"as a procedure", Form::Procedure, false},
      {"as a function, the register unreachable", Form::Function, true},
  };
  // clang-format on
  const auto openCheck = [](host::DriverSession& session, int32_t& receipt, int32_t& shift) {
    host::Params values = session.params(6);
    values.boolean(1, true).boolean(2, false).i4(4, 0).i4(5, 0);
    session.call(u"OpenCheck", values);
    receipt = values.intAt(4);
    shift = values.intAt(5);
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto session = newSession();
    int32_t receipt = 0;
    int32_t shift = 0;

    answers({fake::Reply::status(200, "40"), accepted("{\"currentShiftID\":\"7\"}")});
    openCheck(*session, receipt, shift);
    EXPECT_EQ(shift, 7);
    answers({fake::Reply::status(200, "41")});
    openCheck(*session, receipt, shift);
    EXPECT_EQ(sent(), (std::vector<Sent>{{"/apicheck", kInitialKeyBody}}));
    EXPECT_EQ(shift, 7);

    answers({accepted()});
    if (c.unreachable) register_.stop();
    host::Params ignored = session->params(1);
    host::CallResult result;
    callIn(*session, c.form, u"PrintZReport", ignored, result);
    if (c.unreachable) register_.start();

    answers({fake::Reply::status(200, "1"), accepted("{\"currentShiftID\":\"8\"}")});
    openCheck(*session, receipt, shift);
    EXPECT_EQ(sent(), (std::vector<Sent>{{"/apicheck", kInitialKeyBody},
                                         {"/apicheck/getInfo?show=minimum", "&key=60418253"}}));
    EXPECT_EQ(shift, 8);
  }
}

}  // namespace
}  // namespace service
