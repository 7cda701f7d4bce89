// Window type codes and the kind names a movie or the settings use for them.
#pragma once

#include <cstdint>
#include <string_view>

namespace kw {

enum WindowTypeCode : int32_t {
  kWindowTypeStandard = 0,
  kWindowTypeRectangular = 1,
  kWindowTypeMasked = 2,
  kWindowTypeWindowless = 3,  // transparent, drawn through an alpha window
  kWindowTypeFullScreen = 4,
};

// Exact, case-sensitive: "standard" and "frame" 0, "rectangular" 1, "masked"
// 2, "flashShaped" and "WINDOWLESS" 3, "fullscreen" 4; any other text, the
// empty text included (a missing name), 0.
int32_t intWindowType(std::string_view kindName);

}  // namespace kw
