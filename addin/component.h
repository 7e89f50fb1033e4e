// The component the platform creates: its three platform interfaces, the state kept between
// calls, and the driver operations that the method table routes to.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "device/http_worker.h"
#include "platform/component_base.h"
#include "platform/host_connection.h"
#include "platform/memory_manager.h"

class Tavixfr final : public IComponentBase {
 public:
  Tavixfr();
  ~Tavixfr() override;
  Tavixfr(const Tavixfr&) = delete;
  Tavixfr& operator=(const Tavixfr&) = delete;

  // IInitDoneBase
  bool Init(void* connection) override;
  bool setMemManager(void* memoryManager) override;
  long GetInfo() override;
  void Done() override;

  // ILanguageExtenderBase
  bool RegisterExtensionAs(WCHAR_T** extensionName) override;
  long GetNProps() override;
  long FindProp(const WCHAR_T* name) override;
  const WCHAR_T* GetPropName(long index, long language) override;
  bool GetPropVal(const long index, tVariant* value) override;
  bool SetPropVal(const long index, tVariant* value) override;
  bool IsPropReadable(const long index) override;
  bool IsPropWritable(const long index) override;
  long GetNMethods() override;
  long FindMethod(const WCHAR_T* name) override;
  const WCHAR_T* GetMethodName(const long index, const long language) override;
  long GetNParams(const long index) override;
  bool GetParamDefValue(const long method, const long param, tVariant* value) override;
  bool HasRetVal(const long index) override;
  bool CallAsProc(const long index, tVariant* params, const long count) override;
  bool CallAsFunc(const long index, tVariant* result, tVariant* params, const long count) override;

  // LocaleBase
  void SetLocale(const WCHAR_T* locale) override;

  // Driver operations. `result` is null when the platform called the method as a procedure or
  // gave no place for the result; each operation then does what its method's procedure form does.

  // identity_settings.cpp
  bool getVersion(tVariant* result);
  bool getDescription(tVariant* result, tVariant* outputs);
  bool getParameters(tVariant* result, tVariant* settingsXml);
  bool setParameter(tVariant* result, tVariant* name, tVariant* value);

  // last_error.cpp
  bool getLastError(tVariant* result, tVariant* description);
  void writeLastErrorText(tVariant* description);

  // key_store.cpp
  bool storeApiKey(int32_t key);
  bool loadApiKey();

  // operations/connection.cpp
  bool open(tVariant* result, tVariant* deviceId);
  bool close(tVariant* result);
  bool deviceTest(tVariant* result, tVariant* description);
  bool runDeviceTest(tVariant* description);

  // operations/shift_reports.cpp
  bool openShift(tVariant* result, tVariant* description);
  bool printXReport(tVariant* result);
  bool printZReport(tVariant* result);
  bool printZReportProcedure();

  // operations/receipt_building.cpp
  void resetReceipt();
  bool openCheck(tVariant* result, tVariant* fiscal, tVariant* isReturn, tVariant* receiptNumber,
                 tVariant* shiftNumber);
  bool printFiscalString(tVariant* result, tVariant* name, tVariant* quantity, tVariant* sum,
                         tVariant* taxRate, tVariant* excise);

  // operations/receipt_completion.cpp
  bool closeCheck(tVariant* result, tVariant* cash, tVariant* bank, tVariant* credit,
                  tVariant* tara);
  bool cancelCheck(tVariant* result);

  // operations/service_documents.cpp
  bool cashInOutcome(tVariant* result, tVariant* amount);
  bool getLineLength(tVariant* result, tVariant* lineLength);
  bool printNonFiscalString(tVariant* result, tVariant* text);
  bool printBarCode(tVariant* result);
  bool openCashDrawer(tVariant* result);

  // operations/additional_actions.cpp
  bool getAdditionalActions(tVariant* result, tVariant* actionsXml);
  bool doAdditionalAction(tVariant* result, tVariant* actionName);

  // Platform services for the operations.
  // Posts a message to the platform's message window; nothing without a connection.
  void report(const std::u16string& source, const std::u16string& message);
  // The platform's message box, or null when there is none.
  IMsgBox* messageBox();

  IAddInDefBase* connection;
  IMemoryManager* memoryManager;
  int32_t apiKey;
  double checkTotal;
  int32_t checkLines;
  int32_t shiftId;
  std::unique_ptr<httpWorker> worker;
};
