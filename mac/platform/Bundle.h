// Bundles: an application bundle is a directory laid out like a macOS bundle
// ("X.app/Contents/Info.plist", "Contents/MacOS/", "Contents/Resources/" with
// resources named "name.type"). A plug-in bundle is such a directory whose
// Info.plist names its executable in Contents/MacOS: a shared object loaded
// with dlopen.
#pragma once

#include <ctime>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace kw {

class Bundle {
 public:
  // Opens the bundle directory at `path`; none when it is not a directory
  // with a Contents folder.
  static std::optional<Bundle> open(const std::filesystem::path& path);

  const std::filesystem::path& bundlePath() const { return path_; }
  std::filesystem::path resourcesPath() const { return path_ / "Contents" / "Resources"; }
  // A string value of Contents/Info.plist (read with libplist), if present.
  std::optional<std::string> infoString(std::string_view key) const;
  // Contents/MacOS/ and the Info.plist's "CFBundleExecutable".
  std::optional<std::filesystem::path> executablePath() const;
  // Contents/Resources/name.type when it exists (a file or a directory).
  std::optional<std::filesystem::path> pathForResource(std::string_view name, std::string_view type) const;
  // The modification time of the bundle directory.
  std::optional<std::time_t> modificationTime() const;

 private:
  explicit Bundle(std::filesystem::path path) : path_(std::move(path)) {}
  std::filesystem::path path_;
};

// A plug-in bundle's executable, loaded. The code stays loaded for the life of
// the object.
class LoadedCode {
 public:
  // Loads the bundle's executable; none (with `error` set) when it is missing
  // or cannot be loaded.
  static std::unique_ptr<LoadedCode> load(const Bundle& bundle, std::string* error = nullptr);
  ~LoadedCode();
  LoadedCode(const LoadedCode&) = delete;
  LoadedCode& operator=(const LoadedCode&) = delete;

  // The exported symbol, or nullptr.
  void* symbol(const char* name) const;
  const Bundle& bundle() const { return bundle_; }

 private:
  LoadedCode(Bundle bundle, void* handle) : bundle_(std::move(bundle)), handle_(handle) {}
  Bundle bundle_;
  void* handle_;
};

}  // namespace kw
