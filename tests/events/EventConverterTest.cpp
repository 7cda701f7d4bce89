// Desktop events to event records: kinds, messages, positions, modifiers,
// times, null events and point conversion on a sim desktop.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "mac/pluginhost/EventConverter.h"

namespace kw {
namespace {

// kind, message, when, v, h, modifiers: read by value from the packed record.
using Fields = std::tuple<int, uint32_t, uint32_t, int, int, int>;
Fields fieldsOf(const EventRecord& record) {
  return {record.what, uint32_t{record.message}, uint32_t{record.when}, record.where.v, record.where.h,
          record.modifiers};
}

class EventConverterTest : public ::testing::Test {
 protected:
  EventConverterTest() {
    desktop.screen = {{0, 0}, 1440, 900};
    desktop.mouse = {300.9, 500.2};  // global (v 399, h 300)
  }
  // An event at window location (10.7, 20.2) of a window whose frame starts at
  // (100, 200): on the screen (110.7, 220.2), globally (v 679, h 110).
  static DesktopEvent eventOf(DesktopEventType type) {
    DesktopEvent event;
    event.type = type;
    event.timestamp = 2.5;
    event.locationInWindow = {10.7, 20.2};
    event.windowOrigin = {100, 200};
    return event;
  }
  static EventRecord convert(const DesktopEvent& event) {
    EventRecord record;
    record.message = 0xDEADBEEF;  // every field is written
    record.modifiers = 0xFFFF;
    EventConverter::convertEvent(event, record);
    return record;
  }

