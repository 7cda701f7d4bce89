// Property-list values: parsing XML and binary plists, refusing hostile or
// broken input, atomic writing, and the value conversions.
#include "mac/platform/PropertyList.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tests/app/PlistTestFiles.h"
#include "tests/support/TempDir.h"

namespace kw {
namespace {

namespace fs = std::filesystem;
using test::xmlDict;
using test::xmlPlist;

void writeText(const fs::path& path, const std::string& text) {
  test::writeFile(path, std::vector<uint8_t>(text.begin(), text.end()));
}

PlistValue sample() {
  PlistValue::Dictionary inner{{"name", PlistValue::string("m\xC3\xA9nu")}};
  return PlistValue::dictionary({
      {"text", PlistValue::string("hello")},
      {"count", PlistValue::integer(-5)},
      {"big", PlistValue::integer(std::numeric_limits<int64_t>::max())},
      {"ratio", PlistValue::real(2.5)},
      {"on", PlistValue::boolean(true)},
      {"off", PlistValue::boolean(false)},
      {"list", PlistValue::array({PlistValue::integer(1), PlistValue::string("two")})},
      {"inner", PlistValue::dictionary(std::move(inner))},
  });
}

TEST(PropertyListParse, ReadsEveryValueTypeAndDropsUnsupportedOnes) {
  const std::optional<PlistValue> root = parsePropertyList(xmlDict(
      "<key>s</key><string>a&amp;b</string><key>i</key><integer>-42</integer>"
      "<key>r</key><real>0.5</real><key>t</key><true/><key>f</key><false/>"
      "<key>a</key><array><integer>1</integer><date>2020-01-01T00:00:00Z</date></array>"
      "<key>d</key><dict><key>k</key><string>v</string></dict>"
      "<key>when</key><date>2020-01-01T00:00:00Z</date><key>blob</key><data>AAE=</data>"));
  ASSERT_TRUE(root);
  EXPECT_EQ(*root->find("s")->asString(), "a&b");
  EXPECT_EQ(*root->find("i")->asInteger(), -42);
  EXPECT_EQ(*root->find("r")->asReal(), 0.5);
  EXPECT_TRUE(*root->find("t")->asBoolean());
  EXPECT_FALSE(*root->find("f")->asBoolean());
  EXPECT_EQ(*root->find("a"), PlistValue::array({PlistValue::integer(1)}));
  EXPECT_EQ(*root->find("d")->find("k")->asString(), "v");
  EXPECT_EQ(root->find("when"), nullptr);
  EXPECT_EQ(root->find("blob"), nullptr);
  EXPECT_EQ(root->find("missing"), nullptr);
  EXPECT_EQ(root->find("s")->find("s"), nullptr);  // not a dictionary
}

TEST(PropertyListParse, RoundTripsThroughBothFormats) {
  for (const PlistFormat format : {PlistFormat::Xml, PlistFormat::Binary}) {
    const std::optional<std::string> bytes = serializePropertyList(sample(), format);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(parsePropertyList(*bytes), sample()) << static_cast<int>(format);
  }
}

TEST(PropertyListParse, RefusesMalformedInput) {
  const std::string cycle = std::string("bplist00\xA1\x00\x08", 11) + std::string(6, '\0') + "\x01\x01" +
                            std::string("\0\0\0\0\0\0\0\x01", 8) + std::string(8, '\0') +
                            std::string("\0\0\0\0\0\0\0\x0A", 8);
  const std::string binary = *serializePropertyList(sample(), PlistFormat::Binary);
  const std::string cases[] = {
      "",
      "not a property list",
      xmlPlist("<dict><key>a</key><string>open"),
      "<plist><dict><key>a</key>",
      "bplist00",
      binary.substr(0, binary.size() - 1),
      binary.substr(0, binary.size() / 2) + std::string(40, '\xFF'),
      cycle,
      xmlPlist("<date>2020-01-01T00:00:00Z</date>"),  // a root of an unsupported type
  };
  for (const std::string& text : cases) EXPECT_FALSE(parsePropertyList(text)) << text;
}

TEST(PropertyListParse, LimitsNestingDepth) {
  EXPECT_TRUE(parsePropertyList(test::nestedXmlArrays(kDeepestPropertyListNesting)));
  EXPECT_FALSE(parsePropertyList(test::nestedXmlArrays(kDeepestPropertyListNesting + 1)));
  EXPECT_FALSE(parsePropertyList(test::nestedXmlArrays(200000)));
  // The binary chain nests one level per link plus the integer at the end.
  EXPECT_TRUE(parsePropertyList(test::chainedBinaryPlist(kDeepestPropertyListNesting, 1)));
  EXPECT_FALSE(parsePropertyList(test::chainedBinaryPlist(kDeepestPropertyListNesting + 1, 1)));
  EXPECT_FALSE(parsePropertyList(test::chainedBinaryPlist(200000, 1)));
}

TEST(PropertyListParse, RefusesSharedObjectsThatExpandEnormously) {
  const std::optional<PlistValue> small = parsePropertyList(test::chainedBinaryPlist(4, 2));
  ASSERT_TRUE(small);
  EXPECT_EQ(small->asArray()->size(), 2u);
  // 2^40 integers once every shared array is copied out.
  EXPECT_FALSE(parsePropertyList(test::chainedBinaryPlist(40, 2)));
}

TEST(PropertyListFile, ReadsOnlyPresentReasonablySizedFiles) {
  const test::TempDir dir;
  EXPECT_FALSE(readPropertyList(dir.path() / "absent.plist"));
  EXPECT_FALSE(readPropertyList(dir.path()));
  writeText(dir.path() / "empty.plist", "");
  EXPECT_FALSE(readPropertyList(dir.path() / "empty.plist"));
  const fs::path huge = dir.path() / "huge.plist";
  writeText(huge, xmlDict("<key>a</key><string>b</string>"));
  EXPECT_TRUE(readPropertyList(huge));
  fs::resize_file(huge, kLargestPropertyListFile + 1);
  EXPECT_FALSE(readPropertyList(huge));
}

TEST(PropertyListFile, WritesAtomicallyAndKeepsTheOldFileOnFailure) {
  const test::TempDir dir;
  const fs::path file = dir.path() / "out.plist";
  ASSERT_TRUE(writePropertyListAtomically(file, sample()));
  EXPECT_EQ(readPropertyList(file), sample());
  ASSERT_TRUE(writePropertyListAtomically(file, PlistValue::integer(7), PlistFormat::Binary));
  EXPECT_EQ(readPropertyList(file), PlistValue::integer(7));

  // Too deep to encode: nothing is written.
  PlistValue deep = PlistValue::array();
  for (size_t i = 0; i < kDeepestPropertyListNesting; ++i) deep = PlistValue::array({deep});
  EXPECT_FALSE(writePropertyListAtomically(file, deep));
  EXPECT_EQ(readPropertyList(file), PlistValue::integer(7));
  // The rename fails over a directory; the temporary file is removed.
  fs::create_directory(dir.path() / "folder");
  EXPECT_FALSE(writePropertyListAtomically(dir.path() / "folder", sample()));
  EXPECT_TRUE(fs::is_directory(dir.path() / "folder"));
  EXPECT_FALSE(writePropertyListAtomically(dir.path() / "no" / "such.plist", sample()));
  size_t entries = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir.path())) ++entries;
  EXPECT_EQ(entries, 2u);  // out.plist and folder
}

