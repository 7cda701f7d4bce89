// Tests of the list, rectangle and substring helpers of the reply values.
#include "mac/commands/ListEncoding.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "mac/commands/TextBytes.h"

namespace kw {
namespace {

TEST(ListEncoding, TildeListEscapesFlattensAndSkipsNonStrings) {
  EXPECT_EQ(tildeList({"a", "b&c"}), "a~!b%26c~!");
  EXPECT_EQ(tildeList({}), "");
  const std::vector<ListElement> nested = {
      "x", std::vector<ListElement>{"y", ListElement{}, std::vector<ListElement>{"z,w", "~!"}}, ListElement{}, ""};
  EXPECT_EQ(tildeList(nested), "x~!y~!z%2Cw~!~!~!~!");

  std::string out = "head:";
  arrayOfStringsToURLEncodedTildeExclamationDelimitedList({"/a b"}, out);
  EXPECT_EQ(out, "head:/a%20b~!");
}

TEST(ListEncoding, XmlListsCarryEscapedStringsOrNumbersAndTheirLength) {
  EXPECT_EQ(arrayOfStringsToXmlStringList({"a b", "c,d"}),
            "<object><property id=\"KW_array\"><array>"
            "<property id=\"0\"><string>a%20b</string></property>"
            "<property id=\"1\"><string>c%2Cd</string></property>"
            "<property id =\"length\"><number>2</number></property>"
            "</array></property></object>");
  EXPECT_EQ(arrayOfNumbersToXmlNumberList({7, -1}),
            "<object><property id=\"KW_array\"><array>"
            "<property id=\"0\"><number>7</number></property>"
            "<property id=\"1\"><number>-1</number></property>"
            "<property id =\"length\"><number>2</number></property>"
            "</array></property></object>");
  EXPECT_EQ(arrayOfNumbersToXmlNumberList({}),
            "<object><property id=\"KW_array\"><array>"
            "<property id =\"length\"><number>0</number></property></array></property></object>");
}

TEST(ListEncoding, CommaListHasNoCommasAtItsEnds) {
  EXPECT_EQ(commaList({1, 22, -3}), "1,22,-3");
  EXPECT_EQ(commaList({5}), "5");
  EXPECT_EQ(commaList({}), "");
}

TEST(ListEncoding, RectangleTruncatesEachCoordinateBeforeAdding) {
  const Rect r{10.9, 20.5, 100.7, 50.6};
  EXPECT_EQ(convertNSRectToStringList(r), "10,20,110,70");
  EXPECT_EQ(convertNSRectToXML(r),
            "<object><property id=\"bottom\"><number>70</number></property>"
            "<property id=\"top\"><number>20</number></property>"
            "<property id=\"right\"><number>110</number></property>"
            "<property id=\"left\"><number>10</number></property></object>");
  EXPECT_EQ(convertNSRectToStringList({-1.5, -0.5, 3.9, 1}), "-1,0,2,1");
}

TEST(ListEncoding, RectangleSurvivesNaNAndHugeCoordinates) {
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(truncatedCoordinate(std::nan("")), 0);
  EXPECT_EQ(truncatedCoordinate(1e300), INT32_MAX);
  EXPECT_EQ(truncatedCoordinate(-inf), INT32_MIN);
  EXPECT_EQ(truncatedCoordinate(2147483647.9), INT32_MAX);
  EXPECT_EQ(convertNSRectToStringList({std::nan(""), inf, inf, -inf}), "0,2147483647,2147483647,-1");
  EXPECT_EQ(convertNSRectToStringList({3e9, 0, 3e9, 0}), "2147483647,0,4294967294,0");
}

TEST(ListEncoding, ContainsStringMatchesOptionallyIgnoringCase) {
  EXPECT_TRUE(containsString("Movie Viewer.bundle", "viewer", true));
  EXPECT_FALSE(containsString("Movie Viewer.bundle", "viewer", false));
  EXPECT_TRUE(containsString("Movie Viewer.bundle", "Viewer", false));
  EXPECT_TRUE(containsString("abc", "ABC", true));
  EXPECT_FALSE(containsString("ab", "abc", true));
  // An empty text is never found.
  for (bool ignoringCase : {true, false}) EXPECT_FALSE(containsString("abc", "", ignoringCase));
  EXPECT_FALSE(containsString("", "", true));
}

}  // namespace
}  // namespace kw
