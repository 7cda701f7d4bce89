// Tests of ORBALORT.DLL's filter decisions: the message filter's handling of
// right-button and private messages, focus loss and Escape, and the keyboard
// filter's Control tracking and swallowed keys.
#include "win/runtime/FilterRules.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "win/runtime/PrivateMessages.h"

namespace kw::orbalo {
namespace {

constexpr std::uint32_t kMsgKeyUp = 0x0101;
constexpr std::uint32_t kMsgSysKeyDown = 0x0104;
constexpr std::uint32_t kMsgMouseMove = 0x0200;
constexpr std::uint32_t kMsgLeftButtonDoubleClick = 0x0203;
constexpr std::uint32_t kMsgMiddleButtonDown = 0x0207;
constexpr std::uint32_t kMsgSetFocus = 0x0007;
constexpr std::uint32_t kVkA = 0x41;
constexpr std::uint32_t kVkControl = 0x11;
constexpr std::uint32_t kVkMenu = 0x12;

MessageDecision Decide(RuntimeState& state, std::uint32_t message, std::uint64_t wParam = 0,
                       bool handleRecorded = true) {
  return DecideMessage(state, message, wParam, handleRecorded);
}

bool SameFlags(const RuntimeState& a, const RuntimeState& b) {
  return a.rightClickBlocked == b.rightClickBlocked && a.pointerHidden == b.pointerHidden &&
         a.escapeQuits == b.escapeQuits && a.controlDown == b.controlDown;
}

TEST(PrivateMessages, HaveTheNumbersOrbaloPosts) {
  EXPECT_EQ(PM_SWALLOWED, 0x0D0Au);
  EXPECT_EQ(PM_STRIP_FRAME, 0x0D0Bu);
  EXPECT_EQ(PM_BLOCK_RIGHT_CLICK, 0x0D0Cu);
  EXPECT_EQ(PM_HIDE_CURSOR, 0x0D0Du);
  EXPECT_EQ(PM_ESCAPE_QUITS, 0x0D0Fu);
}

// Each message on a fresh state: its action, whether the next filter is
// called (with a recorded handle), and the flags it leaves behind.
TEST(MessageFilter, EachMessageOnAFreshStateGivesItsActionAndFlags) {
  struct Row {
    std::uint32_t message;
    std::uint64_t wParam;
    MessageAction action;
    bool callNext;
    RuntimeState after;
  };
  const Row rows[] = {
      {kMsgRightButtonDown, 0, MessageAction::kNone, false, {}},  // reaches the player before blocking
      {kMsgRightButtonUp, 0, MessageAction::kNone, false, {}},
      {kMsgRightButtonDoubleClick, 0, MessageAction::kNone, false, {}},
      {PM_BLOCK_RIGHT_CLICK, 0, MessageAction::kNone, false, {.rightClickBlocked = true}},
      {PM_STRIP_FRAME, 0, MessageAction::kStripFrame, false, {}},
      {PM_HIDE_CURSOR, 0x1234, MessageAction::kHideCursor, false, {.pointerHidden = true}},
      {PM_ESCAPE_QUITS, 0, MessageAction::kNone, false, {.escapeQuits = true}},
      {0x0D0E, 0, MessageAction::kPassOn, true, {}},  // the unused number in between
      {PM_SWALLOWED, 0, MessageAction::kPassOn, true, {}},
      {kMsgKillFocus, 0, MessageAction::kReactivate, false, {}},
      {kMsgSetFocus, 0, MessageAction::kPassOn, true, {}},
      {kMsgKeyDown, kVkEscape, MessageAction::kNone, false, {}},  // Escape does nothing until armed
      {kMsgMouseMove, 0, MessageAction::kPassOn, true, {}},
  };
  for (const Row& row : rows) {
    RuntimeState state;
    const MessageDecision decision = Decide(state, row.message, row.wParam);
    EXPECT_EQ(decision.action, row.action) << std::hex << row.message;
    EXPECT_EQ(decision.callNextFilter, row.callNext) << std::hex << row.message;
    EXPECT_FALSE(decision.hidePointerFirst) << "pointer not hidden until asked: " << std::hex << row.message;
    EXPECT_TRUE(SameFlags(state, row.after)) << std::hex << row.message;
  }
  RuntimeState state;
  EXPECT_FALSE(Decide(state, kMsgMouseMove, 0, false).callNextFilter) << "no recorded handle, no next filter";
}

TEST(MessageFilter, BlockedRightButtonMessagesAreSwallowedAndOnlyThey) {
  RuntimeState state;
  Decide(state, PM_BLOCK_RIGHT_CLICK);
  for (int round = 0; round < 2; ++round) {  // blocking lasts
    for (std::uint32_t message : {kMsgRightButtonDown, kMsgRightButtonUp, kMsgRightButtonDoubleClick}) {
      EXPECT_EQ(Decide(state, message).action, MessageAction::kSwallow) << std::hex << message;
    }
  }
  for (std::uint32_t message : {kMsgMouseMove, kMsgLeftButtonDoubleClick, kMsgMiddleButtonDown, PM_SWALLOWED}) {
    const MessageDecision decision = Decide(state, message);
    EXPECT_EQ(decision.action, MessageAction::kPassOn) << std::hex << message;
    EXPECT_TRUE(decision.callNextFilter) << std::hex << message;
  }
}

TEST(MessageFilter, HiddenCursorIsHiddenFirstOnEveryLaterMessage) {
  RuntimeState state;
  Decide(state, PM_HIDE_CURSOR);
  for (std::uint32_t message : {kMsgMouseMove, PM_STRIP_FRAME, kMsgKeyDown, PM_HIDE_CURSOR}) {
    EXPECT_TRUE(Decide(state, message, kVkA).hidePointerFirst) << std::hex << message;
  }
  EXPECT_EQ(Decide(state, PM_HIDE_CURSOR).action, MessageAction::kHideCursor);
}

TEST(MessageFilter, ArmedEscapeQuitsOnceAndOtherKeysLeaveItArmed) {
  RuntimeState state;
  Decide(state, PM_ESCAPE_QUITS);
  EXPECT_EQ(Decide(state, kMsgKeyDown, kVkA).action, MessageAction::kNone);
  EXPECT_EQ(Decide(state, kMsgKeyUp, kVkEscape).action, MessageAction::kPassOn);
  EXPECT_EQ(Decide(state, kMsgSysKeyDown, kVkEscape).action, MessageAction::kPassOn);
  EXPECT_EQ(Decide(state, kMsgKeyDown, 0x100 + kVkEscape).action, MessageAction::kNone) << "low byte only";
  EXPECT_TRUE(state.escapeQuits);
  EXPECT_EQ(Decide(state, kMsgKeyDown, kVkEscape).action, MessageAction::kPostQuit);
  EXPECT_FALSE(state.escapeQuits);
  EXPECT_EQ(Decide(state, kMsgKeyDown, kVkEscape).action, MessageAction::kNone);
  Decide(state, PM_ESCAPE_QUITS);  // arming again allows one more
  EXPECT_EQ(Decide(state, kMsgKeyDown, kVkEscape).action, MessageAction::kPostQuit);
}

// --- Keyboard filter ----------------------------------------------------------

TEST(KeyboardFilter, EitherControlKeySetsAndEitherReleaseClearsByTheReleasedBitOnly) {
  for (std::uint32_t press : {kVkLeftControl, kVkRightControl}) {
    for (std::uint32_t release : {kVkLeftControl, kVkRightControl}) {
      RuntimeState state;
      EXPECT_FALSE(KeyboardEventSwallowed(state, press, kKeyFlagAltDown | 0x01));
      EXPECT_TRUE(state.controlDown) << std::hex << press;
      EXPECT_FALSE(KeyboardEventSwallowed(state, release, kKeyFlagReleased | kKeyFlagAltDown));
      EXPECT_FALSE(state.controlDown) << std::hex << release;
    }
  }
  RuntimeState state;
  KeyboardEventSwallowed(state, kVkControl, 0);
  EXPECT_FALSE(state.controlDown) << "the generic Control key is not tracked";
}

TEST(KeyboardFilter, EscapeOnlyWithControlHeldAndTabOnlyWithTheAltBit) {
  RuntimeState state;
  state.escapeQuits = true;
  EXPECT_FALSE(KeyboardEventSwallowed(state, kVkEscape, 0));
  EXPECT_FALSE(KeyboardEventSwallowed(state, kVkTab, 0));
  EXPECT_FALSE(KeyboardEventSwallowed(state, kVkTab, kKeyFlagReleased));
  EXPECT_TRUE(KeyboardEventSwallowed(state, kVkTab, kKeyFlagAltDown));
  EXPECT_TRUE(KeyboardEventSwallowed(state, kVkTab, kKeyFlagAltDown | kKeyFlagReleased));
  KeyboardEventSwallowed(state, kVkRightControl, 0);
  EXPECT_TRUE(KeyboardEventSwallowed(state, kVkEscape, 0));
  EXPECT_TRUE(KeyboardEventSwallowed(state, kVkEscape, kKeyFlagReleased));
  EXPECT_FALSE(KeyboardEventSwallowed(state, kVkTab, 0)) << "Control does not stand in for Alt";
  EXPECT_TRUE(SameFlags(state, {.escapeQuits = true, .controlDown = true})) << "message filter flags untouched";
  KeyboardEventSwallowed(state, kVkRightControl, kKeyFlagReleased);
  EXPECT_FALSE(KeyboardEventSwallowed(state, kVkEscape, kKeyFlagAltDown));
}

TEST(KeyboardFilter, SystemKeysAlwaysSwallowedOtherKeysNever) {
  for (std::uint32_t flags : {0u, kKeyFlagReleased, kKeyFlagAltDown}) {
    for (std::uint32_t vk : {kVkLeftWindows, kVkRightWindows, kVkApplication}) {
      RuntimeState state;
      EXPECT_TRUE(KeyboardEventSwallowed(state, vk, flags)) << std::hex << vk << " " << flags;
    }
  }
  RuntimeState state;
  KeyboardEventSwallowed(state, kVkLeftControl, 0);
  for (std::uint32_t vk : {kVkA, kVkMenu, kVkControl, 0x5Au, 0x5Eu, 0x08u, 0x0Au, 0x1Au, 0x1Cu}) {
    EXPECT_FALSE(KeyboardEventSwallowed(state, vk, kKeyFlagAltDown)) << std::hex << vk;
  }
}

}  // namespace
}  // namespace kw::orbalo