TEST(PropertyListConversion, IntValue) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const struct {
    std::optional<PlistValue> value;
    int32_t expected;
  } cases[] = {
      {std::nullopt, 0},
      {PlistValue::integer(3), 3},
      {PlistValue::integer(-3), -3},
      {PlistValue::integer(int64_t{1} << 40), std::numeric_limits<int32_t>::max()},
      {PlistValue::integer(-(int64_t{1} << 40)), std::numeric_limits<int32_t>::min()},
      {PlistValue::real(2.9), 2},
      {PlistValue::real(-2.9), -2},
      {PlistValue::real(1e300), std::numeric_limits<int32_t>::max()},
      {PlistValue::real(nan), 0},
      {PlistValue::boolean(true), 1},
      {PlistValue::string("3"), 3},
      {PlistValue::string("  -12px"), -12},
      {PlistValue::string("+7"), 7},
      {PlistValue::string("x3"), 0},
      {PlistValue::string(""), 0},
      {PlistValue::string("99999999999999999999"), std::numeric_limits<int32_t>::max()},
      {PlistValue::string("-99999999999999999999"), std::numeric_limits<int32_t>::min()},
      {PlistValue::array({PlistValue::integer(5)}), 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(plistIntValue(c.value ? &*c.value : nullptr), c.expected)
        << (c.value ? plistStringValue(&*c.value).value_or("(container)") : "(none)");
  }
}

TEST(PropertyListConversion, BoolValue) {
  for (const char* text : {"YES", "yes", "Y", "true", "T", "t", "1", "9", "007", "-1", " +2", "\tyes"}) {
    const PlistValue value = PlistValue::string(text);
    EXPECT_TRUE(plistBoolValue(&value)) << text;
  }
  for (const char* text : {"NO", "no", "false", "0", "000", "-0", "", "maybe", "x1", "+"}) {
    const PlistValue value = PlistValue::string(text);
    EXPECT_FALSE(plistBoolValue(&value)) << text;
  }
  const PlistValue truths[] = {PlistValue::integer(1), PlistValue::integer(-4), PlistValue::real(0.5),
                               PlistValue::boolean(true)};
  for (const PlistValue& value : truths) EXPECT_TRUE(plistBoolValue(&value));
  const PlistValue falsehoods[] = {PlistValue::integer(0), PlistValue::real(0.0), PlistValue::boolean(false),
                                   PlistValue::dictionary()};
  for (const PlistValue& value : falsehoods) EXPECT_FALSE(plistBoolValue(&value));
  EXPECT_FALSE(plistBoolValue(nullptr));
}

TEST(PropertyListConversion, StringValue) {
  const PlistValue text = PlistValue::string("ABOVEITALL");
  const PlistValue number = PlistValue::integer(-12);
  const PlistValue real = PlistValue::real(0.25);
  const PlistValue truth = PlistValue::boolean(true);
  const PlistValue list = PlistValue::array();
  EXPECT_EQ(plistStringValue(&text), "ABOVEITALL");
  EXPECT_EQ(plistStringValue(&number), "-12");
  EXPECT_EQ(plistStringValue(&real), "0.25");
  EXPECT_EQ(plistStringValue(&truth), "1");
  EXPECT_EQ(plistStringValue(&list), std::nullopt);
  EXPECT_EQ(plistStringValue(nullptr), std::nullopt);
}

}  // namespace
}  // namespace kw
