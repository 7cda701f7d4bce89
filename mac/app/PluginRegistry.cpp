// The registry of plug-in instances: see PluginRegistry.h.
#include "mac/app/PluginRegistry.h"

#include <any>
#include <limits>

#include "mac/platform/SystemLog.h"
#include "mac/pluginhost/FlashPlugin.h"

namespace kw {
namespace {

// The FlashPlugin a registry notification concerns, or null.
FlashPlugin* pluginIn(const std::any& object) {
  if (FlashPlugin* const* plugin = std::any_cast<FlashPlugin*>(&object)) return *plugin;
  return nullptr;
}

}  // namespace

PluginRegistry::PluginRegistry(NotificationCenter& notifications) : notifications_(notifications) {
  addObserver_ = notifications_.addObserver(notification::kAddNsPluginToList,
                                            [this](const std::any& object) { addNsPluginToList(pluginIn(object)); });
  removeObserver_ = notifications_.addObserver(
      notification::kRemoveNsPluginFromList, [this](const std::any& object) { removeNsPluginFromList(pluginIn(object)); });
}

PluginRegistry::~PluginRegistry() {
  notifications_.removeObserver(addObserver_);
  notifications_.removeObserver(removeObserver_);
}

std::vector<PluginRegistry::Entry>::const_iterator PluginRegistry::find(const FlashPlugin* plugin) const {
  for (auto it = entries_.begin(); it != entries_.end(); ++it) {
    if (it->plugin == plugin) return it;
  }
  return entries_.end();
}

void PluginRegistry::addNsPluginToList(FlashPlugin* plugin) {
  if (plugin == nullptr || find(plugin) != entries_.end()) return;
  if (lastIdentity_ == std::numeric_limits<uint32_t>::max()) {
    // Every identity has been issued once; issuing one again could make an old
    // request reach a new window.
    systemLog("no instance identity left");
    return;
  }
  entries_.push_back({plugin, ++lastIdentity_});
}

void PluginRegistry::removeNsPluginFromList(FlashPlugin* plugin) {
  if (entries_.size() < 2) return;
  forget(plugin);
}

bool PluginRegistry::isAValidNsPlugin(const FlashPlugin* plugin) const {
  return plugin != nullptr && find(plugin) != entries_.end();
}

FlashPlugin* PluginRegistry::pluginForIdentity(uint32_t identity) const {
  if (identity == 0) return nullptr;
  for (const Entry& entry : entries_) {
    if (entry.identity == identity) return entry.plugin;
  }
  return nullptr;
}

uint32_t PluginRegistry::identityOf(const FlashPlugin* plugin) const {
  const auto it = find(plugin);
  return plugin != nullptr && it != entries_.end() ? it->identity : 0;
}

void PluginRegistry::forget(const FlashPlugin* plugin) {
  const auto it = find(plugin);
  if (plugin != nullptr && it != entries_.end()) entries_.erase(it);
}

void PluginRegistry::enableCaching(bool enable) {
  for (const Entry& entry : entries_) {
    if (entry.plugin->fType != kPluginTypeWeb) entry.plugin->fOkToCache = enable;
  }
}

std::vector<FlashPlugin*> PluginRegistry::plugins() const {
  std::vector<FlashPlugin*> result;
  result.reserve(entries_.size());
  for (const Entry& entry : entries_) result.push_back(entry.plugin);
  return result;
}

}  // namespace kw
