// Projector windows: the first window from the settings, run-time windows and
// their placement, masks, alpha windows, the closing sequence and disposal.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "mac/platform/Menu.h"
#include "mac/platform/NotificationCenter.h"
#include "mac/platform/SystemLog.h"
#include "mac/platform/View.h"
#include "mac/windows/CustomWindow.h"
#include "mac/windows/FlashView.h"
#include "mac/windows/FlashWindow.h"
#include "mac/windows/MaskView.h"
#include "tests/support/AppFixture.h"

namespace kw {
namespace {

class FlashWindows : public test::AppFixture {
 protected:
  struct Closer : WindowCloser {
    void closeThisWindow(PluginWindow* window) override { closed.push_back(window); }
    std::vector<PluginWindow*> closed;
  };

  FlashWindows() {
    assembly.notifications.addObserver(notification::kRemoveWindowFromList, [this](const std::any& object) {
      removed.push_back(std::any_cast<PluginWindow*>(object));
    });
  }
  WindowServices svc() {
    WindowServices s = services();
    s.closer = &closer;
    return s;
  }
  std::string movie(const std::string& name, int32_t width, int32_t height) {
    test::writeFile(dir.path() / name, test::appMovie(width, height));
    return (dir.path() / name).string();
  }
  std::unique_ptr<FlashWindow> runTime(std::string kind, int32_t x = 30, int32_t y = 40) {
    FlashWindowArgs args;
    args.swf = movie("m.swf", 200, 150);
    args.x = x;
    args.y = y;
    args.type = std::move(kind);
    args.title = "T";
    args.alpha = 50;
    return FlashWindow::withMovie(svc(), args);
  }

