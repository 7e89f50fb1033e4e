// The profile file between runs, as the platform's profile between days: a key the register
// turned away is renewed with the administrator's code and password in one run, kept in the file,
// and the next run opens with it and needs no renewal.
#include <gtest/gtest.h>
#include <unistd.h>

#include <ostream>
#include <string>
#include <vector>

#include "console_harness.h"

namespace console_test {
namespace {

constexpr const char* kRenewedKeyLine = "iApiKey:0=9001\n";

struct Renewal {
  const char* what;
  std::vector<std::string> commands;
  int firstExit;  // the run in which the key is renewed
  const char* firstShown;
  const char* secondShown;  // the next run, with the kept key
};

// ctest lists each case by its name, not by its bytes.
void PrintTo(const Renewal& row, std::ostream* out) { *out << row.what; }

class ConsoleKeyRenewal : public testing::TestWithParam<Renewal> {};

TEST_P(ConsoleKeyRenewal, TheRenewedKeyIsKeptInTheProfileFileAndUsedNextTime) {
  const Renewal& row = GetParam();
  // The register's key is 111; the first key its administrator login hands out is 9001.
  RegisterSimulator simulator({"--key", "111", "--issue-key", "9001"});
  ASSERT_SIMULATOR_RUNNING(simulator);
  ScratchDirectory scratch;
  const std::string profile = scratch.file("shop.profile");

  std::vector<std::string> arguments{"--ip", simulator.ip(), "--profile", profile, "--yes"};
  arguments.insert(arguments.end(), row.commands.begin(), row.commands.end());

  const Finished first = runConsole(arguments);
  EXPECT_EQ(first.exitCode, row.firstExit) << first.out << first.err;
  EXPECT_NE(first.out.find("[message] «Tavix» Not Read apikey, add api_key from setting"),
            std::string::npos)
      << "the first run starts with an empty profile\n"
      << first.out;
  EXPECT_NE(first.out.find(row.firstShown), std::string::npos) << first.out;
  EXPECT_NE(readFile(profile).find(kRenewedKeyLine), std::string::npos) << readFile(profile);

  const Finished second = runConsole(arguments);
  EXPECT_EQ(second.exitCode, 0) << second.out << second.err;
  EXPECT_EQ(second.out.find("Not Read apikey"), std::string::npos) << second.out;
  EXPECT_NE(second.out.find(row.secondShown), std::string::npos) << second.out;
  EXPECT_NE(readFile(profile).find(kRenewedKeyLine), std::string::npos) << readFile(profile);
}

const Renewal kRenewals[] = {
    {"ByTheConnectionTest",
     {"test"},
     0,
     "description = \"Tavix готов к работе, Web-Api ключ перезагружен по паролю администратора\"",
     "description = \"Api-key загружен, Tavix готов к работе\""},
    // A sale turned away for its key is not sent again: the cashier repeats it.
    {"ByARefusedSale",
     {"sale", "Хлеб:1:120"},
     1,
     "[message] «Повторите операцию. Получен и записан новый ключ » 9001",
     "> CloseCheck(device="},
};

INSTANTIATE_TEST_SUITE_P(Cases, ConsoleKeyRenewal, testing::ValuesIn(kRenewals),
                         [](const auto& info) { return std::string(info.param.what); });

TEST(ConsoleProfileFile, AKeptKeyGoesToTheDriverAtOpen) {
  RegisterSimulator simulator({"--key", "777"});
  ASSERT_SIMULATOR_RUNNING(simulator);
  ScratchDirectory scratch;
  const std::string profile = scratch.file("shop.profile");
  writeFile(profile, "# kept by hand\niApiKey:0 = 777\n");
  const Finished run = runConsole({"--ip", simulator.ip(), "--profile", profile, "test"});
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_NE(run.out.find("description = \"Api-key загружен, Tavix готов к работе\""),
            std::string::npos)
      << run.out;
}

TEST(ConsoleProfileFile, AFileWithSomethingElseInItIsRefusedBeforeAnyCall) {
  ScratchDirectory scratch;
  const std::string profile = scratch.file("shop.profile");
  writeFile(profile, "iApiKey:0=seven\n");
  const Finished run = runConsole({"--profile", profile, "version"});
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_EQ(run.err, "tavix-console: " + profile +
                         " line 1: the value of iApiKey:0 is neither a whole number nor a quoted "
                         "text\n");
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(readFile(profile), "iApiKey:0=seven\n") << "a file the console cannot read stays";
}

TEST(ConsoleProfileFile, ARunThatNeverTouchesTheKeyWritesNoFile) {
  ScratchDirectory scratch;
  const std::string profile = scratch.file("shop.profile");
  const Finished run = runConsole({"--profile", profile, "version"});
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_EQ(access(profile.c_str(), F_OK), -1) << "no key, no file";
}

}  // namespace
}  // namespace console_test
