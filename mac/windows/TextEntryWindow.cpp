// The text entry window and its text view.
#include "mac/windows/TextEntryWindow.h"

#include <algorithm>

#include "mac/platform/Desktop.h"
#include "mac/platform/KeyboardLayout.h"
#include "mac/platform/Window.h"

namespace kw {
namespace {

constexpr char16_t kEnterKey = 3;
constexpr char16_t kBackspaceKey = 8;
constexpr char16_t kReturnKey = 13;
constexpr char16_t kDeleteKey = 127;
// The system's private-use range of function and arrow keys.
constexpr char16_t kFirstFunctionKey = 0xF700;
constexpr char16_t kLastFunctionKey = 0xF8FF;

constexpr DesktopSize kTextEntrySize{320, 24};

bool isReturn(char16_t c) { return c == kReturnKey || c == kEnterKey; }
bool isBackspace(char16_t c) { return c == kBackspaceKey || c == kDeleteKey; }

// Drops the last UTF-8 character of a text.
void dropLastCharacter(std::string& text) {
  while (!text.empty()) {
    const auto byte = static_cast<unsigned char>(text.back());
    text.pop_back();
    if ((byte & 0xC0) != 0x80) break;
  }
}

bool gCommitPending = true;

}  // namespace

// ---- The text view ----

JapaneseTextView::JapaneseTextView(TextEntryWindow& owner, DesktopRect frame) : View(frame), owner_(owner) {}

void JapaneseTextView::cutAllText() {
  const std::string text = string();
  committed_.clear();
  marked_.clear();
  setNeedsDisplay();
  Window* own = window();
  if (text.empty() || own == nullptr) return;
  Pasteboard& pasteboard = own->desktop().generalPasteboard;
  pasteboard.clear();
  pasteboard.string = text;
}

void JapaneseTextView::keyDown(const DesktopEvent& event) {
  const std::u16string characters = utf16OfUTF8(event.charactersIgnoringModifiers);
  const char16_t first = characters.empty() ? char16_t{0} : characters.front();
  if (isBackspace(first)) {
    if (string().empty()) {
      owner_.close();
    } else {
      interpretKey(event, first);
    }
    return;
  }
  interpretKey(event, first);
  if (!isReturn(first)) {
    TextEntryWindow::commitPending() = true;
    return;
  }
  if (TextEntryWindow::commitPending()) {
    // With a composition the first Return commits it; the second ends the entry.
    TextEntryWindow::commitPending() = false;
    interpretKey(event, first);
    TextEntryWindow::commitPending() = true;
  }
}

void JapaneseTextView::interpretKey(const DesktopEvent& event, char16_t first) {
  if (isReturn(first)) {
    if (!marked_.empty()) {
      committed_ += marked_;
      marked_.clear();
    } else if (owner_.isEditing()) {
      // A field editor ends editing on Return.
      owner_.textDidEndEditing();
      return;
    }
  } else if (isBackspace(first)) {
    dropLastCharacter(marked_.empty() ? committed_ : marked_);
  } else if ((event.modifierFlags & kDesktopCommand) != 0 || first < 0x20 ||
             (first >= kFirstFunctionKey && first <= kLastFunctionKey)) {
    return;  // key equivalents, control characters and function keys type nothing
  } else {
    marked_ += event.charactersIgnoringModifiers;
  }
  setNeedsDisplay();
}

void JapaneseTextView::drawRect(DrawContext& context, const DesktopRect& dirtyRect) {
  (void)dirtyRect;
  context.fill(bounds(), RGBAColor::white());
}

// ---- The window ----

bool& TextEntryWindow::commitPending() { return gCommitPending; }

TextEntryWindow::TextEntryWindow(Desktop& desktop) : desktop_(desktop) {
  textWindow_ = std::make_unique<Window>(desktop, DesktopRect{{0, 0}, kTextEntrySize}, kTitledWindowMask, true);
  textWindow_->setTitle("Text Entry");
  textWindow_->center();
  japaneseText_ = std::make_shared<JapaneseTextView>(*this, DesktopRect{{0, 0}, kTextEntrySize});
  textWindow_->setContentView(japaneseText_);
}

TextEntryWindow::~TextEntryWindow() = default;

void TextEntryWindow::enteringText(const std::any& object) {
  const auto* event = std::any_cast<DesktopEvent>(&object);
  if (event == nullptr) return;
  Window* key = desktop_.keyWindow();
  if (key != textWindow_.get()) {
    // The window and view the text goes to when the entry ends.
    keyFlashWind_ = key;
    keyFlashView_.reset();
    if (key != nullptr) {
      if (auto* view = dynamic_cast<View*>(key->firstResponder())) keyFlashView_ = view->weak_from_this();
    }
  }
  textWindow_->makeKeyAndOrderFront();
  textWindow_->makeFirstResponder(japaneseText_.get());
  editing_ = true;
  // The key again, first in the entry window's queue: it starts the text.
  textWindow_->sendEvent(*event);
}

void TextEntryWindow::textDidEndEditing() {
  editing_ = false;
  const bool hasText = !japaneseText_->string().empty();
  japaneseText_->cutAllText();
  // The view pastes what the pasteboard holds; an empty entry cut nothing, so
  // nothing is pasted (the pasteboard may hold something older).
  if (hasText && liveKeyFlashWindow() != nullptr) {
    if (const std::shared_ptr<View> view = keyFlashView_.lock()) view->paste();
  }
  restoreFocus();
}

void TextEntryWindow::close() {
  editing_ = false;
  restoreFocus();
}

void TextEntryWindow::restoreFocus() {
  textWindow_->orderOut();
  Window* window = liveKeyFlashWindow();
  if (window == nullptr) return;
  window->makeKeyWindow();
  if (const std::shared_ptr<View> view = keyFlashView_.lock(); view && view->window() == window) {
    window->makeFirstResponder(view.get());
  }
}

Window* TextEntryWindow::liveKeyFlashWindow() const {
  if (keyFlashWind_ == nullptr) return nullptr;
  const std::vector<Window*>& windows = desktop_.windows();
  if (std::find(windows.begin(), windows.end(), keyFlashWind_) == windows.end()) return nullptr;
  return keyFlashWind_->isClosed() ? nullptr : keyFlashWind_;
}

}  // namespace kw
