#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace console_test {

namespace {

void closeIfOpen(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

// A pseudo-terminal whose far end becomes the child's standard input.
int openTerminal(int& farEnd) {
  const int near = posix_openpt(O_RDWR | O_NOCTTY);
  if (near < 0 || grantpt(near) != 0 || unlockpt(near) != 0)
    throw std::runtime_error("no pseudo-terminal");
  farEnd = open(ptsname(near), O_RDWR | O_NOCTTY);
  if (farEnd < 0) throw std::runtime_error("cannot open the pseudo-terminal");
  return near;
}

}  // namespace

Finished runProgram(const std::vector<std::string>& command, std::chrono::seconds limit,
                    Input input, const std::string& typed) {
  int outPipe[2];
  int errPipe[2];
  if (pipe(outPipe) != 0 || pipe(errPipe) != 0) throw std::runtime_error("no pipe");
  int terminal = -1;
  int childInput = -1;
  if (input == Input::Terminal) {
    terminal = openTerminal(childInput);
  } else {
    childInput = open("/dev/null", O_RDONLY);
  }

  std::vector<char*> argv;
  for (const std::string& word : command) argv.push_back(const_cast<char*>(word.c_str()));
  argv.push_back(nullptr);

  const pid_t child = fork();
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0) {
    dup2(childInput, STDIN_FILENO);
    dup2(outPipe[1], STDOUT_FILENO);
    dup2(errPipe[1], STDERR_FILENO);
    for (int fd : {childInput, outPipe[0], outPipe[1], errPipe[0], errPipe[1], terminal})
      if (fd > STDERR_FILENO) close(fd);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(outPipe[1]);
  close(errPipe[1]);
  close(childInput);
  if (terminal >= 0 && !typed.empty()) {
    const ssize_t written = write(terminal, typed.data(), typed.size());
    (void)written;
  }

  Finished finished;
  int out = outPipe[0];
  int err = errPipe[0];
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (out >= 0 || err >= 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
      finished.timedOut = true;
      kill(child, SIGKILL);
      break;
    }
    pollfd watched[2] = {{out, POLLIN, 0}, {err, POLLIN, 0}};
    const int ready = poll(watched, 2, static_cast<int>(left.count()));
    if (ready < 0 && errno != EINTR) break;
    for (int i = 0; i < 2; ++i) {
      if (watched[i].fd < 0 || watched[i].revents == 0) continue;
      char buffer[4096];
      const ssize_t got = read(watched[i].fd, buffer, sizeof buffer);
      int& fd = i == 0 ? out : err;
      if (got <= 0) {
        closeIfOpen(fd);
      } else {
        (i == 0 ? finished.out : finished.err).append(buffer, static_cast<size_t>(got));
      }
    }
  }
  closeIfOpen(out);
  closeIfOpen(err);
  closeIfOpen(terminal);
  int status = 0;
  waitpid(child, &status, 0);
  if (!finished.timedOut && WIFEXITED(status)) finished.exitCode = WEXITSTATUS(status);
  return finished;
}

}  // namespace console_test
