// Bundles and loaded code: bundles are assembled in a temporary folder around
// the test module built next to this test.
#include "mac/platform/Bundle.h"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <string>

namespace kw {
namespace {

namespace fs = std::filesystem;

void writeFile(const fs::path& path, const std::string& bytes) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  ASSERT_TRUE(out.good()) << path;
}

std::string xmlPlist(const std::string& body) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
         "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
         "<plist version=\"1.0\"><dict>" +
         body + "</dict></plist>\n";
}

class BundleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "kw-bundle-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }

  // A plug-in bundle with the test module as its executable "TestPlugin".
  fs::path makePluginBundle(const std::string& name) {
    const fs::path bundle = root_ / name;
    fs::create_directories(bundle / "Contents" / "MacOS");
    fs::copy_file(KW_TEST_MODULE_PATH, bundle / "Contents" / "MacOS" / "TestPlugin");
    writeFile(bundle / "Contents" / "Info.plist",
              xmlPlist("<key>CFBundleExecutable</key><string>TestPlugin</string>"
                       "<key>CFBundleIdentifier</key><string>org.example.test-plugin</string>"
                       "<key>CFBundleVersionNumber</key><integer>12</integer>"));
    return bundle;
  }

  fs::path root_;
};

TEST_F(BundleTest, OpensOnlyDirectoriesWithContentsAndReadsTheirInfoAndTime) {
  EXPECT_FALSE(Bundle::open(root_ / "missing.plugin"));
  EXPECT_FALSE(Bundle::open(""));
  writeFile(root_ / "file.plugin", "not a directory");
  EXPECT_FALSE(Bundle::open(root_ / "file.plugin"));
  fs::create_directories(root_ / "empty.plugin");
  EXPECT_FALSE(Bundle::open(root_ / "empty.plugin"));

  const fs::path path = makePluginBundle("Test.plugin");
  const auto bundle = Bundle::open(path);
  ASSERT_TRUE(bundle);
  EXPECT_EQ(bundle->bundlePath(), path);
  EXPECT_EQ(bundle->resourcesPath(), path / "Contents" / "Resources");
  EXPECT_EQ(bundle->executablePath(), path / "Contents" / "MacOS" / "TestPlugin");
  EXPECT_EQ(bundle->infoString("CFBundleIdentifier"), "org.example.test-plugin");
  EXPECT_FALSE(bundle->infoString("CFBundleVersionNumber"));  // not a string
  EXPECT_FALSE(bundle->infoString("NoSuchKey"));
  EXPECT_FALSE(bundle->infoString(std::string_view("CFBundleIdentifier\0x", 20)));

  const std::time_t when = 1'000'000'000;
  fs::last_write_time(path, std::chrono::file_clock::from_sys(std::chrono::system_clock::from_time_t(when)));
  EXPECT_EQ(bundle->modificationTime(), when);
  fs::remove_all(path);
  EXPECT_FALSE(bundle->modificationTime());
}

TEST_F(BundleTest, UnusableInfoPlistsGiveNoValues) {
  // `readable`: the value itself can be read, only the path is refused.
  const auto check = [&](const std::string& name, const std::string& info, bool readable = false) {
    writeFile(root_ / name / "Contents" / "Info.plist", info);
    const auto bundle = Bundle::open(root_ / name);
    ASSERT_TRUE(bundle);
    EXPECT_EQ(bundle->infoString("CFBundleExecutable").has_value(), readable) << name;
    EXPECT_FALSE(bundle->executablePath()) << name;
  };
  check("Garbage.plugin", std::string("\x01\x02 not a plist <dict", 20));
  check("Empty.plugin", "");
  check("Truncated.plugin", xmlPlist("<key>CFBundleExecutable</key><string>X</string>").substr(0, 200));
  check("ArrayRoot.plugin", "<plist version=\"1.0\"><array><string>X</string></array></plist>");
  // Executable names that would lead out of Contents/MacOS are refused.
  check("Escape.plugin", xmlPlist("<key>CFBundleExecutable</key><string>../../evil</string>"), true);
  check("Dot.plugin", xmlPlist("<key>CFBundleExecutable</key><string>..</string>"), true);
  check("Blank.plugin", xmlPlist("<key>CFBundleExecutable</key><string></string>"), true);
  // No Info.plist at all.
  fs::create_directories(root_ / "NoInfo.plugin" / "Contents");
  const auto noInfo = Bundle::open(root_ / "NoInfo.plugin");
  ASSERT_TRUE(noInfo);
  EXPECT_FALSE(noInfo->infoString("CFBundleExecutable"));
}

