// What the technician asks for on the command line: the settings the platform's form would hand
// the driver, the profile file, how the cashier's questions are answered, and the commands to run
// one after another in a single session with the driver.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace console {

enum class CommandKind {
  Version,
  Methods,
  Describe,
  Params,
  Open,
  Test,
  OpenShift,
  XReport,
  ZReport,
  Sale,
  Return,
  Cancel,
  CashIn,
  CashOut,
  Slip,
  Drawer,
  LineLength,
  Actions,
  Action,
  LastError,
};

// What a command needs from the session before it runs: the platform asks a driver who it is
// before any setting, hands the settings over before using it, and connects the device
// (Open) before the first operation on the register.
enum class Stage { Identity, Settings, Connected };

Stage stageOf(CommandKind kind);

// One line of a receipt: "NAME:QTY:SUM[:TAXRATE[:EXCISE]]".
struct ReceiptItem {
  std::string name;
  double quantity = 0;
  double sum = 0;
  double taxRate = 0;
  std::string excise;
};

struct Payments {
  double cash = 0;
  double card = 0;
  double credit = 0;
  double tara = 0;
  bool given = false;  // none given: the whole receipt is paid in cash
};

struct Command {
  CommandKind kind;
  std::string word;   // the command word, for the console's own remarks
  std::string typed;  // the command with its arguments, as typed (quoted where it has blanks)
  std::vector<ReceiptItem> items;
  Payments payments;
  double amount = 0;  // cash-in, cash-out
  std::string text;   // slip text, action name
};

// The settings of the platform's form. Only those given are handed to the driver; the others
// keep the driver's own initial values. The address always goes, so that the driver never talks
// to its built-in default address by accident.
struct Settings {
  std::string ip = "127.0.0.1";
  std::optional<int32_t> lineLength;
  std::optional<int32_t> login;
  std::optional<int32_t> password;
  std::optional<int32_t> key;
  std::optional<int32_t> tax;
  bool multiTax = false;
  bool slipPrinter = false;
};

// How the cashier's questions are answered.
enum class Answers { Ask, Yes, No };

struct Options {
  std::string library;  // empty: the library of this build
  Settings settings;
  std::string profileFile;  // empty: the profile lives only as long as the run
  Answers answers = Answers::Ask;
  bool keepGoing = false;  // run the remaining commands after a false answer
  std::vector<Command> commands;
};

enum class ParseOutcome { Run, Help, BadUsage };

// Reads the arguments (without the program name) into `options`; a complaint about bad usage
// goes to `errors`, one clear line and a pointer to --help.
ParseOutcome parseOptions(const std::vector<std::string>& arguments, Options& options,
                          std::ostream& errors);

void printUsage(std::ostream& out);

}  // namespace console
