// Window kind names to window type codes: see WindowType.h.
#include "mac/net/WindowType.h"

namespace kw {

int32_t intWindowType(std::string_view kindName) {
  if (kindName == "frame" || kindName == "standard") return kWindowTypeStandard;
  if (kindName == "rectangular") return kWindowTypeRectangular;
  if (kindName == "masked") return kWindowTypeMasked;
  if (kindName == "flashShaped" || kindName == "WINDOWLESS") return kWindowTypeWindowless;
  if (kindName == "fullscreen") return kWindowTypeFullScreen;
  return kWindowTypeStandard;
}

}  // namespace kw
