// Ending a receipt: CloseCheck sends it to the register in one sale request, CancelCheck drops
// it. The two refusals a cashier can resolve at the till (a shift left open too long, a Web-API
// key the register no longer takes) are dealt with here; the sale itself is never re-sent by the
// driver, the cashier repeats CloseCheck.
#include <cstring>
#include <string>

#include "addin/component.h"
#include "addin/host_values.h"

namespace {

constexpr char16_t kLongShiftQuestion[] =
    u"Смена на кассовом аппарате отрыта более 24 часов. Закрыть смену сейчас?(не рекомендуется)";
constexpr char16_t kZReportNotice[] = u"Z-Отчет напечатался?";
constexpr char16_t kKeyRenewedSource[] = u"Повторите операцию. Получен и записан новый ключ ";
constexpr char16_t kKeyNotStoredSource[] = u"Не могу записать новый ключ см настройки tavix";
constexpr char16_t kLoginRefusedText[] = u"АДМИНИСТРАТОРА";

struct Payments {
  double total;
  double cash;
  double bank;
  double credit;
  double tara;
};

// The receipt as the sale request carries it: this call's payments and the item array closed.
// Whatever the register answers, the receipt is afterwards exactly as it was, so the cashier's
// repeated CloseCheck (which the driver itself asks for after a key renewal) sends the same
// items, closed once.
class ReceiptClosedForSending {
 public:
  ReceiptClosedForSending(ReceiptState& receipt, const Payments& payments)
      : receipt_(receipt),
        before_{receipt.total, receipt.cash, receipt.bank, receipt.credit, receipt.tara} {
    receipt_.itemData += ']';
    set(payments);
  }
  ~ReceiptClosedForSending() {
    receipt_.itemData.pop_back();
    set(before_);
  }
  ReceiptClosedForSending(const ReceiptClosedForSending&) = delete;
  ReceiptClosedForSending& operator=(const ReceiptClosedForSending&) = delete;

 private:
  void set(const Payments& payments) {
    receipt_.total = payments.total;
    receipt_.cash = payments.cash;
    receipt_.bank = payments.bank;
    receipt_.credit = payments.credit;
    receipt_.tara = payments.tara;
  }

  ReceiptState& receipt_;
  const Payments before_;
};

// Only the cashier may close a shift: a Z report cannot be undone. No message box, a failed
// dialog or no answer counts as no.
bool cashierAgrees(IMsgBox* box, const char16_t* question) {
  if (box == nullptr) return false;
  tVariant answer;
  std::memset(&answer, 0, sizeof answer);
  answer.vt = VTYPE_BOOL;
  return box->Confirm(question, &answer) && variantToFlag(answer);
}

// The register refuses sales in a shift open for more than 24 hours until it is closed.
void offerToCloseShift(Tavixfr& driver) {
  IMsgBox* box = driver.messageBox();
  if (!cashierAgrees(box, kLongShiftQuestion)) return;
  driver.worker->sendKeyed("/apizreport");
  // A new shift has a new number; the next OpenCheck asks for it.
  driver.shiftId = -1;
  if (box != nullptr) box->Alert(kZReportNotice);
}

bool keyRejected(const std::string& code) {
  return code == "incorrect-web-api-key" || code == "old-web-api-key";
}

// A new key from the administrator's code and password. The register's texts need not be UTF-8;
// a bad byte is shown as U+FFFD rather than losing the message.
void renewKey(Tavixfr& driver) {
  httpWorker& worker = *driver.worker;
  if (!worker.requestApiKey()) {
    driver.report(utf8ToWideLenient(worker.settings.errorBody), kLoginRefusedText);
    return;
  }
  const bool stored = driver.storeApiKey(worker.settings.key);
  driver.report(stored ? kKeyRenewedSource : kKeyNotStoredSource,
                utf8ToWideLenient(worker.settings.errorBody));
}

}  // namespace

bool Tavixfr::closeCheck(tVariant* result, tVariant* cash, tVariant* bank, tVariant* credit,
                         tVariant* tara) {
  if (result == nullptr) return true;
  ReceiptState& receipt = worker->receipt;
  // No receipt is open (never opened, already closed, or non-fiscal): nothing to register.
  if (!receipt.fiscal) {
    returnBool(result, true);
    return true;
  }

  const Payments payments{checkTotal, variantToDouble(*cash), variantToDouble(*bank),
                          variantToDouble(*credit), variantToDouble(*tara)};
  bool accepted;
  {
    const ReceiptClosedForSending closed(receipt, payments);
    accepted = worker->sendSale();
  }

  if (accepted) {
    // The register has registered the sale. A renewed key the profile would not keep is no
    // reason to make the cashier sell it again: storeApiKey has said so, and the worker and the
    // component keep the key for this session.
    storeApiKey(worker->settings.key);
    resetReceipt();
    returnBool(result, true);
    return true;
  }

  if (worker->settings.errorHead == "shift-gt-24h") offerToCloseShift(*this);
  // After a Z report it is that report's answer that tells whether the key still holds.
  if (keyRejected(worker->settings.errorHead)) renewKey(*this);
  returnBool(result, false);
  return true;
}

bool Tavixfr::cancelCheck(tVariant* result) {
  if (result == nullptr) return true;
  resetReceipt();
  returnBool(result, true);
  return true;
}
