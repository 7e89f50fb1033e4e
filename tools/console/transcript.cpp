#include "transcript.h"

namespace console {

std::string quoted(const std::string& utf8) {
  std::string text = "\"";
  for (const char c : utf8) {
    switch (c) {
      case '\r':
        text += "\\r";
        break;
      case '\n':
        text += "\\n";
        break;
      case '\t':
        text += "\\t";
        break;
      case '"':
        text += "\\\"";
        break;
      case '\\':
        text += "\\\\";
        break;
      default:
        text += c;
    }
  }
  return text + "\"";
}

Transcript::Transcript(std::ostream& out, const std::vector<host::PostedMessage>& messages)
    : out_(out), messages_(messages), messagesShown_(messages.size()) {}

void Transcript::callStarts(const std::string& call) {
  pendingCall_ = call;
  callShown_ = false;
}

void Transcript::callEnds(const std::string& outcome) {
  showNewMessages();
  if (callShown_)
    out_ << "  -> " << outcome << "\n";
  else
    out_ << "> " << pendingCall_ << " -> " << outcome << "\n";
  callShown_ = false;
  pendingCall_.clear();
  out_.flush();
}

void Transcript::question(const std::u16string& text) {
  showNewMessages();
  showPendingCall();
  out_ << "    [question] " << host::u8(text) << " (yes/no) ";
  out_.flush();
}

void Transcript::answered(bool yes, const std::string& how) {
  out_ << (yes ? "yes" : "no");
  if (!how.empty()) out_ << " (" << how << ")";
  out_ << "\n";
  out_.flush();
}

void Transcript::alert(const std::u16string& text) {
  showNewMessages();
  showPendingCall();
  out_ << "    [alert] " << host::u8(text) << "\n";
  out_.flush();
}

void Transcript::detail(const std::string& line) { out_ << "      " << line << "\n"; }

void Transcript::heading(const std::string& command) {
  out_ << "== " << command << "\n";
  out_.flush();
}

void Transcript::remark(const std::string& line) {
  out_ << "# " << line << "\n";
  out_.flush();
}

void Transcript::showPendingCall() {
  if (callShown_ || pendingCall_.empty()) return;
  out_ << "> " << pendingCall_ << "\n";
  callShown_ = true;
}

// The platform shows a message as its source and its text; the source is quoted because the
// driver's sources carry trailing blanks that tell one message from another.
void Transcript::showNewMessages() {
  while (messagesShown_ < messages_.size()) {
    const host::PostedMessage& message = messages_[messagesShown_++];
    showPendingCall();
    out_ << "    [message] «" << host::u8(message.source) << "» " << host::u8(message.text) << "\n";
  }
}

}  // namespace console
