// Decisions of ORBALORT.DLL's message filter and low-level keyboard filter.
#include "win/runtime/FilterRules.h"

#include "win/runtime/PrivateMessages.h"

namespace kw::orbalo {

MessageDecision DecideMessage(RuntimeState& state, std::uint32_t message, std::uint64_t wParam,
                              bool filterHandleRecorded) {
  MessageDecision decision;
  decision.hidePointerFirst = state.pointerHidden;

  switch (message) {
    case kMsgRightButtonDown:
    case kMsgRightButtonUp:
    case kMsgRightButtonDoubleClick:
      if (state.rightClickBlocked) decision.action = MessageAction::kSwallow;
      break;
    case PM_STRIP_FRAME:
      decision.action = MessageAction::kStripFrame;
      break;
    case PM_BLOCK_RIGHT_CLICK:
      state.rightClickBlocked = true;
      break;
    case PM_HIDE_CURSOR:
      decision.action = MessageAction::kHideCursor;
      state.pointerHidden = true;
      break;
    case PM_ESCAPE_QUITS:
      state.escapeQuits = true;
      break;
    case kMsgKillFocus:
      decision.action = MessageAction::kReactivate;
      break;
    case kMsgKeyDown:
      // Only Escape, and only while armed; the flag is spent by one press.
      if (wParam == kVkEscape && state.escapeQuits) {
        state.escapeQuits = false;
        decision.action = MessageAction::kPostQuit;
      }
      break;
    default:
      decision.action = MessageAction::kPassOn;
      decision.callNextFilter = filterHandleRecorded;
      break;
  }
  return decision;
}

bool KeyboardEventSwallowed(RuntimeState& state, std::uint32_t vkCode, std::uint32_t flags) {
  if (vkCode == kVkLeftControl || vkCode == kVkRightControl) {
    state.controlDown = (flags & kKeyFlagReleased) == 0;
  }
  switch (vkCode) {
    case kVkEscape:
      return state.controlDown;  // Ctrl+Esc opens the start menu
    case kVkTab:
      return (flags & kKeyFlagAltDown) != 0;  // Alt+Tab switches tasks
    case kVkLeftWindows:
    case kVkRightWindows:
    case kVkApplication:
      return true;
    default:
      return false;
  }
}

}  // namespace kw::orbalo
