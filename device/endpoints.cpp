// The register's Web API as the driver uses it: the form body of each path, and what the driver
// reads from the replies. Values go raw, unescaped: the register reads them that way.
#include <cjson/cJSON.h>

#include <cmath>
#include <cstdint>
#include <cstring>

#include "device/http_worker.h"
#include "device/number_format.h"

namespace {

enum class Accept { StringOnly, StringOrNumber };

// One top-level member of a JSON text, as text; "found" false when it is missing, of another
// type, or the text is no JSON object.
bool jsonMember(const std::string& source, const std::string& name, Accept accept,
                std::string& value) {
  const std::string text(source.c_str());  // the reply up to its first NUL byte
  cJSON* root = cJSON_ParseWithOpts(text.c_str(), nullptr, 0);
  if (root == nullptr) return false;
  bool found = false;
  if (cJSON_IsObject(root)) {
    const cJSON* member = cJSON_GetObjectItemCaseSensitive(root, name.c_str());
    if (cJSON_IsString(member) && member->valuestring != nullptr) {
      value = member->valuestring;
      found = true;
    } else if (accept == Accept::StringOrNumber && cJSON_IsNumber(member)) {
      value = formatInteger(member->valueint);
      found = true;
    }
  }
  cJSON_Delete(root);
  return found;
}

// After an accepted sale, key request or cash document the register may hand out a new key as
// the reply body. A body that is no positive number, or one beyond 32 bits, leaves the key.
void renewKeyFrom(const std::string& body, int32_t& key) {
  int32_t offered = 0;
  if (leadingKey(body, offered) && offered >= 1) key = offered;
}

}  // namespace

bool httpWorker::sendSale() {
  std::string body = "key=" + formatInteger(settings.key);
  if (receipt.total != 0) {
    if (!settings.multiTax) body += "&tax=" + formatInteger(receipt.taxCode);
    body += receipt.saleReturn ? "&saleReturn=" : "&sale=";
    body += formatAmount(receipt.total);
  }
  if (receipt.cash != 0) body += "&cash=" + formatAmount(receipt.cash);
  if (receipt.bank != 0) body += "&bank=" + formatAmount(receipt.bank);
  if (receipt.tara != 0) body += "&tara=" + formatAmount(receipt.tara);
  if (receipt.credit != 0) body += "&credit=" + formatAmount(receipt.credit);
  if (!receipt.itemData.empty()) body += "&itemdata=" + receipt.itemData;
  if (!receipt.printText.empty()) body += "&print=" + receipt.printText;

  const bool accepted = sendRequest(body, "/api", Connection::Fresh);
  if (accepted) renewKeyFrom(settings.errorBody, settings.key);
  return accepted;
}

bool httpWorker::requestApiKey() {
  const std::string body = "login=" + formatInteger(settings.login) +
                           "&password=" + formatInteger(settings.password) + "&getApiKey = true";
  // The register issues a new key for each login: a resent login must not change it behind the
  // driver's back (libcurl also drops the bare "?" from a resent path).
  const bool accepted = sendRequest(body, "/dolog?", Connection::Fresh);
  if (accepted) {
    renewKeyFrom(settings.errorBody, settings.key);
  } else {
    // The register explains a refused login in the body; that explanation is the error now.
    settings.errorHead = settings.errorBody;
  }
  return accepted;
}

bool httpWorker::sendKeyed(const std::string& path) {
  std::string body = "key=" + formatInteger(settings.key);
  if (!receipt.printText.empty()) body += "&print=" + receipt.printText;
  return sendRequest(body, path);
}

bool httpWorker::sendKeyedPrint(const std::string& path, const std::string& printText) {
  std::string body = "key=" + formatInteger(settings.key);
  if (!printText.empty()) body += "&print=" + printText;
  return sendRequest(body, path);
}

std::string httpWorker::getInfoMinimum(const std::string& name) {
  std::string value;
  if (sendRequest("&key=" + formatInteger(settings.key), "/apicheck/getInfo?show=minimum") &&
      jsonMember(settings.errorBody, name, Accept::StringOnly, value))
    return value;
  return "0";
}

std::string httpWorker::getInfo(const std::string& name) {
  std::string value;
  if (sendKeyed("/apicheck/getInfo") &&
      jsonMember(settings.errorBody, name, Accept::StringOrNumber, value))
    return value;
  return "0";
}

bool httpWorker::loadTaxTable() {
  if (!sendKeyed("/dump/table/taxesbycode")) return false;
  // A table cut short is no table: the one the receipts use stays.
  if (!replyBodyWhole_) return false;
  settings.taxMap = settings.errorBody;
  return true;
}

std::string httpWorker::taxIdForRate(double rate) const {
  // The lines of a receipt mostly share a rate and the map changes only between shifts, so the
  // last lookup is kept; reading the map's JSON again for every line cost a fifth of the line.
  TaxIdLookup& last = lastTaxIdLookup_;
  uint64_t rateBits;  // -0 and 0 are written differently, so they are different keys
  std::memcpy(&rateBits, &rate, sizeof rateBits);
  if (!last.valid || last.rateBits != rateBits || last.taxMap != settings.taxMap) {
    last.valid = true;
    last.rateBits = rateBits;
    last.taxMap = settings.taxMap;
    last.taxId.clear();
    last.found = jsonMember(settings.taxMap, formatAmount(rate), Accept::StringOnly, last.taxId);
  }
  if (last.found) return last.taxId;
  return formatInteger(receipt.taxCode);
}

bool httpWorker::sendCashInOut() {
  std::string path = "/apideposit";
  if (receipt.cashAmount < 0) {
    receipt.cashAmount = std::fabs(receipt.cashAmount);
    path = "/apiwithdraw";
  }
  const std::string body =
      "key=" + formatInteger(settings.key) + "&cash=" + formatAmount(receipt.cashAmount);
  const bool accepted = sendRequest(body, path, Connection::Fresh);
  if (accepted) renewKeyFrom(settings.errorBody, settings.key);
  return accepted;
}
