// The method interface: looking methods up, describing them, and routing each call to the
// operation that carries it out. No behaviour is decided here.
#include <cstring>
#include <exception>

#include "addin/component.h"
#include "addin/host_values.h"
#include "addin/method_table.h"

namespace {

using Params = tVariant*;

constexpr std::array<MethodRow, kMethodCount> kTable{{
    {0, u"GetVersion", u"ПолучитьНомерВерсии", 0,
     [](Tavixfr& d, tVariant* r, Params) { return d.getVersion(r); }, nullptr},
    {1, u"GetDescription", u"ПолучитьОписание", 7,
     [](Tavixfr& d, tVariant* r, Params p) { return d.getDescription(r, p); },
     [](Tavixfr& d, Params p) { return d.getDescription(nullptr, p); }},
    {2, u"GetLastError", u"ПолучитьОшибку", 1,
     [](Tavixfr& d, tVariant* r, Params p) { return d.getLastError(r, &p[0]); }, nullptr},
    {3, u"GetParameters", u"ПолучитьПараметры", 1,
     [](Tavixfr& d, tVariant* r, Params p) { return d.getParameters(r, &p[0]); },
     [](Tavixfr& d, Params p) { return d.getParameters(nullptr, &p[0]); }},
    {4, u"SetParameter", u"УстановитьПараметр", 2,
     [](Tavixfr& d, tVariant* r, Params p) { return d.setParameter(r, &p[0], &p[1]); }, nullptr},
    {5, u"Open", u"Подключить", 1,
     [](Tavixfr& d, tVariant* r, Params p) { return d.open(r, &p[0]); }, nullptr},
    {6, u"Close", u"Отключить", 1, [](Tavixfr& d, tVariant* r, Params) { return d.close(r); },
     nullptr},
    {7, u"DeviceTest", u"ТестУстройства", 2,
     [](Tavixfr& d, tVariant* r, Params p) { return d.deviceTest(r, &p[0]); }, nullptr},
    {8, u"GetAdditionalActions", u"ПолучитьДополнительныеДействия", 1,
     [](Tavixfr& d, tVariant* r, Params p) { return d.getAdditionalActions(r, &p[0]); },
     [](Tavixfr& d, Params p) { return d.getAdditionalActions(nullptr, &p[0]); }},
    {9, u"DoAdditionalAction", u"ВыполнитьДополнительноеДействие", 1,
     [](Tavixfr& d, tVariant* r, Params p) { return d.doAdditionalAction(r, &p[0]); },
     [](Tavixfr& d, Params p) { return d.doAdditionalAction(nullptr, &p[0]); }},
    {10, u"PrintXReport", u"НапечататьОтчетБезГашения", 1,
     [](Tavixfr& d, tVariant* r, Params) { return d.printXReport(r); }, nullptr},
    {11, u"OpenShift", u"ОткрытьСмену", 1,
     [](Tavixfr& d, tVariant* r, Params p) { return d.openShift(r, &p[0]); }, nullptr},
    {12, u"PrintZReport", u"НапечататьОтчетСГашением", 1,
     [](Tavixfr& d, tVariant* r, Params) { return d.printZReport(r); },
     [](Tavixfr& d, Params) { return d.printZReportProcedure(); }},
    {13, u"OpenCheck", u"ОткрытьЧек", 6,
     [](Tavixfr& d, tVariant* r, Params p) { return d.openCheck(r, &p[1], &p[2], &p[4], &p[5]); },
     nullptr},
    {14, u"PrintFiscalString", u"НапечататьФискСтроку", 10,
     [](Tavixfr& d, tVariant* r, Params p) {
       return d.printFiscalString(r, &p[1], &p[2], &p[4], &p[6], &p[9]);
     },
     [](Tavixfr& d, Params p) {
       return d.printFiscalString(nullptr, &p[1], &p[2], &p[4], &p[6], &p[9]);
     }},
    {15, u"CloseCheck", u"ЗакрытьЧек", 5,
     [](Tavixfr& d, tVariant* r, Params p) { return d.closeCheck(r, &p[1], &p[2], &p[3], &p[4]); },
     [](Tavixfr& d, Params p) { return d.closeCheck(nullptr, &p[1], &p[2], &p[3], &p[4]); }},
    {16, u"CancelCheck", u"ОтменитьЧек", 1,
     [](Tavixfr& d, tVariant* r, Params) { return d.cancelCheck(r); }, nullptr},
    {17, u"CashInOutcome", u"НапечататьЧекВнесенияВыемки", 2,
     [](Tavixfr& d, tVariant* r, Params p) { return d.cashInOutcome(r, &p[1]); }, nullptr},
    {18, u"GetLineLength", u"ПолучитьШиринуСтроки", 2,
     [](Tavixfr& d, tVariant* r, Params p) { return d.getLineLength(r, &p[1]); },
     [](Tavixfr& d, Params p) { return d.getLineLength(nullptr, &p[1]); }},
    {19, u"PrintNonFiscalString", u"НапечататьНефискСтроку", 2,
     [](Tavixfr& d, tVariant* r, Params p) { return d.printNonFiscalString(r, &p[1]); },
     [](Tavixfr& d, Params p) { return d.printNonFiscalString(nullptr, &p[1]); }},
    {20, u"PrintBarCode", u"НапечататьШтрихКод", 3,
     [](Tavixfr& d, tVariant* r, Params) { return d.printBarCode(r); }, nullptr},
    {21, u"OpenCashDrawer", u"ОткрытьДенежныйЯщик", 1,
     [](Tavixfr& d, tVariant* r, Params) { return d.openCashDrawer(r); },
     [](Tavixfr& d, Params) { return d.openCashDrawer(nullptr); }},
}};

bool inTable(long index) { return index >= 0 && index < kMethodCount; }

bool sameName(const char16_t* a, const char16_t* b) {
  return std::char_traits<char16_t>::length(a) == std::char_traits<char16_t>::length(b) &&
         std::char_traits<char16_t>::compare(a, b, std::char_traits<char16_t>::length(a)) == 0;
}

// A component's method runs inside the platform's process: nothing may escape into it.
template <typename Call>
bool guarded(Tavixfr& driver, Call&& call) {
  try {
    return call();
  } catch (const std::exception& e) {
    std::u16string what;
    for (const char* c = e.what(); *c != 0; ++c) what += static_cast<char16_t>(*c & 0x7F);
    driver.report(u"Tavix", what);
  } catch (...) {
    driver.report(u"Tavix", u"internal error");
  }
  return false;
}

}  // namespace

