// The desktop model's geometry, ordering, key and main status, closing and
// input routing.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "mac/platform/Desktop.h"
#include "mac/platform/RunLoop.h"
#include "mac/platform/View.h"
#include "mac/platform/Window.h"

namespace kw {
namespace {

// Records what it receives.
class LogView : public View {
 public:
  LogView(std::vector<std::string>& log, std::string name, DesktopRect frame, bool firstMouse = false)
      : View(frame), log_(log), name_(std::move(name)), firstMouse_(firstMouse) {}
  void mouseDown(const DesktopEvent& e) override { add("down", e); }
  void mouseDragged(const DesktopEvent& e) override { add("drag", e); }
  void mouseUp(const DesktopEvent& e) override { add("up", e); }
  void keyDown(const DesktopEvent& e) override { log_.push_back(name_ + " key " + e.charactersIgnoringModifiers); }
  bool acceptsFirstResponder() const override { return true; }
  bool acceptsFirstMouse(const DesktopEvent*) override { return firstMouse_; }
  DragOperation draggingEntered(const DraggingInfo& info) override {
    log_.push_back(name_ + " enter " + std::to_string(info.fileNames.size()));
    return kDragOperationCopy;
  }
  bool prepareForDragOperation(const DraggingInfo&) override { return true; }
  bool performDragOperation(const DraggingInfo& info) override {
    log_.push_back(name_ + " drop " + info.fileNames.front());
    return true;
  }

 private:
  void add(const char* what, const DesktopEvent& e) {
    log_.push_back(name_ + " " + what + " " + std::to_string(static_cast<int>(e.locationInWindow.x)) + "," +
                   std::to_string(static_cast<int>(e.locationInWindow.y)));
  }
  std::vector<std::string>& log_;
  std::string name_;
  bool firstMouse_;
};

class Delegate : public WindowDelegate, public ApplicationDelegate {
 public:
  explicit Delegate(std::vector<std::string>& log) : log_(log) {}
  void windowDidBecomeKey(Window& w) override { log_.push_back("key " + std::to_string(w.windowNumber())); }
  void windowDidResignKey(Window& w) override { log_.push_back("unkey " + std::to_string(w.windowNumber())); }
  void windowDidBecomeMain(Window& w) override { log_.push_back("main " + std::to_string(w.windowNumber())); }
  bool windowShouldClose(Window&) override { return allowClose; }
  bool applicationShouldTerminateAfterLastWindowClosed() override { return true; }
  void applicationWillTerminate() override { log_.push_back("terminate"); }
  bool allowClose = true;

