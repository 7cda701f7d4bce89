// Private window messages that orbalo posts to the player window and that the
// ORBALORT.DLL message filter handles inside the player process.
#pragma once

#include <cstdint>

namespace kw::orbalo {

// Put in place of a blocked right-button message; has no effect of its own.
inline constexpr std::uint32_t PM_SWALLOWED = 0x0D0A;
// wParam 0, lParam 0: the player window becomes a frameless pop-up.
inline constexpr std::uint32_t PM_STRIP_FRAME = 0x0D0B;
// wParam 0, lParam 0: right-button messages are swallowed from now on.
inline constexpr std::uint32_t PM_BLOCK_RIGHT_CLICK = 0x0D0C;
// wParam 0, lParam = player window handle: the mouse pointer is hidden from now on.
inline constexpr std::uint32_t PM_HIDE_CURSOR = 0x0D0D;
// wParam 0, lParam 0: the Escape key ends the player (once) from now on.
inline constexpr std::uint32_t PM_ESCAPE_QUITS = 0x0D0F;

}  // namespace kw::orbalo
