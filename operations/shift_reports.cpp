// The cashier's shift: opening it, the X report and the Z report.
//
// Only the cashier can see whether a report came out of the printer, so after each report the
// driver asks, and the answer is the method's result. A platform that offers no message box
// gets the register's own verdict instead: the only knowledge there is.
#include <string>

#include "addin/component.h"
#include "addin/host_values.h"

namespace {

// Asks the cashier whether the report printed; false when the dialog could not be shown.
bool cashierConfirms(IMsgBox& box, const char16_t* question) {
  tVariant answer{};
  returnBool(&answer, false);
  return box.Confirm(question, &answer) && variantToFlag(answer);
}

}  // namespace

bool Tavixfr::openShift(tVariant* result, tVariant* description) {
  if (result == nullptr) return true;
  if (apiKey != 0) worker->settings.key = apiKey;
  const bool outcome = runDeviceTest(description);
  // The register keeps its shift itself; the cashier is told how the link to it stands.
  report(u"Tavix open shift ", variantToWide(*description));
  returnBool(result, outcome);
  return true;
}

bool Tavixfr::printXReport(tVariant* result) {
  if (result == nullptr) return true;
  IMsgBox* box = messageBox();
  if (worker->sendKeyed("/apixreport")) {
    returnBool(result, box == nullptr || cashierConfirms(*box, u"X-Отчет напечатался?"));
    return true;
  }
  returnBool(result, false);
  // The test may renew a refused key, so the cashier's repeated report goes with a working one.
  // Its description is for nobody: the cashier sees the messages the test posts.
  runDeviceTest(nullptr);
  if (box != nullptr) box->Alert(u"Повторите операцию");
  return true;
}

bool Tavixfr::printZReport(tVariant* result) {
  // The register may have closed the shift even when its answer got lost, so the cashier is
  // asked whatever the register said.
  const bool accepted = worker->sendKeyed("/apizreport");
  if (result != nullptr) {
    IMsgBox* box = messageBox();
    returnBool(result, box == nullptr ? accepted : cashierConfirms(*box, u"Z-Отчет напечатался?"));
  }
  // A new shift has a new number; the next receipt reads it from the register.
  shiftId = -1;
  return true;
}

bool Tavixfr::printZReportProcedure() {
  worker->sendKeyed("/apizreport");
  shiftId = -1;
  return true;
}
