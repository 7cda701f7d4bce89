// Pictures: bitmaps (source-over maths and rounding, clipping, fills, port copies, the PNG round trip
// of alpha through libgd), the screen picture (order by level, alpha, title bar, shadow, menu bar), and
// the scripted context menus and print operations.
#include <gd.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <fstream>
#include <limits>

#include "mac/platform/Bitmap.h"
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

void set(Bitmap& bitmap, int32_t x, int32_t y, Pixel value) {
  uint8_t* p = bitmap.pixel(x, y);
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(value[static_cast<size_t>(i)]);
}

bool darker(const Pixel& a, const Pixel& b) { return a[0] < b[0] && a[1] < b[1] && a[2] < b[2]; }

const Pixel kRed{255, 0, 0, 255};
const Pixel kWhite{255, 255, 255, 255};
const Pixel kTitleBar{219, 219, 219, 255};

TEST(BitmapTest, SourceOverIsPremultipliedAndRoundedOnce) {
  struct Case {
    Pixel destination, source;
    double opacity;
    Pixel expected;
  };
  const Case cases[] = {
      // Half-covered red over opaque blue: blue keeps 255 * 127 / 255.
      {{0, 0, 255, 255}, {128, 0, 0, 128}, 1.0, {128, 0, 127, 255}},
      // Opacity 0.5 is 128/255; exact results 209.53, 165.35, 209.53, 255
      // (rounding the two terms separately gives 209).
      {{200, 200, 200, 255}, {88, 0, 88, 88}, 0.5, {210, 165, 210, 255}},
      // Over a clear destination the scaled source is the result.
      {{0, 0, 0, 0}, {255, 255, 255, 255}, 0.5, {128, 128, 128, 128}},
      // Translucent over translucent: alpha 100 + 100 * 155 / 255 = 160.78.
      {{0, 100, 0, 100}, {100, 0, 0, 100}, 1.0, {100, 61, 0, 161}},
      {{1, 2, 3, 4}, {255, 255, 255, 255}, 0.0, {1, 2, 3, 4}},
      {{1, 2, 3, 4}, {255, 255, 255, 255}, std::nan(""), {1, 2, 3, 4}},
      {{1, 2, 3, 4}, {9, 8, 7, 255}, 7.0, {9, 8, 7, 255}},
  };
  for (const auto& c : cases) {
    Bitmap destination(1, 1), source(1, 1);
    set(destination, 0, 0, c.destination);
    set(source, 0, 0, c.source);
    destination.compositeSourceOver(source, 0, 0, c.opacity);
    EXPECT_EQ(at(destination, 0, 0), c.expected) << "opacity " << c.opacity << " source alpha " << c.source[3];
  }
}

