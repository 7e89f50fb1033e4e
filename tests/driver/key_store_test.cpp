// The Web-API key in the platform's profile, through the operations that read and write it: Open
// loads it, and every accepted check, sale or cash document stores the key the worker holds.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "host/driver_session.h"
#include "tests/support/fake_register.h"

namespace {

constexpr char16_t kValueName[] = u"iApiKey:0";
constexpr int32_t kInitialKey = 60418253;

std::string keyBody(int32_t key) { return "key=" + std::to_string(key); }

class KeyStoreTest : public ::testing::Test {
 protected:
  void SetUp() override { session.useRegister(reg.ip()); }

  host::CallResult open() {
    host::Params p = session.params(1);
    const host::CallResult answer = session.call(u"Open", p);
    EXPECT_EQ(p.textAt(0), host::u16(reg.ip()));
    return answer;
  }

  // The key the worker sends now: a Z report as a procedure asks nothing and renews nothing.
  std::string keySent() {
    reg.clearRecord();
    host::Params p = session.params(1);
    EXPECT_TRUE(session.callAsProcedure(u"PrintZReport", p));
    return reg.requestCount() == 1 ? reg.lastRequest().body : "no request";
  }

  // The body of DeviceTest's first request, which carries the component's key.
  std::string deviceTestKey() {
    reg.clearRecord();
    host::Params p = session.params(2);
    session.call(u"DeviceTest", p);
    return reg.requestCount() >= 1 ? reg.requests()[0].body : "no request";
  }

  host::CallResult cashIn(double amount) {
    host::Params p = session.params(2);
    p.r8(1, amount);
    return session.call(u"CashInOutcome", p);
  }

  void expectOnlyMessage(const std::u16string& text) {
    ASSERT_EQ(session.connection.messages.size(), 1u);
    const host::PostedMessage& message = session.connection.messages[0];
    EXPECT_EQ(message.code, 1005);
    EXPECT_EQ(message.source, u"Tavix");
    EXPECT_EQ(message.text, text);
    EXPECT_EQ(message.status, 0);
  }

