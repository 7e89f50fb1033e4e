#include "tape.h"

#include <algorithm>
#include <cstdio>

namespace sim {

namespace {

// Length of the UTF-8 sequence that starts with `lead`, 0 when it starts none.
size_t sequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

bool isContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The driver ends its print lines with CR LF; the amount line is padded past the line length
// with blanks that the paper does not need.
std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

std::string number(double value) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%g", value);
  return buffer;
}

}  // namespace

std::vector<std::string> glyphsOf(const std::string& text) {
  std::vector<std::string> glyphs;
  size_t position = 0;
  while (position < text.size()) {
    const unsigned char lead = static_cast<unsigned char>(text[position]);
    size_t length = sequenceLength(lead);
    for (size_t i = 1; length > 1 && i < length; ++i)
      if (position + i >= text.size() ||
          !isContinuation(static_cast<unsigned char>(text[position + i])))
        length = 0;
    if (length == 0) {
      glyphs.push_back("?");
      ++position;
    } else if (length == 1 && (lead < 0x20 || lead == 0x7F)) {
      glyphs.push_back(" ");
      ++position;
    } else {
      glyphs.push_back(text.substr(position, length));
      position += length;
    }
  }
  return glyphs;
}

std::string money(double amount) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%.2f", amount);
  return buffer;
}

Tape::Tape(std::ostream& out, int width) : out_(out), width_(width < 1 ? 1 : width) {}

Tape::~Tape() { finish(); }

void Tape::receipt(const ReceiptDocument& document) {
  open();
  centered("КАССОВЫЙ ЧЕК");
  centered(document.isReturn ? "ВОЗВРАТ ПРИХОДА" : "ПРИХОД");
  labelled("ЧЕК №", std::to_string(document.number));
  labelled("СМЕНА №", std::to_string(document.shift));
  rule();
  if (!document.printText.empty()) {
    for (const std::string& line : linesOf(document.printText)) text(line);
  } else {
    int position = 0;
    for (const Item& item : document.items) {
      text(std::to_string(++position) + "." + item.name);
      text(number(item.quantity) + "x" + number(item.price) + "=" + number(item.sum));
    }
  }
  rule();
  labelled("ИТОГ", money(document.total));
  if (document.cash != 0) labelled("НАЛИЧНЫМИ", money(document.cash));
  if (document.bank != 0) labelled("БЕЗНАЛИЧНЫМИ", money(document.bank));
  if (document.credit != 0) labelled("КРЕДИТ", money(document.credit));
  if (document.tara != 0) labelled("ТАРА", money(document.tara));
  if (document.change != 0) labelled("СДАЧА", money(document.change));
  text(document.dateTime);
  close();
}

void Tape::report(const ShiftReportDocument& document) {
  open();
  centered(document.closesShift ? "Z-ОТЧЕТ" : "X-ОТЧЕТ");
  centered(document.closesShift ? "ОТЧЕТ О ЗАКРЫТИИ СМЕНЫ" : "ОТЧЕТ БЕЗ ГАШЕНИЯ");
  labelled("СМЕНА №", std::to_string(document.shift));
  rule();
  labelled("ЧЕКОВ ПРИХОДА", std::to_string(document.sales));
  labelled("ПРИХОД", money(document.salesSum));
  labelled("ЧЕКОВ ВОЗВРАТА", std::to_string(document.returns));
  labelled("ВОЗВРАТ ПРИХОДА", money(document.returnsSum));
  labelled("ВНЕСЕНО", money(document.deposits));
  labelled("ВЫПЛАЧЕНО", money(document.withdrawals));
  labelled("НАЛИЧНЫХ В КАССЕ", money(document.cashInDrawer));
  rule();
  if (document.closesShift) centered("СМЕНА ЗАКРЫТА");
  text(document.dateTime);
  close();
}

void Tape::cash(const CashDocument& document) {
  open();
  centered(document.deposit ? "ВНЕСЕНИЕ" : "ВЫПЛАТА");
  labelled("СМЕНА №", std::to_string(document.shift));
  labelled("СУММА", money(document.amount));
  labelled("НАЛИЧНЫХ В КАССЕ", money(document.cashInDrawer));
  text(document.dateTime);
  close();
}

void Tape::slipLine(const std::string& line) {
  if (!slipOpen_) {
    open();
    slipOpen_ = true;
  }
  const std::vector<std::string> pieces = linesOf(line);
  if (pieces.empty()) row({});  // a slip line of blanks feeds the paper all the same
  for (const std::string& piece : pieces) text(piece);
  out_.flush();
}

void Tape::drawerOpened() {
  finish();
  out_ << "  (cash drawer opened)\n";
  out_.flush();
}

void Tape::finish() {
  if (!slipOpen_) return;
  slipOpen_ = false;
  close();
}

void Tape::open() {
  finish();
  out_ << '+' << std::string(width_, '-') << "+\n";
}

void Tape::close() {
  out_ << '+' << std::string(width_, '-') << "+\n\n";
  out_.flush();
}

void Tape::rule() { out_ << '|' << std::string(width_, '-') << "|\n"; }

void Tape::text(const std::string& line) {
  const std::vector<std::string> glyphs = glyphsOf(line);
  if (glyphs.empty()) {
    row({});
    return;
  }
  for (size_t start = 0; start < glyphs.size(); start += width_) {
    const size_t end = std::min(glyphs.size(), start + width_);
    row(std::vector<std::string>(glyphs.begin() + start, glyphs.begin() + end));
  }
}

void Tape::centered(const std::string& line) {
  std::vector<std::string> glyphs = glyphsOf(line);
  if (glyphs.size() >= static_cast<size_t>(width_)) {
    text(line);
    return;
  }
  const size_t margin = (width_ - glyphs.size()) / 2;
  glyphs.insert(glyphs.begin(), margin, " ");
  row(glyphs);
}

void Tape::labelled(const std::string& label, const std::string& value) {
  std::vector<std::string> left = glyphsOf(label);
  const std::vector<std::string> right = glyphsOf(value);
  if (left.size() + 1 + right.size() > static_cast<size_t>(width_)) {
    // Too wide for one line: the label above, the value right-aligned below it.
    text(label);
    if (right.size() >= static_cast<size_t>(width_)) {
      text(value);
      return;
    }
    left.clear();
  }
  left.insert(left.end(), width_ - left.size() - right.size(), " ");
  left.insert(left.end(), right.begin(), right.end());
  row(left);
}

void Tape::row(const std::vector<std::string>& glyphs) {
  out_ << '|';
  for (const std::string& glyph : glyphs) out_ << glyph;
  out_ << std::string(width_ - glyphs.size(), ' ') << "|\n";
}

}  // namespace sim