TEST_F(BundleTest, FindsResourcesByNameAndType) {
  const fs::path app = root_ / "Movie.app";
  writeFile(app / "Contents" / "Resources" / "zvdata.zve", "movie");
  fs::create_directories(app / "Contents" / "Resources" / "fpb.plugin" / "Contents");
  writeFile(app / "Contents" / "secret.txt", "outside the resources");
  const auto bundle = Bundle::open(app);
  ASSERT_TRUE(bundle);

  EXPECT_EQ(bundle->pathForResource("zvdata", "zve"), app / "Contents" / "Resources" / "zvdata.zve");
  EXPECT_EQ(bundle->pathForResource("fpb", "plugin"), app / "Contents" / "Resources" / "fpb.plugin");
  EXPECT_EQ(bundle->pathForResource("zvdata.zve", ""), app / "Contents" / "Resources" / "zvdata.zve");
  EXPECT_FALSE(bundle->pathForResource("zvdata", "swf"));
  EXPECT_FALSE(bundle->pathForResource("RidavOdarez", "zve"));
  EXPECT_FALSE(bundle->pathForResource("", "zve"));
  EXPECT_FALSE(bundle->pathForResource("../secret", "txt"));
  EXPECT_FALSE(bundle->pathForResource("..", ""));
  EXPECT_FALSE(bundle->pathForResource(std::string_view("zvdata\0x", 8), "zve"));
}

TEST_F(BundleTest, LoadsTheExecutableAndFindsItsSymbols) {
  const auto bundle = Bundle::open(makePluginBundle("Test.plugin"));
  ASSERT_TRUE(bundle);
  std::string error = "untouched";
  const auto code = LoadedCode::load(*bundle, &error);
  ASSERT_NE(code, nullptr) << error;
  EXPECT_EQ(error, "untouched");
  EXPECT_EQ(code->bundle().bundlePath(), bundle->bundlePath());

  const auto answer = reinterpret_cast<int (*)()>(code->symbol("kwTestModuleAnswer"));
  const auto twice = reinterpret_cast<int (*)(int)>(code->symbol("kwTestModuleTwice"));
  ASSERT_NE(answer, nullptr);
  ASSERT_NE(twice, nullptr);
  EXPECT_EQ(answer(), 42);
  EXPECT_EQ(twice(21), 42);
  EXPECT_EQ(code->symbol("NP_Initialize"), nullptr);
  EXPECT_EQ(code->symbol(nullptr), nullptr);
}

TEST_F(BundleTest, ReportsExecutablesThatCannotBeLoaded) {
  std::string error;
  // No Info.plist.
  fs::create_directories(root_ / "NoInfo.plugin" / "Contents" / "MacOS");
  fs::copy_file(KW_TEST_MODULE_PATH, root_ / "NoInfo.plugin" / "Contents" / "MacOS" / "TestPlugin");
  EXPECT_EQ(LoadedCode::load(*Bundle::open(root_ / "NoInfo.plugin"), &error), nullptr);
  EXPECT_NE(error.find("names no executable"), std::string::npos) << error;

  // The Info.plist names an executable that is not there.
  const fs::path missing = makePluginBundle("Missing.plugin");
  fs::remove(missing / "Contents" / "MacOS" / "TestPlugin");
  error.clear();
  EXPECT_EQ(LoadedCode::load(*Bundle::open(missing), &error), nullptr);
  EXPECT_NE(error.find("executable not found"), std::string::npos) << error;
  EXPECT_NE(error.find("TestPlugin"), std::string::npos) << error;

  // Garbage bytes: the loader's own reason comes back.
  const fs::path garbage = makePluginBundle("Garbage.plugin");
  writeFile(garbage / "Contents" / "MacOS" / "TestPlugin", std::string(4096, '\x5a'));
  error.clear();
  EXPECT_EQ(LoadedCode::load(*Bundle::open(garbage), &error), nullptr);
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(error.find("executable not found"), std::string::npos) << error;
}

}  // namespace
}  // namespace kw
