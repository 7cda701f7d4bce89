// The text entry window under the Japanese script, driven by the sim desktop's
// keys on a started application: entries, commit rules, the paste into the movie.
#include <gtest/gtest.h>

#include "mac/app/Controller.h"
#include "mac/pluginhost/FlashPlugin.h"
#include "mac/windows/CustomWindow.h"
#include "mac/windows/FlashView.h"
#include "mac/windows/TextEntryWindow.h"
#include "tests/support/AppFixture.h"
#include "tools/standin/StandInReport.h"

namespace kw::test {
namespace {

class TextEntryWindowTest : public AppFixture {
 protected:
  TextEntryWindowTest() {
    TextEntryWindow::commitPending() = true;
    controller = std::make_unique<Controller>(services(), assembly.registry);
    controller->start();
    assembly.runLoop.runFor(0.1);
    code = LoadedCode::load(*Bundle::open(resources() / "fpb.plugin"));
    keysSeen();  // the start-up's events
    desktop.keyboardScript = kJapaneseScript;
  }
  ~TextEntryWindowTest() override { controller.reset(); }

  FlashWindow& flash() const { return *controller->flashWindow(); }
  // Keys by their characters (the text view reads nothing else).
  void type(std::initializer_list<const char*> keys) {
    for (const char* key : keys) {
      desktop.pressKey(0, key);
      desktop.releaseKey(0, key);
    }
  }
  // The key-downs the plug-in received since the last call, once the frame
  // timer delivered what the view queued ('^': with the command key).
  std::string keysSeen() {
    assembly.runLoop.runFor(0.1);
    const auto hook = reinterpret_cast<StandIn_ReportFuncPtr>(code->symbol("StandIn_Report"));
    const auto& events = hook(flash().plugin()->instance())->events;
    std::string keys;
    for (; seen < events.size(); ++seen) {
      if (events[seen].what != 3) continue;
      if ((events[seen].modifiers & 0x0100) != 0) keys += '^';
      keys += static_cast<char>(events[seen].message & 0xFF);
    }
    return keys;
  }
  bool focusIsBackOnTheMovie() const {
    return desktop.keyWindow() == flash().window() && flash().window()->firstResponder() == flash().view() &&
           !controller->textWindow()->window().isVisible();
  }

  std::unique_ptr<Controller> controller;
  std::unique_ptr<LoadedCode> code;
  size_t seen = 0;
};

TEST_F(TextEntryWindowTest, ReturnOrEnterCommitsTheCompositionAndPastesTheWholeTextOnce) {
  for (const char* end : {"\r", "\x03"}) {
    type({"k", "a", "\xE3\x81\x82"});
    ASSERT_NE(controller->textWindow(), nullptr);
    TextEntryWindow& entry = *controller->textWindow();
    EXPECT_EQ(desktop.keyWindow(), &entry.window());
    EXPECT_EQ(entry.textView().markedText(), "ka\xE3\x81\x82");
    type({end});
    EXPECT_EQ(desktop.generalPasteboard.string, "ka\xE3\x81\x82");
    EXPECT_EQ(entry.textView().string(), "");
    EXPECT_TRUE(focusIsBackOnTheMovie());
    EXPECT_EQ(keysSeen(), "^V");  // the typed keys never reached the plug-in; one paste did
  }
}

TEST_F(TextEntryWindowTest, EmptyEntriesAndEntriesOfAClosedWindowEndWithoutPasting) {
  desktop.generalPasteboard.string = "older";
  type({"x", "y", "\x7F", "\x08"});
  EXPECT_TRUE(controller->textWindow()->window().isVisible());
  type({"\x7F"});
  EXPECT_TRUE(focusIsBackOnTheMovie());
  // A Return that ends an empty entry pastes nothing either.
  type({"z", "\x7F", "\r"});
  EXPECT_TRUE(focusIsBackOnTheMovie());
  EXPECT_EQ(desktop.generalPasteboard.string, "older");
  EXPECT_EQ(keysSeen(), "");

  // An entry whose movie window went away ends without the paste.
  type({"q"});
  controller->closeThisWindow(controller->flashWindow());
  type({"\r"});
  EXPECT_FALSE(controller->textWindow()->window().isVisible());
  EXPECT_EQ(desktop.generalPasteboard.string, "q");
}

TEST_F(TextEntryWindowTest, WithoutCommitPendingEachReturnIsHandledOnce) {
  type({"a"});
  TextEntryWindow::commitPending() = false;
  type({"\r"});  // commits only
  TextEntryWindow& entry = *controller->textWindow();
  EXPECT_TRUE(entry.isEditing());
  EXPECT_EQ(entry.textView().markedText(), "");
  type({"\r"});  // ends
  EXPECT_EQ(desktop.generalPasteboard.string, "a");
  EXPECT_EQ(keysSeen(), "^V");
}

}  // namespace
}  // namespace kw::test
