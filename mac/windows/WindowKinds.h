// The vocabulary of projector windows: kind names and their window type
// codes, the two z-order tables (at creation and by command), and the rule
// that centres a movie in a mask.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "mac/platform/QuickDraw.h"

namespace kw {

class Window;

// Window type codes.
inline constexpr int32_t kWindowTypeStandard = 0;
inline constexpr int32_t kWindowTypeRectangular = 1;
inline constexpr int32_t kWindowTypeMasked = 2;
inline constexpr int32_t kWindowTypeWindowless = 3;
inline constexpr int32_t kWindowTypeFullScreen = 4;

// intWindowType: exact, case-sensitive names; anything else (or none) is 0.
int32_t intWindowType(std::optional<std::string_view> kind);

// The level a z-order name gives at window creation, or none (level unchanged).
std::optional<int32_t> creationZOrderLevel(std::string_view name);
// The same for the window commands' table.
std::optional<int32_t> commandZOrderLevel(std::string_view name);
// Applies the creation table to a window (nothing for an unknown name or none).
void setWindowZOrderAtCreation(Window& window, std::optional<std::string_view> name);
// KW_Commands setWindowZOrder:order:: nothing when the window or the name is missing.
void setWindowZOrderByCommand(Window* window, std::optional<std::string_view> name);

// Centres `movie` in `mask` (16-bit rectangles): the movie's size is clipped
// to the mask's, each half rounds toward zero. Answers the movie's new place.
QDRect centreInMask(const QDRect& movie, const QDRect& mask);

}  // namespace kw
