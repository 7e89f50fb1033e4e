#include "options.h"

#include <cjson/cJSON.h>
#include <getopt.h>

#include <cerrno>
#include <cstdlib>

namespace sim {

namespace {

enum OptionId {
  kListen = 1000,
  kKey,
  kLogin,
  kPassword,
  kIssueKey,
  kWrongKeyReply,
  kRenewKey,
  kFirmware,
  kFirmwareAsText,
  kTaxTable,
  kShift,
  kLastReceipt,
  kOldShift,
  kFault,
  kFaultOn,
  kFaultTimes,
  kLineLength,
  kQuiet,
  kMaxRequests,
  kExitAfterSeconds,
  kReadyFile,
  kHelp,
};

const option kLongOptions[] = {
    {"listen", required_argument, nullptr, kListen},
    {"key", required_argument, nullptr, kKey},
    {"login", required_argument, nullptr, kLogin},
    {"password", required_argument, nullptr, kPassword},
    {"issue-key", required_argument, nullptr, kIssueKey},
    {"wrong-key-reply", required_argument, nullptr, kWrongKeyReply},
    {"renew-key", no_argument, nullptr, kRenewKey},
    {"firmware", required_argument, nullptr, kFirmware},
    {"firmware-as-text", no_argument, nullptr, kFirmwareAsText},
    {"tax-table", required_argument, nullptr, kTaxTable},
    {"shift", required_argument, nullptr, kShift},
    {"last-receipt", required_argument, nullptr, kLastReceipt},
    {"old-shift", no_argument, nullptr, kOldShift},
    {"fault", required_argument, nullptr, kFault},
    {"fault-on", required_argument, nullptr, kFaultOn},
    {"fault-times", required_argument, nullptr, kFaultTimes},
    {"line-length", required_argument, nullptr, kLineLength},
    {"quiet", no_argument, nullptr, kQuiet},
    {"max-requests", required_argument, nullptr, kMaxRequests},
    {"exit-after-seconds", required_argument, nullptr, kExitAfterSeconds},
    {"ready-file", required_argument, nullptr, kReadyFile},
    {"help", no_argument, nullptr, kHelp},
    {nullptr, 0, nullptr, 0},
};

bool readInteger(const char* text, int64_t lowest, int64_t highest, int64_t& value) {
  if (text == nullptr || *text == '\0') return false;
  errno = 0;
  char* end = nullptr;
  const long long number = std::strtoll(text, &end, 10);
  if (errno != 0 || *end != '\0' || number < lowest || number > highest) return false;
  value = number;
  return true;
}

// Keys, codes and numbers the driver writes as 32-bit decimals.
bool readInt32(const char* text, int64_t lowest, int32_t& value) {
  int64_t number = 0;
  if (!readInteger(text, lowest, INT32_MAX, number)) return false;
  value = static_cast<int32_t>(number);
  return true;
}

// The register's tax table is an object of rate -> tax id; the ids may be strings or numbers.
bool isTaxTable(const std::string& text) {
  cJSON* root = cJSON_Parse(text.c_str());
  bool fits = cJSON_IsObject(root);
  for (const cJSON* entry = fits ? root->child : nullptr; entry != nullptr; entry = entry->next)
    fits = fits && (cJSON_IsString(entry) || cJSON_IsNumber(entry));
  cJSON_Delete(root);
  return fits;
}

bool readFault(const std::string& text, FaultPlan& fault) {
  static const std::string kCodePrefix = "code:";
  if (text == "refuse") {
    fault.kind = FaultKind::Refuse;
  } else if (text == "close-mid-reply") {
    fault.kind = FaultKind::CloseMidReply;
  } else if (text.compare(0, kCodePrefix.size(), kCodePrefix) == 0 &&
             text.size() > kCodePrefix.size()) {
    fault.kind = FaultKind::Code;
    fault.phrase = text.substr(kCodePrefix.size());
    // A reason phrase ends at the line end; one inside it would forge header lines.
    if (fault.phrase.find_first_of("\r\n") != std::string::npos) return false;
  } else {
    return false;
  }
  return true;
}

bool readWrongKeyReply(const std::string& text, WrongKeyReply& reply) {
  if (text == "incorrect") {
    reply = WrongKeyReply::Incorrect;
  } else if (text == "old") {
    reply = WrongKeyReply::Old;
  } else if (text == "by-history") {
    reply = WrongKeyReply::ByHistory;
  } else {
    return false;
  }
  return true;
}

}  // namespace

ParseOutcome parseOptions(int argc, char** argv, Options& options, std::ostream& errors) {
  optind = 0;  // a fresh scan, also when called more than once in a process
  opterr = 0;
  for (;;) {
    int index = 0;
    const int id = getopt_long(argc, argv, "", kLongOptions, &index);
    if (id == -1) break;
    const char* value = optarg;
    bool good = true;
    int64_t number = 0;
    switch (id) {
      case kListen:
        options.listen = value;
        break;
      case kKey:
        good = readInt32(value, 1, options.key);
        break;
      case kLogin:
        good = readInt32(value, INT32_MIN, options.login);
        break;
      case kPassword:
        good = readInt32(value, INT32_MIN, options.password);
        break;
      case kIssueKey: {
        int32_t first = 0;
        good = readInt32(value, 1, first);
        options.firstIssuedKey = first;
        break;
      }
      case kWrongKeyReply:
        good = readWrongKeyReply(value, options.wrongKeyReply);
        break;
      case kRenewKey:
        options.renewKeyOnDocuments = true;
        break;
      case kFirmware:
        good = readInt32(value, 0, options.firmware);
        break;
      case kFirmwareAsText:
        options.firmwareAsText = true;
        break;
      case kTaxTable:
        options.taxTable = value;
        good = isTaxTable(options.taxTable);
        break;
      case kShift:
        good = readInt32(value, 1, options.shiftNumber);
        break;
      case kLastReceipt:
        good = readInt32(value, 0, options.lastReceipt);
        break;
      case kOldShift:
        options.oldShift = true;
        break;
      case kFault:
        good = readFault(value, options.fault);
        break;
      case kFaultOn:
        options.fault.path = std::string(value) == "all" ? "" : value;
        good = std::string(value) == "all" || value[0] == '/';
        break;
      case kFaultTimes:
        good = readInteger(value, 1, INT64_MAX, options.fault.times);
        break;
      case kLineLength:
        good = readInteger(value, 8, 200, number);
        options.lineLength = static_cast<int>(number);
        break;
      case kQuiet:
        options.quiet = true;
        break;
      case kMaxRequests:
        good = readInteger(value, 1, INT64_MAX, options.maxRequests);
        break;
      case kExitAfterSeconds:
        good = readInteger(value, 1, INT32_MAX, options.exitAfterSeconds);
        break;
      case kReadyFile:
        options.readyFile = value;
        good = !options.readyFile.empty();
        break;
      case kHelp:
        return ParseOutcome::Help;
      default: {
        const char* given = optind >= 1 && optind <= argc ? argv[optind - 1] : "?";
        if (id == ':' || (id == '?' && optopt != 0))
          errors << argv[0] << ": option " << given << " needs a value\n";
        else
          errors << argv[0] << ": unknown option " << given << "\n";
        errors << "Try '" << argv[0] << " --help'.\n";
        return ParseOutcome::BadUsage;
      }
    }
    if (!good) {
      errors << argv[0] << ": bad value '" << (value ? value : "") << "' for --"
             << kLongOptions[index].name << "\n"
             << "Try '" << argv[0] << " --help'.\n";
      return ParseOutcome::BadUsage;
    }
  }
  if (optind < argc) {
    errors << argv[0] << ": unexpected argument '" << argv[optind] << "'\n"
           << "Try '" << argv[0] << " --help'.\n";
    return ParseOutcome::BadUsage;
  }
  return ParseOutcome::Run;
}

void printUsage(std::ostream& out, const char* program) {
  out << "Usage: " << program << " [OPTION]...\n"
      << R"(A stand-in for a Tavix register's Web API on port 8080. It answers the driver's
requests as the register does and prints the paper tape the register would print to
standard output; one line per request goes to standard error.

Register:
  --listen ADDR           address to listen on, port 8080 (default 127.0.0.1)
  --key N                 the current Web-API key (default 60418253)
  --login N               administrator code for /dolog? (default 166)
  --password N            administrator password for /dolog? (default 1)
  --issue-key N           first key handed out by /dolog?, then N+1, ... (default: random)
  --wrong-key-reply KIND  reason phrase for a key that is not the current one:
                          incorrect (incorrect-web-api-key, the default), old
                          (old-web-api-key), by-history (old-web-api-key for a key
                          this register handed out before, incorrect-... otherwise)
  --renew-key             hand out a new key in the body of every accepted sale,
                          return, deposit and withdrawal
  --firmware N            applicationVersion in /apicheck/getInfo (default 102305)
  --firmware-as-text      send applicationVersion as a JSON string, not a number
  --tax-table JSON        the table of /dump/table/taxesbycode, rate -> tax id
                          (default {"20":"1","10":"2","0":"3"}); item tax ids must be
                          among its ids
  --shift N               number of the current shift (default 1)
  --last-receipt N        number of the last receipt (default 0)
  --old-shift             the shift has been open for more than 24 hours: sales,
                          returns and cash documents get "shift-gt-24h" until a Z report

Faults:
  --fault KIND            refuse: read the request and drop the connection unanswered;
                          close-mid-reply: carry the request out, then break the reply
                          off half-way through its body (through its status line when
                          it has no body); code:PHRASE: answer 400 with reason PHRASE
                          and do nothing
  --fault-on PATH|all     the path the fault strikes, or every request (default /api)
  --fault-times N         strike only the first N matching requests (default: all)

Tape and run:
  --line-length N         characters per line of the tape, 8 to 200 (default 24)
  --quiet                 no request log on standard error
  --max-requests N        exit after answering N requests
  --exit-after-seconds N  exit after N seconds
  --ready-file PATH       write the listening address to PATH once listening
  --help                  show this help

Exit status: 0 after a normal end, 1 when it cannot listen, 2 for bad usage.
)";
}

}  // namespace sim
