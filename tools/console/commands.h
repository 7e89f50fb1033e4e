// The commands of the console, each as the platform's calls of the driver that carry it out, in
// the platform's order: identity first, then the settings, then Open, the operations, and Close.
#pragma once

#include <string>

#include "host/driver_session.h"
#include "options.h"
#include "transcript.h"

namespace console {

class CommandRunner {
 public:
  CommandRunner(host::DriverSession& driver, Transcript& transcript, const Settings& settings);

  // Runs one command, first bringing the session to the stage it needs. Answers what the
  // driver answered.
  bool run(const Command& command);

  // Disconnects the device (Close) when the session connected it.
  void finish();

 private:
  bool reach(Stage stage);
  bool applySettings();
  bool setting(const std::string& name, const std::string& text);
  bool setting(const std::string& name, int32_t number);
  bool settingFlag(const std::string& name, bool flag);
  bool open();

  bool listMethods();
  bool receipt(const Command& command);
  bool describeList(const std::u16string& method, const std::string& name, bool settings);
  bool deviceOnly(const std::u16string& method);

  host::DriverSession& driver_;
  Transcript& transcript_;
  const Settings& settings_;
  Stage reached_ = Stage::Identity;
  bool settingsGiven_ = false;
  bool connected_ = false;
  // The device identifier Open gave; the platform passes it as the first value of most calls.
  std::string deviceId_;
};

}  // namespace console
