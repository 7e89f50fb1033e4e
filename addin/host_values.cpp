#include "addin/host_values.h"

#include <cstring>
#include <string_view>
#include <vector>

namespace {

constexpr unsigned short kMessageCode = 1005;
constexpr char16_t kReplacement = 0xFFFD;

bool isHighSurrogate(uint32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool isLowSurrogate(uint32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Writes the UTF-8 bytes of one code point at `at` and answers how many (1 to 4). Each item line
// of a receipt is encoded twice, so the texts are sized once and written in place rather than
// grown a byte at a time.
size_t encodeUtf8(uint32_t codePoint, char* at) {
  if (codePoint < 0x80) {
    at[0] = static_cast<char>(codePoint);
    return 1;
  }
  if (codePoint < 0x800) {
    at[0] = static_cast<char>(0xC0 | (codePoint >> 6));
    at[1] = static_cast<char>(0x80 | (codePoint & 0x3F));
    return 2;
  }
  if (codePoint < 0x10000) {
    at[0] = static_cast<char>(0xE0 | (codePoint >> 12));
    at[1] = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    at[2] = static_cast<char>(0x80 | (codePoint & 0x3F));
    return 3;
  }
  at[0] = static_cast<char>(0xF0 | (codePoint >> 18));
  at[1] = static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
  at[2] = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
  at[3] = static_cast<char>(0x80 | (codePoint & 0x3F));
  return 4;
}

// A 16-bit unit takes at most 3 bytes; a surrogate pair takes 4 for its two units.
constexpr size_t kMostUtf8BytesPerUnit = 3;

void appendUtf16(std::u16string& out, uint32_t codePoint) {
  if (codePoint > 0xFFFF) {
    out += static_cast<char16_t>(0xD800 + ((codePoint - 0x10000) >> 10));
    out += static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF));
  } else {
    out += static_cast<char16_t>(codePoint);
  }
}

// Decodes one sequence at `pos`. Overlong forms are accepted, as the register's texts have always
// been read; surrogates and code points beyond U+10FFFF are not. On a bad sequence `pos` moves
// past the bytes that belong to it, so the caller can resume at the next one.
bool decodeOne(const std::string& bytes, size_t& pos, uint32_t& codePoint) {
  const auto byteAt = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
  const unsigned char lead = byteAt(pos);
  ++pos;
  int continuation;
  if (lead < 0x80) {
    codePoint = lead;
    return true;
  } else if (lead >= 0xC0 && lead <= 0xDF) {
    codePoint = lead & 0x1F;
    continuation = 1;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    codePoint = lead & 0x0F;
    continuation = 2;
  } else if (lead >= 0xF0 && lead <= 0xF7) {
    codePoint = lead & 0x07;
    continuation = 3;
  } else {
    return false;
  }
  for (int i = 0; i < continuation; ++i) {
    if (pos >= bytes.size()) return false;
    const unsigned char next = byteAt(pos);
    if (next < 0x80 || next > 0xBF) return false;
    codePoint = (codePoint << 6) | (next & 0x3F);
    ++pos;
  }
  return !(codePoint >= 0xD800 && codePoint <= 0xDFFF) && codePoint <= 0x10FFFF;
}

}  // namespace

int32_t variantToInt(const tVariant& value) {
  switch (value.vt) {
    case VTYPE_I2:
      return value.value.shortVal;
    case VTYPE_I4:
    case VTYPE_ERROR:
    case VTYPE_UI4:
    case VTYPE_INT:
    case VTYPE_UINT:
    case VTYPE_HRESULT:
      return value.value.lVal;
    case VTYPE_I1:
      return value.value.i8Val;
    case VTYPE_UI1:
      return value.value.ui8Val;
    case VTYPE_UI2:
      return value.value.ushortVal;
    default:
      return 0;
  }
}

double variantToDouble(const tVariant& value) {
  switch (value.vt) {
    case VTYPE_I2:
      return value.value.shortVal;
    case VTYPE_I4:
    case VTYPE_ERROR:
      return value.value.lVal;
    case VTYPE_R4:
      return value.value.fltVal;
    case VTYPE_R8:
      return value.value.dblVal;
    case VTYPE_UI1:
      return value.value.ui8Val;
    default:
      return 0.0;
  }
}

std::u16string variantToWide(const tVariant& value) {
  if (value.vt != VTYPE_PWSTR || value.value.wstr.pwstrVal == nullptr) return std::u16string();
  return std::u16string(value.value.wstr.pwstrVal);
}

std::string variantToUtf8(const tVariant& value) {
  if (value.vt != VTYPE_PWSTR || value.value.wstr.pwstrVal == nullptr) return std::string();
  const std::u16string_view units(value.value.wstr.pwstrVal);
  std::string out(units.size() * kMostUtf8BytesPerUnit, '\0');
  size_t used = 0;
  for (char16_t unit : units) used += encodeUtf8(unit, &out[used]);
  out.resize(used);
  return out;
}

