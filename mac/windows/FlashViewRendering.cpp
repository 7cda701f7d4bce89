// How the movie view's drawing reaches the screen: update events and the port
// copied into the window, printing, the windowless frame copy with its alpha
// reconstructed from renderings over black and over white, and the movie's
// place inside a mask.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>

#include "mac/platform/Desktop.h"
#include "mac/platform/Window.h"
#include "mac/pluginhost/FlashPlugin.h"
#include "mac/windows/AlphaReconstruction.h"
#include "mac/windows/FlashView.h"
#include "mac/windows/WindowKinds.h"

namespace kw {
namespace {

// The pixel planted after a copy; while it stays, nothing was drawn since.
constexpr uint32_t kMarkerPixel = 0xFF000001;
constexpr int32_t kLargestPortSide = 32767;

// The alpha pass reads the port's red byte as byte 2 of each pixel.
static_assert(std::endian::native == std::endian::little, "ports are read as little-endian ARGB");

int32_t portSide(double length) {
  if (!(length > 0)) return 0;
  return static_cast<int32_t>(std::min(std::floor(length), double{kLargestPortSide}));
}

int16_t truncated16(double value) {
  if (std::isnan(value)) return 0;
  return static_cast<int16_t>(std::clamp(std::trunc(value), -32768.0, 32767.0));
}

// A colour as a premultiplied port pixel.
uint32_t portPixel(const RGBAColor& colour) {
  const auto channel = [](double value) {
    return static_cast<uint32_t>(std::lround(std::clamp(value, 0.0, 1.0) * 255.0));
  };
  const double alpha = std::clamp(colour.alpha, 0.0, 1.0);
  return channel(alpha) << 24 | channel(colour.red * alpha) << 16 | channel(colour.green * alpha) << 8 |
         channel(colour.blue * alpha);
}

}  // namespace

void FlashView::setFrame(const DesktopRect& frame) {
  View::setFrame(frame);
  const DesktopRect area = bounds();
  const int32_t width = portSide(area.size.width);
  const int32_t height = portSide(area.size.height);
  if (width == port_.width && height == port_.height) return;
  port_ = GrafPort(width, height);
  // The marker's address and the buffers of the old size go with the old port.
  dropAlphaBuffers();
}

void FlashView::dropAlphaBuffers() {
  bitmap.reset();
  flashImage.reset();
  flashImage1.reset();
  testPixel = nullptr;
  rowBytes = 0;
}

void FlashView::drawRect(DrawContext& context, const DesktopRect& dirtyRect) {
  (void)dirtyRect;
  if (context.isDrawingToScreen()) {
    // The port stands for the window's backing store under the view: the
    // window's background is drawn first, then the plug-in draws over it.
    if (const Window* owner = window()) {
      const uint32_t background = portPixel(owner->backgroundColor());
      std::fill(port_.pixels.begin(), port_.pixels.end(), background);
    }
    sendUpdateEvent();
    context.copyPort(port_);
  } else if (pluginIsLive()) {
    FlashPlugin* plugin = myPlugin.get();
    ++delivering_;
    std::unique_ptr<GrafPort> printed = plugin->printedPluginBitmap();
    if (--delivering_ == 0) retired_.clear();
    if (printed) context.copyPort(*printed);  // raster rows run down: the flip is built in
  }
  if (!firstDraw) {
    firstDraw = true;
    if (Window* owner = window()) owner->makeKeyAndOrderFront();
  }
}

void FlashView::updateWindowWithBlackBackground() {
  if (Window* owner = window()) {
    owner->setBackgroundColor(RGBAColor::black());
    owner->display();
  }
}

void FlashView::updateWindowWithWhiteBackground() {
  if (Window* owner = window()) {
    owner->setBackgroundColor(RGBAColor::white());
    owner->display();
  }
}

bool FlashView::blitFlash() {
  if (testPixel != nullptr && *testPixel == kMarkerPixel) return false;
  Window* owner = window();
  const int32_t width = port_.width;
  const int32_t height = port_.height;
  const size_t portRowBytes = static_cast<size_t>(width) * 4;
  // The row length is a 16-bit field: a wider port is not copied.
  if (owner == nullptr || width <= 0 || height <= 0 || portRowBytes > UINT16_MAX) return false;
  if (rowBytes == 0) rowBytes = static_cast<uint16_t>(portRowBytes);

  if (flashImage) flashImage->representations.clear();
  if (flashImage1) flashImage1->representations.clear();
  if (bitmap && (bitmap->width() != width || bitmap->height() != height || bitmap->rowBytes() != rowBytes)) {
    bitmap.reset();
  }
  if (!bitmap) bitmap = std::make_shared<Bitmap>(width, height, rowBytes);

  updateWindowWithBlackBackground();
  // The display may have resized the view; a frame of another size is not copied.
  if (port_.width != width || port_.height != height) return false;
  bitmap->copyPort(port_, 0, 0);  // the frame over black
  updateWindowWithWhiteBackground();
  if (port_.width != width || port_.height != height) return false;
  reconstructAlpha(bitmap->data(), reinterpret_cast<const uint8_t*>(port_.pixels.data()), width, height, rowBytes);

  const DesktopSize size{static_cast<double>(width), static_cast<double>(height)};
  if (!flashImage || flashImage->size != size) flashImage = std::make_shared<Image>(Image{size, {}});
  if (!flashImage1 || flashImage1->size != size) flashImage1 = std::make_shared<Image>(Image{size, {}});
  // Alternate images, so the image view sees a new image with every frame.
  if (!flashImageWasSet) {
    flashImage->representations.push_back(bitmap);
    flashImageWasSet = true;
  } else {
    flashImage1->representations.push_back(bitmap);
    flashImageWasSet = false;
  }

  testPixel = port_.pixels.data();
  *testPixel = kMarkerPixel;
  owner->setBackgroundColor(RGBAColor::black());
  return true;
}

void FlashView::setFlashSize(const std::optional<std::string>& sizeText) {
  if (sizeText) {
    // The size notation "{width, height}"; text that does not give both keeps the size.
    double width = 0;
    double height = 0;
    const size_t start = sizeText->find_first_of("-+.0123456789");
    if (start != std::string::npos &&
        std::sscanf(sizeText->c_str() + start, "%lf%*[^-+.0-9]%lf", &width, &height) == 2) {
      currentSize = {width, height};
    }
  }
  const QDRect mask{truncated16(maskFrame.origin.y), truncated16(maskFrame.origin.x),
                    truncated16(maskFrame.origin.y + maskFrame.size.height),
                    truncated16(maskFrame.origin.x + maskFrame.size.width)};
  const QDRect movie{0, 0, truncated16(currentSize.height), truncated16(currentSize.width)};
  const QDRect placed = centreInMask(movie, mask);
  setFrame({{static_cast<double>(placed.left), static_cast<double>(placed.top)},
            {static_cast<double>(placed.right - placed.left), static_cast<double>(placed.bottom - placed.top)}});
  setNeedsDisplay();
}

void FlashView::invalidateRect(const NPRect& rect) {
  const double width = std::max(0, int32_t{rect.right} - int32_t{rect.left});
  const double height = std::max(0, int32_t{rect.bottom} - int32_t{rect.top});
  setNeedsDisplayInRect({{static_cast<double>(rect.left), static_cast<double>(rect.top)}, {width, height}});
}

void FlashView::print() {
  if (services_.desktop != nullptr) services_.desktop->runPrintOperation(*this);
}

}  // namespace kw
