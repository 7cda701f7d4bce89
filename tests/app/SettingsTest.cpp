// Property lists (parsing, refusing hostile or broken input, atomic writing,
// value conversions), the user defaults kept in them, and the player settings
// read from the bundle's "prefs.xml".
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "mac/app/playerSettings.h"
#include "mac/platform/PropertyList.h"
#include "mac/platform/UserDefaults.h"
#include "tests/support/TempDir.h"

namespace kw {
namespace {

namespace fs = std::filesystem;
constexpr int32_t kMax = std::numeric_limits<int32_t>::max(), kMin = std::numeric_limits<int32_t>::min();

std::string xmlPlist(const std::string& root) { return "<plist version=\"1.0\">" + root + "</plist>\n"; }
std::string xmlDict(const std::string& body) { return xmlPlist("<dict>" + body + "</dict>"); }
std::string nestedXmlArrays(size_t depth) {
  std::string text;
  for (size_t i = 0; i < 2 * depth; ++i) text += i < depth ? "<array>" : "</array>";
  return xmlPlist(text);
}
void writeText(const fs::path& path, const std::string& text) { test::writeFile(path, {text.begin(), text.end()}); }

// A binary plist of `links` arrays, each holding `branching` references to the
// next, ending in the integer 0: nesting `links` deep, and expanding to
// branching^links integers when shared objects are copied out.
std::string chainedBinaryPlist(uint32_t links, uint32_t branching) {
  const auto bigEndian = [](std::string& out, uint64_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
  };
  std::string data = "bplist00", offsets;
  for (uint32_t i = 0; i <= links; ++i) {
    bigEndian(offsets, data.size(), 4);
    if (i == links) break;
    data += static_cast<char>(0xA0 | branching);
    for (uint32_t b = 0; b < branching; ++b) bigEndian(data, i + 1, 4);
  }
  data += std::string("\x10\x00", 2);
  const uint64_t tableOffset = data.size();
  data += offsets + std::string(6, '\0') + "\x04\x04";  // offset and reference sizes
  for (const uint64_t value : {uint64_t{links} + 1, uint64_t{0}, tableOffset}) bigEndian(data, value, 8);
  return data;
}

// Every value type, as parsed from the XML below.
PlistValue sample() {
  return PlistValue::dictionary(
      {{"s", PlistValue::string("a&b m\xC3\xA9nu")}, {"i", PlistValue::integer(-42)},
       {"big", PlistValue::integer(std::numeric_limits<int64_t>::max())}, {"r", PlistValue::real(0.5)},
       {"t", PlistValue::boolean(true)}, {"f", PlistValue::boolean(false)},
       {"a", PlistValue::array({PlistValue::integer(1)})},
       {"d", PlistValue::dictionary({{"k", PlistValue::string("v")}})}});
}

TEST(PropertyList, ReadsEveryValueTypeDropsUnsupportedOnesAndRoundTrips) {
  const std::optional<PlistValue> root = parsePropertyList(xmlDict(
      "<key>s</key><string>a&amp;b m\xC3\xA9nu</string><key>i</key><integer>-42</integer>"
      "<key>big</key><integer>9223372036854775807</integer><key>r</key><real>0.5</real>"
      "<key>t</key><true/><key>f</key><false/>"
      "<key>a</key><array><integer>1</integer><date>2020-01-01T00:00:00Z</date></array>"
      "<key>d</key><dict><key>k</key><string>v</string></dict>"
      "<key>when</key><date>2020-01-01T00:00:00Z</date><key>blob</key><data>AAE=</data>"));
  ASSERT_TRUE(root);
  EXPECT_EQ(*root, sample());
  EXPECT_EQ(root->find("s")->find("s"), nullptr);  // not a dictionary
  for (const PlistFormat format : {PlistFormat::Xml, PlistFormat::Binary}) {
    EXPECT_EQ(parsePropertyList(serializePropertyList(sample(), format).value()), sample());
  }
}

TEST(PropertyList, RefusesMalformedDeepAndExplodingInput) {
  const std::string cycle = std::string("bplist00\xA1\x00\x08", 11) + std::string(6, '\0') + "\x01\x01" +
                            std::string("\0\0\0\0\0\0\0\x01", 8) + std::string(8, '\0') +
                            std::string("\0\0\0\0\0\0\0\x0A", 8);
  const std::string binary = *serializePropertyList(sample(), PlistFormat::Binary);
  const std::string refused[] = {
      "", "not a property list", xmlPlist("<dict><key>a</key><string>open"), "<plist><dict><key>a</key>",
      "bplist00", binary.substr(0, binary.size() - 1), binary.substr(0, binary.size() / 2) + std::string(40, '\xFF'),
      cycle, xmlPlist("<date>2020-01-01T00:00:00Z</date>"),  // a root of an unsupported type
      nestedXmlArrays(kDeepestPropertyListNesting + 1), nestedXmlArrays(200000),
      // The binary chain nests one level per link plus the integer at the end.
      chainedBinaryPlist(kDeepestPropertyListNesting + 1, 1), chainedBinaryPlist(200000, 1),
      chainedBinaryPlist(40, 2)};  // 2^40 integers once every shared array is copied out
  for (const std::string& text : refused) EXPECT_FALSE(parsePropertyList(text)) << text.substr(0, 60);
  EXPECT_TRUE(parsePropertyList(nestedXmlArrays(kDeepestPropertyListNesting)));
  EXPECT_TRUE(parsePropertyList(chainedBinaryPlist(kDeepestPropertyListNesting, 1)));
  EXPECT_EQ(parsePropertyList(chainedBinaryPlist(4, 2))->asArray()->size(), 2u);
}

TEST(PropertyList, ReadsReasonableFilesAndWritesAtomically) {
  const test::TempDir dir;
  const fs::path file = dir.path() / "out.plist", folder = dir.path() / "folder";
  writeText(dir.path() / "empty.plist", "");
  for (const fs::path& path : {dir.path() / "absent", dir.path(), dir.path() / "empty.plist"}) {
    EXPECT_FALSE(readPropertyList(path)) << path;
  }
  ASSERT_TRUE(writePropertyListAtomically(file, sample()));
  EXPECT_EQ(readPropertyList(file), sample());
  fs::resize_file(file, kLargestPropertyListFile + 1);
  EXPECT_FALSE(readPropertyList(file));
  ASSERT_TRUE(writePropertyListAtomically(file, PlistValue::integer(7), PlistFormat::Binary));
  // Too deep to encode, a rename over a directory, a missing folder: nothing is written,
  // the old file stays, and no temporary file is left behind.
  PlistValue deep = PlistValue::array();
  for (size_t i = 0; i < kDeepestPropertyListNesting; ++i) deep = PlistValue::array({deep});
  fs::create_directory(folder);
  for (const auto& [path, value] : {std::pair{file, deep}, {folder, sample()}, {dir.path() / "no/such", sample()}}) {
    EXPECT_FALSE(writePropertyListAtomically(path, value)) << path;
  }
  EXPECT_EQ(readPropertyList(file), PlistValue::integer(7));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 3);
}

TEST(PropertyList, StringsConvertAsLeadingIntegersAndTruths) {
  const std::tuple<const char*, int32_t, bool> rows[] = {
      {"3", 3, true}, {"  -12px", -12, true}, {"+7", 7, true}, {"007", 7, true}, {" +2", 2, true},
      {"99999999999999999999", kMax, true}, {"-99999999999999999999", kMin, true}, {"YES", 0, true},
      {"y", 0, true}, {"true", 0, true}, {"T", 0, true}, {"\tyes", 0, true}, {"NO", 0, false},
      {"false", 0, false}, {"000", 0, false}, {"-0", 0, false}, {"", 0, false}, {"x3", 0, false}, {"+", 0, false}};
  for (const auto& [text, integer, truth] : rows) {
    const PlistValue value = PlistValue::string(text);
    EXPECT_EQ(std::make_tuple(plistIntValue(&value), plistBoolValue(&value), plistStringValue(&value)),
              std::make_tuple(integer, truth, std::optional<std::string>(text)));
  }
}

TEST(PropertyList, NumbersBooleansAndContainersConvert) {
  const std::tuple<std::optional<PlistValue>, int32_t, bool, std::optional<std::string>> rows[] = {
      {std::nullopt, 0, false, std::nullopt}, {PlistValue::integer(-3), -3, true, "-3"},
      {PlistValue::integer(int64_t{1} << 40), kMax, true, "1099511627776"},
      {PlistValue::integer(-(int64_t{1} << 40)), kMin, true, "-1099511627776"},
      {PlistValue::real(2.9), 2, true, "2.9"}, {PlistValue::real(-2.9), -2, true, "-2.9"},
      {PlistValue::real(0.0), 0, false, "0"}, {PlistValue::real(1e300), kMax, true, "1e+300"},
      {PlistValue::boolean(true), 1, true, "1"}, {PlistValue::boolean(false), 0, false, "0"},
      {PlistValue::array({PlistValue::integer(5)}), 0, false, std::nullopt},
      {PlistValue::dictionary(), 0, false, std::nullopt}};
  for (const auto& [value, integer, truth, text] : rows) {
    const PlistValue* given = value ? &*value : nullptr;
    EXPECT_EQ(std::make_tuple(plistIntValue(given), plistBoolValue(given), plistStringValue(given)),
              std::make_tuple(integer, truth, text));
  }
  const PlistValue nan = PlistValue::real(std::nan(""));
  EXPECT_EQ(plistIntValue(&nan), 0);
}

TEST(UserDefaults, ChangesReachTheFileOnlyOnSynchronizeAndFailedWritesStayPending) {
  const test::TempDir dir;
  const fs::path file = dir.path() / "Library" / "Preferences" / "com.example.zivra.plist";
  UserDefaults defaults(file);
  EXPECT_TRUE(defaults.synchronize());  // nothing changed: nothing written
  EXPECT_FALSE(fs::exists(file));
  defaults.setInteger("defaultsExist", 1);
  defaults.setString("NSWindow Frame AlphaWindowPosition", "10 20 300 200 0 0 1440 900 ");
  defaults.setBool("flag", true);
  defaults.setObject("old", PlistValue::array({PlistValue::integer(2)}));
  ASSERT_TRUE(defaults.hasUnsavedChanges() && defaults.synchronize());  // makes the missing folders
  EXPECT_FALSE(defaults.hasUnsavedChanges());
  const UserDefaults reread(file);
  EXPECT_EQ(std::make_tuple(reread.stringForKey("defaultsExist"), reread.boolForKey("flag"),
                            reread.stringForKey("NSWindow Frame AlphaWindowPosition"), reread.objectForKey("old")),
            std::make_tuple("1", true, "10 20 300 200 0 0 1440 900 ", PlistValue::array({PlistValue::integer(2)})));
  defaults.removeObjectForKey("old");
  defaults.setString("defaultsExist", "2");
  EXPECT_EQ(UserDefaults(file).integerForKey("defaultsExist"), 1);
  ASSERT_TRUE(defaults.synchronize());
  EXPECT_EQ(UserDefaults(file).integerForKey("defaultsExist"), 2);
  EXPECT_EQ(UserDefaults(file).objectForKey("old"), std::nullopt);

  // Unreadable files start empty and are replaced.
  for (const std::string& text : {xmlPlist("<array/>"), chainedBinaryPlist(40, 2)}) {
    writeText(file, text);
    UserDefaults fresh(file);
    EXPECT_EQ(fresh.objectForKey("defaultsExist"), std::nullopt);
    fresh.setInteger("defaultsExist", 3);
    ASSERT_TRUE(fresh.synchronize());
    EXPECT_EQ(UserDefaults(file).integerForKey("defaultsExist"), 3);
  }
  // The folder that should hold the file is a file: the change stays pending.
  UserDefaults blocked(file / "x.plist");
  blocked.setInteger("defaultsExist", 1);
  EXPECT_FALSE(blocked.synchronize());
  EXPECT_TRUE(blocked.hasUnsavedChanges());
  EXPECT_EQ(blocked.integerForKey("defaultsExist"), 1);
}

std::string show(int32_t value) { return std::to_string(value); }
std::string show(bool value) { return value ? "true" : "false"; }
std::string show(const std::optional<std::string>& value) { return value.value_or("(none)"); }

// Every key the program reads: its reader's answer without the key, and for a
// stored value (a string, and an integer too when it is a number).
const struct SettingKey {
  const char* name;
  std::string (*read)();
  const char *missing, *stored, *expected;
} kKeys[] = {
    {"windowType", [] { return show(playerSettings::windowType()); }, "0", "3", "3"},
    {"zOrder", [] { return show(playerSettings::zOrder()); }, "(none)", "BOTTOM", "BOTTOM"},
    {"dragging", [] { return show(playerSettings::dragging()); }, "0", "2", "2"},
    {"resizeable", [] { return show(playerSettings::resizeable()); }, "0", "5", "5"},
    {"windowAlpha", [] { return show(playerSettings::windowAlpha()); }, "0", "75", "75"},
    {"shieldWindow", [] { return show(playerSettings::shieldWindow()); }, "0", "6", "6"},
    {"chrome", [] { return show(playerSettings::chrome()); }, "0", "8", "8"},
    {"mask", [] { return show(playerSettings::mask()); }, "false", "0", "false"},
    {"maskName", [] { return show(playerSettings::maskName()); }, "(none)", "7", "7"},
    {"maskDragging", [] { return show(playerSettings::maskDragging()); }, "false", "YES", "true"},
    {"dropShadow", [] { return show(playerSettings::dropShadow()); }, "0", "9", "9"},
};

class PlayerSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(prefs().parent_path());
    playerSettings::setBundle(Bundle::open(dir_.path() / "Zivra.app"));
  }
  void TearDown() override { playerSettings::setBundle(std::nullopt); }
  fs::path prefs() const { return dir_.path() / "Zivra.app" / "Contents" / "Resources" / "prefs.xml"; }
  static void expectEvery(bool stored) {
    for (const SettingKey& key : kKeys) EXPECT_EQ(key.read(), stored ? key.expected : key.missing) << key.name;
  }
  test::TempDir dir_;
};

