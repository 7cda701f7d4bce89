// The key code translator: making one, translating through both kinds of
// layout with dead keys, its description and the process-wide translator.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "mac/platform/Events.h"
#include "mac/pluginhost/keyCodeTranslator.h"

namespace kw {
namespace {

constexpr int16_t kKeyA = 0, kKeyE = 14, kKeyQ = 12, kKeyG = 5;
constexpr uint32_t kShift = kModifierByteShift, kOption = kModifierByteOption;

class KeyCodeTranslatorTest : public ::testing::Test {
 protected:
  KeyCodeTranslatorTest() { keyCodeTranslator::resetCurrentTranslator(); }
  ~KeyCodeTranslatorTest() override { keyCodeTranslator::resetCurrentTranslator(); }

  // Each key typed in turn: what it gives and the key state reported after it.
  struct Typed {
    std::string text;
    uint32_t keyState;
    friend bool operator==(const Typed&, const Typed&) = default;
  };
  struct Key {
    int16_t code;
    uint32_t modifiers;
  };
  static std::vector<Typed> type(keyCodeTranslator& translator, const std::vector<Key>& keys) {
    std::vector<Typed> typed;
    for (const Key& key : keys) {
      uint32_t keyState = 0xFFFFFFFF;
      std::string text = translator.translateKeyCode(key.code, key.modifiers, keyState);
      typed.push_back({text, keyState});
    }
    return typed;
  }

  SimDesktopInput desktop;
};

// ---- Making a translator ----

TEST_F(KeyCodeTranslatorTest, TranslatorNeedsTheTableItsLayoutKindNames) {
  EXPECT_EQ(keyCodeTranslator::initWithKeyboardLayout(nullptr), nullptr);

  auto oldStyleOnly = std::make_shared<KeyboardLayout>(*makeSimUSLayout());
  auto unicodeOnly = std::make_shared<KeyboardLayout>(*makeSimAccentLayout());
  EXPECT_NE(keyCodeTranslator::initWithKeyboardLayout(oldStyleOnly), nullptr);
  EXPECT_NE(keyCodeTranslator::initWithKeyboardLayout(unicodeOnly), nullptr);

  // Any kind but 1 reads the Unicode table, even when the old-style one is there.
  for (int32_t kind : {kKeyboardLayoutKindBoth, kKeyboardLayoutKindUnicode, 7}) {
    oldStyleOnly->kind = kind;
    EXPECT_EQ(keyCodeTranslator::initWithKeyboardLayout(oldStyleOnly), nullptr) << kind;
  }
  unicodeOnly->kind = kKeyboardLayoutKindOldStyle;
  EXPECT_EQ(keyCodeTranslator::initWithKeyboardLayout(unicodeOnly), nullptr);

  auto both = std::make_shared<KeyboardLayout>(*makeSimAccentLayout());
  both->oldStyle = makeSimUSLayout()->oldStyle;
  both->kind = kKeyboardLayoutKindBoth;
  auto translator = keyCodeTranslator::initWithKeyboardLayout(both);
  ASSERT_NE(translator, nullptr);
  EXPECT_EQ(translator->keyboardLayout(), both);
  EXPECT_EQ(translator->description(), "PTKeyCodeTranslator layout=Accents (sim) (uchr)");
}

TEST_F(KeyCodeTranslatorTest, DescriptionNamesTheLayoutAndTheTableKind) {
  EXPECT_EQ(keyCodeTranslator::initWithKeyboardLayout(makeSimUSLayout())->description(),
            "PTKeyCodeTranslator layout=U.S. (sim) (KCHR)");
  EXPECT_EQ(keyCodeTranslator::initWithKeyboardLayout(makeSimAccentLayout())->description(),
            "PTKeyCodeTranslator layout=Accents (sim) (uchr)");
}

// ---- Translating ----

TEST_F(KeyCodeTranslatorTest, OldStyleLayoutGivesMacRomanCharactersAndKeepsItsDeadKey) {
  auto translator = keyCodeTranslator::initWithKeyboardLayout(makeSimUSLayout());
  ASSERT_NE(translator, nullptr);
  EXPECT_EQ(type(*translator, {{kKeyA, 0}, {kKeyA, kShift}, {kKeyA, kOption}, {kKeyG, kOption}, {10, 0}}),
            (std::vector<Typed>{{"a", 0}, {"A", 0}, {"\xC3\xA5", 0}, {"\xC2\xA9", 0}, {"", 0}}));

  const std::vector<Typed> typed = type(*translator, {{kKeyE, kOption}, {kKeyE, 0}, {kKeyE, kOption}, {kKeyQ, 0}});
  ASSERT_EQ(typed.size(), 4u);
  EXPECT_EQ(typed[0].text, "");
  EXPECT_NE(typed[0].keyState, 0u) << "a dead key is pending";
  EXPECT_EQ(typed[1], (Typed{"\xC3\xA9", 0}));  // é
  EXPECT_EQ(typed[2].keyState, typed[0].keyState);
  EXPECT_EQ(typed[3], (Typed{"q", 0}));  // the lossy form keeps the second character only

  // The modifier byte takes the high byte whatever else the word holds.
  uint32_t keyState = 0;
  EXPECT_EQ(translator->translateKeyCode(kKeyA, 0x100 | kShift, keyState), "A");
}

TEST_F(KeyCodeTranslatorTest, UnicodeLayoutKeepsDeadKeyStateBetweenCallsAndReportsIt) {
  auto translator = keyCodeTranslator::initWithKeyboardLayout(makeSimAccentLayout());
  ASSERT_NE(translator, nullptr);
  EXPECT_EQ(type(*translator, {{kKeyE, kOption}, {kKeyE, 0}}), (std::vector<Typed>{{"", 1}, {"\xC3\xA9", 0}}));
  EXPECT_EQ(type(*translator, {{kKeyE, kOption}, {kKeyA, kShift}}), (std::vector<Typed>{{"", 1}, {"\xC3\x81", 0}}));
  // No completion: the accent comes first and is the one character returned.
  EXPECT_EQ(type(*translator, {{kKeyE, kOption}, {kKeyQ, 0}, {kKeyQ, 0}}),
            (std::vector<Typed>{{"", 1}, {"\xC2\xB4", 0}, {"q", 0}}));
  // A surrogate pair is one character; a key code past the table types nothing.
  EXPECT_EQ(type(*translator, {{kKeyG, kShift | kOption}, {-1, 0}}),
            (std::vector<Typed>{{"\xF0\x9D\x84\x9E", 0}, {"", 0}}));
}

// ---- The process-wide translator ----

TEST_F(KeyCodeTranslatorTest, CurrentTranslatorFollowsTheKeyboardLayout) {
  EXPECT_EQ(keyCodeTranslator::currentTranslator(), nullptr) << "no layout";

  desktop.layout = makeSimAccentLayout();
  keyCodeTranslator* first = keyCodeTranslator::currentTranslator();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first->keyboardLayout(), desktop.layout);
  uint32_t keyState = 0;
  first->translateKeyCode(kKeyE, kOption, keyState);

