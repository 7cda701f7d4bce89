// The user's freedesktop Trash: items are moved into Trash/files with an
// info entry in Trash/info that tells a desktop where they came from.
#include "mac/platform/Trash.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <system_error>

namespace kw {

namespace fs = std::filesystem;

namespace {

// $XDG_DATA_HOME/Trash, else $HOME/.local/share/Trash; none when neither
// variable gives an absolute folder.
std::optional<fs::path> userTrashFolder() {
  if (const char* data = std::getenv("XDG_DATA_HOME"); data != nullptr && *data != '\0') {
    const fs::path path(data);
    if (path.is_absolute()) return path / "Trash";
  }
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    const fs::path path(home);
    if (path.is_absolute()) return path / ".local" / "share" / "Trash";
  }
  return std::nullopt;
}

std::string formatTime(std::time_t when, const char* format, bool utc) {
  std::tm parts{};
  if (utc) {
    gmtime_r(&when, &parts);
  } else {
    localtime_r(&when, &parts);
  }
  char buffer[64];
  const size_t length = std::strftime(buffer, sizeof buffer, format, &parts);
  return std::string(buffer, length);
}


// A path as the Path key of a .trashinfo file: URI-escaped, slashes kept.
std::string escapeTrashPath(const std::string& path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char c : path) {
    const auto byte = static_cast<unsigned char>(c);
    const bool plain = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') || (byte >= '0' && byte <= '9') ||
                       byte == '/' || byte == '-' || byte == '_' || byte == '.' || byte == '~';
    if (plain) {
      out.push_back(c);
    } else {
      out.push_back('%');
      out.push_back(kHex[byte >> 4]);
      out.push_back(kHex[byte & 0x0F]);
    }
  }
  return out;
}

// Moves across file systems: a copy, then the original is removed.
bool moveItem(const fs::path& from, const fs::path& to) {
  std::error_code ec;
  fs::rename(from, to, ec);
  if (!ec) return true;
  if (ec != std::errc::cross_device_link) return false;
  fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
  if (ec) {
    fs::remove_all(to, ec);
    return false;
  }
  fs::remove_all(from, ec);
  return !ec;
}

// Puts `item` into the Trash under `name`: the name is claimed by creating its
// .trashinfo file exclusively, then the item moves to files/. False when the
// name is taken or the move fails (nothing is left behind then).
bool trashUnderName(const fs::path& item, const fs::path& trash, const std::string& name, std::time_t now) {
  const fs::path info = trash / "info" / (name + ".trashinfo");
  const fs::path target = trash / "files" / name;
  std::error_code ec;
  if (fs::symlink_status(target, ec).type() != fs::file_type::not_found) return false;

  const int fd = ::open(info.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  const std::string text = "[Trash Info]\nPath=" + escapeTrashPath(item.string()) +
                           "\nDeletionDate=" + formatTime(now, "%Y-%m-%dT%H:%M:%S", false) + "\n";
  const bool written = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  const bool closed = ::close(fd) == 0;
  if (!written || !closed || !moveItem(item, target)) {
    fs::remove(info, ec);
    return false;
  }
  return true;
}

}  // namespace

std::string dateDescription(std::time_t when) { return formatTime(when, "%Y-%m-%d %H:%M:%S +0000", true); }

bool moveToUserTrash(const fs::path& path) {
  const std::optional<fs::path> trash = userTrashFolder();
  if (!trash || path.empty()) return false;
  std::error_code ec;
  fs::path item = fs::absolute(path, ec).lexically_normal();
  if (ec) return false;
  if (item.filename().empty()) item = item.parent_path();  // "folder/" names the folder
  const std::string name = item.filename().string();
  if (name.empty() || name == "." || name == ".." || fs::symlink_status(item, ec).type() == fs::file_type::not_found) {
    return false;
  }
  // Refuses to trash the Trash or anything holding it.
  const fs::path trashNormal = trash->lexically_normal();
  const auto [mismatch, rest] = std::mismatch(item.begin(), item.end(), trashNormal.begin(), trashNormal.end());
  if (mismatch == item.end()) return false;

  fs::create_directories(*trash / "files", ec);
  fs::create_directories(*trash / "info", ec);
  if (!fs::is_directory(*trash / "files", ec) || !fs::is_directory(*trash / "info", ec)) return false;

  const std::time_t now = std::time(nullptr);
  return trashUnderName(item, *trash, name, now) || trashUnderName(item, *trash, dateDescription(now) + name, now);
}

}  // namespace kw
