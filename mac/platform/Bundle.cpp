// Bundles on disk: Info.plist values through the property-list reader,
// resource lookup, and plug-in code loaded with dlopen.
#include "mac/platform/Bundle.h"

#include "mac/platform/PropertyList.h"

#include <dlfcn.h>

#include <chrono>
#include <system_error>

namespace kw {
namespace {

namespace fs = std::filesystem;

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
  const std::optional<PlistValue> info = readPropertyList(path_ / "Contents" / "Info.plist");
  const PlistValue* item = info ? info->find(key) : nullptr;
  const std::string* value = item != nullptr ? item->asString() : nullptr;
  if (value == nullptr) return std::nullopt;
  return *value;
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
