// The desktop model's geometry, ordering, key and main status, closing and
// input routing; scripted input: the errors of bad lines and playing a script.
#include <gtest/gtest.h>

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "mac/platform/Desktop.h"
#include "mac/platform/InputScript.h"
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
  void rightMouseDown(const DesktopEvent& e) override { add("right", e); }
  void mouseDragged(const DesktopEvent& e) override { add("drag", e); }
  void mouseUp(const DesktopEvent& e) override { add("up", e); }
  void keyDown(const DesktopEvent& e) override { add("key " + e.charactersIgnoringModifiers, e); }
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
  // "NAME WHAT X,Y", and the modifier flags when there are some.
  void add(const std::string& what, const DesktopEvent& e) {
    log_.push_back(name_ + " " + what + " " + std::to_string(static_cast<int>(e.locationInWindow.x)) + "," +
                   std::to_string(static_cast<int>(e.locationInWindow.y)) +
                   (e.modifierFlags != 0 ? " " + std::to_string(e.modifierFlags) : ""));
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
  EXPECT_EQ(log, (std::vector<std::string>{"button key a 300,300"}));  // where the mouse was
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

TEST(InputScript, BadLinesGiveTheirLineAndWhatIsWrong) {
  const struct {
    std::string script;
    std::string error;
  } cases[] = {
      {"0 move 1 2\n# ok\n1 jump 1 2", "line 3: unknown verb \"jump\""},
      {"-1 quit", "line 1: the time must be a number of seconds from 0 to 1000000 (or +SECONDS), not \"-1\""},
      {"inf quit", "line 1: the time must be a number of seconds from 0 to 1000000 (or +SECONDS), not \"inf\""},
      {"1e400 quit", "line 1: the time must be a number of seconds from 0 to 1000000 (or +SECONDS), not \"1e400\""},
      {"999999 quit\n+2 quit",
       "line 2: the time must be a number of seconds from 0 to 1000000 (or +SECONDS), not \"+2\""},
      {"0", "line 1: missing verb after the time"},
      {"0 \"quit\"", "line 1: unknown verb \"quit\""},
      {"0 move 1", "line 1: move: missing Y"},
      {"0 drag x 1", "line 1: drag: X must be a number from -1000000 to 1000000, not \"x\""},
      {"0 up 1 2000000", "line 1: up: Y must be a number from -1000000 to 1000000, not \"2000000\""},
      {"0 move 1 2 3", "line 1: move: unexpected \"3\""},
      {"0 down 1 2 middle", "line 1: down: the button must be left or right, not \"middle\""},
      {"0 key 65536 a", "line 1: key: CODE must be a whole number from 0 to 65535, not \"65536\""},
      {"0 key 1.5 a", "line 1: key: CODE must be a whole number from 0 to 65535, not \"1.5\""},
      {"0 key 3 a shift,hyper", "line 1: key: unknown modifier \"hyper\""},
      {"0 flags shift,", "line 1: flags: unknown modifier \"\""},
      {"0 edit undo", "line 1: edit: ACTION must be cut, copy, paste or selectAll, not \"undo\""},
      {"0 dropfiles 1 2", "line 1: dropfiles: missing PATH"},
      {"0 menu \"Play", "line 1: unterminated quoted text"},
      {"0 menu \"P\\q\"", "line 1: bad escape \\q in quoted text"},
      {"0 menu \"\\u{D800}\"", "line 1: bad \\u{HEX} escape in quoted text"},
      {"0 menu \"a\"b", "line 1: a space must follow quoted text"},
      {"0 quit\n0 menu " + std::string(4090, 'x'), "line 2: line too long (more than 4096 bytes)"},
  };
  for (const auto& c : cases) {
    const auto script = parseInputScript(c.script);
    ASSERT_FALSE(script.ok()) << c.script;
    EXPECT_EQ(script.error->describe(), c.error);
    EXPECT_TRUE(script.events.empty());
  }
  const auto missing = readInputScript("/nonexistent/input.txt");
  ASSERT_FALSE(missing.ok());
  EXPECT_EQ(missing.error->describe(), "cannot read the input script /nonexistent/input.txt");
}

TEST_F(DesktopTest, InputScriptPlaysEventsInTimeOrderWithGlobalPointsOnTheMainScreen) {
  // The main screen's bottom-left corner at (100, 50), 800 x 600: global
  // (60, 500) is screen (160, 150), 60 x 100 into the window's content.
  desktop.setScreens({{{100, 50}, 800, 600}});
  Window window(desktop, {{100, 50}, {300, 200}}, kTitledWindowMask | kClosableWindowMask);
  auto view = std::make_shared<LogView>(log, "v", DesktopRect{{0, 0}, {300, 200}}, true);
  window.setContentView(view);
  window.makeKeyAndOrderFront();
  window.makeFirstResponder(view.get());

  const auto script = parseInputScript(
      "# played in time order, not line order\r\n"
      "0.3 quit\n"
      "\n"
      "0.2 close   # the key window\r\n"
      "0.1 menu B\n"
      "0.1 down 60 500\n"
      "\t0.1\tmenu \"A b\"\n"
      "+0.05 key 7 \"x\\\"\\u{E9}\" option,shift\n"
      "0.05 down 10 590 right\n"
      "0.15 open /p.swf\n"
      "0.15 save \"/out file.txt\"\n"
      "0.15 save\n"
      "0.15 move 0 0\n");
  ASSERT_TRUE(script.ok()) << script.error->describe();
  const auto timers = scheduleInputScript(loop, desktop, script.events);
  EXPECT_EQ(timers.size(), 11u);

  loop.runFor(0.12);
  EXPECT_EQ(log, (std::vector<std::string>{"v right 10,10", "v down 60,100"}));
  EXPECT_EQ(desktop.menuChoices, (std::deque<std::optional<std::string>>{"B", "A b"}));
  loop.runFor(0.05);
  EXPECT_EQ(log.back(), "v key x\"\xC3\xA9 60,100 " + std::to_string(kDesktopOption | kDesktopShift));
  EXPECT_EQ(desktop.openPanelAnswers.front(), (std::vector<std::string>{"/p.swf"}));
  EXPECT_EQ(desktop.savePanelAnswers, (std::deque<std::optional<std::string>>{"/out file.txt", std::nullopt}));
  EXPECT_EQ(desktop.mouseLocation(), (DesktopPoint{100, 650}));
  EXPECT_FALSE(window.isClosed());
  loop.runFor(0.05);
  EXPECT_TRUE(window.isClosed());
  EXPECT_FALSE(desktop.terminated());
  loop.runFor(0.1);
  EXPECT_TRUE(desktop.terminated());
}

}  // namespace
}  // namespace kw
