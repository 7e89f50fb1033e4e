// Collecting a receipt: OpenCheck and one PrintFiscalString per item. Nothing of an item goes to
// the register here; CloseCheck sends the whole receipt in one sale request.
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "addin/component.h"
#include "addin/host_values.h"
#include "device/number_format.h"

namespace {

constexpr char kLineEnd[] = "\r\n";

// The register's printer and its fiscal memory take Latin and Russian letters, digits and
// parentheses in an item name; anything else (punctuation, Ё and ё, symbols, characters beyond
// the 16-bit range, which arrive as two surrogate units) would be misprinted or refused.
constexpr char16_t kCyrillicCapitalA = 0x0410;  // А; the capitals run to Я, 0x042F
constexpr char16_t kCyrillicSmallYa = 0x044F;   // я; the small letters start at а, 0x0430

bool keptInName(char16_t unit) {
  return (unit >= u'a' && unit <= u'z') || (unit >= u'A' && unit <= u'Z') ||
         (unit >= u'0' && unit <= u'9') ||
         (unit >= kCyrillicCapitalA && unit <= kCyrillicSmallYa) || unit == u'(' || unit == u')';
}

// Every run of characters the register cannot take becomes one blank, at the ends too.
std::u16string cleanItemName(const std::u16string& name) {
  std::u16string cleaned;
  cleaned.reserve(name.size());
  bool inRun = false;
  for (char16_t unit : name) {
    if (keptInName(unit)) {
      cleaned += unit;
      inRun = false;
    } else if (!inRun) {
      cleaned += u' ';
      inRun = true;
    }
  }
  return cleaned;
}

std::u16string asciiToWide(const std::string& ascii) {
  return std::u16string(ascii.begin(), ascii.end());
}

// A name longer than the paper is wide goes on as many lines as it needs; no line is left empty
// and the last one carries no line end (the caller adds it).
std::u16string cutIntoLines(const std::u16string& text, int32_t lineLength) {
  if (lineLength < 1) return text;
  const size_t width = static_cast<size_t>(lineLength);
  std::u16string lines;
  size_t start = 0;
  while (text.size() - start > width) {
    lines.append(text, start, width);
    lines += u"\r\n";
    start += width;
  }
  lines.append(text, start, std::u16string::npos);
  return lines;
}

// No printer prints a wider line. A width beyond it, which only a broken setting gives, is no
// width, as one below 1 is: padding every amount line to it would take gigabytes.
constexpr int32_t kWidestLine = 255;

// The register prints the amount line as a block two characters wider than the name lines.
std::string fitAmountLine(std::string line, int32_t lineLength) {
  if (lineLength < 1 || lineLength > kWidestLine) return line;
  line.resize(static_cast<size_t>(lineLength) + 2, ' ');
  return line;
}

std::string firstBytes(const std::string& text, int32_t lineLength) {
  if (lineLength < 1 || text.size() <= static_cast<size_t>(lineLength)) return text;
  return text.substr(0, static_cast<size_t>(lineLength));
}

// The register takes the price to the kopeck and checks it against the sum; a quantity of 0 has
// no price, and "inf" or "nan" on the wire would make the register refuse the whole receipt.
double unitPrice(double sum, double quantity) {
  if (quantity == 0) return 0;
  const double price = std::round(sum / quantity * 100) / 100;
  return std::isfinite(price) ? price : 0;
}

std::string itemObject(const std::string& name, const std::string& price,
                       const std::string& quantity, const std::string& sum,
                       const std::string& taxId, const std::string& excise) {
  // The register reads every member as a string, numbers included; the cleaned name needs no
  // escaping, and the excise code goes exactly as the marking scanner gave it.
  std::string object = "{\"name\":\"" + name + "\",\"price\":\"" + price + "\",\"qty\":\"" +
                       quantity + "\",\"sum\":\"" + sum + "\",\"taxid\":\"" + taxId;
  if (!excise.empty()) object += "\",\"excise\":\"" + excise;
  object += "\"},";
  return object;
}

}  // namespace

