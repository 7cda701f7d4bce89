// Decisions of ORBALORT.DLL's two filters over plain values (message number,
// virtual key, flags, library state), free of any window-system header.
#pragma once

#include <cstdint>

namespace kw::orbalo {

// Window-system numbers the filters look at.
inline constexpr std::uint32_t kMsgKillFocus = 0x0008;      // WM_KILLFOCUS
inline constexpr std::uint32_t kMsgKeyDown = 0x0100;        // WM_KEYDOWN
inline constexpr std::uint32_t kMsgRightButtonDown = 0x0204;
inline constexpr std::uint32_t kMsgRightButtonUp = 0x0205;
inline constexpr std::uint32_t kMsgRightButtonDoubleClick = 0x0206;

inline constexpr std::uint32_t kVkTab = 0x09;
inline constexpr std::uint32_t kVkEscape = 0x1B;
inline constexpr std::uint32_t kVkLeftWindows = 0x5B;
inline constexpr std::uint32_t kVkRightWindows = 0x5C;
inline constexpr std::uint32_t kVkApplication = 0x5D;
inline constexpr std::uint32_t kVkLeftControl = 0xA2;
inline constexpr std::uint32_t kVkRightControl = 0xA3;

// Flag bits of the low-level key record.
inline constexpr std::uint32_t kKeyFlagAltDown = 0x20;
inline constexpr std::uint32_t kKeyFlagReleased = 0x80;

// The library's flags. One copy per process; everything starts cleared.
struct RuntimeState {
  bool rightClickBlocked = false;  // right-button messages become PM_SWALLOWED
  bool pointerHidden = false;      // the pointer is hidden on every message
  bool escapeQuits = false;        // the next Escape key-down ends the player
  bool controlDown = false;        // a Control key is held (keyboard filter)
};

// What the message filter does in the window system for one message.
enum class MessageAction {
  kNone,          // handled; nothing to do beyond the pointer (see hidePointerFirst)
  kSwallow,       // put PM_SWALLOWED in place of the message number
  kStripFrame,    // style = pop-up only, extended style = 0, class cursor cleared
  kHideCursor,    // class cursor cleared, pointer hidden
  kReactivate,    // message window made active and foreground
  kPostQuit,      // a quit message posted to the thread
  kPassOn,        // not a message of ours: next filter when a handle was recorded
};

struct MessageDecision {
  bool hidePointerFirst = false;  // hide the pointer before anything else
  MessageAction action = MessageAction::kNone;
  bool callNextFilter = false;    // only for kPassOn with a recorded filter handle
};

// Message filter: decides for message `message` with first parameter `wParam`
// (the virtual key of a key-down) and updates `state`. `filterHandleRecorded`
// says whether this copy of the library installed the message filter.
MessageDecision DecideMessage(RuntimeState& state, std::uint32_t message, std::uint64_t wParam,
                              bool filterHandleRecorded);

// Keyboard filter: tracks the Control keys in `state` and returns true when
// the key event with virtual key `vkCode` and record flags `flags` is swallowed.
bool KeyboardEventSwallowed(RuntimeState& state, std::uint32_t vkCode, std::uint32_t flags);

}  // namespace kw::orbalo
