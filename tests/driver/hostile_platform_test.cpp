// The platform as a careless or broken caller: every driver method, in each of its three call
// forms, with every kind of value the platform can pass in every parameter, on a platform that
// may lack its connection, its memory manager, working allocations or its message box. The
// library must not crash or throw, must give back every block of platform memory it takes, and
// must answer as the method defines; a value in a parameter the method never reads changes
// nothing at all. The register answers every request at once with 200 OK.
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <iostream>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "host/driver_session.h"
#include "tests/support/fake_register.h"

namespace {

using host::u16;
using host::u8;

// ---------------------------------------------------------------------------------------------
// The values a platform may pass

struct HostileValue {
  std::string label;
  std::function<void(host::Params&, size_t)> put;
};

tVariant tagged(TYPEVAR tag, unsigned char fill = 0) {
  tVariant value;
  std::memset(&value, fill, sizeof value);
  value.vt = tag;
  return value;
}

// A text the size of a whole day's tape, full of what a form body and a JSON text fear.
const std::u16string& longText() {
  static const std::u16string text = [] {
    const std::u16string piece = u"Хлеб & key=1 %20 \"q\" \\ Ёё (x) \xD83D\xDE00 ";
    std::u16string all;
    while (all.size() < 100000) all += piece;
    all.resize(100000);
    return all;
  }();
  return text;
}

const std::vector<HostileValue>& hostileValues() {
  static const std::vector<HostileValue> values = [] {
    std::vector<HostileValue> all;
    const auto raw = [&all](const std::string& label, const tVariant& value) {
      all.push_back({label, [value](host::Params& p, size_t i) { p.raw(i, value); }});
    };
    const auto text = [&all](const std::string& label, const std::u16string& characters) {
      all.push_back({label, [characters](host::Params& p, size_t i) { p.text(i, characters); }});
    };
    tVariant v;

    raw("VTYPE_EMPTY", tagged(VTYPE_EMPTY));
    v = tagged(VTYPE_I2);
    v.value.shortVal = std::numeric_limits<int16_t>::min();
    raw("VTYPE_I2 -32768", v);
    v = tagged(VTYPE_I4);
    v.value.lVal = std::numeric_limits<int32_t>::min();
    raw("VTYPE_I4 INT32_MIN", v);
    v.value.lVal = std::numeric_limits<int32_t>::max();
    raw("VTYPE_I4 INT32_MAX", v);
    v = tagged(VTYPE_R4);
    v.value.fltVal = std::numeric_limits<float>::quiet_NaN();
    raw("VTYPE_R4 NaN", v);
    v.value.fltVal = -std::numeric_limits<float>::infinity();
    raw("VTYPE_R4 -inf", v);
    v = tagged(VTYPE_R8);
    v.value.dblVal = std::numeric_limits<double>::quiet_NaN();
    raw("VTYPE_R8 NaN", v);
    v.value.dblVal = std::numeric_limits<double>::infinity();
    raw("VTYPE_R8 +inf", v);
    v.value.dblVal = -1e308;
    raw("VTYPE_R8 -1e308", v);
    v.value.dblVal = std::numeric_limits<double>::denorm_min();
    raw("VTYPE_R8 denormal", v);
    v = tagged(VTYPE_ERROR);
    v.value.errCode = std::numeric_limits<int32_t>::min();
    raw("VTYPE_ERROR", v);
    v = tagged(VTYPE_BOOL);
    v.value.bVal = true;
    raw("VTYPE_BOOL true", v);
    raw("VTYPE_BOOL with every byte 0xFF", tagged(VTYPE_BOOL, 0xFF));
    v = tagged(VTYPE_I1);
    v.value.i8Val = std::numeric_limits<int8_t>::min();
    raw("VTYPE_I1 -128", v);
    v = tagged(VTYPE_UI1);
    v.value.ui8Val = 255;
    raw("VTYPE_UI1 255", v);
    v = tagged(VTYPE_UI2);
    v.value.ushortVal = 65535;
    raw("VTYPE_UI2 65535", v);
    v = tagged(VTYPE_UI4);
    v.value.ulVal = 0xFFFFFFFFu;
    raw("VTYPE_UI4 0xFFFFFFFF", v);
    v = tagged(VTYPE_INT);
    v.value.intVal = std::numeric_limits<int32_t>::min();
    raw("VTYPE_INT INT32_MIN", v);
    v = tagged(VTYPE_UINT);
    v.value.uintVal = 0x7FFFFFFFu;
    raw("VTYPE_UINT 0x7FFFFFFF", v);
    v = tagged(VTYPE_HRESULT);
    v.value.hRes = static_cast<int32_t>(0x80004005u);
    raw("VTYPE_HRESULT E_FAIL", v);
    v = tagged(VTYPE_I8);
    v.value.llVal = std::numeric_limits<int64_t>::min();
    raw("VTYPE_I8 (not read)", v);
    raw("unknown tag 99, bytes 0xFF", tagged(99, 0xFF));
    raw("unknown tag 99, bytes 0", tagged(99, 0));

    text("empty text", u"");
    text("text of 100000 characters", longText());
    text("lone high surrogate at the end", u"Молоко\xD800");
    text("lone low surrogate at the start", u"\xDC41Хлеб");
    text("high surrogate before a plain character", u"\xD83DX\xD83D");
    text("surrogates in reverse order", u"\xDE00\xD83D");
    text("control characters and form syntax", u"\x01\x1B\r\n\t&key=1&print=%00+");
    v = tagged(VTYPE_PWSTR);
    v.value.wstr.pwstrVal = nullptr;
    v.value.wstr.wstrLen = 5;
    raw("VTYPE_PWSTR with a null text", v);
    static std::u16string shortText = u"Соль";
    v.value.wstr.pwstrVal = shortText.data();
    v.value.wstr.wstrLen = 0xFFFFFFFFu;
    raw("VTYPE_PWSTR whose length lies", v);
    return all;
  }();
  return values;
}

// ---------------------------------------------------------------------------------------------
// The methods

// How a method treats one of its parameters.
enum class Use {
  Unused,  // never examined, never written
  Output,  // written, never read
  Input,   // read, never written
  InOut,   // read after the method has written it
};

using Prepare = std::function<void(host::DriverSession&)>;

struct Baseline {
  std::string label;
  // The values a sane platform passes; a hostile value then takes one place or all of them.
  std::function<void(host::Params&)> fill;
  // What the session has done before the call.
  Prepare before;
};

// What the method answers in its result when the register accepts everything at once.
enum class Verdict {
  Text,                // GetVersion: the version text
  Zero,                // GetLastError: the integer 0
  True,                // always true
  TrueIfKeyStored,     // the connection test: the key must reach the profile
  TrueWithoutCashier,  // a report: the cashier's answer (the script says no), or true without one
  DrawerOnWidePaper,   // true only with an external printer's width
};

struct Method {
  long index;
  const char16_t* name;
  std::vector<Use> parameters;
  Verdict verdict;
  std::vector<Baseline> baselines;
};

// The methods whose procedure form, and function form without a result, do anything at all.
bool actsWithoutResult(long index) {
  for (long acting : {1L, 3L, 8L, 12L, 18L, 19L, 21L})
    if (index == acting) return true;
  return false;
}

void fillEmpty(host::Params&) {}

void call(host::DriverSession& session, const std::u16string& method,
          const std::function<void(host::Params&)>& fill, size_t count) {
  host::Params values = session.params(count);
  fill(values);
  session.call(method, values);
}

void openFiscalReceipt(host::DriverSession& session) {
  call(
      session, u"OpenCheck",
      [](host::Params& p) { p.boolean(1, true).boolean(2, false).i4(4, 0).i4(5, 0); }, 6);
}

void printBread(host::Params& p) {
  p.text(1, u"Хлеб").r8(2, 1).r8(3, 91).r8(4, 91).i4(5, 1).r8(6, 20).text(9, u"");
}

Prepare setting(const std::u16string& name, int32_t number) {
  return [name, number](host::DriverSession& s) { s.setSetting(name, number); };
}

Prepare flag(const std::u16string& name, bool on) {
  return [name, on](host::DriverSession& s) { s.setSettingFlag(name, on); };
}

std::vector<Baseline> plain() { return {{"", fillEmpty, nullptr}}; }

std::vector<Baseline> settingBaselines(const std::string& ip) {
  const auto named = [](const char16_t* name, std::function<void(host::Params&, size_t)> value) {
    return Baseline{u8(name),
                    [name, value](host::Params& p) {
                      p.text(0, name);
                      value(p, 1);
                    },
                    nullptr};
  };
  const auto number = [](int32_t n) { return [n](host::Params& p, size_t i) { p.i4(i, n); }; };
  const auto truth = [](host::Params& p, size_t i) { p.boolean(i, true); };
  return {
      named(u"Ipdest", [ip](host::Params& p, size_t i) { p.utf8(i, ip); }),
      named(u"NoFiskal", truth),
      named(u"Eprint", number(32)),
      named(u"LoginTavix", number(1)),
      named(u"PassTavix", number(583)),
      named(u"WebapiTAVIX", number(4242)),
      named(u"TaxTavix", number(2)),
      named(u"MultiTax", truth),
  };
}

std::vector<Method> methods(const std::string& ip) {
  using U = Use;
  const Prepare multiTax = flag(u"MultiTax", true);
  return {
      {0, u"GetVersion", {}, Verdict::Text, plain()},
      {1,
       u"GetDescription",
       {U::Output, U::Output, U::Output, U::Output, U::Output, U::Output, U::Output},
       Verdict::True,
       plain()},
      {2, u"GetLastError", {U::Output}, Verdict::Zero, plain()},
      {3, u"GetParameters", {U::Output}, Verdict::True, plain()},
      {4, u"SetParameter", {U::Input, U::Input}, Verdict::True, settingBaselines(ip)},
      {5, u"Open", {U::Output}, Verdict::True, plain()},
      {6, u"Close", {U::Unused}, Verdict::True, plain()},
      {7,
       u"DeviceTest",
       {U::Output, U::Unused},
       Verdict::TrueIfKeyStored,
       {{"", fillEmpty, nullptr}, {"MultiTax", fillEmpty, multiTax}}},
      {8, u"GetAdditionalActions", {U::Output}, Verdict::True, plain()},
      {9,
       u"DoAdditionalAction",
       {U::Input},
       Verdict::True,
       {{"ShiftID", [](host::Params& p) { p.text(0, u"ShiftID"); }, nullptr}}},
      {10, u"PrintXReport", {U::Unused}, Verdict::TrueWithoutCashier, plain()},
      {11,
       u"OpenShift",
       {U::InOut},
       Verdict::TrueIfKeyStored,
       {{"", fillEmpty, nullptr}, {"MultiTax", fillEmpty, multiTax}}},
      {12, u"PrintZReport", {U::Unused}, Verdict::TrueWithoutCashier, plain()},
      {13,
       u"OpenCheck",
       {U::Unused, U::Input, U::Input, U::Unused, U::Output, U::Output},
       Verdict::True,
       {{"fiscal", [](host::Params& p) { p.boolean(1, true).boolean(2, false).i4(4, 0).i4(5, 0); },
         nullptr},
        {"fiscal, MultiTax",
         [](host::Params& p) { p.boolean(1, true).boolean(2, false).i4(4, 0).i4(5, 0); }, multiTax},
        {"non-fiscal", [](host::Params& p) { p.boolean(1, false).i4(4, 0).i4(5, 0); }, nullptr}}},
      {14,
       u"PrintFiscalString",
       {U::Unused, U::Input, U::Input, U::Unused, U::Input, U::Unused, U::Input, U::Unused,
        U::Unused, U::Input},
       Verdict::True,
       {{"in an open receipt", printBread, openFiscalReceipt}}},
      {15,
       u"CloseCheck",
       {U::Unused, U::Input, U::Input, U::Input, U::Input},
       Verdict::True,
       {{"after one item", [](host::Params& p) { p.r8(1, 91); },
         [](host::DriverSession& s) {
           openFiscalReceipt(s);
           call(s, u"PrintFiscalString", printBread, 10);
         }}}},
      {16, u"CancelCheck", {U::Unused}, Verdict::True, plain()},
      {17,
       u"CashInOutcome",
       {U::Unused, U::Input},
       Verdict::True,
       {{"deposit", [](host::Params& p) { p.r8(1, 150); }, nullptr}}},
      {18, u"GetLineLength", {U::Unused, U::Output}, Verdict::True, plain()},
      {19,
       u"PrintNonFiscalString",
       {U::Unused, U::Input},
       Verdict::True,
       {{"slip printer", [](host::Params& p) { p.text(1, u"Слип"); }, flag(u"NoFiskal", true)}}},
      {20, u"PrintBarCode", {U::Unused, U::Unused, U::Unused}, Verdict::True, plain()},
      {21,
       u"OpenCashDrawer",
       {U::Unused},
       Verdict::DrawerOnWidePaper,
       {{"42 characters", fillEmpty, setting(u"Eprint", 42)},
        {"24 characters", fillEmpty, nullptr}}},
  };
}

// ---------------------------------------------------------------------------------------------
// The platforms and the call forms

enum class Platform { Complete, NoConnection, NoMemoryManager, FailingMemory, NoMessageBox };
enum class Form { Function, FunctionWithoutResult, Procedure };

const char* labelOf(Platform platform) {
  switch (platform) {
    case Platform::Complete:
      return "complete platform";
    case Platform::NoConnection:
      return "no connection";
    case Platform::NoMemoryManager:
      return "no memory manager";
    case Platform::FailingMemory:
      return "memory manager whose allocations fail";
    case Platform::NoMessageBox:
      return "no message box";
  }
  return "?";
}

const char* labelOf(Form form) {
  switch (form) {
    case Form::Function:
      return "function";
    case Form::FunctionWithoutResult:
      return "function without a result";
    case Form::Procedure:
      return "procedure";
  }
  return "?";
}

host::SessionOptions optionsFor(Platform platform) {
  host::SessionOptions options;
  options.withConnection = platform != Platform::NoConnection;
  options.withMemory = platform != Platform::NoMemoryManager;
  options.withMessageBox = platform != Platform::NoMessageBox;
  return options;
}

bool textsReachThePlatform(Platform platform) {
  return platform != Platform::NoMemoryManager && platform != Platform::FailingMemory;
}

// ---------------------------------------------------------------------------------------------
// One call and what came of it

struct ValueAfter {
  TYPEVAR tag;
  bool nullText;
  uint32_t length;
  std::u16string text;
  int32_t number;
  bool flag;
};

struct Outcome {
  bool answered = false;
  std::string thrown;  // what escaped the library, if anything
  ValueAfter result{};
  std::vector<ValueAfter> parameters;
  bool parametersUntouched = true;
  std::vector<bool> untouched;  // per parameter
  size_t allocations = 0;       // blocks the call took from the platform's memory
  std::vector<std::string> wire;
  std::vector<std::string> messages;
  std::vector<std::string> dialogs;
  std::vector<std::string> faultyMessages;  // messages without code 1005 and status 0
  size_t liveBlocks = 0;
  size_t badFrees = 0;
  size_t overruns = 0;
};

ValueAfter valueAfter(const tVariant& value, const host::TrackingMemory& memory) {
  ValueAfter after{};
  after.tag = value.vt;
  after.number = value.value.lVal;
  unsigned char first;
  std::memcpy(&first, &value.value, 1);
  after.flag = first != 0;
  if (value.vt == VTYPE_PWSTR) {
    after.nullText = value.value.wstr.pwstrVal == nullptr;
    after.length = value.value.wstr.wstrLen;
    after.text = host::textOf(value.value.wstr.pwstrVal, &memory);
  }
  return after;
}

bool sameValue(const tVariant& a, const tVariant& b) {
  return a.vt == b.vt && std::memcmp(&a.value, &b.value, sizeof(VariantValue)) == 0;
}

constexpr long kAllParameters = -1;
constexpr long kNoHostileValue = -2;

// A register that accepts everything at once and knows its firmware, shift and taxes, and a
// driver library loaded once for all the components the cases create, as the platform keeps it.
class AcceptingRegister : public ::testing::Test {
 protected:
  AcceptingRegister() : keepLoaded_(host::DriverLibrary::defaultPath()) {
    register_.setHandler([](const fake::RecordedRequest& request) {
      if (request.target == "/apicheck/getInfo")
        return fake::Reply::ok(R"({"applicationVersion":102305})");
      if (request.target == "/apicheck/getInfo?show=minimum")
        return fake::Reply::ok(R"({"currentShiftID":"7","currentShiftStatus":"opened"})");
      if (request.target == "/dump/table/taxesbycode") return fake::Reply::ok(R"({"20":"1"})");
      return fake::Reply::ok();
    });
  }

