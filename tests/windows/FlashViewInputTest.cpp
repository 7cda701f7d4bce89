// The movie view's input with the real stand-in plug-in: keys through the
// keyboard layout (Japanese script, dead keys), edit commands, focus and
// activation, window dragging by the movie, context menus, scroll and file drags.
#include "mac/platform/Menu.h"
#include "tests/windows/FlashViewFixture.h"

namespace kw::test {
namespace {

class FlashViewInputTest : public FlashViewFixture {
 protected:
  FlashViewInputTest() {
    makeView();
    EXPECT_EQ(load(), 0);
    received();  // the instance's start-up events
  }
  ~FlashViewInputTest() override { view.reset(); }  // before the input it reads

  static DesktopEvent key(DesktopEventType type, uint16_t code, std::string characters, uint32_t flags = 0) {
    DesktopEvent event;
    event.type = type;
    event.keyCode = code;
    event.charactersIgnoringModifiers = std::move(characters);
    event.modifierFlags = flags;
    return event;
  }
  DesktopEvent mouse(DesktopEventType type, DesktopPoint screen) const {
    DesktopEvent event;
    event.type = type;
    event.windowOrigin = window.frame().origin;
    event.locationInWindow = {screen.x - event.windowOrigin.x, screen.y - event.windowOrigin.y};
    return event;
  }

