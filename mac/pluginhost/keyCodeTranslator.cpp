// Key code translation through the current keyboard layout: see keyCodeTranslator.h.
#include "mac/pluginhost/keyCodeTranslator.h"

#include <utility>

#include "mac/platform/Events.h"

namespace kw {

namespace {

constexpr size_t kTranslationRoom = 4;  // UTF-16 units
constexpr uint8_t kNoCharacter = 0;

std::unique_ptr<keyCodeTranslator>& processTranslator() {
  static std::unique_ptr<keyCodeTranslator> translator;
  return translator;
}

}  // namespace

keyCodeTranslator* keyCodeTranslator::currentTranslator() {
  std::shared_ptr<const KeyboardLayout> layout = DesktopInput::current().currentKeyboardLayout();
  if (!layout) return nullptr;
  std::unique_ptr<keyCodeTranslator>& translator = processTranslator();
  if (!translator || translator->keyboardLayout_ != layout) {
    translator.reset();
    translator = initWithKeyboardLayout(std::move(layout));
  }
  return translator.get();
}

void keyCodeTranslator::resetCurrentTranslator() { processTranslator().reset(); }

std::unique_ptr<keyCodeTranslator> keyCodeTranslator::initWithKeyboardLayout(
    std::shared_ptr<const KeyboardLayout> layout) {
  if (!layout) return nullptr;
  std::unique_ptr<keyCodeTranslator> translator(new keyCodeTranslator());
  translator->keyLayoutKind = layout->kind;
  if (layout->kind == kKeyboardLayoutKindOldStyle) {
    translator->KCHRData = layout->oldStyleTable();
    if (translator->KCHRData == nullptr) return nullptr;
  } else {
    translator->uchrData = layout->unicodeTable();
    if (translator->uchrData == nullptr) return nullptr;
  }
  translator->keyboardLayout_ = std::move(layout);
  return translator;
}

std::string keyCodeTranslator::translateKeyCode(int16_t keyCode, uint32_t modifiers, uint32_t& keyState) {
  if (uchrData != nullptr) {
    std::u16string typed;
    uchrData->translate(static_cast<uint16_t>(keyCode), KeyAction::Display, modifiers, deadKeyState,
                        kTranslationRoom, typed);
    keyState = deadKeyState;
    return utf8OfFirstCharacter(typed);
  }
  const auto keyAndModifiers =
      static_cast<uint16_t>((static_cast<uint32_t>(keyCode) & 0xFF) | ((modifiers & 0xFF) << 8));
  const auto character = static_cast<uint8_t>(KCHRData->translate(keyAndModifiers, keyTranslateState) & 0xFF);
  keyState = keyTranslateState;
  if (character == kNoCharacter) return {};
  return utf8OfCodePoint(macRomanToUnicode(character));
}

std::string keyCodeTranslator::description() const {
  const std::string& name = keyboardLayout_->localizedName;
  return "PTKeyCodeTranslator layout=" + name + " (" +
         (keyLayoutKind == kKeyboardLayoutKindOldStyle ? "KCHR" : "uchr") + ")";
}

}  // namespace kw
