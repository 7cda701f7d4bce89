// The screen picture (order by level, alpha, title bar, shadow, menu bar) and
// the scripted context menus, print operations and open panels.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "mac/platform/Desktop.h"
#include "mac/platform/Menu.h"
#include "mac/platform/RunLoop.h"
#include "mac/platform/View.h"
#include "mac/platform/Window.h"

namespace kw {
namespace {

using Pixel = std::array<int, 4>;

Pixel at(const Bitmap& bitmap, int32_t x, int32_t y) {
  const uint8_t* p = bitmap.pixel(x, y);
  return {p[0], p[1], p[2], p[3]};
}

bool darker(const Pixel& a, const Pixel& b) { return a[0] < b[0] && a[1] < b[1] && a[2] < b[2]; }

const Pixel kRed{255, 0, 0, 255};
const Pixel kWhite{255, 255, 255, 255};
const Pixel kTitleBar{219, 219, 219, 255};

class RenderingTest : public ::testing::Test {
 protected:
  // An opaque borderless window without shadow, on screen and drawn.
  std::unique_ptr<Window> plain(DesktopRect content, RGBAColor color, int32_t level = 0) {
    auto window = std::make_unique<Window>(desktop, content, kBorderlessWindowMask);
    window->setBackgroundColor(color);
    window->setHasShadow(false);
    window->setLevel(level);
    window->orderFront();
    window->display();
    return window;
  }

