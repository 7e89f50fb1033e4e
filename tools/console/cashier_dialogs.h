// The platform's message box at the technician's terminal: the driver's questions are shown as
// the cashier would see them and answered from the terminal, or by --yes / --no.
#pragma once

#include <istream>

#include "options.h"
#include "platform/host_connection.h"
#include "transcript.h"

namespace console {

class CashierDialogs : public IMsgBox {
 public:
  // `interactive`: `in` is a terminal a person can answer at; `echoing`: the output goes to that
  // terminal too, whose echo already shows the typed answer.
  CashierDialogs(Transcript& transcript, Answers answers, std::istream& in, bool interactive,
                 bool echoing);

  bool Confirm(const WCHAR_T* question, tVariant* answer) override;
  bool Alert(const WCHAR_T* text) override;

 private:
  bool askAtTerminal();

  Transcript& transcript_;
  Answers answers_;
  std::istream& in_;
  bool interactive_;
  bool echoing_;
};

}  // namespace console
