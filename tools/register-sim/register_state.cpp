#include "register_state.h"

#include <cjson/cJSON.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <utility>
#include <vector>

#include "form_body.h"

namespace sim {

namespace {

constexpr auto kLongShift = std::chrono::hours(24);
const char kJson[] = "application/json; charset=utf-8";

Reply refusal(const std::string& phrase, const std::string& body, const std::string& note = "") {
  Reply reply;
  reply.status = 400;
  reply.reason = phrase;
  reply.body = body;
  reply.note = note;
  return reply;
}

Reply accepted(const std::string& note, const std::string& body = "") {
  Reply reply;
  reply.body = body;
  reply.note = note;
  return reply;
}

using JsonTree = std::unique_ptr<cJSON, decltype(&cJSON_Delete)>;

std::string printed(const JsonTree& tree) {
  char* text = cJSON_PrintUnformatted(tree.get());
  std::string result = text != nullptr ? text : "{}";
  cJSON_free(text);
  return result;
}

std::optional<double> optionalAmount(const std::optional<std::string>& field, bool& good) {
  if (!field) return 0.0;
  const auto value = parseAmount(*field);
  if (!value) good = false;
  return value;
}

std::string amountText(double amount) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%g", amount);
  return buffer;
}

}  // namespace

Register::Register(const Options& options, Tape& tape)
    : options_(options),
      tape_(tape),
      faults_(options.fault),
      key_(options.key),
      nextIssuedKey_(options.firstIssuedKey),
      random_(std::random_device{}()),
      shift_(options.shiftNumber),
      lastReceipt_(options.lastReceipt) {
  // The register starts with a shift open: opened just now, or more than a day ago.
  shiftOpenedAt_ = Clock::now() -
                   (options.oldShift ? kLongShift + std::chrono::hours(1) : std::chrono::hours(0));
}

Reply Register::handle(const Request& request) {
  const size_t question = request.target.find('?');
  const std::string path = request.target.substr(0, question);
  const std::string query =
      question == std::string::npos ? "" : request.target.substr(question + 1);

  if (request.method != "POST") {
    Reply wrongMethod = refusal("method-not-allowed", "The Web API takes POST requests.");
    wrongMethod.status = 405;
    return wrongMethod;
  }
  if (!lockedHost_.empty() && request.peer != lockedHost_)
    return refusal("host-locked", "Доступ ограничен адресом " + lockedHost_);

  switch (faults_.strike(request.target)) {
    case FaultKind::Refuse: {
      Reply dropped;
      dropped.delivery = Delivery::Drop;
      dropped.note = "fault: dropped unanswered";
      return dropped;
    }
    case FaultKind::Code:
      return refusal(faults_.phrase(), "", "fault: " + faults_.phrase());
    case FaultKind::CloseMidReply: {
      Reply reply = route(request, path, query);
      reply.delivery = Delivery::BreakOff;
      reply.note += reply.note.empty() ? "fault: reply broken off" : "; fault: reply broken off";
      return reply;
    }
    case FaultKind::None:
      break;
  }
  return route(request, path, query);
}

