// What the driver says about itself, the settings page the platform builds from it, and how each
// setting the technician enters reaches the driver — seen where it matters: on the wire and in
// the operations that use it.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "host/driver_session.h"
#include "tests/support/fake_register.h"

namespace {

constexpr int32_t kInitialKey = 60418253;

std::u16string parameter(const std::u16string& name, const std::u16string& caption,
                         const std::u16string& type, const std::u16string& defaultValue) {
  return u"<Parameter Name=\"" + name + u"\" Caption=\"" + caption + u"\" TypeValue=\"" + type +
         u"\" DefaultValue=\"" + defaultValue + u"\"/>";
}

std::u16string item(const std::u16string& value, const std::u16string& text) {
  return u"<Item Value=\"" + value + u"\">" + text + u"</Item>";
}

// The settings page as the platform's form reads it: one line, no white space between elements,
// the choice of line widths right after the width's own element.
std::u16string expectedSettingsXml() {
  return u"<?xml version=\"1.0\" encoding=\"UTF-8\" ?>"
         u"<Settings><Page Caption=\"Параметры\"><Group Caption=\"Параметры подключения\">" +
         parameter(u"Eprint", u"Кол-во символов в строке", u"Number", u"24") + u"<ChoiceList>" +
         item(u"24", u"нормальный 24 символа") + item(u"32", u"маленький 32 символа") +
         item(u"19", u"крупный 19 символов") +
         item(u"42", u"42 символа внешний принтер 80 мм бумага") +
         item(u"30", u"30 символов внешний принтер 57 мм бумага") +
         item(u"40", u"40 символов внешний принтер 57 мм бумага") + u"</ChoiceList>" +
         parameter(u"Ipdest", u"IP адрес", u"String", u"192.168.1.100") +
         parameter(u"LoginTavix", u"Код АДМИНИСТРАТОРА", u"Number", u"1") +
         parameter(u"PassTavix", u"Пароль АДМИНИСТРАТОРА", u"Number", u"583") +
         parameter(u"WebapiTAVIX", u"или Web-API ключ", u"Number", u"60418253") +
         parameter(u"TaxTavix", u"Код налога по-умолчанию", u"Number", u"1") +
         parameter(u"MultiTax", u"Использовать несколько налогов, ТРЕБУЕТСЯ прошивка 102305 и выше",
                   u"Boolean", u"false") +
         parameter(u"NoFiskal", u"Использовать принтер для слипов", u"Boolean", u"false") +
         u"</Group></Page></Settings>";
}

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override { session.useRegister(reg.ip()); }

  // SetParameter as the platform calls it, with the value prepared by `value`.
  host::CallResult set(const std::u16string& name,
                       const std::function<void(host::Params&)>& value) {
    host::Params p = session.params(2);
    p.text(0, name);
    value(p);
    return session.call(u"SetParameter", p);
  }

  int32_t lineLength() {
    host::Params p = session.params(2);
    p.i4(1, -999);
    EXPECT_TRUE(session.call(u"GetLineLength", p).called);
    return p.intAt(1);
  }

  // Open's device identifier: the address as the driver holds it, one character per byte.
  std::u16string openedAddress() {
    host::Params p = session.params(1);
    EXPECT_TRUE(session.call(u"Open", p).called);
    return p.textAt(0);
  }

  // The key the worker sends now: a Z report as a procedure asks nothing and renews nothing.
  std::string keySent() {
    reg.clearRecord();
    host::Params p = session.params(1);
    EXPECT_TRUE(session.callAsProcedure(u"PrintZReport", p));
    return reg.requestCount() == 1 ? reg.lastRequest().body : "no request";
  }

  // The register's side of a DeviceTest that had to renew the key.
  std::vector<fake::RecordedRequest> deviceTestWithRefusedKey() {
    reg.clearRecord();
    reg.setHandler([](const fake::RecordedRequest& request) {
      if (request.target == "/apicheck") return fake::Reply::status(400, "incorrect-web-api-key");
      return fake::Reply::ok();
    });
    host::Params p = session.params(2);
    session.call(u"DeviceTest", p);
    return reg.requests();
  }

  fake::FakeRegister reg;
  host::DriverSession session;
};

TEST_F(SettingsTest, GetVersionIsThreeZero) {
  host::Params none = session.params(0);
  const host::CallResult version = session.call(u"GetVersion", none);
  EXPECT_TRUE(version.called);
  EXPECT_EQ(version.tag(), VTYPE_PWSTR);
  EXPECT_EQ(version.text, u"3.0");
}