  fake::FakeRegister register_;

 private:
  host::DriverLibrary keepLoaded_;
};

class HostilePlatform : public AcceptingRegister, public ::testing::WithParamInterface<Platform> {
 protected:
  Outcome run(const Method& method, const Baseline& baseline, const HostileValue* value,
              long placement, Form form) {
    Outcome outcome;
    auto session = std::make_unique<host::DriverSession>(optionsFor(GetParam()));
    session->useRegister(register_.ip());
    if (baseline.before) baseline.before(*session);
    if (GetParam() == Platform::FailingMemory) session->memory.failAllocations(true);
    register_.clearRecord();
    const size_t messagesBefore = session->connection.messages.size();
    const size_t dialogsBefore = session->messageBox.dialogs.size();
    const size_t allocationsBefore = session->memory.allocations();
    {
      host::Params params = session->params(method.parameters.size());
      baseline.fill(params);
      if (value != nullptr) {
        if (placement == kAllParameters) {
          for (size_t i = 0; i < params.size(); ++i) value->put(params, i);
        } else {
          value->put(params, static_cast<size_t>(placement));
        }
      }
      const std::vector<tVariant> passed(params.data(), params.data() + params.size());
      tVariant result = tagged(VTYPE_EMPTY);
      IComponentBase& component = *session->component();
      const long count = static_cast<long>(params.size());
      try {
        switch (form) {
          case Form::Function:
            outcome.answered = component.CallAsFunc(method.index, &result, params.data(), count);
            break;
          case Form::FunctionWithoutResult:
            outcome.answered = component.CallAsFunc(method.index, nullptr, params.data(), count);
            break;
          case Form::Procedure:
            outcome.answered = component.CallAsProc(method.index, params.data(), count);
            break;
        }
      } catch (const std::exception& e) {
        outcome.thrown = e.what();
      } catch (...) {
        outcome.thrown = "an exception of unknown type";
      }
      outcome.allocations = session->memory.allocations() - allocationsBefore;
      outcome.result = valueAfter(result, session->memory);
      if (result.vt == VTYPE_PWSTR && result.value.wstr.pwstrVal != nullptr) {
        void* block = result.value.wstr.pwstrVal;
        session->memory.FreeMemory(&block);  // the platform's to free
      }
      for (size_t i = 0; i < params.size(); ++i) {
        outcome.parameters.push_back(valueAfter(params[i], session->memory));
        outcome.untouched.push_back(sameValue(params[i], passed[i]));
        if (!outcome.untouched.back()) outcome.parametersUntouched = false;
      }
    }  // the parameters go, and with them the texts the driver wrote into them

    for (const fake::RecordedRequest& request : register_.requests())
      outcome.wire.push_back(request.target + " " + request.body);
    const auto& posted = session->connection.messages;
    for (size_t i = messagesBefore; i < posted.size(); ++i) {
      const std::string line = u8(posted[i].source) + "|" + u8(posted[i].text);
      outcome.messages.push_back(line);
      if (posted[i].code != 1005 || posted[i].status != 0) outcome.faultyMessages.push_back(line);
    }
    const auto& shown = session->messageBox.dialogs;
    for (size_t i = dialogsBefore; i < shown.size(); ++i)
      outcome.dialogs.push_back((shown[i].kind == host::Dialog::Confirm ? "?" : "!") +
                                u8(shown[i].text));
    session->destroy();
    outcome.liveBlocks = session->memory.liveBlocks();
    outcome.badFrees = session->memory.badFrees();
    outcome.overruns = session->memory.overruns();
    return outcome;
  }

