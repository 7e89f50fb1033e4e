// What a person starting the simulator can choose: the register's identity and secrets, the
// state its shift is in, a fault to inject, the tape's width, and how long it may run.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

namespace sim {

// How a key that is not the current one is turned away.
enum class WrongKeyReply {
  Incorrect,  // always "incorrect-web-api-key"
  Old,        // always "old-web-api-key"
  ByHistory,  // "old-web-api-key" for a key this register handed out before, else "incorrect-..."
};

enum class FaultKind {
  None,
  Refuse,         // read the request, then drop the connection without a word
  CloseMidReply,  // carry the request out, then break the reply off in its body or status line
  Code,           // turn the request away with status 400 and a chosen reason phrase
};

struct FaultPlan {
  FaultKind kind = FaultKind::None;
  std::string phrase;         // the reason phrase for FaultKind::Code
  std::string path = "/api";  // the path it strikes; empty means every request
  int64_t times = -1;         // how many requests it strikes; -1 means all of them
};

struct Options {
  std::string listen = "127.0.0.1";
  int32_t key = 60418253;
  int32_t login = 166;
  int32_t password = 1;
  std::optional<int32_t> firstIssuedKey;  // otherwise keys are drawn at random
  WrongKeyReply wrongKeyReply = WrongKeyReply::Incorrect;
  bool renewKeyOnDocuments = false;  // a new key in the body of every sale and cash document
  int32_t firmware = 102305;
  bool firmwareAsText = false;
  std::string taxTable = R"({"20":"1","10":"2","0":"3"})";
  int32_t shiftNumber = 1;
  int32_t lastReceipt = 0;
  bool oldShift = false;
  FaultPlan fault;
  int lineLength = 24;
  bool quiet = false;
  int64_t maxRequests = -1;       // -1: no bound
  int64_t exitAfterSeconds = -1;  // -1: no bound
  std::string readyFile;
};

enum class ParseOutcome { Run, Help, BadUsage };

// Reads the command line into `options`; a complaint about a bad option goes to `errors`.
ParseOutcome parseOptions(int argc, char** argv, Options& options, std::ostream& errors);

void printUsage(std::ostream& out, const char* program);

}  // namespace sim