TEST_F(SettingsTest, GetParametersGivesTheWholeSettingsPage) {
  const std::u16string expected = expectedSettingsXml();
  host::Params p = session.params(1);
  const host::CallResult answer = session.call(u"GetParameters", p);
  EXPECT_TRUE(answer.called);
  EXPECT_EQ(answer.tag(), VTYPE_BOOL);
  EXPECT_TRUE(answer.boolean());
  ASSERT_EQ(p.tagAt(0), VTYPE_PWSTR);
  EXPECT_EQ(p.textAt(0), expected);
  EXPECT_EQ(p[0].value.wstr.wstrLen, expected.size());
  EXPECT_EQ(session.memory.sizeOf(p[0].value.wstr.pwstrVal), (expected.size() + 1) * 2);

  host::Params asProcedure = session.params(1);
  EXPECT_TRUE(session.callAsProcedure(u"GetParameters", asProcedure));
  EXPECT_EQ(asProcedure.textAt(0), expected);
}

struct DescriptionOutput {
  TYPEVAR tag;
  std::u16string text;  // for the texts
  int32_t number;       // for the integer and the Booleans
};

void expectDescription(host::DriverSession& session, host::Params& p) {
  const DescriptionOutput expected[] = {
      {VTYPE_PWSTR, u"ViziziDIdovud", 0},
      {VTYPE_PWSTR,
       u"Требуется ввести IP адрес Tavix, Код и Пароль администратора Tavix и Код налога "
       u"определяет ставку установленную на аппарате (с НДС или без НДС), при указании "
       u"параметра Web-API ключа - код и пароль администратора не требуется",
       0},
      {VTYPE_PWSTR, u"ФискальныйРегистратор", 0},
      {VTYPE_I4, u"", 2006},
      {VTYPE_BOOL, u"", 0},
      {VTYPE_BOOL, u"", 0},
      {VTYPE_PWSTR, u"", 0},
  };
  for (size_t i = 0; i < 7; ++i) {
    SCOPED_TRACE("output " + std::to_string(i));
    ASSERT_EQ(p.tagAt(i), expected[i].tag);
    if (expected[i].tag == VTYPE_PWSTR) {
      ASSERT_NE(p[i].value.wstr.pwstrVal, nullptr);
      EXPECT_EQ(p.textAt(i), expected[i].text);
      EXPECT_EQ(p[i].value.wstr.wstrLen, expected[i].text.size());
      EXPECT_EQ(session.memory.sizeOf(p[i].value.wstr.pwstrVal), (expected[i].text.size() + 1) * 2);
    } else if (expected[i].tag == VTYPE_BOOL) {
      EXPECT_EQ(p.boolAt(i), expected[i].number != 0);
    } else {
      EXPECT_EQ(p.intAt(i), expected[i].number);
    }
  }
}

// The platform passes its own values in; every output is written over whatever they held.
void fillWithStrangers(host::Params& p) {
  for (size_t i = 0; i < 7; ++i) p.r8(i, 99.5);
}

TEST_F(SettingsTest, GetDescriptionWritesItsSevenOutputs) {
  host::Params p = session.params(7);
  fillWithStrangers(p);
  const host::CallResult answer = session.call(u"GetDescription", p);
  EXPECT_TRUE(answer.called);
  EXPECT_EQ(answer.tag(), VTYPE_BOOL);
  EXPECT_TRUE(answer.boolean());
  expectDescription(session, p);
}

TEST_F(SettingsTest, GetDescriptionWritesItsOutputsAlsoWithoutAResult) {
  host::Params asProcedure = session.params(7);
  fillWithStrangers(asProcedure);
  EXPECT_TRUE(session.callAsProcedure(u"GetDescription", asProcedure));
  expectDescription(session, asProcedure);

  host::Params withoutResult = session.params(7);
  fillWithStrangers(withoutResult);
  EXPECT_TRUE(session.callWithoutResult(u"GetDescription", withoutResult));
  expectDescription(session, withoutResult);
}

// Numbers are read as integers only: the platform's form gives a whole number as an integer, and
// a double is no integer to the driver.
TEST_F(SettingsTest, EprintIsReadAsAnInteger) {
  struct Case {
    const char* name;
    std::function<void(host::Params&)> value;
    int32_t lineLength;
  } const cases[] = {
      {"32 as a 32-bit integer", [](host::Params& p) { p.i4(1, 32); }, 32},
      {"32 as a double", [](host::Params& p) { p.r8(1, 32.0); }, 0},
      {"19 as a 16-bit integer", [](host::Params& p) { p.i2(1, 19); }, 19},
      {"42 as a single", [](host::Params& p) { p.r4(1, 42.0f); }, 0},
      {"42 as a text", [](host::Params& p) { p.text(1, u"42"); }, 0},
      {"a Boolean", [](host::Params& p) { p.boolean(1, true); }, 0},
      {"a negative integer", [](host::Params& p) { p.i4(1, -1); }, -1},
      {"40 as a 32-bit integer", [](host::Params& p) { p.i4(1, 40); }, 40},
  };
  EXPECT_EQ(lineLength(), 24);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const host::CallResult answer = set(u"Eprint", c.value);
    EXPECT_TRUE(answer.called);
    EXPECT_EQ(answer.tag(), VTYPE_BOOL);
    EXPECT_TRUE(answer.boolean());
    EXPECT_EQ(lineLength(), c.lineLength);
  }
}

