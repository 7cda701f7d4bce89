// The desktop model: a deterministic stand-in for the window server and the
// application object. It holds the screens (the main screen with the menu bar
// first), every window with its ordering by level, the key and main windows,
// the application's active/hidden state and delegate, the input state (mouse,
// modifiers, keyboard layout and script), the pasteboards, the cursor, print
// operations and file panels. Tests and scripted input inject events through
// it; it routes them as the window system would, and it renders the whole
// screen to a picture.
#pragma once

#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "mac/platform/Bitmap.h"
#include "mac/platform/DesktopServices.h"
#include "mac/platform/Events.h"
#include "mac/platform/Geometry.h"

namespace kw {

class Menu;
class RunLoop;
class View;
class Window;
struct DraggingInfo;

// Level keys of the window server and the levels they give.
inline constexpr int32_t kNormalWindowLevelKey = 4;
inline constexpr int32_t kMainMenuWindowLevelKey = 8;
inline constexpr int32_t kStatusWindowLevelKey = 9;
inline constexpr int32_t kDesktopIconWindowLevelKey = 18;
int32_t windowLevelForKey(int32_t key);
int32_t shieldingWindowLevel();

// The application delegate: what the application tells about its life.
class ApplicationDelegate {
 public:
  virtual ~ApplicationDelegate() = default;
  virtual void applicationDidBecomeActive() {}
  virtual void applicationDidResignActive() {}
  virtual void applicationWillTerminate() {}
  virtual bool applicationShouldTerminateAfterLastWindowClosed() { return false; }
  virtual void applicationDidChangeScreenParameters() {}
  // A file opened from the file manager or dropped on the application icon.
  virtual bool openFile(const std::string& path) { (void)path; return false; }
};

struct Pasteboard {
  std::vector<std::string> fileNames;  // offered when not empty
  std::optional<std::string> string;
  void clear() { fileNames.clear(); string.reset(); }
};

// Keyboard scripts (the Script Manager's current keyboard script).
inline constexpr int32_t kRomanScript = 0;
inline constexpr int32_t kJapaneseScript = 1;

class Desktop : public DesktopInput, public ApplicationLifecycle {
 public:
  // One main screen of 1440 x 900 points; becomes the current desktop input
  // while it lives. The run loop gives the event times and tick counts.
  Desktop(RunLoop& runLoop, std::filesystem::path applicationBundle = {});
  ~Desktop() override;
  Desktop(const Desktop&) = delete;
  Desktop& operator=(const Desktop&) = delete;

  RunLoop& runLoop() const { return runLoop_; }

  // Screens; the first holds the menu bar (22 points high at its top).
  const std::vector<ScreenFrame>& screens() const { return screens_; }
  // Replaces the screens and tells the application delegate.
  void setScreens(std::vector<ScreenFrame> screens);
  DesktopRect mainScreenFrame() const;
  // The main screen without the menu bar.
  DesktopRect mainScreenVisibleFrame() const;

  // Display capture for full-screen windows; `captureFails` makes it fail.
  bool captureMainDisplay();
  bool displayCaptured = false;
  bool captureFails = false;

  // Display modes of the main display, as the window server lists them
  // (width, height, bits per pixel, refresh rate). The current mode is the
  // main screen's size at the current depth and refresh rate; switching to a
  // listed mode resizes the main screen and tells the application delegate.
  struct DisplayMode {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t bitsPerPixel = 32;
    double refreshRate = 60;
    friend bool operator==(const DisplayMode&, const DisplayMode&) = default;
  };
  // The modes a common display offers: several sizes at 32 and 16 bits.
  static std::vector<DisplayMode> standardDisplayModes();
  std::vector<DisplayMode> displayModes = standardDisplayModes();
  DisplayMode currentDisplayMode() const;
  // False, changing nothing, for a mode not listed or when `displaySwitchFails`.
  bool switchDisplayMode(const DisplayMode& mode);
  bool displaySwitchFails = false;
  uint32_t displayBitsPerPixel = 32;
  double displayRefreshRate = 60;
  // Capturing every display for a full-screen switch (fails with
  // `captureFails`) and releasing them again.
  bool captureAllDisplays();
  void releaseAllDisplays();

