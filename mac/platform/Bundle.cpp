// Bundles on disk: Info.plist values through libplist, resource lookup, and
// plug-in code loaded with dlopen.
#include "mac/platform/Bundle.h"

#include <dlfcn.h>
#include <plist/plist.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <system_error>

namespace kw {
namespace {

namespace fs = std::filesystem;

// Info.plist files are a few kilobytes; anything far larger is not one.
constexpr std::uintmax_t kLargestInfoPlist = 16u * 1024u * 1024u;

struct PlistFree {
  void operator()(plist_t node) const { plist_free(node); }
};
using PlistPtr = std::unique_ptr<void, PlistFree>;

struct CharFree {
  void operator()(char* text) const { std::free(text); }
};

std::optional<std::string> readSmallFile(const fs::path& path) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) return std::nullopt;
  const std::uintmax_t size = fs::file_size(path, ec);
  if (ec || size == 0 || size > kLargestInfoPlist) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string data(static_cast<size_t>(size), '\0');
  in.read(data.data(), static_cast<std::streamsize>(data.size()));
  // A file that shrank meanwhile is read as far as it goes.
  data.resize(static_cast<size_t>(in.gcount()));
  if (in.bad() || data.empty()) return std::nullopt;
  return data;
}

// A single path component: not empty, no separator, no NUL, not "." or "..".
bool isPlainName(std::string_view name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string_view::npos &&
         name.find('\0') == std::string_view::npos;
}

}  // namespace

std::optional<Bundle> Bundle::open(const fs::path& path) {
  std::error_code ec;
  if (path.empty() || !fs::is_directory(path, ec) || !fs::is_directory(path / "Contents", ec)) return std::nullopt;
  return Bundle(path);
}

std::optional<std::string> Bundle::infoString(std::string_view key) const {
  // A key with a NUL would be looked up as a shorter, different key.
  if (key.find('\0') != std::string_view::npos) return std::nullopt;
  const std::optional<std::string> data = readSmallFile(path_ / "Contents" / "Info.plist");
  if (!data) return std::nullopt;

  plist_t rootNode = nullptr;
  plist_from_memory(data->data(), static_cast<uint32_t>(data->size()), &rootNode);
  const PlistPtr root(rootNode);
  if (!root || plist_get_node_type(root.get()) != PLIST_DICT) return std::nullopt;
  // Items belong to the dictionary: they are freed with the root.
  const plist_t item = plist_dict_get_item(root.get(), std::string(key).c_str());
  if (item == nullptr || plist_get_node_type(item) != PLIST_STRING) return std::nullopt;
  char* value = nullptr;
  plist_get_string_val(item, &value);
  const std::unique_ptr<char, CharFree> owned(value);
  if (!owned) return std::nullopt;
  return std::string(owned.get());
}

std::optional<fs::path> Bundle::executablePath() const {
  const std::optional<std::string> name = infoString("CFBundleExecutable");
  // The executable lives in Contents/MacOS itself; a name that would lead
  // elsewhere is refused.
  if (!name || !isPlainName(*name)) return std::nullopt;
  return path_ / "Contents" / "MacOS" / *name;
}

std::optional<fs::path> Bundle::pathForResource(std::string_view name, std::string_view type) const {
  // An empty type means the name already carries its extension.
  const std::string file = type.empty() ? std::string(name) : std::string(name) + "." + std::string(type);
  if (name.empty() || !isPlainName(file)) return std::nullopt;
  const fs::path path = resourcesPath() / file;
  std::error_code ec;
  if (!fs::exists(path, ec)) return std::nullopt;
  return path;
}

std::optional<std::time_t> Bundle::modificationTime() const {
  std::error_code ec;
  const fs::file_time_type written = fs::last_write_time(path_, ec);
  if (ec) return std::nullopt;
  const auto system = std::chrono::file_clock::to_sys(written);
  return std::chrono::system_clock::to_time_t(
      std::chrono::time_point_cast<std::chrono::system_clock::duration>(system));
}

std::unique_ptr<LoadedCode> LoadedCode::load(const Bundle& bundle, std::string* error) {
  const auto fail = [error](std::string message) -> std::unique_ptr<LoadedCode> {
    if (error != nullptr) *error = std::move(message);
    return nullptr;
  };
  const std::optional<fs::path> executable = bundle.executablePath();
  if (!executable) {
    return fail("bundle " + bundle.bundlePath().string() + " names no executable in Contents/Info.plist");
  }
  std::error_code ec;
  if (!fs::is_regular_file(*executable, ec)) return fail("executable not found: " + executable->string());

  void* handle = dlopen(executable->c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* reason = dlerror();
    return fail(reason != nullptr ? std::string(reason) : "cannot load " + executable->string());
  }
  return std::unique_ptr<LoadedCode>(new LoadedCode(bundle, handle));
}

LoadedCode::~LoadedCode() {
  if (handle_ != nullptr) dlclose(handle_);
}

void* LoadedCode::symbol(const char* name) const {
  if (name == nullptr || handle_ == nullptr) return nullptr;
  return dlsym(handle_, name);
}

}  // namespace kw