  SimDesktopInput input;  // the mouse, modifiers and keyboard layout the view reads
};

TEST_F(FlashViewInputTest, KeysGoThroughTheLayoutExceptUnderTheJapaneseScript) {
  std::vector<DesktopEvent> entering;
  assembly.notifications.addObserver("enteringText", [&](const std::any& object) {
    entering.push_back(std::any_cast<DesktopEvent>(object));
  });
  desktop.keyboardScript = kJapaneseScript;
  view->keyDown(key(DesktopEventType::KeyDown, 0, "a"));
  EXPECT_EQ(entering.size(), 1u);
  EXPECT_EQ(received(), Kinds{});
  view->keyDown(key(DesktopEventType::KeyDown, 123, "\xEF\x9C\x82"));  // left arrow: unchanged
  EXPECT_EQ(received(), (Kinds{{3, 0x7BEF}}));

  desktop.keyboardScript = kRomanScript;
  input.layout = makeSimAccentLayout();
  const auto downUp = [&](uint16_t keyCode, const char* characters, uint32_t flags) {
    view->keyDown(key(DesktopEventType::KeyDown, keyCode, characters, flags));
    view->keyUp(key(DesktopEventType::KeyUp, keyCode, characters, flags));
  };
  downUp(0, "a", 0);
  downUp(14, "e", kDesktopOption);  // the acute dead key types nothing
  downUp(14, "e", 0);               // the release did not spoil the composition: é
  EXPECT_EQ(received(), (Kinds{{3, 0x61}, {4, 0x61}, {3, 0}, {4, 0}, {3, 0xFFFFFFC3}, {4, 0xFFFFFFC3}}));

  // A key whose state reads 0x80000000 replaces the accent: delete, then the key.
  auto layout = std::make_shared<KeyboardLayout>();
  layout->unicode.emplace();
  layout->unicode->tables.resize(1);
  layout->unicode->tables[0][5] = {u"", 0x80000000};
  layout->unicode->deadStates[0x80000000] = {};
  input.layout = layout;
  view->keyDown(key(DesktopEventType::KeyDown, 5, "g"));
  EXPECT_EQ(received(), (Kinds{{3, 0x337F}, {4, 0x337F}, {3, 0}}));
}

TEST_F(FlashViewInputTest, EditCommandsFocusAndActivationBecomeEvents) {
  EXPECT_TRUE(view->cut());
  EXPECT_TRUE(view->selectAll());
  EXPECT_EQ(received(), (Kinds{{3, 'X'}, {3, 'A'}}));
  EXPECT_EQ(report().events.back().modifiers & 0x0100, 0x0100);

  view->becomeFirstResponder();
  view->becomeFirstResponder();
  view->resignFirstResponder();
  EXPECT_EQ(received(), (Kinds{{31, 0}, {32, 0}}));
  view->doWindowBecameKey();
  EXPECT_EQ(received(), (Kinds{{8, window.windowNumber()}}));
  EXPECT_EQ(view->eventToSend.modifiers & 0x0001, 0x0001);
  assembly.runLoop.runFor(0.005);
  EXPECT_EQ(received(), (Kinds{{0, 0}})) << "the fresh current-state event";
}

TEST_F(FlashViewInputTest, MovieDragsTheWindowWithoutNullEventsAndEndsWhereItStarted) {
  input.mouse = {150, 150};
  view->setDragging(true);
  view->mouseDown(mouse(DesktopEventType::LeftMouseDown, {150, 150}));
  EXPECT_EQ(received(), (Kinds{{1, 0}}));
  EXPECT_EQ(view->initialLocation, (DesktopPoint{50, 50}));
  input.mouse = {180, 130};
  view->mouseDragged(mouse(DesktopEventType::LeftMouseDragged, {180, 130}));
  EXPECT_EQ(window.frame().origin, (DesktopPoint{130, 80}));
  assembly.runLoop.runFor(0.1);
  EXPECT_EQ(received(), Kinds{});

  view->mouseUp(mouse(DesktopEventType::LeftMouseUp, {400, 400}));
  EXPECT_EQ(received(), (Kinds{{2, 0}}));
  EXPECT_EQ(view->eventToSend.where.h, 180);  // the start point, where the window now has it
  EXPECT_EQ(view->eventToSend.where.v, 900 - 130);
  EXPECT_FALSE(view->gDragging);
  EXPECT_TRUE(flashViewFlags().dragStartPending);
  assembly.runLoop.runFor(0.005);
  EXPECT_EQ(received(), (Kinds{{0, 0}}));
}

TEST_F(FlashViewInputTest, ContextMenuScrollAndFileDragsGoToTheMovieAsMessages) {
  view->rightMouseDown(mouse(DesktopEventType::RightMouseDown, {150, 150}));
  EXPECT_EQ(received(), (Kinds{{1, 0}}));
  EXPECT_EQ(view->eventToSend.modifiers & 0x1000, 0x1000);
  view->setMenu(std::make_shared<Menu>("Right Click Menu"));
  view->rightMouseDown(mouse(DesktopEventType::RightMouseDown, {150, 150}));
  view->rightMouseUp(mouse(DesktopEventType::RightMouseUp, {150, 150}));
  EXPECT_EQ(desktop.shownMenus, std::vector<std::string>{"Right Click Menu"});
  EXPECT_EQ(received(), Kinds{});

  DesktopEvent wheel;
  wheel.deltaY = -3;
  view->scrollWheel(wheel);
  EXPECT_EQ(view->draggingEntered({false, {}, {}}), kDragOperationNone);
  EXPECT_EQ(view->draggingEntered({true, {}, {}}), kDragOperationNone);
  EXPECT_EQ(view->draggingEntered({true, {"/tmp/a b,c"}, {}}), kDragOperationCopy);
  EXPECT_TRUE(view->performDragOperation({true, {"/x"}, {}}));
  view->draggingExited({});
  EXPECT_EQ(lines, (std::vector<std::string>{"ARRAY_OF_STRINGS=zWindow~!onScrollWheel~!!nm3r-3.000000",
                                             "ARRAY_OF_STRINGS=zWindow~!onDragFiles~!/tmp/a%20b%2Cc~!",
                                             "ARRAY_OF_STRINGS=zWindow~!onDropFiles~!/x~!",
                                             "ARRAY_OF_STRINGS=zWindow~!onDragLeave"}));
  EXPECT_EQ(received(), Kinds{});
}

}  // namespace
}  // namespace kw::test
