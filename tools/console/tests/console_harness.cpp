#include "console_harness.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace console_test {

std::string consolePath() { return TAVIX_CONSOLE_PATH; }
std::string libraryPath() { return TAVIX_LIBRARY_PATH; }

std::string simulatorPath() {
  const std::string path = TAVIX_REGISTER_SIM_PATH;
  return !path.empty() && access(path.c_str(), X_OK) == 0 ? path : "";
}

Finished runConsole(const std::vector<std::string>& arguments, Input input,
                    const std::string& typed) {
  std::vector<std::string> command{consolePath(), "--library", libraryPath()};
  command.insert(command.end(), arguments.begin(), arguments.end());
  return runProgram(command, std::chrono::seconds(60), input, typed);
}

ScratchDirectory::ScratchDirectory() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern =
      std::string(base != nullptr && *base != 0 ? base : "/tmp") + "/tavix-console-test-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("no scratch directory");
  path_ = pattern;
}

ScratchDirectory::~ScratchDirectory() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string readFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream content;
  content << file.rdbuf();
  return content.str();
}

void writeFile(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

RegisterSimulator::RegisterSimulator(const std::vector<std::string>& options) {
  if (simulatorPath().empty()) {
    problem_ = "no register simulator to run (" + std::string(TAVIX_REGISTER_SIM_PATH) + ")";
    return;
  }
  // Other test processes hold addresses of their own at the same time; an address that is taken
  // makes the simulator exit at once, and the next one is tried.
  const unsigned first = 2 + static_cast<unsigned>(getpid()) % 200;
  for (unsigned attempt = 0; attempt < 40 && pid_ <= 0 && problem_.empty(); ++attempt) {
    const unsigned x = 2 + (first - 2 + attempt * 7) % 250;
    startOn("127.0.0." + std::to_string(x), options);
  }
  if (pid_ <= 0 && problem_.empty()) problem_ = "the simulator found no free loopback address";
}

bool RegisterSimulator::startOn(const std::string& ip, const std::vector<std::string>& options) {
  const std::string ready = files_.file("ready");
  unlink(ready.c_str());
  std::vector<std::string> command{simulatorPath(),        "--listen", ip, "--ready-file", ready,
                                   "--exit-after-seconds", "120"};
  command.insert(command.end(), options.begin(), options.end());
  std::vector<char*> argv;
  for (const std::string& word : command) argv.push_back(const_cast<char*>(word.c_str()));
  argv.push_back(nullptr);

  const std::string tapeFile = files_.file("tape");
  const std::string logFile = files_.file("log");
  const pid_t child = fork();
  if (child < 0) return false;
  if (child == 0) {
    const int in = open("/dev/null", O_RDONLY);
    const int out = open(tapeFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open(logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(in, STDIN_FILENO);
    dup2(out, STDOUT_FILENO);
    dup2(err, STDERR_FILENO);
    execv(argv[0], argv.data());
    _exit(127);
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    if (!readFile(ready).empty()) {
      pid_ = child;
      ip_ = ip;
      return true;
    }
    int status = 0;
    if (waitpid(child, &status, WNOHANG) == child) {
      problem_ = "the simulator ended: " + log();
      if (WIFEXITED(status) && WEXITSTATUS(status) == 1) problem_.clear();  // address taken
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  problem_ = "the simulator did not get ready within 10 s: " + log();
  return false;
}

RegisterSimulator::~RegisterSimulator() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (std::chrono::steady_clock::now() < deadline) {
    if (waitpid(pid_, nullptr, WNOHANG) == pid_) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
}

std::string RegisterSimulator::tape() const { return readFile(files_.file("tape")); }
std::string RegisterSimulator::log() const { return readFile(files_.file("log")); }

}  // namespace console_test