TEST_F(PlayerSettingsTest, EveryKeyIsReadAfreshAsANumberOrItsDecimalStringOrMissing) {
  expectEvery(false);
  for (const bool integers : {false, true}) {
    std::string body;
    for (const SettingKey& key : kKeys) {
      const bool number = integers && key.stored[0] >= '0' && key.stored[0] <= '9';
      body += std::string("<key>") + key.name + "</key>" + (number ? "<integer>" : "<string>") + key.stored +
              (number ? "</integer>" : "</string>");
    }
    writeText(prefs(), xmlDict(body));
    expectEvery(true);
  }
  const PlistValue binary = PlistValue::dictionary({{"chrome", PlistValue::integer(1)}});
  ASSERT_TRUE(writePropertyListAtomically(prefs(), binary, PlistFormat::Binary));  // every call reads it again
  EXPECT_EQ(playerSettings::windowType(), 0);
  EXPECT_EQ(playerSettings::chrome(), 1);
  for (const std::string& text : {std::string("<plist><dict><key>chrome</key><integer>1"),
                                  xmlPlist("<array><integer>1</integer></array>")}) {
    writeText(prefs(), text);
    expectEvery(false);
  }
  writeText(prefs(), xmlDict("<key>chrome</key><integer>1</integer>"));
  playerSettings::setBundle(std::nullopt);
  expectEvery(false);
}

}  // namespace
}  // namespace kw
