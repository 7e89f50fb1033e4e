// What the console shows: each platform call with its arguments and result, and, in the middle of
// a call, the messages the driver posts and the dialogs it opens, in the order they happen.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include "host/driver_session.h"

namespace console {

// A text as the integrator reads it in a call line: quoted, control characters made visible.
std::string quoted(const std::string& utf8);

class Transcript {
 public:
  // `messages` is the platform's message window, filled by the driver during calls.
  Transcript(std::ostream& out, const std::vector<host::PostedMessage>& messages);

  // A call line waits until the call ends, so that a call without messages or dialogs takes
  // one line; the first message or dialog prints it on a line of its own.
  void callStarts(const std::string& call);
  void callEnds(const std::string& outcome);

  // The cashier's dialogs. A question is shown first and answered afterwards (the answer may
  // come from the terminal), so it is two steps.
  void question(const std::u16string& text);
  void answered(bool yes, const std::string& how);
  void alert(const std::u16string& text);

  // A line that reads a call's result for the technician (a list, a table).
  void detail(const std::string& line);
  // Where one command of a sequence begins.
  void heading(const std::string& command);
  // The console's own remark, never the driver's.
  void remark(const std::string& line);

 private:
  void showPendingCall();
  void showNewMessages();

  std::ostream& out_;
  const std::vector<host::PostedMessage>& messages_;
  size_t messagesShown_ = 0;
  std::string pendingCall_;
  bool callShown_ = false;
};

}  // namespace console