TEST(BitmapTest, CompositeAndCopyPortAreClippedToBothBitmaps) {
  // Source pixel (x, y) is (10x + y, 0, 0, 255); rowBytes padded on both sides.
  Bitmap source(3, 3, 20);
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 3; ++x) set(source, x, y, {10 * x + y, 0, 0, 255});
  struct Case {
    int32_t x, y;
    Pixel topLeft, bottomRight;  // of the 2 x 2 destination
  };
  const Case cases[] = {
      {-1, -1, {11, 0, 0, 255}, {22, 0, 0, 255}},
      {1, 1, {0, 0, 0, 0}, {0, 0, 0, 255}},
      {std::numeric_limits<int32_t>::max(), 0, {0, 0, 0, 0}, {0, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    Bitmap destination(2, 2, 12);
    destination.compositeSourceOver(source, c.x, c.y);
    EXPECT_EQ(at(destination, 0, 0), c.topLeft) << c.x << "," << c.y;
    EXPECT_EQ(at(destination, 1, 1), c.bottomRight) << c.x << "," << c.y;
  }

  // Port pixels 0xAARRGGBB become R, G, B, A bytes as they are (no premultiplying).
  GrafPort port(2, 2, 0x80FF4020);
  port.pixels[3] = 0x01020304;
  Bitmap target(2, 2);
  target.copyPort(port, -1, -1);
  EXPECT_EQ(at(target, 0, 0), (Pixel{2, 3, 4, 1}));
  EXPECT_EQ(at(target, 1, 0), (Pixel{0, 0, 0, 0}));
  target.copyPort(port, 1, 0);
  EXPECT_EQ(at(target, 1, 1), (Pixel{0xFF, 0x40, 0x20, 0x80}));

  // Fills premultiply (0.5 alpha is 128) and clip.
  Bitmap filled(3, 3);
  filled.fill(-1, -1, 2, 2, {1, 0.5, 0, 0.5});
  EXPECT_EQ(at(filled, 0, 0), (Pixel{128, 64, 0, 128}));
  EXPECT_EQ(at(filled, 1, 1), (Pixel{0, 0, 0, 0}));
}

TEST(BitmapTest, PngKeepsAlphaThroughGdSevenBitAlpha) {
  Bitmap bitmap(3, 1);
  set(bitmap, 0, 0, {10, 20, 30, 255});
  set(bitmap, 1, 0, {64, 32, 0, 128});  // premultiplied: (128, 64, 0) at half alpha
  set(bitmap, 2, 0, {0, 0, 0, 0});
  const auto path = std::filesystem::temp_directory_path() / (std::to_string(::getpid()) + "-alpha.png");
  ASSERT_TRUE(bitmap.writePng(path));

  // The file holds un-premultiplied colour and gd alpha 127 - 64.
  FILE* file = std::fopen(path.c_str(), "rb");
  ASSERT_NE(file, nullptr);
  gdImagePtr image = gdImageCreateFromPng(file);
  std::fclose(file);
  ASSERT_NE(image, nullptr);
  const int half = gdImageGetTrueColorPixel(image, 1, 0);
  EXPECT_EQ(gdTrueColorGetRed(half), 128);
  EXPECT_EQ(gdTrueColorGetGreen(half), 64);
  EXPECT_EQ(gdTrueColorGetAlpha(half), 63);
  gdImageDestroy(image);

  // Read back premultiplied, alpha within the 7-bit step.
  const auto read = Bitmap::readImageFile(path);
  ASSERT_TRUE(read);
  EXPECT_EQ(at(*read, 0, 0), (Pixel{10, 20, 30, 255}));
  EXPECT_EQ(at(*read, 2, 0), (Pixel{0, 0, 0, 0}));
  const Pixel back = at(*read, 1, 0), expected{64, 32, 0, 128};
  for (size_t i = 0; i < 4; ++i) EXPECT_NEAR(back[i], expected[i], 1) << i;
  EXPECT_EQ(Image::fromFile(path)->size, (DesktopSize{3, 1}));

  // Unreadable: a truncated PNG, not an image; an empty bitmap cannot be written.
  std::filesystem::resize_file(path, 40);
  EXPECT_FALSE(Bitmap::readImageFile(path));
  std::ofstream(path) << "not a picture";
  EXPECT_FALSE(Image::fromFile(path));
  std::filesystem::remove(path);
  EXPECT_FALSE(Bitmap(0, 5).writePng(path));
}

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
  titled.setBackgroundColor(RGBAColor::white());
  titled.orderFront();
  titled.display();
  const Bitmap screen = desktop.renderScreen();
  const Pixel desktopColour = at(screen, 700, 700);
  EXPECT_EQ(at(screen, 205, 477), desktopColour);
  EXPECT_EQ(at(screen, 205, 478), kTitleBar);
  EXPECT_TRUE(darker(at(screen, 205, 499), kTitleBar));  // the bar's bottom edge
  EXPECT_EQ(at(screen, 205, 500), kWhite);

  // The shadow falls 4 pixels right and down, translucent.
  EXPECT_TRUE(darker(at(screen, 402, 550), desktopColour) && darker(at(screen, 300, 603), desktopColour));
  EXPECT_EQ(at(screen, 404, 550), desktopColour);
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

TEST_F(RenderingTest, ContextMenusAndPrintingAnswerFromTheirScripts) {
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
}

}  // namespace
}  // namespace kw
