// The Wine harness on its own: the stand-in player's log, its ways to end, key
// and click injection, and the dialog watcher.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/wine/OrbaloShow.h"

namespace kw::winetest {
namespace {

class HarnessTest : public ::testing::Test {
 protected:
  HarnessTest() : session_(BuildSetup(), CurrentTestName()) {
    auto folder = session_.DriveC() / "kwtest" / "player";
    std::filesystem::create_directories(folder);
    std::filesystem::copy_file(session_.setup().windowsBin / "standin-player.exe", folder / "player.exe");
  }

  std::vector<LogLine> Log() const {
    return ParseLog(WineSession::ReadFile(session_.DriveC() / "kwtest" / "player" / "standin.log"));
  }

  std::optional<LogLine> WaitForLog(const std::function<bool(const LogLine&)>& match) const {
    std::optional<LogLine> found;
    WineSession::WaitUntil(
        [&] {
          for (const auto& line : Log()) {
            if (match(line)) found = line;
          }
          return found.has_value();
        },
        60s);
    return found;
  }

  WineSession session_;
};

TEST_F(HarnessTest, StandinPlayerLogsItsFramedWindowBesideItselfAndEndsOnItsQuitFile) {
  session_.SetEnv("STANDIN_QUIT_FILE", "C:\\kwtest\\quit-player");
  pid_t player = session_.Start({"C:\\kwtest\\player\\player.exe"}, "player");

  auto shown = WaitForLog([](const LogLine& line) { return line.event == "state" && line.Number("visible") == 1; });
  ASSERT_TRUE(shown) << "no visible window logged";
  EXPECT_EQ((*shown)["title"], "Stand-in Player");
  EXPECT_EQ(shown->Number("menu"), 1);
  EXPECT_EQ(shown->Number("cw"), 550);
  EXPECT_EQ(shown->Number("ch"), 400);
  EXPECT_EQ(shown->Number("style") & kCaption, kCaption);
  EXPECT_EQ(shown->Number("topmost"), 0);
  session_.Screenshot("player-alone");
  EXPECT_TRUE(std::filesystem::file_size(session_.artifacts() / "player-alone.png") > 0);

  std::ofstream(session_.DriveC() / "kwtest" / "quit-player") << "quit\n";
  auto code = session_.WaitForExit(player, 30s);
  ASSERT_TRUE(code) << "player did not end after its quit file appeared";
  EXPECT_EQ(*code, 0);
  auto log = Log();
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[0].event, "start");
  EXPECT_EQ(log[log.size() - 2].event, "quit");
  EXPECT_EQ(log.back().event, "exit");
}

TEST_F(HarnessTest, InjectedKeysAndRightClicksReachTheFocusedPlayer) {
  session_.SetEnv("STANDIN_LIFETIME_MS", "30000");
  pid_t player = session_.Start({"C:\\kwtest\\player\\player.exe"}, "player");
  ASSERT_TRUE(WaitForLog([](const LogLine& line) { return line.event == "focus" && line["what"] == "got"; }));

  ASSERT_TRUE(session_.Helper({"keys", "a", "alt+tab"}));
  ASSERT_TRUE(session_.Helper({"rclick", "KwStandinPlayer"}));

  EXPECT_TRUE(WaitForLog([](const LogLine& line) { return line.event == "key" && line.Number("vk") == 0x41; }));
  EXPECT_TRUE(WaitForLog([](const LogLine& line) {
    return line.event == "key" && line["what"] == "sysdown" && line.Number("vk") == 0x09;
  })) << "Alt+Tab did not reach an unfiltered player";
  EXPECT_TRUE(WaitForLog([](const LogLine& line) { return line.event == "rbutton" && line["what"] == "down"; }));
  EXPECT_TRUE(WaitForLog([](const LogLine& line) { return line.event == "rbutton" && line["what"] == "up"; }));
  EXPECT_TRUE(session_.Running(player));
}

TEST_F(HarnessTest, DialogWatcherRecordsTitleAndExactTextAndPressesOk) {
  session_.StartDialogWatcher();
  auto out = session_.Helper({"message", "Info", "Two \"lines\"\nand a line end\n"}, 60s);
  ASSERT_TRUE(out) << "the message box was not answered";
  auto dialogs = session_.Dialogs();
  ASSERT_EQ(dialogs.size(), 1u);
  EXPECT_EQ(dialogs[0]["title"], "Info");
  EXPECT_EQ(dialogs[0]["text"], "Two \"lines\"\nand a line end\n");
}

}  // namespace
}  // namespace kw::winetest
