// zivra-bundle: makes a projector application bundle around a movie: the
// Info.plist, the zivra program, the movie (optionally enciphered), the wrapper
// movie, the plug-in, the settings file, and optionally a mask image and an
// about movie. The bundle is built beside its destination and then put in
// place with one rename, so an existing bundle is replaced whole or not at all.
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "mac/platform/PropertyList.h"
#include "mac/pluginhost/MovieCipher.h"
#include "mac/windows/MovieHeaderProbe.h"
#include "tools/CommandLine.h"
#include "tools/swf/MovieFiles.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kUsage =
    "usage: zivra-bundle MOVIE.swf -o Name.app [options]\n"
    "\n"
    "Makes the application bundle Name.app that plays MOVIE.swf with zivra:\n"
    "  Contents/Info.plist               CFBundleExecutable zivra, CFBundleName Name,\n"
    "                                    CFBundleIdentifier org.kw.zivra.Name\n"
    "  Contents/MacOS/zivra              the zivra program\n"
    "  Contents/Resources/zvdata.zve     the movie\n"
    "  Contents/Resources/RidavOdarez.zve  the wrapper movie\n"
    "  Contents/Resources/fpb.plugin     the plug-in bundle\n"
    "  Contents/Resources/prefs.xml      the settings (a property list dictionary)\n"
    "An existing Name.app is replaced whole.\n"
    "\n"
    "  -o Name.app             the bundle to write (its folder is created when missing)\n"
    "  --setting KEY=VALUE     a setting; a whole decimal number is stored as an integer,\n"
    "                          YES, NO, true and false as booleans, anything else as a\n"
    "                          string (the last of one key counts); windowAlpha is 100\n"
    "                          unless set (the first window is transparent without it)\n"
    "  --mask IMAGE            the mask image, stored under its own file name, with the\n"
    "                          settings mask=true and maskName=<its file name>\n"
    "  --about ABOUT.swf       the movie of the application's about window (about.swf)\n"
    "  --encipher              store the movie enciphered with the movie cipher (a movie\n"
    "                          that is already enciphered is stored as it is)\n"
    "  --zivra PATH            the zivra program (default: beside zivra-bundle, else the\n"
    "                          one of this build)\n"
    "  --wrapper PATH          the wrapper movie (default: the one of this build)\n"
    "  --plugin PATH           the plug-in bundle (default: the stand-in of this build)\n"
    "  -h, --help              this text\n"
    "Exit status: 0 written, 1 the bundle could not be written, 2 wrong usage or input.\n";

struct Options {
  bool help = false;
  fs::path movie;
  fs::path out;
  std::vector<std::pair<std::string, std::string>> settings;  // in the order given
  std::optional<fs::path> mask;
  std::optional<fs::path> about;
  bool encipher = false;
  std::optional<fs::path> zivra;
  fs::path wrapper = KW_WRAPPER_MOVIE;
  fs::path plugin = KW_STANDIN_PLUGIN_BUNDLE;
};

using kw::tools::UsageError;
// Input that cannot be used, or a bundle that cannot be written.
struct Failure {
  int status;
  std::string message;
};

Options parseOptions(int argc, char** argv) {
  Options options;
  bool haveMovie = false;
  for (kw::tools::Arguments args(argc, argv); args.next();) {
    const std::string_view arg = args.current();
    const auto value = [&args] { return args.value(); };
    if (args.isHelp()) {
      options.help = true;
      return options;
    } else if (arg == "-o") {
      options.out = value();
    } else if (arg == "--setting") {
      const std::string_view setting = value();
      const size_t equals = setting.find('=');
      if (equals == std::string_view::npos || equals == 0) {
        throw UsageError{"bad setting \"" + std::string(setting) + "\" (KEY=VALUE)"};
      }
      options.settings.emplace_back(setting.substr(0, equals), setting.substr(equals + 1));
    } else if (arg == "--mask") {
      options.mask = value();
    } else if (arg == "--about") {
      options.about = value();
    } else if (arg == "--encipher") {
      options.encipher = true;
    } else if (arg == "--zivra") {
      options.zivra = value();
    } else if (arg == "--wrapper") {
      options.wrapper = value();
    } else if (arg == "--plugin") {
      options.plugin = value();
    } else if (arg.starts_with("-") && arg.size() > 1) {
      throw UsageError{"unknown option \"" + std::string(arg) + "\""};
    } else if (haveMovie) {
      throw UsageError{"more than one movie given"};
    } else {
      options.movie = arg;
      haveMovie = true;
    }
  }
  if (!haveMovie) throw UsageError{"no movie given"};
  if (options.out.empty()) throw UsageError{"-o Name.app is required"};
  return options;
}

