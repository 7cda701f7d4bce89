// The projector's settings read from the bundle's "prefs.xml" on each call,
// with the typed readers of the keys the program uses.
#include "mac/app/playerSettings.h"

#include <mutex>

namespace kw {
namespace {

std::mutex& bundleLock() {
  static std::mutex lock;
  return lock;
}

std::optional<Bundle>& settingsBundle() {
  static std::optional<Bundle> bundle;
  return bundle;
}

int32_t intSetting(std::string_view key) {
  const std::optional<PlistValue> value = playerSettings::loadSetting(key);
  return plistIntValue(value ? &*value : nullptr);
}

bool boolSetting(std::string_view key) {
  const std::optional<PlistValue> value = playerSettings::loadSetting(key);
  return plistBoolValue(value ? &*value : nullptr);
}

std::optional<std::string> stringSetting(std::string_view key) {
  const std::optional<PlistValue> value = playerSettings::loadSetting(key);
  return plistStringValue(value ? &*value : nullptr);
}

}  // namespace

void playerSettings::setBundle(std::optional<Bundle> bundle) {
  const std::lock_guard<std::mutex> hold(bundleLock());
  settingsBundle() = std::move(bundle);
}

std::optional<Bundle> playerSettings::bundle() {
  const std::lock_guard<std::mutex> hold(bundleLock());
  return settingsBundle();
}

std::optional<PlistValue> playerSettings::loadSetting(std::string_view key) {
  const std::optional<Bundle> source = bundle();
  if (!source) return std::nullopt;
  const std::optional<std::filesystem::path> file = source->pathForResource("prefs", "xml");
  if (!file) return std::nullopt;
  const std::optional<PlistValue> settings = readPropertyList(*file);
  const PlistValue* value = settings ? settings->find(key) : nullptr;
  if (value == nullptr) return std::nullopt;
  return *value;
}

int32_t playerSettings::windowType() { return intSetting("windowType"); }
std::optional<std::string> playerSettings::zOrder() { return stringSetting("zOrder"); }
int32_t playerSettings::dragging() { return intSetting("dragging"); }
int32_t playerSettings::resizeable() { return intSetting("resizeable"); }
int32_t playerSettings::windowAlpha() { return intSetting("windowAlpha"); }
int32_t playerSettings::shieldWindow() { return intSetting("shieldWindow"); }
int32_t playerSettings::chrome() { return intSetting("chrome"); }
bool playerSettings::mask() { return boolSetting("mask"); }
std::optional<std::string> playerSettings::maskName() { return stringSetting("maskName"); }
bool playerSettings::maskDragging() { return boolSetting("maskDragging"); }
int32_t playerSettings::dropShadow() { return intSetting("dropShadow"); }

}  // namespace kw
