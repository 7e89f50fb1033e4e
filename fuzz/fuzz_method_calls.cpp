// The platform hands the driver whatever its configuration puts into a value: any tag, texts empty
// or long or with lone surrogates, a result slot or none, a memory manager that refuses blocks,
// no connection, no message box. Whatever the calls, the component must not crash, must let no
// exception out, and must leave every block of the platform's memory it took in a value the
// platform will free, well formed.
//
// The input is read as: the platform's set-up (memory manager, refusals, connection, profile,
// message box), then a row of calls, each with its method, call form, result slot and values.
// Only methods that stay inside the driver are called, so nothing waits on a register; the
// tripwire linked in beside this file stops the run should one of them reach for the network.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <clocale>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "addin/component.h"
#include "fuzz_platform.h"

namespace {

// Called as functions, these make no request: OpenCheck only with a non-fiscal receipt (a fiscal
// one asks the register for its number), CloseCheck only while no fiscal receipt is open, which
// holds since none is ever opened here.
constexpr long kLocalFunctions[] = {0, 1, 2, 3, 4, 5, 6, 8, 13, 14, 15, 16, 18, 20};
constexpr long kOpenCheck = 13;
// Called as procedures, all but the Z report (12), the slip line (19) and the drawer (21) stay
// inside; those go to the register.
constexpr long kLocalProcedures[] = {0,  1,  2,  3,  4,  5,  6,  7,  8, 9,
                                     10, 11, 13, 14, 15, 16, 17, 18, 20};
constexpr long kMethodCount = 22;

// The place of each request's reply texts in a fresh worker; any exchange replaces them.
constexpr char kUntouchedHead[] = "errorHead";
constexpr char kUntouchedBody[] = "errorBody";
// Loopback, and nothing listens there: should a request slip past the tripwire, it stays home.
constexpr char kNowhere[] = "127.255.255.254";

constexpr TYPEVAR kTags[] = {
    VTYPE_EMPTY,   VTYPE_NULL,  VTYPE_I2,        VTYPE_I4,    VTYPE_R4,   VTYPE_R8,      VTYPE_DATE,
    VTYPE_TM,      VTYPE_PSTR,  VTYPE_INTERFACE, VTYPE_ERROR, VTYPE_BOOL, VTYPE_VARIANT, VTYPE_I1,
    VTYPE_UI1,     VTYPE_UI2,   VTYPE_UI4,       VTYPE_I8,    VTYPE_UI8,  VTYPE_INT,     VTYPE_UINT,
    VTYPE_HRESULT, VTYPE_PWSTR, VTYPE_PWSTR,     VTYPE_PWSTR, VTYPE_BLOB, VTYPE_CLSID,   25,
    0x4003,        0xFFFF};

// Names and texts the driver looks at, so the fuzzer reaches every setting and method quickly.
const char16_t* const kWords[] = {u"Ipdest",
                                  u"NoFiskal",
                                  u"Eprint",
                                  u"LoginTavix",
                                  u"PassTavix",
                                  u"WebapiTAVIX",
                                  u"TaxTavix",
                                  u"MultiTax",
                                  u"GetVersion",
                                  u"OpenCheck",
                                  u"ОткрытьЧек",
                                  u"opencheck",
                                  u"ru_RU.UTF-8",
                                  u"C",
                                  u"127.0.0.1",
                                  u"24",
                                  u"Ёлка",
                                  u"Молоко пастеризованное 3.2% 1л",
                                  u"Сок (яблоко) 0,5л"};

[[noreturn]] void fail(const char* what, long method) {
  std::fprintf(stderr, "%s (method %ld)\n", what, method);
  std::abort();
}

template <typename Call>
auto withoutExceptions(long method, Call&& call) {
  try {
    return call();
  } catch (...) {
    fail("an exception left the component", method);
  }
}

template <typename T, size_t N>
T pick(FuzzedDataProvider& input, const T (&choices)[N]) {
  return choices[input.ConsumeIntegralInRange<size_t>(0, N - 1)];
}

// One input's run: the platform, the component, and the texts the platform lent the component.
class PlatformRun {
 public:
  explicit PlatformRun(FuzzedDataProvider& input)
      : input_(input), memory_(pick(input, {0u, 0u, 1u, 2u, 3u, 7u})), box_(input.ConsumeBool()) {
    ProfileBehaviour profile;
    profile.readable = input_.ConsumeBool();
    profile.writable = input_.ConsumeBool();
    profile.stored = valueFromInput();
    connection_ = std::make_unique<FuzzConnection>(input_.ConsumeBool() ? &box_ : nullptr, profile);

    driver_ = std::make_unique<Tavixfr>();
    driver_->worker->settings.ip = kNowhere;
    if (input_.ConsumeBool()) driver_->setMemManager(&memory_);
    switch (input_.ConsumeIntegralInRange(0, 2)) {
      case 0:
        break;
      case 1:
        driver_->Init(nullptr);
        break;
      default:
        driver_->Init(connection_.get());
    }
  }

