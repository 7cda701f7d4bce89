// Desktop (window-system) input events as the hosting view receives them, and
// the desktop's input state (mouse, modifiers, screens, keyboard layout).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "mac/platform/Geometry.h"
#include "mac/platform/KeyboardLayout.h"

namespace kw {

struct ScreenFrame {
  DesktopPoint origin;
  double width = 0;
  double height = 0;
};

enum class DesktopEventType {
  LeftMouseDown,
  LeftMouseUp,
  RightMouseDown,
  RightMouseUp,
  OtherMouseDown,
  OtherMouseUp,
  MouseMoved,
  LeftMouseDragged,
  RightMouseDragged,
  OtherMouseDragged,
  MouseEntered,
  MouseExited,
  KeyDown,
  KeyUp,
  FlagsChanged,
  ScrollWheel,
  Other,
};

// Modifier flags of a desktop event.
inline constexpr uint32_t kDesktopCapsLock = 1u << 16;
inline constexpr uint32_t kDesktopShift = 1u << 17;
inline constexpr uint32_t kDesktopControl = 1u << 18;
inline constexpr uint32_t kDesktopOption = 1u << 19;
inline constexpr uint32_t kDesktopCommand = 1u << 20;

struct DesktopEvent {
  DesktopEventType type = DesktopEventType::Other;
  double timestamp = 0;            // seconds since start-up
  DesktopPoint locationInWindow;   // relative to the window's frame origin
  DesktopPoint windowOrigin;       // the window frame's origin on the screen
  uint32_t modifierFlags = 0;      // kDesktop... bits
  int32_t buttonNumber = 0;        // 0 left, 1 right, 2 and up other buttons
  uint16_t keyCode = 0;
  std::string charactersIgnoringModifiers;  // UTF-8
  bool isARepeat = false;
  double deltaY = 0;  // scroll wheel events

  // The location converted to the screen.
  DesktopPoint locationOnScreen() const {
    return {windowOrigin.x + locationInWindow.x, windowOrigin.y + locationInWindow.y};
  }
};

// The desktop's input state. One is current per process; without one, a
// desktop with no screen, the mouse at (0, 0), no modifiers, time 0 and no
// keyboard layout answers.
class DesktopInput {
 public:
  virtual ~DesktopInput() = default;

  // The mouse location on the screen.
  virtual DesktopPoint mouseLocation() const = 0;
  // The keyboard modifiers as an old-style modifier word (0x0100 command,
  // 0x0200 shift, 0x0400 caps lock, 0x0800 option, 0x1000 control).
  virtual uint16_t keyModifiers() const = 0;
  // The current event time: seconds since start-up.
  virtual double currentEventTime() const = 0;
  // The first screen of the screen list, the one with the menu bar.
  virtual ScreenFrame menuBarScreen() const = 0;
  // The current keyboard layout, or nullptr when it cannot be had.
  virtual std::shared_ptr<const KeyboardLayout> currentKeyboardLayout() const = 0;

  static DesktopInput& current();
  // Makes `input` current (nullptr: none) and answers the one it replaces.
  static DesktopInput* install(DesktopInput* input);
};

// A desktop whose state tests set. Becomes current while it lives and puts
// the previous one back when it goes.
class SimDesktopInput : public DesktopInput {
 public:
  SimDesktopInput();
  ~SimDesktopInput() override;
  SimDesktopInput(const SimDesktopInput&) = delete;
  SimDesktopInput& operator=(const SimDesktopInput&) = delete;

  DesktopPoint mouseLocation() const override { return mouse; }
  uint16_t keyModifiers() const override { return modifiers; }
  double currentEventTime() const override { return eventTime; }
  ScreenFrame menuBarScreen() const override { return screen; }
  std::shared_ptr<const KeyboardLayout> currentKeyboardLayout() const override { return layout; }

  DesktopPoint mouse;
  uint16_t modifiers = 0;
  double eventTime = 0;
  ScreenFrame screen{{0, 0}, 1440, 900};
  std::shared_ptr<const KeyboardLayout> layout;

 private:
  DesktopInput* previous_ = nullptr;
};

}  // namespace kw
