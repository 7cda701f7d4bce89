// The view that shapes a projector window by a mask image: it draws the image
// (its transparent parts are the window's transparent parts), holds the
// movie's view centred inside it, and can move the window when dragged.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "mac/platform/Bitmap.h"
#include "mac/platform/View.h"
#include "mac/windows/WindowServices.h"

namespace kw {

class FlashView;

class MaskView : public View {
 public:
  // initWithPath:: observes "tiffMaskChanged", reads "maskDragging", loads the
  // image; the frame is (20, 20, width, height). An unreadable image gives a
  // 0 x 0 mask.
  MaskView(WindowServices services, const std::filesystem::path& imagePath);
  ~MaskView() override;

  void setFlashView(FlashView* view);
  FlashView* flashView() const { return theFlashView; }
  void getMaskSize(int32_t& outWidth, int32_t& outHeight) const { outWidth = width; outHeight = height; }

  void drawRect(DrawContext& context, const DesktopRect& dirtyRect) override;
  bool acceptsFirstMouse(const DesktopEvent* event) override;
  void mouseDown(const DesktopEvent& event) override;
  void mouseUp(const DesktopEvent& event) override;
  void mouseDragged(const DesktopEvent& event) override;
  // The window's mask becomes the named image (a path); unknown: nothing changes.
  void maskDidChange(const std::string& imageName);

  std::shared_ptr<Image> maskImage;
  DesktopRect frameRect;
  int32_t height = 0;
  int32_t width = 0;
  bool maskIsDraggable = false;
  FlashView* theFlashView = nullptr;
  bool dragging = false;

 private:
  WindowServices services_;
  uint64_t observer_ = 0;
};

}  // namespace kw