Reply Register::route(const Request& request, const std::string& path, const std::string& query) {
  if (path == "/dolog") return login(request);

  const bool known =
      (path == "/apicheck" && query.empty()) || path == "/apicheck/getInfo" ||
      (path == "/apicheck/" && (query == "disableWebMgmt=true" || query == "lockhost=true")) ||
      path == "/dump/table/taxesbycode" || path == "/api" || path == "/apixreport" ||
      path == "/apizreport" || path == "/apideposit" || path == "/apiwithdraw" ||
      path == "/apiprint";
  if (!known) {
    Reply missing = refusal("not-found", "No such path on this register.");
    missing.status = 404;
    return missing;
  }
  if (auto refused = refuseKey(request)) return *refused;

  Reply reply;
  if (path == "/apicheck") {
    reply = check();
  } else if (path == "/apicheck/getInfo") {
    if (query == "show=minimum")
      reply = shortInfo();
    else
      reply = fullInfo();
  } else if (path == "/apicheck/") {
    reply = query == "lockhost=true" ? lockHost(request) : disableWebManagement();
  } else if (path == "/dump/table/taxesbycode") {
    reply = taxTable();
  } else if (path == "/api") {
    reply = sale(request);
  } else if (path == "/apixreport" || path == "/apizreport") {
    reply = shiftReport(path == "/apizreport");
  } else if (path == "/apideposit" || path == "/apiwithdraw") {
    reply = cashDocument(request, path == "/apideposit");
  } else {
    reply = print(request);
  }

  // The driver repeats a receipt's or a slip's print text with later keyed requests; the
  // register prints it only for a sale or a print request. The log shows that it came.
  const std::string ridingText = printTextOf(request.body);
  if (!ridingText.empty() && path != "/api" && path != "/apiprint") {
    if (!reply.note.empty()) reply.note += "; ";
    reply.note += "print text ignored (" + std::to_string(ridingText.size()) + " bytes)";
  }
  return reply;
}

std::optional<Reply> Register::refuseKey(const Request& request) {
  const std::string given = keyOf(request.body);
  if (given == std::to_string(key_)) return std::nullopt;
  bool former = false;
  if (!given.empty() && given.size() <= 11) {
    const long long number = std::strtoll(given.c_str(), nullptr, 10);
    former = std::to_string(number) == given && formerKeys_.count(static_cast<int32_t>(number));
  }
  const bool old = options_.wrongKeyReply == WrongKeyReply::Old ||
                   (options_.wrongKeyReply == WrongKeyReply::ByHistory && former);
  return refusal(old ? "old-web-api-key" : "incorrect-web-api-key", "Неверный ключ Web API",
                 given.empty() ? "no key" : "wrong key " + given);
}

std::optional<Reply> Register::refuseLongShift() const {
  if (!shiftOpenedAt_ || Clock::now() - *shiftOpenedAt_ <= kLongShift) return std::nullopt;
  return refusal("shift-gt-24h", "Смена открыта более 24 часов, закройте её Z-отчетом",
                 "shift open more than 24 hours");
}

Reply Register::login(const Request& request) {
  const auto login = simpleField(request.body, "login");
  const auto password = simpleField(request.body, "password");
  if (!login || !password || *login != std::to_string(options_.login) ||
      *password != std::to_string(options_.password))
    return refusal("incorrect-login-or-password", "Неверный код или пароль администратора",
                   "administrator login refused");
  if (simpleField(request.body, "getApiKey") != std::optional<std::string>("true"))
    return refusal("no-api-key-asked", "Ключ не запрошен: нужно getApiKey = true",
                   "login without getApiKey");
  const int32_t issued = issueKey();
  return accepted("new key " + std::to_string(issued), std::to_string(issued));
}

Reply Register::check() {
  Reply reply = accepted("last receipt " + std::to_string(lastReceipt_));
  reply.reason = std::to_string(lastReceipt_);  // the driver numbers the next receipt from it
  return reply;
}

Reply Register::shortInfo() const {
  JsonTree info(cJSON_CreateObject(), cJSON_Delete);
  cJSON_AddStringToObject(info.get(), "currentShiftID", std::to_string(shift_).c_str());
  cJSON_AddStringToObject(info.get(), "currentShiftStatus", shiftOpen() ? "opened" : "closed");
  cJSON_AddStringToObject(info.get(), "terminalDateTime", now().c_str());
  Reply reply = accepted("shift " + std::to_string(shift_), printed(info));
  reply.contentType = kJson;
  return reply;
}

