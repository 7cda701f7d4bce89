// Window kinds, the two z-order tables and centring in a mask; the native
// windows' two initialisers, right-button dragging and the alpha window's event
// forwarding; projector windows: the first window from the settings, run-time
// windows and their placement, masks, alpha windows, closing and disposal.
#include <gtest/gtest.h>

#include <tuple>

#include "mac/platform/Menu.h"
#include "mac/platform/SystemLog.h"
#include "mac/windows/CustomWindow.h"
#include "mac/windows/FlashView.h"
#include "mac/windows/FlashWindow.h"
#include "mac/windows/MaskView.h"
#include "mac/windows/WindowKinds.h"
#include "tests/support/AppFixture.h"

namespace kw {
namespace {

const int32_t kNormal = windowLevelForKey(kNormalWindowLevelKey);
const int32_t kMainMenu = windowLevelForKey(kMainMenuWindowLevelKey);
const int32_t kStatus = windowLevelForKey(kStatusWindowLevelKey);
const int32_t kDesktopIcon = windowLevelForKey(kDesktopIconWindowLevelKey);

TEST(WindowKinds, KindNamesAreExact) {
  const std::vector<std::pair<std::optional<std::string_view>, int32_t>> cases = {
      {"standard", 0}, {"frame", 0},     {"rectangular", 1}, {"masked", 2},     {"flashShaped", 3},
      {"WINDOWLESS", 3}, {"fullscreen", 4}, {"RECTANGULAR", 0}, {"windowless", 0}, {"FullScreen", 0},
      {"FRAMELESS", 0}, {"", 0},         {std::nullopt, 0}};
  for (const auto& [kind, code] : cases) EXPECT_EQ(intWindowType(kind), code) << kind.value_or("(none)");
}

TEST(WindowKinds, TheTwoZOrderTablesDifferAndIgnoreCase) {
  struct Case {
    const char* name;
    std::optional<int32_t> atCreation, byCommand;
  };
  const Case cases[] = {
      {"BOTTOM", kDesktopIcon - 1, kDesktopIcon + 1}, {"bottom", kDesktopIcon - 1, kDesktopIcon + 1},
      {"BELOWITALL", std::nullopt, kDesktopIcon - 1}, {"STANDARD", kNormal, kNormal},
      {"normal", kNormal, std::nullopt},              {"NORMAL", kNormal, std::nullopt},
      {"Top", kMainMenu - 1, kMainMenu - 1},          {"aboveitall", kMainMenu + 1, kMainMenu + 1},
      {"done", std::nullopt, std::nullopt},           {"ABOVEITALL ", std::nullopt, std::nullopt},
      {"", std::nullopt, std::nullopt}};
  for (const Case& c : cases) {
    EXPECT_EQ(creationZOrderLevel(c.name), c.atCreation) << c.name;
    EXPECT_EQ(commandZOrderLevel(c.name), c.byCommand) << c.name;
  }
}

TEST(WindowKinds, CentringClipsToTheMaskAndHalvesTowardZero) {
  struct Case {
    QDRect movie, mask, expected;  // top, left, bottom, right
  };
  const Case cases[] = {
      {{0, 0, 100, 200}, {0, 0, 300, 400}, {100, 100, 200, 300}},   // smaller: centred
      {{0, 0, 3, 3}, {0, 0, 10, 11}, {4, 4, 7, 7}},                 // odd halves round down
      {{0, 0, 500, 600}, {10, 20, 110, 220}, {10, 20, 110, 220}},   // larger: clipped to the mask
      {{0, 0, 50, 50}, {10, 20, 110, 220}, {35, 95, 85, 145}},      // the mask's origin is added
      {{0, 0, 4, 4}, {0, 0, -5, -5}, {0, 0, -5, -5}},                // -5 / 2 is -2, not -3
  };
  for (const Case& c : cases) {
    const QDRect placed = centreInMask(c.movie, c.mask);
    EXPECT_EQ(placed, c.expected) << placed.top << " " << placed.left << " " << placed.bottom << " " << placed.right;
  }
}

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
    args.alpha = 50;
    return FlashWindow::withMovie(svc(), args);
  }

  Closer closer;
  std::vector<PluginWindow*> removed;
};

TEST_F(FlashWindows, KindNamesGiveTheirStyles) {
  const std::tuple<std::optional<std::string>, bool, uint32_t> cases[] = {
      {"FRAME", false, 7},      {"STANDARD", true, 15},   {"ABOUT", true, 19},       {"standard", false, 0},
      {"RECTANGULAR", true, 0}, {"FRAMELESS", false, 0}, {std::nullopt, false, 0}};
  for (const auto& [kind, resizeable, style] : cases) {
    const auto window = CustomWindow::withKind(desktop, {{10, 10}, {200, 100}}, kind, 40, resizeable, false);
    EXPECT_EQ(window->styleMask(), style) << kind.value_or("(none)");
    EXPECT_TRUE(window->alphaValue() == 0.4 && !window->isOpaque() && !window->hasShadow());
    EXPECT_EQ(window->backgroundColor(), RGBAColor::black());
  }
}

