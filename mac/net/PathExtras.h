// Path helpers that depend on the machine's folders: abbreviating the home
// folder as "~", and mending paths that begin with a volume name.
#pragma once

#include <string>
#include <string_view>

namespace kw {

// The folders the path helpers consult. Tests build one over a temporary
// folder with a fake volumes folder.
struct PathContext {
  std::string homeFolder{};                // e.g. "/home/me"
  std::string volumesFolder = "/Volumes";  // holds one entry per mounted volume
  std::string startupVolumeName{};         // the volume the system started from

  static constexpr std::string_view kDefaultStartupVolumeName = "System";

  // Home folder from $HOME, else the password database; "/Volumes"; the given
  // startup volume name.
  static PathContext fromSystem(std::string startupVolumeName = std::string(kDefaultStartupVolumeName));
};

// When the path begins with the home folder with its symbolic links resolved,
// that part becomes the home folder as given; then a path that is the home
// folder or lies inside it begins with "~" instead. Paths elsewhere, and every
// path when the home folder is empty or "/", stay as they are.
std::string stringByAbbreviatingWithTildeInPath(std::string_view path, const PathContext& context);

// A path that exists is returned as it is. Otherwise its first name (the one
// after the volumes folder, when the path lies in it) is taken as a volume
// name: the startup volume's name is dropped, the name of a volume in the
// volumes folder is put under that folder. The result is returned when it
// exists; in every other case (also for relative paths) the path unchanged.
// "/Disk/Users/me/a.txt" on startup volume "Disk" gives "/Users/me/a.txt".
std::string fixedCarbonPOSIXPath(std::string_view path, const PathContext& context);

}  // namespace kw