  bool expectedVerdict(const Method& method, const Baseline& baseline) const {
    const Platform platform = GetParam();
    switch (method.verdict) {
      case Verdict::TrueIfKeyStored:
        return platform != Platform::NoConnection;
      case Verdict::TrueWithoutCashier:
        // The scripted cashier says "no"; without a box the register's verdict stands.
        return platform == Platform::NoConnection || platform == Platform::NoMessageBox;
      case Verdict::DrawerOnWidePaper:
        return baseline.label == "42 characters";
      default:
        return true;
    }
  }

  // A text the driver wrote: the text itself, or, when the platform's memory gave no block,
  // the kind and the length without a text.
  void expectText(const ValueAfter& value, const std::u16string& expected) const {
    ASSERT_EQ(value.tag, VTYPE_PWSTR);
    EXPECT_EQ(value.length, expected.size());
    if (textsReachThePlatform(GetParam())) {
      EXPECT_EQ(value.text, expected);
    } else {
      EXPECT_TRUE(value.nullText);
    }
  }

  void expectTextStarting(const ValueAfter& value, const std::u16string& start) const {
    ASSERT_EQ(value.tag, VTYPE_PWSTR);
    EXPECT_GT(value.length, start.size());
    if (textsReachThePlatform(GetParam())) {
      EXPECT_EQ(value.text.substr(0, start.size()), start);
      EXPECT_EQ(value.text.size(), value.length);
    } else {
      EXPECT_TRUE(value.nullText);
    }
  }

