// The driver's service actions through the loaded library: the list the platform offers the
// technician, and what each action asks the register and shows.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "service_fixture.h"

namespace service {
namespace {

// The list as the platform's service form reads it: one line, written here in pieces.
const std::u16string kActionsXml =
    uR"xml(<?xml version="1.0" encoding="UTF-8" ?><Actions>)xml"
    uR"xml(<Action Name="ShiftID" Caption="Номер текущей смены"/>)xml"
    uR"xml(<Action Name="ShiftStatus" Caption="Cостояние смены (opened | closed)"/>)xml"
    uR"xml(<Action Name="TaxSetting" Caption="Код налогов"/>)xml"
    uR"xml(<Action Name="terminalDateTime" Caption="Текущее время на терминале"/>)xml"
    uR"xml(<Action Name="DetailsSetting" Caption="Детальная информация"/>)xml"
    uR"xml(<Action Name="disableWebMgmt" Caption="Выключить Web интерфейс"/>)xml"
    uR"xml(<Action Name="lockhost" Caption="Ограничить доступ по IP"/>)xml"
    uR"xml(<Action Name="applicationVersion" Caption="Номер текущей прошивки"/>)xml"
    uR"xml(</Actions>)xml";

constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD in UTF-8

class AdditionalActionsTest : public ServiceTest {};

enum class Form { Function, FunctionWithoutResult, Procedure };

TEST_F(AdditionalActionsTest, TheListIsWrittenWholeInEveryForm) {
  ASSERT_EQ(kActionsXml.size(), 557u);
  // The ShiftStatus caption begins with the Latin C.
  ASSERT_NE(kActionsXml.find(u"Caption=\"C\u043E"), std::u16string::npos);
  for (const Form form : {Form::Function, Form::FunctionWithoutResult, Form::Procedure}) {
    auto session = newSession();
    answers({});
    {
      host::Params xml = session->params(1);
      bool called = false;
      if (form == Form::Function) {
        const host::CallResult result = session->call(u"GetAdditionalActions", xml);
        called = result.called;
        EXPECT_EQ(result.tag(), VTYPE_BOOL);
        EXPECT_TRUE(result.boolean());
      } else if (form == Form::FunctionWithoutResult) {
        called = session->callWithoutResult(u"GetAdditionalActions", xml);
      } else {
        called = session->callAsProcedure(u"GetAdditionalActions", xml);
      }
      EXPECT_TRUE(called);
      EXPECT_EQ(xml.tagAt(0), VTYPE_PWSTR);
      EXPECT_EQ(xml[0].value.wstr.wstrLen, 557u);
      EXPECT_EQ(xml.textAt(0), kActionsXml);
    }
    EXPECT_EQ(session->memory.liveBlocks(), 0u);
    EXPECT_EQ(sent(), std::vector<Sent>{});
  }
}

struct ActionCase {
  const char* name;
  const char* what;
  bool unreachable;
  fake::Reply reply;
  std::vector<Sent> expectedSent;
  Messages expectedMessages;
};

TEST_F(AdditionalActionsTest, EachActionAsksTheRegisterOnceAndShowsTheAnswer) {
  const Sent shortInfo{"/apicheck/getInfo?show=minimum", "&key=60418253"};
  const Sent fullInfo{"/apicheck/getInfo", kInitialKeyBody};
  const Sent taxTable{"/dump/table/taxesbycode", kInitialKeyBody};
  const Sent webOff{"/apicheck/?disableWebMgmt=true", kInitialKeyBody};
  const Sent lockHost{"/apicheck/?lockhost=true", kInitialKeyBody};
  const char* details = "{\"serial\":\"TX-1\",\"model\":\"Tavix\"}";
  // clang-format off
  const std::vector<ActionCase> cases = {
      {"ShiftID", "a string", false, accepted("{\"currentShiftID\":\"12\"}"), {shortInfo},
       {{"Номер текущей смены ", "12"}}},
      {"ShiftID", "a number is not read", false, accepted("{\"currentShiftID\":12}"), {shortInfo},
       {{"Номер текущей смены ", "0"}}},
      {"ShiftID", "unreachable", true, accepted(), {}, {{"Номер текущей смены ", "0"}}},
      {"ShiftID", "refused", false, refused("incorrect-web-api-key"), {shortInfo},
       {{"Номер текущей смены ", "0"}}},
      {"ShiftStatus", "opened", false, accepted("{\"currentShiftStatus\":\"opened\"}"),
       {shortInfo}, {{"Состояние смены ", "opened"}}},
      {"ShiftStatus", "unreachable", true, accepted(), {}, {{"Состояние смены ", "0"}}},
      {"terminalDateTime", "the register's clock", false,
       accepted("{\"terminalDateTime\":\"2026-12-11 10:15:00\"}"), {shortInfo},
       {{"Текущея дата и время на терминале", "2026-12-11 10:15:00"}}},
      {"terminalDateTime", "not JSON", false, accepted("время"), {shortInfo},
       {{"Текущея дата и время на терминале", "0"}}},
      {"terminalDateTime", "unreachable", true, accepted(), {},
       {{"Текущея дата и время на терминале", "0"}}},
      {"applicationVersion", "a number", false, accepted("{\"applicationVersion\":102305}"),
       {fullInfo}, {{"Номер текущей прошивки ", "102305"}}},
      {"applicationVersion", "a string", false, accepted("{\"applicationVersion\":\"102303b\"}"),
       {fullInfo}, {{"Номер текущей прошивки ", "102303b"}}},
      {"applicationVersion", "unreachable", true, accepted(), {},
       {{"Номер текущей прошивки ", "0"}}},
      {"TaxSetting", "loaded", false, accepted("{\"20\":\"3\",\"0\":\"4\"}"), {taxTable},
       {{"Список налогов {Значение налога : Код налога} ", "{\"20\":\"3\",\"0\":\"4\"}"}}},
      {"TaxSetting", "refused", false, refused("no-table"), {taxTable},
       {{"Код налогов ", "Not found"}}},
      {"TaxSetting", "unreachable", true, accepted(), {}, {{"Код налогов ", "Not found"}}},
      {"DetailsSetting", "the whole body", false, accepted(details), {fullInfo},
       {{"Tavix", details}}},
      {"DetailsSetting", "a body that is not UTF-8", false, accepted("Tavix \xC0"), {fullInfo},
       {{"Tavix", std::string("Tavix ") + kReplacement}}},
      {"DetailsSetting", "refused", false, refused("check-printer", "details"), {fullInfo},
       {{"Tavix", "не найден"}}},
      {"DetailsSetting", "unreachable", true, accepted(), {}, {{"Tavix", "не найден"}}},
      {"disableWebMgmt", "done", false, accepted("Web интерфейс выключен"), {webOff},
       {{"Tavix", "Web интерфейс выключен"}}},
      {"disableWebMgmt", "unreachable", true, accepted(), {}, {{"Tavix", "не найден"}}},
      {"lockhost", "done", false, accepted("locked to 10.0.0.5"), {lockHost},
       {{"Tavix", "locked to 10.0.0.5"}}},
      {"lockhost", "refused", false, refused("denied"), {lockHost}, {{"Tavix", "не найден"}}},
      {"lockhost", "unreachable", true, accepted(), {}, {{"Tavix", "не найден"}}},
      {"shiftid", "another letter case is no action", false, accepted(), {}, {}},
      {"Reboot", "an unknown name is no action", false, accepted(), {}, {}},
      {"", "an empty name is no action", false, accepted(), {}, {}},
  };
  // clang-format on
  for (const ActionCase& c : cases) {
    SCOPED_TRACE(std::string(c.name) + ": " + c.what);
    auto session = newSession();
    answers({c.reply});
    if (c.unreachable) register_.stop();
    host::Params name = session->params(1);
    name.utf8(0, c.name);
    const host::CallResult result = session->call(u"DoAdditionalAction", name);
    if (c.unreachable) register_.start();
    EXPECT_TRUE(result.called);
    EXPECT_EQ(result.tag(), VTYPE_BOOL);
    EXPECT_TRUE(result.boolean());
    EXPECT_EQ(sent(), c.expectedSent);
    EXPECT_EQ(messagesOf(*session), c.expectedMessages);
  }
}

TEST_F(AdditionalActionsTest, ANameThatIsNoTextRunsNoAction) {
  auto session = newSession();
  answers({accepted()});
  host::Params name = session->params(1);
  name.i4(0, 1);
  EXPECT_TRUE(session->call(u"DoAdditionalAction", name).boolean());
  EXPECT_EQ(sent(), std::vector<Sent>{});
  EXPECT_EQ(messagesOf(*session), Messages{});
}

TEST_F(AdditionalActionsTest, WithoutAPlaceForTheResultNothingIsSent) {
  for (const bool asProcedure : {true, false}) {
    SCOPED_TRACE(asProcedure ? "as a procedure" : "as a function without a result");
    auto session = newSession();
    answers({accepted()});
    host::Params name = session->params(1);
    name.text(0, u"ShiftID");
    const bool called = asProcedure ? session->callAsProcedure(u"DoAdditionalAction", name)
                                    : session->callWithoutResult(u"DoAdditionalAction", name);
    EXPECT_TRUE(called);
    EXPECT_EQ(sent(), std::vector<Sent>{});
    EXPECT_EQ(messagesOf(*session), Messages{});
  }
}

TEST_F(AdditionalActionsTest, WithoutAConnectionTheActionIsStillSent) {
  host::SessionOptions options;
  options.withConnection = false;
  auto session = newSession(options);
  answers({accepted("done")});
  host::Params name = session->params(1);
  name.text(0, u"lockhost");
  EXPECT_TRUE(session->call(u"DoAdditionalAction", name).boolean());
  EXPECT_EQ(sent(), (std::vector<Sent>{{"/apicheck/?lockhost=true", kInitialKeyBody}}));
  EXPECT_EQ(messagesOf(*session), Messages{});
}

// The table TaxSetting loads is the one the receipt's items take their tax ids from; a load
// that fails keeps the table loaded before.
TEST_F(AdditionalActionsTest, TaxSettingReplacesTheTaxTableOnlyWhenTheLoadSucceeds) {
  struct Case {
    const char* what;
    std::vector<fake::Reply> loads;  // the register's answer to one TaxSetting each
    std::string expectedTaxId;
  };
  const fake::Reply unreachable = fake::Reply::closed();
  const std::string table3 = "{\"20\":\"3\"}";
  const std::string table5 = "{\"20\":\"5\"}";
  // clang-format off
  const std::vector<Case> cases = {
      {"no load: the default tax code", {}, "1"},
      {"a loaded table", {accepted(table3)}, "3"},
      {"a refused load keeps the loaded table", {accepted(table3), refused("no-table")}, "3"},
      {"a broken-off load keeps the loaded table", {accepted(table3), unreachable}, "3"},
      {"a second table replaces the first", {accepted(table3), accepted(table5)}, "5"},
  };
  // clang-format on
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto session = newSession();
    for (const fake::Reply& load : c.loads) {
      answers({load});
      host::Params name = session->params(1);
      name.text(0, u"TaxSetting");
      session->call(u"DoAdditionalAction", name);
    }
    answers({fake::Reply::status(200, "1"), accepted("{\"currentShiftID\":\"3\"}"), accepted()});
    host::Params open = session->params(6);
    open.boolean(1, true).boolean(2, false).i4(4, 0).i4(5, 0);
    session->call(u"OpenCheck", open);
    host::Params item = session->params(10);
    item.text(1, u"Молоко").r8(2, 1).r8(4, 90).r8(6, 20).text(9, u"");
    session->call(u"PrintFiscalString", item);
    host::Params close = session->params(5);
    close.r8(1, 90).r8(2, 0).r8(3, 0).r8(4, 0);
    session->call(u"CloseCheck", close);
    const std::vector<Sent> all = sent();
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(all.back().target, "/api");
    EXPECT_NE(all.back().body.find("\"taxid\":\"" + c.expectedTaxId + "\""), std::string::npos)
        << all.back().body;
  }
}

}  // namespace
}  // namespace service
