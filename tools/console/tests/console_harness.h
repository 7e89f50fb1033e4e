// What the console's tests run: the console of this build with the library of this build, and
// the register simulator on a loopback address of its own, each in a process of its own.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "child_process.h"

namespace console_test {

// The programs and files of the build, given by CMake.
std::string consolePath();
std::string libraryPath();
std::string simulatorPath();  // "" when this build has none to run

// tavix-console --library <this build's library> <arguments>, bounded in time.
Finished runConsole(const std::vector<std::string>& arguments, Input input = Input::None,
                    const std::string& typed = "");

// A directory of its own for one test, removed with everything in it.
class ScratchDirectory {
 public:
  ScratchDirectory();
  ~ScratchDirectory();
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

std::string readFile(const std::string& path);  // "" when it cannot be read
void writeFile(const std::string& path, const std::string& content);

// tavix-register-sim listening on 127.0.0.X:8080, X chosen from this process's id and moved on
// when the address is taken. Its paper tape and request log go to files, readable at any time.
class RegisterSimulator {
 public:
  explicit RegisterSimulator(const std::vector<std::string>& options = {});
  ~RegisterSimulator();
  RegisterSimulator(const RegisterSimulator&) = delete;
  RegisterSimulator& operator=(const RegisterSimulator&) = delete;

  bool running() const { return pid_ > 0; }
  const std::string& problem() const { return problem_; }  // why it is not running
  const std::string& ip() const { return ip_; }
  std::string tape() const;
  std::string log() const;

 private:
  bool startOn(const std::string& ip, const std::vector<std::string>& options);

  ScratchDirectory files_;
  pid_t pid_ = -1;
  std::string ip_;
  std::string problem_;
};

}  // namespace console_test

// Stops a test whose simulator is not running: skipped when this build has no simulator to run,
// failed when it has one and it would not start.
#define ASSERT_SIMULATOR_RUNNING(simulator)                                               \
  do {                                                                                    \
    if (!(simulator).running()) {                                                         \
      if (::console_test::simulatorPath().empty()) GTEST_SKIP() << (simulator).problem(); \
      FAIL() << (simulator).problem();                                                    \
    }                                                                                     \
  } while (false)
