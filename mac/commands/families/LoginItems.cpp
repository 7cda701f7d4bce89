// Login items and the screen-saver module, kept in the user's preference
// domains as property-list files.
#include "mac/commands/families/LoginItems.h"

#include <optional>
#include <string_view>

#include "mac/commands/families/SystemFacts.h"
#include "mac/platform/PropertyList.h"

namespace kw {
namespace fs = std::filesystem;

namespace {

constexpr std::string_view kLoginItemsKey = "AutoLaunchedApplicationDictionary";

// The domain's dictionary; an empty one when the file is missing or not a dictionary.
PlistValue::Dictionary readDomain(const fs::path& file) {
  const std::optional<PlistValue> value = readPropertyList(file);
  if (value && value->asDictionary() != nullptr) return *value->asDictionary();
  return {};
}

// Writes the domain back (synchronising it); failures are not reported.
void writeDomain(const fs::path& file, PlistValue::Dictionary domain) {
  std::error_code ec;
  fs::create_directories(file.parent_path(), ec);
  writePropertyListAtomically(file, PlistValue::dictionary(std::move(domain)));
}

// The last piece of a path cut at "/" (an empty piece after a trailing "/").
std::string_view lastPiece(std::string_view path) {
  const size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string lastPathComponent(const fs::path& path) {
  fs::path name = path.filename();
  if (name.empty()) name = path.parent_path().filename();
  return name.string();
}

// The index of the first login item that names the bundle.
std::optional<size_t> findItem(const PlistValue::Array& items, const fs::path& bundle) {
  const std::string name = lastPathComponent(bundle);
  for (size_t i = 0; i < items.size(); ++i) {
    const PlistValue* path = items[i].find("Path");
    if (path != nullptr && path->asString() != nullptr && lastPiece(*path->asString()) == name) return i;
  }
  return std::nullopt;
}

PlistValue::Array loginItems(const PlistValue::Dictionary& domain) {
  const auto found = domain.find(kLoginItemsKey);
  if (found == domain.end() || found->second.asArray() == nullptr) return {};
  return *found->second.asArray();
}

}  // namespace

fs::path preferencesFolder() { return homeFolder() / "Library" / "Preferences"; }

fs::path loginItemsFile() { return preferencesFolder() / "loginwindow.plist"; }

fs::path screenSaverFile() {
  return preferencesFolder() / "ByHost" / ("com.apple.screensaver." + computerName() + ".plist");
}

bool startsAtLogin(const fs::path& bundle) {
  return findItem(loginItems(readDomain(loginItemsFile())), bundle).has_value();
}

void setStartAtLogin(const fs::path& bundle, bool start) {
  const fs::path file = loginItemsFile();
  PlistValue::Dictionary domain = readDomain(file);
  PlistValue::Array items = loginItems(domain);
  if (start) {
    items.push_back(PlistValue::dictionary(
        {{"Path", PlistValue::string(bundle.string())}, {"Hide", PlistValue::boolean(false)}}));
  } else {
    const std::optional<size_t> index = findItem(items, bundle);
    if (!index) return;
    items.erase(items.begin() + static_cast<std::ptrdiff_t>(*index));
  }
  domain.insert_or_assign(std::string(kLoginItemsKey), PlistValue::array(std::move(items)));
  writeDomain(file, std::move(domain));
}

void setActiveScreenSaver(const std::string& name) {
  if (name.empty()) return;
  // The name without its extension, as a path: "Flurry.saver" gives "Flurry".
  const fs::path named(name);
  const std::string module = named.has_extension() && !named.stem().empty()
                                 ? (named.parent_path() / named.stem()).string()
                                 : name;
  const fs::path file = screenSaverFile();
  PlistValue::Dictionary domain = readDomain(file);
  domain.insert_or_assign("moduleName", PlistValue::string(module));
  domain.insert_or_assign("modulePath", PlistValue::string((homeFolder() / "Library" / "Screen Savers").string()));
  writeDomain(file, std::move(domain));
}

}  // namespace kw
