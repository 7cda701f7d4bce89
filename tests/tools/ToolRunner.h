// Helpers for end-to-end tests of the tools: run a real binary through the
// shell for its standard output and exit code, in a fresh temporary folder.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "tests/support/TempDir.h"

namespace kw::test {

struct ToolRun {
  int exitCode = -1;
  std::string out;  // standard output only
};

// The text in single quotes for the shell.
inline std::string quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// Runs `tool` (a binary of the tools folder) with already quoted arguments.
inline ToolRun runTool(const std::string& tool, const std::string& arguments) {
  ToolRun result;
  const std::filesystem::path binary = std::filesystem::path(KW_TOOLS_DIR) / tool;
  FILE* pipe = popen((quoted(binary.string()) + " " + arguments + " 2>/dev/null").c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[4096];
  for (size_t count = 0; (count = fread(buffer, 1, sizeof buffer, pipe)) > 0;) result.out.append(buffer, count);
  const int status = pclose(pipe);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

class ToolTest : public ::testing::Test {
 protected:
  std::string path(const std::string& name) const { return (temp_.path() / name).string(); }
  TempDir temp_;
};

}  // namespace kw::test