Reply Register::fullInfo() const {
  JsonTree info(cJSON_CreateObject(), cJSON_Delete);
  if (options_.firmwareAsText)
    cJSON_AddStringToObject(info.get(), "applicationVersion",
                            std::to_string(options_.firmware).c_str());
  else
    cJSON_AddNumberToObject(info.get(), "applicationVersion", options_.firmware);
  cJSON_AddStringToObject(info.get(), "serialNumber", "TVX-SIM-0001");
  cJSON_AddStringToObject(info.get(), "currentShiftID", std::to_string(shift_).c_str());
  cJSON_AddStringToObject(info.get(), "currentShiftStatus", shiftOpen() ? "opened" : "closed");
  cJSON_AddStringToObject(info.get(), "terminalDateTime", now().c_str());
  cJSON_AddStringToObject(info.get(), "lastReceiptNumber", std::to_string(lastReceipt_).c_str());
  cJSON_AddStringToObject(info.get(), "printerLineLength",
                          std::to_string(options_.lineLength).c_str());
  cJSON_AddStringToObject(info.get(), "webManagement", webManagement_ ? "enabled" : "disabled");
  cJSON_AddStringToObject(info.get(), "lockedHost", lockedHost_.c_str());
  Reply reply = accepted("firmware " + std::to_string(options_.firmware), printed(info));
  reply.contentType = kJson;
  return reply;
}

Reply Register::taxTable() const {
  Reply reply = accepted("tax table", options_.taxTable);
  reply.contentType = kJson;
  return reply;
}

Reply Register::sale(const Request& request) {
  if (auto refused = refuseLongShift()) return *refused;
  const auto form = parseSaleForm(request.body);
  if (!form)
    return refusal("bad-request-form", "Поля запроса не в том порядке или неизвестны",
                   "sale form not understood");

  bool amountsGood = true;
  const auto total = optionalAmount(form->amount, amountsGood);
  const auto cash = optionalAmount(form->cash, amountsGood);
  const auto bank = optionalAmount(form->bank, amountsGood);
  const auto tara = optionalAmount(form->tara, amountsGood);
  const auto credit = optionalAmount(form->credit, amountsGood);
  if (!amountsGood) return refusal("bad-amount", "Сумма не число", "an amount is no number");
  if (form->tax && !knownTaxId(*form->tax))
    return refusal("tax-invlid-num", "Нет такого кода налога: " + *form->tax,
                   "unknown tax " + *form->tax);

  std::vector<Item> items;
  if (form->itemData) {
    auto parsed = parseItemArray(*form->itemData);
    if (!parsed)
      return refusal("incorrect-itemdata", "Список позиций не читается",
                     "item array not understood: " + form->itemData->substr(0, 60));
    items = std::move(*parsed);
  }
  for (const Item& item : items)
    if (!knownTaxId(item.taxId))
      return refusal("tax-invlid-num", "Нет такого кода налога: " + item.taxId,
                     "unknown item tax id " + item.taxId);

  openShiftIfClosed();
  ++lastReceipt_;
  ReceiptDocument receipt;
  receipt.isReturn = form->isReturn;
  receipt.number = lastReceipt_;
  receipt.shift = shift_;
  receipt.printText = form->print.value_or("");
  receipt.items = items;
  receipt.total = *total;
  receipt.cash = *cash;
  receipt.bank = *bank;
  receipt.tara = *tara;
  receipt.credit = *credit;
  const double paid = *cash + *bank + *tara + *credit;
  if (!form->isReturn) receipt.change = std::min(*cash, std::max(0.0, paid - *total));
  receipt.dateTime = now();

  if (form->isReturn) {
    ++totals_.returns;
    totals_.returnsSum += *total;
    cashInDrawer_ -= *cash;
  } else {
    ++totals_.sales;
    totals_.salesSum += *total;
    cashInDrawer_ += *cash - receipt.change;
  }
  tape_.receipt(receipt);

  std::string note = std::string(form->isReturn ? "return " : "sale ") + amountText(*total) + ", " +
                     std::to_string(items.size()) + " items, receipt " +
                     std::to_string(lastReceipt_);
  double itemsSum = 0;
  for (const Item& item : items) itemsSum += item.sum;
  if (std::fabs(itemsSum - *total) > 0.005)
    note += "; items add up to " + amountText(itemsSum) + ", not the total";
  if (paid + 0.005 < *total) note += "; paid " + amountText(paid) + ", short of the total";
  return accepted(note, renewedKeyBody());
}

