// The file system work behind the file commands: see FileOperations.h.
#include "mac/commands/families/FileOperations.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include "mac/commands/PercentEscaping.h"
#include "mac/platform/Bundle.h"
#include "mac/platform/FileDescriptors.h"
#include "mac/platform/SystemLog.h"
#include "mac/platform/Trash.h"
#include "mac/platform/Utf8.h"
#include "mac/windows/MovieHeaderProbe.h"

namespace kw::files {

namespace fs = std::filesystem;

namespace {

// Files larger than this do not read as text (a movie could otherwise ask
// for any amount of memory).
constexpr off_t kMaxTextFileBytes = off_t{512} * 1024 * 1024;

constexpr std::string_view kListStart = "<object><property id=\"KW_array\"><array>";
constexpr std::string_view kListEnd = "</array></property></object>";

std::optional<std::string> homeFolderOf(std::string_view user) {
  if (user.empty()) {
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return std::string(home);
    if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_dir != nullptr) return entry->pw_dir;
    return std::nullopt;
  }
  const std::string name(user);
  if (const passwd* entry = getpwnam(name.c_str()); entry != nullptr && entry->pw_dir != nullptr) return entry->pw_dir;
  return std::nullopt;
}

// The length of the well-formed UTF-8 sequence at `i`, or 0.
size_t utf8SequenceLength(std::string_view bytes, size_t i) {
  const auto at = [&](size_t k) { return static_cast<unsigned char>(bytes[k]); };
  const unsigned char lead = at(i);
  if (lead < 0x80) return 1;
  size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (i + length > bytes.size()) return 0;
  if (at(i + 1) < low || at(i + 1) > high) return 0;
  for (size_t k = 2; k < length; ++k) {
    if (at(i + k) < 0x80 || at(i + k) > 0xBF) return 0;
  }
  return length;
}

// The characters of a text read by the default rule (UTF-8, Latin-1 for
// bytes outside well-formed sequences).
std::u32string codePoints(std::string_view bytes) {
  std::u32string out;
  for (size_t i = 0; i < bytes.size();) {
    const size_t length = utf8SequenceLength(bytes, i);
    const auto lead = static_cast<unsigned char>(bytes[i]);
    if (length == 0) {
      out.push_back(lead);
      ++i;
      continue;
    }
    char32_t c = length == 1 ? lead : lead & (0xFFu >> (length + 1));
    for (size_t k = 1; k < length; ++k) c = (c << 6) | (static_cast<unsigned char>(bytes[i + k]) & 0x3Fu);
    out.push_back(c);
    i += length;
  }
  return out;
}

std::string decodeUTF16(std::string_view bytes, bool bigEndian) {
  std::string out;
  const auto unit = [&](size_t i) {
    const auto a = static_cast<unsigned char>(bytes[i]), b = static_cast<unsigned char>(bytes[i + 1]);
    return static_cast<char16_t>(bigEndian ? (a << 8 | b) : (b << 8 | a));
  };
  const size_t units = bytes.size() / 2;  // an odd last byte is dropped
  for (size_t i = 0; i < units; ++i) {
    const char16_t c = unit(2 * i);
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units) {
      const char16_t next = unit(2 * (i + 1));
      if (next >= 0xDC00 && next <= 0xDFFF) {
        appendUtf8(out, 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (next - 0xDC00u));
        ++i;
        continue;
      }
    }
    appendUtf8(out, (c >= 0xD800 && c <= 0xDFFF) ? U'\uFFFD' : static_cast<char32_t>(c));
  }
  return out;
}

bool pathExists(const fs::path& path) {
  std::error_code ec;
  return !path.empty() && fs::exists(path, ec);
}

// Something is at the path, a dangling link included.
bool occupied(const fs::path& path) {
  std::error_code ec;
  return fs::symlink_status(path, ec).type() != fs::file_type::not_found;
}

// `inner` is `outer` or lies inside it (both made absolute, links resolved
// as far as they exist).
bool isWithin(const fs::path& inner, const fs::path& outer) {
  std::error_code ec;
  const fs::path a = fs::weakly_canonical(inner, ec);
  if (ec) return true;  // cannot tell: count it as inside, so nothing is copied
  const fs::path b = fs::weakly_canonical(outer, ec);
  if (ec) return true;
  const auto [mismatch, rest] = std::mismatch(b.begin(), b.end(), a.begin(), a.end());
  return mismatch == b.end();
}

