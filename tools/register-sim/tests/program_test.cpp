// The program as scripts use it: its options, its exit status, the ready file they wait for,
// the tape on standard output and the request log on standard error.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "wire_client.h"

namespace {

std::string readFile(const std::string& path) {
  std::ifstream file(path);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

std::string scratchPath(const std::string& name) {
  const char* directory = std::getenv("TMPDIR");
  return std::string(directory != nullptr ? directory : "/tmp") + "/tavix-sim-test-" +
         std::to_string(getpid()) + "-" + name;
}

// One run of tavix-register-sim with its output caught in files.
class Program {
 public:
  explicit Program(const std::vector<std::string>& arguments)
      : out_(scratchPath("out")), err_(scratchPath("err")) {
    std::vector<std::string> argv = {TAVIX_REGISTER_SIM_PROGRAM};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    pid_ = fork();
    if (pid_ == 0) {
      const int out = open(out_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      const int err = open(err_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      dup2(out, 1);
      dup2(err, 2);
      std::vector<char*> pointers;
      for (std::string& argument : argv) pointers.push_back(argument.data());
      pointers.push_back(nullptr);
      execv(pointers[0], pointers.data());
      _exit(127);
    }
  }

  ~Program() {
    if (pid_ > 0 && status_ < 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    unlink(out_.c_str());
    unlink(err_.c_str());
  }

  // The exit status, or -1 when it has not ended within the time given (it is then killed).
  int wait(std::chrono::seconds patience = std::chrono::seconds(10)) {
    const auto giveUp = std::chrono::steady_clock::now() + patience;
    while (status_ < 0 && std::chrono::steady_clock::now() < giveUp) {
      int raw = 0;
      if (waitpid(pid_, &raw, WNOHANG) == pid_) {
        status_ = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return status_;
  }

  std::string out() const { return readFile(out_); }
  std::string err() const { return readFile(err_); }

 private:
  std::string out_, err_;
  pid_t pid_ = -1;
  int status_ = -1;
};

bool waitForFile(const std::string& path) {
  for (int i = 0; i < 250; ++i) {
    if (access(path.c_str(), F_OK) == 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

TEST(Program, HelpNamesEveryOption) {
  Program program({"--help"});
  EXPECT_EQ(program.wait(), 0);
  const std::string help = program.out();
  for (const char* option : {"--listen", "--key", "--login", "--password", "--firmware",
                             "--tax-table", "--old-shift", "--fault", "--line-length", "--quiet",
                             "--max-requests", "--exit-after-seconds", "--ready-file"})
    EXPECT_NE(help.find(option), std::string::npos) << option;
}

TEST(Program, BadUsageEndsWithStatusTwoAndSaysWhy) {
  struct Case {
    std::vector<std::string> arguments;
    std::string complaint;
  };
  const std::vector<Case> cases = {
      {{"--no-such-option"}, "unknown option --no-such-option"},
      {{"--key"}, "needs a value"},
      {{"--key", "abc"}, "bad value 'abc' for --key"},
      {{"--key", "0"}, "bad value '0' for --key"},
      {{"--key", "2147483648"}, "for --key"},
      {{"--fault", "explode"}, "for --fault"},
      {{"--fault", "code:"}, "for --fault"},
      {{"--fault-on", "api"}, "for --fault-on"},
      {{"--tax-table", "[1,2]"}, "for --tax-table"},
      {{"--tax-table", R"({"20":true})"}, "for --tax-table"},
      {{"--line-length", "3"}, "for --line-length"},
      {{"--wrong-key-reply", "maybe"}, "for --wrong-key-reply"},
      {{"stray"}, "unexpected argument 'stray'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments.front());
    Program program(c.arguments);
    EXPECT_EQ(program.wait(), 2);
    EXPECT_NE(program.err().find(c.complaint), std::string::npos) << program.err();
    EXPECT_EQ(program.out(), "");
  }
}

TEST(Program, AnAddressItCannotHaveEndsWithStatusOne) {
  Program notAnAddress({"--listen", "cash-register.local"});
  EXPECT_EQ(notAnAddress.wait(), 1);
  EXPECT_NE(notAnAddress.err().find("not an IP address"), std::string::npos);
}

// A short day through the program itself: the bound ends it, the tape is on standard output.
TEST(Program, ServesUntilItsRequestBoundAndPrintsTheTape) {
  const std::string ready = scratchPath("ready");
  for (const std::string& ip : simtest::candidateAddresses()) {
    unlink(ready.c_str());
    Program program({"--listen", ip, "--ready-file", ready, "--max-requests", "3",
                     "--exit-after-seconds", "20", "--issue-key", "424242", "--line-length", "30"});
    if (!waitForFile(ready)) {
      if (program.wait() == 1) continue;  // the address is taken by another test process
      FAIL() << "no ready file and no exit\n" << program.err();
    }
    EXPECT_EQ(readFile(ready), ip + ":8080\n");
    simtest::exchange(ip, "/dolog?", "login=166&password=1&getApiKey = true");
    simtest::exchange(
        ip, "/api",
        R"(key=424242&tax=1&sale=91&cash=100&itemdata=[{"name":"Молоко","price":"45.5","qty":"2","sum":"91","taxid":"1"},]&print=1.Молоко)");
    simtest::exchange(ip, "/apizreport", "key=424242");
    EXPECT_EQ(program.wait(), 0);

    const std::string tape = program.out();
    EXPECT_NE(tape.find("+------------------------------+\n"), std::string::npos) << tape;
    EXPECT_NE(tape.find("|1.Молоко                      |"), std::string::npos) << tape;
    EXPECT_NE(tape.find("|СДАЧА                     9.00|"), std::string::npos) << tape;
    EXPECT_NE(tape.find("Z-ОТЧЕТ"), std::string::npos) << tape;
    const std::string log = program.err();
    EXPECT_NE(log.find("POST /dolog? -> 200 OK (new key 424242)"), std::string::npos) << log;
    EXPECT_NE(log.find("POST /api -> 200 OK"), std::string::npos) << log;
    EXPECT_NE(log.find("stopped after 3 requests"), std::string::npos) << log;
    unlink(ready.c_str());
    return;
  }
  FAIL() << "no loopback address free";
}

TEST(Program, QuietRunEndsAfterItsTimeBound) {
  const std::string ready = scratchPath("ready-quiet");
  for (const std::string& ip : simtest::candidateAddresses()) {
    unlink(ready.c_str());
    Program program(
        {"--listen", ip, "--ready-file", ready, "--exit-after-seconds", "1", "--quiet"});
    if (!waitForFile(ready)) {
      if (program.wait() == 1) continue;
      FAIL() << "no ready file and no exit\n" << program.err();
    }
    simtest::exchange(ip, "/apicheck", "key=60418253");
    EXPECT_EQ(program.wait(std::chrono::seconds(5)), 0);
    EXPECT_EQ(program.err(), "");
    unlink(ready.c_str());
    return;
  }
  FAIL() << "no loopback address free";
}

}  // namespace
