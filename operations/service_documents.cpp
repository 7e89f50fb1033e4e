// Documents outside a receipt: cash in and out, slip lines, the drawer, the line length.
//
// The register prints a slip line and opens the drawer of its external printer through the same
// print request. Each goes with its own request and its own text only: a slip line must not be
// printed again by the next report, and the drawer must not open again with it.
#include <string>

#include "addin/component.h"
#include "addin/host_values.h"
#include "addin/identity.h"

namespace {

constexpr char kOpenDrawerCommand[] = "--open-cash--";

// Only a printer attached to the register has a drawer; the settings offer these widths for it.
bool externalPrinterWidth(int32_t lineLength) {
  return lineLength == 30 || lineLength == 40 || lineLength == 42;
}

// No slip printer prints a wider line; a width beyond it comes only from a broken setting.
constexpr int32_t kWidestLine = 255;

// The slip printer prints whole lines: a short text is padded with blanks, a long one cut. A
// width below 1 or beyond any printer's is no width, and the text goes as it is.
std::u16string fittedToLine(std::u16string text, int32_t lineLength) {
  if (lineLength >= 1 && lineLength <= kWidestLine)
    text.resize(static_cast<size_t>(lineLength), u' ');
  return text;
}

}  // namespace

bool Tavixfr::cashInOutcome(tVariant* result, tVariant* amount) {
  if (result == nullptr) return true;
  worker->receipt.cashAmount = variantToDouble(*amount);
  const bool accepted = worker->sendCashInOut();
  // Once the register has taken the cash in or out, the operation is done: a profile that
  // refuses the renewed key is reported by the store, but the cashier must not repeat the
  // deposit or withdrawal.
  if (accepted) storeApiKey(worker->settings.key);
  returnBool(result, accepted);
  return true;
}

bool Tavixfr::getLineLength(tVariant* result, tVariant* lineLength) {
  returnInt(lineLength, worker->settings.lineLength);
  returnBool(result, true);
  return true;
}

bool Tavixfr::printNonFiscalString(tVariant* result, tVariant* text) {
  const WorkerSettings& settings = worker->settings;
  // Without a slip printer the line has nowhere to go, and the document goes on without it.
  if (!settings.noFiskal) {
    returnBool(result, true);
    return true;
  }
  const std::string line = wideToUtf8(fittedToLine(variantToWide(*text), settings.lineLength));
  returnBool(result, worker->sendKeyedPrint("/apiprint", line));
  return true;
}

bool Tavixfr::printBarCode(tVariant* result) {
  if (result == nullptr) return true;
  report(kMessageSource, u"Печать штрих-кода не предусмотрена в данной версии");
  returnBool(result, true);
  return true;
}

bool Tavixfr::openCashDrawer(tVariant* result) {
  bool opened = false;
  if (externalPrinterWidth(worker->settings.lineLength)) {
    opened = worker->sendKeyedPrint("/apiprint", kOpenDrawerCommand);
  } else {
    report(kMessageSource, u"Денежный ящик открывает только внешний принтер подключенный к Tavix");
  }
  returnBool(result, opened);
  return true;
}
