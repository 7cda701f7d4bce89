// Path helpers over the file system: see PathExtras.h.
#include "mac/net/PathExtras.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

namespace kw {
namespace {

namespace fs = std::filesystem;

bool exists(const std::string& path) {
  std::error_code error;
  return !path.empty() && fs::exists(fs::path(path), error);
}

// Path without trailing slashes ("/" stays "/").
std::string_view withoutTrailingSlashes(std::string_view path) {
  while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  return path;
}

// `path` equals `folder` or lies inside it (whole names only).
bool isInFolder(std::string_view path, std::string_view folder) {
  return path.starts_with(folder) && (path.size() == folder.size() || path[folder.size()] == '/');
}

std::vector<std::string> components(std::string_view path) {
  std::vector<std::string> parts;
  size_t i = 0;
  while (i < path.size()) {
    const size_t slash = path.find('/', i);
    const size_t end = slash == std::string_view::npos ? path.size() : slash;
    if (end > i) parts.emplace_back(path.substr(i, end - i));
    i = end + 1;
  }
  return parts;
}

std::string joined(const std::vector<std::string>& parts, size_t from) {
  std::string out;
  for (size_t i = from; i < parts.size(); ++i) {
    out += '/';
    out += parts[i];
  }
  return out.empty() ? "/" : out;
}

}  // namespace

PathContext PathContext::fromSystem(std::string startupVolumeName) {
  PathContext context;
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    context.homeFolder = home;
  } else if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_dir != nullptr) {
    context.homeFolder = entry->pw_dir;
  }
  context.startupVolumeName = std::move(startupVolumeName);
  return context;
}

std::string stringByAbbreviatingWithTildeInPath(std::string_view path, const PathContext& context) {
  const std::string_view home = withoutTrailingSlashes(context.homeFolder);
  if (home.empty() || home == "/") return std::string(path);

  std::string result(path);
  std::error_code error;
  const fs::path resolved = fs::canonical(fs::path(std::string(home)), error);
  if (!error) {
    const std::string resolvedHome = resolved.string();
    if (resolvedHome != home && resolvedHome != "/" && isInFolder(result, resolvedHome)) {
      result.replace(0, resolvedHome.size(), home);
    }
  }
  if (!isInFolder(result, home)) return result;
  std::string abbreviated(1, '~');
  abbreviated.append(result, home.size());
  return abbreviated;
}

std::string fixedCarbonPOSIXPath(std::string_view path, const PathContext& context) {
  const std::string original(path);
  if (exists(original) || path.empty() || path.front() != '/') return original;

  const std::vector<std::string> parts = components(path);
  const std::vector<std::string> volumesParts = components(context.volumesFolder);
  size_t first = 0;  // index of the volume name
  if (!volumesParts.empty() && parts.size() >= volumesParts.size() &&
      std::equal(volumesParts.begin(), volumesParts.end(), parts.begin())) {
    first = volumesParts.size();
  }
  if (first >= parts.size()) return original;

  const std::string& name = parts[first];
  std::string candidate;
  if (!context.startupVolumeName.empty() && name == context.startupVolumeName) {
    candidate = joined(parts, first + 1);
  } else {
    const std::string volume = std::string(withoutTrailingSlashes(context.volumesFolder)) + "/" + name;
    std::error_code error;
    if (context.volumesFolder.empty() || !fs::exists(fs::symlink_status(fs::path(volume), error))) return original;
    candidate = volume + (first + 1 < parts.size() ? joined(parts, first + 1) : "");
  }
  return exists(candidate) ? candidate : original;
}

}  // namespace kw
