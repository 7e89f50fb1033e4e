// GetLastError as the platform calls it: the register's code from the last reply, told to the
// cashier in Russian, in the method's parameter; the method's value is always 0.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "host/driver_session.h"
#include "tests/driver/http_client_switch.h"
#include "tests/support/fake_register.h"
#include "tests/support/register_error_texts.h"

namespace {

class LastErrorTest : public ::testing::Test {
 protected:
  void SetUp() override { session.useRegister(reg.ip()); }

  // One request that asks the cashier nothing and renews no key: a Z report as a procedure.
  void oneRequest() {
    host::Params p = session.params(1);
    ASSERT_TRUE(session.callAsProcedure(u"PrintZReport", p));
  }

  // GetLastError with a result value the platform has filled beforehand.
  std::u16string lastErrorChecked() {
    tVariant initial{};
    initial.vt = VTYPE_I4;
    initial.value.lVal = 55;
    host::Params p = session.params(1);
    const host::CallResult answer = session.call(u"GetLastError", p, initial);
    EXPECT_TRUE(answer.called);
    EXPECT_EQ(answer.tag(), VTYPE_INT);
    EXPECT_EQ(answer.value.value.intVal, 0);
    EXPECT_EQ(p.tagAt(0), VTYPE_PWSTR);
    const std::u16string text = p.textAt(0);
    EXPECT_EQ(p[0].value.wstr.wstrLen, text.size());
    EXPECT_EQ(session.memory.sizeOf(p[0].value.wstr.pwstrVal), (text.size() + 1) * 2);
    return text;
  }

  fake::FakeRegister reg;
  host::DriverSession session;
};

using expected::CodeCase;

// A code the table does not name, or one in another letter case, is shown as it came.
const std::vector<CodeCase> kRegisterCodes = expected::withTextsShownAsTheyCame({
    "old-web-api-key",
    "Incorrect-Web-Api-Key",
    "SHIFT-GT-24H",
    "check-printer-or-battery",
    "error IP tavix",
});

TEST_F(LastErrorTest, EachRegisterCodeHasItsMessage) {
  for (const CodeCase& c : kRegisterCodes) {
    SCOPED_TRACE(c.code);
    reg.enqueue(fake::Reply::status(400, c.code, "the register's explanation"));
    oneRequest();
    EXPECT_EQ(lastErrorChecked(), host::u16(c.message));
  }
}

TEST_F(LastErrorTest, BeforeAnyRequestTheTextIsTheInitialOne) {
  EXPECT_EQ(lastErrorChecked(), u"errorHead");
}

TEST_F(LastErrorTest, AnUnreachableRegisterAsksForTheRightAddress) {
  reg.stop();
  oneRequest();
  EXPECT_EQ(lastErrorChecked(),
            u"Ошибка IP Tavix, укажите в параметрах правильный IP адрес или включите на "
            u"устройстве ФР режим");
}

// A component whose HTTP client could not be made sends nothing, and says so.
TEST_F(LastErrorTest, WithoutAnHttpClientTheTextIsErrorCurl) {
  std::unique_ptr<host::DriverSession> withoutClient;
  {
    const NoHttpClient noClient;
    withoutClient = std::make_unique<host::DriverSession>();
  }
  withoutClient->useRegister(reg.ip());
  host::Params p = withoutClient->params(1);
  ASSERT_TRUE(withoutClient->callAsProcedure(u"PrintZReport", p));
  EXPECT_EQ(withoutClient->lastError(), u"error CURL");
  EXPECT_EQ(reg.requestCount(), 0u);
}

// Success does not clear the code: GetLastError tells the last reply's reason phrase.
TEST_F(LastErrorTest, AfterASuccessTheReasonPhraseIsTold) {
  reg.enqueue(fake::Reply::status(400, "check-printer"));
  oneRequest();
  reg.enqueue(fake::Reply::ok());
  oneRequest();
  EXPECT_EQ(lastErrorChecked(), u"OK");
  // Asking again tells the same: reporting clears nothing.
  EXPECT_EQ(lastErrorChecked(), u"OK");
}

TEST_F(LastErrorTest, AnEmptyReasonPhraseIsAnEmptyText) {
  reg.enqueue(fake::Reply::raw(
      "HTTP/1.1 400 \r\nAccess-Control-Allow-Origin: *\r\nContent-Length: 0\r\n\r\n"));
  oneRequest();
  EXPECT_EQ(lastErrorChecked(), u"");
}

// The register's reason phrase may carry letters beyond ASCII, and not always valid UTF-8.
TEST_F(LastErrorTest, ANonAsciiReasonPhraseIsShownAsUtf8) {
  reg.enqueue(
      fake::Reply::raw("HTTP/1.1 400 Ошибка\xFF связи \xD0\r\nAccess-Control-Allow-Origin: *\r\n"
                       "Content-Length: 0\r\n\r\n"));
  oneRequest();
  EXPECT_EQ(lastErrorChecked(), u"Ошибка\uFFFD связи \uFFFD");
}

// A refused login makes the register's explanation (UTF-8, or the driver's own detail text)
// the code that GetLastError tells.
TEST_F(LastErrorTest, AFailedKeyRequestTellsTheRegistersExplanation) {
  struct Case {
    const char* name;
    fake::Reply keyReply;
    std::u16string told;
  } const cases[] = {
      {"refused in Russian", fake::Reply::status(403, "login-refused", "Неверный пароль"),
       u"Неверный пароль"},
      {"refused with a broken byte",
       fake::Reply::status(403, "login-refused", "Неверный \xC3(пароль)\xE2\x82"),
       u"Неверный \uFFFD(пароль)\uFFFD"},
      {"no answer at all", fake::Reply::closed(), u"not found IP Tavix"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const fake::Reply keyReply = c.keyReply;
    reg.setHandler([keyReply](const fake::RecordedRequest& request) {
      // A kept connection that dies unanswered makes libcurl try once more on a fresh one, and
      // that second try goes out as "/dolog", without the "?".
      if (request.target.rfind("/dolog", 0) == 0) return keyReply;
      return fake::Reply::status(400, "incorrect-web-api-key");
    });
    host::Params p = session.params(2);
    EXPECT_FALSE(session.call(u"DeviceTest", p).boolean());
    EXPECT_EQ(lastErrorChecked(), c.told);
  }
}

TEST_F(LastErrorTest, WithoutAResultNothingIsWritten) {
  reg.enqueue(fake::Reply::status(400, "check-printer"));
  oneRequest();
  const size_t allocations = session.memory.allocations();

  host::Params asProcedure = session.params(1);
  asProcedure.i4(0, 77);
  EXPECT_TRUE(session.callAsProcedure(u"GetLastError", asProcedure));
  EXPECT_EQ(asProcedure.tagAt(0), VTYPE_I4);
  EXPECT_EQ(asProcedure.intAt(0), 77);

  host::Params withoutResult = session.params(1);
  withoutResult.text(0, u"untouched");
  EXPECT_TRUE(session.callWithoutResult(u"GetLastError", withoutResult));
  EXPECT_EQ(withoutResult.textAt(0), u"untouched");

  EXPECT_EQ(session.memory.allocations(), allocations);
  EXPECT_EQ(lastErrorChecked(), u"Ошибка принтера");
}

}  // namespace
