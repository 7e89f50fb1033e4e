#include "options.h"

#include <array>
#include <string_view>

#include "number_text.h"

namespace console {

namespace {

// How many arguments a command word takes after it.
enum class Takes { Nothing, OneArgument, Items };

struct CommandWord {
  std::string_view word;
  CommandKind kind;
  Takes takes;
  std::string_view argumentName;  // for the complaint when it is missing
};

constexpr std::array<CommandWord, 20> kCommandWords{{
    {"version", CommandKind::Version, Takes::Nothing, ""},
    {"methods", CommandKind::Methods, Takes::Nothing, ""},
    {"describe", CommandKind::Describe, Takes::Nothing, ""},
    {"params", CommandKind::Params, Takes::Nothing, ""},
    {"open", CommandKind::Open, Takes::Nothing, ""},
    {"test", CommandKind::Test, Takes::Nothing, ""},
    {"open-shift", CommandKind::OpenShift, Takes::Nothing, ""},
    {"x-report", CommandKind::XReport, Takes::Nothing, ""},
    {"z-report", CommandKind::ZReport, Takes::Nothing, ""},
    {"sale", CommandKind::Sale, Takes::Items, ""},
    {"return", CommandKind::Return, Takes::Items, ""},
    {"cancel", CommandKind::Cancel, Takes::Nothing, ""},
    {"cash-in", CommandKind::CashIn, Takes::OneArgument, "an amount"},
    {"cash-out", CommandKind::CashOut, Takes::OneArgument, "an amount"},
    {"slip", CommandKind::Slip, Takes::OneArgument, "a text"},
    {"drawer", CommandKind::Drawer, Takes::Nothing, ""},
    {"line-length", CommandKind::LineLength, Takes::Nothing, ""},
    {"actions", CommandKind::Actions, Takes::Nothing, ""},
    {"action", CommandKind::Action, Takes::OneArgument, "an action name (see 'actions')"},
    {"last-error", CommandKind::LastError, Takes::Nothing, ""},
}};

const CommandWord* findCommand(const std::string& word) {
  for (const CommandWord& entry : kCommandWords)
    if (entry.word == word) return &entry;
  return nullptr;
}

bool isReceipt(const Command& command) {
  return command.kind == CommandKind::Sale || command.kind == CommandKind::Return;
}

// An argument as a shell would need it typed again.
std::string asTyped(const std::string& argument) {
  if (!argument.empty() && argument.find_first_of(" \t'\"") == std::string::npos) return argument;
  return "\"" + argument + "\"";
}

// A complaint about usage; the parser stops at the first one.
struct BadUsage {
  std::string message;
};

std::optional<ReceiptItem> readItem(const std::string& text) {
  std::vector<std::string> fields;
  size_t start = 0;
  // The excise text is the last field and may hold colons of its own.
  while (fields.size() < 4) {
    const size_t colon = text.find(':', start);
    if (colon == std::string::npos) break;
    fields.push_back(text.substr(start, colon - start));
    start = colon + 1;
  }
  fields.push_back(text.substr(start));
  if (fields.size() < 3) return std::nullopt;
  ReceiptItem item;
  item.name = fields[0];
  const auto quantity = readDecimal(fields[1]);
  const auto sum = readDecimal(fields[2]);
  const auto taxRate = fields.size() > 3 ? readDecimal(fields[3]) : std::optional<double>(0.0);
  if (!quantity || !sum || !taxRate || *quantity < 0 || *sum < 0 || *taxRate < 0)
    return std::nullopt;
  item.quantity = *quantity;
  item.sum = *sum;
  item.taxRate = *taxRate;
  if (fields.size() > 4) item.excise = fields[4];
  return item;
}

double amountOf(const std::string& option, const std::string& text) {
  const auto amount = readDecimal(text);
  if (!amount || *amount < 0)
    throw BadUsage{"bad amount '" + text + "' for " + option + " (a number such as 150 or 99.5)"};
  return *amount;
}

int32_t integerOf(const std::string& option, const std::string& text) {
  const auto number = readInt32(text);
  if (!number) throw BadUsage{"bad value '" + text + "' for " + option + " (a whole number)"};
  return *number;
}

class Parser {
 public:
  Parser(const std::vector<std::string>& arguments, Options& options)
      : arguments_(arguments), options_(options) {}

  ParseOutcome run() {
    bool yes = false;
    bool no = false;
    while (position_ < arguments_.size()) {
      const std::string argument = arguments_[position_++];
      if (argument == "-h") return ParseOutcome::Help;
      if (argument.size() > 2 && argument.compare(0, 2, "--") == 0) {
        if (option(argument, yes, no) == ParseOutcome::Help) return ParseOutcome::Help;
      } else {
        command(argument);
      }
    }
    finishReceipt();
    if (yes && no) throw BadUsage{"--yes and --no cannot both be given"};
    if (options_.commands.empty()) throw BadUsage{"no command given"};
    return ParseOutcome::Run;
  }