 private:
  std::vector<std::string>& log_;
};

class DesktopTest : public ::testing::Test {
 protected:
  RunLoop loop{RunLoop::ClockKind::Virtual};
  Desktop desktop{loop};
  std::vector<std::string> log;
  Delegate delegate{log};
};

TEST_F(DesktopTest, TitledFramesAddTheTitleBarAndResizingKeepsTheTopLeft) {
  Window titled(desktop, {{100, 200}, {300, 150}}, kTitledWindowMask | kClosableWindowMask);
  EXPECT_EQ(titled.frame(), (DesktopRect{{100, 200}, {300, 172}}));
  EXPECT_EQ(titled.contentRect(), (DesktopRect{{100, 200}, {300, 150}}));
  titled.setContentSize({400, 100});
  EXPECT_EQ(titled.frame(), (DesktopRect{{100, 250}, {400, 122}}));
  titled.setFrameTopLeftPoint({10, 800});
  EXPECT_EQ(titled.frame().maxY(), 800);

  Window borderless(desktop, {{0, 0}, {300, 150}}, kBorderlessWindowMask);
  EXPECT_EQ(borderless.frame(), borderless.contentRect());
  EXPECT_FALSE(borderless.canBecomeKeyWindow());
  // Centred: a third of the free height above, two thirds below, under the menu bar.
  borderless.center();
  EXPECT_EQ(borderless.frame().origin, (DesktopPoint{570, 485}));
}

TEST_F(DesktopTest, ChildrenMoveWithTheirParentAndStayAboveIt) {
  Window parent(desktop, {{0, 0}, {100, 100}}, kTitledWindowMask);
  Window child(desktop, {{50, 50}, {20, 20}}, kTitledWindowMask);
  Window other(desktop, {{0, 0}, {100, 100}}, kTitledWindowMask);
  parent.orderFront();
  parent.addChildWindow(child);
  other.orderFront();
  parent.orderFront();
  EXPECT_EQ(desktop.orderedWindows(), (std::vector<Window*>{&child, &parent, &other}));
  parent.setFrameOrigin({10, 5});
  EXPECT_EQ(child.frame().origin, (DesktopPoint{60, 55}));
  // Levels come before recency.
  other.setLevel(windowLevelForKey(kStatusWindowLevelKey));
  EXPECT_EQ(desktop.orderedWindows().front(), &other);
  parent.orderOut();
  EXPECT_FALSE(child.isVisible());
}

TEST_F(DesktopTest, KeyAndMainMoveWithDelegateCallsAndTheLastCloseEndsTheApplication) {
  desktop.setDelegate(&delegate);
  auto first = std::make_unique<Window>(desktop, DesktopRect{{0, 0}, {100, 100}}, kTitledWindowMask);
  Window second(desktop, {{200, 0}, {100, 100}}, kTitledWindowMask);
  first->setDelegate(&delegate);
  second.setDelegate(&delegate);
  first->makeKeyAndOrderFront();
  second.makeKeyAndOrderFront();
  second.makeMainWindow();
  EXPECT_EQ(log, (std::vector<std::string>{"key 1", "unkey 1", "key 2", "main 2"}));

  log.clear();
  delegate.allowClose = false;
  second.performClose();
  EXPECT_FALSE(second.isClosed());
  delegate.allowClose = true;
  second.performClose();
  EXPECT_EQ(desktop.keyWindow(), first.get());  // the next window in line takes over
  first->close();
  EXPECT_EQ(log, (std::vector<std::string>{"unkey 2", "key 1", "main 1", "unkey 1"}));
  first.reset();
  loop.runFor(0.01);  // termination follows the closing event, not inside it
  EXPECT_TRUE(desktop.terminated());
  EXPECT_EQ(log.back(), "terminate");
}

TEST_F(DesktopTest, MouseGoesToTheViewUnderItAndStaysWithItUntilReleased) {
  Window window(desktop, {{100, 100}, {200, 100}}, kTitledWindowMask);
  auto content = std::make_shared<LogView>(log, "content", DesktopRect{});
  auto button = std::make_shared<LogView>(log, "button", DesktopRect{{10, 10}, {20, 20}}, true);
  window.setContentView(content);
  content->addSubview(button);
  window.orderFront();

  // An inactive window's first click (down to up) reaches only views that take the first mouse.
  desktop.pressMouse({150, 150});
  desktop.releaseMouse({150, 150});
  desktop.pressMouse({115, 115});
  desktop.dragMouse({250, 190});
  desktop.releaseMouse({400, 400});
  EXPECT_TRUE(window.isKeyWindow());
  EXPECT_TRUE(desktop.isActive());
  EXPECT_EQ(log, (std::vector<std::string>{"button down 15,15", "button drag 150,90",
                                           "button up 300,300"}));

  log.clear();
  window.makeFirstResponder(button.get());
  desktop.pressKey(0, "a");
  desktop.pressMouse({5, 5});  // over no window
  EXPECT_EQ(log, (std::vector<std::string>{"button key a"}));
}

TEST_F(DesktopTest, FileDragsReachTheViewThatTakesThem) {
  Window window(desktop, {{0, 0}, {200, 100}}, kBorderlessWindowMask);
  auto content = std::make_shared<LogView>(log, "content", DesktopRect{});
  window.setContentView(content);
  window.orderFront();
  EXPECT_EQ(desktop.dragFilesOver({10, 10}, {"/tmp/a"}), kDragOperationNone);
  content->registerForDraggedFileNames();
  EXPECT_EQ(desktop.dragFilesOver({10, 10}, {"/tmp/a", "/tmp/b"}), kDragOperationCopy);
  EXPECT_TRUE(desktop.dropFiles({10, 10}));
  EXPECT_FALSE(desktop.dropFiles({500, 500}));
  EXPECT_EQ(log, (std::vector<std::string>{"content enter 2", "content drop /tmp/a"}));
}

}  // namespace
}  // namespace kw
