// The cashier's side of the platform's dialogs: every question and notice is kept, and questions
// get the answers a test or the technician scripted beforehand.
#include <string>

#include "host/driver_session.h"

namespace host {
bool ScriptedMessageBox::Confirm(const WCHAR_T* question, tVariant* answer) {
  dialogs.push_back({Dialog::Confirm, textOf(question)});
  bool yes = defaultAnswer;
  if (!answers.empty()) {
    yes = answers.front();
    answers.pop_front();
  }
  if (answer == nullptr) return false;
  answer->vt = VTYPE_BOOL;
  answer->value.bVal = yes;
  return true;
}

bool ScriptedMessageBox::Alert(const WCHAR_T* text) {
  dialogs.push_back({Dialog::Alert, textOf(text)});
  return true;
}

}  // namespace host
