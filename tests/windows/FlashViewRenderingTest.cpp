// How the movie reaches the screen: the alpha pass, the windowless frame copy
// with the real stand-in (first copy skipped, alternating images, the marker),
// update events and printing, centring in a mask, and the mask view's messages
// and window dragging.
#include "mac/windows/AlphaReconstruction.h"
#include "mac/windows/MaskView.h"
#include "mac/windows/windowLessFlashView.h"
#include "tests/windows/FlashViewFixture.h"

namespace kw::test {
namespace {

TEST(AlphaReconstruction, AlphaIsWhiteMinusBlackTakenFrom255InEightBits) {
  // (red over black, red over white) -> alpha: opaque, transparent, 75 %, and white darker than black.
  const std::array<std::array<uint8_t, 3>, 4> cases = {{{200, 200, 255}, {0, 255, 0}, {150, 214, 191}, {60, 50, 9}}};
  std::vector<uint8_t> black(cases.size() * 4 + 4, 0xEE);  // a row of 4 pixels and 4 bytes of padding
  std::vector<uint8_t> white(black.size(), 0);
  for (size_t i = 0; i < cases.size(); ++i) {
    black[i * 4] = cases[i][0];
    white[i * 4 + 2] = cases[i][1];
  }
  reconstructAlpha(black.data(), white.data(), 4, 1, black.size());
  for (size_t i = 0; i < cases.size(); ++i) EXPECT_EQ(black[i * 4 + 3], cases[i][2]) << i;
  EXPECT_EQ(black.back(), 0xEE) << "padding untouched";
  white[2] = 0;
  reconstructAlpha(black.data(), white.data(), 5, 1, 16);  // rows too short for their pixels
  EXPECT_EQ(black[3], 255) << "nothing touched";
}

TEST(FlashViewSize, MovieIsCentredInItsMaskAndClippedToIt) {
  struct Case { DesktopRect mask; const char* size; DesktopRect frame; };
  const Case cases[] = {
      {{{0, 0}, {300, 200}}, "{400, 100}", {{0, 50}, {300, 100}}},   // wider than the mask
      {{{0, 0}, {201, 101}}, "{100,50}", {{50, 25}, {100, 50}}},     // odd mask: the spare pixel right, and up
      {{{20, 30}, {200, 100}}, "{101, 51}", {{70, 55}, {101, 51}}},  // odd movie, offset mask
      {{{20, 30}, {200, 100}}, "nonsense", {{70, 55}, {101, 51}}},   // unreadable: the size stays
  };
  FlashView view(WindowServices{}, {{0, 0}, {10, 10}});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    view.maskRect(c.mask);
    view.setFlashSize(c.size);
    EXPECT_EQ(view.frame(), c.frame);
    EXPECT_EQ(view.port().width, static_cast<int32_t>(c.frame.size.width));
  }
}

class FlashViewRenderingTest : public FlashViewFixture {
 protected:
  FlashViewRenderingTest() { makeView(); }
  uint8_t alphaAt(int32_t x, int32_t y) const { return view->bitmap->pixel(x, y)[3]; }
};

TEST_F(FlashViewRenderingTest, WindowlessCopiesAlternateImagesSkipTheFirstAndUndrawnFrames) {
  Window alpha(desktop, {{100, 100}, {200, 150}}, kBorderlessWindowMask);
  auto image = std::make_shared<windowLessFlashView>(DesktopRect{{0, 0}, {200, 150}});
  alpha.setContentView(image);
  view->setWindowless(true);
  view->setTargetWindow(&alpha, image.get());
  ASSERT_EQ(load(3), 0);  // a transparent movie

  assembly.runLoop.runFor(0.07);  // 4 ticks
  ASSERT_NE(view->bitmap, nullptr);
  EXPECT_EQ(image->image(), nullptr) << "the first copy is not shown";
  EXPECT_EQ(alphaAt(0, 0), 0) << "no movie over this pixel";
  uint8_t mark = 0;
  for (int32_t x = 0; x < 200; ++x) mark = std::max(mark, alphaAt(x, 75));
  EXPECT_NEAR(mark, 191, 2) << "the mark's centre covers 75 %";
  EXPECT_EQ(view->port().pixels[0], 0xFF000001u);

  assembly.runLoop.runFor(0.14);
  EXPECT_EQ(image->image(), nullptr) << "the stand-in drew nothing over the marker: no copy";
  window.display();
  assembly.runLoop.runFor(0.07);  // 4 ticks
  EXPECT_EQ(image->image(), view->flashImage1);
  window.display();
  assembly.runLoop.runFor(0.07);  // 4 ticks
  EXPECT_EQ(image->image(), view->flashImage);
  EXPECT_EQ(view->flashImage->bestRepresentation(), view->bitmap.get());
  EXPECT_TRUE(view->flashImage1->representations.empty());
}

TEST_F(FlashViewRenderingTest, OpaqueMovieIsCopiedFullyOpaqueEveryFourTicks) {
  view->setWindowless(true);
  ASSERT_EQ(load(), 0);
  assembly.runLoop.runFor(0.14);  // 8 ticks
  EXPECT_TRUE(view->flashImage1 && !view->flashImage1->representations.empty()) << "second copy made";
  EXPECT_EQ(alphaAt(0, 0), 255);
  EXPECT_EQ(alphaAt(199, 149), 255);
}

TEST_F(FlashViewRenderingTest, DrawingSendsUpdateEventsAndPrintingDrawsThePrintedMovie) {
  ASSERT_EQ(load(), 0);
  window.display();
  EXPECT_EQ(report().events.back().what, 6);
  EXPECT_EQ(report().events.back().message, window.windowNumber());
  EXPECT_EQ(std::vector<uint8_t>(window.picture().pixel(0, 0), window.picture().pixel(0, 0) + 3),
            (std::vector<uint8_t>{0x33, 0x66, 0x99}));
  EXPECT_TRUE(window.isKeyWindow()) << "the first draw makes the window key";

  view->print();
  ASSERT_EQ(desktop.printedPages.size(), 1u);
  ASSERT_EQ(report().prints.size(), 1u);
  EXPECT_EQ(desktop.printedPages[0].pixel(0, 0)[2], 0x99);
}

TEST_F(FlashViewRenderingTest, DraggingOnTheMaskMovesTheWindowOnlyWhenTheSettingSaysSo) {
  ASSERT_TRUE(Bitmap(300, 200).writePng(dir.path() / "mask.png"));
  ASSERT_TRUE(Bitmap(100, 60).writePng(dir.path() / "small.png"));
  ASSERT_EQ(load(), 0);
  for (const bool setting : {false, true}) {
    SCOPED_TRACE(setting);
    writeSettings({{"maskDragging", PlistValue::boolean(setting)}});
    MaskView mask(services(), dir.path() / "mask.png");
    EXPECT_EQ(mask.frame(), (DesktopRect{{20, 20}, {300, 200}}));
    mask.setFlashView(view.get());
    mask.mouseDown({});
    mask.mouseDragged({});
    EXPECT_EQ(view->gDragging, setting);
    mask.mouseUp({});
    EXPECT_FALSE(view->gDragging);
    assembly.notifications.post("tiffMaskChanged", std::string("missing.png"));
    EXPECT_EQ(mask.width, 300);
    assembly.notifications.post("tiffMaskChanged", (dir.path() / "small.png").string());
    EXPECT_EQ(mask.width, 100);
  }
  const std::string down = "ARRAY_OF_STRINGS=zWindow~!onMaskMouseDown", up = "ARRAY_OF_STRINGS=zWindow~!onMaskMouseUp";
  EXPECT_EQ(lines, (std::vector<std::string>{down, up, down, up}));
}

}  // namespace
}  // namespace kw::test
