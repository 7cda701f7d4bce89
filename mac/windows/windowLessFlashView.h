// The content view of a windowless movie's alpha window: shows the latest
// frame copied from the invisible real window, with its alpha, over whatever
// lies behind, and passes file drags and screen changes to the movie.
#pragma once

#include <memory>

#include "mac/platform/Bitmap.h"
#include "mac/platform/View.h"

namespace kw {

class FlashPlugin;
class KW_Commands;

class windowLessFlashView : public View {
 public:
  explicit windowLessFlashView(const DesktopRect& frame);

  void drawRect(DrawContext& context, const DesktopRect& dirtyRect) override;
  void setViewImage(std::shared_ptr<Image> image);
  const std::shared_ptr<Image>& image() const { return image_; }
  void setPlugin(FlashPlugin* plugin) { myPlugin = plugin; }
  void setKW_CommandHandler(KW_Commands* handler) { kwCommandHandler = handler; }
  void onScreenChange();

  DragOperation draggingEntered(const DraggingInfo& info) override;
  void draggingExited(const DraggingInfo& info) override;
  bool prepareForDragOperation(const DraggingInfo& info) override { (void)info; return true; }
  bool performDragOperation(const DraggingInfo& info) override;
  bool acceptsFirstMouse(const DesktopEvent* event) override { (void)event; return true; }
  bool acceptsFirstResponder() const override { return true; }

  FlashPlugin* myPlugin = nullptr;
  KW_Commands* kwCommandHandler = nullptr;

 private:
  std::shared_ptr<Image> image_;
};

}  // namespace kw