  Closer closer;
  std::vector<PluginWindow*> removed;
};

TEST_F(FlashWindows, FirstWindowIsBuiltFromTheSettingsAndCentredOnlyAtFirstLaunch) {
  writeSettings({{"dropShadow", PlistValue::integer(1)}});
  const auto first = FlashWindow::firstWindow(svc());
  ASSERT_TRUE(first && first->view());
  CustomWindow& window = *first->window();
  EXPECT_EQ(window.contentRect().size, (DesktopSize{200, 150}));
  EXPECT_EQ(window.frame().origin, (DesktopPoint{620, 470}));  // centred on the visible screen
  EXPECT_EQ(window.firstResponder(), first->view());
  EXPECT_TRUE(window.isVisible() && window.isKeyWindow() && window.isMainWindow());
  EXPECT_TRUE(window.hasShadow());
  EXPECT_EQ(window.delegate(), first.get());
  EXPECT_EQ(first->view()->menu(), first->contextMenu());
  EXPECT_EQ(first->contextMenu()->title(), "Right Click Menu");
  EXPECT_NE(first->plugin(), nullptr);
  EXPECT_EQ(services().defaults->integerForKey("defaultsExist"), 1);

  writeSettings({});
  const auto again = FlashWindow::firstWindow(svc());
  ASSERT_TRUE(again);
  EXPECT_EQ(again->window()->frame().origin, (DesktopPoint{100, 550}));  // where the interface file put it
  EXPECT_FALSE(again->window()->hasShadow());
}

TEST_F(FlashWindows, FirstWindowWithoutItsMovieStaysAsLoaded) {
  std::filesystem::remove(resources() / "zvdata.zve");
  const auto first = FlashWindow::firstWindow(svc());
  ASSERT_TRUE(first);
  EXPECT_EQ(first->view(), nullptr);
  EXPECT_TRUE(first->window()->isVisible());
  writeSettings({{"windowType", PlistValue::integer(9)}});
  ScopedLogCapture log;
  EXPECT_FALSE(FlashWindow::firstWindow(svc()));
  EXPECT_EQ(log.lines(), std::vector<std::string>{"CustomWindow: the settings' window type 9 is not one of 0-4; no window is made"});
}

TEST_F(FlashWindows, TheMovieIsCentredInTheMaskOfTheSettings) {
  ASSERT_TRUE(Bitmap(301, 250).writePng(resources() / "shape.png"));
  writeSettings({{"mask", PlistValue::string("YES")}, {"maskName", PlistValue::string("shape.png")}});
  const auto first = FlashWindow::firstWindow(svc());
  ASSERT_TRUE(first && first->maskView() && first->view());
  EXPECT_EQ(first->window()->contentView(), first->maskView());
  EXPECT_EQ(first->window()->contentRect().size, (DesktopSize{301, 250}));
  EXPECT_EQ(first->view()->superview(), first->maskView());
  EXPECT_EQ(first->view()->frame(), (DesktopRect{{50, 50}, {200, 150}}));  // 301/2 - 200/2 = 50
}

TEST_F(FlashWindows, AWindowlessFirstWindowHidesBesideItsAlphaWindow) {
  desktop.savedFrames["AlphaWindowPosition"] = {{300, 200}, {200, 150}};
  writeSettings({{"windowType", PlistValue::integer(3)}, {"windowAlpha", PlistValue::integer(60)}});
  const auto first = FlashWindow::firstWindow(svc());
  ASSERT_TRUE(first && first->alphaWindow());
  ShapedWindow& alpha = *first->alphaWindow();
  CustomWindow& real = *first->window();
  EXPECT_EQ(alpha.frame().origin, (DesktopPoint{300, 200}));
  EXPECT_EQ(real.frame().origin, (DesktopPoint{1300, 200}));
  EXPECT_EQ(real.parentWindow(), &alpha);
  EXPECT_DOUBLE_EQ(real.alphaValue(), 0);
  EXPECT_DOUBLE_EQ(alpha.alphaValue(), 0.6);
  EXPECT_TRUE(first->view()->fWindowless);

  alpha.setFrameOrigin({10, 20});  // the real window moves with it ...
  EXPECT_EQ(desktop.savedFrames["AlphaWindowPosition"].origin, (DesktopPoint{10, 20}));
  real.setFrameOrigin({0, 0});  // ... and resync puts it back when it strayed
  first->resyncWindow();
  EXPECT_EQ(real.frame().origin, (DesktopPoint{1010, 20}));
}

TEST_F(FlashWindows, RunTimeWindowsPutTheirContentAtTheGlobalPoint) {
  for (const std::string kind : {"FRAME", "ABOUT", "rectangular", "RECTANGULAR", "fullscreen"}) {
    const auto w = runTime(kind, 30, 40);
    ASSERT_TRUE(w && w->view()) << kind;
    // Global (30, 40) is 40 points below the top of the 900-point screen.
    EXPECT_EQ(w->window()->contentRect(), (DesktopRect{{30, 900 - 40 - 150}, {200, 150}})) << kind;
    EXPECT_EQ(w->window()->isPanel(), kind == "ABOUT");
    EXPECT_EQ(w->window()->title(), "T");
    EXPECT_TRUE(w->window()->isMainWindow());
    EXPECT_EQ(w->alphaWindow(), nullptr);
  }
  const auto windowless = runTime("WINDOWLESS", 30, 40);
  ASSERT_TRUE(windowless->alphaWindow());
  EXPECT_EQ(windowless->alphaWindow()->frame(), (DesktopRect{{30, 710}, {200, 150}}));
  EXPECT_EQ(windowless->window()->frame().origin, (DesktopPoint{1030, 710}));
  EXPECT_DOUBLE_EQ(windowless->alphaWindow()->alphaValue(), 0.5);
  EXPECT_DOUBLE_EQ(windowless->window()->alphaValue(), 0);

  FlashWindowArgs none;
  EXPECT_FALSE(FlashWindow::withMovie(svc(), none));
  none.swf = "";
  EXPECT_FALSE(FlashWindow::withMovie(svc(), none));
}

TEST_F(FlashWindows, OnlyRectangularWindowsTakeAMaskFromBesideTheMovie) {
  ASSERT_TRUE(Bitmap(240, 180).writePng(dir.path() / "mask.png"));
  FlashWindowArgs args;
  args.swf = movie("m.swf", 200, 150);
  args.maskName = "mask.png";
  for (const auto& [kind, masked] : {std::pair{"RECTANGULAR", true}, {"rectangular", false}, {"FRAME", false}}) {
    args.type = kind;
    const auto w = FlashWindow::withMovie(svc(), args);
    EXPECT_EQ(w->maskView() != nullptr, masked) << kind;
    EXPECT_EQ(w->window()->contentRect().size, (masked ? DesktopSize{240, 180} : DesktopSize{200, 150})) << kind;
  }
  args.type = "RECTANGULAR";
  args.maskName = "missing.png";
  EXPECT_EQ(FlashWindow::withMovie(svc(), args)->maskView(), nullptr);
}

TEST_F(FlashWindows, ClosingClosesOwnedChildrenFirstAndIsReleasedLater) {
  auto parent = runTime("FRAME");
  parent->window()->setLevel(7);
  FlashWindowArgs childArgs;
  childArgs.swf = movie("c.swf", 100, 100);
  childArgs.parent = parent->window();
  childArgs.ownedByParent = true;
  auto first = FlashWindow::withMovie(svc(), childArgs), second = FlashWindow::withMovie(svc(), childArgs);
  EXPECT_EQ(second->window()->level(), 7);
  parent->window()->addChildToList(first.get());
  parent->window()->addChildToList(second.get());
  first->window()->performClose();  // a child leaves its parent
  EXPECT_EQ(parent->window()->childWindowList, std::vector<FlashWindow*>{second.get()});

  parent->window()->performClose();
  EXPECT_FALSE(parent->window()->isClosed());  // never closed by the window system
  const std::vector<PluginWindow*> order{first.get(), second.get(), parent.get()};
  EXPECT_EQ(removed, order);
  EXPECT_TRUE(parent->window()->childWindowList.empty());
  assembly.runLoop.runFor(0.099);
  EXPECT_TRUE(closer.closed.empty());
  assembly.runLoop.runFor(0.002);
  EXPECT_EQ(closer.closed, order);
  parent->window()->performClose();  // a second request changes nothing
  assembly.runLoop.runFor(1);
  EXPECT_EQ(removed, order);
  EXPECT_EQ(closer.closed, order);

  // The parent may be released before its children: nothing reaches back to it.
  parent.reset();
  first.reset();
  second.reset();
}

TEST_F(FlashWindows, DisposalClosesTheNativeWindowOnce) {
  auto closedFirst = runTime("FRAME");
  auto plain = runTime("FRAME");
  PluginWindow* closedPointer = closedFirst.get();
  ScopedLogCapture log;
  closedFirst->close();
  EXPECT_TRUE(closedFirst->window()->isClosed());
  closedFirst.reset();
  EXPECT_EQ(log.lines(), std::vector<std::string>{"*** Already Closed this window once ***"});
  EXPECT_EQ(removed, std::vector<PluginWindow*>{closedPointer});
  plain->window()->performClose();
  plain.reset();
  EXPECT_EQ(log.lines().size(), 1u);
  EXPECT_TRUE(desktop.windows().empty());
  assembly.runLoop.runFor(1);
  EXPECT_TRUE(closer.closed.empty());  // a released window's delayed close is cancelled
}

}  // namespace
}  // namespace kw