TEST_F(SettingsTest, ANameMatchesOnlyWholeAndWithItsCase) {
  const auto set32 = [](host::Params& p) { p.i4(1, 32); };
  for (const std::u16string name :
       {u"eprint", u"EPRINT", u"Eprint ", u" Eprint", u"Eprin", u"Eprint2", u""}) {
    SCOPED_TRACE(host::u8(name));
    const host::CallResult answer = set(name, set32);
    EXPECT_TRUE(answer.called);
    EXPECT_EQ(answer.tag(), VTYPE_BOOL);
    EXPECT_TRUE(answer.boolean());
    EXPECT_EQ(lineLength(), 24);
  }

  // A name that is no text is the empty name.
  host::Params p = session.params(2);
  p.i4(0, 5).i4(1, 32);
  const host::CallResult answer = session.call(u"SetParameter", p);
  EXPECT_TRUE(answer.called);
  EXPECT_TRUE(answer.boolean());
  EXPECT_EQ(lineLength(), 24);
}

TEST_F(SettingsTest, SetParameterWithoutAResultChangesNothing) {
  host::Params asProcedure = session.params(2);
  asProcedure.text(0, u"Eprint").i4(1, 32);
  EXPECT_TRUE(session.callAsProcedure(u"SetParameter", asProcedure));
  EXPECT_EQ(lineLength(), 24);

  host::Params withoutResult = session.params(2);
  withoutResult.text(0, u"Eprint").i4(1, 32);
  EXPECT_TRUE(session.callWithoutResult(u"SetParameter", withoutResult));
  EXPECT_EQ(lineLength(), 24);

  host::Params address = session.params(2);
  address.text(0, u"Ipdest").text(1, u"10.0.0.1");
  EXPECT_TRUE(session.callAsProcedure(u"SetParameter", address));
  EXPECT_EQ(openedAddress(), host::u16(reg.ip()));
}

// The platform's Boolean is the first byte of the value, whatever its type: 1 is on, 256 is off.
struct FlagCase {
  const char* name;
  std::function<void(host::Params&)> value;
  bool on;
};

const std::vector<FlagCase>& flagCases() {
  static const std::vector<FlagCase> cases = {
      {"Boolean true", [](host::Params& p) { p.boolean(1, true); }, true},
      {"Boolean false", [](host::Params& p) { p.boolean(1, false); }, false},
      {"integer 1", [](host::Params& p) { p.i4(1, 1); }, true},
      {"integer 256", [](host::Params& p) { p.i4(1, 256); }, false},
      {"integer 257", [](host::Params& p) { p.i4(1, 257); }, true},
      {"integer 0", [](host::Params& p) { p.i4(1, 0); }, false},
      // 1.0 as a double has a zero first byte.
      {"double 1.0", [](host::Params& p) { p.r8(1, 1.0); }, false},
  };
  return cases;
}

TEST_F(SettingsTest, NoFiskalTakesTheFirstByteOfTheValue) {
  for (const FlagCase& c : flagCases()) {
    SCOPED_TRACE(c.name);
    EXPECT_TRUE(set(u"NoFiskal", c.value).boolean());
    reg.clearRecord();
    host::Params line = session.params(2);
    line.text(1, u"slip");
    EXPECT_TRUE(session.call(u"PrintNonFiscalString", line).boolean());
    // With a slip printer the line goes to the register; without one it goes nowhere.
    EXPECT_EQ(reg.requestCount(), c.on ? 1u : 0u);
  }
}

TEST_F(SettingsTest, MultiTaxTakesTheFirstByteOfTheValue) {
  for (const FlagCase& c : flagCases()) {
    SCOPED_TRACE(c.name);
    EXPECT_TRUE(set(u"MultiTax", c.value).boolean());
    reg.clearRecord();
    host::Params p = session.params(2);
    session.call(u"DeviceTest", p);
    // With several taxes DeviceTest asks the firmware version before it takes the tax table.
    const std::vector<std::string> targets = reg.targets();
    const bool askedVersion =
        std::find(targets.begin(), targets.end(), "/apicheck/getInfo") != targets.end();
    EXPECT_EQ(askedVersion, c.on);
  }
}

