// Player settings: the bundle's "prefs.xml" read on every call, and the
// defaults of every key when the file, the key or the bundle is missing.
#include "mac/app/playerSettings.h"

#include <gtest/gtest.h>

#include "tests/app/PlistTestFiles.h"
#include "tests/support/TempDir.h"

namespace kw {
namespace {

namespace fs = std::filesystem;

class PlayerSettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(resources());
    playerSettings::setBundle(Bundle::open(dir_.path() / "Zivra.app"));
    ASSERT_TRUE(playerSettings::bundle());
  }
  void TearDown() override { playerSettings::setBundle(std::nullopt); }

  fs::path resources() const { return dir_.path() / "Zivra.app" / "Contents" / "Resources"; }
  void writePrefs(const std::string& text) const {
    test::writeFile(resources() / "prefs.xml", std::vector<uint8_t>(text.begin(), text.end()));
  }

  static void expectAllDefaults() {
    EXPECT_EQ(playerSettings::windowType(), 0);
    EXPECT_EQ(playerSettings::zOrder(), std::nullopt);
    EXPECT_EQ(playerSettings::dragging(), 0);
    EXPECT_EQ(playerSettings::resizeable(), 0);
    EXPECT_EQ(playerSettings::windowAlpha(), 0);
    EXPECT_EQ(playerSettings::shieldWindow(), 0);
    EXPECT_EQ(playerSettings::chrome(), 0);
    EXPECT_FALSE(playerSettings::mask());
    EXPECT_EQ(playerSettings::maskName(), std::nullopt);
    EXPECT_FALSE(playerSettings::maskDragging());
    EXPECT_EQ(playerSettings::dropShadow(), 0);
  }

  test::TempDir dir_;
};

TEST_F(PlayerSettingsTest, MissingFileOrBundleGivesEveryDefault) {
  EXPECT_EQ(playerSettings::loadSetting("windowType"), std::nullopt);
  expectAllDefaults();
  writePrefs(test::xmlDict("<key>windowType</key><integer>3</integer>"));
  playerSettings::setBundle(std::nullopt);
  expectAllDefaults();
}

TEST_F(PlayerSettingsTest, UnreadableFileGivesEveryDefault) {
  for (const std::string& text : {std::string("<plist><dict><key>windowType</key><integer>3"), std::string(),
                                  test::xmlPlist("<array><integer>3</integer></array>"),
                                  test::chainedBinaryPlist(40, 2), test::nestedXmlArrays(100000)}) {
    writePrefs(text);
    EXPECT_EQ(playerSettings::loadSetting("windowType"), std::nullopt);
    expectAllDefaults();
  }
}

TEST_F(PlayerSettingsTest, MissingKeyReadsAsNothingBesidePresentOnes) {
  writePrefs(test::xmlDict("<key>dropShadow</key><integer>1</integer><key>zOrder</key><string>BOTTOM</string>"));
  EXPECT_EQ(playerSettings::loadSetting("chrome"), std::nullopt);
  EXPECT_EQ(playerSettings::chrome(), 0);
  EXPECT_EQ(playerSettings::loadSetting("dropShadow"), PlistValue::integer(1));
  EXPECT_EQ(playerSettings::dropShadow(), 1);
  EXPECT_EQ(playerSettings::zOrder(), "BOTTOM");
}

TEST_F(PlayerSettingsTest, NumbersAndTheirDecimalStringsAreEquivalent) {
  for (const std::string& form : {std::string("<integer>%</integer>"), std::string("<string>%</string>")}) {
    const auto value = [&form](const char* number) {
      std::string text = form;
      return text.replace(text.find('%'), 1, number);
    };
    writePrefs(test::xmlDict("<key>windowType</key>" + value("3") + "<key>windowAlpha</key>" + value("75") +
                             "<key>dragging</key>" + value("2") + "<key>resizeable</key>" + value("1") +
                             "<key>shieldWindow</key>" + value("1") + "<key>chrome</key>" + value("1") +
                             "<key>maskName</key>" + value("7")));
    EXPECT_EQ(playerSettings::windowType(), 3) << form;
    EXPECT_EQ(playerSettings::windowAlpha(), 75) << form;
    EXPECT_EQ(playerSettings::dragging(), 2) << form;
    EXPECT_EQ(playerSettings::resizeable(), 1) << form;
    EXPECT_EQ(playerSettings::shieldWindow(), 1) << form;
    EXPECT_EQ(playerSettings::chrome(), 1) << form;
    EXPECT_EQ(playerSettings::maskName(), "7") << form;
  }
}

TEST_F(PlayerSettingsTest, MaskFlagsAcceptYesAndOne) {
  const struct {
    const char* value;
    bool expected;
  } cases[] = {
      {"<string>YES</string>", true}, {"<integer>1</integer>", true}, {"<true/>", true},
      {"<string>1</string>", true},   {"<string>NO</string>", false}, {"<integer>0</integer>", false},
      {"<false/>", false},            {"<string></string>", false},   {"<dict/>", false},
  };
  for (const auto& c : cases) {
    writePrefs(test::xmlDict(std::string("<key>mask</key>") + c.value + "<key>maskDragging</key>" + c.value));
    EXPECT_EQ(playerSettings::mask(), c.expected) << c.value;
    EXPECT_EQ(playerSettings::maskDragging(), c.expected) << c.value;
  }
}

TEST_F(PlayerSettingsTest, EveryCallRereadsTheFile) {
  writePrefs(test::xmlDict("<key>windowType</key><integer>1</integer>"));
  EXPECT_EQ(playerSettings::windowType(), 1);
  writePrefs(test::xmlDict("<key>windowType</key><integer>4</integer><key>maskName</key><string>shape.png</string>"));
  EXPECT_EQ(playerSettings::windowType(), 4);
  EXPECT_EQ(playerSettings::maskName(), "shape.png");
  fs::remove(resources() / "prefs.xml");
  expectAllDefaults();
}

TEST_F(PlayerSettingsTest, BinaryContentIsReadToo) {
  ASSERT_TRUE(writePropertyListAtomically(
      resources() / "prefs.xml",
      PlistValue::dictionary({{"windowType", PlistValue::integer(2)}, {"mask", PlistValue::boolean(true)}}),
      PlistFormat::Binary));
  EXPECT_EQ(playerSettings::windowType(), 2);
  EXPECT_TRUE(playerSettings::mask());
}

}  // namespace
}  // namespace kw