  fake::FakeRegister reg;
  host::DriverSession session;
};

tVariant storedValue(TYPEVAR tag, const void* bytes, size_t size) {
  tVariant value;
  std::memset(&value, 0, sizeof value);
  value.vt = tag;
  std::memcpy(&value.value, bytes, size);
  return value;
}

TEST_F(KeyStoreTest, OpenTakesTheStoredKeyByItsTag) {
  const int32_t i4 = 777;
  const int16_t i2 = -5;
  const uint8_t ui1 = 200;
  const double r8 = 777.0;
  struct Case {
    const char* name;
    tVariant value;
    int32_t key;
  } const cases[] = {
      {"a 32-bit integer", storedValue(VTYPE_I4, &i4, sizeof i4), 777},
      {"a negative 16-bit integer", storedValue(VTYPE_I2, &i2, sizeof i2), -5},
      {"an unsigned byte", storedValue(VTYPE_UI1, &ui1, sizeof ui1), 200},
      {"a double", storedValue(VTYPE_R8, &r8, sizeof r8), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    session.connection.storeProfileValue(kValueName, c.value);
    const host::CallResult answer = open();
    EXPECT_TRUE(answer.called);
    EXPECT_EQ(answer.tag(), VTYPE_BOOL);
    EXPECT_TRUE(answer.boolean());
    EXPECT_EQ(keySent(), keyBody(c.key));
  }
  EXPECT_TRUE(session.connection.messages.empty());
  // Open contacts nobody.
  reg.clearRecord();
  open();
  EXPECT_EQ(reg.requestCount(), 0u);
}

TEST_F(KeyStoreTest, AStoredTextGivesKeyZero) {
  session.connection.storeProfileText(kValueName, u"60418253");
  EXPECT_TRUE(open().boolean());
  EXPECT_EQ(keySent(), keyBody(0));
  EXPECT_TRUE(session.connection.messages.empty());
}

TEST_F(KeyStoreTest, WithoutAStoredKeyOpenFallsBackToTheSettingsKey) {
  struct Case {
    const char* name;
    bool failRead;
    bool withSetting;
    int32_t key;
  } const cases[] = {
      {"the profile refuses, no key set", true, false, 0},
      {"the profile refuses, a key set", true, true, 555},
      {"the profile is empty, no key set", false, false, 0},
      {"the profile is empty, a key set", false, true, 555},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    host::DriverSession fresh;
    fresh.useRegister(reg.ip());
    fresh.connection.failRead = c.failRead;
    if (c.withSetting) fresh.setSetting(u"WebapiTAVIX", 555);
    host::Params p = fresh.params(1);
    EXPECT_TRUE(fresh.call(u"Open", p).boolean());
    EXPECT_EQ(p.textAt(0), host::u16(reg.ip()));
    ASSERT_EQ(fresh.connection.messages.size(), 1u);
    EXPECT_EQ(fresh.connection.messages[0].source, u"Tavix");
    EXPECT_EQ(fresh.connection.messages[0].text, u"Not Read apikey, add api_key from setting");
    EXPECT_EQ(fresh.connection.messages[0].code, 1005);

    reg.clearRecord();
    host::Params z = fresh.params(1);
    fresh.callAsProcedure(u"PrintZReport", z);
    ASSERT_EQ(reg.requestCount(), 1u);
    EXPECT_EQ(reg.lastRequest().body, keyBody(c.key));
  }
}

TEST_F(KeyStoreTest, OpenWithoutAResultLoadsNothing) {
  const int32_t stored = 777;
  session.connection.storeProfileValue(kValueName, storedValue(VTYPE_I4, &stored, sizeof stored));
  host::Params asProcedure = session.params(1);
  EXPECT_TRUE(session.callAsProcedure(u"Open", asProcedure));
  host::Params withoutResult = session.params(1);
  EXPECT_TRUE(session.callWithoutResult(u"Open", withoutResult));
  EXPECT_EQ(session.connection.reads, 0u);
  EXPECT_EQ(keySent(), keyBody(kInitialKey));
}

TEST_F(KeyStoreTest, AnAcceptedCashDocumentStoresTheRenewedKey) {
  reg.enqueue(fake::Reply::ok("777"));
  EXPECT_TRUE(cashIn(100).boolean());
  const tVariant stored = session.connection.profileValue(kValueName);
  EXPECT_EQ(stored.vt, VTYPE_I4);
  EXPECT_EQ(stored.value.lVal, 777);
  EXPECT_TRUE(session.connection.messages.empty());

  // The key survives a restart of the platform: the next component opens with it.
  host::DriverSession next;
  next.useRegister(reg.ip());
  next.connection.storeProfileValue(kValueName, stored);
  host::Params p = next.params(1);
  next.call(u"Open", p);
  reg.clearRecord();
  host::Params z = next.params(1);
  next.callAsProcedure(u"PrintZReport", z);
  ASSERT_EQ(reg.requestCount(), 1u);
  EXPECT_EQ(reg.lastRequest().body, keyBody(777));
}

TEST_F(KeyStoreTest, ARefusedCashDocumentStoresNothing) {
  reg.enqueue(fake::Reply::status(400, "check-printer", "777"));
  EXPECT_FALSE(cashIn(100).boolean());
  EXPECT_EQ(session.connection.writes, 0u);
}

// The register has taken the cash; only the profile refused the key. The cashier must not repeat
// the document, and the key the register handed out is still the one the next request uses.
TEST_F(KeyStoreTest, ARefusedWriteAfterACashDocumentKeepsTheKeyInMemory) {
  session.connection.failWrite = true;
  reg.enqueue(fake::Reply::ok("777"));
  EXPECT_TRUE(cashIn(-50).boolean());
  expectOnlyMessage(u"Not Write apikey");
  EXPECT_FALSE(session.connection.hasProfileValue(kValueName));
  EXPECT_EQ(keySent(), keyBody(777));
  EXPECT_EQ(deviceTestKey(), keyBody(777));
}

TEST_F(KeyStoreTest, ARefusedWriteAfterASaleKeepsTheKeyInMemory) {
  session.connection.failWrite = true;
  host::Params opening = session.params(6);
  opening.boolean(1, true).boolean(2, false).i4(4, 0).i4(5, 0);
  session.call(u"OpenCheck", opening);
  host::Params line = session.params(10);
  line.text(1, u"Хлеб").r8(2, 1).r8(4, 10).r8(6, 20).text(9, u"");
  session.call(u"PrintFiscalString", line);
  session.connection.messages.clear();

  reg.enqueue(fake::Reply::ok("888"));
  host::Params close = session.params(5);
  close.r8(1, 10).r8(2, 0).r8(3, 0).r8(4, 0);
  EXPECT_TRUE(session.call(u"CloseCheck", close).boolean());
  expectOnlyMessage(u"Not Write apikey");
  EXPECT_EQ(deviceTestKey(), keyBody(888));
}

// A refused write still leaves the key with the component: a DeviceTest that the profile keeps
// refusing sends that key every time.
TEST_F(KeyStoreTest, ARefusedWriteAfterDeviceTestIsReported) {
  session.setSetting(u"WebapiTAVIX", 555);
  session.connection.failWrite = true;
  host::Params p = session.params(2);
  p.text(0, u"before");
  EXPECT_FALSE(session.call(u"DeviceTest", p).boolean());
  expectOnlyMessage(u"Not Write apikey");
  EXPECT_EQ(p.textAt(0), u"before");
  EXPECT_EQ(deviceTestKey(), keyBody(555));

  session.connection.failWrite = false;
  session.connection.messages.clear();
  EXPECT_TRUE(session.call(u"DeviceTest", p).boolean());
  EXPECT_EQ(session.connection.profileValue(kValueName).value.lVal, 555);
  EXPECT_TRUE(session.connection.messages.empty());
}

}  // namespace
