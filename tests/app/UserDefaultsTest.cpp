// User defaults: reading the stored file, typed getters, and writing only on
// synchronize, atomically.
#include "mac/platform/UserDefaults.h"

#include <gtest/gtest.h>

#include "tests/app/PlistTestFiles.h"
#include "tests/support/TempDir.h"

namespace kw {
namespace {

namespace fs = std::filesystem;

class UserDefaultsTest : public ::testing::Test {
 protected:
  fs::path file() const { return dir_.path() / "Library" / "Preferences" / "com.example.zivra.plist"; }
  void store(const std::string& text) const {
    fs::create_directories(file().parent_path());
    test::writeFile(file(), std::vector<uint8_t>(text.begin(), text.end()));
  }
  test::TempDir dir_;
};

TEST_F(UserDefaultsTest, StartsEmptyAndWritesNothingUntilChanged) {
  UserDefaults defaults(file());
  EXPECT_EQ(defaults.objectForKey("defaultsExist"), std::nullopt);
  EXPECT_EQ(defaults.integerForKey("defaultsExist"), 0);
  EXPECT_FALSE(defaults.boolForKey("defaultsExist"));
  EXPECT_EQ(defaults.stringForKey("defaultsExist"), std::nullopt);
  EXPECT_TRUE(defaults.synchronize());
  EXPECT_FALSE(fs::exists(file()));
}

TEST_F(UserDefaultsTest, ValuesSurviveSynchronizeIntoANewStore) {
  {
    UserDefaults defaults(file());
    defaults.setInteger("defaultsExist", 1);
    defaults.setString("NSWindow Frame AlphaWindowPosition", "10 20 300 200 0 0 1440 900 ");
    defaults.setBool("flag", true);
    defaults.setObject("list", PlistValue::array({PlistValue::integer(2)}));
    EXPECT_TRUE(defaults.hasUnsavedChanges());
    ASSERT_TRUE(defaults.synchronize());  // makes the missing folders
    EXPECT_FALSE(defaults.hasUnsavedChanges());
  }
  const UserDefaults reread(file());
  EXPECT_EQ(reread.integerForKey("defaultsExist"), 1);
  EXPECT_EQ(reread.stringForKey("NSWindow Frame AlphaWindowPosition"), "10 20 300 200 0 0 1440 900 ");
  EXPECT_TRUE(reread.boolForKey("flag"));
  EXPECT_EQ(reread.objectForKey("list"), PlistValue::array({PlistValue::integer(2)}));
}

TEST_F(UserDefaultsTest, ChangesReachTheFileOnlyOnSynchronize) {
  store(test::xmlDict("<key>defaultsExist</key><integer>1</integer><key>old</key><string>x</string>"));
  UserDefaults defaults(file());
  EXPECT_EQ(defaults.integerForKey("defaultsExist"), 1);
  defaults.removeObjectForKey("old");
  defaults.setInteger("defaultsExist", 2);
  EXPECT_EQ(UserDefaults(file()).integerForKey("defaultsExist"), 1);
  ASSERT_TRUE(defaults.synchronize());
  const UserDefaults reread(file());
  EXPECT_EQ(reread.integerForKey("defaultsExist"), 2);
  EXPECT_EQ(reread.objectForKey("old"), std::nullopt);
}

TEST_F(UserDefaultsTest, GettersConvertLikeTheSettings) {
  store(test::xmlDict("<key>n</key><string>3</string><key>yes</key><string>YES</string>"
                      "<key>i</key><integer>12</integer><key>d</key><dict/>"));
  const UserDefaults defaults(file());
  EXPECT_EQ(defaults.integerForKey("n"), 3);
  EXPECT_TRUE(defaults.boolForKey("yes"));
  EXPECT_EQ(defaults.stringForKey("i"), "12");
  EXPECT_EQ(defaults.stringForKey("d"), std::nullopt);
}

TEST_F(UserDefaultsTest, UnreadableFilesStartEmptyAndAreReplaced) {
  for (const std::string& text : {std::string("garbage"), test::xmlPlist("<array><integer>1</integer></array>"),
                                  test::chainedBinaryPlist(40, 2)}) {
    store(text);
    UserDefaults defaults(file());
    EXPECT_EQ(defaults.objectForKey("defaultsExist"), std::nullopt);
    defaults.setInteger("defaultsExist", 1);
    ASSERT_TRUE(defaults.synchronize());
    EXPECT_EQ(UserDefaults(file()).integerForKey("defaultsExist"), 1);
  }
}

TEST_F(UserDefaultsTest, FailedSynchronizeKeepsChangesPending) {
  // The folder that should hold the file is a plain file.
  test::writeFile(dir_.path() / "Library", {'x'});
  UserDefaults defaults(file());
  defaults.setInteger("defaultsExist", 1);
  EXPECT_FALSE(defaults.synchronize());
  EXPECT_TRUE(defaults.hasUnsavedChanges());
  EXPECT_EQ(defaults.integerForKey("defaultsExist"), 1);
}

}  // namespace
}  // namespace kw