 private:
  std::string valueOf(const std::string& name, const std::optional<std::string>& attached) {
    if (attached) return *attached;
    if (position_ >= arguments_.size()) throw BadUsage{"--" + name + " needs a value"};
    return arguments_[position_++];
  }

  ParseOutcome option(const std::string& argument, bool& yes, bool& no) {
    std::string name = argument.substr(2);
    std::optional<std::string> attached;
    const size_t equals = name.find('=');
    if (equals != std::string::npos) {
      attached = name.substr(equals + 1);
      name.resize(equals);
    }
    const std::string shown = "--" + name;
    Settings& settings = options_.settings;
    const auto flag = [&](bool& target) {
      if (attached) throw BadUsage{shown + " takes no value"};
      target = true;
    };
    if (name == "help") {
      return ParseOutcome::Help;
    } else if (name == "library") {
      options_.library = valueOf(name, attached);
    } else if (name == "ip") {
      settings.ip = valueOf(name, attached);
      if (settings.ip.empty()) throw BadUsage{"--ip needs the register's address"};
    } else if (name == "line-length") {
      settings.lineLength = integerOf(shown, valueOf(name, attached));
    } else if (name == "login") {
      settings.login = integerOf(shown, valueOf(name, attached));
    } else if (name == "password") {
      settings.password = integerOf(shown, valueOf(name, attached));
    } else if (name == "key") {
      settings.key = integerOf(shown, valueOf(name, attached));
    } else if (name == "tax") {
      settings.tax = integerOf(shown, valueOf(name, attached));
    } else if (name == "multitax") {
      flag(settings.multiTax);
    } else if (name == "slip-printer") {
      flag(settings.slipPrinter);
    } else if (name == "profile") {
      options_.profileFile = valueOf(name, attached);
      if (options_.profileFile.empty()) throw BadUsage{"--profile needs a file name"};
    } else if (name == "yes") {
      flag(yes);
      options_.answers = Answers::Yes;
    } else if (name == "no") {
      flag(no);
      options_.answers = Answers::No;
    } else if (name == "keep-going") {
      flag(options_.keepGoing);
    } else if (name == "cash" || name == "card" || name == "credit" || name == "tara") {
      payment(name, valueOf(name, attached));
    } else {
      throw BadUsage{"unknown option " + shown};
    }
    return ParseOutcome::Run;
  }

  void payment(const std::string& name, const std::string& value) {
    if (options_.commands.empty() || !isReceipt(options_.commands.back()))
      throw BadUsage{"--" + name + " belongs to a sale or a return: put it after its items"};
    Payments& payments = options_.commands.back().payments;
    const double amount = amountOf("--" + name, value);
    if (name == "cash") payments.cash = amount;
    if (name == "card") payments.card = amount;
    if (name == "credit") payments.credit = amount;
    if (name == "tara") payments.tara = amount;
    payments.given = true;
    options_.commands.back().typed += " --" + name + " " + asTyped(value);
  }

  void command(const std::string& word) {
    const CommandWord* entry = findCommand(word);
    if (entry == nullptr) {
      if (!options_.commands.empty() && isReceipt(options_.commands.back())) {
        item(word);
        return;
      }
      throw BadUsage{"unknown command '" + word + "'"};
    }
    finishReceipt();
    Command command{entry->kind, word, word, {}, {}, 0, {}};
    if (entry->takes == Takes::OneArgument) {
      if (position_ >= arguments_.size())
        throw BadUsage{word + " needs " + std::string(entry->argumentName)};
      const std::string argument = arguments_[position_++];
      command.typed += " " + asTyped(argument);
      if (entry->kind == CommandKind::CashIn || entry->kind == CommandKind::CashOut) {
        command.amount = amountOf(word, argument);
        if (entry->kind == CommandKind::CashOut && command.amount == 0)
          throw BadUsage{"cash-out needs an amount above 0"};
      } else {
        command.text = argument;
        if (entry->kind == CommandKind::Action && argument.empty())
          throw BadUsage{"action needs an action name (see 'actions')"};
      }
    }
    options_.commands.push_back(command);
  }

  void item(const std::string& text) {
    const auto item = readItem(text);
    if (!item)
      throw BadUsage{"bad item '" + text +
                     "': expected NAME:QTY:SUM[:TAXRATE[:EXCISE]] with numbers such as 2 or 45.5"};
    options_.commands.back().items.push_back(*item);
    options_.commands.back().typed += " " + asTyped(text);
  }

