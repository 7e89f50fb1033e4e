// The register's paper tape: every document it prints, framed at the printer's line length so a
// person reading the terminal sees what the shop's customer would get.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "form_body.h"

namespace sim {

struct ReceiptDocument {
  bool isReturn = false;
  int number = 0;
  int shift = 0;
  std::string printText;    // the driver's lines, CR LF between them
  std::vector<Item> items;  // printed from the item array when no print text came
  double total = 0, cash = 0, bank = 0, credit = 0, tara = 0, change = 0;
  std::string dateTime;
};

struct ShiftReportDocument {
  bool closesShift = false;  // Z report
  int shift = 0;
  int sales = 0, returns = 0;
  double salesSum = 0, returnsSum = 0, deposits = 0, withdrawals = 0, cashInDrawer = 0;
  std::string dateTime;
};

struct CashDocument {
  bool deposit = true;
  int shift = 0;
  double amount = 0, cashInDrawer = 0;
  std::string dateTime;
};

class Tape {
 public:
  Tape(std::ostream& out, int width);
  ~Tape();
  Tape(const Tape&) = delete;
  Tape& operator=(const Tape&) = delete;

  void receipt(const ReceiptDocument& document);
  void report(const ShiftReportDocument& document);
  void cash(const CashDocument& document);
  // Slip lines come one request at a time; consecutive ones share one frame.
  void slipLine(const std::string& text);
  // The drawer opens; nothing is printed on the paper.
  void drawerOpened();
  // Closes a frame left open by slip lines.
  void finish();

 private:
  void open();
  void close();
  void rule();
  void text(const std::string& line);  // wrapped at the width
  void centered(const std::string& line);
  void labelled(const std::string& label, const std::string& value);
  void row(const std::vector<std::string>& glyphs);

  std::ostream& out_;
  int width_;
  bool slipOpen_ = false;
};

// A text as the printer's character cells: one UTF-8 character each, a byte that starts no
// valid character shown as "?", control characters as blanks.
std::vector<std::string> glyphsOf(const std::string& text);

// "101.00": amounts on the tape always carry two decimals.
std::string money(double amount);

}  // namespace sim
