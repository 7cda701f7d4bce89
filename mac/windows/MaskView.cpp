// The mask view: see MaskView.h.
#include "mac/windows/MaskView.h"

#include <any>
#include <cmath>
#include <limits>

#include "mac/app/playerSettings.h"
#include "mac/commands/EventEncoding.h"
#include "mac/platform/Bundle.h"
#include "mac/platform/NotificationCenter.h"
#include "mac/platform/Window.h"
#include "mac/windows/FlashView.h"

namespace kw {
namespace {

constexpr const char* kMaskChanged = "tiffMaskChanged";

int32_t pixels(double length) {
  if (!(length > 0)) return 0;
  return static_cast<int32_t>(std::min(std::trunc(length), double{std::numeric_limits<int32_t>::max()}));
}

}  // namespace

MaskView::MaskView(WindowServices services, const std::filesystem::path& imagePath) : services_(std::move(services)) {
  if (services_.notifications != nullptr) {
    observer_ = services_.notifications->addObserver(kMaskChanged, [this](const std::any& object) {
      if (const auto* name = std::any_cast<std::string>(&object)) maskDidChange(*name);
    });
  }
  maskIsDraggable = playerSettings::maskDragging();
  maskImage = Image::fromFile(imagePath);
  if (maskImage) {
    width = pixels(maskImage->size.width);
    height = pixels(maskImage->size.height);
  }
  frameRect = {{20, 20}, {static_cast<double>(width), static_cast<double>(height)}};
  setFrame(frameRect);
}

MaskView::~MaskView() {
  if (services_.notifications != nullptr) services_.notifications->removeObserver(observer_);
}

void MaskView::setFlashView(FlashView* view) {
  theFlashView = view;
  if (theFlashView != nullptr) theFlashView->maskRect(frame());
}

void MaskView::drawRect(DrawContext& context, const DesktopRect& dirtyRect) {
  (void)dirtyRect;
  context.fill(bounds(), RGBAColor::clear());
  if (maskImage) {
    if (const Bitmap* image = maskImage->bestRepresentation()) context.composite(*image, {0, 0});
  }
  // The window's shadow follows the new shape.
  if (Window* owner = window()) owner->invalidateShadow();
}

bool MaskView::acceptsFirstMouse(const DesktopEvent* event) {
  (void)event;
  if (theFlashView != nullptr) theFlashView->setAcceptedFirstMouse(true);
  return true;
}

void MaskView::mouseDown(const DesktopEvent& event) {
  if (theFlashView == nullptr) return;
  theFlashView->mouseDown(event);
  theFlashView->sendEventToFlash(*events::maskMouseDown().text);
  dragging = true;
}

void MaskView::mouseUp(const DesktopEvent& event) {
  if (theFlashView == nullptr) return;
  theFlashView->mouseUp(event);
  theFlashView->sendEventToFlash(*events::maskMouseUp().text);
}

void MaskView::mouseDragged(const DesktopEvent& event) {
  if (theFlashView == nullptr) return;
  if (maskIsDraggable && dragging) {
    theFlashView->setDragging(true);  // the first drag starts moving the window
    dragging = false;
  }
  theFlashView->mouseDragged(event);
}

void MaskView::maskDidChange(const std::string& imageName) {
  // The name is a path, or a resource of the application.
  std::shared_ptr<Image> image = Image::fromFile(imageName);
  if (!image && services_.application != nullptr && !imageName.empty()) {
    image = Image::fromFile(services_.application->resourcesPath() / imageName);
  }
  if (!image) return;
  maskImage = std::move(image);
  width = pixels(maskImage->size.width);
  height = pixels(maskImage->size.height);
  const DesktopSize size{static_cast<double>(width), static_cast<double>(height)};
  if (Window* owner = window()) owner->setContentSize(size);
  if (frame().size != size) setFrameSize(size);  // the content view follows the content size
  setBoundsSize(size);
  setNeedsDisplay();
  if (theFlashView != nullptr) {
    theFlashView->maskRect(frame());
    theFlashView->setFlashSize(std::nullopt);
  }
}

}  // namespace kw
