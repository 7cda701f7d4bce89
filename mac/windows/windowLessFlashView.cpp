// The alpha window's image view: see windowLessFlashView.h.
#include "mac/windows/windowLessFlashView.h"

#include <string>

#include "mac/commands/EventEncoding.h"
#include "mac/pluginhost/FlashPlugin.h"

namespace kw {
namespace {

// Entering sends a fixed text in place of the file list.
constexpr const char* kDragFilesMessage = "ARRAY_OF_STRINGS=zWindow~!onDragFiles~!file on drag";

void send(FlashPlugin* plugin, const std::string& message) {
  if (plugin != nullptr && plugin->isSane()) plugin->sendMessageToSWF(message);
}

}  // namespace

windowLessFlashView::windowLessFlashView(const DesktopRect& frame) : View(frame) { registerForDraggedFileNames(); }

void windowLessFlashView::drawRect(DrawContext& context, const DesktopRect& dirtyRect) {
  (void)dirtyRect;
  // Clear first, so the desktop shows through where the movie is transparent.
  context.fill(bounds(), RGBAColor::clear());
  if (image_ != nullptr) {
    if (const Bitmap* frame = image_->bestRepresentation()) context.composite(*frame, {0, 0});
  }
}

void windowLessFlashView::setViewImage(std::shared_ptr<Image> image) { image_ = std::move(image); }

void windowLessFlashView::onScreenChange() { send(myPlugin, *events::screenChange().text); }

DragOperation windowLessFlashView::draggingEntered(const DraggingInfo& info) {
  if (!info.offersFileNames || info.fileNames.empty()) return kDragOperationNone;
  send(myPlugin, kDragFilesMessage);
  return kDragOperationCopy;
}

void windowLessFlashView::draggingExited(const DraggingInfo& info) {
  (void)info;
  send(myPlugin, *events::dragLeave().text);
}

bool windowLessFlashView::performDragOperation(const DraggingInfo& info) {
  if (info.offersFileNames && !info.fileNames.empty()) send(myPlugin, *events::dropFiles(info.fileNames).text);
  return true;
}

}  // namespace kw
