// The Web-API key in the platform's profile, seen from the component itself: what it writes,
// what it makes of whatever the profile gives back, and what it remembers when the profile
// refuses.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "addin/component.h"
#include "host/driver_session.h"

namespace {

constexpr char16_t kValueName[] = u"iApiKey:0";

class KeyStoreTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(driver.Init(&connection)); }

  host::HostConnection connection;
  Tavixfr driver;
};

tVariant valueOf(TYPEVAR tag, const void* bytes, size_t size) {
  tVariant value;
  std::memset(&value, 0, sizeof value);
  value.vt = tag;
  std::memcpy(&value.value, bytes, size);
  return value;
}

TEST_F(KeyStoreTest, TheKeyIsWrittenAsA32BitInteger) {
  EXPECT_EQ(connection.registeredProfile, u"TAVIXfr");
  EXPECT_TRUE(driver.storeApiKey(-123456));
  ASSERT_TRUE(connection.hasProfileValue(kValueName));
  const tVariant stored = connection.profileValue(kValueName);
  EXPECT_EQ(stored.vt, VTYPE_I4);
  EXPECT_EQ(stored.value.lVal, -123456);
  EXPECT_EQ(driver.apiKey, -123456);
  EXPECT_TRUE(connection.messages.empty());
}

TEST_F(KeyStoreTest, ARefusedWriteIsReportedAndTheKeyIsRemembered) {
  connection.failWrite = true;
  EXPECT_FALSE(driver.storeApiKey(777));
  EXPECT_EQ(driver.apiKey, 777);
  EXPECT_FALSE(connection.hasProfileValue(kValueName));
  ASSERT_EQ(connection.messages.size(), 1u);
  EXPECT_EQ(connection.messages[0].code, 1005);
  EXPECT_EQ(connection.messages[0].source, u"Tavix");
  EXPECT_EQ(connection.messages[0].text, u"Not Write apikey");
  EXPECT_EQ(connection.messages[0].status, 0);
}

// The profile gives back whatever it holds; the key is read as the platform's integers are read.
TEST_F(KeyStoreTest, AStoredValueIsReadByItsTag) {
  const int32_t i4 = 777;
  const int16_t negativeI2 = -5;
  const int8_t negativeI1 = -56;
  const uint8_t ui1 = 200;
  const uint16_t ui2 = 65535;
  const uint32_t ui4 = 0xFFFFFFFF;
  const double r8 = 24.0;
  const float r4 = 24.0f;
  const bool flag = true;
  struct Case {
    const char* name;
    tVariant value;
    int32_t key;
  } const cases[] = {
      {"I4", valueOf(VTYPE_I4, &i4, sizeof i4), 777},
      {"negative I2, sign-extended", valueOf(VTYPE_I2, &negativeI2, sizeof negativeI2), -5},
      {"negative I1, sign-extended", valueOf(VTYPE_I1, &negativeI1, sizeof negativeI1), -56},
      {"UI1", valueOf(VTYPE_UI1, &ui1, sizeof ui1), 200},
      {"UI2", valueOf(VTYPE_UI2, &ui2, sizeof ui2), 65535},
      {"UI4, bit for bit", valueOf(VTYPE_UI4, &ui4, sizeof ui4), -1},
      {"INT", valueOf(VTYPE_INT, &i4, sizeof i4), 777},
      {"UINT", valueOf(VTYPE_UINT, &i4, sizeof i4), 777},
      {"ERROR", valueOf(VTYPE_ERROR, &i4, sizeof i4), 777},
      {"HRESULT", valueOf(VTYPE_HRESULT, &i4, sizeof i4), 777},
      {"R8", valueOf(VTYPE_R8, &r8, sizeof r8), 0},
      {"R4", valueOf(VTYPE_R4, &r4, sizeof r4), 0},
      {"BOOL", valueOf(VTYPE_BOOL, &flag, sizeof flag), 0},
      {"EMPTY", valueOf(VTYPE_EMPTY, &i4, 0), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    driver.worker->settings.key = 4242;
    connection.storeProfileValue(kValueName, c.value);
    EXPECT_TRUE(driver.loadApiKey());
    EXPECT_EQ(driver.worker->settings.key, c.key);
  }
  EXPECT_TRUE(connection.messages.empty());
}

TEST_F(KeyStoreTest, AStoredTextGivesKeyZero) {
  connection.storeProfileText(kValueName, u"60418253");
  driver.worker->settings.key = 4242;
  EXPECT_TRUE(driver.loadApiKey());
  EXPECT_EQ(driver.worker->settings.key, 0);
}

TEST_F(KeyStoreTest, AReadThatGivesNothingLeavesTheKey) {
  driver.worker->settings.key = 4242;
  EXPECT_FALSE(driver.loadApiKey());  // nothing stored yet
  EXPECT_EQ(driver.worker->settings.key, 4242);

  const int32_t stored = 5;
  connection.storeProfileValue(kValueName, valueOf(VTYPE_I4, &stored, sizeof stored));
  connection.failRead = true;
  EXPECT_FALSE(driver.loadApiKey());
  EXPECT_EQ(driver.worker->settings.key, 4242);
  // Reporting a failed read is the caller's (Open's) business.
  EXPECT_TRUE(connection.messages.empty());
}

TEST_F(KeyStoreTest, AWrittenKeyIsReadBack) {
  ASSERT_TRUE(driver.storeApiKey(987654321));
  driver.worker->settings.key = 1;
  EXPECT_TRUE(driver.loadApiKey());
  EXPECT_EQ(driver.worker->settings.key, 987654321);
}

TEST(KeyStoreWithoutConnection, NeitherStoresNorLoads) {
  Tavixfr driver;
  EXPECT_FALSE(driver.storeApiKey(777));
  EXPECT_EQ(driver.apiKey, 777);
  driver.worker->settings.key = 4242;
  EXPECT_FALSE(driver.loadApiKey());
  EXPECT_EQ(driver.worker->settings.key, 4242);
}

}  // namespace
