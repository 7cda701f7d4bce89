// Tests of the string helpers and the window kind names.
#include "mac/net/StringExtras.h"

#include <gtest/gtest.h>

#include "mac/net/WindowType.h"

namespace kw {
namespace {

TEST(StringExtras, StripsReturnsAndTrimsWhitespace) {
  EXPECT_EQ(stringByStrippingReturnCharacters("\r\nhttp://x/\ra\nb\r\n"), "http://x/ab");
  EXPECT_EQ(stringByTrimmingWhitespace(" \t\r\n a b \v\f"), "a b");
  EXPECT_EQ(stringByTrimmingWhitespace("\xC2\xA0x\xE3\x80\x80"), "x");  // no-break and ideographic spaces
  EXPECT_EQ(stringByTrimmingWhitespace("\xE2\x80\x8Bx"), "\xE2\x80\x8Bx");  // zero width space is no space
  EXPECT_EQ(stringByTrimmingWhitespace("   "), "");
  EXPECT_EQ(stringByTrimmingWhitespace("\xC3\xA9"), "\xC3\xA9");
}

TEST(StringExtras, CollapsesNonPrintingRuns) {
  EXPECT_EQ(stringByCollapsingNonPrintingCharacters("  a \t b\n"), "a b");
  EXPECT_EQ(stringByCollapsingNonPrintingCharacters("one\x7Ftwo\x01\x02three"), "one two three");
  EXPECT_EQ(stringByCollapsingNonPrintingCharacters("caf\xC3\xA9 x"), "caf\xC3\xA9 x");
  EXPECT_EQ(stringByCollapsingNonPrintingCharacters(" \n\t"), "");
  EXPECT_EQ(stringByCollapsingNonPrintingCharacters(""), "");
}

TEST(StringExtras, FixesIllegalFilenameCharacters) {
  EXPECT_EQ(filenameByFixingIllegalCharacters("..a/b:c"), "a-b-c");
  EXPECT_EQ(filenameByFixingIllegalCharacters("/.hidden"), "-.hidden");
  EXPECT_EQ(filenameByFixingIllegalCharacters("a.b."), "a.b.");
  EXPECT_EQ(filenameByFixingIllegalCharacters("..."), "");
}

TEST(StringExtras, CaseInsensitiveTests) {
  EXPECT_TRUE(isCaseInsensitiveEqualToString("Content-Type", "CONTENT-type"));
  EXPECT_FALSE(isCaseInsensitiveEqualToString("a", "a "));
  EXPECT_TRUE(isCaseInsensitiveEqualToString("", ""));
  EXPECT_TRUE(hasCaseInsensitivePrefix("HTTP://x", "http://"));
  EXPECT_FALSE(hasCaseInsensitivePrefix("http", "http://"));
  EXPECT_TRUE(hasCaseInsensitiveSuffix("movie.SWF", ".swf"));
  EXPECT_FALSE(hasCaseInsensitiveSuffix("swf", ".swf"));
  EXPECT_TRUE(hasCaseInsensitiveSubstring("a TEXT/Html b", "text/html"));
  // An empty search text is never found.
  EXPECT_FALSE(hasCaseInsensitivePrefix("abc", ""));
  EXPECT_FALSE(hasCaseInsensitiveSuffix("abc", ""));
}

TEST(WindowType, KindNamesGiveTypeCodesExactly) {
  const std::pair<const char*, int> rows[] = {
      {"standard", 0}, {"frame", 0}, {"rectangular", 1}, {"masked", 2}, {"flashShaped", 3}, {"WINDOWLESS", 3},
      {"fullscreen", 4}, {"windowless", 0}, {"Masked", 0}, {"", 0}};
  for (const auto& [name, type] : rows) EXPECT_EQ(intWindowType(name), type) << name;
}

}  // namespace
}  // namespace kw
