// The process's current desktop input state and the sim desktop.
#include "mac/platform/Events.h"

namespace kw {

namespace {

class NoDesktopInput : public DesktopInput {
 public:
  DesktopPoint mouseLocation() const override { return {}; }
  uint16_t keyModifiers() const override { return 0; }
  double currentEventTime() const override { return 0; }
  ScreenFrame menuBarScreen() const override { return {}; }
  std::shared_ptr<const KeyboardLayout> currentKeyboardLayout() const override { return nullptr; }
};

DesktopInput* g_current = nullptr;

}  // namespace

DesktopInput& DesktopInput::current() {
  static NoDesktopInput none;
  return g_current != nullptr ? *g_current : none;
}

DesktopInput* DesktopInput::install(DesktopInput* input) {
  DesktopInput* previous = g_current;
  g_current = input;
  return previous;
}

SimDesktopInput::SimDesktopInput() : previous_(install(this)) {}

SimDesktopInput::~SimDesktopInput() { install(previous_); }

}  // namespace kw
