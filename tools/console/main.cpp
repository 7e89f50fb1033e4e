// tavix-console: the technician's tool. It plays the platform's part for the driver library and
// drives a register from a terminal, to check the register, its key and its settings before the
// platform is set up.
#include <unistd.h>

#include <exception>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cashier_dialogs.h"
#include "commands.h"
#include "host/driver_session.h"
#include "options.h"
#include "profile_file.h"
#include "transcript.h"

namespace {

constexpr int kAllTrue = 0;
constexpr int kSomeFalse = 1;
constexpr int kConsoleFailed = 2;

int fail(const std::string& message) {
  std::cerr << "tavix-console: " << message << "\n";
  return kConsoleFailed;
}

int runSession(const console::Options& options) {
  std::unique_ptr<host::DriverSession> driver;
  try {
    const std::string library =
        options.library.empty() ? host::DriverLibrary::defaultPath() : options.library;
    host::SessionOptions session;
    session.withMessageBox = false;  // the cashier's dialogs below take its place
    driver = std::make_unique<host::DriverSession>(session, library);
  } catch (const std::exception& error) {
    return fail(error.what());
  }

  std::string problem;
  if (!options.profileFile.empty() &&
      !console::loadProfile(options.profileFile, driver->connection, problem))
    return fail(problem);

  console::Transcript transcript(std::cout, driver->connection.messages);
  console::CashierDialogs dialogs(transcript, options.answers, std::cin, isatty(STDIN_FILENO) == 1,
                                  isatty(STDIN_FILENO) == 1 && isatty(STDOUT_FILENO) == 1);
  driver->connection.messageBox = &dialogs;

  int status = kAllTrue;
  try {
    console::CommandRunner runner(*driver, transcript, options.settings);
    const bool sequence = options.commands.size() > 1;
    for (const console::Command& command : options.commands) {
      if (sequence) transcript.heading(command.typed);
      if (runner.run(command)) continue;
      status = kSomeFalse;
      if (options.keepGoing) continue;
      if (&command != &options.commands.back())
        transcript.remark("the driver answered false to '" + command.word +
                          "'; the remaining commands are skipped (--keep-going runs them)");
      break;
    }
    runner.finish();
  } catch (const std::exception& error) {
    // The host refuses a call the library cannot take (a method it lacks): not the driver's
    // answer, the console's failure.
    status = fail(error.what());
  }

  if (!options.profileFile.empty() &&
      !console::saveProfile(options.profileFile, driver->connection, problem))
    return fail(problem);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  console::Options options;
  switch (console::parseOptions(arguments, options, std::cerr)) {
    case console::ParseOutcome::Help:
      console::printUsage(std::cout);
      return kAllTrue;
    case console::ParseOutcome::BadUsage:
      return kConsoleFailed;
    case console::ParseOutcome::Run:
      break;
  }
  return runSession(options);
}
