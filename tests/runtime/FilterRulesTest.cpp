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

constexpr std::uint32_t kRightButtonMessages[] = {kMsgRightButtonDown, kMsgRightButtonUp,
                                                  kMsgRightButtonDoubleClick};

MessageDecision Decide(RuntimeState& state, std::uint32_t message, std::uint64_t wParam = 0,
                       bool handleRecorded = false) {
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

TEST(RuntimeState, StartsWithEverythingCleared) {
  const RuntimeState state;
  EXPECT_FALSE(state.rightClickBlocked);
  EXPECT_FALSE(state.pointerHidden);
  EXPECT_FALSE(state.escapeQuits);
  EXPECT_FALSE(state.controlDown);
}

// --- Message filter: right button ---------------------------------------------

TEST(MessageFilterRightButton, ReachesThePlayerUntouchedBeforeBlocking) {
  for (std::uint32_t message : kRightButtonMessages) {
    RuntimeState state;
    const MessageDecision decision = Decide(state, message, 0, true);
    EXPECT_EQ(decision.action, MessageAction::kNone) << std::hex << message;
    EXPECT_FALSE(decision.callNextFilter) << std::hex << message;
  }
}

TEST(MessageFilterRightButton, IsSwallowedAfterBlockRightClick) {
  RuntimeState state;
  const MessageDecision block = Decide(state, PM_BLOCK_RIGHT_CLICK, 0, true);
  EXPECT_EQ(block.action, MessageAction::kNone);
  EXPECT_FALSE(block.callNextFilter);
  EXPECT_TRUE(state.rightClickBlocked);
  for (std::uint32_t message : kRightButtonMessages) {
    EXPECT_EQ(Decide(state, message).action, MessageAction::kSwallow) << std::hex << message;
  }
  // Blocking lasts: a second round is swallowed too.
  EXPECT_EQ(Decide(state, kMsgRightButtonDown).action, MessageAction::kSwallow);
}

TEST(MessageFilterRightButton, NeighbouringMouseMessagesAreNotSwallowed) {
  RuntimeState state;
  state.rightClickBlocked = true;
  for (std::uint32_t message :
       {kMsgMouseMove, kMsgLeftButtonDoubleClick, kMsgMiddleButtonDown, PM_SWALLOWED}) {
    const MessageDecision decision = Decide(state, message, 0, true);
    EXPECT_EQ(decision.action, MessageAction::kPassOn) << std::hex << message;
    EXPECT_TRUE(decision.callNextFilter) << std::hex << message;
  }
}

// --- Message filter: private messages -----------------------------------------

TEST(MessageFilterPrivateMessages, StripFrameStripsAndChangesNoFlag) {
  RuntimeState state;
  const MessageDecision decision = Decide(state, PM_STRIP_FRAME, 0, true);
  EXPECT_EQ(decision.action, MessageAction::kStripFrame);
  EXPECT_FALSE(decision.callNextFilter);
  EXPECT_TRUE(SameFlags(state, RuntimeState{}));
}

TEST(MessageFilterPrivateMessages, HideCursorHidesNowAndOnEveryLaterMessage) {
  RuntimeState state;
  const MessageDecision first = Decide(state, PM_HIDE_CURSOR, 0x1234, true);
  EXPECT_EQ(first.action, MessageAction::kHideCursor);
  EXPECT_FALSE(first.hidePointerFirst);  // the flag was not yet set when it arrived
  EXPECT_FALSE(first.callNextFilter);
  EXPECT_TRUE(state.pointerHidden);

  EXPECT_TRUE(Decide(state, kMsgMouseMove).hidePointerFirst);
  EXPECT_TRUE(Decide(state, PM_STRIP_FRAME).hidePointerFirst);
  EXPECT_TRUE(Decide(state, kMsgKeyDown, kVkA).hidePointerFirst);
  const MessageDecision again = Decide(state, PM_HIDE_CURSOR);
  EXPECT_TRUE(again.hidePointerFirst);
  EXPECT_EQ(again.action, MessageAction::kHideCursor);
}

TEST(MessageFilterPrivateMessages, PointerIsNotHiddenUntilAsked) {
  RuntimeState state;
  for (std::uint32_t message :
       {kMsgMouseMove, PM_STRIP_FRAME, PM_BLOCK_RIGHT_CLICK, PM_ESCAPE_QUITS, kMsgKillFocus}) {
    EXPECT_FALSE(Decide(state, message).hidePointerFirst) << std::hex << message;
  }
}

TEST(MessageFilterPrivateMessages, EscapeQuitsOnlyArmsTheFlag) {
  RuntimeState state;
  const MessageDecision decision = Decide(state, PM_ESCAPE_QUITS, 0, true);
  EXPECT_EQ(decision.action, MessageAction::kNone);
  EXPECT_FALSE(decision.callNextFilter);
  EXPECT_TRUE(state.escapeQuits);
  EXPECT_FALSE(state.rightClickBlocked);
  EXPECT_FALSE(state.pointerHidden);
}

TEST(MessageFilterPrivateMessages, UnusedNumberInBetweenIsPassedOn) {
  RuntimeState state;
  const MessageDecision decision = Decide(state, 0x0D0E, 0, true);
  EXPECT_EQ(decision.action, MessageAction::kPassOn);
  EXPECT_TRUE(SameFlags(state, RuntimeState{}));
}

// --- Message filter: focus ----------------------------------------------------

TEST(MessageFilterFocus, LosingFocusReactivatesTheWindow) {
  RuntimeState state;
  const MessageDecision decision = Decide(state, kMsgKillFocus, 0, true);
  EXPECT_EQ(decision.action, MessageAction::kReactivate);
  EXPECT_FALSE(decision.callNextFilter);
  EXPECT_EQ(Decide(state, kMsgSetFocus).action, MessageAction::kPassOn);
}

// --- Message filter: Escape ---------------------------------------------------

TEST(MessageFilterEscape, DoesNothingUntilArmed) {
  RuntimeState state;
  const MessageDecision decision = Decide(state, kMsgKeyDown, kVkEscape, true);
  EXPECT_EQ(decision.action, MessageAction::kNone);
  EXPECT_FALSE(decision.callNextFilter);
}

TEST(MessageFilterEscape, QuitsOnceWhenArmed) {
  RuntimeState state;
  Decide(state, PM_ESCAPE_QUITS);
  EXPECT_EQ(Decide(state, kMsgKeyDown, kVkEscape).action, MessageAction::kPostQuit);
  EXPECT_FALSE(state.escapeQuits);
  EXPECT_EQ(Decide(state, kMsgKeyDown, kVkEscape).action, MessageAction::kNone);
  // Arming again allows one more.
  Decide(state, PM_ESCAPE_QUITS);
  EXPECT_EQ(Decide(state, kMsgKeyDown, kVkEscape).action, MessageAction::kPostQuit);
}

TEST(MessageFilterEscape, OtherKeysAndKeyUpsLeaveItArmed) {
  RuntimeState state;
  state.escapeQuits = true;
  EXPECT_EQ(Decide(state, kMsgKeyDown, kVkA).action, MessageAction::kNone);
  EXPECT_EQ(Decide(state, kMsgKeyUp, kVkEscape).action, MessageAction::kPassOn);
  EXPECT_EQ(Decide(state, kMsgSysKeyDown, kVkEscape).action, MessageAction::kPassOn);
  // A key whose low byte is Escape is still another key.
  EXPECT_EQ(Decide(state, kMsgKeyDown, 0x100 + kVkEscape).action, MessageAction::kNone);
  EXPECT_TRUE(state.escapeQuits);
  EXPECT_EQ(Decide(state, kMsgKeyDown, kVkEscape).action, MessageAction::kPostQuit);
}

// --- Message filter: the chain ------------------------------------------------

TEST(MessageFilterChain, OtherMessagesGoToTheNextFilterOnlyWithARecordedHandle) {
  RuntimeState state;
  const MessageDecision withHandle = Decide(state, kMsgMouseMove, 0, true);
  EXPECT_EQ(withHandle.action, MessageAction::kPassOn);
  EXPECT_TRUE(withHandle.callNextFilter);
  const MessageDecision withoutHandle = Decide(state, kMsgMouseMove, 0, false);
  EXPECT_EQ(withoutHandle.action, MessageAction::kPassOn);
  EXPECT_FALSE(withoutHandle.callNextFilter);
}

TEST(MessageFilterChain, HandledMessagesNeverGoToTheNextFilter) {
  for (std::uint32_t message :
       {kMsgRightButtonDown, kMsgRightButtonUp, kMsgRightButtonDoubleClick, PM_STRIP_FRAME,
        PM_BLOCK_RIGHT_CLICK, PM_HIDE_CURSOR, PM_ESCAPE_QUITS, kMsgKillFocus, kMsgKeyDown}) {
    RuntimeState state;
    EXPECT_FALSE(Decide(state, message, kVkEscape, true).callNextFilter) << std::hex << message;
  }
}

// --- Keyboard filter ----------------------------------------------------------

TEST(KeyboardFilterControl, PressSetsAndReleaseClearsForEitherSide) {
  for (std::uint32_t control : {kVkLeftControl, kVkRightControl}) {
    RuntimeState state;
    EXPECT_FALSE(KeyboardEventSwallowed(state, control, 0));
    EXPECT_TRUE(state.controlDown) << std::hex << control;
    EXPECT_FALSE(KeyboardEventSwallowed(state, control, kKeyFlagReleased));
    EXPECT_FALSE(state.controlDown) << std::hex << control;
  }
}

TEST(KeyboardFilterControl, ReleaseOfEitherSideClearsTheOneFlag) {
  RuntimeState state;
  KeyboardEventSwallowed(state, kVkLeftControl, 0);
  KeyboardEventSwallowed(state, kVkRightControl, kKeyFlagReleased);
  EXPECT_FALSE(state.controlDown);
}

TEST(KeyboardFilterControl, OnlyTheReleasedBitDecidesPressOrRelease) {
  RuntimeState state;
  KeyboardEventSwallowed(state, kVkLeftControl, kKeyFlagAltDown | 0x01);
  EXPECT_TRUE(state.controlDown);
  KeyboardEventSwallowed(state, kVkLeftControl, kKeyFlagReleased | kKeyFlagAltDown);
  EXPECT_FALSE(state.controlDown);
}

TEST(KeyboardFilterControl, GenericControlKeyIsNotTracked) {
  RuntimeState state;
  EXPECT_FALSE(KeyboardEventSwallowed(state, kVkControl, 0));
  EXPECT_FALSE(state.controlDown);
}

TEST(KeyboardFilterEscape, SwallowedOnlyWhileControlIsHeld) {
  RuntimeState state;
  EXPECT_FALSE(KeyboardEventSwallowed(state, kVkEscape, 0));
  KeyboardEventSwallowed(state, kVkRightControl, 0);
  EXPECT_TRUE(KeyboardEventSwallowed(state, kVkEscape, 0));
  EXPECT_TRUE(KeyboardEventSwallowed(state, kVkEscape, kKeyFlagReleased));
  KeyboardEventSwallowed(state, kVkRightControl, kKeyFlagReleased);
  EXPECT_FALSE(KeyboardEventSwallowed(state, kVkEscape, 0));
  EXPECT_FALSE(KeyboardEventSwallowed(state, kVkEscape, kKeyFlagAltDown));
}

TEST(KeyboardFilterTab, SwallowedOnlyWithTheAltBit) {
  RuntimeState state;
  EXPECT_FALSE(KeyboardEventSwallowed(state, kVkTab, 0));
  EXPECT_TRUE(KeyboardEventSwallowed(state, kVkTab, kKeyFlagAltDown));
  EXPECT_TRUE(KeyboardEventSwallowed(state, kVkTab, kKeyFlagAltDown | kKeyFlagReleased));
  EXPECT_FALSE(KeyboardEventSwallowed(state, kVkTab, kKeyFlagReleased));
  // Control does not stand in for Alt.
  KeyboardEventSwallowed(state, kVkLeftControl, 0);
  EXPECT_FALSE(KeyboardEventSwallowed(state, kVkTab, 0));
}

TEST(KeyboardFilterSystemKeys, WindowsAndApplicationKeysAreAlwaysSwallowed) {
  for (std::uint32_t vk : {kVkLeftWindows, kVkRightWindows, kVkApplication}) {
    for (std::uint32_t flags : {0u, kKeyFlagReleased, kKeyFlagAltDown}) {
      RuntimeState state;
      EXPECT_TRUE(KeyboardEventSwallowed(state, vk, flags)) << std::hex << vk << " " << flags;
    }
  }
}

TEST(KeyboardFilterOtherKeys, GoOnWhateverTheModifiers) {
  RuntimeState state;
  KeyboardEventSwallowed(state, kVkLeftControl, 0);
  for (std::uint32_t vk : {kVkA, kVkMenu, kVkControl, kVkLeftControl, kVkRightControl, 0x5Au,
                           0x5Eu, 0x08u, 0x0Au, 0x1Au, 0x1Cu}) {
    EXPECT_FALSE(KeyboardEventSwallowed(state, vk, kKeyFlagAltDown)) << std::hex << vk;
  }
}

TEST(KeyboardFilterOtherKeys, LeavesTheMessageFilterFlagsAlone) {
  RuntimeState state;
  state.escapeQuits = true;
  KeyboardEventSwallowed(state, kVkLeftControl, 0);
  KeyboardEventSwallowed(state, kVkEscape, 0);
  EXPECT_TRUE(state.escapeQuits);
  EXPECT_FALSE(state.rightClickBlocked);
  EXPECT_FALSE(state.pointerHidden);
}

}  // namespace
}  // namespace kw::orbalo