  // What the methods that never ask the register write, in every form that writes anything.
  void expectOutputs(const Method& method, const Outcome& outcome, long placement,
                     TYPEVAR passedTag) const {
    const auto& p = outcome.parameters;
    switch (method.index) {
      case 1:
        expectText(p[0], u"ViziziDIdovud");
        expectTextStarting(p[1], u"Требуется ввести IP адрес Tavix");
        expectText(p[2], u"ФискальныйРегистратор");
        EXPECT_EQ(p[3].tag, VTYPE_I4);
        EXPECT_EQ(p[3].number, 2006);
        EXPECT_EQ(p[4].tag, VTYPE_BOOL);
        EXPECT_FALSE(p[4].flag);
        EXPECT_EQ(p[5].tag, VTYPE_BOOL);
        EXPECT_FALSE(p[5].flag);
        expectText(p[6], u"");
        break;
      case 3:
        expectTextStarting(p[0], u"<?xml version=\"1.0\" encoding=\"UTF-8\" ?><Settings>");
        break;
      case 8:
        expectTextStarting(p[0], u"<?xml version=\"1.0\" encoding=\"UTF-8\" ?><Actions>");
        break;
      case 18: {
        // An integer tag of the platform's stays; any other becomes VTYPE_I4.
        const bool integerTag =
            placement == 1 || placement == kAllParameters
                ? (passedTag == VTYPE_I4 || passedTag == VTYPE_ERROR || passedTag == VTYPE_UI4 ||
                   passedTag == VTYPE_INT || passedTag == VTYPE_UINT || passedTag == VTYPE_HRESULT)
                : false;
        EXPECT_EQ(p[1].tag, integerTag ? passedTag : TYPEVAR{VTYPE_I4});
        EXPECT_EQ(p[1].number, 24);
        break;
      }
      default:
        break;
    }
  }

