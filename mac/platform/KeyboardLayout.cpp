// Keyboard layouts: old-style and Unicode key translation with dead keys, Mac
// Roman and UTF conversions, and the two sim layouts.
#include "mac/platform/KeyboardLayout.h"

#include <utility>

#include "mac/platform/Utf8.h"

namespace kw {

namespace {

constexpr uint16_t kReleaseFlag = 0x80;
constexpr uint8_t kKeyCodeMask = 0x7F;
constexpr char32_t kReplacement = 0xFFFD;

// Mac Roman 0x80-0xFF.
constexpr std::array<char16_t, 128> kMacRomanHigh = {
    0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1,  // 0x80
    0x00E0, 0x00E2, 0x00E4, 0x00E3, 0x00E5, 0x00E7, 0x00E9, 0x00E8,  // 0x88
    0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF, 0x00F1, 0x00F3,  // 0x90
    0x00F2, 0x00F4, 0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC,  // 0x98
    0x2020, 0x00B0, 0x00A2, 0x00A3, 0x00A7, 0x2022, 0x00B6, 0x00DF,  // 0xA0
    0x00AE, 0x00A9, 0x2122, 0x00B4, 0x00A8, 0x2260, 0x00C6, 0x00D8,  // 0xA8
    0x221E, 0x00B1, 0x2264, 0x2265, 0x00A5, 0x00B5, 0x2202, 0x2211,  // 0xB0
    0x220F, 0x03C0, 0x222B, 0x00AA, 0x00BA, 0x03A9, 0x00E6, 0x00F8,  // 0xB8
    0x00BF, 0x00A1, 0x00AC, 0x221A, 0x0192, 0x2248, 0x2206, 0x00AB,  // 0xC0
    0x00BB, 0x2026, 0x00A0, 0x00C0, 0x00C3, 0x00D5, 0x0152, 0x0153,  // 0xC8
    0x2013, 0x2014, 0x201C, 0x201D, 0x2018, 0x2019, 0x00F7, 0x25CA,  // 0xD0
    0x00FF, 0x0178, 0x2044, 0x20AC, 0x2039, 0x203A, 0xFB01, 0xFB02,  // 0xD8
    0x2021, 0x00B7, 0x201A, 0x201E, 0x2030, 0x00C2, 0x00CA, 0x00C1,  // 0xE0
    0x00CB, 0x00C8, 0x00CD, 0x00CE, 0x00CF, 0x00CC, 0x00D3, 0x00D4,  // 0xE8
    0xF8FF, 0x00D2, 0x00DA, 0x00DB, 0x00D9, 0x0131, 0x02C6, 0x02DC,  // 0xF0
    0x00AF, 0x02D8, 0x02D9, 0x02DA, 0x00B8, 0x02DD, 0x02DB, 0x02C7,  // 0xF8
};

bool isHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

void appendUTF16(std::u16string& out, char32_t c) {
  if (c >= 0x10000) {
    c -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
  } else {
    out.push_back(static_cast<char16_t>(c));
  }
}

}  // namespace

uint32_t OldStyleKeyTable::translate(uint16_t keyAndModifiers, uint32_t& state) const {
  if ((keyAndModifiers & kReleaseFlag) != 0) return 0;
  const uint8_t keyCode = keyAndModifiers & kKeyCodeMask;
  const uint8_t table = tableForModifiers[keyAndModifiers >> 8];
  if (table >= tables.size()) return 0;
  const uint8_t character = tables[table][keyCode];

  size_t deadKey = deadKeys.size();
  for (size_t i = 0; i < deadKeys.size(); ++i) {
    if (deadKeys[i].table == table && deadKeys[i].keyCode == keyCode) deadKey = i;
  }

  if (state != 0 && state <= deadKeys.size()) {
    const DeadKey& pending = deadKeys[state - 1];
    state = 0;
    if (deadKey < deadKeys.size()) return pending.noMatch;
    auto completion = pending.completions.find(character);
    if (completion != pending.completions.end()) return completion->second;
    return (uint32_t{pending.noMatch} << 16) | character;
  }
  if (deadKey < deadKeys.size()) {
    state = static_cast<uint32_t>(deadKey + 1);
    return 0;
  }
  state = 0;
  return character;
}

bool UnicodeKeyTable::translate(uint16_t keyCode, KeyAction action, uint32_t modifierKeyState,
                                uint32_t& deadKeyState, size_t room, std::u16string& out) const {
  out.clear();
  const uint8_t table = tableForModifiers[modifierKeyState & 0xFF];
  if (keyCode >= kLayoutKeyCount || table >= tables.size()) return false;
  if (action == KeyAction::Up) return true;
  const Key& key = tables[table][keyCode];

  auto pending = deadStates.find(deadKeyState);
  if (deadKeyState != 0 && pending != deadStates.end()) {
    const DeadState& state = pending->second;
    deadKeyState = 0;
    auto completion = key.output.empty() ? state.completions.end() : state.completions.find(key.output.front());
    if (key.deadKeyState == 0 && completion != state.completions.end()) {
      out = completion->second;
    } else {
      out = state.terminator;
      if (key.deadKeyState == 0) out += key.output;
    }
  } else if (key.deadKeyState != 0) {
    deadKeyState = key.deadKeyState;
  } else {
    deadKeyState = 0;
    out = key.output;
  }
  if (out.size() > room) out.resize(room);
  return true;
}

char16_t macRomanToUnicode(uint8_t byte) { return byte < 0x80 ? char16_t{byte} : kMacRomanHigh[byte - 0x80u]; }

std::string utf8OfCodePoint(char32_t c) {
  std::string out;
  appendUtf8(out, c);
  return out;
}

std::string utf8OfFirstCharacter(std::u16string_view text) {
  if (text.empty()) return {};
  const char32_t first = text[0];
  if (isHighSurrogate(first) && text.size() > 1 && isLowSurrogate(text[1])) {
    return utf8OfCodePoint(0x10000 + ((first - 0xD800) << 10) + (char32_t{text[1]} - 0xDC00));
  }
  return utf8OfCodePoint(first);
}

std::u16string utf16OfUTF8(std::string_view text) {
  std::u16string out;
  size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<uint8_t>(text[i]);
    size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
    char32_t c = length == 1 ? lead : length == 2 ? lead & 0x1Fu : length == 3 ? lead & 0x0Fu : lead & 0x07u;
    bool valid = length != 0 && i + length <= text.size();
    for (size_t k = 1; valid && k < length; ++k) {
      const auto next = static_cast<uint8_t>(text[i + k]);
      valid = (next & 0xC0) == 0x80;
      c = (c << 6) | (next & 0x3Fu);
    }
    if (!valid || c > 0x10FFFF || isHighSurrogate(c) || isLowSurrogate(c)) {
      appendUTF16(out, kReplacement);
      ++i;
      continue;
    }
    appendUTF16(out, c);
    i += length;
  }
  return out;
}

