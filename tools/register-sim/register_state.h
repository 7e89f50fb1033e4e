// The register behind its Web API: its key, shift, receipts and cash drawer, and the answer
// each path gives. It knows nothing of sockets; the server hands it one request at a time.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <random>
#include <set>
#include <string>

#include "fault_injector.h"
#include "options.h"
#include "tape.h"

namespace sim {

struct Request {
  std::string method;  // "POST"
  std::string target;  // the path with its query: "/apicheck/getInfo?show=minimum"
  std::string body;
  std::string peer;  // the client's address, for the host lock
};

enum class Delivery {
  Whole,     // the reply as it is
  Drop,      // no reply: the connection is closed
  BreakOff,  // the reply broken off in its body (or status line), then the connection closed
};

struct Reply {
  int status = 200;
  std::string reason = "OK";  // the register names its error codes here
  std::string body;
  std::string contentType = "text/plain; charset=utf-8";
  Delivery delivery = Delivery::Whole;
  std::string note;  // what the register made of it, for the request log
};

class Register {
 public:
  using Clock = std::chrono::system_clock;

  Register(const Options& options, Tape& tape);

  Reply handle(const Request& request);

  int32_t key() const { return key_; }
  int shiftNumber() const { return shift_; }
  bool shiftOpen() const { return shiftOpenedAt_.has_value(); }
  int lastReceipt() const { return lastReceipt_; }
  double cashInDrawer() const { return cashInDrawer_; }

 private:
  struct ShiftTotals {
    int sales = 0, returns = 0;
    double salesSum = 0, returnsSum = 0, deposits = 0, withdrawals = 0;
  };

  Reply route(const Request& request, const std::string& path, const std::string& query);
  std::optional<Reply> refuseKey(const Request& request);
  std::optional<Reply> refuseLongShift() const;

  Reply login(const Request& request);
  Reply check();
  Reply shortInfo() const;
  Reply fullInfo() const;
  Reply taxTable() const;
  Reply sale(const Request& request);
  Reply shiftReport(bool closesShift);
  Reply cashDocument(const Request& request, bool deposit);
  Reply print(const Request& request);
  Reply disableWebManagement();
  Reply lockHost(const Request& request);

  int32_t issueKey();
  // A key handed out with an accepted document, when the register is set to renew keys.
  std::string renewedKeyBody();
  bool knownTaxId(const std::string& id) const;
  void openShiftIfClosed();
  std::string now() const;

  const Options& options_;
  Tape& tape_;
  FaultInjector faults_;
  int32_t key_;
  std::set<int32_t> formerKeys_;
  std::optional<int32_t> nextIssuedKey_;
  std::mt19937 random_;
  int shift_;
  std::optional<Clock::time_point> shiftOpenedAt_;
  ShiftTotals totals_;
  int lastReceipt_;
  double cashInDrawer_ = 0;
  bool webManagement_ = true;
  std::string lockedHost_;
};

}  // namespace sim
