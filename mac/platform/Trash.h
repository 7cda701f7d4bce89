// Moving files and folders into the user's Trash (the freedesktop layout:
// $XDG_DATA_HOME/Trash, else ~/.local/share/Trash, with files/ and info/).
#pragma once

#include <ctime>
#include <filesystem>
#include <string>

namespace kw {

// Moves the item into the Trash under its own name; when that name is taken,
// under the current date's standard description ("2024-05-17 09:30:00 +0000")
// directly followed by the name. The Trash's folders are created when
// missing. Answers whether a move succeeded; false without a Trash location,
// for a missing item, and for the Trash itself or a folder holding it.
bool moveToUserTrash(const std::filesystem::path& item);

// The standard text description of a date, in UTC.
std::string dateDescription(std::time_t when);

}  // namespace kw
