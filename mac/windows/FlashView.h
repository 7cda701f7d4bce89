// The view that hosts one plug-in instance in a projector window: loads the
// movie into a new instance, drives it with a frame timer (one event per
// tick), turns desktop input into plug-in events, tells the movie about window
// and application changes, and shows what the plug-in draws (directly, or for
// windowless movies through an off-screen copy with reconstructed alpha).
#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Lib_Sources/queue/Queue.h"
#include "mac/platform/Bitmap.h"
#include "mac/platform/Bundle.h"
#include "mac/platform/QuickDraw.h"
#include "mac/platform/RunLoop.h"
#include "mac/platform/View.h"
#include "mac/npapi/npapi.h"
#include "mac/pluginhost/Status.h"
#include "mac/windows/WindowServices.h"

namespace kw {

class FlashPlugin;
class PluginWindow;
class KW_Commands;
class MaskView;
class Window;
class windowLessFlashView;
struct CocoaInterfaceData;

class FlashView : public View {
 public:
  // initWithFrame: (mask: initWithMask:frame:). Loads the plug-in bundle;
  // without one the user is told and the application terminates (the view
  // then stays without a plug-in).
  FlashView(WindowServices services, const DesktopRect& frame, MaskView* mask = nullptr);
  ~FlashView() override;

  // loadMovie:parent:myFlashWindow:windowType:parameter: (the owning window
  // is the instance's window: its processOneEvent: and invalidateRect: reach
  // back here through the projector window).
  Status loadMovie(const std::optional<std::filesystem::path>& moviePath, FlashPlugin* parent,
                   PluginWindow* flashWindow, int32_t windowType, const std::optional<std::string>& parameter);
  void setTargetWindow(Window* target, windowLessFlashView* imageView);
  void setWindowless(bool windowless) { fWindowless = windowless; }
  void setParent(FlashPlugin* parent);

  FlashPlugin* plugin() const { return myPlugin.get(); }
  KW_Commands* commandHandler() const { return kwCommandHandler.get(); }
  Window* targetWindow() const { return targetWindow_; }
  GrafPort& port() { return port_; }
  // The native window the command being run acts on: the target window, and
  // during the alpha-mode resize first the alpha window, then the view's own
  // window. The command families reach it through the record's window (the
  // projector window) and its view.
  Window* commandTargetWindow() const { return commandWindow_ != nullptr ? commandWindow_ : targetWindow_; }
  // The port follows the view's size.
  void setFrame(const DesktopRect& frame) override;

  // Timer and delivery.
  void changeTimer();
  void stopTimer();
  void processEvent();                       // one tick
  void processOneEvent(CocoaInterfaceData& record);
  void sendEventToFlash(const std::string& message);
  void getCarbonEvent(EventRecord& event) const;
  void sendUpdateEvent();
  void sendActivateEvent(bool activate);
  void setHasFocus(bool focus);
  double timerInterval() const;              // the period of the running timer, 0 without one

  // Input.
  void mouseDown(const DesktopEvent& event) override;
  void mouseUp(const DesktopEvent& event) override;
  void mouseDragged(const DesktopEvent& event) override;
  void mouseEntered(const DesktopEvent& event) override;
  void mouseExited(const DesktopEvent& event) override;
  void rightMouseDown(const DesktopEvent& event) override;
  void rightMouseUp(const DesktopEvent& event) override;
  void scrollWheel(const DesktopEvent& event) override;
  void keyDown(const DesktopEvent& event) override;
  void keyUp(const DesktopEvent& event) override;
  bool cut() override;
  bool copy() override;
  bool paste() override;
  bool selectAll() override;
  bool acceptsFirstMouse(const DesktopEvent* event) override;
  void setAcceptedFirstMouse(bool accepted) { acceptedFirstMouse = accepted; }
  void setDragging(bool dragging) { gDragging = dragging; }
  void dragWindowFromFlash(const DesktopEvent& event);
  void dragAWindow(const DesktopEvent& event);
  DragOperation draggingEntered(const DraggingInfo& info) override;
  void draggingExited(const DraggingInfo& info) override;
  bool prepareForDragOperation(const DraggingInfo& info) override { (void)info; return true; }
  bool performDragOperation(const DraggingInfo& info) override;

  // Responder answers.
  bool acceptsFirstResponder() const override { return true; }
  bool becomeFirstResponder() override;
  bool resignFirstResponder() override;
  bool isOpaque() const override { return false; }

  // Window and application events.
  void doWindowBecameMain();
  void doWindowResignedMain();
  void doWindowBecameKey();
  void doWindowResignedKey();
  void doApplicationIsActivating();
  void doApplicationIsDeactivating();
  void doWindowisMiniaturizing();
  void doWindowisDeminiaturizing();
  void doWindowisClosing();
  void sendCloseMessageToFlash();
  void sendQuitEventToFlash();
  void doApplicationIsTerminating();