TEST_F(FlashWindows, SettingsDriveTheFirstWindow) {
  struct Case {
    PlistValue::Dictionary settings;
    uint32_t style;
    bool opaque;
    RGBAColor background;
    int32_t level;
    double alpha;
  };
  const RGBAColor plain = CustomWindow(desktop, {}, 0, false).backgroundColor();
  const auto integer = [](int64_t n) { return PlistValue::integer(n); };
  const Case cases[] = {
      {{}, 7, true, plain, kNormal, 0},
      {{{"chrome", integer(1)}, {"resizeable", integer(3)}, {"windowAlpha", integer(80)}}, 271, true, plain, kNormal, 0.8},
      {{{"windowType", integer(1)}, {"zOrder", PlistValue::string("aboveitall")}}, 0, true, RGBAColor::clear(),
       kMainMenu + 1, 0},
      {{{"windowType", PlistValue::string("3")}, {"windowAlpha", PlistValue::string("100")}}, 0, false,
       RGBAColor::black(), kNormal, 1},
  };
  for (const Case& c : cases) {
    writeSettings(c.settings);
    const auto window = CustomWindow::fromSettings(desktop, {{0, 0}, {300, 200}});
    ASSERT_TRUE(window);
    EXPECT_EQ(window->styleMask(), c.style);
    EXPECT_EQ(window->isOpaque(), c.opaque);
    EXPECT_EQ(window->backgroundColor(), c.background);
    EXPECT_EQ(window->level(), c.level);
    EXPECT_DOUBLE_EQ(window->alphaValue(), c.alpha);
    EXPECT_TRUE(window->hasShadow());
  }
}

TEST_F(FlashWindows, FullScreenCoversTheScreenAtItsLevel) {
  // shieldWindow, capture fails, level, logged
  const std::tuple<int, bool, int32_t, bool> cases[] = {
      {0, false, kStatus + 1, false}, {1, false, shieldingWindowLevel(), false}, {1, true, kStatus + 1, true}};
  for (const auto& [shield, fails, level, logged] : cases) {
    writeSettings({{"windowType", PlistValue::integer(4)}, {"shieldWindow", PlistValue::integer(shield)},
                   {"zOrder", PlistValue::string("BOTTOM")}});
    desktop.captureFails = fails;
    ScopedLogCapture log;
    const auto window = CustomWindow::fromSettings(desktop, {{0, 0}, {300, 200}});
    ASSERT_TRUE(window);
    EXPECT_EQ(window->level(), level);  // the z-order setting is left alone
    EXPECT_EQ(window->frame(), desktop.mainScreenFrame());
    EXPECT_TRUE(window->styleMask() == 0 && window->isKeyWindow());
    EXPECT_EQ(log.lines(), logged ? std::vector<std::string>{"Couldn't capture the main display!"}
                                  : std::vector<std::string>{});
  }
}

TEST_F(FlashWindows, RightButtonDragMovesTheWindowBelowTheScreenTop) {
  const auto window = CustomWindow::withKind(desktop, {{100, 100}, {200, 100}}, std::string("FRAME"), 100, false, true);
  window->orderFront();
  desktop.pressMouse({150, 150}, 1);
  desktop.dragMouse({200, 180});
  EXPECT_EQ(window->frame().origin, (DesktopPoint{150, 130}));
  desktop.dragMouse({200, 2000});
  EXPECT_EQ(window->frame().maxY(), desktop.mainScreenFrame().maxY());
  EXPECT_EQ(window->frame().origin.x, 150);
  desktop.releaseMouse({200, 2000});
}

class RecordingView : public View {
 public:
  void keyDown(const DesktopEvent& e) override { seen.push_back(e.charactersIgnoringModifiers); }
  void mouseDown(const DesktopEvent& e) override { seen.push_back(std::to_string(e.locationOnScreen().x)); }
  bool acceptsFirstResponder() const override { return true; }
  std::vector<std::string> seen;
};

TEST_F(FlashWindows, TheAlphaWindowHandsEveryEventToItsTarget) {
  writeSettings({{"zOrder", PlistValue::string("TOP")}});
  const auto target = CustomWindow::withKind(desktop, {{1100, 100}, {100, 100}}, std::nullopt, 0, false, false);
  auto view = std::make_shared<RecordingView>();
  target->setContentView(view);
  target->makeFirstResponder(view.get());
  const auto alpha = ShapedWindow::create(desktop, {{100, 100}, {100, 100}}, target.get(), std::string("FRAMELESS"),
                                          100, true, false);
  EXPECT_EQ(alpha->level(), kMainMenu - 1);
  EXPECT_EQ(alpha->backgroundColor(), RGBAColor::clear());
  alpha->orderFront();
  desktop.pressMouse({150, 150});
  desktop.releaseMouse({150, 150});
  desktop.pressKey(0, "a");
  // The click lands on the target at the same place in the window.
  EXPECT_EQ(view->seen, (std::vector<std::string>{std::to_string(1150.0), "a"}));
}

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
  EXPECT_EQ(first->view()->menu()->title(), "Right Click Menu");
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
    EXPECT_TRUE(w->window()->isMainWindow() && w->alphaWindow() == nullptr);
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
