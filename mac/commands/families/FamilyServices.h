// What the command families reach beyond the application services: the
// stored defaults, the workspace that opens documents and URLs, and the
// controller's projector windows and web windows through narrow interfaces.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "mac/commands/ApplicationServices.h"

namespace kw {

class UserDefaults;
class Workspace;
class FlashPlugin;
class PluginWindow;
class Window;
class FlashWindow;       // mac/windows, known here by name only
struct FlashWindowArgs;  // mac/windows

// The application controller's projector windows, for the window commands
// (the window family is their only user; the controller implements it).
class ProjectorWindows {
 public:
  virtual ~ProjectorWindows() = default;
  // The projector window whose PluginWindow is `window`, or nullptr when the
  // controller owns none (a web page window, a window already released).
  virtual FlashWindow* projectorWindow(const PluginWindow* window) const = 0;
  // createWindow:swf:xPosition:...: the new window's instance identity, 0 when none was made.
  virtual uint32_t createWindow(const FlashWindowArgs& args) = 0;
};

// initWithWebWindow:filePath:xPosition:yPosition:width:height:parameter:title:embed:windowless:parent:
struct WebWindowArgs {
  Window* window = nullptr;  // the requesting window (the native window the command acts on)
  std::string filePath;      // page path or URL
  int32_t x = 0, y = 0, width = 0, height = 0;
  std::optional<std::string> parameter;  // none for an embedded page
  std::string title;
  bool embed = false;
  bool windowless = false;        // the requesting window is an alpha (shaped) window
  FlashPlugin* parent = nullptr;  // the requesting instance
};

// Web page windows (createMediaWindow, zWindow.embedMediaWindow).
class WebWindows {
 public:
  virtual ~WebWindows() = default;
  // The new web window's identity, 0 when no page was opened.
  virtual uint32_t createWebWindow(const WebWindowArgs& args) = 0;
};

struct FamilyServices : ApplicationServices {
  UserDefaults* defaults = nullptr;     // may be null
  Workspace* workspace = nullptr;       // may be null
  ProjectorWindows* projectorWindows = nullptr;  // the window family's; may be null
  WebWindows* webWindows = nullptr;              // the window family's; null: no web windows open
};

}  // namespace kw
