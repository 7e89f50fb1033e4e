// What the technician gets before any driver call: the help, and a clear complaint with exit
// status 2 for a command line the console cannot run. None of these needs a register.
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "console_harness.h"

namespace console_test {
namespace {

TEST(ConsoleHelp, ShowsEveryCommandAndOptionAndExitsZero) {
  const Finished run = runConsole({"--help"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.err, "");
  for (const char* word : {"Usage: tavix-console",
                           "--ip ADDR",
                           "--line-length",
                           "--login",
                           "--password",
                           "--key",
                           "--tax",
                           "--multitax",
                           "--slip-printer",
                           "--profile FILE",
                           "--yes",
                           "--no",
                           "--library",
                           "version",
                           "describe",
                           "params",
                           "open",
                           "test",
                           "open-shift",
                           "x-report",
                           "z-report",
                           "sale ITEM...",
                           "return ITEM...",
                           "--cash N",
                           "--card N",
                           "--credit N",
                           "--tara N",
                           "cancel",
                           "cash-in N",
                           "cash-out N",
                           "slip TEXT",
                           "drawer",
                           "line-length",
                           "actions",
                           "action NAME",
                           "last-error",
                           "Exit status"})
    EXPECT_NE(run.out.find(word), std::string::npos) << word;
}

struct BadUsage {
  const char* what;
  std::vector<std::string> arguments;
  const char* complaint;  // the first line on standard error
};

// ctest lists each case by its name, not by its bytes.
void PrintTo(const BadUsage& row, std::ostream* out) { *out << row.what; }

class ConsoleBadUsage : public testing::TestWithParam<BadUsage> {};

TEST_P(ConsoleBadUsage, ExitsTwoWithAClearMessageAndCallsNothing) {
  const Finished run = runConsole(GetParam().arguments);
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_EQ(run.err.substr(0, run.err.find('\n')),
            std::string("tavix-console: ") + GetParam().complaint);
  EXPECT_NE(run.err.find("Try 'tavix-console --help'."), std::string::npos);
  EXPECT_EQ(run.out, "") << "no platform call may be made for a command line that is wrong";
}

const BadUsage kBadUsage[] = {
    {"UnknownOption", {"--bogus", "version"}, "unknown option --bogus"},
    {"NoCommand", {"--ip", "127.0.0.1"}, "no command given"},
    {"NothingAtAll", {}, "no command given"},
    {"UnknownCommand", {"fly"}, "unknown command 'fly'"},
    {"OptionWithoutValue", {"version", "--ip"}, "--ip needs a value"},
    {"FlagWithValue", {"--yes=1", "version"}, "--yes takes no value"},
    {"YesAndNo", {"--yes", "--no", "x-report"}, "--yes and --no cannot both be given"},
    {"LineLengthNotANumber",
     {"--line-length", "wide", "line-length"},
     "bad value 'wide' for --line-length (a whole number)"},
    {"KeyBeyond32Bits",
     {"--key=4294967296", "test"},
     "bad value '4294967296' for --key (a whole number)"},
    {"SaleWithoutItems",
     {"sale", "--cash", "10"},
     "sale needs at least one item NAME:QTY:SUM[:TAXRATE[:EXCISE]]"},
    {"SaleWithoutItemsBeforeNextCommand",
     {"sale", "x-report"},
     "sale needs at least one item NAME:QTY:SUM[:TAXRATE[:EXCISE]]"},
    {"ItemWithoutSum",
     {"sale", "Хлеб:1"},
     "bad item 'Хлеб:1': expected NAME:QTY:SUM[:TAXRATE[:EXCISE]] with numbers such as 2 or 45.5"},
    {"ItemWithDecimalComma",
     {"return", "Молоко:1:45,5"},
     "bad item 'Молоко:1:45,5': expected NAME:QTY:SUM[:TAXRATE[:EXCISE]] with numbers such as 2 "
     "or 45.5"},
    {"ItemWithNegativeQuantity",
     {"sale", "Хлеб:-1:120"},
     "bad item 'Хлеб:-1:120': expected NAME:QTY:SUM[:TAXRATE[:EXCISE]] with numbers such as 2 or "
     "45.5"},
    {"PaymentWithoutReceipt",
     {"x-report", "--cash", "10"},
     "--cash belongs to a sale or a return: put it after its items"},
    {"PaymentNotANumber",
     {"sale", "Хлеб:1:120", "--card", "all"},
     "bad amount 'all' for --card (a number such as 150 or 99.5)"},
    {"CashInWithoutAmount", {"cash-in"}, "cash-in needs an amount"},
    {"CashInNegative",
     {"cash-in", "-5"},
     "bad amount '-5' for cash-in (a number such as 150 or 99.5)"},
    {"CashOutOfNothing", {"cash-out", "0"}, "cash-out needs an amount above 0"},
    {"SlipWithoutText", {"slip"}, "slip needs a text"},
    {"ActionWithoutName", {"action"}, "action needs an action name (see 'actions')"},
};

INSTANTIATE_TEST_SUITE_P(Cases, ConsoleBadUsage, testing::ValuesIn(kBadUsage),
                         [](const auto& info) { return std::string(info.param.what); });

TEST(ConsoleBadLibrary, ALibraryThatCannotBeLoadedIsTheConsolesFailure) {
  const Finished run =
      runProgram({consolePath(), "--library", "/nonexistent/libTavixfr64_3_0.so", "version"},
                 std::chrono::seconds(30));
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_NE(run.err.find("tavix-console: cannot load /nonexistent/libTavixfr64_3_0.so"),
            std::string::npos)
      << run.err;
}

}  // namespace
}  // namespace console_test
