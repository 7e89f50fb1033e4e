// The routines that read the platform's values, write texts into the platform's memory and
// convert between the platform's UTF-16 and the register's UTF-8.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "addin/host_values.h"
#include "host/driver_session.h"

namespace {

// Values come with the rest of the value area filled with noise, as the platform leaves it, so a
// reader that takes more bytes than its tag holds reads the noise and shows it.
tVariant noisy(TYPEVAR tag) {
  tVariant value;
  std::memset(&value, 0x5A, sizeof value);
  value.vt = tag;
  return value;
}
tVariant i1(uint8_t byte) {
  tVariant v = noisy(VTYPE_I1);
  v.value.ui8Val = byte;
  return v;
}
tVariant ui1(uint8_t byte) {
  tVariant v = noisy(VTYPE_UI1);
  v.value.ui8Val = byte;
  return v;
}
tVariant i2(int16_t number) {
  tVariant v = noisy(VTYPE_I2);
  v.value.shortVal = number;
  return v;
}
tVariant ui2(uint16_t number) {
  tVariant v = noisy(VTYPE_UI2);
  v.value.ushortVal = number;
  return v;
}
tVariant bits32(TYPEVAR tag, uint32_t bits) {
  tVariant v = noisy(tag);
  v.value.ulVal = bits;
  return v;
}
tVariant r4(float number) {
  tVariant v = noisy(VTYPE_R4);
  v.value.fltVal = number;
  return v;
}
tVariant r8(double number) {
  tVariant v = noisy(VTYPE_R8);
  v.value.dblVal = number;
  return v;
}
tVariant boolean(bool flag) {
  tVariant v = noisy(VTYPE_BOOL);
  v.value.bVal = flag;
  return v;
}
tVariant wide(const char16_t* characters, uint32_t length) {
  tVariant v = noisy(VTYPE_PWSTR);
  v.value.wstr.pwstrVal = const_cast<char16_t*>(characters);
  v.value.wstr.wstrLen = length;
  return v;
}
tVariant wide(const char16_t* characters) {
  return wide(
      characters,
      characters ? static_cast<uint32_t>(std::char_traits<char16_t>::length(characters)) : 0);
}

struct IntCase {
  const char* what;
  tVariant value;
  int32_t expected;
};

TEST(VariantToInt, ReadsEachIntegerTagAtItsOwnWidthAndNothingElse) {
  const IntCase cases[] = {
      {"R8 24.0 is not an integer", r8(24.0), 0},
      {"R4 3.0 is not an integer", r4(3.0f), 0},
      {"I2 sign-extended", i2(-5), -5},
      {"I2 lowest", i2(INT16_MIN), INT16_MIN},
      {"I4", bits32(VTYPE_I4, static_cast<uint32_t>(-123456)), -123456},
      {"ERROR", bits32(VTYPE_ERROR, 7), 7},
      {"UI4 bit for bit", bits32(VTYPE_UI4, 0xFFFFFFFFu), -1},
      {"UI4 high bit", bits32(VTYPE_UI4, 0x80000000u), INT32_MIN},
      {"INT", bits32(VTYPE_INT, 42), 42},
      {"UINT bit for bit", bits32(VTYPE_UINT, 0xFFFFFFFEu), -2},
      {"HRESULT bit for bit", bits32(VTYPE_HRESULT, 0x80004005u),
       static_cast<int32_t>(0x80004005u)},
      {"I1 0xC8 sign-extended", i1(0xC8), -56},
      {"I1 positive", i1(0x7F), 127},
      {"UI1 200 zero-extended", ui1(200), 200},
      {"UI2 zero-extended", ui2(0xFFFF), 65535},
      {"BOOL", boolean(true), 0},
      {"PWSTR with digits", wide(u"12"), 0},
      {"EMPTY", noisy(VTYPE_EMPTY), 0},
      {"NULL", noisy(VTYPE_NULL), 0},
      {"I8", noisy(VTYPE_I8), 0},
      {"DATE", noisy(VTYPE_DATE), 0},
  };
  for (const IntCase& c : cases) EXPECT_EQ(variantToInt(c.value), c.expected) << c.what;
}

struct DoubleCase {
  const char* what;
  tVariant value;
  double expected;
};

TEST(VariantToDouble, ReadsTheTagsAnAmountArrivesInAndZeroForTheRest) {
  const DoubleCase cases[] = {
      {"INT 7 is not read", bits32(VTYPE_INT, 7), 0.0},
      {"I4 7", bits32(VTYPE_I4, 7), 7.0},
      {"I4 negative", bits32(VTYPE_I4, static_cast<uint32_t>(-250)), -250.0},
      {"ERROR signed", bits32(VTYPE_ERROR, 0xFFFFFFFDu), -3.0},
      {"I2 signed", i2(-5), -5.0},
      {"R4 widened, not rounded to decimal", r4(0.1f), static_cast<double>(0.1f)},
      {"R8", r8(2.5), 2.5},
      {"UI1", ui1(200), 200.0},
      {"I1 is not read", i1(7), 0.0},
      {"UI2 is not read", ui2(7), 0.0},
      {"UI4 is not read", bits32(VTYPE_UI4, 7), 0.0},
      {"UINT is not read", bits32(VTYPE_UINT, 7), 0.0},
      {"HRESULT is not read", bits32(VTYPE_HRESULT, 7), 0.0},
      {"BOOL", boolean(true), 0.0},
      {"PWSTR with digits", wide(u"7"), 0.0},
      {"EMPTY", noisy(VTYPE_EMPTY), 0.0},
  };
  for (const DoubleCase& c : cases) EXPECT_EQ(variantToDouble(c.value), c.expected) << c.what;
}

TEST(VariantToWide, TakesTheCharactersUpToTheFirstZeroWhateverTheLengthSays) {
  const char16_t withZero[] = u"ab\0cd";
  const struct {
    const char* what;
    tVariant value;
    std::u16string expected;
  } cases[] = {
      {"a text", wide(u"Чек 1"), u"Чек 1"},
      {"length shorter than the text", wide(u"abc", 1), u"abc"},
      {"length beyond the first zero", wide(withZero, 5), u"ab"},
      {"length zero", wide(u"abc", 0), u"abc"},
      {"null text", wide(nullptr, 3), u""},
      {"BOOL", boolean(true), u""},
      {"I4", bits32(VTYPE_I4, 0x41), u""},
      {"EMPTY", noisy(VTYPE_EMPTY), u""},
  };
  for (const auto& c : cases) EXPECT_EQ(variantToWide(c.value), c.expected) << c.what;
}

TEST(VariantToFlag, IsTheFirstByteOfTheValueWhateverTheTag) {
  const struct {
    const char* what;
    tVariant value;
    bool expected;
  } cases[] = {
      {"BOOL true", boolean(true), true},
      {"BOOL false", boolean(false), false},
      {"I4 1", bits32(VTYPE_I4, 1), true},
      {"I4 256: its first byte is 0", bits32(VTYPE_I4, 256), false},
      {"R8 1.0: its first byte is 0", r8(1.0), false},
  };
  for (const auto& c : cases) EXPECT_EQ(variantToFlag(c.value), c.expected) << c.what;
}

// variantToUtf8 encodes each 16-bit unit on its own; wideToUtf8 joins surrogate pairs.
TEST(Utf8Encoding, BothEncodersAgreeOnTextsWithoutSurrogates) {
  const struct {
    std::u16string text;
    std::string utf8;
  } cases[] = {
      {u"", ""},
      {u"192.168.1.100", "192.168.1.100"},
      {u"Привет", "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"},
      {u"\u007F\u0080\u07FF\u0800\uFFFF", "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xEF\xBF\xBF"},
      {u"€ 10", "\xE2\x82\xAC 10"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(wideToUtf8(c.text), c.utf8) << host::u8(c.text);
    EXPECT_EQ(variantToUtf8(wide(c.text.c_str())), c.utf8) << host::u8(c.text);
  }
}

TEST(Utf8Encoding, ASurrogatePairIsOneFourByteSequenceOrTwoThreeByteOnes) {
  const std::u16string smile = u"\xD83D\xDE00";  // U+1F600
  EXPECT_EQ(wideToUtf8(smile), "\xF0\x9F\x98\x80");
  EXPECT_EQ(variantToUtf8(wide(smile.c_str())), "\xED\xA0\xBD\xED\xB8\x80");
}

TEST(Utf8Encoding, WideToUtf8HandlesStraySurrogateHalves) {
  const struct {
    const char* what;
    std::u16string text;
    std::string utf8;
  } cases[] = {
      {"lone high half is dropped",
       u"a\xD83D"
       u"b",
       "ab"},
      {"high half at the end is dropped", u"a\xD83D", "a"},
      {"a second high half replaces the first", u"\xD83D\xD83D\xDE00", "\xF0\x9F\x98\x80"},
      {"lone low half U+DC41 is the byte 0x41", u"\xDC41", "\x41"},
      {"stops at the first zero", std::u16string(u"ab\0cd", 5), "ab"},
  };
  for (const auto& c : cases) EXPECT_EQ(wideToUtf8(c.text), c.utf8) << c.what;
}

TEST(Utf8Decoding, StrictDecodingAcceptsWhatTheRegisterHasAlwaysSent) {
  const struct {
    const char* what;
    std::string bytes;
    std::u16string text;
  } cases[] = {
      {"empty", "", u""},
      {"ASCII", "OK", u"OK"},
      {"Cyrillic", "\xD0\x9F\xD1\x80", u"Пр"},
      {"overlong zero", std::string("\xC0\x80", 2), std::u16string(1, u'\0')},
      {"overlong slash", "\xE0\x80\xAF", u"/"},
      {"beyond the basic plane", "\xF0\x9F\x98\x80", u"\xD83D\xDE00"},
      {"the last code point", "\xF4\x8F\xBF\xBF", u"\xDBFF\xDFFF"},
  };
  for (const auto& c : cases) {
    std::u16string text = u"previous";
    EXPECT_TRUE(utf8ToWide(c.bytes, text)) << c.what;
    EXPECT_EQ(text, c.text) << c.what;
  }
}

TEST(Utf8Decoding, StrictDecodingFailsAndKeepsNothingOfABadText) {
  const struct {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"encoded surrogate", "\xED\xA0\x80"},
      {"lone continuation byte", "\x80"},
      {"continuation byte after a letter", "a\xBF"},
      {"lead byte 0xF8", "\xF8"},
      {"lead byte 0xFF", "\xFF"},
      {"sequence cut at the end", "\xE2\x82"},
      {"letter inside a sequence", "\xC3\x28"},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80"},
  };
  for (const auto& c : cases) {
    std::u16string text = u"previous";
    EXPECT_FALSE(utf8ToWide(c.bytes, text)) << c.what;
    EXPECT_EQ(text, u"previous") << c.what;
  }
}

TEST(Utf8Decoding, LenientDecodingShowsEachBadSequenceAsOneReplacementAndGoesOn) {
  const struct {
    const char* what;
    std::string bytes;
    std::u16string text;
  } cases[] = {
      {"a good text is unchanged", "Смена 24", u"Смена 24"},
      {"lone continuation byte",
       "a\x80"
       "b",
       u"a\xFFFD"
       u"b"},
      {"two continuation bytes are two sequences", "\x80\x80", u"\xFFFD\xFFFD"},
      {"cut sequence before a letter",
       "\xE2\x82"
       "A",
       u"\xFFFD"
       u"A"},
      {"cut sequence at the end", "ok\xE2\x82", u"ok\xFFFD"},
      {"letter inside a sequence", "\xC3\x28", u"\xFFFD("},
      {"encoded surrogate",
       "\xED\xA0\x80"
       "z",
       u"\xFFFD"
       u"z"},
      {"lead byte 0xF8",
       "\xF8"
       "z",
       u"\xFFFD"
       u"z"},
      {"beyond U+10FFFF", "\xF4\x90\x80\x80", u"\xFFFD"},
      {"cut sequence before a good one", "\xF0\x9F\x98\xF0\x9F\x98\x80", u"\xFFFD\xD83D\xDE00"},
      {"cut sequence before Cyrillic", "\xD0\xD0\x9F", u"\xFFFDП"},
  };
  for (const auto& c : cases) EXPECT_EQ(utf8ToWideLenient(c.bytes), c.text) << c.what;
}

class ReturnedText : public ::testing::Test {
 protected:
  ReturnedText() : value(noisy(VTYPE_EMPTY)) {}
  ~ReturnedText() override {
    if (value.vt == VTYPE_PWSTR && value.value.wstr.pwstrVal != nullptr) {
      void* block = value.value.wstr.pwstrVal;
      memory.FreeMemory(&block);
    }
    EXPECT_EQ(memory.liveBlocks(), 0u);
    EXPECT_EQ(memory.badFrees(), 0u);
    EXPECT_EQ(memory.overruns(), 0u);
  }