// ---- Sim layouts ----

namespace {

// Tables of the sim layouts: plain, shift, option, shift-option, caps lock.
enum SimTable : uint8_t { kPlain, kShift, kOption, kShiftOption, kCapsLock, kSimTableCount };

constexpr uint8_t kDeadAcuteKey = 14;  // option-e
constexpr uint32_t kAcuteState = 1;

struct SimKey {
  uint8_t keyCode;
  char plain;
  char shifted;
};
constexpr std::array<SimKey, 38> kSimKeys = {{
    {0, 'a', 'A'},  {1, 's', 'S'},  {2, 'd', 'D'},  {3, 'f', 'F'},  {4, 'h', 'H'},  {5, 'g', 'G'},  {6, 'z', 'Z'},
    {7, 'x', 'X'},  {8, 'c', 'C'},  {9, 'v', 'V'},  {11, 'b', 'B'}, {12, 'q', 'Q'}, {13, 'w', 'W'}, {14, 'e', 'E'},
    {15, 'r', 'R'}, {16, 'y', 'Y'}, {17, 't', 'T'}, {18, '1', '!'}, {19, '2', '@'}, {20, '3', '#'}, {21, '4', '$'},
    {22, '6', '^'}, {23, '5', '%'}, {25, '9', '('}, {26, '7', '&'}, {28, '8', '*'}, {29, '0', ')'}, {31, 'o', 'O'},
    {32, 'u', 'U'}, {34, 'i', 'I'}, {35, 'p', 'P'}, {36, '\r', '\r'}, {37, 'l', 'L'}, {38, 'j', 'J'},
    {40, 'k', 'K'}, {45, 'n', 'N'}, {46, 'm', 'M'}, {49, ' ', ' '},
}};

std::array<uint8_t, 256> simTableForModifiers() {
  std::array<uint8_t, 256> map{};
  for (size_t modifiers = 0; modifiers < map.size(); ++modifiers) {
    const bool shift = (modifiers & kModifierByteShift) != 0;
    const bool option = (modifiers & kModifierByteOption) != 0;
    const bool caps = (modifiers & kModifierByteCapsLock) != 0;
    map[modifiers] = option ? (shift ? kShiftOption : kOption) : shift ? kShift : caps ? kCapsLock : kPlain;
  }
  return map;
}

// The character of a key in a sim table, as a Unicode code point (0: none).
char32_t simCharacter(const SimKey& key, uint8_t table) {
  const bool letter = key.plain >= 'a' && key.plain <= 'z';
  switch (table) {
    case kShift:
    case kShiftOption:
      return static_cast<unsigned char>(key.shifted);
    case kCapsLock:
      return static_cast<unsigned char>(letter ? key.shifted : key.plain);
    default:
      return static_cast<unsigned char>(key.plain);
  }
}

// The acute completions: the next key's character -> the combined character.
constexpr std::array<std::pair<char16_t, char16_t>, 8> kAcuteCompletions = {{
    {u'a', 0x00E1}, {u'e', 0x00E9}, {u'i', 0x00ED}, {u'o', 0x00F3},
    {u'u', 0x00FA}, {u'A', 0x00C1}, {u'E', 0x00C9}, {u' ', 0x00B4},
}};

uint8_t macRomanOf(char16_t c) {
  if (c < 0x80) return static_cast<uint8_t>(c);
  for (size_t i = 0; i < kMacRomanHigh.size(); ++i) {
    if (kMacRomanHigh[i] == c) return static_cast<uint8_t>(0x80 + i);
  }
  return 0;
}

}  // namespace