  // Every call, whatever it was given.
  void expectSound(const Method& method, const Baseline& baseline, long placement, Form form,
                   const Outcome& outcome, TYPEVAR passedTag) {
    EXPECT_EQ(outcome.thrown, "") << "an exception left the library";
    EXPECT_TRUE(outcome.answered) << "the call answered false for a method of the table";
    EXPECT_EQ(outcome.liveBlocks, 0u) << "platform blocks left behind";
    EXPECT_EQ(outcome.badFrees, 0u);
    EXPECT_EQ(outcome.overruns, 0u) << "a platform block written past its end";
    EXPECT_LE(outcome.wire.size(), 6u) << "one call, many requests";
    EXPECT_TRUE(outcome.faultyMessages.empty()) << outcome.faultyMessages.front();
    if (GetParam() == Platform::NoConnection) {
      EXPECT_TRUE(outcome.messages.empty()) << outcome.messages.front();
      EXPECT_TRUE(outcome.dialogs.empty());
    }
    if (GetParam() == Platform::NoMessageBox) {
      EXPECT_TRUE(outcome.dialogs.empty());
    }
    if (!textsReachThePlatform(GetParam())) {
      EXPECT_EQ(outcome.allocations, 0u);
    }

    if (form != Form::Function && !actsWithoutResult(method.index)) {
      EXPECT_TRUE(outcome.wire.empty()) << outcome.wire.front();
      EXPECT_TRUE(outcome.messages.empty()) << outcome.messages.front();
      EXPECT_TRUE(outcome.dialogs.empty());
      EXPECT_EQ(outcome.allocations, 0u);
      EXPECT_TRUE(outcome.parametersUntouched);
      return;
    }
    // What the platform passed in for the method to read, or not at all, stays as it was.
    for (size_t i = 0; i < method.parameters.size(); ++i) {
      if (method.parameters[i] == Use::Unused || method.parameters[i] == Use::Input) {
        EXPECT_TRUE(outcome.untouched[i]) << "parameter " << i << " was written";
      }
    }
    expectOutputs(method, outcome, placement, passedTag);
    if (form != Form::Function) return;

    switch (method.verdict) {
      case Verdict::Text:
        expectText(outcome.result, u"3.0");
        break;
      case Verdict::Zero:
        EXPECT_EQ(outcome.result.tag, VTYPE_INT);
        EXPECT_EQ(outcome.result.number, 0);
        // A new component has made no exchange yet.
        expectText(outcome.parameters[0], u"errorHead");
        break;
      default:
        EXPECT_EQ(outcome.result.tag, VTYPE_BOOL);
        EXPECT_EQ(outcome.result.flag, expectedVerdict(method, baseline));
        break;
    }
    if (method.index == 5) expectText(outcome.parameters[0], u16(register_.ip()));
  }

