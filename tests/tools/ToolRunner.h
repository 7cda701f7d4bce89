// Helpers for the tools' end-to-end tests: run a real binary through the
// shell, collect its standard output and exit code, and keep a temporary folder.
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
  const std::string command =
      quoted((std::filesystem::path(KW_TOOLS_DIR) / tool).string()) + " " + arguments + " 2>/dev/null";
  ToolRun result;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return result;
  char buffer[4096];
  size_t count = 0;
  while ((count = fread(buffer, 1, sizeof buffer, pipe)) > 0) result.out.append(buffer, count);
  const int status = pclose(pipe);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

// A fixture with a fresh temporary folder for each test.
class ToolTest : public ::testing::Test {
 protected:
  TempDir temp_;
  const std::filesystem::path dir_ = temp_.path();
};

}  // namespace kw::test
