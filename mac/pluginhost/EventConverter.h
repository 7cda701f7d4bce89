// Converts desktop events into the classic event records the plug-in takes
// (Carbon event model), makes null events and converts screen points.
#pragma once

#include <cstdint>

#include "Lib_Sources/queue/Queue.h"
#include "mac/platform/Events.h"
#include "mac/platform/QuickDraw.h"

namespace kw {

// Event kinds.
inline constexpr uint16_t kNullEventKind = 0;
inline constexpr uint16_t kMouseDownEventKind = 1;
inline constexpr uint16_t kMouseUpEventKind = 2;
inline constexpr uint16_t kKeyDownEventKind = 3;
inline constexpr uint16_t kKeyUpEventKind = 4;
inline constexpr uint16_t kAutoKeyEventKind = 5;
inline constexpr uint16_t kUpdateEventKind = 6;
inline constexpr uint16_t kActivateEventKind = 8;
inline constexpr uint16_t kOSEventKind = 15;
inline constexpr uint16_t kGetFocusEventKind = 31;

// The message of a mouse-moved operating-system event.
inline constexpr uint32_t kMouseMovedMessage = 0xFA000000;

// Modifier bits of an event record.
inline constexpr uint16_t kEventButtonState = 0x0080;
inline constexpr uint16_t kEventCommandKey = 0x0100;
inline constexpr uint16_t kEventShiftKey = 0x0200;
inline constexpr uint16_t kEventCapsLockKey = 0x0400;
inline constexpr uint16_t kEventOptionKey = 0x0800;
inline constexpr uint16_t kEventControlKey = 0x1000;

// Class methods only: the desktop's state comes from DesktopInput::current().
class EventConverter {
 public:
  EventConverter() = delete;

  // convertEvent:toEventRecord:
  static void convertEvent(const DesktopEvent& event, EventRecord& record);
  // createNullEvent:: kind 0 at the current mouse location, the current
  // event time and keyboard modifiers.
  static void createNullEvent(EventRecord& record);
  // convertToPoint:: a screen point (y up from the bottom) to a global point
  // (v down from the top of the menu-bar screen), truncated and held to the
  // 16-bit range.
  static QDPoint convertToPoint(DesktopPoint screenPoint);
};

// Seconds since start-up as ticks of 1/60 s, wrapping at 2^32 (negative or
// NaN: 0).
uint32_t ticksOfSeconds(double seconds);

}  // namespace kw