  // The same layout: the same translator, with its dead key still pending.
  keyCodeTranslator* again = keyCodeTranslator::currentTranslator();
  ASSERT_EQ(again, first);
  EXPECT_EQ(again->translateKeyCode(kKeyE, 0, keyState), "\xC3\xA9");

  // A failed layout look-up answers nil and keeps the translator.
  auto accents = desktop.layout;
  desktop.layout = nullptr;
  EXPECT_EQ(keyCodeTranslator::currentTranslator(), nullptr);
  desktop.layout = accents;
  EXPECT_EQ(keyCodeTranslator::currentTranslator(), first);

  desktop.layout = makeSimUSLayout();
  keyCodeTranslator* changed = keyCodeTranslator::currentTranslator();
  ASSERT_NE(changed, nullptr);
  EXPECT_EQ(changed->description(), "PTKeyCodeTranslator layout=U.S. (sim) (KCHR)");

  // A layout that cannot be translated with gives none.
  auto broken = std::make_shared<KeyboardLayout>();
  broken->kind = kKeyboardLayoutKindOldStyle;
  desktop.layout = broken;
  EXPECT_EQ(keyCodeTranslator::currentTranslator(), nullptr);
}

TEST_F(KeyCodeTranslatorTest, ResetDropsTheTranslatorAndItsPendingDeadKey) {
  desktop.layout = makeSimAccentLayout();
  uint32_t keyState = 0;
  keyCodeTranslator::currentTranslator()->translateKeyCode(kKeyE, kOption, keyState);
  ASSERT_EQ(keyState, 1u);
  keyCodeTranslator::resetCurrentTranslator();
  EXPECT_EQ(keyCodeTranslator::currentTranslator()->translateKeyCode(kKeyE, 0, keyState), "e");
  EXPECT_EQ(keyState, 0u);
}

}  // namespace
}  // namespace kw
