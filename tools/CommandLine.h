// The command-line step the tools share: parse the options, answer a usage
// error with the message and the usage text (status 2), and --help with the
// usage text (status 0).
#pragma once

#include <cstdio>
#include <optional>
#include <string>

namespace kw::tools {

// Thrown by a tool's option parser for a command line that does not parse.
struct UsageError {
  std::string message;
};

// Runs `parse(argc, argv)` into `options` (a type with a `help` flag). Answers
// the exit status when the tool is to stop here, none when it goes on.
template <typename Options, typename Parse>
std::optional<int> readCommandLine(const char* tool, const char* usage, int argc, char** argv, Parse parse,
                                   Options& options) {
  try {
    options = parse(argc, argv);
  } catch (const UsageError& error) {
    std::fprintf(stderr, "%s: %s\n\n%s", tool, error.message.c_str(), usage);
    return 2;
  }
  if (options.help) {
    std::fputs(usage, stdout);
    return 0;
  }
  return std::nullopt;
}

}  // namespace kw::tools