  // A receipt without items is what the platform never sends through this console.
  void finishReceipt() {
    if (!options_.commands.empty() && isReceipt(options_.commands.back()) &&
        options_.commands.back().items.empty())
      throw BadUsage{options_.commands.back().word +
                     " needs at least one item NAME:QTY:SUM[:TAXRATE[:EXCISE]]"};
  }

  const std::vector<std::string>& arguments_;
  Options& options_;
  size_t position_ = 0;
};

}  // namespace

Stage stageOf(CommandKind kind) {
  switch (kind) {
    case CommandKind::Version:
    case CommandKind::Methods:
    case CommandKind::Describe:
    case CommandKind::Params:
    case CommandKind::Actions:
      return Stage::Identity;
    case CommandKind::Open:
    case CommandKind::LineLength:
    case CommandKind::LastError:
      return Stage::Settings;
    default:
      return Stage::Connected;
  }
}

ParseOutcome parseOptions(const std::vector<std::string>& arguments, Options& options,
                          std::ostream& errors) {
  try {
    return Parser(arguments, options).run();
  } catch (const BadUsage& complaint) {
    errors << "tavix-console: " << complaint.message << "\n"
           << "Try 'tavix-console --help'.\n";
    return ParseOutcome::BadUsage;
  }
}

void printUsage(std::ostream& out) {
  out << R"(Usage: tavix-console [OPTION]... COMMAND [ARGUMENT]... [COMMAND [ARGUMENT]...]...
Drives the Tavix driver library from a terminal the way the 1C:Enterprise platform does:
it loads the library, hands it the settings, and calls its methods. Every platform call is
shown with its arguments and result, every message the driver posts and every question it
asks as the cashier would see them. Several commands run one after another in one session,
as the platform would call them during a shop's day.

Settings (as on the platform's settings form; not given: the driver's own initial value):
  --ip ADDR            the register's address, port 8080 (default 127.0.0.1)
  --line-length N      characters per printed line (Eprint: 24, 32, 19, 42, 30, 40)
  --login N            administrator code (LoginTavix)
  --password N         administrator password (PassTavix)
  --key N              Web-API key typed in the settings (WebapiTAVIX); without it the key
                       comes from the profile, or is obtained with the code and password
  --tax N              default tax code of the register (TaxTavix)
  --multitax           several tax rates, read from the register (MultiTax)
  --slip-printer       print non-fiscal lines (slips) (NoFiskal)

Session:
  --library PATH       the driver library to load (default: the library of this build)
  --profile FILE       keep the driver's profile (its Web-API key, "iApiKey:0") in FILE:
                       read before the first command, written after the last
  --yes, --no          answer every question of the driver so; otherwise the questions
                       are asked on the terminal, and answered no without a terminal
  --keep-going         carry on after a command the driver answered false
  -h, --help           show this help

Commands:
  version              GetVersion
  methods              the driver's methods as the platform finds them: both names,
                       parameter counts, whether each returns a value
  describe             GetDescription
  params               GetParameters: the settings the platform's form shows
  open                 Open (run by itself before the first command on the register)
  test                 DeviceTest: checks the register and the key, renews the key
  open-shift           OpenShift
  x-report             PrintXReport
  z-report             PrintZReport
  sale ITEM... [--cash N] [--card N] [--credit N] [--tara N]
                       OpenCheck, PrintFiscalString for each item, CloseCheck; an ITEM is
                       NAME:QTY:SUM[:TAXRATE[:EXCISE]], for example "Молоко:2:91:12";
                       without a payment the whole sum is paid in cash
  return ITEM... [--cash N] [--card N] [--credit N] [--tara N]
                       the same as a return receipt
  cancel               CancelCheck
  cash-in N            CashInOutcome with N (a deposit)
  cash-out N           CashInOutcome with -N (a withdrawal)
  slip TEXT            PrintNonFiscalString (prints only with --slip-printer)
  drawer               OpenCashDrawer (only a printer attached to the register has one)
  line-length          GetLineLength
  actions              GetAdditionalActions: the service actions
  action NAME          DoAdditionalAction NAME
  last-error           GetLastError: what went wrong last, in the driver's words

Example, a shop's day:
  tavix-console --ip 127.0.0.1 --profile shop.profile --yes test open-shift \
    sale "Хлеб:1:120" "Молоко:2:91:12" --cash 200 --card 11 \
    return "Молоко:1:45.5:12" cash-in 5000 x-report z-report

Exit status: 0 when the driver answered true to every command, 1 when it answered false
(the remaining commands are skipped unless --keep-going), 2 for bad usage or when the
console could not do its own part (library not loadable, profile file unusable).
)";
}

}  // namespace console