// Copies recursively, links as links; a failed copy removes what it made.
bool copyItem(const fs::path& from, const fs::path& to) {
  std::error_code ec;
  fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
  if (!ec) return true;
  std::error_code ignored;
  fs::remove_all(to, ignored);
  return false;
}

void trimTildesAndExclamations(std::string& text) {
  const size_t first = text.find_first_not_of("~!");
  if (first == std::string::npos) {
    text.clear();
    return;
  }
  text = text.substr(first, text.find_last_not_of("~!") + 1 - first);
}

std::string numberProperty(std::string_view id, int32_t value) {
  return "<property id=\"" + std::string(id) + "\"><number>" + std::to_string(value) + "</number></property>";
}

std::string dateProperty(std::string_view id, double milliseconds) {
  char number[64];
  std::snprintf(number, sizeof number, "%f", milliseconds);
  return "<property id=\"" + std::string(id) + "\"><number>" + number + "</number></property>";
}

// A size as the 32-bit integer the replies carry (larger sizes wrap).
int32_t as32Bits(int64_t value) { return static_cast<int32_t>(static_cast<uint32_t>(value)); }

double millisecondsSince1970(const statx_timestamp& time) {
  return static_cast<double>(time.tv_sec) * 1000.0 + static_cast<double>(time.tv_nsec) / 1e6;
}

// The attributes of a path, links followed; none when they cannot be read.
std::optional<struct statx> attributesOf(std::string_view path) {
  if (path.empty()) return std::nullopt;
  const std::string name(path);
  struct statx attributes {};
  if (::statx(AT_FDCWD, name.c_str(), AT_STATX_SYNC_AS_STAT, STATX_BASIC_STATS | STATX_BTIME, &attributes) != 0) {
    return std::nullopt;
  }
  return attributes;
}

void logInvalidPath(std::string_view path) { systemLog("Path (" + std::string(path) + ") is invalid."); }

}  // namespace

std::string convertFlashPathToOSPath(std::string_view path) { return std::string(path); }
std::string convertOSPathToFlashPath(std::string_view path) { return std::string(path); }

std::string standardizedPath(std::string_view path) {
  std::string expanded(path);
  if (!path.empty() && path.front() == '~') {
    const size_t slash = path.find('/');
    const std::string_view user = path.substr(1, slash == std::string_view::npos ? std::string_view::npos : slash - 1);
    if (const auto home = homeFolderOf(user)) {
      expanded = *home + std::string(slash == std::string_view::npos ? std::string_view() : path.substr(slash));
    }
  }
  if (expanded.empty()) return expanded;
  std::string normal = fs::path(expanded).lexically_normal().string();
  while (normal.size() > 1 && normal.back() == '/') normal.pop_back();
  return normal;
}

bool fileExists(std::string_view path) { return pathExists(fs::path(path)); }

bool isFolder(std::string_view path) {
  std::error_code ec;
  return !path.empty() && fs::is_directory(fs::path(path), ec);
}

bool createFolder(std::string_view path) {
  if (path.empty()) return false;
  std::error_code ec;
  return fs::create_directory(fs::path(path), ec) && !ec;
}

bool copyFileOrFolder(std::string_view source, std::string_view destination, const Bundle* bundle) {
  std::optional<fs::path> from;
  if (bundle != nullptr) from = bundle->pathForResource(source, "");
  if (!from && !source.empty()) from = fs::path(convertFlashPathToOSPath(source));
  if (!from || !pathExists(*from)) {
    systemLog("could not get source file path");
    return false;
  }
  const fs::path to(convertFlashPathToOSPath(destination));
  if (to.empty() || occupied(to)) return false;
  std::error_code ec;
  // A folder copied into itself would never end.
  if (!fs::is_symlink(*from, ec) && fs::is_directory(*from, ec) && isWithin(to, *from)) return false;
  return copyItem(*from, to);
}

bool createShortCut(std::string_view target, std::string_view link) {
  if (target.empty() || link.empty()) return false;
  std::error_code ec;
  fs::create_symlink(fs::path(convertFlashPathToOSPath(target)), fs::path(convertFlashPathToOSPath(link)), ec);
  return !ec;
}

