// orbalo under Wine on a normal run: unpacking, the player taken over, the
// intro, the display switch with its fall-back, the outro and the clean-up.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <regex>

#include "tests/wine/OrbaloShow.h"

namespace kw::winetest {
namespace {

namespace fs = std::filesystem;

bool Contains(const std::vector<long>& ids, long id) { return std::find(ids.begin(), ids.end(), id) != ids.end(); }

std::optional<std::pair<int, int>> ScreenSize(WineSession& session) {
  auto out = session.Helper({"screen"});
  if (!out) return std::nullopt;
  std::smatch match;
  static const std::regex kScreen("screen (\\d+) (\\d+)");
  if (!std::regex_search(*out, match, kScreen)) return std::nullopt;
  return std::make_pair(std::stoi(match[1]), std::stoi(match[2]));
}

class OrbaloRunTest : public ::testing::Test {
 protected:
  OrbaloRunTest() : session_(BuildSetup(), CurrentTestName()), show_(session_) {}
  WineSession session_;
  OrbaloShow show_;
};

TEST_F(OrbaloRunTest, NormalRunPlaysFramelessTopmostCentredPlayerAfterIntroAndCleansUp) {
  ASSERT_TRUE(show_.Pack({"--intro", show_.Picture("intro.jpg", 640, 480, "navy"), "--background",
                          show_.Picture("back.jpg", 300, 200, "orange"), "--outro",
                          show_.Picture("outro.jpg", 640, 480, "darkgreen"), "--set", "resolution=640x480",
                          "--set", "alignment=0", "--set", "intro-time=3", "--set", "outro-time=1"}));
  show_.Start();

  // Started from the per-run folder with basepath.txt naming the show's folder.
  auto start = show_.WaitForPlayer([](const LogLine& line) { return line.event == "start"; });
  ASSERT_TRUE(start) << "the player never started";
  std::smatch match;
  const std::string exe = (*start)["exe"];
  ASSERT_TRUE(std::regex_match(exe, match, std::regex(R"((C:\\users\\[^\\]+\\Temp\\)([A-Z0-9]{5}TMP)\\standin-player\.exe)",
                                                      std::regex::icase)))
      << exe;
  EXPECT_EQ((*start)["cwd"] + "\\", exe.substr(0, exe.find_last_of('\\') + 1));
  auto basepath = show_.WaitForPlayer([](const LogLine& line) { return line.event == "basepath"; }, 1s);
  ASSERT_TRUE(basepath);
  EXPECT_EQ((*basepath)["text"], "basepath=C:\\show\\");
  auto runFolder = show_.RunFolder();
  ASSERT_TRUE(runFolder);
  EXPECT_TRUE(fs::is_directory(*runFolder / "fscommand"));
  EXPECT_TRUE(fs::exists(session_.TempFolder() / "ORBALORT.DLL"));

  // Intro: the display has the configured mode while the player is suspended
  // and the intro picture shows.
  EXPECT_TRUE(WineSession::WaitUntil(
      [&] { return ScreenSize(session_) == std::make_pair(640, 480); }, 30s))
      << "the display was not switched to 640x480";
  session_.Screenshot("intro");
  auto playing = show_.WaitUntilPlaying();
  ASSERT_TRUE(playing) << "the player was never shown after the intro";
  session_.Screenshot("playing");

  auto gaps = show_.PlayerEvents("gap");
  ASSERT_FALSE(gaps.empty()) << "the player's thread was never suspended";
  EXPECT_GE(gaps.back().Number("ms"), 2500) << "suspended for less than the 3 s intro";
  EXPECT_LT(gaps.back().ms, playing->ms) << "shown before it was resumed";

  // Stripped, hooked, placed by alignment 0 on 640x480: (45, 40).
  EXPECT_EQ((*playing)["title"], "");
  EXPECT_EQ(playing->Number("style") & kPopup, kPopup);
  EXPECT_EQ(playing->Number("style") & (kCaption | kThickFrame), 0);
  EXPECT_EQ(playing->Number("exstyle") & kTopmost, kTopmost);
  EXPECT_EQ(playing->Number("classcursor"), 0) << "the message filter did not clear the class cursor";
  EXPECT_EQ(playing->Number("x"), 45);
  EXPECT_EQ(playing->Number("y"), 40);
  EXPECT_EQ(playing->Number("w"), 550);
  EXPECT_EQ(playing->Number("h"), 400);
  auto messages = show_.PrivateMessages();
  EXPECT_TRUE(Contains(messages, kStripFrame));
  EXPECT_TRUE(Contains(messages, kBlockRightClick));
  EXPECT_TRUE(Contains(messages, kHideCursor));
  EXPECT_FALSE(Contains(messages, kEscapeQuits));
  auto window = show_.WaitForPlayer([](const LogLine& line) { return line.event == "window"; }, 1s);
  ASSERT_TRUE(window);
  for (const auto& line : show_.PlayerEvents("msg")) {
    if (line.Number("id") == kHideCursor) {
      EXPECT_EQ(line.Number("lparam"), window->Number("hwnd"));
    }
  }

  // The player ends: outro, then display and desktop back, folder removed.
  show_.QuitPlayer();
  ASSERT_TRUE(show_.WaitForPlayer([](const LogLine& line) { return line.event == "exit"; }, 30s));
  auto code = show_.WaitForEnd(60s);
  ASSERT_TRUE(code) << "orbalo did not end after the player";
  EXPECT_EQ(*code, 0);
  EXPECT_TRUE(show_.RunFoldersLeft().empty());
  EXPECT_FALSE(fs::exists(*runFolder));
  EXPECT_TRUE(fs::exists(session_.TempFolder() / "ORBALORT.DLL")) << "the library stays in the temporary folder";
  EXPECT_TRUE(show_.DialogTexts().empty());
  auto screenAfter = ScreenSize(session_);
  ASSERT_TRUE(screenAfter);
  EXPECT_EQ(*screenAfter, std::make_pair(1024, 768)) << "display mode not restored";
  auto windows = session_.Helper({"windows"});
  ASSERT_TRUE(windows);
  EXPECT_EQ(windows->find("Orbalo Window"), std::string::npos) << "background window left behind";
  session_.Screenshot("after");
}

class SmallDesktopRunTest : public ::testing::Test {
 protected:
  // An 800x600 desktop offers no 1024x768 mode.
  SmallDesktopRunTest() : session_(BuildSetup(), CurrentTestName(), true, "800x600"), show_(session_) {}
  WineSession session_;
  OrbaloShow show_;
};

TEST_F(SmallDesktopRunTest, UnsupportedResolutionFallsBackTo640x480AndSaysSo) {
  ASSERT_TRUE(show_.Pack({"--set", "resolution=1024x768", "--set", "alignment=0"}));
  show_.Start();

  auto dialogs = show_.WaitForDialogs(1);
  ASSERT_EQ(dialogs.size(), 1u);
  EXPECT_EQ(dialogs[0], "Info|Your gfx driver does not support the desired resolution of 1024x768. Using 640x480.");
  EXPECT_NE(session_.Dialogs()[0]["owner"], "0x0") << "the Info box belongs to the background window";

  // Aligned on 1024x768 at (237, 184), then moved by (-192, -144).
  auto playing = show_.WaitUntilPlaying();
  ASSERT_TRUE(playing);
  session_.Screenshot("fell-back");
  EXPECT_EQ(playing->Number("x"), 45);
  EXPECT_EQ(playing->Number("y"), 40);
  auto screen = ScreenSize(session_);
  ASSERT_TRUE(screen);
  EXPECT_EQ(*screen, std::make_pair(640, 480));

  show_.QuitPlayer();
  auto code = show_.WaitForEnd(60s);
  ASSERT_TRUE(code);
  EXPECT_EQ(*code, 0);
  EXPECT_EQ(show_.DialogTexts().size(), 1u);
}

TEST_F(OrbaloRunTest, ExtraFilesAreUnpackedBesideThePlayerAndRemovedAfterwards) {
  ASSERT_TRUE(show_.Pack({"--extra", show_.File("movie.txt", "first extra\n"), "--extra",
                          show_.File("data.bin", std::string("\x00\x01\x02\xff", 4)), "--set", "extras=2",
                          "--set", "intro=0", "--set", "outro=0"}));
  show_.Start();
  ASSERT_TRUE(show_.WaitUntilPlaying());
  auto runFolder = show_.RunFolder();
  ASSERT_TRUE(runFolder);
  EXPECT_EQ(WineSession::ReadFile(*runFolder / "movie.txt"), "first extra\n");
  EXPECT_EQ(WineSession::ReadFile(*runFolder / "data.bin"), std::string("\x00\x01\x02\xff", 4));
  EXPECT_TRUE(show_.PlayerEvents("gap").empty()) << "without an intro the player is resumed at once";

  show_.QuitPlayer();
  auto code = show_.WaitForEnd(60s);
  ASSERT_TRUE(code);
  EXPECT_FALSE(fs::exists(*runFolder));
  EXPECT_TRUE(show_.DialogTexts().empty());
}

}  // namespace
}  // namespace kw::winetest