  // A value in a parameter the method does not read leaves the call exactly as it was.
  static void expectSameAs(const Outcome& baseline, const Outcome& outcome) {
    EXPECT_EQ(outcome.answered, baseline.answered);
    EXPECT_EQ(outcome.result.tag, baseline.result.tag);
    EXPECT_EQ(outcome.result.flag, baseline.result.flag);
    EXPECT_EQ(outcome.result.text, baseline.result.text);
    EXPECT_EQ(outcome.wire, baseline.wire);
    EXPECT_EQ(outcome.messages, baseline.messages);
    EXPECT_EQ(outcome.dialogs, baseline.dialogs);
  }
};

// Where a hostile value goes: each parameter on its own, then all of them at once (for a method
// without parameters, the call itself).
std::vector<long> placementsOf(const Method& method) {
  std::vector<long> placements;
  for (size_t i = 0; i < method.parameters.size(); ++i) placements.push_back(static_cast<long>(i));
  placements.push_back(kAllParameters);
  return placements;
}

TEST_P(HostilePlatform, EveryMethodTakesEveryValueInEveryParameterInEveryForm) {
  const std::vector<Method> table = methods(register_.ip());
  size_t cases = 0;
  size_t requests = 0;
  for (const Method& method : table) {
    for (const Baseline& baseline : method.baselines) {
      for (Form form : {Form::Function, Form::FunctionWithoutResult, Form::Procedure}) {
        const Outcome sane = run(method, baseline, nullptr, kNoHostileValue, form);
        {
          SCOPED_TRACE(u8(method.name) + " [" + baseline.label + "] as a " + labelOf(form) +
                       ", sane values, " + labelOf(GetParam()));
          expectSound(method, baseline, kNoHostileValue, form, sane, VTYPE_EMPTY);
        }
        for (const HostileValue& value : hostileValues()) {
          for (long placement : placementsOf(method)) {
            ++cases;
            const std::string where = placement == kAllParameters
                                          ? "every parameter"
                                          : "parameter " + std::to_string(placement);
            SCOPED_TRACE(u8(method.name) + " [" + baseline.label + "] as a " + labelOf(form) +
                         ", " + value.label + " in " + where + ", " + labelOf(GetParam()));
            const Outcome outcome = run(method, baseline, &value, placement, form);
            requests += outcome.wire.size();
            host::Params probe(1);
            value.put(probe, 0);
            expectSound(method, baseline, placement, form, outcome, probe.tagAt(0));
            if (placement != kAllParameters &&
                (method.parameters[static_cast<size_t>(placement)] == Use::Unused ||
                 method.parameters[static_cast<size_t>(placement)] == Use::Output))
              expectSameAs(sane, outcome);
            if (::testing::Test::HasFailure()) return;  // one broken case tells enough
          }
        }
      }
    }
  }
  // A text where a Boolean belongs counts by the first byte of its pointer, so whether a
  // hostile OpenCheck opens a fiscal receipt, and asks the register, differs from run to run.
  std::cout << "[ matrix   ] hostile platform, " << labelOf(GetParam()) << ": " << cases
            << " cases, " << requests << " requests answered (" << hostileValues().size()
            << " values; the whole matrix over 5 platforms: " << 5 * cases << " cases)"
            << std::endl;
}

INSTANTIATE_TEST_SUITE_P(Platforms, HostilePlatform,
                         ::testing::Values(Platform::Complete, Platform::NoConnection,
                                           Platform::NoMemoryManager, Platform::FailingMemory,
                                           Platform::NoMessageBox),
                         [](const ::testing::TestParamInfo<Platform>& info) {
                           switch (info.param) {
                             case Platform::Complete:
                               return std::string("Complete");
                             case Platform::NoConnection:
                               return std::string("NoConnection");
                             case Platform::NoMemoryManager:
                               return std::string("NoMemoryManager");
                             case Platform::FailingMemory:
                               return std::string("FailingMemory");
                             case Platform::NoMessageBox:
                               return std::string("NoMessageBox");
                           }
                           return std::string("Unknown");
                         });

// ---------------------------------------------------------------------------------------------
// What a hostile value leaves behind: a setting or a stored key the rest of the day works with

struct DayStep {
  const char16_t* method;
  size_t count;
  std::function<void(host::Params&)> fill;
};

// A whole day at the till, each call checked for what must hold whatever the settings are.
const std::vector<DayStep>& day() {
  static const std::vector<DayStep> steps = {
      {u"Open", 1, fillEmpty},
      {u"DeviceTest", 2, fillEmpty},
      {u"OpenShift", 1, fillEmpty},
      {u"OpenCheck", 6,
       [](host::Params& p) { p.boolean(1, true).boolean(2, false).i4(4, 0).i4(5, 0); }},
      {u"PrintFiscalString", 10, printBread},
      {u"PrintFiscalString", 10,
       [](host::Params& p) {
         p.text(1, longText()).r8(2, 3).r8(4, 100).r8(6, 20).text(9, longText());
       }},
      {u"CloseCheck", 5, [](host::Params& p) { p.r8(1, 191); }},
      {u"PrintNonFiscalString", 2, [](host::Params& p) { p.text(1, u"Слип"); }},
      {u"PrintNonFiscalString", 2, [](host::Params& p) { p.text(1, longText()); }},
      {u"OpenCashDrawer", 1, fillEmpty},
      {u"CashInOutcome", 2, [](host::Params& p) { p.r8(1, -150); }},
      {u"GetLineLength", 2, fillEmpty},
      {u"PrintXReport", 1, fillEmpty},
      {u"DoAdditionalAction", 1, [](host::Params& p) { p.text(0, u"TaxSetting"); }},
      {u"PrintZReport", 1, fillEmpty},
      {u"GetLastError", 1, fillEmpty},
  };
  return steps;
}

class HostileSettings : public AcceptingRegister {
 protected:
  // A component at this test's register with a slip printer, so the day prints slips too.
  std::unique_ptr<host::DriverSession> newSession() { return newSession(u16(register_.ip())); }
  std::unique_ptr<host::DriverSession> newSession(const std::u16string& address) {
    auto session = std::make_unique<host::DriverSession>();
    session->setSetting(u"Ipdest", address);
    session->setSettingFlag(u"NoFiskal", true);
    return session;
  }

