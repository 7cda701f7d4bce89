// The projector's settings: the "prefs" resource of type "xml" in the
// application bundle, read by key on every call.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "mac/platform/Bundle.h"
#include "mac/platform/PropertyList.h"

namespace kw {

// Class methods only. The settings come from one process-wide bundle: the
// program sets its application bundle once at start-up, before any window is
// made; tests set their own per test and clear it afterwards. Without a bundle
// every key reads as missing. Called on the main thread (the bundle itself is
// guarded, so a stray call from elsewhere is still safe).
class playerSettings {
 public:
  playerSettings() = delete;

  // The bundle whose resources hold the settings file; none clears it.
  static void setBundle(std::optional<Bundle> bundle);
  static std::optional<Bundle> bundle();

  // loadSetting: the value stored under `key` in the settings file, read
  // afresh on every call (no cache). None for a missing bundle, file or key,
  // for a malformed file or one whose root is not a dictionary.
  static std::optional<PlistValue> loadSetting(std::string_view key);

  // The keys the program reads, converted as in PropertyList.h (a number and
  // its decimal string are equivalent); a missing value gives the default in
  // brackets.
  static int32_t windowType();                // "windowType" (0, a standard window)
  static std::optional<std::string> zOrder();  // "zOrder" (none: no level change)
  static int32_t dragging();                  // "dragging" (0)
  static int32_t resizeable();                // "resizeable" (0: not resizable)
  static int32_t windowAlpha();               // "windowAlpha", percent (0)
  static int32_t shieldWindow();              // "shieldWindow" (0: no capture)
  static int32_t chrome();                    // "chrome" (0: plain style)
  static bool mask();                         // "mask" (false: no mask)
  static std::optional<std::string> maskName();  // "maskName" (none: no mask image)
  static bool maskDragging();                 // "maskDragging" (false)
  static int32_t dropShadow();                // "dropShadow" (0: no shadow)
};

}  // namespace kw
