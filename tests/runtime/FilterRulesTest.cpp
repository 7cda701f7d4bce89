// ORBALORT.DLL's filter decisions: the message filter's handling of
// right-button and private messages, focus loss and Escape, and the keyboard
// filter's Control tracking and swallowed keys.
#include "win/runtime/FilterRules.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "win/runtime/PrivateMessages.h"

namespace kw::orbalo {
namespace {

using Action = MessageAction;
constexpr std::uint32_t kMouseMove = 0x0200;
constexpr std::uint32_t kVkA = 0x41;

MessageDecision Decide(RuntimeState& state, std::uint32_t message, std::uint64_t wParam = 0) {
  return DecideMessage(state, message, wParam, true);
}

bool SameFlags(const RuntimeState& a, const RuntimeState& b) {
  return a.rightClickBlocked == b.rightClickBlocked && a.pointerHidden == b.pointerHidden &&
         a.escapeQuits == b.escapeQuits && a.controlDown == b.controlDown;
}

// Each message on a fresh state: its action, whether the next filter is
// called (with a recorded handle), and the flags it leaves behind. The
// private messages go by the numbers orbalo posts (0x0D0A-0x0D0F).
TEST(MessageFilter, EachMessageOnAFreshStateGivesItsActionAndFlags) {
  struct Row {
    std::uint32_t message;
    std::uint64_t wParam;
    Action action;
    bool callNext;
    RuntimeState after;
  };
  const Row rows[] = {
      {kMsgRightButtonDown, 0, Action::kNone, false, {}},  // reaches the player before blocking
      {0x0D0C, 0, Action::kNone, false, {.rightClickBlocked = true}},
      {0x0D0B, 0, Action::kStripFrame, false, {}},
      {0x0D0D, 0x1234, Action::kHideCursor, false, {.pointerHidden = true}},
      {0x0D0F, 0, Action::kNone, false, {.escapeQuits = true}},
      {0x0D0E, 0, Action::kPassOn, true, {}},  // the unused number in between
      {0x0D0A, 0, Action::kPassOn, true, {}},  // the swallowed message itself
      {kMsgKillFocus, 0, Action::kReactivate, false, {}},
      {0x0007, 0, Action::kPassOn, true, {}},              // focus gained
      {kMsgKeyDown, kVkEscape, Action::kNone, false, {}},  // Escape does nothing until armed
      {kMouseMove, 0, Action::kPassOn, true, {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << std::hex << row.message);
    RuntimeState state;
    const MessageDecision decision = Decide(state, row.message, row.wParam);
    EXPECT_EQ(decision.action, row.action);
    EXPECT_EQ(decision.callNextFilter, row.callNext);
    EXPECT_FALSE(decision.hidePointerFirst) << "pointer not hidden until asked";
    EXPECT_TRUE(SameFlags(state, row.after));
  }
  RuntimeState state;
  EXPECT_FALSE(DecideMessage(state, kMouseMove, 0, false).callNextFilter) << "no recorded handle, no next filter";
  EXPECT_EQ(PM_SWALLOWED, 0x0D0Au);
}

TEST(MessageFilter, BlockingLastsForRightButtonsOnlyAHiddenPointerIsHiddenFirstAndArmedEscapeQuitsOnce) {
  RuntimeState state;
  Decide(state, PM_BLOCK_RIGHT_CLICK);
  for (std::uint32_t message :
       {kMsgRightButtonDown, kMsgRightButtonUp, kMsgRightButtonDoubleClick, kMsgRightButtonDown}) {
    EXPECT_EQ(Decide(state, message).action, Action::kSwallow) << std::hex << message;
  }
  for (std::uint32_t message : {kMouseMove, 0x0203u, 0x0207u, PM_SWALLOWED}) {  // left double, middle down
    EXPECT_EQ(Decide(state, message).action, Action::kPassOn) << std::hex << message;
  }
  Decide(state, PM_HIDE_CURSOR);
  for (std::uint32_t message : {kMouseMove, PM_STRIP_FRAME, kMsgKeyDown, PM_HIDE_CURSOR}) {
    EXPECT_TRUE(Decide(state, message, kVkA).hidePointerFirst) << std::hex << message;
  }
  EXPECT_EQ(Decide(state, PM_HIDE_CURSOR).action, Action::kHideCursor);

  Decide(state, PM_ESCAPE_QUITS);
  EXPECT_EQ(Decide(state, kMsgKeyDown, kVkA).action, Action::kNone);
  EXPECT_EQ(Decide(state, 0x0101, kVkEscape).action, Action::kPassOn) << "key up";
  EXPECT_EQ(Decide(state, 0x0104, kVkEscape).action, Action::kPassOn) << "system key down";
  EXPECT_EQ(Decide(state, kMsgKeyDown, 0x100 + kVkEscape).action, Action::kNone) << "the whole wParam counts";
  EXPECT_EQ(Decide(state, kMsgKeyDown, kVkEscape).action, Action::kPostQuit);
  EXPECT_EQ(Decide(state, kMsgKeyDown, kVkEscape).action, Action::kNone);
  Decide(state, PM_ESCAPE_QUITS);  // arming again allows one more
  EXPECT_EQ(Decide(state, kMsgKeyDown, kVkEscape).action, Action::kPostQuit);
}

// Key events in order on one state: whether each is swallowed, and whether
// Control counts as held after it.
TEST(KeyboardFilter, CtrlEscAltTabAndTheSystemKeysAreSwallowedOthersNever) {
  const std::uint32_t up = kKeyFlagReleased, alt = kKeyFlagAltDown;
  struct Row {
    std::uint32_t vk, flags;
    bool swallowed, controlAfter;
  } const rows[] = {
      {kVkEscape, 0, false, false},
      {kVkTab, 0, false, false},
      {kVkTab, up, false, false},
      {kVkTab, alt, true, false},
      {kVkTab, alt | up, true, false},
      {kVkLeftWindows, 0, true, false},
      {kVkRightWindows, up, true, false},
      {kVkApplication, alt, true, false},
      {0x11, 0, false, false},  // the generic Control key is not tracked
      {kVkLeftControl, alt | 0x01, false, true},
      {kVkEscape, 0, true, true},
      {kVkEscape, up, true, true},
      {kVkTab, 0, false, true},  // Control does not stand in for Alt
      {kVkRightControl, up | alt, false, false},  // either release clears
      {kVkEscape, alt, false, false},
      {kVkRightControl, 0, false, true},
      {kVkLeftControl, up, false, false},
  };
  RuntimeState state;
  state.escapeQuits = true;
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << std::hex << row.vk << " " << row.flags);
    EXPECT_EQ(KeyboardEventSwallowed(state, row.vk, row.flags), row.swallowed);
    EXPECT_EQ(state.controlDown, row.controlAfter);
  }
  EXPECT_TRUE(SameFlags(state, {.escapeQuits = true})) << "message filter flags untouched";
  KeyboardEventSwallowed(state, kVkLeftControl, 0);
  for (std::uint32_t vk : {kVkA, 0x11u, 0x12u, 0x5Au, 0x5Eu, 0x08u, 0x0Au, 0x1Au, 0x1Cu}) {
    EXPECT_FALSE(KeyboardEventSwallowed(state, vk, alt)) << std::hex << vk;
  }
}

}  // namespace
}  // namespace kw::orbalo
