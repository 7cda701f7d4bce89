// swfcipher: enciphers or deciphers a file with the movie cipher (one pass),
// as movies are stored in and read from an application bundle.
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "mac/pluginhost/MovieCipher.h"
#include "tools/swf/MovieFiles.h"

namespace {

constexpr const char* kUsage =
    "usage: swfcipher --encipher|--decipher IN -o OUT\n"
    "\n"
    "Enciphers or deciphers IN with the movie cipher in one pass and writes OUT.\n"
    "Files under 8 bytes cannot be treated (status 1302); OUT is then not written.\n"
    "Exit status: 0 on success, 1 when IN is too short, 2 on wrong usage or when a\n"
    "file cannot be read or written.\n";

struct Options {
  kw::CipherDirection direction = kw::CipherDirection::Decipher;
  std::string input;
  std::string output;
};

std::optional<Options> parse(int argc, char** argv) {
  Options options;
  bool haveDirection = false;
  bool haveInput = false;
  bool haveOutput = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if ((arg == "--encipher" || arg == "--decipher") && !haveDirection) {
      options.direction = arg == "--encipher" ? kw::CipherDirection::Encipher : kw::CipherDirection::Decipher;
      haveDirection = true;
    } else if (arg == "-o" && i + 1 < argc && !haveOutput) {
      options.output = argv[++i];
      haveOutput = true;
    } else if (!arg.starts_with("-") && !haveInput) {
      options.input = argv[i];
      haveInput = true;
    } else {
      return std::nullopt;
    }
  }
  if (!haveDirection || !haveInput || !haveOutput) return std::nullopt;
  return options;
}

}  // namespace

int main(int argc, char** argv) {
  const std::optional<Options> options = parse(argc, argv);
  if (const auto code = kw::tools::usageExit(argc, argv, kUsage, options.has_value())) return *code;

  auto bytes = kw::tools::readFileOrReport("swfcipher", options->input);
  if (!bytes) return 2;
  std::string error;
  const kw::Status status = kw::movieCipher(bytes->data(), bytes->data(), bytes->size(), 1, options->direction);
  if (status != kw::kStatusOK) {
    std::fprintf(stderr, "swfcipher: %s: %zu bytes is too short for the movie cipher (status %d)\n",
                 options->input.c_str(), bytes->size(), static_cast<int>(status));
    return 1;
  }
  if (!kw::tools::writeFileBytes(options->output, *bytes, error)) {
    std::fprintf(stderr, "swfcipher: cannot write %s: %s\n", options->output.c_str(), error.c_str());
    return 2;
  }
  return 0;
}
