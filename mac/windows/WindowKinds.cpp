// Kind names, z-order names and the centring rule of projector windows.
#include "mac/windows/WindowKinds.h"

#include <algorithm>
#include <cctype>

#include "mac/platform/Desktop.h"
#include "mac/platform/Window.h"

namespace kw {

namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const auto ca = static_cast<unsigned char>(a[i]);
    const auto cb = static_cast<unsigned char>(b[i]);
    if (std::tolower(ca) != std::tolower(cb)) return false;
  }
  return true;
}

// One row of a z-order table: a name and the level key plus an offset.
struct ZOrderRow {
  std::string_view name;
  int32_t levelKey;
  int32_t offset;
};

std::optional<int32_t> lookUp(const ZOrderRow* rows, size_t count, std::string_view name) {
  for (size_t i = 0; i < count; ++i) {
    if (equalsIgnoringCase(rows[i].name, name)) {
      return windowLevelForKey(rows[i].levelKey) + rows[i].offset;
    }
  }
  return std::nullopt;
}

// At creation "BOTTOM" sits below the desktop icons and "normal" is accepted.
constexpr ZOrderRow kCreationTable[] = {
    {"BOTTOM", kDesktopIconWindowLevelKey, -1},
    {"STANDARD", kNormalWindowLevelKey, 0},
    {"normal", kNormalWindowLevelKey, 0},
    {"TOP", kMainMenuWindowLevelKey, -1},
    {"ABOVEITALL", kMainMenuWindowLevelKey, 1},
};

// By command "BELOWITALL" takes the place below the desktop icons and
// "BOTTOM" sits just above them; "normal" is not a name here.
constexpr ZOrderRow kCommandTable[] = {
    {"BELOWITALL", kDesktopIconWindowLevelKey, -1},
    {"BOTTOM", kDesktopIconWindowLevelKey, 1},
    {"STANDARD", kNormalWindowLevelKey, 0},
    {"TOP", kMainMenuWindowLevelKey, -1},
    {"ABOVEITALL", kMainMenuWindowLevelKey, 1},
};

}  // namespace

int32_t intWindowType(std::optional<std::string_view> kind) {
  if (!kind) return kWindowTypeStandard;
  const std::string_view k = *kind;
  if (k == "standard" || k == "frame") return kWindowTypeStandard;
  if (k == "rectangular") return kWindowTypeRectangular;
  if (k == "masked") return kWindowTypeMasked;
  if (k == "flashShaped" || k == "WINDOWLESS") return kWindowTypeWindowless;
  if (k == "fullscreen") return kWindowTypeFullScreen;
  return kWindowTypeStandard;
}

std::optional<int32_t> creationZOrderLevel(std::string_view name) {
  return lookUp(kCreationTable, std::size(kCreationTable), name);
}

std::optional<int32_t> commandZOrderLevel(std::string_view name) {
  return lookUp(kCommandTable, std::size(kCommandTable), name);
}

void setWindowZOrderAtCreation(Window& window, std::optional<std::string_view> name) {
  if (!name) return;
  if (const auto level = creationZOrderLevel(*name)) window.setLevel(*level);
}

void setWindowZOrderByCommand(Window* window, std::optional<std::string_view> name) {
  if (window == nullptr || !name) return;
  if (const auto level = commandZOrderLevel(*name)) window->setLevel(*level);
}

QDRect centreInMask(const QDRect& movie, const QDRect& mask) {
  // All arithmetic is 16-bit as in QuickDraw; integer division of the signed
  // values rounds toward zero.
  const auto maskWidth = static_cast<int16_t>(mask.right - mask.left);
  const auto maskHeight = static_cast<int16_t>(mask.bottom - mask.top);
  const auto movieWidth = std::min(static_cast<int16_t>(movie.right - movie.left), maskWidth);
  const auto movieHeight = std::min(static_cast<int16_t>(movie.bottom - movie.top), maskHeight);
  QDRect placed;
  placed.left = static_cast<int16_t>(maskWidth / 2 - movieWidth / 2 + mask.left);
  placed.top = static_cast<int16_t>(maskHeight / 2 - movieHeight / 2 + mask.top);
  placed.right = static_cast<int16_t>(placed.left + movieWidth);
  placed.bottom = static_cast<int16_t>(placed.top + movieHeight);
  return placed;
}

}  // namespace kw