  // The dock and the cursor: the application icon, the attention requests
  // made while inactive (true: critical), the cursor's visibility, the
  // desktop picture and the frontmost process's name.
  std::shared_ptr<const Image> applicationIcon;
  std::vector<bool> attentionRequests;
  bool cursorHidden = false;
  std::string desktopPicture;
  std::string frontmostProcess = "zivra";

  // Windows: every live window in creation order, and the visible ones from
  // front to back (higher levels first; within a level, the most recently
  // ordered front first, child windows just above their parent).
  const std::vector<Window*>& windows() const { return windows_; }
  std::vector<Window*> orderedWindows() const;
  Window* windowWithNumber(uint32_t number) const;
  Window* keyWindow() const { return keyWindow_; }
  Window* mainWindow() const { return mainWindow_; }
  // The frontmost visible window under a screen point that takes mouse events
  // (alpha above 0, not ignoring the mouse, not miniaturised), or nullptr.
  Window* windowAt(DesktopPoint screenPoint) const;

  // The application.
  bool isActive() const { return active_; }
  void activateIgnoringOtherApps();
  void deactivate();
  bool isHidden() const { return hidden_; }
  void hide();
  void unhide();
  ApplicationDelegate* delegate() const { return delegate_; }
  void setDelegate(ApplicationDelegate* delegate) { delegate_ = delegate; }
  std::shared_ptr<Menu> mainMenu;
  // The file manager opens a document with the application.
  bool openFile(const std::string& path);

  // ApplicationLifecycle: terminate tells the delegate and marks the end.
  void terminate() override;
  void showMenuBar() override { menuBarVisible = true; }
  std::filesystem::path bundlePath() const override { return bundle_; }
  bool terminated() const { return terminated_; }
  bool menuBarVisible = true;

  // DesktopInput.
  DesktopPoint mouseLocation() const override { return mouse_; }
  uint16_t keyModifiers() const override;
  double currentEventTime() const override;
  ScreenFrame menuBarScreen() const override;
  std::shared_ptr<const KeyboardLayout> currentKeyboardLayout() const override { return layout; }
  std::shared_ptr<const KeyboardLayout> layout;
  int32_t keyboardScript = kRomanScript;
  bool mouseButtonDown() const { return buttons_ != 0; }
  uint32_t modifierFlags() const { return modifierFlags_; }

  // Input injection. Each makes the desktop event the window system would and
  // routes it: mouse events to the window under the mouse (a left or right
  // down first makes that window key and main and activates the
  // application), drags and ups to the window that took the down, keys to
  // the key window, scrolls to the window under the mouse. Entering and
  // leaving a window's content area sends mouseEntered / mouseExited.
  void moveMouse(DesktopPoint screenPoint);
  void pressMouse(DesktopPoint screenPoint, int32_t button = 0);
  void dragMouse(DesktopPoint screenPoint);
  void releaseMouse(DesktopPoint screenPoint);
  void pressKey(uint16_t keyCode, std::string characters, uint32_t modifierFlags = 0);
  void releaseKey(uint16_t keyCode, std::string characters, uint32_t modifierFlags = 0);
  void setModifierFlags(uint32_t flags);
  void scroll(DesktopPoint screenPoint, double deltaY);
  // The Edit menu's cut, copy, paste and select all, sent to the key window's
  // first responder; answers whether it was taken.
  bool sendEditAction(const std::string& name);
  // Drags file names over the window at a point: entering (answers the
  // operation the view under the mouse accepts), then dropping or leaving.
  uint32_t dragFilesOver(DesktopPoint screenPoint, std::vector<std::string> fileNames);
  bool dropFiles(DesktopPoint screenPoint);
  void dragExit();

  // Pasteboards, cursor.
  Pasteboard generalPasteboard;
  Pasteboard draggingPasteboard;
  std::string cursor = "arrow";

