// The event bridge on a sim desktop: desktop events to event records (kinds,
// messages, positions, modifiers, times), null events, point conversion, and
// key code translation through both kinds of keyboard layout.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <tuple>

#include "mac/pluginhost/EventConverter.h"
#include "mac/pluginhost/keyCodeTranslator.h"

namespace kw {
namespace {

using E = DesktopEventType;
using Typed = std::vector<std::pair<std::string, uint32_t>>;  // what each key typed, and the key state after it
// kind, message, when, v, h, modifiers: read by value from the packed record.
using Fields = std::tuple<int, uint32_t, uint32_t, int, int, int>;
Fields fieldsOf(const EventRecord& r) {
  return {r.what, uint32_t{r.message}, uint32_t{r.when}, r.where.v, r.where.h, r.modifiers};
}

class EventBridgeTest : public ::testing::Test {
 protected:
  EventBridgeTest() {
    desktop.screen = {{0, 0}, 1440, 900};
    desktop.mouse = {300.9, 500.2};  // global (v 399, h 300)
    keyCodeTranslator::resetCurrentTranslator();
  }
  ~EventBridgeTest() override { keyCodeTranslator::resetCurrentTranslator(); }
  // Key 14 ("e") with shift, at (10.7, 20.2) in a window whose frame starts at
  // (100, 200): on the screen (110.7, 220.2), globally (v 679, h 110).
  static DesktopEvent eventOf(E type) {
    return {.type = type, .timestamp = 2.5, .locationInWindow = {10.7, 20.2}, .windowOrigin = {100, 200},
            .modifierFlags = kDesktopShift, .keyCode = 14, .charactersIgnoringModifiers = "e"};
  }
  static EventRecord convert(const DesktopEvent& event) {
    EventRecord record;
    record.message = 0xDEADBEEF;  // every field is written
    EventConverter::convertEvent(event, record);
    return record;
  }
  static Typed type(keyCodeTranslator& translator, const std::vector<std::pair<int16_t, uint32_t>>& keys) {
    Typed typed;
    for (const auto& [code, modifiers] : keys) {
      uint32_t keyState = 0xFFFFFFFF;
      typed.emplace_back(translator.translateKeyCode(code, modifiers, keyState), keyState);
    }
    return typed;
  }