  // Window actions.
  void zMinimize();
  void zOrderDesktop();
  void zOrderNormal();
  void zOrderOnTop();
  void print();
  // Open-file sheet for movies ("swf"); the chosen path goes to fgFilePath.
  void chooseAFile();
  // The movie's background colour from its header into fBackgroundColor and its bytes.
  void getFlashBackgroundColor(const std::filesystem::path& movie);

  // Drawing (the rendering side).
  void drawRect(DrawContext& context, const DesktopRect& dirtyRect) override;
  bool blitFlash();
  void updateWindowWithBlackBackground();
  void updateWindowWithWhiteBackground();
  void setFlashSize(const std::optional<std::string>& sizeText);
  void maskRect(const DesktopRect& frame) { maskFrame = frame; }
  void invalidateRect(const NPRect& rect);

  // State, named as the design names it (read by tests and the window).
  bool gDragging = false;
  bool acceptedFirstMouse = false;
  bool fgQuitting = false;
  bool fWindowless = false;
  bool fStopSendingNullEvents = false;
  bool hasFocus = false;
  bool fIsMiniaturized = false;
  bool fSentQuitEvent = false;
  double fFrameRate = 0;
  uint32_t fBackgroundColor = 0;
  uint8_t redByte = 0, greenByte = 0, blueByte = 0;
  DesktopRect maskFrame;
  DesktopSize currentSize;
  MaskView* maskView = nullptr;
  windowLessFlashView* alphaImageView = nullptr;
  std::shared_ptr<Image> flashImage, flashImage1;
  bool flashImageWasSet = false;
  bool fChangeFrame = false;
  uint32_t* testPixel = nullptr;
  uint16_t rowBytes = 0;
  std::shared_ptr<Bitmap> bitmap;  // the off-screen world draws into its memory; both images show it
  uint32_t current_time = 0, last_time = 0;
  bool firstDraw = false;
  EventRecord globalEvent{};
  EventRecord eventToSend{};
  QDPoint fSavedMousePos;
  DesktopPoint initialLocation;
  std::filesystem::path path;  // the plug-in bundle
  std::time_t lastModifiedDate = 0;  // of the plug-in bundle
  std::string fgFilePath;      // chooseAFile's answer

 private:
  void queueEvent(const EventRecord& event);   // append and run a tick
  // An instance that was started and still reads 'Sane'.
  bool pluginIsLive() const;
  // Sends an event in its two encodings, the list form first or last.
  void sendBoth(const std::optional<std::string>& list, const std::optional<std::string>& xml, bool listFirst);
  // Hands one event to the instance, keeping it alive for the length of the call.
  void deliver(EventRecord& event);
  // Posts "removeNsPluginFromList" (when asked) and destroys the instance, after
  // the plug-in call under way if there is one.
  void releasePlugin(bool unregister);
  void cancelTimer();
  // The alpha-mode buffers (bitmap, off-screen world, images, marker) go; the next copy remakes them.
  void dropAlphaBuffers();
  // Runs a record through the command handler with the given native window as target.
  void runCommand(CocoaInterfaceData& record, Window* target);
  void startWindowDrag(const DesktopEvent& event);
  void moveTargetWindowWithMouse();
  void handleKey(const DesktopEvent& event, bool down);
  void editCommand(const char* character);
  // Port coordinates (top-left origin, v downward) of the view and global points.
  QDPoint localToGlobal(QDPoint local) const;
  QDPoint localMouse() const;
  QDPoint globalMouse() const;
  uint16_t currentModifiers() const;
  windowLessFlashView* imageView() const;
  static void showPluginMissing(WindowServices& services);

  WindowServices services_;
  GrafPort port_;
  std::unique_ptr<LoadedCode> pluginCode_;
  std::unique_ptr<FlashPlugin> myPlugin;
  std::unique_ptr<KW_Commands> kwCommandHandler;
  std::unique_ptr<Queue> myEventQueue;
  Window* targetWindow_ = nullptr;
  PluginWindow* flashWindow_ = nullptr;
  RunLoop::TimerId myTimer = 0;
  double timerInterval_ = 0;
  QDPoint lastMouse_;  // the last polled global mouse position
  bool started_ = false;            // the instance's initialisation succeeded
  int delivering_ = 0;              // plug-in calls under way
  std::vector<std::unique_ptr<FlashPlugin>> retired_;  // released during a plug-in call: destroyed after it
  uint8_t quitByte_ = 0;            // the instance's quit byte, set by the quit command
  Window* commandWindow_ = nullptr;
  std::weak_ptr<View> imageViewRef_;  // the image view when shared ownership guards it
  bool imageViewShared_ = false;
  // What each key's down reported, for its key-up (key code -> message).
  std::map<uint16_t, uint32_t> keyMessages_;
};

// The process-wide flags all views share.
struct FlashViewFlags {
  bool dragStartPending = true;
  bool skipNextAlphaImage = true;
  bool frameObserverPending = true;
};
FlashViewFlags& flashViewFlags();

}  // namespace kw
