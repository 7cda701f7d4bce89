// Keyboard layout tables below the translator: key releases, output room,
// two-character old-style results, unknown keys and states, text conversions.
#include <gtest/gtest.h>

#include <string>

#include "mac/platform/KeyboardLayout.h"

namespace kw {
namespace {

constexpr uint16_t kKeyA = 0, kKeyE = 14, kKeyQ = 12;
constexpr uint32_t kOption = kModifierByteOption;

uint16_t oldStyleKey(uint16_t keyCode, uint32_t modifierByte) {
  return static_cast<uint16_t>(keyCode | (modifierByte << 8));
}

TEST(KeyboardLayoutTest, OldStyleDeadKeyGivesTwoCharactersWhenTheNextKeyDoesNotCombine) {
  const auto layout = makeSimUSLayout();
  const OldStyleKeyTable& table = *layout->oldStyleTable();
  uint32_t state = 0;
  EXPECT_EQ(table.translate(oldStyleKey(kKeyE, kOption), state), 0u);
  EXPECT_EQ(table.translate(oldStyleKey(kKeyE | 0x80, 0), state), 0u);  // a release keeps it pending
  EXPECT_EQ(table.translate(oldStyleKey(kKeyQ, 0), state), (0xABu << 16) | 'q');  // ´ then q
  EXPECT_EQ(state, 0u);
  table.translate(oldStyleKey(kKeyE, kOption), state);
  EXPECT_EQ(table.translate(oldStyleKey(kKeyE, kOption), state), 0xABu);  // a second dead key: ´
  EXPECT_EQ(state, 0u);
}

TEST(KeyboardLayoutTest, UnicodeReleasesKeepTheStateOutputIsHeldToTheRoomUnknownKeysFail) {
  const auto layout = makeSimAccentLayout();
  const UnicodeKeyTable& table = *layout->unicodeTable();
  std::u16string out;
  uint32_t state = 0;
  table.translate(kKeyE, KeyAction::Down, kOption, state, 4, out);
  EXPECT_TRUE(table.translate(kKeyA, KeyAction::Up, 0, state, 4, out));
  EXPECT_EQ(state, 1u);
  EXPECT_TRUE(table.translate(kKeyQ, KeyAction::Down, 0, state, 1, out));
  EXPECT_EQ(out, u"\u00B4");  // "´q" held to one unit

  state = 1;
  EXPECT_FALSE(table.translate(128, KeyAction::Down, 0, state, 4, out));
  EXPECT_FALSE(UnicodeKeyTable{}.translate(kKeyA, KeyAction::Down, 0, state, 4, out));
  EXPECT_EQ(out, u"");
  EXPECT_EQ(state, 1u);

  state = 77;  // unknown: counts as none
  EXPECT_TRUE(table.translate(kKeyA, KeyAction::Down, kModifierByteShift | kOption, state, 4, out));
  EXPECT_EQ(out, u"\u00C5");
  EXPECT_EQ(state, 0u);
}

TEST(KeyboardLayoutTest, TextConversionsCoverMacRomanSurrogatesAndInvalidInput) {
  EXPECT_EQ((std::u16string{macRomanToUnicode('a'), macRomanToUnicode(0x80), macRomanToUnicode(0xCA),
                            macRomanToUnicode(0xDB), macRomanToUnicode(0xFF)}),
            (std::u16string{u'a', 0xC4, 0xA0, 0x20AC, 0x02C7}));
  EXPECT_EQ(utf16OfUTF8("a\xC3\xA9\xF0\x9D\x84\x9E"), (std::u16string{u'a', 0xE9, 0xD834, 0xDD1E}));
  EXPECT_EQ(utf16OfUTF8("\xED\xA0\x80z\xC3"), (std::u16string{0xFFFD, 0xFFFD, 0xFFFD, u'z', 0xFFFD}));
  EXPECT_EQ(utf8OfFirstCharacter(u"\xD834\xDD1E!"), "\xF0\x9D\x84\x9E");
  EXPECT_EQ(utf8OfFirstCharacter(std::u16string(1, 0xD834)), "\xEF\xBF\xBD");  // unpaired
  EXPECT_EQ(utf8OfCodePoint(0x110000), "\xEF\xBF\xBD");
}

}  // namespace
}  // namespace kw