bool variantToFlag(const tVariant& value) {
  unsigned char first;
  std::memcpy(&first, &value.value, 1);
  return first != 0;
}

void copyWideText(WCHAR_T* target, const WCHAR_T* source, size_t count) {
  if (count == 0) count = std::char_traits<char16_t>::length(source) + 1;
  std::memcpy(target, source, count * sizeof(WCHAR_T));
}

void returnWideText(IMemoryManager* memory, tVariant* value, const std::u16string& text) {
  if (value == nullptr) return;
  value->value.wstr.pwstrVal = nullptr;
  value->vt = VTYPE_PWSTR;
  void* block = nullptr;
  const unsigned long bytes = static_cast<unsigned long>((text.size() + 1) * sizeof(WCHAR_T));
  if (memory != nullptr && memory->AllocMemory(&block, bytes) && block != nullptr) {
    auto* characters = static_cast<WCHAR_T*>(block);
    copyWideText(characters, text.data(), text.size());
    characters[text.size()] = 0;
    value->value.wstr.pwstrVal = characters;
  }
  value->value.wstr.wstrLen = static_cast<uint32_t>(text.size());
}

void returnNarrowText(IMemoryManager* memory, tVariant* value, const std::string& bytes) {
  std::u16string text;
  text.reserve(bytes.size());
  for (char byte : bytes) {
    if (byte == 0) break;
    text += static_cast<char16_t>(static_cast<int16_t>(static_cast<signed char>(byte)));
  }
  returnWideText(memory, value, text);
}

void returnUtf8Text(IMemoryManager* memory, tVariant* value, const std::string& utf8) {
  returnWideText(memory, value, utf8ToWideLenient(utf8));
}

void returnBool(tVariant* value, bool flag) {
  if (value == nullptr) return;
  value->vt = VTYPE_BOOL;
  value->value.bVal = flag;
}

void returnInt(tVariant* value, int32_t number) {
  if (value == nullptr) return;
  switch (value->vt) {
    case VTYPE_I4:
    case VTYPE_ERROR:
    case VTYPE_UI4:
    case VTYPE_INT:
    case VTYPE_UINT:
    case VTYPE_HRESULT:
      break;
    default:
      value->vt = VTYPE_I4;
  }
  value->value.lVal = number;
}

void returnTaggedInt(tVariant* value, int32_t number, TYPEVAR tag) {
  if (value == nullptr) return;
  value->vt = tag;
  value->value.lVal = number;
}

std::string wideToUtf8(const std::u16string& text) {
  std::string out(text.size() * kMostUtf8BytesPerUnit, '\0');
  size_t used = 0;
  uint32_t highHalf = 0;
  for (char16_t unit : text) {
    if (unit == 0) break;
    if (isHighSurrogate(unit)) {
      highHalf = unit;
      continue;
    }
    uint32_t codePoint = unit;
    if (isLowSurrogate(unit)) {
      codePoint = ((highHalf & 0x3FF) << 10) + (unit & 0x3FF) + (highHalf ? 0x10000 : 0);
    }
    used += encodeUtf8(codePoint, &out[used]);
    highHalf = 0;
  }
  out.resize(used);
  return out;
}

bool utf8ToWide(const std::string& bytes, std::u16string& text) {
  std::u16string out;
  out.reserve(bytes.size());
  for (size_t pos = 0; pos < bytes.size();) {
    uint32_t codePoint;
    if (!decodeOne(bytes, pos, codePoint)) return false;
    appendUtf16(out, codePoint);
  }
  text.swap(out);
  return true;
}

std::u16string utf8ToWideLenient(const std::string& bytes) {
  std::u16string out;
  out.reserve(bytes.size());
  for (size_t pos = 0; pos < bytes.size();) {
    uint32_t codePoint;
    if (decodeOne(bytes, pos, codePoint)) {
      appendUtf16(out, codePoint);
    } else {
      // decodeOne has stopped before a byte that could not continue the sequence, so decoding
      // resumes there.
      out += kReplacement;
    }
  }
  return out;
}

void reportToHost(IAddInDefBase* connection, const std::u16string& source,
                  const std::u16string& message) {
  if (connection == nullptr) return;
  // The platform's call takes modifiable texts: it gets copies of its own.
  std::vector<WCHAR_T> sourceCopy(source.c_str(), source.c_str() + source.size() + 1);
  std::vector<WCHAR_T> messageCopy(message.c_str(), message.c_str() + message.size() + 1);
  connection->AddError(kMessageCode, sourceCopy.data(), messageCopy.data(), 0);
}
