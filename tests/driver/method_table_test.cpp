// The method interface the platform reads before every call: the 22 driver methods under both
// names, their parameter counts, and what the call answers for an index it does not know.
#include <string>

#include <gtest/gtest.h>

#include "host/driver_session.h"

namespace {

struct Method {
  long index;
  const char16_t* english;
  const char16_t* russian;
  long parameters;
};

// The fiscal-registrar method set as the platform's configurations call it.
const Method kMethods[] = {
    {0, u"GetVersion", u"ПолучитьНомерВерсии", 0},
    {1, u"GetDescription", u"ПолучитьОписание", 7},
    {2, u"GetLastError", u"ПолучитьОшибку", 1},
    {3, u"GetParameters", u"ПолучитьПараметры", 1},
    {4, u"SetParameter", u"УстановитьПараметр", 2},
    {5, u"Open", u"Подключить", 1},
    {6, u"Close", u"Отключить", 1},
    {7, u"DeviceTest", u"ТестУстройства", 2},
    {8, u"GetAdditionalActions", u"ПолучитьДополнительныеДействия", 1},
    {9, u"DoAdditionalAction", u"ВыполнитьДополнительноеДействие", 1},
    {10, u"PrintXReport", u"НапечататьОтчетБезГашения", 1},
    {11, u"OpenShift", u"ОткрытьСмену", 1},
    {12, u"PrintZReport", u"НапечататьОтчетСГашением", 1},
    {13, u"OpenCheck", u"ОткрытьЧек", 6},
    {14, u"PrintFiscalString", u"НапечататьФискСтроку", 10},
    {15, u"CloseCheck", u"ЗакрытьЧек", 5},
    {16, u"CancelCheck", u"ОтменитьЧек", 1},
    {17, u"CashInOutcome", u"НапечататьЧекВнесенияВыемки", 2},
    {18, u"GetLineLength", u"ПолучитьШиринуСтроки", 2},
    {19, u"PrintNonFiscalString", u"НапечататьНефискСтроку", 2},
    {20, u"PrintBarCode", u"НапечататьШтрихКод", 3},
    {21, u"OpenCashDrawer", u"ОткрытьДенежныйЯщик", 1},
};

// Indices the platform never gets from FindMethod.
const long kOutsideTheTable[] = {22, -1, 1000, -1000};

class MethodTable : public ::testing::Test {
 protected:
  // What GetMethodName gave, read from its block, which is then given back as the platform does.
  std::u16string nameOf(long index, long language) {
    const WCHAR_T* name = component().GetMethodName(index, language);
    if (name == nullptr) return u"<null>";
    EXPECT_TRUE(session.memory.owns(name));
    const std::u16string text = host::textOf(name, &session.memory);
    EXPECT_EQ(session.memory.sizeOf(name), (text.size() + 1) * sizeof(WCHAR_T));
    void* block = const_cast<WCHAR_T*>(name);
    session.memory.FreeMemory(&block);
    return text;
  }

  IComponentBase& component() { return *session.component(); }

