// The text entry window: the plug-in takes keys as single bytes and cannot
// receive text composed with an input method, so while the Japanese keyboard
// script is active the movie view hands its keys to this small window. The
// user composes the text there; when the entry ends the text is cut to the
// general pasteboard and pasted into the movie (the view that had the focus
// gets a paste), and the focus goes back to that view.
//
// The sim desktop has no input method. The text view models one minimally:
// typed characters form the composition (marked text), Return or Enter
// commits a composition into the text, and Return or Enter without a
// composition ends the entry (the view is a field editor). Backspace and
// delete take the last character of the composition, else of the text.
#pragma once

#include <any>
#include <memory>
#include <string>

#include "mac/platform/Events.h"
#include "mac/platform/View.h"

namespace kw {

class Desktop;
class TextEntryWindow;
class Window;

// The text view of the entry window (a field editor, so Return ends editing).
class JapaneseTextView : public View {
 public:
  JapaneseTextView(TextEntryWindow& owner, DesktopRect frame);

  bool isFieldEditor() const { return true; }
  // The text as shown: the committed text followed by the composition.
  std::string string() const { return committed_ + marked_; }
  const std::string& markedText() const { return marked_; }
  // Select all, then cut: the whole text (composition included) goes to the
  // general pasteboard and the view is empty. An empty text leaves the
  // pasteboard alone.
  void cutAllText();

  void keyDown(const DesktopEvent& event) override;
  void keyUp(const DesktopEvent& event) override { (void)event; }
  bool acceptsFirstResponder() const override { return true; }
  bool isOpaque() const override { return true; }
  void drawRect(DrawContext& context, const DesktopRect& dirtyRect) override;

 private:
  // The text view's own handling of a key (the modelled input method and
  // field editor).
  void interpretKey(const DesktopEvent& event, char16_t first);

  TextEntryWindow& owner_;
  std::string committed_;
  std::string marked_;
};

class TextEntryWindow {
 public:
  // The window is made hidden (a titled panel centred on the main screen).
  explicit TextEntryWindow(Desktop& desktop);
  ~TextEntryWindow();
  TextEntryWindow(const TextEntryWindow&) = delete;
  TextEntryWindow& operator=(const TextEntryWindow&) = delete;

  // The controller's enteringText:: the object is the key event (a
  // DesktopEvent) the movie view did not give its plug-in. Remembers the key
  // window and its first responder, brings the entry window forward as the
  // key window and hands it the key, so the first key starts the text.
  void enteringText(const std::any& event);
  // The controller's textDidEndEditing:: cut the text, paste it into the view
  // that had the focus, hide the window and give the focus back.
  void textDidEndEditing();
  // Backspace in an empty entry: the window goes without pasting anything,
  // and the focus goes back as when an entry ends.
  void close();

  Window& window() const { return *textWindow_; }
  JapaneseTextView& textView() const { return *japaneseText_; }
  // An entry is running: started and neither ended nor closed.
  bool isEditing() const { return editing_; }

  // The process-wide commit-pending flag (initially true): a Return or Enter
  // while it is set is handled twice, so that a composition is committed and
  // the entry ended by one press.
  static bool& commitPending();

 private:
  // Hides the window and gives the focus back to the remembered window and view.
  void restoreFocus();
  // The remembered window, if it still exists.
  Window* liveKeyFlashWindow() const;

  Desktop& desktop_;
  std::unique_ptr<Window> textWindow_;
  std::shared_ptr<JapaneseTextView> japaneseText_;
  Window* keyFlashWind_ = nullptr;       // checked against the desktop's windows before use
  std::weak_ptr<View> keyFlashView_;
  bool editing_ = false;
};

}  // namespace kw
