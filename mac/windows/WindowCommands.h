// The window command family: moving, sizing, showing, hiding, retitling,
// layering, shaping and fading projector windows, and opening new movie and
// web page windows. The geometry rules are also offered on their own (web
// page windows place themselves by them).
#pragma once

#include <cstdint>
#include <memory>

#include "mac/commands/KW_Commands.h"
#include "mac/commands/families/FamilyServices.h"

namespace kw {

class Window;

std::shared_ptr<CommandFamily> makeWindowCommands(const FamilyServices& services);

// Positions are global: the origin is the top-left corner of the main screen,
// y grows downward; sizes are in points.

// setWindowPosition:X:Y:: the frame's top-left corner (title bar included) goes to (x, y).
void setWindowPosition(Window& window, int32_t x, int32_t y);
// getWindowPosition:X:Y:: the top-left corner of the frame (title bar included).
void getWindowPosition(const Window& window, int32_t& x, int32_t& y);
// setWindowSize:width:height:: the content area gets the size, the top edge
// and the left edge stay (16-bit arithmetic, as the window manager's).
void setWindowSize(Window& window, int32_t width, int32_t height);
// getWindowSize:width:height:: the content area's size (without title bar).
void getWindowSize(const Window& window, uint32_t& width, uint32_t& height);

}  // namespace kw