  SimDesktopInput desktop;
};

TEST_F(EventBridgeTest, EachDesktopEventTypeHasItsKindMessageAndPlace) {
  const std::tuple<E, int, uint32_t> rows[] = {
      {E::OtherMouseDown, 1, 0}, {E::RightMouseUp, 2, 0}, {E::RightMouseDragged, 15, 0xFA000000},
      {E::MouseExited, 15, 0xFA000000}, {E::KeyDown, 3, 14 * 256 + 'e'}, {E::KeyUp, 4, 14 * 256 + 'e'},
      {E::FlagsChanged, 0, 0}, {E::ScrollWheel, 0, 0}};
  for (const auto& [type, kind, message] : rows) {
    // Mouse events are placed where they happened, the others at the current mouse location.
    const bool atEvent = kind == 1 || kind == 2 || kind == 15;
    const bool rightClick = type == E::RightMouseDown || type == E::RightMouseUp;  // read as control-clicks
    EXPECT_EQ(fieldsOf(convert(eventOf(type))), (Fields{kind, message, 150, atEvent ? 679 : 399, atEvent ? 110 : 300,
                                                        rightClick ? 0x1200 : 0x0200}))
        << static_cast<int>(type);
  }
  DesktopEvent key = eventOf(E::KeyDown);
  key.isARepeat = true;
  EXPECT_EQ(convert(key).what, 5);
  key.type = E::KeyUp;  // only key downs repeat
  EXPECT_EQ(convert(key).what, 4);
  // Lossy: the key code's low 8 bits and the first UTF-8 byte only ("é" is C3 A9).
  key.keyCode = 0x10E;
  key.charactersIgnoringModifiers = "\xC3\xA9";
  EXPECT_EQ(uint32_t{convert(key).message}, 0x0EC3u);
}

TEST_F(EventBridgeTest, ModifierFlagsButtonsTimesNullEventsAndPoints) {
  const std::pair<uint32_t, int> rows[] = {  // flags (bit 31: a button other than the left), modifiers
      {kDesktopCapsLock, 0x0400}, {kDesktopShift, 0x0200}, {kDesktopControl, 0x1000}, {kDesktopOption, 0x0800},
      {kDesktopCommand, 0x0100}, {1u << 31, 0x0080}, {0x7FFFFFFF & ~0x1F0000u, 0}, {0x801F0000, 0x1F80}};
  for (const auto& [flags, modifiers] : rows) {
    DesktopEvent event = eventOf(E::LeftMouseDown);
    event.modifierFlags = flags & 0x7FFFFFFF;
    event.buttonNumber = (flags >> 31) != 0 ? 2 : 0;
    EXPECT_EQ(convert(event).modifiers, modifiers) << std::hex << flags;
  }
  EXPECT_EQ(ticksOfSeconds(1e18), 997195776u);  // wraps at 2^32, beyond 64 bits too
  for (double seconds : {-3.0, std::nan(""), std::numeric_limits<double>::infinity()}) {
    EXPECT_EQ(ticksOfSeconds(seconds), 0u) << seconds;
  }
  desktop.eventTime = 3.0;
  desktop.modifiers = 0x0900;
  EventRecord record = convert(eventOf(E::LeftMouseDown));
  EventConverter::createNullEvent(record);
  EXPECT_EQ(fieldsOf(record), (Fields{0, 0, 180, 399, 300, 0x0900}));

  // Points are measured down from the top of the menu-bar screen, truncated and held to 16 bits.
  const std::pair<DesktopPoint, QDPoint> points[] = {
      {{1439.9, 0.1}, {899, 1439}}, {{-10.7, 905.5}, {-5, -10}}, {{1e9, -1e9}, {32767, 32767}},
      {{-1e9, 1e9}, {-32768, -32768}}, {{std::nan(""), 0}, {900, 0}}};
  for (const auto& [screen, global] : points) {
    EXPECT_EQ(EventConverter::convertToPoint(screen), global) << screen.x << ", " << screen.y;
  }
  desktop.screen = {{0, 100}, 1024, 768};  // the menu-bar screen's own origin counts too
  EXPECT_EQ(EventConverter::convertToPoint({5, 868}), (QDPoint{0, 5}));
}

TEST_F(EventBridgeTest, TranslatorNeedsTheTableItsLayoutKindNamesAndKeepsItsDeadKeyBetweenCalls) {
  EXPECT_EQ(keyCodeTranslator::initWithKeyboardLayout(nullptr), nullptr);
  auto layout = std::make_shared<KeyboardLayout>(*makeSimAccentLayout());
  layout->kind = kKeyboardLayoutKindOldStyle;  // kind 1 reads the old-style table, which it lacks
  EXPECT_EQ(keyCodeTranslator::initWithKeyboardLayout(layout), nullptr);
  layout->oldStyle = makeSimUSLayout()->oldStyle;
  layout->unicode.reset();
  for (int32_t kind : {kKeyboardLayoutKindBoth, kKeyboardLayoutKindUnicode, 7}) {  // any other kind: Unicode
    layout->kind = kind;
    EXPECT_EQ(keyCodeTranslator::initWithKeyboardLayout(layout), nullptr) << kind;
  }
  layout->unicode = makeSimAccentLayout()->unicode;
  const auto translator = keyCodeTranslator::initWithKeyboardLayout(layout);
  ASSERT_NE(translator, nullptr);
  EXPECT_EQ(translator->description(), "PTKeyCodeTranslator layout=Accents (sim) (uchr)");

  constexpr uint32_t kShift = kModifierByteShift, kOption = kModifierByteOption;
  auto oldStyle = keyCodeTranslator::initWithKeyboardLayout(makeSimUSLayout());
  EXPECT_EQ(type(*oldStyle, {{0, 0}, {0, 0x100 | kShift}, {0, kOption}, {5, kOption}, {10, 0}}),
            (Typed{{"a", 0}, {"A", 0}, {"\xC3\xA5", 0}, {"\xC2\xA9", 0}, {"", 0}}));
  const Typed typed = type(*oldStyle, {{14, kOption}, {14, 0}, {14, kOption}, {14, kOption}, {14, kOption}, {12, 0}});
  const uint32_t dead = typed[0].second;  // a dead key pending
  EXPECT_EQ(typed, (Typed{{"", dead}, {"\xC3\xA9", 0}, {"", dead}, {"\xC2\xB4", 0}, {"", dead}, {"q", 0}}))
      << "a second dead key types the accent; the lossy form keeps the second character only";

  auto unicode = keyCodeTranslator::initWithKeyboardLayout(makeSimAccentLayout());
  EXPECT_EQ(type(*unicode, {{14, kOption}, {0, kShift}, {14, kOption}, {12, 0}, {12, 0}, {5, kShift | kOption},
                           {-1, 0}}),
            (Typed{{"", 1}, {"\xC3\x81", 0}, {"", 1}, {"\xC2\xB4", 0}, {"q", 0}, {"\xF0\x9D\x84\x9E", 0}, {"", 0}}))
      << "no completion types the accent first; a surrogate pair is one character";
}

TEST_F(EventBridgeTest, CurrentTranslatorFollowsTheKeyboardLayout) {
  EXPECT_EQ(keyCodeTranslator::currentTranslator(), nullptr) << "no layout";
  desktop.layout = makeSimAccentLayout();
  keyCodeTranslator* first = keyCodeTranslator::currentTranslator();
  ASSERT_NE(first, nullptr);
  uint32_t keyState = 0;
  // A failed layout look-up answers none and keeps the translator.
  const auto accents = desktop.layout;
  desktop.layout = nullptr;
  EXPECT_EQ(keyCodeTranslator::currentTranslator(), nullptr);
  desktop.layout = accents;
  EXPECT_EQ(keyCodeTranslator::currentTranslator(), first);
  first->translateKeyCode(14, kModifierByteOption, keyState);
  keyCodeTranslator::resetCurrentTranslator();  // drops the pending dead key with the translator
  EXPECT_EQ(keyCodeTranslator::currentTranslator()->translateKeyCode(14, 0, keyState), "e");

  desktop.layout = makeSimUSLayout();
  EXPECT_EQ(keyCodeTranslator::currentTranslator()->description(), "PTKeyCodeTranslator layout=U.S. (sim) (KCHR)");
}

}  // namespace
}  // namespace kw