  // The characters of the block with its terminating zero.
  std::u16string block() const {
    const WCHAR_T* characters = value.value.wstr.pwstrVal;
    EXPECT_TRUE(memory.owns(characters));
    return std::u16string(characters, memory.sizeOf(characters) / sizeof(WCHAR_T));
  }

  host::TrackingMemory memory;
  tVariant value;
};

TEST_F(ReturnedText, AnEmptyTextIsATwoByteBlockOfLengthZero) {
  returnWideText(&memory, &value, u"");
  EXPECT_EQ(value.vt, VTYPE_PWSTR);
  EXPECT_EQ(value.value.wstr.wstrLen, 0u);
  EXPECT_EQ(memory.sizeOf(value.value.wstr.pwstrVal), 2u);
  EXPECT_EQ(block(), std::u16string(1, u'\0'));
}

TEST_F(ReturnedText, ATextFillsItsBlockWithItsZero) {
  returnWideText(&memory, &value, u"Смена");
  EXPECT_EQ(value.vt, VTYPE_PWSTR);
  EXPECT_EQ(value.value.wstr.wstrLen, 5u);
  EXPECT_EQ(block(), std::u16string(u"Смена", 6));
}

TEST_F(ReturnedText, AFailedAllocationLeavesANullTextWithItsLength) {
  char16_t stale[] = u"stale";
  value.value.wstr.pwstrVal = stale;
  memory.failAllocations(true);
  returnWideText(&memory, &value, u"abc");
  EXPECT_EQ(value.vt, VTYPE_PWSTR);
  EXPECT_EQ(value.value.wstr.pwstrVal, nullptr);
  EXPECT_EQ(value.value.wstr.wstrLen, 3u);
}

TEST_F(ReturnedText, NarrowTextWidensEachByteAsASignedCharacter) {
  returnNarrowText(&memory, &value, "\x41\xD0");
  EXPECT_EQ(value.value.wstr.wstrLen, 2u);
  EXPECT_EQ(block(), std::u16string(u"\x0041\xFFD0", 3));
}

TEST_F(ReturnedText, NarrowTextStopsAtTheFirstZeroByte) {
  returnNarrowText(&memory, &value, std::string("10.0\0.0.1", 9));
  EXPECT_EQ(value.value.wstr.wstrLen, 4u);
  EXPECT_EQ(block(), std::u16string(u"10.0", 5));
}

TEST_F(ReturnedText, ARegisterTextShowsItsBadBytesAsReplacements) {
  returnUtf8Text(&memory, &value, "\xD0\x9F\xFF!");
  EXPECT_EQ(value.value.wstr.wstrLen, 3u);
  EXPECT_EQ(block(), std::u16string(u"П\xFFFD!", 4));
}

TEST(CopyWideText, CopiesACountOrUpToAndWithTheZero) {
  char16_t target[8];
  std::fill(std::begin(target), std::end(target), u'#');
  copyWideText(target, u"abc", 0);
  EXPECT_EQ(std::u16string(target, 5), std::u16string(u"abc\0#", 5));
  std::fill(std::begin(target), std::end(target), u'#');
  copyWideText(target, u"abcdef", 2);
  EXPECT_EQ(std::u16string(target, 3), u"ab#");
}

// An integer out-argument must be read back as the number written, whatever tag it came with.
TEST(ReturnInt, KeepsA32BitIntegerTagAndMakesAnyOtherVTypeI4) {
  const struct {
    TYPEVAR arrived;
    TYPEVAR written;
  } cases[] = {
      {VTYPE_I4, VTYPE_I4},    {VTYPE_ERROR, VTYPE_ERROR}, {VTYPE_UI4, VTYPE_UI4},
      {VTYPE_INT, VTYPE_INT},  {VTYPE_UINT, VTYPE_UINT},   {VTYPE_HRESULT, VTYPE_HRESULT},
      {VTYPE_EMPTY, VTYPE_I4}, {VTYPE_R8, VTYPE_I4},       {VTYPE_R4, VTYPE_I4},
      {VTYPE_BOOL, VTYPE_I4},  {VTYPE_PWSTR, VTYPE_I4},    {VTYPE_I2, VTYPE_I4},
      {VTYPE_I1, VTYPE_I4},    {VTYPE_UI1, VTYPE_I4},      {VTYPE_UI2, VTYPE_I4},
  };
  for (const auto& c : cases) {
    tVariant value = noisy(c.arrived);
    returnInt(&value, 100000);
    EXPECT_EQ(value.vt, c.written) << "tag " << c.arrived;
    EXPECT_EQ(value.value.lVal, 100000) << "tag " << c.arrived;
    EXPECT_EQ(variantToInt(value), 100000) << "tag " << c.arrived;
  }
  returnInt(nullptr, 1);  // no place for it: nothing happens
}

TEST(ReportToHost, PostsCode1005WithStatusZero) {
  host::HostConnection connection;
  reportToHost(&connection, u"Tavix", u"Not Write apikey");
  ASSERT_EQ(connection.messages.size(), 1u);
  EXPECT_EQ(connection.messages[0].code, 1005);
  EXPECT_EQ(connection.messages[0].source, u"Tavix");
  EXPECT_EQ(connection.messages[0].text, u"Not Write apikey");
  EXPECT_EQ(connection.messages[0].status, 0);
  reportToHost(nullptr, u"Tavix", u"nobody hears this");
}

}  // namespace
