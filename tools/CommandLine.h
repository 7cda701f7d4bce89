// The command-line step the tools share: parse the options, answer a usage
// error with the message and the usage text (status 2), and --help with the
// usage text (status 0).
#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace kw::tools {

// Thrown by a tool's option parser for a command line that does not parse.
struct UsageError {
  std::string message;
};

// Walks a command line for an option parser.
class Arguments {
 public:
  Arguments(int argc, char** argv) : argc_(argc), argv_(argv) {}
  // Moves to the next argument; false after the last.
  bool next() { return ++index_ < argc_; }
  std::string_view current() const { return argv_[index_]; }
  bool isHelp() const { return current() == "-h" || current() == "--help"; }
  // The argument after the current option, which takes it.
  std::string_view value() {
    if (index_ + 1 >= argc_) throw UsageError{std::string(current()) + " needs a value"};
    return argv_[++index_];
  }

 private:
  int argc_;
  char** argv_;
  int index_ = 0;
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
