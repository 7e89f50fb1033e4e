#include "commands.h"

#include "driver_call.h"
#include "driver_lists.h"

namespace console {

CommandRunner::CommandRunner(host::DriverSession& driver, Transcript& transcript,
                             const Settings& settings)
    : driver_(driver), transcript_(transcript), settings_(settings), deviceId_(settings.ip) {}

bool CommandRunner::run(const Command& command) {
  if (!reach(stageOf(command.kind))) return false;
  switch (command.kind) {
    case CommandKind::Version:
      return DriverCall(driver_, u"GetVersion", 0).run(transcript_);
    case CommandKind::Methods:
      return listMethods();
    case CommandKind::Describe:
      return DriverCall(driver_, u"GetDescription", 7)
          .out(0, "name")
          .out(1, "description")
          .out(2, "equipment-type")
          .out(3, "interface-revision")
          .out(4, "integration-library")
          .out(5, "main-driver-installed")
          .out(6, "download-url")
          .run(transcript_);
    case CommandKind::Params:
      return describeList(u"GetParameters", "settings", true);
    case CommandKind::Open:
      return open();
    case CommandKind::Test:
      return DriverCall(driver_, u"DeviceTest", 2).out(0, "description").run(transcript_);
    case CommandKind::OpenShift:
      return DriverCall(driver_, u"OpenShift", 1).inOutText(0, "description", "").run(transcript_);
    case CommandKind::XReport:
      return deviceOnly(u"PrintXReport");
    case CommandKind::ZReport:
      return deviceOnly(u"PrintZReport");
    case CommandKind::Sale:
    case CommandKind::Return:
      return receipt(command);
    case CommandKind::Cancel:
      return deviceOnly(u"CancelCheck");
    case CommandKind::CashIn:
    case CommandKind::CashOut: {
      // The platform tells a withdrawal from a deposit by the amount's sign alone.
      const double amount = command.kind == CommandKind::CashIn ? command.amount : -command.amount;
      return DriverCall(driver_, u"CashInOutcome", 2)
          .text(0, "device", deviceId_)
          .number(1, "amount", amount)
          .run(transcript_);
    }
    case CommandKind::Slip:
      if (!settings_.slipPrinter)
        transcript_.remark("without --slip-printer (NoFiskal) the driver prints no slip lines");
      return DriverCall(driver_, u"PrintNonFiscalString", 2)
          .text(0, "device", deviceId_)
          .text(1, "text", command.text)
          .run(transcript_);
    case CommandKind::Drawer:
      return deviceOnly(u"OpenCashDrawer");
    case CommandKind::LineLength:
      return DriverCall(driver_, u"GetLineLength", 2)
          .text(0, "device", deviceId_)
          .outInteger(1, "line-length")
          .run(transcript_);
    case CommandKind::Actions:
      return describeList(u"GetAdditionalActions", "actions", false);
    case CommandKind::Action:
      return DriverCall(driver_, u"DoAdditionalAction", 1)
          .text(0, "action", command.text)
          .run(transcript_);
    case CommandKind::LastError:
      return DriverCall(driver_, u"GetLastError", 1).out(0, "description").run(transcript_);
  }
  return false;
}

void CommandRunner::finish() {
  if (!connected_) return;
  deviceOnly(u"Close");
  connected_ = false;
}

bool CommandRunner::reach(Stage stage) {
  if (stage >= Stage::Settings && !settingsGiven_) {
    settingsGiven_ = true;
    if (!applySettings()) return false;
  }
  if (stage >= Stage::Connected && !connected_) return open();
  return true;
}

// As the platform's form hands them over: one SetParameter per setting.
bool CommandRunner::applySettings() {
  bool accepted = setting("Ipdest", settings_.ip);
  if (settings_.lineLength) accepted = setting("Eprint", *settings_.lineLength) && accepted;
  if (settings_.login) accepted = setting("LoginTavix", *settings_.login) && accepted;
  if (settings_.password) accepted = setting("PassTavix", *settings_.password) && accepted;
  if (settings_.key) accepted = setting("WebapiTAVIX", *settings_.key) && accepted;
  if (settings_.tax) accepted = setting("TaxTavix", *settings_.tax) && accepted;
  if (settings_.multiTax) accepted = settingFlag("MultiTax", true) && accepted;
  if (settings_.slipPrinter) accepted = settingFlag("NoFiskal", true) && accepted;
  return accepted;
}

bool CommandRunner::setting(const std::string& name, const std::string& text) {
  return DriverCall(driver_, u"SetParameter", 2)
      .text(0, "name", name)
      .text(1, "value", text)
      .run(transcript_);
}

bool CommandRunner::setting(const std::string& name, int32_t number) {
  return DriverCall(driver_, u"SetParameter", 2)
      .text(0, "name", name)
      .integer(1, "value", number)
      .run(transcript_);
}

bool CommandRunner::settingFlag(const std::string& name, bool flag) {
  return DriverCall(driver_, u"SetParameter", 2)
      .text(0, "name", name)
      .flag(1, "value", flag)
      .run(transcript_);
}

bool CommandRunner::open() {
  DriverCall call(driver_, u"Open", 1);
  call.out(0, "device");
  const bool answer = call.run(transcript_);
  connected_ = true;
  if (!call.textAt(0).empty()) deviceId_ = call.textAt(0);
  return answer;
}

// The method table as the platform reads it when it loads the driver: GetNMethods, then both
// names, the parameter count and HasRetVal of every index.
bool CommandRunner::listMethods() {
  ILanguageExtenderBase* methods = driver_.component();
  const long count = methods->GetNMethods();
  transcript_.callStarts("GetNMethods()");
  transcript_.callEnds(std::to_string(count));
  const auto nameOf = [&](long index, long language) {
    const WCHAR_T* block = methods->GetMethodName(index, language);
    if (block == nullptr) return std::string("(none)");
    const std::string name = host::u8(block);
    void* owned = const_cast<WCHAR_T*>(block);
    driver_.memory.FreeMemory(&owned);  // the platform frees the names it was given
    return name;
  };
  for (long index = 0; index < count; ++index) {
    const long parameters = methods->GetNParams(index);
    transcript_.detail(std::to_string(index) + " " + nameOf(index, 0) + " / " + nameOf(index, 1) +
                       ", " + std::to_string(parameters) +
                       (parameters == 1 ? " parameter" : " parameters") +
                       (methods->HasRetVal(index) ? ", returns a value" : ""));
  }
  return count > 0;
}

// A receipt as the platform builds it: opened, one fiscal line per item, closed with the
// payments. The first false answer ends it; the receipt then stays open for a "cancel".
bool CommandRunner::receipt(const Command& command) {
  const bool isReturn = command.kind == CommandKind::Return;
  if (!DriverCall(driver_, u"OpenCheck", 6)
           .text(0, "device", deviceId_)
           .flag(1, "fiscal", true)
           .flag(2, "return", isReturn)
           .flag(3, "cancel-opened", false)
           .outInteger(4, "receipt-number")
           .outInteger(5, "shift-number")
           .run(transcript_))
    return false;
  double total = 0;
  for (const ReceiptItem& item : command.items) {
    total += item.sum;
    const double price = item.quantity > 0 ? item.sum / item.quantity : 0;
    if (!DriverCall(driver_, u"PrintFiscalString", 10)
             .text(0, "device", deviceId_)
             .text(1, "name", item.name)
             .number(2, "quantity", item.quantity)
             .number(3, "price", price)
             .number(4, "sum", item.sum)
             .integer(5, "department", 1)
             .number(6, "tax", item.taxRate)
             .text(9, "excise", item.excise)
             .run(transcript_))
      return false;
  }
  Payments payments = command.payments;
  if (!payments.given) payments.cash = total;
  return DriverCall(driver_, u"CloseCheck", 5)
      .text(0, "device", deviceId_)
      .number(1, "cash", payments.cash)
      .number(2, "card", payments.card)
      .number(3, "credit", payments.credit)
      .number(4, "tara", payments.tara)
      .run(transcript_);
}

// GetParameters and GetAdditionalActions: the XML as the platform gets it, then read back.
bool CommandRunner::describeList(const std::u16string& method, const std::string& name,
                                 bool settings) {
  DriverCall call(driver_, method, 1);
  call.out(0, name);
  const bool answer = call.run(transcript_);
  const std::string xml = call.textAt(0);
  for (const std::string& line : settings ? settingsLines(xml) : actionLines(xml))
    transcript_.detail(line);
  return answer;
}

// The methods whose only value is the device identifier.
bool CommandRunner::deviceOnly(const std::u16string& method) {
  return DriverCall(driver_, method, 1).text(0, "device", deviceId_).run(transcript_);
}

}  // namespace console
