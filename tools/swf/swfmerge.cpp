// swfmerge: merges a movie with the wrapper movie exactly as the plug-in host
// does before streaming it, and writes the bytes the plug-in would receive.
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "mac/pluginhost/MovieMerger.h"
#include "tools/swf/MovieFiles.h"

namespace {

constexpr const char* kUsage =
    "usage: swfmerge --wrapper WRAPPER --movie MOVIE [--no-wrapper] -o OUT\n"
    "\n"
    "Runs the movie merger on MOVIE (plain FWS, compressed CWS or enciphered):\n"
    "  default        merges it with WRAPPER (plain or enciphered): the movie's\n"
    "                 header, the wrapper's tags, a ScriptLimits tag and the\n"
    "                 movie's tags, uncompressed, as version 9\n"
    "  --no-wrapper   passes the movie through, deciphered if needed (WRAPPER is\n"
    "                 then optional and not read)\n"
    "OUT receives the bytes the plug-in would be written; when nothing would be\n"
    "written, OUT is not created (an existing OUT is left as it is).\n"
    "\n"
    "Prints one line \"status N\" with the merger's status: 0 success, 1302 an\n"
    "enciphered movie under 8 bytes, -3 a malformed or damaged movie, -5 a\n"
    "compressed movie longer than its declared length, -1 out of memory.\n"
    "Exit status: 0 when the status is 0, 1 when it is not, 2 on wrong usage or\n"
    "when a file cannot be read or written.\n";

struct Options {
  std::optional<std::string> wrapper;
  std::optional<std::string> movie;
  std::optional<std::string> output;
  bool wrapperFlag = true;
};

// Nothing when the arguments are not understood.
std::optional<Options> parse(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--no-wrapper") {
      options.wrapperFlag = false;
    } else if (arg == "--wrapper" && hasValue) {
      options.wrapper = argv[++i];
    } else if (arg == "--movie" && hasValue) {
      options.movie = argv[++i];
    } else if (arg == "-o" && hasValue) {
      options.output = argv[++i];
    } else {
      return std::nullopt;
    }
  }
  if (!options.movie || !options.output || (options.wrapperFlag && !options.wrapper)) return std::nullopt;
  return options;
}

}  // namespace

int main(int argc, char** argv) {
  const std::optional<Options> options = parse(argc, argv);
  if (const auto code = kw::tools::usageExit(argc, argv, kUsage, options.has_value())) return *code;

  const auto movie = kw::tools::readFileOrReport("swfmerge", *options->movie);
  if (!movie) return 2;
  std::vector<uint8_t> wrapper;
  if (options->wrapperFlag) {
    auto read = kw::tools::readFileOrReport("swfmerge", *options->wrapper);
    if (!read) return 2;
    wrapper = std::move(*read);
  }
  std::string error;

  const kw::MergeResult result = kw::mergeMovie(wrapper, *movie, options->wrapperFlag);
  if (result.written && !kw::tools::writeFileBytes(*options->output, *result.written, error)) {
    std::fprintf(stderr, "swfmerge: cannot write %s: %s\n", options->output->c_str(), error.c_str());
    return 2;
  }
  std::printf("status %d\n", static_cast<int>(result.status));
  return result.status == kw::kStatusOK ? 0 : 1;
}
