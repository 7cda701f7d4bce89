// Scripted input for the sim desktop: `zivra --input FILE` plays a script of
// user input (mouse, keys, wheel, Edit menu, file drops, menu and panel
// answers) against the desktop model, so that a projector runs without a
// person at the keyboard.
//
// Format. UTF-8 text, one event per line:
//
//   TIME VERB ARGUMENTS...
//
// TIME is in seconds from the start of the script (a decimal number from 0 to
// 1000000), or "+SECONDS" for that long after the previous event. Lines need
// not be in time order; events at the same time run in line order. Words are
// separated by spaces or tabs. A word that starts with "#" starts a comment
// that runs to the end of the line; blank lines are ignored. Lines are at most
// 4096 bytes long.
//
// A TEXT is a bare word or a quoted text "..." with the escapes \" \\ \n \r
// \t and \u{HEX} (a Unicode code point, written as UTF-8). X Y is a global
// point: from the top-left corner of the main screen, y downward, in points.
// Coordinates and deltas lie between -1000000 and 1000000.
//
//   move X Y                 the mouse moves to the point
//   down X Y [left|right]    a mouse button goes down there (left by default)
//   drag X Y                 the mouse moves with the button down
//   up X Y                   the button comes up there
//   key CODE TEXT [MODS]     a key goes down: virtual key code (0 to 65535),
//                            the characters it types, modifier keys held
//   keyup CODE TEXT [MODS]   the key comes up
//   flags MODS               the modifier keys held become MODS
//   scroll X Y DELTA         the wheel turns by DELTA (the event's delta y)
//                            with the mouse at the point
//   edit ACTION              the Edit menu's cut, copy, paste or selectAll
//   dropfiles X Y PATH...    files are dragged to the point and dropped there
//   menu [TITLE]             the next context menu shown chooses the item
//                            TITLE; without a title it is dismissed
//   open [PATH...]           the next open panel answers these paths; without
//                            paths it is cancelled
//   save [PATH]              the next save panel answers this path; without
//                            one it is cancelled
//   close                    the key window's close button is clicked
//   quit                     the application quits
//
// MODS is a comma-separated list of shift, control, option, command and
// capslock (no spaces), or "none".
//
// Example:
//
//   # click into the movie, type a capital A, copy, and quit
//   0.5   down 200 150
//   +0.05 up 200 150
//   1     key 0 "A" shift
//   +0.05 keyup 0 "A" shift
//   2     edit copy
//   2.5   dropfiles 300 200 "/tmp/a movie.swf" /tmp/b.swf
//   3     menu "Play"           # answers the right click that follows
//   3.1   down 200 150 right
//   +0.05 up 200 150
//   5     quit
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "mac/platform/Geometry.h"
#include "mac/platform/RunLoop.h"

namespace kw {

class Desktop;

enum class ScriptVerb {
  Move,
  Down,
  Drag,
  Up,
  Key,
  KeyUp,
  Flags,
  Scroll,
  Edit,
  DropFiles,
  Menu,
  Open,
  Save,
  Close,
  Quit,
};

// One scripted event. Only the fields its verb uses are set.
struct ScriptedEvent {
  double time = 0;  // seconds from the start of the script
  size_t line = 0;  // 1-based line of the script
  ScriptVerb verb = ScriptVerb::Move;
  DesktopPoint point;                // global point (top-left origin, y down)
  int32_t button = 0;                // down: 0 left, 1 right
  uint16_t keyCode = 0;              // key, keyup
  std::string characters;            // key, keyup
  uint32_t modifierFlags = 0;        // key, keyup, flags: kDesktop... bits
  double delta = 0;                  // scroll
  std::string action;                // edit: cut, copy, paste or selectAll
  std::optional<std::string> title;  // menu: none dismisses
  std::vector<std::string> paths;    // dropfiles; open, save (empty: cancel)
};

struct InputScriptError {
  size_t line = 0;  // 0: the script as a whole (it could not be read)
  std::string message;
  // "line 3: unknown verb \"jump\"", or the message alone for line 0.
  std::string describe() const;
};

struct InputScript {
  std::vector<ScriptedEvent> events;  // in line order
  std::optional<InputScriptError> error;
  bool ok() const { return !error.has_value(); }
};

// Parses a script; on the first bad line, the error and no events.
InputScript parseInputScript(std::string_view text);
// Reads and parses a script file (at most 16 MiB).
InputScript readInputScript(const std::filesystem::path& path);

// A global point (top-left of the main screen, y downward) on the screen
// (bottom-left origin, y upward), by the desktop's main screen frame now.
DesktopPoint screenPointFromGlobal(const Desktop& desktop, DesktopPoint global);
// Plays one event on the desktop now.
void performScriptedEvent(Desktop& desktop, const ScriptedEvent& event);
// Schedules every event on the run loop, `time` seconds from now; they play
// in time order, events at the same time in line order. The desktop must
// outlive the timers or the caller cancels them (the answered ids, in line
// order).
std::vector<RunLoop::TimerId> scheduleInputScript(RunLoop& runLoop, Desktop& desktop,
                                                  const std::vector<ScriptedEvent>& events);

}  // namespace kw