// A setting's value as stored: integer, boolean or string.
kw::PlistValue settingValue(std::string_view text) {
  if (text == "YES" || text == "true") return kw::PlistValue::boolean(true);
  if (text == "NO" || text == "false") return kw::PlistValue::boolean(false);
  const std::string_view digits = text.starts_with('-') ? text.substr(1) : text;
  int64_t number = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (!digits.empty() && digits.find_first_not_of("0123456789") == std::string_view::npos &&
      error == std::errc() && end == text.data() + text.size()) {
    return kw::PlistValue::integer(number);
  }
  return kw::PlistValue::string(std::string(text));
}

// The bundle name's identifier: letters and digits kept, anything else a hyphen.
std::string bundleIdentifier(const std::string& name) {
  std::string identifier = "org.kw.zivra.";
  for (const char c : name) {
    const bool alphanumeric = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    identifier += alphanumeric ? c : '-';
  }
  return identifier;
}

// This program's own folder (where an installed zivra lies beside it).
std::optional<fs::path> ownFolder() {
  std::error_code error;
  const fs::path self = fs::read_symlink("/proc/self/exe", error);
  if (error) return std::nullopt;
  return self.parent_path();
}

fs::path findZivra(const Options& options) {
  if (options.zivra) return *options.zivra;
  if (const auto folder = ownFolder()) {
    std::error_code error;
    if (fs::is_regular_file(*folder / "zivra", error)) return *folder / "zivra";
  }
  return KW_ZIVRA_PROGRAM;
}

std::vector<uint8_t> readMovie(const fs::path& path, const char* what) {
  std::string error;
  auto bytes = kw::tools::readFileBytes(path, error);
  if (!bytes) throw Failure{2, "cannot read the " + std::string(what) + " " + path.string() + ": " + error};
  if (kw::probeMovieHeader(*bytes).status != kw::kStatusOK) {
    throw Failure{2, path.string() + " is not a movie"};
  }
  return std::move(*bytes);
}

void requireFile(const fs::path& path, const char* what) {
  std::error_code error;
  if (!fs::is_regular_file(path, error)) throw Failure{2, "no " + std::string(what) + " at " + path.string()};
}

// The checked inputs, read before anything is written.
struct Inputs {
  std::string name;
  std::vector<uint8_t> movie;
  std::optional<std::vector<uint8_t>> about;
  fs::path zivra;
};

Inputs checkInputs(const Options& options) {
  Inputs inputs;
  if (options.out.extension() != ".app" || options.out.stem().empty()) {
    throw Failure{2, "the output must be named Name.app: " + options.out.string()};
  }
  inputs.name = options.out.stem().string();
  std::error_code error;
  if (fs::exists(fs::symlink_status(options.out, error)) && !fs::is_directory(options.out, error)) {
    throw Failure{2, options.out.string() + " exists and is not a bundle folder"};
  }
  inputs.movie = readMovie(options.movie, "movie");
  if (options.about) inputs.about = readMovie(*options.about, "about movie");
  if (options.mask) {
    requireFile(*options.mask, "mask image");
    const fs::path name = options.mask->filename();
    if (name == "zvdata.zve" || name == "RidavOdarez.zve" || name == "fpb.plugin" || name == "prefs.xml" ||
        name == "about.swf") {
      throw Failure{2, "the mask image may not be named " + name.string()};
    }
  }
  inputs.zivra = findZivra(options);
  requireFile(inputs.zivra, "zivra program");
  requireFile(options.wrapper, "wrapper movie");
  if (!fs::is_regular_file(options.plugin / "Contents" / "Info.plist", error)) {
    throw Failure{2, "no plug-in bundle at " + options.plugin.string()};
  }
  return inputs;
}

void writeBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::string error;
  if (!kw::tools::writeFileBytes(path, bytes, error)) {
    throw Failure{1, "cannot write " + path.string() + ": " + error};
  }
}

// A property list file that everyone may read, like the rest of the bundle.
void writePlist(const fs::path& path, kw::PlistValue::Dictionary dictionary) {
  std::error_code error;
  if (!kw::writePropertyListAtomically(path, kw::PlistValue::dictionary(std::move(dictionary)))) {
    throw Failure{1, "cannot write " + path.string()};
  }
  fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read,
                  error);
}

void copyInto(const fs::path& from, const fs::path& to, fs::copy_options how = fs::copy_options::none) {
  std::error_code error;
  fs::copy(from, to, how | fs::copy_options::copy_symlinks, error);
  if (error) throw Failure{1, "cannot copy " + from.string() + " to " + to.string() + ": " + error.message()};
}