  SimDesktopInput desktop;
};

// ---- The conversion table ----

TEST_F(EventConverterTest, MousePressesAndReleasesAreKinds1And2AtTheEventLocation) {
  struct Row {
    DesktopEventType type;
    int kind;
    int modifiers;  // the right button reads as a control-click
  };
  const std::vector<Row> rows = {
      {DesktopEventType::LeftMouseDown, 1, 0},       {DesktopEventType::LeftMouseUp, 2, 0},
      {DesktopEventType::RightMouseDown, 1, 0x1000}, {DesktopEventType::RightMouseUp, 2, 0x1000},
      {DesktopEventType::OtherMouseDown, 1, 0},      {DesktopEventType::OtherMouseUp, 2, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.kind);
    EXPECT_EQ(fieldsOf(convert(eventOf(row.type))), (Fields{row.kind, 0, 150, 679, 110, row.modifiers}));
  }
}

TEST_F(EventConverterTest, RightClickAtTheTopLeftOfTheMenuBarScreenIsAControlClickAtTheGlobalOrigin) {
  DesktopEvent down = eventOf(DesktopEventType::RightMouseDown);
  down.windowOrigin = {0, 0};
  down.locationInWindow = {0, 900};
  down.buttonNumber = 1;
  EXPECT_EQ(fieldsOf(convert(down)), (Fields{1, 0, 150, 0, 0, 0x1000 | 0x0080}));
  DesktopEvent up = down;
  up.type = DesktopEventType::RightMouseUp;
  EXPECT_EQ(fieldsOf(convert(up)), (Fields{2, 0, 150, 0, 0, 0x1000 | 0x0080}));
}

TEST_F(EventConverterTest, MovementDragsAndCrossingsAreMouseMovedOperatingSystemEvents) {
  for (DesktopEventType type :
       {DesktopEventType::MouseMoved, DesktopEventType::LeftMouseDragged, DesktopEventType::RightMouseDragged,
        DesktopEventType::OtherMouseDragged, DesktopEventType::MouseEntered, DesktopEventType::MouseExited}) {
    SCOPED_TRACE(static_cast<int>(type));
    EXPECT_EQ(fieldsOf(convert(eventOf(type))), (Fields{15, 0xFA000000, 150, 679, 110, 0}));
  }
}

TEST_F(EventConverterTest, KeysCarryCodeAndFirstCharacterByteAtTheCurrentMouseLocation) {
  DesktopEvent down = eventOf(DesktopEventType::KeyDown);
  down.keyCode = 0;
  down.charactersIgnoringModifiers = "a";
  EXPECT_EQ(fieldsOf(convert(down)), (Fields{3, 0x0061, 150, 399, 300, 0}));
  down.isARepeat = true;
  EXPECT_EQ(fieldsOf(convert(down)), (Fields{5, 0x0061, 150, 399, 300, 0}));

  DesktopEvent up = eventOf(DesktopEventType::KeyUp);
  up.keyCode = 14;
  up.charactersIgnoringModifiers = "e";
  up.isARepeat = true;  // only key downs repeat
  EXPECT_EQ(fieldsOf(convert(up)), (Fields{4, 14 * 256 + 'e', 150, 399, 300, 0}));

  // Lossy: the key code's low 8 bits and the first UTF-8 byte only ("é" is C3 A9).
  down.keyCode = 0x10E;
  down.charactersIgnoringModifiers = "\xC3\xA9";
  EXPECT_EQ(uint32_t{convert(down).message}, 0x0EC3u);
  down.charactersIgnoringModifiers.clear();
  EXPECT_EQ(uint32_t{convert(down).message}, 0x0E00u);
}

TEST_F(EventConverterTest, FlagsChangesScrollsAndOthersAreNullEventsAtTheCurrentMouseLocation) {
  for (DesktopEventType type : {DesktopEventType::FlagsChanged, DesktopEventType::ScrollWheel, DesktopEventType::Other}) {
    SCOPED_TRACE(static_cast<int>(type));
    DesktopEvent event = eventOf(type);
    event.modifierFlags = kDesktopShift;
    EXPECT_EQ(fieldsOf(convert(event)), (Fields{0, 0, 150, 399, 300, 0x0200}));
  }
}

// ---- Modifiers and time ----

TEST_F(EventConverterTest, EachModifierFlagAndTheButtonNumberSetTheirOwnBit) {
  struct Row {
    uint32_t flags;
    int32_t button;
    int modifiers;
  };
  const std::vector<Row> rows = {
      {kDesktopCapsLock, 0, 0x0400}, {kDesktopShift, 0, 0x0200},   {kDesktopControl, 0, 0x1000},
      {kDesktopOption, 0, 0x0800},   {kDesktopCommand, 0, 0x0100}, {0, 2, 0x0080},
      {0xFFFFFFFF & ~(kDesktopCapsLock | kDesktopShift | kDesktopControl | kDesktopOption | kDesktopCommand), 0, 0},
      {kDesktopCapsLock | kDesktopShift | kDesktopControl | kDesktopOption | kDesktopCommand, 1, 0x1F80},
  };
  for (const Row& row : rows) {
    DesktopEvent event = eventOf(DesktopEventType::LeftMouseDown);
    event.modifierFlags = row.flags;
    event.buttonNumber = row.button;
    EXPECT_EQ(convert(event).modifiers, row.modifiers) << std::hex << row.flags << " button " << row.button;
  }
}

TEST_F(EventConverterTest, TimeStampsBecomeTicksOfASixtiethWrappingAt32Bits) {
  EXPECT_EQ(ticksOfSeconds(0), 0u);
  EXPECT_EQ(ticksOfSeconds(1.0), 60u);
  EXPECT_EQ(ticksOfSeconds(71582789), 44u);  // 2^32 + 44 ticks
  EXPECT_EQ(ticksOfSeconds(-3), 0u);
  EXPECT_EQ(ticksOfSeconds(std::nan("")), 0u);
  EXPECT_EQ(ticksOfSeconds(std::numeric_limits<double>::infinity()), 0u);
}

// ---- Null events ----

TEST_F(EventConverterTest, NullEventTakesTheCurrentMouseTimeAndKeyboardModifiers) {
  desktop.eventTime = 3.0;
  desktop.modifiers = 0x0900;  // option and command
  EventRecord record;
  record.what = 1;
  record.message = 7;
  EventConverter::createNullEvent(record);
  EXPECT_EQ(fieldsOf(record), (Fields{0, 0, 180, 399, 300, 0x0900}));

  desktop.mouse = {0, 900};
  desktop.eventTime = 4.0;
  EventConverter::createNullEvent(record);
  EXPECT_EQ(fieldsOf(record), (Fields{0, 0, 240, 0, 0, 0x0900}));
}

// ---- Point conversion ----

TEST_F(EventConverterTest, PointsAreMeasuredDownFromTheTopOfTheMenuBarScreenAndTruncated) {
  struct Row {
    DesktopPoint screen;
    QDPoint global;
  };
  const std::vector<Row> rows = {
      {{0, 900}, {0, 0}},        {{1439.9, 0.1}, {899, 1439}},
      {{-10.7, 905.5}, {-5, -10}},  // truncated toward zero
      {{50, -300}, {1200, 50}},  // a screen below the menu-bar screen
      {{1e9, -1e9}, {32767, 32767}},
      {{-1e9, 1e9}, {-32768, -32768}},
      {{std::nan(""), 0}, {900, 0}},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(EventConverter::convertToPoint(row.screen), row.global) << row.screen.x << ", " << row.screen.y;
  }
  // The menu-bar screen's own origin counts too.
  desktop.screen = {{0, 100}, 1024, 768};
  EXPECT_EQ(EventConverter::convertToPoint({5, 868}), (QDPoint{0, 5}));
}

TEST(DesktopInputTest, SimDesktopIsCurrentWhileItLivesThenThePreviousOneIs) {
  DesktopInput* before = &DesktopInput::current();
  {
    SimDesktopInput outer;
    { SimDesktopInput inner; }
    EXPECT_EQ(&DesktopInput::current(), &outer);
  }
  EXPECT_EQ(&DesktopInput::current(), before);
  EXPECT_EQ(EventConverter::convertToPoint({7, 7}), (QDPoint{-7, 7})) << "no desktop: no screen";
}

}  // namespace
}  // namespace kw
