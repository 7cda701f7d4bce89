// swfmake: writes a small movie with the SWF writer (the README's example movie,
// fixtures for end-to-end tests).
#include <algorithm>
#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <type_traits>
#include <utility>
#include <vector>

#include "tools/CommandLine.h"
#include "tools/swf/MovieFiles.h"
#include "tools/swf/SwfWriter.h"

namespace {

constexpr const char* kUsage =
    "usage: swfmake -o OUT.swf [options]\n"
    "\n"
    "Writes a movie. Its tags, in order: FileAttributes (with --as3 or --wrapper),\n"
    "SetBackgroundColor (with --background or --wrapper), Metadata, DoABC (--as3),\n"
    "then the frames in the order given: one per --geturl (a DoAction with\n"
    "ActionGetURL, then ShowFrame) and N empty ones per --pause N; then empty\n"
    "frames up to --frames, and End.\n"
    "\n"
    "  -o OUT.swf             the file to write (replaced atomically)\n"
    "  --compressed           write a CWS movie (zlib body) instead of FWS\n"
    "  --version N            format version, 0..255 (default 10)\n"
    "  --size WxH             movie size in pixels, each 0..65535 (default 550x400)\n"
    "  --rate FPS             frame rate, 0..255.99, stored as 8.8 fixed point (default 12)\n"
    "  --frames N             frame count, at least the number of frames given by --geturl\n"
    "                         and --pause (default: that number, at least 1)\n"
    "  --background RRGGBB    background colour, hexadecimal (default with --wrapper: FFFFFF)\n"
    "  --as3                  mark the movie as ActionScript 3: FileAttributes flag 0x08\n"
    "                         and a placeholder DoABC tag (ABC version only, no code)\n"
    "  --metadata TEXT        a Metadata tag with TEXT\n"
    "  --geturl URL[@TARGET]  a frame whose action loads URL into TARGET (split at the\n"
    "                         last '@'; end with '@' when URL itself contains one)\n"
    "  --pause N              N empty frames at this point, 1..65535 (a pause of N / FPS\n"
    "                         seconds before the next --geturl)\n"
    "  --wrapper              a wrapper-like movie: the first two tags are FileAttributes\n"
    "                         and SetBackgroundColor (the 11 bytes a merge drops)\n"
    "  -h, --help             this text\n"
    "Exit status: 0 written, 1 the file could not be written, 2 wrong usage.\n";

struct Options {
  bool help = false;
  std::string out;
  kw::swf::MovieHeader header;
  std::optional<uint32_t> frames;
  std::optional<uint32_t> background;
  bool as3 = false;
  bool wrapper = false;
  std::optional<std::string> metadata;
  // The frames given, in order: a getURL (url, target), or none for an empty frame.
  std::vector<std::optional<std::pair<std::string, std::string>>> sequence;
};

using kw::tools::UsageError;

template <typename Number>
Number parseNumber(std::string_view text, Number low, Number high, std::string_view what, int base = 10) {
  Number value{};
  std::from_chars_result result{};
  if constexpr (std::is_floating_point_v<Number>) {
    result = std::from_chars(text.data(), text.data() + text.size(), value);
  } else {
    result = std::from_chars(text.data(), text.data() + text.size(), value, base);
  }
  if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size() || value < low ||
      value > high) {
    throw UsageError{"bad " + std::string(what) + ": \"" + std::string(text) + "\""};
  }
  return value;
}

