// The host's own text conversions, for test expectations and terminal output. They never fail:
// whatever cannot be converted shows as U+FFFD, so a broken text is visible rather than lost.
#include <cstdint>
#include <string>

#include "host/driver_session.h"

namespace host {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void appendUtf16(std::u16string& out, char32_t codePoint) {
  if (codePoint > 0xFFFF) {
    codePoint -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (codePoint >> 10));
    out += static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF));
  } else {
    out += static_cast<char16_t>(codePoint);
  }
}

void appendUtf8(std::string& out, char32_t codePoint) {
  if (codePoint < 0x80) {
    out += static_cast<char>(codePoint);
  } else if (codePoint < 0x800) {
    out += static_cast<char>(0xC0 | (codePoint >> 6));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else if (codePoint < 0x10000) {
    out += static_cast<char>(0xE0 | (codePoint >> 12));
    out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (codePoint >> 18));
    out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (codePoint & 0x3F));
  }
}

// One well-formed sequence at `pos` (shortest form, no surrogates, at most U+10FFFF), or
// U+FFFD for the bytes up to where the sequence broke off.
char32_t decodeOne(const std::string& bytes, size_t& pos) {
  const auto byteAt = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
  const unsigned char lead = byteAt(pos++);
  if (lead < 0x80) return lead;
  int continuation;
  char32_t codePoint;
  char32_t smallest;
  if (lead >= 0xC2 && lead <= 0xDF) {
    continuation = 1, codePoint = lead & 0x1F, smallest = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    continuation = 2, codePoint = lead & 0x0F, smallest = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    continuation = 3, codePoint = lead & 0x07, smallest = 0x10000;
  } else {
    return kReplacement;
  }
  for (int i = 0; i < continuation; ++i) {
    if (pos >= bytes.size() || (byteAt(pos) & 0xC0) != 0x80) return kReplacement;
    codePoint = (codePoint << 6) | (byteAt(pos++) & 0x3F);
  }
  const bool surrogate = codePoint >= 0xD800 && codePoint <= 0xDFFF;
  if (codePoint < smallest || surrogate || codePoint > 0x10FFFF) return kReplacement;
  return codePoint;
}

}  // namespace

std::u16string u16(const std::string& utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  for (size_t pos = 0; pos < utf8.size();) appendUtf16(out, decodeOne(utf8, pos));
  return out;
}

std::string u8(const std::u16string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    const bool high = unit >= 0xD800 && unit <= 0xDBFF;
    const bool low = unit >= 0xDC00 && unit <= 0xDFFF;
    if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      appendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00));
      ++i;
    } else if (high || low) {
      appendUtf8(out, kReplacement);
    } else {
      appendUtf8(out, unit);
    }
  }
  return out;
}

std::u16string textOf(const WCHAR_T* characters, const TrackingMemory* memory) {
  if (characters == nullptr) return u"";
  size_t limit = std::u16string::npos;
  if (memory != nullptr && memory->owns(characters))
    limit = memory->sizeOf(characters) / sizeof(WCHAR_T);
  size_t length = 0;
  while (length < limit && characters[length] != 0) ++length;
  return std::u16string(characters, length);
}

}  // namespace host
