// A picture of the main screen as the window server would show it: the
// desktop colour, the visible windows from back to front (each with its
// shadow, title bar and content picture at the window's alpha) and the menu
// bar, which windows above the main menu level cover.
#include <gdfontmb.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <string_view>

#include "mac/platform/Desktop.h"
#include "mac/platform/Menu.h"
#include "mac/platform/Window.h"

namespace kw {

namespace {

const RGBAColor kDesktopColor{0.24, 0.38, 0.58, 1};
const RGBAColor kTitleBarColor{0.86, 0.86, 0.86, 1};
const RGBAColor kTitleBarEdgeColor{0.62, 0.62, 0.62, 1};
const RGBAColor kTextColor{0.1, 0.1, 0.1, 1};
const RGBAColor kMenuBarColor{0.97, 0.97, 0.97, 1};
constexpr double kMenuBarHeight = 22;
constexpr int32_t kShadowOffset = 4;  // down and to the right
constexpr double kShadowOpacity = 0.35;
constexpr double kMaxScreenPixels = 16384;  // per side; larger screens are cut there

int32_t floorToPixel(double value) {
  if (std::isnan(value)) return 0;
  constexpr double kLimit = 1 << 29;
  return static_cast<int32_t>(std::floor(std::clamp(value, -kLimit, kLimit)));
}

// The text as gd's font can draw it: printable ASCII as it is, any other
// character (a whole UTF-8 sequence) as '?'.
std::string fontGlyphs(std::string_view utf8) {
  std::string glyphs;
  for (const char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte >= 0x80 && byte < 0xC0) continue;  // inside a sequence
    glyphs += (byte >= 0x20 && byte < 0x7F) ? c : '?';
  }
  return glyphs;
}

int32_t textWidth(std::string_view glyphs) { return static_cast<int32_t>(glyphs.size()) * gdFontGetMediumBold()->w; }

// Draws glyphs with their top-left at (x, y), clipped to the target.
void drawText(Bitmap& target, int32_t x, int32_t y, std::string_view glyphs, const RGBAColor& color) {
  const gdFontPtr font = gdFontGetMediumBold();
  for (const char c : glyphs) {
    const int index = static_cast<unsigned char>(c) - font->offset;
    if (index >= 0 && index < font->nchars) {
      const char* bits = font->data + static_cast<ptrdiff_t>(index) * font->w * font->h;
      for (int row = 0; row < font->h; ++row) {
        for (int column = 0; column < font->w; ++column) {
          if (bits[row * font->w + column]) target.fill(x + column, y + row, 1, 1, color);
        }
      }
    }
    x += font->w;
  }
}

// The same shape in translucent-ready black: colour 0, alpha kept.
Bitmap shadowOf(const Bitmap& image) {
  Bitmap shadow(image.width(), image.height());
  for (int32_t y = 0; y < image.height(); ++y) {
    const uint8_t* s = image.pixel(0, y);
    uint8_t* d = shadow.pixel(0, y);
    for (int32_t x = 0; x < image.width(); ++x) d[4 * x + 3] = s[4 * x + 3];
  }
  return shadow;
}

// Screen points to raster pixels of the main screen's picture.
struct ScreenRaster {
  DesktopRect screen;
  int32_t x(double screenX) const { return floorToPixel(screenX - screen.minX()); }
  int32_t y(double screenY) const { return floorToPixel(screen.maxY() - screenY); }
};

void renderWindow(Bitmap& picture, const ScreenRaster& raster, const Window& window) {
  const DesktopRect frame = window.frame();
  const DesktopRect content = window.contentRect();
  const int32_t left = raster.x(frame.minX());
  const int32_t top = raster.y(frame.maxY());
  const int32_t width = floorToPixel(frame.size.width);
  const int32_t height = floorToPixel(frame.size.height);
  // Only the part that can show (its shadow included) is drawn.
  const int32_t x0 = std::max(left, -kShadowOffset);
  const int32_t y0 = std::max(top, -kShadowOffset);
  const auto x1 = static_cast<int32_t>(std::min<int64_t>(int64_t{left} + width, picture.width()));
  const auto y1 = static_cast<int32_t>(std::min<int64_t>(int64_t{top} + height, picture.height()));
  if (x1 <= x0 || y1 <= y0) return;

  // The window alone, in the coordinates of the visible part.
  Bitmap image(x1 - x0, y1 - y0);
  if (window.isTitled()) {
    const int32_t barHeight = raster.y(content.maxY()) - top;
    image.fill(left - x0, top - y0, width, barHeight, kTitleBarColor);
    image.fill(left - x0, top - y0 + barHeight - 1, width, 1, kTitleBarEdgeColor);
    const std::string title = fontGlyphs(window.title());
    const int32_t textLeft = left - x0 + (width - textWidth(title)) / 2;
    const int32_t textTop = top - y0 + (barHeight - gdFontGetMediumBold()->h) / 2;
    drawText(image, textLeft, textTop, title, kTextColor);
  }
  image.compositeSourceOver(window.picture(), raster.x(content.minX()) - x0, raster.y(content.maxY()) - y0);

  const double alpha = window.alphaValue();
  if (window.hasShadow()) {
    picture.compositeSourceOver(shadowOf(image), x0 + kShadowOffset, y0 + kShadowOffset, kShadowOpacity * alpha);
  }
  picture.compositeSourceOver(image, x0, y0, alpha);
}

void renderMenuBar(Bitmap& picture, const Menu* mainMenu) {
  const int32_t height = static_cast<int32_t>(kMenuBarHeight);
  picture.fill(0, 0, picture.width(), height, kMenuBarColor);
  picture.fill(0, height - 1, picture.width(), 1, kTitleBarEdgeColor);
  if (!mainMenu) return;
  const int32_t textTop = (height - gdFontGetMediumBold()->h) / 2;
  int32_t x = 14;
  for (size_t i = 0; i < mainMenu->numberOfItems() && x < picture.width(); ++i) {
    const MenuItem* item = mainMenu->itemAtIndex(i);
    const std::string title = fontGlyphs(item->submenu ? item->submenu->title() : item->title);
    if (title.empty()) continue;
    drawText(picture, x, textTop, title, kTextColor);
    x += textWidth(title) + 18;
  }
}

}  // namespace

Bitmap Desktop::renderScreen() const {
  const ScreenRaster raster{mainScreenFrame()};
  const auto side = [](double points) {
    return static_cast<int32_t>(std::clamp(std::isnan(points) ? 0.0 : std::floor(points), 0.0, kMaxScreenPixels));
  };
  Bitmap picture(side(raster.screen.size.width), side(raster.screen.size.height));
  picture.fill(0, 0, picture.width(), picture.height(), kDesktopColor);

  const int32_t menuLevel = windowLevelForKey(kMainMenuWindowLevelKey);
  const std::vector<Window*> frontToBack = orderedWindows();
  bool menuBarDrawn = !menuBarVisible;
  for (auto it = frontToBack.rbegin(); it != frontToBack.rend(); ++it) {
    const Window& window = **it;
    if (!menuBarDrawn && window.level() > menuLevel) {
      renderMenuBar(picture, mainMenu.get());
      menuBarDrawn = true;
    }
    if (!window.isMiniaturized()) renderWindow(picture, raster, window);
  }
  if (!menuBarDrawn) renderMenuBar(picture, mainMenu.get());
  return picture;
}

}  // namespace kw
