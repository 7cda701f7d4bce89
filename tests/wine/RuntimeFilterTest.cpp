// ORBALORT.DLL's filters under Wine, with orbalo running the stand-in player:
// right clicks swallowed, task-switching keys ignored, Escape on request.
#include <gtest/gtest.h>

#include "tests/wine/OrbaloShow.h"

namespace kw::winetest {
namespace {

class RuntimeFilterTest : public ::testing::Test {
 protected:
  RuntimeFilterTest() : session_(BuildSetup(), CurrentTestName()), show_(session_) {}

  bool PlayerGotKey(long vk) const {
    for (const auto& line : show_.PlayerEvents("key")) {
      if (line.Number("vk") == vk && (line["what"] == "down" || line["what"] == "sysdown")) return true;
    }
    return false;
  }

  bool WaitForKey(long vk) const {
    return WineSession::WaitUntil([&] { return PlayerGotKey(vk); }, 20s);
  }

  WineSession session_;
  OrbaloShow show_;
};

TEST_F(RuntimeFilterTest, RightClicksAreSwallowedAndTaskSwitchKeysNeverReachThePlayer) {
  ASSERT_TRUE(show_.Pack({"--set", "block-right-click=1", "--set", "escape-quits=0"}));
  show_.Start();
  ASSERT_TRUE(show_.WaitUntilPlaying());

  ASSERT_TRUE(session_.Helper({"rclick", "KwStandinPlayer"}));
  ASSERT_TRUE(session_.Helper({"keys", "ctrl+esc", "lwin", "rwin", "apps", "esc", "a"}));
  // "a" comes last: once it arrived, every earlier key had its chance.
  ASSERT_TRUE(WaitForKey(0x41)) << "plain keys must still reach the player";
  EXPECT_TRUE(WineSession::WaitUntil(
      [&] {
        int swallowed = 0;
        for (long id : show_.PrivateMessages()) swallowed += id == kSwallowed ? 1 : 0;
        return swallowed >= 2;
      },
      10s))
      << "right button down and up should arrive as the swallowed message";
  EXPECT_TRUE(show_.PlayerEvents("rbutton").empty());
  // Alt+Tab is not checked here: Wine hands the low-level filter no Alt bit
  // (0x20) in the key flags, so the filter cannot tell Alt+Tab from Tab.
  EXPECT_FALSE(PlayerGotKey(0x5B)) << "left Windows key";
  EXPECT_FALSE(PlayerGotKey(0x5C)) << "right Windows key";
  EXPECT_FALSE(PlayerGotKey(0x5D)) << "application key";
  // Escape alone passes (only Ctrl+Esc is swallowed) but does not end the player.
  EXPECT_TRUE(PlayerGotKey(0x1B));
  size_t escapes = 0;
  for (const auto& line : show_.PlayerEvents("key")) escapes += line.Number("vk") == 0x1B && line["what"] == "down";
  EXPECT_EQ(escapes, 1u) << "Escape with Control held must be swallowed";
  EXPECT_TRUE(show_.PlayerEvents("quit").empty()) << "Escape ended the player without being asked to";
  session_.Screenshot("filtered");

  show_.QuitPlayer();
  ASSERT_TRUE(show_.WaitForEnd(60s));
}

TEST_F(RuntimeFilterTest, RightClicksReachThePlayerWhenNotBlocked) {
  ASSERT_TRUE(show_.Pack({"--set", "block-right-click=0"}));
  show_.Start();
  ASSERT_TRUE(show_.WaitUntilPlaying());
  ASSERT_TRUE(session_.Helper({"rclick", "KwStandinPlayer"}));
  EXPECT_TRUE(WineSession::WaitUntil([&] { return show_.PlayerEvents("rbutton").size() >= 2; }, 20s));
  for (long id : show_.PrivateMessages()) {
    EXPECT_NE(id, kBlockRightClick);
    EXPECT_NE(id, kSwallowed);
  }
  show_.QuitPlayer();
  ASSERT_TRUE(show_.WaitForEnd(60s));
}

TEST_F(RuntimeFilterTest, EscapeEndsThePlayerWhenAskedAndOrbaloFollows) {
  ASSERT_TRUE(show_.Pack({"--set", "escape-quits=1", "--set", "outro=0"}));
  show_.Start();
  ASSERT_TRUE(show_.WaitUntilPlaying());
  ASSERT_TRUE(WineSession::WaitUntil(
      [&] {
        for (long id : show_.PrivateMessages()) {
          if (id == kEscapeQuits) return true;
        }
        return false;
      },
      20s));

  ASSERT_TRUE(session_.Helper({"keys", "esc"}));
  auto quit = show_.WaitForPlayer([](const LogLine& line) { return line.event == "quit"; }, 20s);
  ASSERT_TRUE(quit) << "Escape did not end the player";
  EXPECT_TRUE(show_.PlayerEvents("close").empty()) << "ended by the quit message, not by closing";
  auto code = show_.WaitForEnd(60s);
  ASSERT_TRUE(code);
  EXPECT_EQ(*code, 0);
}

}  // namespace
}  // namespace kw::winetest
