// The movie view's input: mouse (and window dragging asked for by the movie),
// context menus, scroll wheel, keys through the keyboard layout (with the
// Japanese input script and dead keys), the edit commands, focus and file drags.
#include <any>
#include <string>

#include "mac/commands/EventEncoding.h"
#include "mac/platform/Desktop.h"
#include "mac/platform/Menu.h"
#include "mac/platform/NotificationCenter.h"
#include "mac/platform/Window.h"
#include "mac/pluginhost/EventConverter.h"
#include "mac/pluginhost/keyCodeTranslator.h"
#include "mac/windows/FlashView.h"

namespace kw {
namespace {

constexpr uint16_t kAdjustCursorEventKind = 33;
// The key-down of the delete key (key code 0x33, character 0x7F).
constexpr uint32_t kDeleteKeyMessage = 0x337F;
// The key state the translator reports when a dead-key composition completes.
constexpr uint32_t kDeadKeyComposed = 0x80000000;

// Keys that go to the plug-in as they are, whatever the keyboard script.
bool passesUnchanged(char16_t c) {
  switch (c) {
    case 9: case 25: case 13: case 3: case 8: case 127:
    case 0xF700: case 0xF701: case 0xF702: case 0xF703:
    case 0xF72C: case 0xF72D:
      return true;
    default:
      return false;
  }
}

}  // namespace

// ---- Mouse ----

void FlashView::mouseDown(const DesktopEvent& event) {
  if (!pluginIsLive()) return;
  EventConverter::convertEvent(event, globalEvent);
  queueEvent(globalEvent);
  if (gDragging) dragAWindow(event);
}

void FlashView::dragWindowFromFlash(const DesktopEvent& event) {
  if (targetWindow_ == nullptr) return;
  const DesktopPoint screen = event.locationOnScreen();
  const DesktopPoint origin = targetWindow_->frame().origin;
  initialLocation = {screen.x - origin.x, screen.y - origin.y};
}

void FlashView::startWindowDrag(const DesktopEvent& event) {
  dragWindowFromFlash(event);
  flashViewFlags().dragStartPending = false;
  fStopSendingNullEvents = true;
  fSavedMousePos = localMouse();
}

void FlashView::moveTargetWindowWithMouse() {
  if (targetWindow_ == nullptr) return;
  const DesktopPoint mouse = DesktopInput::current().mouseLocation();
  targetWindow_->setFrameOrigin({mouse.x - initialLocation.x, mouse.y - initialLocation.y});
}

void FlashView::dragAWindow(const DesktopEvent& event) {
  startWindowDrag(event);
  moveTargetWindowWithMouse();
  processEvent();
}

void FlashView::mouseDragged(const DesktopEvent& event) {
  if (!pluginIsLive()) return;
  // The plug-in follows the mouse through the null events; drags are not queued.
  processEvent();
  if (!gDragging) return;
  if (flashViewFlags().dragStartPending) startWindowDrag(event);
  moveTargetWindowWithMouse();
}

void FlashView::mouseUp(const DesktopEvent& event) {
  if (!pluginIsLive()) return;
  EventConverter::convertEvent(event, globalEvent);
  if (gDragging) {
    // The drag ends: the movie sees the button go up where it went down.
    gDragging = false;
    flashViewFlags().dragStartPending = true;
    const QDPoint where = localToGlobal(fSavedMousePos);
    globalEvent.where.v = where.v;
    globalEvent.where.h = where.h;
  }
  queueEvent(globalEvent);
  fStopSendingNullEvents = false;
}

void FlashView::rightMouseDown(const DesktopEvent& event) {
  if (!pluginIsLive()) return;
  if (Menu* contextMenu = menu()) {
    // The window's context menu takes the click (and the window may be dragged by it).
    if (targetWindow_ != nullptr) targetWindow_->rightMouseDown(event);
    if (services_.desktop != nullptr) services_.desktop->popUpContextMenu(*contextMenu, event, *this);
    return;
  }
  EventConverter::convertEvent(event, globalEvent);
  queueEvent(globalEvent);
}

void FlashView::rightMouseUp(const DesktopEvent& event) {
  // With a context menu the menu took the whole click.
  if (!pluginIsLive() || menu() != nullptr) return;
  EventConverter::convertEvent(event, globalEvent);
  queueEvent(globalEvent);
}

void FlashView::mouseEntered(const DesktopEvent& event) {
  if (!pluginIsLive()) return;
  EventConverter::convertEvent(event, globalEvent);
  globalEvent.what = kAdjustCursorEventKind;
  queueEvent(globalEvent);
}

void FlashView::mouseExited(const DesktopEvent& event) {
  if (!pluginIsLive()) return;
  EventConverter::convertEvent(event, globalEvent);
  globalEvent.what = kAdjustCursorEventKind;
  queueEvent(globalEvent);
  if (services_.desktop != nullptr) services_.desktop->cursor = "arrow";
}

void FlashView::scrollWheel(const DesktopEvent& event) {
  if (!pluginIsLive()) return;
  sendEventToFlash(*events::scrollWheel(event.deltaY).text);
}

bool FlashView::acceptsFirstMouse(const DesktopEvent* event) {
  (void)event;
  acceptedFirstMouse = true;
  return true;
}

// ---- Keys ----

void FlashView::keyDown(const DesktopEvent& event) { handleKey(event, true); }
void FlashView::keyUp(const DesktopEvent& event) { handleKey(event, false); }

void FlashView::handleKey(const DesktopEvent& event, bool down) {
  if (!pluginIsLive()) return;
  const std::u16string characters = utf16OfUTF8(event.charactersIgnoringModifiers);
  const char16_t first = characters.empty() ? char16_t{0} : characters.front();
  if (passesUnchanged(first)) {
    EventConverter::convertEvent(event, globalEvent);
    queueEvent(globalEvent);
    return;
  }
  if (services_.desktop != nullptr && services_.desktop->keyboardScript == kJapaneseScript) {
    // Japanese input goes to the text entry window; the plug-in gets nothing.
    if (services_.notifications != nullptr) services_.notifications->post(notification::kEnteringText, std::any(event));
    return;
  }

  EventConverter::convertEvent(event, globalEvent);
  EventRecord key = globalEvent;
  if (down) {
    // Without a keyboard layout the converter's message stays.
    if (keyCodeTranslator* translator = keyCodeTranslator::currentTranslator()) {
      uint32_t keyState = 0;
      const std::string typed =
          translator->translateKeyCode(static_cast<int16_t>(event.keyCode), uint32_t{key.modifiers} >> 8, keyState);
      if (keyState == kDeadKeyComposed) {
        // The accent typed on its own goes: delete it, then the composed character comes.
        EventRecord erase = key;
        erase.message = kDeleteKeyMessage;
        erase.what = kKeyDownEventKind;
        queueEvent(erase);
        erase.what = kKeyUpEventKind;
        queueEvent(erase);
        key.what = kKeyDownEventKind;
      }
      // The first byte of the character, sign-extended; the key code is not kept.
      const int8_t firstByte = typed.empty() ? int8_t{0} : static_cast<int8_t>(typed.front());
      key.message = static_cast<uint32_t>(int32_t{firstByte});
    }
    keyMessages_[event.keyCode] = key.message;
  } else if (const auto pressed = keyMessages_.find(event.keyCode); pressed != keyMessages_.end()) {
    // A release is not translated again: that would move the layout's dead-key
    // state and spoil a composition. It reports what its key-down reported.
    key.message = pressed->second;
    keyMessages_.erase(pressed);
  }
  queueEvent(key);
}

void FlashView::editCommand(const char* character) {
  if (!pluginIsLive()) return;
  DesktopEvent event;
  event.type = DesktopEventType::KeyDown;
  event.timestamp = 0;
  event.locationInWindow = DesktopInput::current().mouseLocation();
  event.modifierFlags = kDesktopCommand;
  event.charactersIgnoringModifiers = character;
  event.keyCode = 0;
  EventConverter::convertEvent(event, globalEvent);
  queueEvent(globalEvent);
}

// The plug-in performs the edit itself: it gets the command key.
bool FlashView::cut() { editCommand("X"); return true; }
bool FlashView::copy() { editCommand("C"); return true; }
bool FlashView::paste() { editCommand("V"); return true; }
bool FlashView::selectAll() { editCommand("A"); return true; }

// ---- Focus ----

bool FlashView::becomeFirstResponder() {
  doWindowBecameMain();
  setHasFocus(true);
  return true;
}

bool FlashView::resignFirstResponder() {
  doWindowResignedMain();
  setHasFocus(false);
  return true;
}

// ---- File drags ----

DragOperation FlashView::draggingEntered(const DraggingInfo& info) {
  if (!info.offersFileNames || info.fileNames.empty()) return kDragOperationNone;
  sendEventToFlash(*events::dragFiles(info.fileNames).text);
  return kDragOperationCopy;
}

void FlashView::draggingExited(const DraggingInfo& info) {
  (void)info;
  sendEventToFlash(*events::dragLeave().text);
}

bool FlashView::performDragOperation(const DraggingInfo& info) {
  if (info.offersFileNames && !info.fileNames.empty()) sendEventToFlash(*events::dropFiles(info.fileNames).text);
  return true;
}

}  // namespace kw
