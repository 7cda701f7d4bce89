// Scripted input: the errors bad lines give (with their line numbers), and
// playing a script's events on the desktop in time order.
#include "mac/platform/InputScript.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mac/platform/Desktop.h"
#include "mac/platform/RunLoop.h"
#include "mac/platform/View.h"
#include "mac/platform/Window.h"

namespace kw {
namespace {

TEST(InputScriptTest, BadLinesGiveTheirLineAndWhatIsWrong) {
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

class ClickView : public View {
 public:
  ClickView(std::vector<std::string>& log, DesktopRect frame) : View(frame), log_(log) {}
  void mouseDown(const DesktopEvent& e) override { add("down", e); }
  void rightMouseDown(const DesktopEvent& e) override { add("right", e); }
  void keyDown(const DesktopEvent& e) override { add(e.charactersIgnoringModifiers, e); }
  bool acceptsFirstResponder() const override { return true; }
  bool acceptsFirstMouse(const DesktopEvent*) override { return true; }

 private:
  void add(const std::string& what, const DesktopEvent& e) {
    log_.push_back(what + " " + std::to_string(static_cast<int>(e.locationInWindow.x)) + "," +
                   std::to_string(static_cast<int>(e.locationInWindow.y)) + " " + std::to_string(e.modifierFlags));
  }
  std::vector<std::string>& log_;
};

TEST(InputScriptTest, PlaysEventsInTimeOrderWithGlobalPointsOnTheMainScreen) {
  RunLoop loop(RunLoop::ClockKind::Virtual);
  Desktop desktop(loop);
  // The main screen's bottom-left corner at (100, 50), 800 x 600: global
  // (60, 500) is screen (160, 150), 60 x 100 into the window's content.
  desktop.setScreens({{{100, 50}, 800, 600}});
  std::vector<std::string> log;
  Window window(desktop, {{100, 50}, {300, 200}}, kTitledWindowMask | kClosableWindowMask);
  auto view = std::make_shared<ClickView>(log, DesktopRect{{0, 0}, {300, 200}});
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
      "0.15 move 0 0\n");
  ASSERT_TRUE(script.ok()) << script.error->describe();
  const auto timers = scheduleInputScript(loop, desktop, script.events);
  EXPECT_EQ(timers.size(), 9u);

  loop.runFor(0.12);
  EXPECT_EQ(log, (std::vector<std::string>{"right 10,10 0", "down 60,100 0"}));
  EXPECT_EQ(desktop.menuChoices, (std::deque<std::optional<std::string>>{"B", "A b"}));
  loop.runFor(0.05);
  EXPECT_EQ(log.back(), "x\"\xC3\xA9 60,100 " + std::to_string(kDesktopOption | kDesktopShift));
  EXPECT_EQ(desktop.openPanelAnswers.front(), (std::vector<std::string>{"/p.swf"}));
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
