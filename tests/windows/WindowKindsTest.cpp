// Window kinds, the two z-order tables, centring in a mask, and the native
// windows' two initialisers, right-button dragging and the alpha window's
// event forwarding.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "mac/platform/SystemLog.h"
#include "mac/platform/View.h"
#include "mac/windows/CustomWindow.h"
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

class NativeWindows : public test::AppFixture {};

TEST_F(NativeWindows, KindNamesGiveTheirStyles) {
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

TEST_F(NativeWindows, SettingsDriveTheFirstWindow) {
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

TEST_F(NativeWindows, FullScreenCoversTheScreenAtItsLevel) {
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

TEST_F(NativeWindows, RightButtonDragMovesTheWindowBelowTheScreenTop) {
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

TEST_F(NativeWindows, TheAlphaWindowHandsEveryEventToItsTarget) {
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

}  // namespace
}  // namespace kw
