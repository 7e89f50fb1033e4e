// Running a program of this build as a person would from a shell, with every run bounded in time:
// its exit status and everything it wrote.
#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace console_test {

struct Finished {
  int exitCode = -1;  // -1 when it did not end by itself (killed at the time limit, or a signal)
  bool timedOut = false;
  std::string out;
  std::string err;
};

enum class Input {
  None,      // standard input is /dev/null: no terminal, nothing to read
  Terminal,  // standard input is a terminal (a pseudo-terminal) with `typed` already typed
};

Finished runProgram(const std::vector<std::string>& command, std::chrono::seconds limit,
                    Input input = Input::None, const std::string& typed = "");

}  // namespace console_test