  RunLoop loop{RunLoop::ClockKind::Virtual};
  Desktop desktop{loop};
};

TEST_F(RenderingTest, WindowsAreDrawnBackToFrontByLevelAtTheirAlpha) {
  // Raster rows are 900 - y: a covers columns 100..199, rows 300..399; b
  // columns 150..249, rows 350..449.
  auto b = plain({{150, 450}, {100, 100}}, {0, 0, 1, 1}, 3);
  auto a = plain({{100, 500}, {100, 100}}, {1, 0, 0, 1});
  b->setAlphaValue(0.5);
  const Pixel desktopColour = at(desktop.renderScreen(), 5, 895);

  Bitmap screen = desktop.renderScreen();
  EXPECT_EQ(at(screen, 120, 320), kRed);
  // b is in front (higher level, although a was ordered front later), at
  // half alpha: 255 * 127/255 red left, 128 blue.
  EXPECT_EQ(at(screen, 175, 375), (Pixel{127, 0, 128, 255}));
  EXPECT_EQ(at(screen, 99, 320), desktopColour);

  a->setLevel(5);
  EXPECT_EQ(at(desktop.renderScreen(), 175, 375), kRed);
  a->miniaturize();
  screen = desktop.renderScreen();
  EXPECT_EQ(at(screen, 120, 320), desktopColour);
  EXPECT_EQ(at(screen, 175, 375), at(screen, 225, 425));  // b over the desktop only
}

TEST_F(RenderingTest, TitleBarShadowAndMenuBarGeometry) {
  // Content 200 x 100 at (200, 300): the frame's top is y 422, raster row 478;
  // rows 478..499 are the title bar, 500..599 the content.
  Window titled(desktop, {{200, 300}, {200, 100}}, kTitledWindowMask);
  titled.setTitle("Hi");
  titled.setBackgroundColor(RGBAColor::white());
  titled.orderFront();
  titled.display();
  const Bitmap screen = desktop.renderScreen();
  const Pixel desktopColour = at(screen, 700, 700);
  EXPECT_EQ(at(screen, 205, 477), desktopColour);
  EXPECT_EQ(at(screen, 205, 478), kTitleBar);
  EXPECT_TRUE(darker(at(screen, 205, 499), kTitleBar));  // the bar's bottom edge
  EXPECT_EQ(at(screen, 205, 500), kWhite);

  // The title is centred: two glyphs of gd's 7 x 13 font.
  int32_t inkLeft = 400, inkRight = 0;
  for (int32_t y = 478; y < 499; ++y) {
    for (int32_t x = 200; x < 400; ++x) {
      if (darker(at(screen, x, y), kTitleBar)) inkLeft = std::min(inkLeft, x), inkRight = std::max(inkRight, x);
    }
  }
  // Glyph cells 293..306; the last column of 'i' is blank.
  EXPECT_EQ(inkLeft, 293);
  EXPECT_EQ(inkRight, 305);

  // The shadow falls 4 pixels right and down, translucent.
  EXPECT_TRUE(darker(at(screen, 402, 550), desktopColour));
  EXPECT_TRUE(darker(at(screen, 300, 603), desktopColour));
  EXPECT_EQ(at(screen, 404, 550), desktopColour);
  EXPECT_EQ(at(screen, 300, 604), desktopColour);
  EXPECT_EQ(at(screen, 201, 602), desktopColour);  // nothing left of the offset

  // The menu bar covers rows 0..21 over normal windows, under higher levels.
  auto corner = plain({{0, 850}, {50, 50}}, {1, 0, 0, 1});
  EXPECT_EQ(at(desktop.renderScreen(), 10, 10), (Pixel{247, 247, 247, 255}));
  EXPECT_EQ(at(desktop.renderScreen(), 10, 22), kRed);
  corner->setLevel(windowLevelForKey(kMainMenuWindowLevelKey) + 1);
  EXPECT_EQ(at(desktop.renderScreen(), 10, 10), kRed);
  corner->orderOut();
  desktop.menuBarVisible = false;
  EXPECT_EQ(at(desktop.renderScreen(), 10, 10), desktopColour);
}

class PageView : public View {
 public:
  using View::View;
  void drawRect(DrawContext& context, const DesktopRect&) override {
    toScreen = context.isDrawingToScreen();
    context.fill({{0, 0}, {10, 5}}, {1, 0, 0, 1});
  }
  std::optional<bool> toScreen;
};

TEST_F(RenderingTest, ContextMenusPrintingAndOpenPanelsAnswerFromTheirScripts) {
  std::vector<std::string> ran;
  Menu menu("Right Click Menu");
  const auto record = [&ran](MenuItem& item) { ran.push_back(item.title); };
  menu.addItem(std::make_shared<MenuItem>("Play", record));
  menu.addItem(std::make_shared<MenuItem>("Loop", record)).enabled = false;
  auto more = std::make_shared<Menu>("More");
  more->addItem(std::make_shared<MenuItem>("Rewind", record));
  menu.addItem(std::make_shared<MenuItem>("More")).submenu = more;
  // An item whose action removes it from the menu (and so frees it).
  menu.insertItem(
      std::make_shared<MenuItem>("Once",
                                 [&](MenuItem&) {
                                   menu.removeItemAtIndex(static_cast<size_t>(menu.indexOfItemWithTitle("Once")));
                                   ran.push_back("once");
                                 }),
      0);

  desktop.menuChoices = {"Play", std::nullopt, "Rewind", "Loop", "Missing", "Once", "Once"};
  View view({{0, 0}, {20, 10}});
  for (int i = 0; i < 8; ++i) desktop.popUpContextMenu(menu, DesktopEvent{}, view);
  EXPECT_EQ(ran, (std::vector<std::string>{"Play", "Rewind", "once"}));
  EXPECT_EQ(desktop.shownMenus, std::vector<std::string>(8, "Right Click Menu"));

  // A page of the view's size, white, drawn as for printing (y flipped).
  PageView page({{5, 5}, {20, 10}});
  desktop.runPrintOperation(page);
  ASSERT_EQ(desktop.printedPages.size(), 1u);
  const Bitmap& printed = desktop.printedPages[0];
  EXPECT_EQ(page.toScreen, false);
  EXPECT_EQ(at(printed, 9, 5), kRed);
  EXPECT_EQ(at(printed, 9, 4), kWhite);
  EXPECT_EQ(at(printed, 19, 9), kWhite);  // the last pixel of a 20 x 10 page

  // Open panels: the next answer (one path unless several are allowed), then Cancel.
  const std::vector<std::string> two{"/a.swf", "/b.swf"};
  desktop.openPanelAnswers = {two, std::nullopt, two};
  EXPECT_EQ(desktop.runOpenPanel({"swf"}, false), (std::vector<std::string>{"/a.swf"}));
  EXPECT_EQ(desktop.runOpenPanel({"swf"}, true), std::nullopt);
  EXPECT_EQ(desktop.runOpenPanel({"swf", "png"}, true), two);
  EXPECT_EQ(desktop.runOpenPanel({}, false), std::nullopt);
  EXPECT_EQ(desktop.openPanelTypes[2], (std::vector<std::string>{"swf", "png"}));
}

}  // namespace
}  // namespace kw