  ~PlatformRun() {
    withoutExceptions(-1, [&] {
      driver_.reset();
      return 0;
    });
    if (memory_.liveBlocks() != 0) fail("the component kept blocks of the platform's memory", -1);
    // SetLocale changes the process; the next input starts where this one did.
    std::setlocale(LC_ALL, "C");
  }

  void runCalls() {
    const int calls = input_.ConsumeIntegralInRange(1, 24);
    for (int i = 0; i < calls && input_.remaining_bytes() > 0; ++i) {
      switch (input_.ConsumeIntegralInRange(0, 7)) {
        case 0:
        case 1:
        case 2:
          callAsFunction(pick(input_, kLocalFunctions));
          break;
        case 3:
          callAsProcedure();
          break;
        case 4:
          callOutOfTable();
          break;
        case 5:
          askMethodName();
          break;
        case 6:
          findMethod();
          break;
        default:
          otherInterfaceCall();
      }
    }
  }

 private:
  std::u16string textFromInput() {
    switch (input_.ConsumeIntegralInRange(0, 4)) {
      case 0:
        return u"";
      case 1:
        return pick(input_, kWords);
      case 2: {  // any 16-bit units: lone surrogates, zeros, private use
        std::u16string text;
        const size_t length = input_.ConsumeIntegralInRange<size_t>(0, 48);
        for (size_t i = 0; i < length; ++i)
          text += static_cast<char16_t>(input_.ConsumeIntegral<uint16_t>());
        return text;
      }
      case 3: {  // a known word with a lone surrogate half in it
        std::u16string text = pick(input_, kWords);
        const size_t at = input_.ConsumeIntegralInRange<size_t>(0, text.size());
        const char16_t half = input_.ConsumeBool() ? 0xD800 : 0xDC41;
        text.insert(at, 1, static_cast<char16_t>(half + input_.ConsumeIntegralInRange(0, 0x3BE)));
        return text;
      }
      default: {  // a long text
        const size_t length = input_.ConsumeIntegralInRange<size_t>(256, 8192);
        return std::u16string(length,
                              static_cast<char16_t>(input_.ConsumeIntegralInRange(0x20, 0x44F)));
      }
    }
  }

  // The platform's text lives in a block of exactly its size, so a read past its zero is seen.
  WCHAR_T* lend(const std::u16string& text) {
    auto storage = std::make_unique<WCHAR_T[]>(text.size() + 1);
    std::copy(text.begin(), text.end(), storage.get());
    storage[text.size()] = 0;
    WCHAR_T* lent = storage.get();
    lentTexts_.insert(lent);
    texts_.push_back(std::move(storage));
    return lent;
  }