std::shared_ptr<const KeyboardLayout> makeSimUSLayout() {
  OldStyleKeyTable table;
  table.tableForModifiers = simTableForModifiers();
  table.tables.resize(kSimTableCount);
  for (uint8_t t = 0; t < kSimTableCount; ++t) {
    for (const SimKey& key : kSimKeys) table.tables[t][key.keyCode] = static_cast<uint8_t>(simCharacter(key, t));
  }
  table.tables[kOption][0] = macRomanOf(0x00E5);        // å
  table.tables[kOption][5] = macRomanOf(0x00A9);        // ©
  table.tables[kShiftOption][0] = macRomanOf(0x00C5);   // Å
  OldStyleKeyTable::DeadKey acute;
  acute.table = kOption;
  acute.keyCode = kDeadAcuteKey;
  acute.noMatch = macRomanOf(0x00B4);
  for (const auto& [next, combined] : kAcuteCompletions) {
    acute.completions[static_cast<uint8_t>(next)] = macRomanOf(combined);
  }
  table.deadKeys.push_back(acute);

  auto layout = std::make_shared<KeyboardLayout>();
  layout->localizedName = "U.S. (sim)";
  layout->kind = kKeyboardLayoutKindOldStyle;
  layout->oldStyle = std::move(table);
  return layout;
}

std::shared_ptr<const KeyboardLayout> makeSimAccentLayout() {
  UnicodeKeyTable table;
  table.tableForModifiers = simTableForModifiers();
  table.tables.resize(kSimTableCount);
  for (uint8_t t = 0; t < kSimTableCount; ++t) {
    for (const SimKey& key : kSimKeys) table.tables[t][key.keyCode].output = std::u16string(1, static_cast<char16_t>(simCharacter(key, t)));
  }
  table.tables[kOption][0].output = u"\u00E5";        // å
  table.tables[kOption][5].output = u"\u00A9";        // ©
  table.tables[kShiftOption][0].output = u"\u00C5";   // Å
  table.tables[kShiftOption][5].output = utf16OfUTF8("\xF0\x9D\x84\x9E");  // U+1D11E
  table.tables[kOption][kDeadAcuteKey] = {u"", kAcuteState};
  UnicodeKeyTable::DeadState acute;
  acute.terminator = u"\u00B4";
  for (const auto& [next, combined] : kAcuteCompletions) acute.completions[next] = std::u16string(1, combined);
  table.deadStates[kAcuteState] = acute;

  auto layout = std::make_shared<KeyboardLayout>();
  layout->localizedName = "Accents (sim)";
  layout->kind = kKeyboardLayoutKindUnicode;
  layout->unicode = std::move(table);
  return layout;
}

}  // namespace kw