// Lays the bundle out in `root` (an empty folder).
void buildBundle(const fs::path& root, const Options& options, Inputs& inputs) {
  const fs::path contents = root / "Contents";
  const fs::path resources = contents / "Resources";
  std::error_code error;
  fs::create_directories(resources, error);
  if (!error) fs::create_directories(contents / "MacOS", error);
  if (error) throw Failure{1, "cannot make the bundle's folders: " + error.message()};

  writePlist(contents / "Info.plist",
             {{"CFBundleExecutable", kw::PlistValue::string("zivra")},
              {"CFBundleIdentifier", kw::PlistValue::string(bundleIdentifier(inputs.name))},
              {"CFBundleName", kw::PlistValue::string(inputs.name)},
              {"CFBundlePackageType", kw::PlistValue::string("APPL")}});
  copyInto(inputs.zivra, contents / "MacOS" / "zivra");

  if (options.encipher && kw::isPlainMovie(inputs.movie)) {
    kw::movieCipher(inputs.movie.data(), inputs.movie.data(), inputs.movie.size(), 1, kw::CipherDirection::Encipher);
  }
  writeBytes(resources / "zvdata.zve", inputs.movie);
  copyInto(options.wrapper, resources / "RidavOdarez.zve");
  copyInto(options.plugin, resources / "fpb.plugin", fs::copy_options::recursive);
  if (inputs.about) writeBytes(resources / "about.swf", *inputs.about);

  kw::PlistValue::Dictionary settings{{"windowAlpha", kw::PlistValue::integer(100)}};
  for (const auto& [key, value] : options.settings) settings.insert_or_assign(key, settingValue(value));
  if (options.mask) {
    const std::string maskName = options.mask->filename().string();
    copyInto(*options.mask, resources / maskName);
    settings.insert_or_assign("mask", kw::PlistValue::boolean(true));
    settings.insert_or_assign("maskName", kw::PlistValue::string(maskName));
  }
  writePlist(resources / "prefs.xml", std::move(settings));
}

// Puts the built bundle in place of `out`: a plain rename when there is none,
// else an exchange of the two in one step, after which the old one is removed.
void putInPlace(const fs::path& built, const fs::path& out) {
  if (::renameat2(AT_FDCWD, built.c_str(), AT_FDCWD, out.c_str(), RENAME_NOREPLACE) == 0) return;
  if (errno == EEXIST && ::renameat2(AT_FDCWD, built.c_str(), AT_FDCWD, out.c_str(), RENAME_EXCHANGE) == 0) {
    std::error_code ignored;
    fs::remove_all(built, ignored);  // now the old bundle
    return;
  }
  if (errno != EEXIST && errno != EINVAL && errno != ENOSYS) {
    throw Failure{1, "cannot put the bundle at " + out.string() + ": " + std::strerror(errno)};
  }
  // A file system without those renames: the old bundle steps aside first.
  std::error_code error;
  const bool hadOld = fs::exists(out, error);
  fs::path aside = built;
  aside += ".old";
  if (hadOld) fs::rename(out, aside, error);
  if (!error) fs::rename(built, out, error);
  if (error) {
    std::error_code ignored;
    if (hadOld && !fs::exists(out, ignored)) fs::rename(aside, out, ignored);
    throw Failure{1, "cannot put the bundle at " + out.string() + ": " + error.message()};
  }
  if (hadOld) fs::remove_all(aside, error);
}

void makeBundle(const Options& options) {
  Inputs inputs = checkInputs(options);
  const fs::path out = fs::absolute(options.out);
  std::error_code error;
  fs::create_directories(out.parent_path(), error);
  if (error) throw Failure{1, "cannot make " + out.parent_path().string() + ": " + error.message()};
  std::string pattern = (out.parent_path() / ("." + out.filename().string() + ".XXXXXX")).string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    throw Failure{1, "cannot make a folder beside " + out.string() + ": " + std::strerror(errno)};
  }
  const fs::path staging = pattern;
  try {
    fs::permissions(staging, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                 fs::perms::others_read | fs::perms::others_exec);
    buildBundle(staging, options, inputs);
    putInPlace(staging, out);
  } catch (...) {
    fs::remove_all(staging, error);
    throw;
  }
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (const auto status = kw::tools::readCommandLine("zivra-bundle", kUsage, argc, argv, parseOptions, options)) {
    return *status;
  }
  try {
    makeBundle(options);
  } catch (const Failure& failure) {
    std::fprintf(stderr, "zivra-bundle: %s\n", failure.message.c_str());
    return failure.status;
  } catch (const fs::filesystem_error& error) {
    std::fprintf(stderr, "zivra-bundle: %s\n", error.what());
    return 1;
  }
  return 0;
}
