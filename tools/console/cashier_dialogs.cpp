#include "cashier_dialogs.h"

#include <string>

namespace console {

namespace {

std::u16string textOf(const WCHAR_T* text) { return text == nullptr ? u"" : std::u16string(text); }

// What a person may type; Russian answers too, the cashier's own language.
enum class Reply { Yes, No, Unclear };

Reply readReply(std::string line) {
  while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
  while (!line.empty() && line.front() == ' ') line.erase(0, 1);
  for (char& c : line)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  if (line == "y" || line == "yes" || line == "д" || line == "да" || line == "Д" || line == "Да")
    return Reply::Yes;
  if (line == "n" || line == "no" || line == "н" || line == "нет" || line == "Н" || line == "Нет")
    return Reply::No;
  return Reply::Unclear;
}

}  // namespace

CashierDialogs::CashierDialogs(Transcript& transcript, Answers answers, std::istream& in,
                               bool interactive, bool echoing)
    : transcript_(transcript),
      answers_(answers),
      in_(in),
      interactive_(interactive),
      echoing_(echoing) {}

bool CashierDialogs::Confirm(const WCHAR_T* question, tVariant* answer) {
  transcript_.question(textOf(question));
  bool yes = false;
  switch (answers_) {
    case Answers::Yes:
      yes = true;
      transcript_.answered(yes, "--yes");
      break;
    case Answers::No:
      transcript_.answered(yes, "--no");
      break;
    case Answers::Ask:
      if (interactive_) {
        yes = askAtTerminal();
      } else {
        transcript_.answered(yes, "no terminal to ask; --yes or --no answer for the cashier");
      }
      break;
  }
  if (answer == nullptr) return false;
  answer->vt = VTYPE_BOOL;
  answer->value.bVal = yes;
  return true;
}

bool CashierDialogs::Alert(const WCHAR_T* text) {
  transcript_.alert(textOf(text));
  return true;
}

// A few tries at most; an empty line or the end of the input is a no, as a cashier who closes
// the dialog gives no consent.
bool CashierDialogs::askAtTerminal() {
  std::string line;
  for (int attempt = 0; attempt < 3; ++attempt) {
    if (!std::getline(in_, line)) break;
    if (line.empty()) break;
    const Reply reply = readReply(line);
    if (reply != Reply::Unclear) {
      if (!echoing_) transcript_.answered(reply == Reply::Yes, "");
      return reply == Reply::Yes;
    }
    transcript_.question(u"yes or no? / да или нет?");
  }
  transcript_.answered(false, "no answer");
  return false;
}

}  // namespace console
