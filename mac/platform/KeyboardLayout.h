// Keyboard layouts as key translation reads them: old-style (kind 1) tables of
// Mac Roman characters or Unicode tables with dead keys, and two sim layouts.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kw {

// Layout kinds: both tables (translation uses the Unicode one), old-style
// tables only, Unicode tables only.
inline constexpr int32_t kKeyboardLayoutKindBoth = 0;
inline constexpr int32_t kKeyboardLayoutKindOldStyle = 1;
inline constexpr int32_t kKeyboardLayoutKindUnicode = 2;

// Every key table covers the key codes 0-127.
inline constexpr size_t kLayoutKeyCount = 128;

// Modifier byte bits (the old-style modifier word shifted right by 8).
inline constexpr uint8_t kModifierByteCommand = 0x01;
inline constexpr uint8_t kModifierByteShift = 0x02;
inline constexpr uint8_t kModifierByteCapsLock = 0x04;
inline constexpr uint8_t kModifierByteOption = 0x08;
inline constexpr uint8_t kModifierByteControl = 0x10;

// What a Unicode translation is for. A key release types nothing and keeps
// the dead-key state; the others type.
enum class KeyAction : uint16_t { Down = 0, Up = 1, AutoKey = 2, Display = 3 };

// Old-style tables: the modifier byte picks one of the tables of 128 Mac Roman
// characters (0: the key types nothing). A dead key is a (table, key code)
// pair that types nothing and makes the next key combine with it.
struct OldStyleKeyTable {
  struct DeadKey {
    uint8_t table = 0;
    uint8_t keyCode = 0;
    std::map<uint8_t, uint8_t> completions;  // the next key's character -> the combined one
    uint8_t noMatch = 0;                     // typed before a next key that does not combine
  };
  std::array<uint8_t, 256> tableForModifiers{};
  std::vector<std::array<uint8_t, kLayoutKeyCount>> tables;
  std::vector<DeadKey> deadKeys;

  // `keyAndModifiers`: the key code in bits 0-6, the release flag in bit 7,
  // the modifier byte in bits 8-15. `state` carries a pending dead key from
  // one call to the next (0: none). The result holds up to two characters:
  // the first in bits 16-23 and the second in bits 0-7 (0: none). A dead key
  // answers 0; a key that does not combine with a pending dead key answers
  // (noMatch << 16) | its own character; a second dead key answers noMatch.
  // A release answers 0 and keeps the state.
  uint32_t translate(uint16_t keyAndModifiers, uint32_t& state) const;
};

// Unicode tables: the modifier byte picks one of the tables of 128 keys. A key
// types a UTF-16 string, or starts a dead-key state instead. In a dead-key
// state the next key's first character is looked up in the state's
// completions; without a completion the state's terminator is typed before
// the key's own output (a dead key then types the terminator only).
struct UnicodeKeyTable {
  struct Key {
    std::u16string output;
    uint32_t deadKeyState = 0;  // non-zero: the key starts this state and types nothing
  };
  struct DeadState {
    std::map<char16_t, std::u16string> completions;
    std::u16string terminator;
  };
  std::array<uint8_t, 256> tableForModifiers{};
  std::vector<std::array<Key, kLayoutKeyCount>> tables;
  std::map<uint32_t, DeadState> deadStates;

  // Translates one key with the low byte of `modifierKeyState`, keeping at
  // most `room` UTF-16 units of the output in `out`. `deadKeyState` is read
  // and updated (an unknown state counts as none). False, with `out` empty and
  // the state unchanged, for a key code or table the layout does not have.
  bool translate(uint16_t keyCode, KeyAction action, uint32_t modifierKeyState, uint32_t& deadKeyState, size_t room,
                 std::u16string& out) const;
};

struct KeyboardLayout {
  std::string localizedName;
  int32_t kind = kKeyboardLayoutKindUnicode;
  std::optional<OldStyleKeyTable> oldStyle;
  std::optional<UnicodeKeyTable> unicode;

  // The tables, or nullptr when the layout has none of that sort.
  const OldStyleKeyTable* oldStyleTable() const { return oldStyle ? &*oldStyle : nullptr; }
  const UnicodeKeyTable* unicodeTable() const { return unicode ? &*unicode : nullptr; }
};

// The Unicode character of a Mac Roman byte.
char16_t macRomanToUnicode(uint8_t byte);
// UTF-8 of one code point (an unpaired surrogate or a value past U+10FFFF
// gives U+FFFD).
std::string utf8OfCodePoint(char32_t codePoint);
// The first character of a UTF-16 text as UTF-8 (a surrogate pair counts as
// one character); empty for an empty text.
std::string utf8OfFirstCharacter(std::u16string_view text);
// UTF-16 of a UTF-8 text; invalid bytes give U+FFFD.
std::u16string utf16OfUTF8(std::string_view text);

// Sim layouts. Both type a-z, digits, space and return on the US key
// positions (key code 0 'a', 14 'e', 49 space ...), shifted with shift,
// letters upper case with caps lock, and option-a / option-g give "å" / "©".
// Option-e is an acute-accent dead key: a, e, i, o, u, A, E combine
// (e -> "é"), space gives "´", any other key is typed after "´".
// "U.S. (sim)": kind 1, Mac Roman tables only.
std::shared_ptr<const KeyboardLayout> makeSimUSLayout();
// "Accents (sim)": Unicode tables only; shift-option-g types U+1D11E (a
// surrogate pair).
std::shared_ptr<const KeyboardLayout> makeSimAccentLayout();

}  // namespace kw