  host::DriverSession session;
};

TEST_F(MethodTable, TheComponentHasTwentyTwoMethods) { EXPECT_EQ(component().GetNMethods(), 22); }

TEST_F(MethodTable, FindMethodKnowsEveryMethodByBothNames) {
  for (const Method& method : kMethods) {
    EXPECT_EQ(component().FindMethod(method.english), method.index) << host::u8(method.english);
    EXPECT_EQ(component().FindMethod(method.russian), method.index) << host::u8(method.russian);
  }
}

TEST_F(MethodTable, FindMethodComparesTheWholeNameWithCase) {
  for (const char16_t* name : {u"opencheck", u"OPENCHECK", u"OpenCheck ", u" OpenCheck",
                               u"OpenChec", u"OpenCheckX", u"открытьчек", u"", u"Tavixfr"})
    EXPECT_EQ(component().FindMethod(name), -1) << host::u8(name);
}

TEST_F(MethodTable, GetMethodNameGivesEachNameInAPlatformBlock) {
  for (const Method& method : kMethods) {
    EXPECT_EQ(nameOf(method.index, 0), method.english);
    EXPECT_EQ(nameOf(method.index, 1), method.russian);
  }
  EXPECT_EQ(session.memory.liveBlocks(), 0u);
}

TEST_F(MethodTable, GetMethodNameRefusesAnIndexOrLanguageItDoesNotKnow) {
  for (long index : kOutsideTheTable) {
    EXPECT_EQ(nameOf(index, 0), u"<null>") << "index " << index;
    EXPECT_EQ(nameOf(index, 1), u"<null>") << "index " << index;
  }
  for (long language : {2L, -1L, 100L}) EXPECT_EQ(nameOf(21, language), u"<null>") << language;
  EXPECT_EQ(session.memory.allocations(), 1u);  // the extension name alone
}

TEST_F(MethodTable, GetMethodNameGivesNullWhenTheBlockCannotBeHad) {
  session.memory.failAllocations(true);
  EXPECT_EQ(nameOf(21, 1), u"<null>");
}

TEST(MethodTableWithoutMemory, GetMethodNameGivesNull) {
  host::SessionOptions options;
  options.withMemory = false;
  host::DriverSession session(options);
  EXPECT_EQ(session.component()->GetMethodName(21, 1), nullptr);
  EXPECT_EQ(session.component()->GetMethodName(0, 0), nullptr);
}

TEST_F(MethodTable, GetNParamsGivesEachMethodsCountAndZeroOutsideTheTable) {
  for (const Method& method : kMethods)
    EXPECT_EQ(component().GetNParams(method.index), method.parameters) << host::u8(method.english);
  for (long index : kOutsideTheTable) EXPECT_EQ(component().GetNParams(index), 0) << index;
}

TEST_F(MethodTable, EveryMethodAndOnlyAMethodHasAReturnValue) {
  for (const Method& method : kMethods)
    EXPECT_TRUE(component().HasRetVal(method.index)) << host::u8(method.english);
  for (long index : kOutsideTheTable) EXPECT_FALSE(component().HasRetVal(index)) << index;
}

TEST_F(MethodTable, NoParameterHasADefaultValue) {
  const std::pair<long, long> places[] = {{0, 0},  {1, 6},  {14, 0}, {14, 9},
                                          {21, 0}, {22, 0}, {-1, -1}};
  for (const auto& [method, parameter] : places) {
    tVariant value{};
    value.vt = VTYPE_I4;
    value.value.lVal = 5;
    EXPECT_FALSE(component().GetParamDefValue(method, parameter, &value))
        << method << ", " << parameter;
    EXPECT_EQ(value.vt, VTYPE_EMPTY) << method << ", " << parameter;
  }
}

// An index outside the table is answered false, and neither the result nor the parameters nor
// the platform's memory and message window are touched.
TEST_F(MethodTable, CallsOutsideTheTableAnswerFalseAndTouchNothing) {
  const size_t allocationsBefore = session.memory.allocations();
  for (long index : kOutsideTheTable) {
    host::Params values = session.params(2);
    values.i4(0, 7).text(1, u"keep");
    tVariant result{};
    result.vt = VTYPE_I4;
    result.value.lVal = 42;
    const host::CallResult asFunction = session.callIndex(index, values, result);
    EXPECT_FALSE(asFunction.called) << index;
    EXPECT_EQ(asFunction.tag(), VTYPE_I4) << index;
    EXPECT_EQ(asFunction.value.value.lVal, 42) << index;
    EXPECT_FALSE(component().CallAsProc(index, values.data(), 2)) << index;
    EXPECT_FALSE(component().CallAsFunc(index, nullptr, values.data(), 2)) << index;
    EXPECT_EQ(values.intAt(0), 7);
    EXPECT_EQ(values.textAt(1), u"keep");
  }
  EXPECT_EQ(session.memory.allocations(), allocationsBefore);
  EXPECT_TRUE(session.connection.messages.empty());
}

TEST_F(MethodTable, GetVersionWritesThreeDotZeroIntoAPlatformBlock) {
  tVariant result{};
  ASSERT_TRUE(component().CallAsFunc(0, &result, nullptr, 0));
  ASSERT_EQ(result.vt, VTYPE_PWSTR);
  EXPECT_EQ(result.value.wstr.wstrLen, 3u);
  const WCHAR_T* text = result.value.wstr.pwstrVal;
  ASSERT_TRUE(session.memory.owns(text));
  EXPECT_EQ(session.memory.sizeOf(text), 4 * sizeof(WCHAR_T));
  EXPECT_EQ(std::u16string(text, 4), std::u16string(u"3.0", 4));  // with its zero
  void* block = result.value.wstr.pwstrVal;
  session.memory.FreeMemory(&block);

  host::Params none = session.params(0);
  EXPECT_EQ(session.call(u"ПолучитьНомерВерсии", none).text, u"3.0");
}

TEST_F(MethodTable, GetVersionAsAProcedureOrWithoutAResultDoesNothing) {
  const size_t allocationsBefore = session.memory.allocations();
  host::Params none = session.params(0);
  EXPECT_TRUE(session.callAsProcedure(u"GetVersion", none));
  EXPECT_TRUE(session.callWithoutResult(u"GetVersion", none));
  EXPECT_EQ(session.memory.allocations(), allocationsBefore);
}

// Without a memory manager the platform still gets the text's kind and length, never a text
// from elsewhere.
TEST(MethodTableWithoutMemory, GetVersionGivesTheLengthButNoText) {
  host::SessionOptions options;
  options.withMemory = false;
  host::DriverSession session(options);
  tVariant result{};
  ASSERT_TRUE(session.component()->CallAsFunc(0, &result, nullptr, 0));
  EXPECT_EQ(result.vt, VTYPE_PWSTR);
  EXPECT_EQ(result.value.wstr.pwstrVal, nullptr);
  EXPECT_EQ(result.value.wstr.wstrLen, 3u);
  EXPECT_EQ(session.memory.allocations(), 0u);
}

}  // namespace
