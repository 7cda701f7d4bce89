// Preference domains of the user stored as property-list files under
// ~/Library/Preferences: the login items of the "loginwindow" domain (any
// host) and the screen-saver module of the "com.apple.screensaver" domain
// (current host, kept under ByHost/ with the computer's name).
#pragma once

#include <filesystem>
#include <string>

namespace kw {

std::filesystem::path preferencesFolder();
std::filesystem::path loginItemsFile();
std::filesystem::path screenSaverFile();

// True when a login item's "Path" ends in the bundle's last path component.
bool startsAtLogin(const std::filesystem::path& bundle);
// true: appends an item {"Path": bundle, "Hide": false} (duplicates allowed);
// false: removes the first item that names the bundle. Failures are silent.
void setStartAtLogin(const std::filesystem::path& bundle, bool start);
// Sets "moduleName" (the name without its extension) and "modulePath"
// (~/Library/Screen Savers); nothing for an empty name.
void setActiveScreenSaver(const std::string& name);

}  // namespace kw
