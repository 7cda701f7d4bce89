// The registry of plug-in instances: follows the registry notifications, issues
// the 32-bit identities movies name windows by, and tells live instances apart.
#pragma once

#include <cstdint>
#include <vector>

#include "mac/commands/KW_Commands.h"
#include "mac/platform/NotificationCenter.h"
#include "mac/pluginhost/HostInterfaces.h"

namespace kw {

class PluginRegistry : public InstanceRegistry, public InstanceCaching {
 public:
  // Observes "addNsPluginToList" and "removeNsPluginFromList" (object: FlashPlugin*).
  explicit PluginRegistry(NotificationCenter& notifications);
  ~PluginRegistry() override;
  PluginRegistry(const PluginRegistry&) = delete;
  PluginRegistry& operator=(const PluginRegistry&) = delete;

  // addNsPluginToList:: appends the instance with a fresh identity. An
  // instance already registered keeps its entry and its identity.
  void addNsPluginToList(FlashPlugin* plugin);
  // removeNsPluginFromList:: removes the instance, but only while two or more
  // are registered: the last registered instance stays.
  void removeNsPluginFromList(FlashPlugin* plugin);

  bool isAValidNsPlugin(const FlashPlugin* plugin) const override;
  FlashPlugin* pluginForIdentity(uint32_t identity) const override;
  uint32_t identityOf(const FlashPlugin* plugin) const override;
  // Removes the instance whatever the count (the object is going away).
  void forget(const FlashPlugin* plugin) override;

  // enableCaching:: sets the caching flag of every registered projector
  // instance (web page proxies keep theirs).
  void enableCaching(bool enable) override;

  size_t count() const { return entries_.size(); }
  // The registered instances in registration order.
  std::vector<FlashPlugin*> plugins() const;

 private:
  struct Entry {
    FlashPlugin* plugin;
    uint32_t identity;
  };
  std::vector<Entry>::const_iterator find(const FlashPlugin* plugin) const;

  NotificationCenter& notifications_;
  NotificationCenter::ObserverId addObserver_ = 0;
  NotificationCenter::ObserverId removeObserver_ = 0;
  std::vector<Entry> entries_;
  uint32_t lastIdentity_ = 0;  // identities run from 1 upward and are never reused
};

}  // namespace kw
