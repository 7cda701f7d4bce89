// The per-run folder under the system temporary folder, in which the package
// is unpacked for one run, and its removal with everything in it.
#pragma once

#include <string>

namespace kw::orbalo {

// The folder's path; "\\INVALID_PATH\" while no folder exists. When a folder
// exists the path ends in a backslash.
const std::string& PerRunFolder();

// Builds the name from the clock and creates the folder (the result of the
// creation is not checked: failures show when files cannot be written).
void CreatePerRunFolder();

// Leaves the folder (the temporary folder becomes current), deletes it with
// all its content and sets the path back to "\\INVALID_PATH\".
void RemovePerRunFolder();

// Deletes `folder` (ending in a backslash) and everything below it, but only
// when it lies strictly inside `tempPath`, by name and once resolved. A link
// or junction found inside is removed as a link and its target is never
// entered; an entry that resolves to a place outside the folder (a link the
// system does not show as one) is left in place. True when the folder is gone.
bool DeleteFolderTree(const std::string& folder, const std::string& tempPath);

}  // namespace kw::orbalo
