// The register's texts reach the cashier through the UTF-8 decoders, and the cashier's texts reach
// the register through the encoder. A decoder written here from the rules alone, in another shape
// (lead bytes classified by their count of leading ones), is the yardstick:
// - a byte below 0x80 is a character; a lead with 2, 3 or 4 leading ones takes 1, 2 or 3
//   continuation bytes 10xxxxxx; any other lead is bad;
// - overlong forms count as their value (C0 80 is U+0000);
// - surrogate code points, code points above U+10FFFF and input ending inside a sequence are bad.
// The encoder's rules: a high surrogate waits for the next unit and is dropped unless a low one
// follows; a low one is combined with the waiting half (none: its low ten bits alone); the first
// zero unit ends the text.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "addin/host_values.h"

namespace {

[[noreturn]] void fail(const char* what, const std::string& bytes) {
  std::fprintf(stderr, "%s\ninput (%zu bytes):", what, bytes.size());
  for (unsigned char byte : bytes) std::fprintf(stderr, " %02X", byte);
  std::fputc('\n', stderr);
  std::abort();
}

int leadingOnes(unsigned char byte) {
  int ones = 0;
  while (ones < 8 && (byte & (0x80 >> ones)) != 0) ++ones;
  return ones;
}

bool referenceDecode(const std::string& bytes, std::vector<uint32_t>& codePoints) {
  size_t at = 0;
  while (at < bytes.size()) {
    const unsigned char lead = static_cast<unsigned char>(bytes[at++]);
    const int ones = leadingOnes(lead);
    if (ones == 0) {
      codePoints.push_back(lead);
      continue;
    }
    if (ones == 1 || ones > 4) return false;
    uint32_t codePoint = lead & (0x7Fu >> ones);
    for (int k = 1; k < ones; ++k) {
      if (at == bytes.size()) return false;
      const unsigned char next = static_cast<unsigned char>(bytes[at++]);
      if ((next >> 6) != 0b10) return false;
      codePoint = (codePoint << 6) | (next & 0x3F);
    }
    if ((codePoint >> 11) == (0xD800 >> 11) || codePoint > 0x10FFFF) return false;
    codePoints.push_back(codePoint);
  }
  return true;
}

std::u16string referenceUtf16(const std::vector<uint32_t>& codePoints) {
  std::u16string text;
  for (uint32_t c : codePoints) {
    if (c < 0x10000) {
      text += static_cast<char16_t>(c);
    } else {
      text += static_cast<char16_t>(0xD800 | ((c - 0x10000) >> 10));
      text += static_cast<char16_t>(0xDC00 | ((c - 0x10000) & 0x3FF));
    }
  }
  return text;
}

// The shortest form of each code point.
std::string referenceUtf8(const std::vector<uint32_t>& codePoints) {
  std::string bytes;
  for (uint32_t c : codePoints) {
    int extra = c < 0x80 ? 0 : c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
    static const unsigned char kLeadMarks[] = {0x00, 0xC0, 0xE0, 0xF0};
    bytes += static_cast<char>(kLeadMarks[extra] | (c >> (6 * extra)));
    while (extra-- > 0) bytes += static_cast<char>(0x80 | ((c >> (6 * extra)) & 0x3F));
  }
  return bytes;
}

std::vector<uint32_t> referenceCodePointsOf(const std::u16string& text) {
  std::vector<uint32_t> codePoints;
  uint32_t waiting = 0;
  for (char16_t unit : text) {
    if (unit == 0) break;
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      waiting = unit;
    } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
      const uint32_t high = waiting == 0 ? 0 : (((waiting - 0xD800) << 10) + 0x10000);
      codePoints.push_back(high | (unit - 0xDC00));
      waiting = 0;
    } else {
      codePoints.push_back(unit);
      waiting = 0;
    }
  }
  return codePoints;
}

bool wellFormed(const std::u16string& text) {
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (unit >= 0xDC00 && unit <= 0xDFFF) return false;
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      if (i + 1 == text.size() || text[i + 1] < 0xDC00 || text[i + 1] > 0xDFFF) return false;
      ++i;
    }
  }
  return true;
}

void checkDecoders(const std::string& bytes) {
  std::vector<uint32_t> codePoints;
  const bool valid = referenceDecode(bytes, codePoints);

  const std::u16string untouched = u"untouched";
  std::u16string strict = untouched;
  const bool decoded = utf8ToWide(bytes, strict);
  if (decoded != valid)
    fail(valid ? "strict decoding refused UTF-8" : "strict decoding took bad bytes", bytes);
  if (!decoded && strict != untouched) fail("a refused text left a partial result", bytes);
  if (decoded && strict != referenceUtf16(codePoints))
    fail("strict decoding gave other characters", bytes);

  const std::u16string lenient = utf8ToWideLenient(bytes);
  if (valid && lenient != strict) fail("lenient decoding differs on valid UTF-8", bytes);
  if (!valid && lenient.find(u'\uFFFD') == std::u16string::npos)
    fail("lenient decoding hid a bad sequence", bytes);
  if (!wellFormed(lenient)) fail("lenient decoding left a lone surrogate", bytes);

  // The encoder ends a text at its first zero unit, as the platform's texts end.
  const std::vector<uint32_t> upToZero(codePoints.begin(),
                                       std::find(codePoints.begin(), codePoints.end(), 0u));
  if (decoded && wideToUtf8(strict) != referenceUtf8(upToZero))
    fail("a decoded text does not encode back to its shortest form", bytes);
}

void checkEncoder(const std::string& bytes) {
  std::u16string text;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2)
    text += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                  static_cast<unsigned char>(bytes[i + 1]) << 8);
  const std::vector<uint32_t> codePoints = referenceCodePointsOf(text);
  const std::string encoded = wideToUtf8(text);
  if (encoded != referenceUtf8(codePoints)) fail("encoding gave other bytes", bytes);

  std::u16string back;
  if (!utf8ToWide(encoded, back)) fail("an encoded text is no UTF-8", bytes);
  const std::u16string upToZero = text.substr(0, text.find(u'\0'));
  if (wellFormed(upToZero) && back != upToZero) fail("a text did not survive encoding", bytes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  checkDecoders(bytes);
  checkEncoder(bytes);
  return 0;
}