const std::array<MethodRow, kMethodCount>& methodTable() { return kTable; }

long Tavixfr::GetNMethods() { return kMethodCount; }

long Tavixfr::FindMethod(const WCHAR_T* name) {
  if (name == nullptr) return -1;
  for (const MethodRow& row : kTable)
    if (sameName(name, row.englishName)) return row.index;
  for (const MethodRow& row : kTable)
    if (sameName(name, row.russianName)) return row.index;
  return -1;
}

const WCHAR_T* Tavixfr::GetMethodName(const long index, const long language) {
  if (!inTable(index) || (language != 0 && language != 1) || memoryManager == nullptr)
    return nullptr;
  const char16_t* name = language == 0 ? kTable[index].englishName : kTable[index].russianName;
  const size_t length = std::char_traits<char16_t>::length(name);
  void* block = nullptr;
  if (!memoryManager->AllocMemory(&block, static_cast<unsigned long>((length + 1) * 2)) ||
      block == nullptr)
    return nullptr;
  copyWideText(static_cast<WCHAR_T*>(block), name, 0);
  return static_cast<const WCHAR_T*>(block);
}

long Tavixfr::GetNParams(const long index) {
  return inTable(index) ? kTable[index].parameterCount : 0;
}

bool Tavixfr::GetParamDefValue(const long, const long, tVariant* value) {
  if (value != nullptr) value->vt = VTYPE_EMPTY;
  return false;
}

bool Tavixfr::HasRetVal(const long index) { return inTable(index); }

bool Tavixfr::CallAsProc(const long index, tVariant* params, const long /*count*/) {
  if (!inTable(index)) return false;
  const MethodRow& row = kTable[index];
  if (row.asProcedure == nullptr) return true;
  if (params == nullptr && row.parameterCount > 0) return false;
  return guarded(*this, [&] { return row.asProcedure(*this, params); });
}

bool Tavixfr::CallAsFunc(const long index, tVariant* result, tVariant* params,
                         const long /*count*/) {
  if (!inTable(index)) return false;
  const MethodRow& row = kTable[index];
  if (params == nullptr && row.parameterCount > 0) return false;
  return guarded(*this, [&] { return row.asFunction(*this, result, params); });
}