  tVariant valueFromInput() {
    tVariant value;
    std::memset(&value, 0, sizeof value);
    value.vt = pick(input_, kTags);
    if (value.vt == VTYPE_PWSTR) {
      if (input_.ConsumeIntegralInRange(0, 15) != 0) {
        const std::u16string text = textFromInput();
        value.value.wstr.pwstrVal = lend(text);
        value.value.wstr.wstrLen = static_cast<uint32_t>(text.size());
      }
      return value;
    }
    if (input_.ConsumeBool()) {  // any bits at all
      const uint64_t bits = input_.ConsumeIntegral<uint64_t>();
      std::memcpy(&value.value, &bits, sizeof bits);
      return value;
    }
    // A small number written as its tag carries it: line lengths, flags, tax codes, amounts.
    const int number = input_.ConsumeIntegralInRange(-3, 50);
    switch (value.vt) {
      case VTYPE_R4:
        value.value.fltVal = static_cast<float>(number);
        break;
      case VTYPE_R8:
        value.value.dblVal = number;
        break;
      case VTYPE_I2:
      case VTYPE_UI2:
        value.value.shortVal = static_cast<int16_t>(number);
        break;
      case VTYPE_I1:
      case VTYPE_UI1:
      case VTYPE_BOOL:
        value.value.i8Val = static_cast<int8_t>(number);
        break;
      case VTYPE_I8:
      case VTYPE_UI8:
        value.value.llVal = number;
        break;
      default:
        value.value.lVal = number;
    }
    return value;
  }

  // As many values as the driver says the method takes, each in its own block; or, from a
  // careless platform, none at all.
  std::vector<tVariant> paramsFor(long method, bool& absent) {
    const long count = driver_->GetNParams(method);
    absent = input_.ConsumeIntegralInRange(0, 15) == 0;
    std::vector<tVariant> params;
    for (long i = 0; i < count; ++i) params.push_back(valueFromInput());
    return params;
  }

  void callAsFunction(long method) {
    bool absent;
    std::vector<tVariant> params = paramsFor(method, absent);
    const auto block = std::make_unique<tVariant[]>(params.size());
    std::copy(params.begin(), params.end(), block.get());
    tVariant result = valueFromInput();
    tVariant* slot = input_.ConsumeBool() ? &result : nullptr;
    if (method == kOpenCheck && !params.empty())
      std::memset(&block[1].value, 0, sizeof block[1].value);
    const long count = static_cast<long>(params.size());
    withoutExceptions(method, [&] {
      return driver_->CallAsFunc(method, slot, absent ? nullptr : block.get(), count);
    });
    std::vector<tVariant*> written;
    if (slot != nullptr) written.push_back(slot);
    for (long i = 0; i < count; ++i) written.push_back(&block[i]);
    afterCall(method, written);
  }

  void callAsProcedure() {
    const long method = pick(input_, kLocalProcedures);
    bool absent;
    std::vector<tVariant> params = paramsFor(method, absent);
    const auto block = std::make_unique<tVariant[]>(params.size());
    std::copy(params.begin(), params.end(), block.get());
    const long count = static_cast<long>(params.size());
    withoutExceptions(
        method, [&] { return driver_->CallAsProc(method, absent ? nullptr : block.get(), count); });
    std::vector<tVariant*> written;
    for (long i = 0; i < count; ++i) written.push_back(&block[i]);
    afterCall(method, written);
  }

  void callOutOfTable() {
    long method = pick(input_, {-1L, kMethodCount, std::numeric_limits<long>::min(),
                                std::numeric_limits<long>::max(), 0L});
    if (method == 0) method = input_.ConsumeIntegral<long>();
    if (method >= 0 && method < kMethodCount) return;
    tVariant result = valueFromInput();
    tVariant param = valueFromInput();
    const tVariant resultBefore = result;
    const tVariant paramBefore = param;
    withoutExceptions(method, [&] {
      if (driver_->CallAsFunc(method, &result, &param, 1))
        fail("a method outside the table answered", method);
      if (driver_->CallAsProc(method, &param, 1))
        fail("a procedure outside the table answered", method);
      if (driver_->GetNParams(method) != 0)
        fail("a method outside the table has parameters", method);
      if (driver_->HasRetVal(method)) fail("a method outside the table has a result", method);
      if (driver_->GetMethodName(method, 0) != nullptr)
        fail("a method outside the table has a name", method);
      return 0;
    });
    if (std::memcmp(&result, &resultBefore, sizeof result) != 0 ||
        std::memcmp(&param, &paramBefore, sizeof param) != 0)
      fail("a call outside the table touched its values", method);
    afterCall(method, {});
  }

