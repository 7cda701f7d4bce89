// The movie's preference file "prefs.txt": parsing, updating and the atomic
// write (temporary file, then rename). See PreferenceFile.h.
#include "mac/pluginhost/PreferenceFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <system_error>

#include "mac/platform/FileDescriptors.h"

namespace kw {
namespace {

bool isLineSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool endsValue(char c) { return c == '&' || c == '\r' || c == '\n'; }

}  // namespace

std::vector<PreferencePair> parsePreferences(std::string_view text) {
  std::vector<PreferencePair> pairs;
  size_t pos = 0;
  const size_t size = text.size();
  while (pos < size) {
    // Space and separators before a pair.
    while (pos < size && (isLineSpace(text[pos]) || text[pos] == '&')) ++pos;
    if (pos >= size) break;
    // The name runs to '='; a piece that ends first is not a pair.
    const size_t nameStart = pos;
    while (pos < size && text[pos] != '=' && !endsValue(text[pos])) ++pos;
    if (pos >= size || text[pos] != '=') continue;
    PreferencePair pair;
    pair.name = std::string(text.substr(nameStart, pos - nameStart));
    ++pos;  // '='
    while (pos < size && isBlank(text[pos])) ++pos;
    const size_t valueStart = pos;
    while (pos < size && !endsValue(text[pos])) ++pos;
    pair.value = std::string(text.substr(valueStart, pos - valueStart));
    pairs.push_back(std::move(pair));
  }
  return pairs;
}

std::string formatPreferences(const std::vector<PreferencePair>& pairs) {
  std::string out;
  for (const auto& pair : pairs) {
    out += '&';
    out += pair.name;
    out += '=';
    out += pair.value;
  }
  return out;
}

void storePreference(std::vector<PreferencePair>& pairs, std::string_view name, std::string_view value) {
  bool found = false;
  for (auto& pair : pairs) {
    if (pair.name.find(name) != std::string::npos) {
      pair.value = std::string(value);
      found = true;
    }
  }
  if (!found) pairs.push_back({std::string(name), std::string(value)});
}

bool readPreferenceFile(const std::filesystem::path& file, std::vector<PreferencePair>& pairs) {
  pairs.clear();
  std::error_code error;
  const auto status = std::filesystem::status(file, error);
  if (status.type() == std::filesystem::file_type::not_found) return true;
  if (error || !std::filesystem::is_regular_file(status)) return false;
  std::ifstream in(file, std::ios::binary);
  if (!in) return false;
  // Read in blocks: GCC's optimiser reports a false null dereference inside
  // istreambuf_iterator, which breaks the release build.
  std::string text;
  std::array<char, 4096> block;
  while (in.read(block.data(), block.size()) || in.gcount() > 0) {
    text.append(block.data(), static_cast<size_t>(in.gcount()));
  }
  if (in.bad()) return false;
  pairs = parsePreferences(text);
  return true;
}

bool writePreferenceFile(const std::filesystem::path& file, const std::vector<PreferencePair>& pairs) {
  const std::string text = formatPreferences(pairs);
  std::string pattern = file.string() + ".XXXXXX";
  const int fd = ::mkstemp(pattern.data());
  if (fd < 0) return false;

  // Keep the permissions of the file being replaced; a new file is readable by all.
  struct stat existing {};
  const mode_t mode = ::stat(file.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : 0644;
  bool ok = ::fchmod(fd, mode) == 0 && writeAll(fd, text) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (ok) ok = std::rename(pattern.c_str(), file.c_str()) == 0;
  if (!ok) ::unlink(pattern.c_str());
  return ok;
}

bool savePreference(const std::filesystem::path& folder, std::string_view name, std::string_view value) {
  // An empty name is contained in every name: it would overwrite every pair.
  if (name.empty()) return false;
  const std::filesystem::path file = folder / kPreferenceFileName;
  std::vector<PreferencePair> pairs;
  if (!readPreferenceFile(file, pairs)) return false;
  storePreference(pairs, name, value);
  return writePreferenceFile(file, pairs);
}

}  // namespace kw
