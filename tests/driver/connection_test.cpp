// Open, Close and DeviceTest through the loaded library: the key's way from the profile and the
// settings to the register, its renewal with the administrator's code and password, the firmware
// check and the tax table that MultiTax needs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "http_client_switch.h"
#include "service_fixture.h"

namespace service {
namespace {

using host::u16;
using host::u8;

constexpr char kReady[] = "Api-key загружен, Tavix готов к работе";
constexpr char kRenewed[] =
    "Tavix готов к работе, Web-Api ключ перезагружен по паролю администратора";
constexpr char kUpdateFirmware[] = "требуется обновление tavix";
constexpr char kTaxTableReady[] =
    "Api-key загружен, коды налогов загружены, Tavix готов к работе. key - ";
constexpr char kUnreachable[] =
    "Ошибка IP Tavix, укажите в параметрах правильный IP адрес или включите на устройстве ФР "
    "режим";
constexpr char kUntouched[] = "до теста";
constexpr char kLoginBody[] = "login=1&password=583&getApiKey = true";
constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD in UTF-8

class ConnectionTest : public ServiceTest {};

// ---------------------------------------------------------------------------------------------
// Open

struct OpenCase {
  const char* what;
  bool profileHoldsKey;
  bool profileRefusesRead;
  int32_t keySetting;  // WebapiTAVIX, 0 for none
  std::string expectedBody;
  Messages expectedMessages;
};

TEST_F(ConnectionTest, OpenGivesTheAddressAndTakesTheKeyFromTheProfileOrTheSetting) {
  const Messages noKeyInProfile = {{"Tavix", "Not Read apikey, add api_key from setting"}};
  // clang-format off
  const std::vector<OpenCase> cases = {
      {"a key in the profile", true, false, 0, "key=4242", {}},
      {"the profile's key wins over the setting", true, false, 777, "key=4242", {}},
      {"empty profile, no key setting", false, false, 0, "key=0", noKeyInProfile},
      {"empty profile, the key setting stands in", false, false, 777, "key=777", noKeyInProfile},
      {"profile refusing to read", true, true, 777, "key=777", noKeyInProfile},
  };
  // clang-format on
  for (const OpenCase& c : cases) {
    SCOPED_TRACE(c.what);
    auto session = newSession();
    if (c.keySetting != 0) session->setSetting(u"WebapiTAVIX", c.keySetting);
    if (c.profileHoldsKey) {
      tVariant key{};
      key.vt = VTYPE_I4;
      key.value.lVal = 4242;
      session->connection.storeProfileValue(kKeyValueName, key);
    }
    session->connection.failRead = c.profileRefusesRead;
    answers({});
    {
      host::Params deviceId = session->params(1);
      const host::CallResult result = session->call(u"Open", deviceId);
      EXPECT_TRUE(result.called);
      EXPECT_EQ(result.tag(), VTYPE_BOOL);
      EXPECT_TRUE(result.boolean());
      EXPECT_EQ(deviceId.tagAt(0), VTYPE_PWSTR);
      EXPECT_EQ(deviceId.utf8At(0), register_.ip());
    }
    // Opening is local: the register is not asked.
    EXPECT_EQ(sent(), std::vector<Sent>{});
    EXPECT_EQ(messagesOf(*session), c.expectedMessages);
    EXPECT_EQ(nextKeyedBody(*session), c.expectedBody);
    EXPECT_EQ(session->memory.liveBlocks(), 0u);
  }
}

TEST_F(ConnectionTest, OpenWithoutAPlaceForTheResultLeavesEverythingAsItWas) {
  for (const bool asProcedure : {true, false}) {
    SCOPED_TRACE(asProcedure ? "as a procedure" : "as a function without a result");
    auto session = newSession();
    session->connection.failRead = true;
    host::Params deviceId = session->params(1);
    deviceId.text(0, u16(kUntouched));
    const bool called = asProcedure ? session->callAsProcedure(u"Open", deviceId)
                                    : session->callWithoutResult(u"Open", deviceId);
    EXPECT_TRUE(called);
    EXPECT_EQ(deviceId.utf8At(0), kUntouched);
    EXPECT_EQ(session->connection.reads, 0u);
    EXPECT_EQ(messagesOf(*session), Messages{});
    EXPECT_EQ(nextKeyedBody(*session), kInitialKeyBody);
  }
}

TEST_F(ConnectionTest, CloseAnswersTrueAndTheRegisterStaysReachable) {
  auto session = newSession();
  answers({});
  host::Params ignored = session->params(1);
  const host::CallResult closed = session->call(u"Close", ignored);
  EXPECT_TRUE(closed.called);
  EXPECT_EQ(closed.tag(), VTYPE_BOOL);
  EXPECT_TRUE(closed.boolean());
  EXPECT_EQ(sent(), std::vector<Sent>{});

  answers({accepted()});
  host::Params test = session->params(2);
  EXPECT_TRUE(session->call(u"DeviceTest", test).boolean());
  EXPECT_EQ(sent(), (std::vector<Sent>{{"/apicheck", kInitialKeyBody}}));
}

// ---------------------------------------------------------------------------------------------
// DeviceTest

struct DeviceTestCase {
  const char* what;
  bool multiTax;
  bool profileRefusesWrite;
  bool unreachable;
  int32_t keySetting;  // WebapiTAVIX, 0 for none
  std::vector<fake::Reply> replies;
  bool expectedResult;
  std::string expectedDescription;  // kUntouched when the test writes none
  std::vector<Sent> expectedSent;
  Messages expectedMessages;
  int32_t expectedStoredKey;  // 0: nothing stored
  std::string expectedKeyAfter;
};

std::string taxTableText(const std::string& key, const std::string& table) {
  return kTaxTableReady + key + " код налога" + table;
}

const Sent check5555{"/apicheck", "key=5555"};
const Sent login{"/dolog?", kLoginBody};
const Sent info5555{"/apicheck/getInfo", "key=5555"};
const Sent table5555{"/dump/table/taxesbycode", "key=5555"};

fake::Reply version(const std::string& member) {
  return accepted("{\"applicationVersion\":" + member + "}");
}

TEST_F(ConnectionTest, DeviceTestChecksTheKeyRenewsItAndChecksTheFirmware) {
  // Each row: what; MultiTax, the profile refusing Write, the register unreachable, WebapiTAVIX;
  // the register's replies in order; then the result, the description, the requests, the
  // messages, the key stored in the profile and the key the next request carries.
  // clang-format off
  const std::vector<DeviceTestCase> cases = {
      {"the register takes the key",
       false, false, false, 5555,
       {accepted()},
       true, kReady, {check5555}, {}, 5555, "key=5555"},
      {"no key setting: the worker's own key goes",
       false, false, false, 0,
       {accepted()},
       true, kReady, {{"/apicheck", kInitialKeyBody}}, {}, kInitialKey, kInitialKeyBody},
      {"the register takes the key, the profile refuses it",
       false, true, false, 5555,
       {accepted()},
       false, kUntouched, {check5555}, {{"Tavix", "Not Write apikey"}}, 0, "key=5555"},
      {"an old key is renewed",
       false, false, false, 5555,
       {refused("old-web-api-key"), accepted("73519"), accepted()},
       true, kRenewed, {check5555, login, {"/apicheck", "key=73519"}}, {}, 73519, "key=73519"},
      {"an incorrect key is renewed",
       false, false, false, 5555,
       {refused("incorrect-web-api-key"), accepted("73519"), accepted()},
       true, kRenewed, {check5555, login, {"/apicheck", "key=73519"}}, {}, 73519, "key=73519"},
      {"a login body of 0 keeps the key, the second check decides",
       false, false, false, 5555,
       {refused("incorrect-web-api-key"), accepted("0"), accepted()},
       true, kRenewed, {check5555, login, check5555}, {}, 5555, "key=5555"},
      {"a login body of text keeps the key",
       false, false, false, 5555,
       {refused("old-web-api-key"), accepted("ключ выдан"), accepted()},
       true, kRenewed, {check5555, login, check5555}, {}, 5555, "key=5555"},
      {"a login body beyond 32 bits is no key",
       false, false, false, 5555,
       {refused("old-web-api-key"), accepted("99999999999"), accepted()},
       true, kRenewed, {check5555, login, check5555}, {}, 5555, "key=5555"},
      {"the administrator's login is refused",
       false, false, false, 5555,
       {refused("incorrect-web-api-key"), fake::Reply::status(403, "denied", "Неверный пароль")},
       false, kUntouched, {check5555, login}, {{"Неверный пароль", "АДМИНИСТРАТОРА"}}, 0,
       "key=5555"},
      {"a refused login explained in bytes that are not UTF-8",
       false, false, false, 5555,
       {refused("incorrect-web-api-key"), fake::Reply::status(403, "denied", "\xD0\x9D\xFF!")},
       false, kUntouched, {check5555, login},
       {{std::string("Н") + kReplacement + "!", "АДМИНИСТРАТОРА"}}, 0, "key=5555"},
      {"the renewed key is refused by the second check",
       false, false, false, 5555,
       {refused("old-web-api-key"), accepted("73519"), refused("tavix-is-blocked")},
       false, kUntouched, {check5555, login, {"/apicheck", "key=73519"}},
       {{"Error apicheck ", "tavix-is-blocked"}}, 0, "key=73519"},
      {"the renewed key is accepted, the profile refuses it",
       false, true, false, 5555,
       {refused("old-web-api-key"), accepted("73519"), accepted()},
       false, kUntouched, {check5555, login, {"/apicheck", "key=73519"}},
       {{"Tavix", "Not Write apikey"}}, 0, "key=73519"},
      {"another register error is described as GetLastError describes it",
       false, false, false, 5555,
       {refused("check-printer")},
       false, "Ошибка принтера", {check5555}, {}, 0, "key=5555"},
      {"a key refusal in other letter case is no key refusal",
       false, false, false, 5555,
       {refused("Incorrect-Web-Api-Key")},
       false, "Incorrect-Web-Api-Key", {check5555}, {}, 0, "key=5555"},
      {"an unreachable register, MultiTax off",
       false, false, true, 5555,
       {},
       false, kUnreachable, {}, {}, 0, "key=5555"},
      {"an unreachable register, MultiTax on: no firmware number either",
       true, false, true, 5555,
       {},
       false, kUpdateFirmware, {}, {}, 0, "key=5555"},
      {"firmware 102302 is too old, though the key was stored",
       true, false, false, 5555,
       {accepted(), version("\"102302\"")},
       false, kUpdateFirmware, {check5555, info5555}, {}, 5555, "key=5555"},
      {"firmware 102303 loads the tax table",
       true, false, false, 5555,
       {accepted(), version("\"102303\""), accepted("{\"20\":\"3\",\"0\":\"4\"}")},
       true, taxTableText("5555", "{\"20\":\"3\",\"0\":\"4\"}"), {check5555, info5555, table5555},
       {}, 5555, "key=5555"},
      {"firmware as a number; a refused table keeps the driver's own",
       true, false, false, 5555,
       {accepted(), version("102305"), refused("no-table")},
       true, taxTableText("5555", "{\"12\":1,\"0\":2}"), {check5555, info5555, table5555}, {},
       5555, "key=5555"},
      {"a firmware number beyond 32 bits is recent, not negative",
       true, false, false, 5555,
       {accepted(), version("\"99999999999\""), accepted("{}")},
       true, taxTableText("5555", "{}"), {check5555, info5555, table5555}, {}, 5555, "key=5555"},
      {"a renewed key is the one the tax table text names",
       true, false, false, 5555,
       {refused("old-web-api-key"), accepted("73519"), accepted(), version("\"102303\""),
        accepted("{}")},
       true, taxTableText("73519", "{}"),
       {check5555, login, {"/apicheck", "key=73519"}, {"/apicheck/getInfo", "key=73519"},
        {"/dump/table/taxesbycode", "key=73519"}},
       {}, 73519, "key=73519"},
      {"a refused login still goes on to the firmware, which writes the description",
       true, false, false, 5555,
       {refused("incorrect-web-api-key"), fake::Reply::status(403, "denied", "нет"),
        version("\"102303\""), accepted("{}")},
       false, taxTableText("5555", "{}"), {check5555, login, info5555, table5555},
       {{"нет", "АДМИНИСТРАТОРА"}}, 0, "key=5555"},
      {"a key the profile refuses stays a failure after the firmware check",
       true, true, false, 5555,
       {accepted(), version("\"102303\""), accepted("{}")},
       false, taxTableText("5555", "{}"), {check5555, info5555, table5555},
       {{"Tavix", "Not Write apikey"}}, 0, "key=5555"},
      {"a negative key keeps its sign in the text",
       true, false, false, -42,
       {accepted(), version("\"102303\""), accepted("{}")},
       true, taxTableText("-42", "{}"),
       {{"/apicheck", "key=-42"}, {"/apicheck/getInfo", "key=-42"},
        {"/dump/table/taxesbycode", "key=-42"}},
       {}, -42, "key=-42"},
      {"a tax table that is not UTF-8 shows the bad byte marked",
       true, false, false, 5555,
       {accepted(), version("\"102303\""), accepted("{\"\xFF\":\"1\"}")},
       true, taxTableText("5555", std::string("{\"") + kReplacement + "\":\"1\"}"),
       {check5555, info5555, table5555}, {}, 5555, "key=5555"},
  };
  // clang-format on

  for (const DeviceTestCase& c : cases) {
    SCOPED_TRACE(c.what);
    auto session = newSession();
    session->setSetting(u"LoginTavix", 1);
    session->setSetting(u"PassTavix", 583);
    if (c.keySetting != 0) session->setSetting(u"WebapiTAVIX", c.keySetting);
    session->setSettingFlag(u"MultiTax", c.multiTax);
    session->connection.failWrite = c.profileRefusesWrite;
    answers(c.replies);
    if (c.unreachable) register_.stop();
    {
      host::Params values = session->params(2);
      values.text(0, u16(kUntouched)).i4(1, 77);
      const host::CallResult result = session->call(u"DeviceTest", values);
      EXPECT_TRUE(result.called);
      EXPECT_EQ(result.tag(), VTYPE_BOOL);
      EXPECT_EQ(result.boolean(), c.expectedResult);
      EXPECT_EQ(values.utf8At(0), c.expectedDescription);
      // Argument 2 is the platform's own.
      EXPECT_EQ(values.tagAt(1), VTYPE_I4);
      EXPECT_EQ(values.intAt(1), 77);
    }
    // One description at most reaches platform memory, whatever the steps wrote before it.
    EXPECT_EQ(session->memory.liveBlocks(), 0u);
    if (c.unreachable) register_.start();
    EXPECT_EQ(sent(), c.expectedSent);
    EXPECT_EQ(messagesOf(*session), c.expectedMessages);
    int32_t stored = 0;
    EXPECT_EQ(storedKey(*session, stored), c.expectedStoredKey != 0);
    EXPECT_EQ(stored, c.expectedStoredKey);
    session->connection.failWrite = false;
    EXPECT_EQ(nextKeyedBody(*session), c.expectedKeyAfter);
  }
}

TEST_F(ConnectionTest, GetLastErrorAfterDeviceTestNamesWhatTheLastRequestMet) {
  struct Case {
    const char* what;
    std::vector<fake::Reply> replies;
    std::string expectedLastError;
  };
  // clang-format off
  const std::vector<Case> cases = {
      {"a refused login: the register's explanation",
       {refused("incorrect-web-api-key"), fake::Reply::status(403, "denied", "Неверный пароль")},
       "Неверный пароль"},
      {"a refused second check: its code",
       {refused("old-web-api-key"), accepted("73519"), refused("tavix-is-blocked")},
       "ОФД заблокировал Tavix"},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto session = newSession();
    answers(c.replies);
    host::Params values = session->params(2);
    EXPECT_FALSE(session->call(u"DeviceTest", values).boolean());
    EXPECT_EQ(u8(session->lastError()), c.expectedLastError);
  }
}

TEST_F(ConnectionTest, ARenewedKeyReachesTheWorkerTheComponentAndTheProfile) {
  auto session = newSession();
  session->setSetting(u"WebapiTAVIX", 5555);
  answers({refused("old-web-api-key"), accepted("73519"), accepted()});
  host::Params values = session->params(2);
  ASSERT_TRUE(session->call(u"DeviceTest", values).boolean());

  int32_t stored = 0;
  ASSERT_TRUE(storedKey(*session, stored));
  EXPECT_EQ(stored, 73519);
  EXPECT_EQ(nextKeyedBody(*session), "key=73519");
  // The component's own copy is what Open falls back on when the profile gives nothing.
  session->connection.failRead = true;
  host::Params deviceId = session->params(1);
  session->call(u"Open", deviceId);
  EXPECT_EQ(nextKeyedBody(*session), "key=73519");
}

TEST_F(ConnectionTest, DeviceTestWithoutAnHttpClientSaysSoAndSendsNothing) {
  for (const bool multiTax : {false, true}) {
    SCOPED_TRACE(multiTax ? "MultiTax on" : "MultiTax off");
    std::unique_ptr<host::DriverSession> session;
    {
      const NoHttpClient noClient;
      session = newSession();
    }
    session->setSettingFlag(u"MultiTax", multiTax);
    answers({});
    host::Params values = session->params(2);
    values.text(0, u16(kUntouched));
    const host::CallResult result = session->call(u"DeviceTest", values);
    EXPECT_TRUE(result.called);
    EXPECT_FALSE(result.boolean());
    EXPECT_EQ(values.utf8At(0), kUntouched);
    EXPECT_EQ(sent(), std::vector<Sent>{});
    EXPECT_EQ(messagesOf(*session),
              (Messages{{"Error, not open session on tavix ", register_.ip()}}));
  }
}

TEST_F(ConnectionTest, DeviceTestWithoutAPlaceForTheResultDoesNothing) {
  for (const bool asProcedure : {true, false}) {
    SCOPED_TRACE(asProcedure ? "as a procedure" : "as a function without a result");
    auto session = newSession();
    answers({accepted()});
    host::Params values = session->params(2);
    values.text(0, u16(kUntouched));
    const bool called = asProcedure ? session->callAsProcedure(u"DeviceTest", values)
                                    : session->callWithoutResult(u"DeviceTest", values);
    EXPECT_TRUE(called);
    EXPECT_EQ(values.utf8At(0), kUntouched);
    EXPECT_EQ(sent(), std::vector<Sent>{});
    EXPECT_EQ(session->connection.writes, 0u);
  }
}

}  // namespace
}  // namespace service