  // Runs the day on `session` and destroys it; `requests` false runs only the calls that never
  // reach the register.
  void liveTheDay(std::unique_ptr<host::DriverSession> session, bool requests) {
    for (const DayStep& step : day()) {
      SCOPED_TRACE(u8(step.method));
      const size_t before = register_.requestCount();
      {
        host::Params values = session->params(step.count);
        step.fill(values);
        tVariant result = tagged(VTYPE_EMPTY);
        const long index = session->methodIndex(step.method);
        const bool asks = index != 2 && index != 5 && index != 18;
        if (asks && !requests) continue;
        try {
          EXPECT_TRUE(session->component()->CallAsFunc(index, &result, values.data(),
                                                       static_cast<long>(values.size())));
        } catch (...) {
          ADD_FAILURE() << "an exception left the library";
        }
        EXPECT_TRUE(result.vt == VTYPE_BOOL || result.vt == VTYPE_INT) << result.vt;
      }
      EXPECT_LE(register_.requestCount() - before, 6u);
    }
    session->destroy();
    EXPECT_EQ(session->memory.liveBlocks(), 0u);
    EXPECT_EQ(session->memory.badFrees(), 0u);
    EXPECT_EQ(session->memory.overruns(), 0u);
  }

  // The address the driver holds, as Open gives it back.
  static std::string addressOf(host::DriverSession& session) {
    host::Params values = session.params(1);
    session.call(u"Open", values);
    return values.utf8At(0);
  }
};

const char16_t* const kSettingNames[] = {u"Ipdest",    u"NoFiskal",    u"Eprint",   u"LoginTavix",
                                         u"PassTavix", u"WebapiTAVIX", u"TaxTavix", u"MultiTax"};

TEST_F(HostileSettings, EverySettingTakesEveryValueAndTheDayGoesOn) {
  size_t cases = 0;
  for (const char16_t* name : kSettingNames) {
    for (const HostileValue& value : hostileValues()) {
      ++cases;
      SCOPED_TRACE(u8(name) + " = " + value.label);
      auto session = newSession();
      {
        host::Params values = session->params(2);
        values.text(0, name);
        value.put(values, 1);
        EXPECT_TRUE(session->call(u"SetParameter", values).boolean());
      }
      // An address that is neither the register's nor empty could lead anywhere; the day then
      // keeps to the calls that stay in the till.
      const std::string address = addressOf(*session);
      liveTheDay(std::move(session), address.empty() || address == register_.ip());
      if (HasFailure()) return;
    }
  }
  std::cout << "[ matrix   ] hostile settings: " << cases << " settings, each followed by a day of "
            << day().size() << " calls" << std::endl;
}

// The profile is the platform's too: it may hand back any value for the stored key.
TEST_F(HostileSettings, TheStoredKeyMayBeAnyValueAndTheDayGoesOn) {
  for (const HostileValue& value : hostileValues()) {
    SCOPED_TRACE(value.label);
    auto session = newSession();
    host::Params stored(1);
    value.put(stored, 0);
    session->connection.storeProfileValue(u"iApiKey:0", stored[0]);
    register_.clearRecord();
    liveTheDay(std::move(session), true);
    // Whatever the profile held, the register was sent a key in decimal.
    const std::vector<fake::RecordedRequest> sent = register_.requests();
    ASSERT_FALSE(sent.empty());
    const std::string& body = sent.front().body;
    ASSERT_EQ(body.rfind("key=", 0), 0u) << body;
    const std::string key = body.substr(
        4, body.find('&') == std::string::npos ? std::string::npos : body.find('&') - 4);
    EXPECT_EQ(key, std::to_string(std::stol(key))) << body;
    if (HasFailure()) return;
  }
}

// The technician may type anything as the address. Every text here keeps the host part on this
// test's register, so whatever the driver makes of the rest, nothing leaves the machine.
TEST_F(HostileSettings, TheAddressMayHoldAnyTextAfterTheRegistersOwn) {
  const std::string ip = register_.ip();
  const std::vector<std::pair<std::string, std::u16string>> addresses = {
      {"a port of its own", u16(ip + ":1")},
      {"a scheme", u16("http://" + ip)},
      {"a scheme libcurl must refuse", u16("https://" + ip)},
      {"another scheme libcurl must refuse", u16("ftp://" + ip)},
      {"a path of its own", u16(ip + "/../x?y=1#z")},
      {"lone surrogates in the path", u16(ip + "/") + u"\xD800x\xDC00"},
      {"a line break in the path", u16(ip + "/a\r\nX-Injected: 1\r\n")},
      {"blanks in the path", u16(ip + "/a b")},
      {"100000 characters of path", u16(ip + "/") + longText()},
      {"a user name", u16("user:pass@" + ip)},
  };
  for (const auto& [label, address] : addresses) {
    SCOPED_TRACE(label);
    auto session = newSession(address);
    liveTheDay(std::move(session), true);
    if (HasFailure()) return;
  }
}

// ---------------------------------------------------------------------------------------------
// The component's own interface, called with whatever the platform has at hand

TEST_F(HostileSettings, TheComponentsOwnCallsTakeAnyArgumentAndTheDayGoesOn) {
  const std::string localeBefore = std::setlocale(LC_ALL, nullptr);
  const std::vector<std::pair<std::string, const char16_t*>> texts = {
      {"no text", nullptr},
      {"empty text", u""},
      {"lone surrogates", u"\xD800Open\xDC00"},
      {"100000 characters", longText().c_str()},
      {"a locale with a decimal comma", u"ru_RU.UTF-8"},
      {"a locale no system has", u"xx_YY.NOPE"},
  };
  const long indices[] = {std::numeric_limits<long>::min(), -1, 22, 1000000,
                          std::numeric_limits<long>::max()};
  for (const auto& [label, text] : texts) {
    SCOPED_TRACE(label);
    auto session = newSession();
    IComponentBase& component = *session->component();
    component.SetLocale(text);
    EXPECT_EQ(component.FindMethod(text), -1);
    EXPECT_EQ(component.FindProp(text), -1);
    EXPECT_FALSE(component.RegisterExtensionAs(nullptr));
    for (long index : indices) {
      SCOPED_TRACE(index);
      EXPECT_EQ(component.GetMethodName(index, 0), nullptr);
      EXPECT_EQ(component.GetMethodName(0, index), nullptr);
      EXPECT_EQ(component.GetNParams(index), 0);
      EXPECT_FALSE(component.HasRetVal(index));
      EXPECT_FALSE(component.GetParamDefValue(index, index, nullptr));
      EXPECT_EQ(component.GetPropName(index, index), nullptr);
      EXPECT_FALSE(component.GetPropVal(index, nullptr));
      EXPECT_FALSE(component.SetPropVal(index, nullptr));
      tVariant result = tagged(VTYPE_EMPTY);
      EXPECT_FALSE(component.CallAsFunc(index, &result, nullptr, 0));
      EXPECT_FALSE(component.CallAsProc(index, nullptr, 0));
      EXPECT_EQ(result.vt, VTYPE_EMPTY);
    }
    // The platform's array of values missing altogether: refused, nothing read.
    tVariant result = tagged(VTYPE_EMPTY);
    EXPECT_FALSE(component.CallAsFunc(14, &result, nullptr, 10));
    EXPECT_FALSE(component.CallAsProc(15, nullptr, 5));
    liveTheDay(std::move(session), true);
    // Whatever locale the platform set, the register read its amounts with a point.
    size_t sales = 0;
    for (const fake::RecordedRequest& request : register_.requests()) {
      if (request.target != "/api") continue;
      ++sales;
      EXPECT_NE(request.body.find("&sale=191&cash=191"), std::string::npos) << request.body;
    }
    EXPECT_EQ(sales, 1u);
    register_.clearRecord();
    if (HasFailure()) break;
  }
  std::setlocale(LC_ALL, localeBefore.c_str());
}

}  // namespace