void Tavixfr::resetReceipt() {
  checkLines = 0;
  checkTotal = 0;
  ReceiptState& receipt = worker->receipt;
  receipt.total = 0;
  receipt.cash = 0;
  receipt.bank = 0;
  receipt.credit = 0;
  receipt.tara = 0;
  receipt.printText.clear();
  receipt.itemData.clear();
  receipt.cashAmount = 0;
  receipt.fiscal = false;
  receipt.saleReturn = false;
}

bool Tavixfr::openCheck(tVariant* result, tVariant* fiscal, tVariant* isReturn,
                        tVariant* receiptNumber, tVariant* shiftNumber) {
  if (result == nullptr) return true;
  resetReceipt();

  ReceiptState& receipt = worker->receipt;
  // A non-fiscal receipt is printed by the platform's own means; the register hears nothing.
  if (variantToFlag(*fiscal)) {
    receipt.fiscal = true;
    receipt.saleReturn = variantToFlag(*isReturn);
    receipt.itemData = "[";
    receipt.printText.clear();

    if (!worker->curlReady) {
      report(u"Error, Tavix", u"No open session");
    } else if (worker->sendKeyed("/apicheck")) {
      // The register names its last receipt in the reason phrase; this one is the next.
      const int32_t lastReceipt = leadingInteger(worker->settings.errorHead);
      const int32_t thisReceipt =
          lastReceipt == std::numeric_limits<int32_t>::max() ? lastReceipt : lastReceipt + 1;
      returnInt(receiptNumber, thisReceipt);

      // The shift number changes only with a Z report, so it is asked once per shift; the
      // register's tax table is taken at the same moment, as it too changes only between shifts.
      if (shiftId == -1) {
        shiftId = leadingInteger(worker->getInfoMinimum("currentShiftID"));
        if (worker->settings.multiTax) worker->loadTaxTable();
      }
      returnInt(shiftNumber, shiftId);
    } else {
      // The receipt stays open all the same; CloseCheck meets the error and GetLastError names
      // it.
      returnInt(receiptNumber, 1);
      returnInt(shiftNumber, 1);
    }
  }

  returnBool(result, true);
  return true;
}

bool Tavixfr::printFiscalString(tVariant* result, tVariant* name, tVariant* quantity, tVariant* sum,
                                tVariant* taxRate, tVariant* excise) {
  if (result == nullptr) return true;

  const double itemSum = variantToDouble(*sum);
  checkTotal += itemSum;
  ++checkLines;

  ReceiptState& receipt = worker->receipt;
  const int32_t lineLength = worker->settings.lineLength;

  const std::u16string cleanedName = cleanItemName(variantToWide(*name));
  const std::u16string nameLine = asciiToWide(formatInteger(checkLines)) + u"." + cleanedName;
  receipt.printText += wideToUtf8(cutIntoLines(nameLine, lineLength));
  receipt.printText += kLineEnd;

  const double itemQuantity = variantToDouble(*quantity);
  const std::string quantityText = formatAmount(itemQuantity);
  const std::string priceText = formatAmount(unitPrice(itemSum, itemQuantity));
  const std::string sumText = formatAmount(itemSum);
  receipt.printText += fitAmountLine(quantityText + "x" + priceText + "=" + sumText, lineLength);
  receipt.printText += kLineEnd;

  const std::string exciseText = variantToUtf8(*excise);
  if (!exciseText.empty()) {
    receipt.printText += firstBytes(exciseText, lineLength);
    receipt.printText += kLineEnd;
  }

  const std::string taxId = worker->taxIdForRate(variantToDouble(*taxRate));
  receipt.itemData +=
      itemObject(wideToUtf8(cleanedName), priceText, quantityText, sumText, taxId, exciseText);

  returnBool(result, true);
  return true;
}
