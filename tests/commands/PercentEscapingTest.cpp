// Tests of the percent-escaping family used for URLs, lists and events.
#include "mac/commands/PercentEscaping.h"

#include <gtest/gtest.h>

namespace kw {
namespace {

TEST(PercentEscaping, StandardSetKeepsUrlCharactersAndEscapesTheRestInUpperCaseHex) {
  EXPECT_EQ(stringByAddingPercentEscapes("a-z_0.9!~*'();/?:@&=+$,#"), "a-z_0.9!~*'();/?:@&=+$,#");
  EXPECT_EQ(stringByAddingPercentEscapes("100% \"x\" <y>"), "100%25%20%22x%22%20%3Cy%3E");
  EXPECT_EQ(stringByAddingPercentEscapes("\xC3\xA9\n"), "%C3%A9%0A");
  EXPECT_EQ(stringByAddingPercentEscapes(std::string_view("a\0b", 3)), "a%00b");
}

TEST(PercentEscaping, SiblingsEscapeTheirExtraCharactersOnly) {
  EXPECT_EQ(stringByAddingPercentEscapesIncludingAmpersands("a&b+c,d"), "a%26b%2Bc,d");
  EXPECT_EQ(stringByAddingPercentEscapesIncludingAmpersandsAndCommas("a&b+c,d~!"), "a%26b+c%2Cd~!");
}

TEST(PercentEscaping, RemovingDecodesWellFormedEscapesAndKeepsBrokenOnes) {
  EXPECT_EQ(stringByRemovingPercentEscapes("%41%4a%4A+%20"), "AJJ+ ");
  EXPECT_EQ(stringByRemovingPercentEscapes("%zz%4%"), "%zz%4%");
  EXPECT_EQ(stringByRemovingPercentEscapes("%2541"), "%41");  // one pass only
}

TEST(PercentEscaping, EveryByteSurvivesARoundTrip) {
  std::string all;
  for (int c = 0; c < 256; ++c) all += static_cast<char>(c);
  EXPECT_EQ(stringByRemovingPercentEscapes(stringByAddingPercentEscapes(all)), all);
  EXPECT_EQ(stringByRemovingPercentEscapes(stringByAddingPercentEscapesIncludingAmpersandsAndCommas(all)), all);
}

}  // namespace
}  // namespace kw