  // Context menus: a shown menu is recorded; the scripted answers name the
  // item to choose (by title; none: the menu is dismissed).
  void popUpContextMenu(Menu& menu, const DesktopEvent& event, View& view);
  std::vector<std::string> shownMenus;  // the titles of the menus shown
  std::deque<std::optional<std::string>> menuChoices;

  // Print operations: the view is drawn as for printing into a page of its size.
  void runPrintOperation(View& view);
  std::vector<Bitmap> printedPages;

  // Open panels: the scripted answers are the chosen paths (none: Cancel).
  std::optional<std::vector<std::string>> runOpenPanel(const std::vector<std::string>& fileTypes, bool multiple);
  std::deque<std::optional<std::vector<std::string>>> openPanelAnswers;
  std::vector<std::vector<std::string>> openPanelTypes;

  // File panels set up in full (the file commands' open and save panels).
  // Each shown panel is recorded with the highest level of the visible
  // windows while it ran, so one can tell whether a window could hide it.
  struct FilePanel {
    bool save = false;
    std::string title;
    std::string directory;                // the initial folder ("" none)
    std::string fileName;                 // the initial file name ("" none)
    std::vector<std::string> fileTypes;   // the allowed (open) or required (save) types
    bool canChooseFiles = true;
    bool canChooseDirectories = false;
    bool multiple = false;
    int32_t topWindowLevel = 0;           // filled in by the desktop
  };
  std::vector<FilePanel> filePanels;
  // An open panel answered from openPanelAnswers (its types go to openPanelTypes too).
  std::optional<std::vector<std::string>> runOpenPanel(const FilePanel& panel);
  // A save panel: the scripted answers are the chosen paths (none: Cancel).
  std::optional<std::string> runSavePanel(const FilePanel& panel);
  std::deque<std::optional<std::string>> savePanelAnswers;

  // Frames stored under autosave names.
  std::map<std::string, DesktopRect> savedFrames;

  // Renders the main screen: the desktop background, then every visible
  // window from back to front with its shadow, title bar and content picture
  // at its alpha.
  Bitmap renderScreen() const;
  // Displays every visible window whose views need display (the run loop's
  // end-of-cycle redraw: the program does this at 60 Hz, tests when they want).
  void displayWindowsIfNeeded();

 private:
  friend class Window;
  uint32_t addWindow(Window& window);
  void removeWindow(Window& window);
  void orderWindowFront(Window& window);
  void orderWindowOut(Window& window);
  void setKeyWindow(Window* window);
  void setMainWindow(Window* window);
  // A window closed: the application may end after its last window.
  void windowClosed();
  // A window change for the trace ("window" lines).
  void note(const std::string& line) const;
  DesktopEvent makeEvent(DesktopEventType type, DesktopPoint screenPoint, const Window* window) const;
  void routeMouse(DesktopEventType type, DesktopPoint screenPoint, int32_t button);
  // The window still exists (pointers kept across events are checked first).
  bool isLive(const Window* window) const;
  void updateMouseInside(DesktopPoint screenPoint);
  // The view that takes a file drag at a screen point (the deepest view under
  // it that accepts file names, or one of its ancestors), with the drag's info.
  std::shared_ptr<View> dropTarget(DesktopPoint screenPoint, DraggingInfo& info) const;

  RunLoop& runLoop_;
  std::filesystem::path bundle_;
  DesktopInput* previousInput_ = nullptr;
  std::vector<ScreenFrame> screens_;
  std::vector<Window*> windows_;
  std::vector<Window*> order_;  // visible windows, front first, ignoring levels
  Window* keyWindow_ = nullptr;
  Window* mainWindow_ = nullptr;
  Window* mouseWindow_ = nullptr;    // took the current mouse down
  Window* insideWindow_ = nullptr;   // the mouse is inside its content area
  std::weak_ptr<View> dragView_;     // a file drag is over it
  DesktopPoint mouse_;
  uint32_t buttons_ = 0;
  uint32_t modifierFlags_ = 0;
  uint32_t nextWindowNumber_ = 1;
  bool active_ = false;
  bool hidden_ = false;
  bool terminated_ = false;
  ApplicationDelegate* delegate_ = nullptr;
};

}  // namespace kw