Reply Register::shiftReport(bool closesShift) {
  if (closesShift && !shiftOpen())
    return refusal("shift-closed", "Смена уже закрыта", "Z report on a closed shift");
  ShiftReportDocument report;
  report.closesShift = closesShift;
  report.shift = shift_;
  report.sales = totals_.sales;
  report.returns = totals_.returns;
  report.salesSum = totals_.salesSum;
  report.returnsSum = totals_.returnsSum;
  report.deposits = totals_.deposits;
  report.withdrawals = totals_.withdrawals;
  report.cashInDrawer = cashInDrawer_;
  report.dateTime = now();
  tape_.report(report);

  const std::string note =
      std::string(closesShift ? "Z report, shift " : "X report, shift ") + std::to_string(shift_);
  if (closesShift) {
    // The next shift opens with the next fiscal document.
    shiftOpenedAt_.reset();
    totals_ = ShiftTotals();
    ++shift_;
  }
  return accepted(note);
}

Reply Register::cashDocument(const Request& request, bool deposit) {
  if (auto refused = refuseLongShift()) return *refused;
  const auto field = simpleField(request.body, "cash");
  const auto amount = field ? parseAmount(*field) : std::nullopt;
  if (!amount || *amount < 0)
    return refusal("bad-amount", "Сумма не число", "cash= missing or bad");

  openShiftIfClosed();
  if (deposit) {
    totals_.deposits += *amount;
    cashInDrawer_ += *amount;
  } else {
    totals_.withdrawals += *amount;
    cashInDrawer_ -= *amount;
  }
  CashDocument document;
  document.deposit = deposit;
  document.shift = shift_;
  document.amount = *amount;
  document.cashInDrawer = cashInDrawer_;
  document.dateTime = now();
  tape_.cash(document);

  std::string note = std::string(deposit ? "deposit " : "withdrawal ") + amountText(*amount);
  if (cashInDrawer_ < 0) note += "; the drawer holds less than nothing";
  return accepted(note, renewedKeyBody());
}

Reply Register::print(const Request& request) {
  const std::string text = printTextOf(request.body);
  if (text.empty()) return accepted("nothing to print");
  if (text == "--open-cash--") {
    tape_.drawerOpened();
    return accepted("cash drawer opened");
  }
  tape_.slipLine(text);
  return accepted("slip line");
}

Reply Register::disableWebManagement() {
  webManagement_ = false;
  return accepted("web management disabled", "Web-интерфейс выключен");
}

Reply Register::lockHost(const Request& request) {
  lockedHost_ = request.peer;
  return accepted("locked to " + request.peer, "Доступ ограничен адресом " + request.peer);
}

int32_t Register::issueKey() {
  int32_t issued = 0;
  do {
    if (nextIssuedKey_) {
      issued = *nextIssuedKey_;
      nextIssuedKey_ = issued == INT32_MAX ? 1 : issued + 1;
    } else {
      issued = std::uniform_int_distribution<int32_t>(10000000, 99999999)(random_);
    }
  } while (issued == key_);
  formerKeys_.insert(key_);
  key_ = issued;
  return issued;
}

std::string Register::renewedKeyBody() {
  if (!options_.renewKeyOnDocuments) return "";
  return std::to_string(issueKey());
}

bool Register::knownTaxId(const std::string& id) const {
  JsonTree table(cJSON_Parse(options_.taxTable.c_str()), cJSON_Delete);
  for (const cJSON* entry = table ? table->child : nullptr; entry != nullptr; entry = entry->next) {
    if (cJSON_IsString(entry) && entry->valuestring != nullptr && id == entry->valuestring)
      return true;
    if (cJSON_IsNumber(entry) && id == std::to_string(entry->valueint)) return true;
  }
  return false;
}

void Register::openShiftIfClosed() {
  if (!shiftOpenedAt_) shiftOpenedAt_ = Clock::now();
}

std::string Register::now() const {
  const std::time_t seconds = Clock::to_time_t(Clock::now());
  std::tm local{};
  localtime_r(&seconds, &local);
  char buffer[32];
  std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", &local);
  return buffer;
}

}  // namespace sim