bool renameFile(std::string_view from, std::string_view to) {
  const fs::path source(convertFlashPathToOSPath(from)), target(convertFlashPathToOSPath(to));
  if (source.empty() || target.empty() || !occupied(source) || occupied(target)) return false;
  std::error_code ec;
  fs::rename(source, target, ec);
  if (!ec) return true;
  if (ec != std::errc::cross_device_link || !copyItem(source, target)) return false;
  fs::remove_all(source, ec);
  return !ec;
}

bool moveFileToUserTrash(std::string_view path) {
  return !path.empty() && moveToUserTrash(fs::path(convertFlashPathToOSPath(path)));
}

std::string decodeText(std::string_view bytes) {
  if (bytes.size() >= 2) {
    const auto a = static_cast<unsigned char>(bytes[0]), b = static_cast<unsigned char>(bytes[1]);
    if (a == 0xFF && b == 0xFE) return decodeUTF16(bytes.substr(2), false);
    if (a == 0xFE && b == 0xFF) return decodeUTF16(bytes.substr(2), true);
  }
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  std::string out;
  out.reserve(bytes.size());
  for (const char32_t c : codePoints(bytes)) appendUtf8(out, c);
  return out;
}

std::string encodeUTF16WithBOM(std::string_view text) {
  std::string out;
  const auto put = [&out](char16_t unit) {
    char bytes[2];
    std::memcpy(bytes, &unit, 2);  // the machine's byte order
    out.append(bytes, 2);
  };
  put(0xFEFF);
  for (const char32_t c : codePoints(text)) {
    if (c >= 0x10000) {
      put(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
      put(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    } else {
      put(static_cast<char16_t>(c));
    }
  }
  return out;
}

bool writeFileAtomically(const fs::path& path, std::string_view bytes) {
  if (path.empty() || !path.has_filename()) return false;
  const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
  std::string temporary = (folder / ".kw-write.XXXXXX").string();
  const int fd = ::mkstemp(temporary.data());
  if (fd < 0) return false;
  // The new file gets the old one's permissions, or the usual ones of a new file.
  struct stat old {};
  mode_t mode = 0;
  if (::stat(path.c_str(), &old) == 0) {
    mode = old.st_mode & 07777;
  } else {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
  }
  const bool written = writeAll(fd, bytes) && ::fchmod(fd, mode) == 0;
  const bool closed = ::close(fd) == 0;
  if (written && closed && ::rename(temporary.c_str(), path.c_str()) == 0) return true;
  ::unlink(temporary.c_str());
  return false;
}

bool writeFileInPlace(const fs::path& path, std::string_view bytes) {
  if (path.empty()) return false;
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NONBLOCK, 0666);
  if (fd < 0) return false;
  const bool written = writeAll(fd, bytes);
  return ::close(fd) == 0 && written;
}

std::optional<std::string> readFile(const fs::path& path) {
  if (path.empty()) return std::nullopt;
  // Not blocking, so that a named pipe cannot hold the application up.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return std::nullopt;
  struct stat info {};
  std::optional<std::string> content;
  if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= kMaxTextFileBytes) {
    std::string bytes;
    char buffer[65536];
    for (;;) {
      const ssize_t count = ::read(fd, buffer, sizeof buffer);
      if (count < 0 && errno == EINTR) continue;
      if (count < 0 || static_cast<off_t>(bytes.size()) + count > kMaxTextFileBytes) break;
      if (count == 0) {
        content = std::move(bytes);
        break;
      }
      bytes.append(buffer, static_cast<size_t>(count));
    }
  }
  ::close(fd);
  return content;
}

bool writeStringToFile(std::string_view path, std::string_view text) {
  const std::string standardized = standardizedPath(convertFlashPathToOSPath(path));
  if (standardized.empty()) return false;
  return writeFileAtomically(standardized, encodeUTF16WithBOM(text));
}

std::optional<std::string> readStringFromFile(std::string_view path) {
  const std::optional<std::string> bytes = readFile(convertFlashPathToOSPath(path));
  if (!bytes) return std::nullopt;
  return stringByAddingPercentEscapesIncludingAmpersands(decodeText(*bytes));
}

