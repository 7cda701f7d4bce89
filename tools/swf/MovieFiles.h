// Whole-file reading and all-or-nothing writing of movie bytes for the swf tools.
#pragma once

#include <cerrno>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <span>
#include <string>
#include <system_error>
#include <vector>

namespace kw::tools {

// The whole file, or nothing with `error` set.
inline std::optional<std::vector<uint8_t>> readFileBytes(const std::filesystem::path& path,
                                                         std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = std::strerror(errno);
    return std::nullopt;
  }
  std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (in.bad()) {
    error = "read error";
    return std::nullopt;
  }
  return bytes;
}

// Writes a sibling temporary file and renames it over `path`, so that a
// failure leaves no partial file behind.
inline bool writeFileBytes(const std::filesystem::path& path, std::span<const uint8_t> bytes,
                           std::string& error) {
  std::filesystem::path temporary = path;
  temporary += ".partial";
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (out) out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (out) out.close();
    if (!out) {
      error = std::strerror(errno);
      std::error_code ignored;
      std::filesystem::remove(temporary, ignored);
      return false;
    }
  }
  std::error_code renameError;
  std::filesystem::rename(temporary, path, renameError);
  if (renameError) {
    error = renameError.message();
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
    return false;
  }
  return true;
}

// The whole file, or nothing after "TOOL: cannot read PATH: reason" on stderr.
inline std::optional<std::vector<uint8_t>> readFileOrReport(const char* tool, const std::filesystem::path& path) {
  std::string error;
  auto bytes = readFileBytes(path, error);
  if (!bytes) std::fprintf(stderr, "%s: cannot read %s: %s\n", tool, path.string().c_str(), error.c_str());
  return bytes;
}

// The exit code when the tool stops at its command line: 0 after printing the
// usage for --help or -h, 2 after printing it for a line that did not parse.
inline std::optional<int> usageExit(int argc, char** argv, const char* usage, bool parsed) {
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(usage, stdout);
    return 0;
  }
  if (parsed) return std::nullopt;
  std::fputs(usage, stderr);
  return 2;
}

}  // namespace kw::tools
