// Translates key codes into characters through a keyboard layout, old-style
// (Mac Roman) or Unicode, keeping dead-key state from one key to the next.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "mac/platform/KeyboardLayout.h"

namespace kw {

class keyCodeTranslator {
 public:
  // The translator for the desktop's current keyboard layout, made anew when
  // the layout changed; nullptr (the previous translator kept) when there is
  // no layout. One exists per process; it lives until the layout changes.
  static keyCodeTranslator* currentTranslator();
  // Drops the process's translator (tests start clean with it).
  static void resetCurrentTranslator();

  // initWithKeyboardLayout:: nullptr without a layout or without the table its
  // kind asks for (kind 1: the old-style table; any other kind: the Unicode one).
  static std::unique_ptr<keyCodeTranslator> initWithKeyboardLayout(std::shared_ptr<const KeyboardLayout> layout);

  keyCodeTranslator(const keyCodeTranslator&) = delete;
  keyCodeTranslator& operator=(const keyCodeTranslator&) = delete;

  // translateKeyCode:modifiers:keyState:: the first character the key types,
  // as UTF-8, with `modifiers` as the modifier byte (0x02 shift, 0x08 option
  // ...). Empty when the key types nothing (a dead key, a key the layout does
  // not have). The translator keeps the dead-key state for the next call and
  // reports it in `keyState` (0: none pending).
  std::string translateKeyCode(int16_t keyCode, uint32_t modifiers, uint32_t& keyState);

  const std::shared_ptr<const KeyboardLayout>& keyboardLayout() const { return keyboardLayout_; }
  // "PTKeyCodeTranslator layout=<localized name> (KCHR|uchr)".
  std::string description() const;

 private:
  keyCodeTranslator() = default;

  std::shared_ptr<const KeyboardLayout> keyboardLayout_;
  const UnicodeKeyTable* uchrData = nullptr;
  const OldStyleKeyTable* KCHRData = nullptr;
  int32_t keyLayoutKind = 0;
  uint32_t keyTranslateState = 0;  // old-style translation
  uint32_t deadKeyState = 0;       // Unicode translation
};

}  // namespace kw
