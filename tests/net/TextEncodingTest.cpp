// Tests of the Latin-1 readings and encoding, UTF-8 validation and ASCII case rules.
#include "mac/net/TextEncoding.h"

#include <gtest/gtest.h>

namespace kw {
namespace {

Bytes allBytes() {
  Bytes bytes;
  for (int b = 0; b < 256; ++b) bytes.push_back(static_cast<uint8_t>(b));
  return bytes;
}

TEST(TextEncoding, Latin1ReadingsGiveEveryByteBack) {
  const Bytes bytes = allBytes();
  EXPECT_EQ(latin1Bytes(stringWithISOLatin1(bytes)), bytes);
  EXPECT_EQ(latin1Bytes(stringWithWindowsLatin1(bytes)), bytes);
  EXPECT_TRUE(isValidUTF8(stringWithWindowsLatin1(bytes)));

  EXPECT_EQ(stringWithISOLatin1(Bytes{0x41, 0xE9}), "A\xC3\xA9");
  EXPECT_EQ(stringWithWindowsLatin1(Bytes{0x80, 0x93}), "\xE2\x82\xAC\xE2\x80\x9C");
  // Unassigned Windows codes read as the control character of the same code.
  EXPECT_EQ(stringWithWindowsLatin1(Bytes{0x81}), "\xC2\x81");
}

TEST(TextEncoding, Latin1BytesRefuseWhatOneByteCannotHold) {
  EXPECT_EQ(latin1Bytes("a\xC3\xBF"), (Bytes{'a', 0xFF}));
  EXPECT_EQ(latin1Bytes(""), Bytes{});
  EXPECT_FALSE(latin1Bytes("\xC4\x80").has_value());      // U+0100
  EXPECT_FALSE(latin1Bytes("\xE6\x97\xA5").has_value());  // a CJK character
  EXPECT_FALSE(latin1Bytes("\xE9").has_value());          // not UTF-8
}

TEST(TextEncoding, UTF8ValidationRefusesMalformedSequences) {
  EXPECT_TRUE(isValidUTF8("plain \xC3\xA9 \xF0\x9F\x98\x80"));
  EXPECT_FALSE(isValidUTF8("\xC0\xAF"));          // overlong "/"
  EXPECT_FALSE(isValidUTF8("\xED\xA0\x80"));      // surrogate
  EXPECT_FALSE(isValidUTF8("\xF4\x90\x80\x80"));  // above U+10FFFF
  EXPECT_FALSE(isValidUTF8("\xE2\x82"));          // truncated
  EXPECT_FALSE(isValidUTF8("\x80"));
}

TEST(TextEncoding, CaseFoldingIsASCIIOnly) {
  EXPECT_TRUE(equalsIgnoringASCIICase("Content-TYPE", "content-type"));
  EXPECT_FALSE(equalsIgnoringASCIICase("\xC3\x89", "\xC3\xA9"));  // E acute vs e acute
  EXPECT_FALSE(equalsIgnoringASCIICase("ab", "abc"));
  EXPECT_EQ(findIgnoringASCIICase("xxTeXt/HTML", "text/html"), 2u);
  EXPECT_FALSE(findIgnoringASCIICase("text/htm", "text/html").has_value());
  const Bytes data{'<', 'R', 'S', 'S'};
  EXPECT_TRUE(hasPrefixIgnoringASCIICaseAt(data, 0, "<rss"));
  EXPECT_FALSE(hasPrefixIgnoringASCIICaseAt(data, 1, "RSS!"));
  EXPECT_FALSE(hasPrefixIgnoringASCIICaseAt(data, 9, ""));
}

}  // namespace
}  // namespace kw
