#include "driver_call.h"

#include "number_text.h"

namespace console {

std::string showValue(const tVariant& value, const std::u16string& text) {
  switch (value.vt) {
    case VTYPE_EMPTY:
      return "empty";
    case VTYPE_BOOL:
      return value.value.bVal ? "true" : "false";
    case VTYPE_I2:
      return std::to_string(value.value.shortVal);
    case VTYPE_I4:
    case VTYPE_INT:
    case VTYPE_ERROR:
    case VTYPE_HRESULT:
      return std::to_string(value.value.lVal);
    case VTYPE_UI4:
    case VTYPE_UINT:
      return std::to_string(value.value.ulVal);
    case VTYPE_R4:
      return showDecimal(value.value.fltVal);
    case VTYPE_R8:
      return showDecimal(value.value.dblVal);
    case VTYPE_PWSTR:
      return quoted(host::u8(text));
    default:
      return "(a value of type " + std::to_string(value.vt) + ")";
  }
}

DriverCall::DriverCall(host::DriverSession& session, std::u16string method, size_t count)
    : session_(session),
      method_(std::move(method)),
      params_(session.params(count)),
      shown_(count) {}

DriverCall& DriverCall::text(size_t index, const std::string& name, const std::string& utf8) {
  params_.utf8(index, utf8);
  shown_[index] = {name, quoted(utf8), false};
  return *this;
}

DriverCall& DriverCall::number(size_t index, const std::string& name, double value) {
  params_.r8(index, value);
  shown_[index] = {name, showDecimal(value), false};
  return *this;
}

DriverCall& DriverCall::integer(size_t index, const std::string& name, int32_t value) {
  params_.i4(index, value);
  shown_[index] = {name, std::to_string(value), false};
  return *this;
}

DriverCall& DriverCall::flag(size_t index, const std::string& name, bool value) {
  params_.boolean(index, value);
  shown_[index] = {name, value ? "true" : "false", false};
  return *this;
}

DriverCall& DriverCall::out(size_t index, const std::string& name) {
  params_.empty(index);
  shown_[index] = {name, "", true};
  return *this;
}

DriverCall& DriverCall::outInteger(size_t index, const std::string& name) {
  params_.i4(index, 0);
  shown_[index] = {name, "", true};
  return *this;
}

DriverCall& DriverCall::inOutText(size_t index, const std::string& name, const std::string& utf8) {
  params_.utf8(index, utf8);
  shown_[index] = {name, quoted(utf8), true};
  return *this;
}

bool DriverCall::run(Transcript& transcript) {
  transcript.callStarts(callLine());
  result_ = session_.call(method_, params_);
  transcript.callEnds(outcomeLine());
  if (!result_.called) return false;
  if (result_.value.vt == VTYPE_BOOL) return result_.boolean();
  return true;
}

std::string DriverCall::textAt(size_t index) const { return host::u8(params_.textAt(index)); }

int32_t DriverCall::integerAt(size_t index) const { return params_.intAt(index); }

// Method(name=value, out name, _): the values in the order the platform passes them.
std::string DriverCall::callLine() const {
  std::string line = host::u8(method_) + "(";
  for (size_t i = 0; i < shown_.size(); ++i) {
    if (i > 0) line += ", ";
    const Shown& value = shown_[i];
    if (value.name.empty())
      line += "_";
    else if (value.passed.empty())
      line += "out " + value.name;
    else
      line += value.name + "=" + value.passed;
  }
  return line + ")";
}

// true; name = value, ...: the result first, then every value the driver may have written.
std::string DriverCall::outcomeLine() {
  if (!result_.called) return "the call was refused (CallAsFunc answered false)";
  std::string line = showValue(result_.value, result_.text);
  bool first = true;
  for (size_t i = 0; i < shown_.size(); ++i) {
    if (!shown_[i].comesBack) continue;
    line += first ? "; " : ", ";
    first = false;
    line += shown_[i].name + " = " + showValue(params_[i], params_.textAt(i));
  }
  return line;
}

}  // namespace console