Options parseOptions(int argc, char** argv) {
  Options options;
  options.header.frame = {0, 550 * 20, 0, 400 * 20};
  for (kw::tools::Arguments args(argc, argv); args.next();) {
    const std::string_view arg = args.current();
    const auto value = [&args] { return args.value(); };
    if (args.isHelp()) {
      options.help = true;
      return options;
    } else if (arg == "-o") {
      options.out = value();
    } else if (arg == "--compressed") {
      options.header.compressed = true;
    } else if (arg == "--version") {
      options.header.version = static_cast<uint8_t>(parseNumber<unsigned>(value(), 0, 255, "version"));
    } else if (arg == "--size") {
      const std::string_view size = value();
      const size_t x = size.find('x');
      if (x == std::string_view::npos) throw UsageError{"bad size: \"" + std::string(size) + "\""};
      const auto width = parseNumber<int32_t>(size.substr(0, x), 0, 65535, "width");
      const auto height = parseNumber<int32_t>(size.substr(x + 1), 0, 65535, "height");
      options.header.frame = {0, width * 20, 0, height * 20};
    } else if (arg == "--rate") {
      options.header.frameRate = kw::swf::fixed88(parseNumber<double>(value(), 0.0, 255.99609375, "rate"));
    } else if (arg == "--frames") {
      options.frames = parseNumber<uint32_t>(value(), 1, 65535, "frame count");
    } else if (arg == "--background") {
      const std::string_view colour = value();
      if (colour.size() != 6) throw UsageError{"bad background: \"" + std::string(colour) + "\""};
      options.background = parseNumber<uint32_t>(colour, 0, 0xFFFFFF, "background", 16);
    } else if (arg == "--as3") {
      options.as3 = true;
    } else if (arg == "--metadata") {
      options.metadata = std::string(value());
    } else if (arg == "--geturl") {
      const std::string_view argument = value();
      const size_t at = argument.rfind('@');
      if (at == std::string_view::npos) {
        options.sequence.emplace_back(std::pair<std::string, std::string>(argument, ""));
      } else {
        options.sequence.emplace_back(
            std::pair<std::string, std::string>(argument.substr(0, at), argument.substr(at + 1)));
      }
    } else if (arg == "--pause") {
      const auto count = parseNumber<uint32_t>(value(), 1, 65535, "pause");
      if (options.sequence.size() + count > 65535) throw UsageError{"more than 65535 frames"};
      options.sequence.insert(options.sequence.end(), count, std::nullopt);
    } else if (arg == "--wrapper") {
      options.wrapper = true;
    } else {
      throw UsageError{"unknown option \"" + std::string(arg) + "\""};
    }
  }
  if (options.out.empty()) throw UsageError{"-o OUT.swf is required"};
  if (options.frames && *options.frames < options.sequence.size()) {
    throw UsageError{"--frames is smaller than the number of --geturl and --pause frames"};
  }
  return options;
}

// A DoABC body without code: lazy-initialise flag, an empty name, ABC version 46.16.
kw::swf::Bytes placeholderABC() { return {1, 0, 0, 0, 0, 16, 0, 46, 0}; }

kw::swf::Bytes makeMovie(const Options& options) {
  using kw::swf::SwfWriter;
  const uint32_t attributes = options.as3 ? kw::swf::kFileAttributesAS3 : 0;
  SwfWriter writer(options.header);
  if (options.wrapper) {
    writer = SwfWriter::wrapperLike(options.header, attributes, options.background.value_or(0xFFFFFF));
  } else {
    if (options.as3) writer.fileAttributes(attributes);
    if (options.background) writer.setBackgroundColor(*options.background);
  }
  if (options.metadata) writer.metadata(*options.metadata);
  if (options.as3) writer.doABC(placeholderABC());
  for (const auto& frame : options.sequence) {
    if (frame) writer.doActionGetURL(frame->first, frame->second);
    writer.showFrame();
  }
  const size_t frames = options.frames.value_or(std::max<size_t>(options.sequence.size(), 1));
  for (size_t frame = options.sequence.size(); frame < frames; ++frame) writer.showFrame();
  return writer.end().build();
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (const auto status = kw::tools::readCommandLine("swfmake", kUsage, argc, argv, parseOptions, options)) return *status;
  std::string error;
  if (!kw::tools::writeFileBytes(options.out, makeMovie(options), error)) {
    std::fprintf(stderr, "swfmake: cannot write \"%s\": %s\n", options.out.c_str(), error.c_str());
    return 1;
  }
  return 0;
}
