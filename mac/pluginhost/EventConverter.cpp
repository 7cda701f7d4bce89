// Desktop events to event records: see EventConverter.h.
#include "mac/pluginhost/EventConverter.h"

#include <cmath>
#include <limits>

namespace kw {

namespace {

int16_t truncatedCoordinate(double value) {
  if (std::isnan(value)) return 0;
  const double truncated = std::trunc(value);
  if (truncated <= std::numeric_limits<int16_t>::min()) return std::numeric_limits<int16_t>::min();
  if (truncated >= std::numeric_limits<int16_t>::max()) return std::numeric_limits<int16_t>::max();
  return static_cast<int16_t>(truncated);
}

void setWhere(EventRecord& record, QDPoint point) { record.where = {point.v, point.h}; }

uint16_t modifiersOf(const DesktopEvent& event) {
  uint16_t modifiers = 0;
  const uint32_t flags = event.modifierFlags;
  if ((flags & kDesktopCapsLock) != 0) modifiers |= kEventCapsLockKey;
  if ((flags & kDesktopShift) != 0) modifiers |= kEventShiftKey;
  if ((flags & kDesktopControl) != 0) modifiers |= kEventControlKey;
  if ((flags & kDesktopOption) != 0) modifiers |= kEventOptionKey;
  if ((flags & kDesktopCommand) != 0) modifiers |= kEventCommandKey;
  if (event.buttonNumber != 0) modifiers |= kEventButtonState;
  return modifiers;
}

// Key code (low 8 bits) x 256 + the first byte of the characters.
uint32_t keyMessageOf(const DesktopEvent& event) {
  const std::string& characters = event.charactersIgnoringModifiers;
  const uint32_t firstByte = characters.empty() ? 0 : static_cast<unsigned char>(characters.front());
  return (uint32_t{event.keyCode} & 0xFF) * 256 + firstByte;
}

}  // namespace

uint32_t ticksOfSeconds(double seconds) {
  const double ticks = std::floor(seconds * 60);
  if (!(ticks > 0)) return 0;  // negative or NaN
  if (std::isinf(ticks)) return 0;
  return static_cast<uint32_t>(std::fmod(ticks, 4294967296.0));
}

QDPoint EventConverter::convertToPoint(DesktopPoint screenPoint) {
  const ScreenFrame screen = DesktopInput::current().menuBarScreen();
  return {truncatedCoordinate(screen.origin.y + screen.height - screenPoint.y), truncatedCoordinate(screenPoint.x)};
}

void EventConverter::convertEvent(const DesktopEvent& event, EventRecord& record) {
  record.when = ticksOfSeconds(event.timestamp);
  uint16_t modifiers = modifiersOf(event);
  uint16_t what = kNullEventKind;
  uint32_t message = 0;
  bool atEventLocation = false;

  switch (event.type) {
    case DesktopEventType::RightMouseDown:
      modifiers |= kEventControlKey;  // a right click is a control-click
      [[fallthrough]];
    case DesktopEventType::LeftMouseDown:
    case DesktopEventType::OtherMouseDown:
      what = kMouseDownEventKind;
      atEventLocation = true;
      break;
    case DesktopEventType::RightMouseUp:
      modifiers |= kEventControlKey;
      [[fallthrough]];
    case DesktopEventType::LeftMouseUp:
    case DesktopEventType::OtherMouseUp:
      what = kMouseUpEventKind;
      atEventLocation = true;
      break;
    case DesktopEventType::MouseMoved:
    case DesktopEventType::LeftMouseDragged:
    case DesktopEventType::RightMouseDragged:
    case DesktopEventType::OtherMouseDragged:
    case DesktopEventType::MouseEntered:
    case DesktopEventType::MouseExited:
      what = kOSEventKind;
      message = kMouseMovedMessage;
      atEventLocation = true;
      break;
    case DesktopEventType::KeyDown:
      what = event.isARepeat ? kAutoKeyEventKind : kKeyDownEventKind;
      message = keyMessageOf(event);
      break;
    case DesktopEventType::KeyUp:
      what = kKeyUpEventKind;
      message = keyMessageOf(event);
      break;
    case DesktopEventType::FlagsChanged:
    case DesktopEventType::ScrollWheel:
    case DesktopEventType::Other:
      break;
  }

  record.what = what;
  record.message = message;
  record.modifiers = modifiers;
  setWhere(record, convertToPoint(atEventLocation ? event.locationOnScreen() : DesktopInput::current().mouseLocation()));
}

void EventConverter::createNullEvent(EventRecord& record) {
  const DesktopInput& input = DesktopInput::current();
  record.what = kNullEventKind;
  record.message = 0;
  record.when = ticksOfSeconds(input.currentEventTime());
  record.modifiers = input.keyModifiers();
  setWhere(record, convertToPoint(input.mouseLocation()));
}

}  // namespace kw