// The address is kept as UTF-8, each 16-bit unit on its own; Open hands back the bytes, one
// character per byte.
TEST_F(SettingsTest, TheAddressIsStoredAsUtf8Bytes) {
  struct Case {
    const char* name;
    std::function<void(host::Params&)> value;
    std::string bytes;
  } const cases[] = {
      {"Cyrillic", [](host::Params& p) { p.text(1, u"касса"); },
       "\xD0\xBA\xD0\xB0\xD1\x81\xD1\x81\xD0\xB0"},
      {"ASCII", [](host::Params& p) { p.text(1, u"10.0.0.7"); }, "10.0.0.7"},
      {"a surrogate pair, each half on its own", [](host::Params& p) { p.text(1, u"\U0001F600"); },
       "\xED\xA0\xBD\xED\xB8\x80"},
      {"no text", [](host::Params& p) { p.i4(1, 10); }, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_TRUE(set(u"Ipdest", c.value).boolean());
    std::u16string expected;
    for (char byte : c.bytes)
      expected += static_cast<char16_t>(static_cast<int16_t>(static_cast<signed char>(byte)));
    EXPECT_EQ(openedAddress(), expected);
  }
}

TEST_F(SettingsTest, AdministratorCodeAndPasswordGoWithTheKeyRequest) {
  session.setSetting(u"LoginTavix", 7);
  session.setSetting(u"PassTavix", 583);
  std::vector<std::string> keyRequests;
  for (const fake::RecordedRequest& request : deviceTestWithRefusedKey())
    if (request.target == "/dolog?") keyRequests.push_back(request.body);
  EXPECT_EQ(keyRequests, std::vector<std::string>{"login=7&password=583&getApiKey = true"});

  set(u"LoginTavix", [](host::Params& p) { p.r8(1, 7.0); });
  set(u"PassTavix", [](host::Params& p) { p.text(1, u"583"); });
  keyRequests.clear();
  for (const fake::RecordedRequest& request : deviceTestWithRefusedKey())
    if (request.target == "/dolog?") keyRequests.push_back(request.body);
  EXPECT_EQ(keyRequests, std::vector<std::string>{"login=0&password=0&getApiKey = true"});
}

// The typed key belongs to the component; the worker takes it over only when DeviceTest runs.
TEST_F(SettingsTest, TheWebApiKeyReachesTheRegisterOnlyThroughDeviceTest) {
  session.setSetting(u"WebapiTAVIX", 555);
  EXPECT_EQ(keySent(), "key=" + std::to_string(kInitialKey));

  reg.clearRecord();
  host::Params p = session.params(2);
  EXPECT_TRUE(session.call(u"DeviceTest", p).boolean());
  ASSERT_GE(reg.requestCount(), 1u);
  EXPECT_EQ(reg.requests()[0].target, "/apicheck");
  EXPECT_EQ(reg.requests()[0].body, "key=555");
  EXPECT_EQ(keySent(), "key=555");
}

TEST_F(SettingsTest, AWebApiKeyGivenAsADoubleIsNoKey) {
  set(u"WebapiTAVIX", [](host::Params& p) { p.r8(1, 555.0); });
  reg.clearRecord();
  host::Params p = session.params(2);
  session.call(u"DeviceTest", p);
  ASSERT_GE(reg.requestCount(), 1u);
  EXPECT_EQ(reg.requests()[0].body, "key=" + std::to_string(kInitialKey));
}

// The sale request of a receipt with one item of `sum`, paid in cash.
std::string saleBody(host::DriverSession& session, fake::FakeRegister& reg, double sum) {
  host::Params open = session.params(6);
  open.boolean(1, true).boolean(2, false).i4(4, 0).i4(5, 0);
  session.call(u"OpenCheck", open);
  host::Params line = session.params(10);
  line.text(1, u"Хлеб").r8(2, 1).r8(4, sum).r8(6, 20).text(9, u"");
  session.call(u"PrintFiscalString", line);
  reg.clearRecord();
  host::Params close = session.params(5);
  close.r8(1, sum).r8(2, 0).r8(3, 0).r8(4, 0);
  session.call(u"CloseCheck", close);
  for (const fake::RecordedRequest& request : reg.requests())
    if (request.target == "/api") return request.body;
  return "no sale";
}

TEST_F(SettingsTest, TheTaxCodeGoesWithTheSale) {
  session.setSetting(u"TaxTavix", 7);
  EXPECT_EQ(saleBody(session, reg, 10).rfind("key=60418253&tax=7&sale=10&cash=10&itemdata=", 0),
            0u);
  set(u"TaxTavix", [](host::Params& p) { p.r8(1, 7.0); });
  EXPECT_EQ(saleBody(session, reg, 10).rfind("key=60418253&tax=0&sale=10&cash=10&itemdata=", 0),
            0u);
  session.setSettingFlag(u"MultiTax", true);
  EXPECT_EQ(saleBody(session, reg, 10).rfind("key=60418253&sale=10&cash=10&itemdata=", 0), 0u);
}

}  // namespace
