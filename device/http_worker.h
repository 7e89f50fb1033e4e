// The driver's client of the register's Web API: the settings every request needs, the receipt
// being collected, the texts of the last reply, and the one HTTP exchange everything goes through.
#pragma once

#include <cstdint>
#include <string>

#include <curl/curl.h>

struct WorkerSettings {
  std::string ip;
  int32_t key;
  int32_t login;
  int32_t password;
  int32_t lineLength;
  bool noFiskal;
  bool multiTax;
  std::string taxMap;
  std::string errorBody;  // body of the last reply, or the detail text of a failed exchange
  std::string errorHead;  // reason phrase of the last reply: the register names its error there

  WorkerSettings();
};

struct ReceiptState {
  bool saleReturn;
  bool fiscal;
  double total;
  double cash;
  double bank;
  double tara;
  double credit;
  std::string printText;
  std::string itemData;
  double cashAmount;
  int32_t taxCode;

  ReceiptState();
};

class httpWorker {
 public:
  httpWorker();
  virtual ~httpWorker();
  httpWorker(const httpWorker&) = delete;
  httpWorker& operator=(const httpWorker&) = delete;

  // Whether a request may travel on a connection kept from an earlier exchange. libcurl silently
  // sends a request again when a kept connection breaks before the reply's first byte; for a
  // sale or a cash document the register may already have registered, that would register it
  // twice. Such requests go on a fresh connection, which libcurl never resends.
  enum class Connection { MayReuse, Fresh };

  // One POST of `body` to the register's `path` on port 8080. True only for status 200; always
  // replaces errorHead and errorBody.
  bool sendRequest(const std::string& body, const std::string& path,
                   Connection connection = Connection::MayReuse);

  // The register's endpoints (endpoints.cpp).
  bool sendSale();
  bool requestApiKey();
  bool sendKeyed(const std::string& path);
  // A keyed request that prints `printText` alone, whatever the receipt's print text holds: a
  // slip line or the drawer command is printed once and does not travel with later requests.
  bool sendKeyedPrint(const std::string& path, const std::string& printText);
  std::string getInfoMinimum(const std::string& name);
  std::string getInfo(const std::string& name);
  bool loadTaxTable();
  std::string taxIdForRate(double rate) const;
  bool sendCashInOut();

  // What GetLastError tells the cashier about errorHead, as UTF-8 (register_errors.cpp).
  std::string lastErrorMessage() const;

  CURL* curlHandle;
  bool curlReady;
  WorkerSettings settings;
  ReceiptState receipt;

 private:
  // False after a reply of 200 whose body broke off: the register carried the request out, but
  // nothing may be taken from the part of the body that came.
  bool replyBodyWhole_ = true;

  struct TaxIdLookup {
    bool valid = false;
    uint64_t rateBits = 0;
    std::string taxMap;
    bool found = false;
    std::string taxId;
  };
  mutable TaxIdLookup lastTaxIdLookup_;
};

// The reason phrase of the final status line of a reply head, interim 1xx replies skipped;
// empty when the head holds no status line.
std::string reasonPhraseOf(const std::string& head);