bool appendStringToFile(std::string_view path, std::string_view text) {
  const fs::path file(convertFlashPathToOSPath(path));
  if (file.empty()) return false;
  const std::optional<std::string> old = readFile(file);
  // The whole text goes back in the default encoding, which holds any text.
  return writeFileInPlace(file, old ? decodeText(*old) + decodeText(text) : decodeText(text));
}

std::string listFilesOrFolders(std::string_view folder, bool listFiles, bool synchronous) {
  std::string folders, files;
  size_t folderCount = 0, fileCount = 0;
  if (synchronous) folders = files = std::string(kListStart);
  const fs::path base(convertFlashPathToOSPath(folder));
  std::error_code ec;
  if (!base.empty()) {
    for (fs::directory_iterator entry(base, ec), end; !ec && entry != end; entry.increment(ec)) {
      const std::string name = entry->path().filename().string();
      std::error_code kindError;
      const bool isDirectory = fs::is_directory(base / name, kindError);
      std::string& text = isDirectory ? folders : files;
      size_t& count = isDirectory ? folderCount : fileCount;
      const std::string escaped = stringByAddingPercentEscapesIncludingAmpersandsAndCommas(name);
      if (synchronous) {
        text += "<property id=\"" + std::to_string(count) + "\"><string>" + escaped + "</string></property>";
      } else {
        text += escaped + "~!";
      }
      ++count;
    }
  }
  if (synchronous) {
    folders += "<property id =\"length\"><number>" + std::to_string(folderCount) + "</number></property>";
    folders += kListEnd;
    files += "<property id =\"length\"><number>" + std::to_string(fileCount) + "</number></property>";
    files += kListEnd;
  }
  trimTildesAndExclamations(folders);
  trimTildesAndExclamations(files);
  return listFiles ? files : folders;
}

std::optional<int64_t> getFileSize(std::string_view path) {
  const auto attributes = attributesOf(convertFlashPathToOSPath(path));
  if (!attributes) {
    logInvalidPath(path);
    return std::nullopt;
  }
  const auto size = static_cast<int64_t>(attributes->stx_size);
  systemLog("File size: " + std::to_string(size));
  if (const passwd* owner = getpwuid(attributes->stx_uid); owner != nullptr && owner->pw_name != nullptr) {
    systemLog("Owner: " + std::string(owner->pw_name));
  }
  systemLog("Modification date: " + dateDescription(static_cast<std::time_t>(attributes->stx_mtime.tv_sec)));
  return size;
}

std::optional<std::string> getFileAttributes(std::string_view path) {
  systemLog("getFileAttributes");
  const auto attributes = attributesOf(convertFlashPathToOSPath(path));
  if (!attributes) {
    logInvalidPath(path);
    return std::nullopt;
  }
  const int64_t size = getFileSize(path).value_or(static_cast<int64_t>(attributes->stx_size));
  const double created = (attributes->stx_mask & STATX_BTIME) != 0 ? millisecondsSince1970(attributes->stx_btime) : 0;
  const double modified = (attributes->stx_mask & STATX_MTIME) != 0 ? millisecondsSince1970(attributes->stx_mtime) : 0;
  std::string object = "<object>";
  object += "<property id=\"Attributes\"><string>nil</string></property>";
  object += dateProperty("Created", created);
  object += dateProperty("Modified", modified);
  object += numberProperty("Size", as32Bits(size));
  object += "</object>";
  systemLog("attributesObject " + object);
  return object;
}

std::string getFlashHeader(std::string_view path) {
  if (path.empty()) return {};
  const std::string file = convertFlashPathToOSPath(path);
  const int64_t size = getFileSize(file).value_or(0);
  const MovieHeaderInfo info = probeMovieHeader(fs::path(file));
  const bool probed = info.status == kStatusOK;
  std::string object = "<object>";
  object += numberProperty("FileSize", as32Bits(size));
  object += numberProperty("FrameCount", probed ? static_cast<int32_t>(info.frameCount) : 0);
  object += numberProperty("FrameRate", probed ? static_cast<int32_t>(info.frameRate) : 0);
  object += numberProperty("Height", probed ? info.rect.bottom - info.rect.top : 0);
  object += numberProperty("Version", probed ? info.version : 0);
  object += numberProperty("Width", probed ? info.rect.right - info.rect.left : 0);
  object += "</object>";
  systemLog("headerObject " + object);
  return object;
}

}  // namespace kw::files
