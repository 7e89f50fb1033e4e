// The values of one call as the platform prepares them. Texts going in live in this object;
// texts the driver writes come from the platform's memory, and this object gives them back when
// a value is overwritten or when it goes, as the platform does once a call's values are done.
#include <algorithm>
#include <cstring>

#include "host/driver_session.h"

namespace host {

Params::Params(size_t count, TrackingMemory* memory) : values_(count), memory_(memory) {
  for (tVariant& value : values_) std::memset(&value, 0, sizeof value);
}

Params::~Params() {
  for (size_t i = 0; i < values_.size(); ++i) releaseDriverText(i);
}

bool Params::isHostText(const void* characters) const {
  for (const auto& text : storage_)
    if (text->data() == characters) return true;
  return std::find(rawTexts_.begin(), rawTexts_.end(), characters) != rawTexts_.end();
}

// A text that is not one of ours is the driver's and goes back to the platform's memory. Were it
// not a block of that memory, the memory counts a bad free: the platform would free it all the
// same.
void Params::releaseDriverText(size_t i) {
  tVariant& value = values_[i];
  if (value.vt != VTYPE_PWSTR || value.value.wstr.pwstrVal == nullptr) return;
  void* characters = value.value.wstr.pwstrVal;
  if (!isHostText(characters) && memory_ != nullptr) memory_->FreeMemory(&characters);
  value.value.wstr.pwstrVal = nullptr;
}

Params& Params::empty(size_t i) {
  releaseDriverText(i);
  std::memset(&values_[i], 0, sizeof(tVariant));
  return *this;
}

Params& Params::text(size_t i, const std::u16string& value) {
  empty(i);
  storage_.push_back(std::make_unique<std::u16string>(value));
  values_[i].vt = VTYPE_PWSTR;
  values_[i].value.wstr.pwstrVal = storage_.back()->data();
  values_[i].value.wstr.wstrLen = static_cast<uint32_t>(value.size());
  return *this;
}

Params& Params::utf8(size_t i, const std::string& value) { return text(i, u16(value)); }

Params& Params::i4(size_t i, int32_t value) {
  empty(i);
  values_[i].vt = VTYPE_I4;
  values_[i].value.lVal = value;
  return *this;
}

Params& Params::i2(size_t i, int16_t value) {
  empty(i);
  values_[i].vt = VTYPE_I2;
  values_[i].value.shortVal = value;
  return *this;
}

Params& Params::r8(size_t i, double value) {
  empty(i);
  values_[i].vt = VTYPE_R8;
  values_[i].value.dblVal = value;
  return *this;
}

Params& Params::r4(size_t i, float value) {
  empty(i);
  values_[i].vt = VTYPE_R4;
  values_[i].value.fltVal = value;
  return *this;
}

Params& Params::boolean(size_t i, bool value) {
  empty(i);
  values_[i].vt = VTYPE_BOOL;
  values_[i].value.bVal = value;
  return *this;
}

Params& Params::raw(size_t i, const tVariant& value) {
  empty(i);
  values_[i] = value;
  if (value.vt == VTYPE_PWSTR && value.value.wstr.pwstrVal != nullptr)
    rawTexts_.push_back(value.value.wstr.pwstrVal);
  return *this;
}

std::u16string Params::textAt(size_t i) const {
  const tVariant& value = values_[i];
  if (value.vt != VTYPE_PWSTR) return u"";
  return textOf(value.value.wstr.pwstrVal, memory_);
}

std::string Params::utf8At(size_t i) const { return u8(textAt(i)); }

int32_t Params::intAt(size_t i) const { return values_[i].value.lVal; }

bool Params::boolAt(size_t i) const {
  unsigned char first;
  std::memcpy(&first, &values_[i].value, 1);
  return first != 0;
}

}  // namespace host