  void askMethodName() {
    const long method = input_.ConsumeIntegralInRange<long>(0, kMethodCount - 1);
    const long language = pick(input_, {0L, 1L, 2L, -1L});
    withoutExceptions(method, [&] {
      const WCHAR_T* name = driver_->GetMethodName(method, language);
      if (name == nullptr) return 0;
      if (!memory_.owns(name)) fail("a method name outside the platform's memory", method);
      if (driver_->FindMethod(name) != method)
        fail("a method is not found by its own name", method);
      void* block = const_cast<WCHAR_T*>(name);
      memory_.FreeMemory(&block);
      return 0;
    });
    afterCall(method, {});
  }

  void findMethod() {
    const WCHAR_T* name =
        input_.ConsumeIntegralInRange(0, 15) == 0 ? nullptr : lend(textFromInput());
    withoutExceptions(-1, [&] {
      const long found = driver_->FindMethod(name);
      if (found < -1 || found >= kMethodCount) fail("FindMethod gave no index of the table", found);
      return 0;
    });
    afterCall(-1, {});
  }

  void otherInterfaceCall() {
    withoutExceptions(-1, [&] {
      switch (input_.ConsumeIntegralInRange(0, 3)) {
        case 0: {
          tVariant value = valueFromInput();
          const long method = input_.ConsumeIntegral<long>();
          if (driver_->GetParamDefValue(method, input_.ConsumeIntegral<long>(), &value) ||
              value.vt != VTYPE_EMPTY)
            fail("a parameter has a default value", method);
          break;
        }
        case 1: {
          WCHAR_T* name = nullptr;
          driver_->RegisterExtensionAs(input_.ConsumeBool() ? &name : nullptr);
          if (name != nullptr) {
            if (!memory_.owns(name)) fail("the extension name outside the platform's memory", -1);
            (void)std::char_traits<char16_t>::length(name);
            void* block = name;
            memory_.FreeMemory(&block);
          }
          break;
        }
        case 2:
          driver_->SetLocale(input_.ConsumeIntegralInRange(0, 15) == 0 ? nullptr
                                                                       : lend(textFromInput()));
          break;
        default:
          (void)driver_->GetInfo();
          (void)driver_->GetNMethods();
          (void)driver_->GetNProps();
          driver_->Done();
      }
      return 0;
    });
    afterCall(-1, {});
  }

  // What the platform does after a call: take every text the driver wrote and free its block.
  void afterCall(long method, const std::vector<tVariant*>& values) {
    const WorkerSettings& settings = driver_->worker->settings;
    if (settings.errorHead != kUntouchedHead || settings.errorBody != kUntouchedBody)
      fail("a method made an exchange with the register", method);

    std::set<const void*> seen;
    for (tVariant* value : values) {
      if (value->vt != VTYPE_PWSTR || value->value.wstr.pwstrVal == nullptr) continue;
      WCHAR_T* text = value->value.wstr.pwstrVal;
      if (lentTexts_.count(text) != 0) continue;  // the platform's own text, left as it was
      if (!memory_.owns(text)) fail("a text result outside the platform's memory", method);
      if (!seen.insert(text).second) fail("one block in two values", method);
      const size_t length = value->value.wstr.wstrLen;
      if (memory_.sizeOf(text) < (length + 1) * sizeof(WCHAR_T))
        fail("a text longer than its block", method);
      if (text[length] != 0) fail("a text result without its zero", method);
      void* block = text;
      memory_.FreeMemory(&block);
      value->value.wstr.pwstrVal = nullptr;
    }
    if (memory_.liveBlocks() != 0) fail("a block of the platform's memory was lost", method);
  }

  FuzzedDataProvider& input_;
  CountingMemory memory_;
  FuzzMessageBox box_;
  std::unique_ptr<FuzzConnection> connection_;
  std::unique_ptr<Tavixfr> driver_;
  std::set<const WCHAR_T*> lentTexts_;
  std::vector<std::unique_ptr<WCHAR_T[]>> texts_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider input(data, size);
  PlatformRun run(input);
  run.runCalls();
  return 0;
}
