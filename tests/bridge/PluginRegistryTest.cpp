// The registry of plug-in instances: the registry notifications and their
// last-one rule, identities, forgetting, and enableCaching.
#include <set>

#include "tests/support/TestHost.h"

namespace kw {
namespace {

class PluginRegistryTest : public test::TestHost {
 protected:
  FlashPlugin& make() { return *plugins.emplace_back(std::make_unique<FlashPlugin>(*host, true)); }
  FlashPlugin& added() {
    FlashPlugin& plugin = make();
    enlist(plugin);
    return plugin;
  }
  void remove(FlashPlugin& plugin) { notifications.post(notification::kRemoveNsPluginFromList, &plugin); }
  std::vector<std::unique_ptr<FlashPlugin>> plugins;
};

TEST_F(PluginRegistryTest, AddNotificationRegistersInOrderWithIdentitiesFromOne) {
  FlashPlugin& first = make();
  EXPECT_FALSE(registry.isAValidNsPlugin(&first));
  enlist(first);
  FlashPlugin& second = added();
  EXPECT_TRUE(registry.isAValidNsPlugin(&first));
  EXPECT_EQ(registry.identityOf(&first), 1u);
  EXPECT_EQ(registry.identityOf(&second), 2u);
  EXPECT_EQ(registry.pluginForIdentity(2), &second);
  EXPECT_EQ(registry.plugins(), (std::vector<FlashPlugin*>{&first, &second}));
  // Unknown objects and identities are not valid.
  EXPECT_FALSE(registry.isAValidNsPlugin(nullptr));
  EXPECT_EQ(registry.pluginForIdentity(0), nullptr);
  EXPECT_EQ(registry.pluginForIdentity(3), nullptr);
  EXPECT_EQ(registry.identityOf(&make()), 0u);
}

TEST_F(PluginRegistryTest, NotificationsWithoutAnInstanceAndDuplicatesChangeNothing) {
  notifications.post(notification::kAddNsPluginToList);
  notifications.post(notification::kAddNsPluginToList, std::string("not a plug-in"));
  notifications.post(notification::kAddNsPluginToList, static_cast<FlashPlugin*>(nullptr));
  EXPECT_EQ(registry.count(), 0u);
  FlashPlugin& plugin = added();
  enlist(plugin);
  EXPECT_EQ(registry.count(), 1u);
  EXPECT_EQ(registry.identityOf(&plugin), 1u);
  remove(plugin);  // a duplicate must not count towards the last-one rule
  EXPECT_TRUE(registry.isAValidNsPlugin(&plugin));
  added();
  notifications.post(notification::kRemoveNsPluginFromList, 42);
  remove(make());  // not registered
  EXPECT_EQ(registry.count(), 2u);
}

TEST_F(PluginRegistryTest, RemoveNotificationNeverRemovesTheLastInstance) {
  FlashPlugin& first = added();
  remove(first);
  EXPECT_TRUE(registry.isAValidNsPlugin(&first));
  FlashPlugin& second = added();
  remove(first);
  EXPECT_FALSE(registry.isAValidNsPlugin(&first));
  EXPECT_EQ(registry.identityOf(&first), 0u);
  remove(second);
  EXPECT_TRUE(registry.isAValidNsPlugin(&second));
}

TEST_F(PluginRegistryTest, IdentitiesAreNeverReused) {
  std::set<uint32_t> issued;
  FlashPlugin& keeper = added();
  issued.insert(registry.identityOf(&keeper));
  for (int round = 0; round < 5; ++round) {
    FlashPlugin& passing = added();
    const uint32_t identity = registry.identityOf(&passing);
    EXPECT_TRUE(issued.insert(identity).second) << "identity " << identity << " issued twice";
    remove(passing);
    EXPECT_EQ(registry.pluginForIdentity(identity), nullptr);
  }
  // An instance that comes back is a new registration with a new identity.
  added();
  remove(keeper);
  enlist(keeper);
  EXPECT_EQ(registry.identityOf(&keeper), 8u);
}

TEST_F(PluginRegistryTest, ForgetRemovesEvenTheLastAndDestroyedInstancesForgetThemselves) {
  FlashPlugin& only = added();
  registry.forget(&only);
  EXPECT_EQ(registry.count(), 0u);
  const FlashPlugin* address = &added();
  const uint32_t identity = registry.identityOf(address);
  plugins.pop_back();
  EXPECT_FALSE(registry.isAValidNsPlugin(address));
  EXPECT_EQ(registry.pluginForIdentity(identity), nullptr);
}

TEST_F(PluginRegistryTest, EnableCachingSetsEveryRegisteredProjectorInstanceButNotWebProxies) {
  FlashPlugin& projector = make();
  FlashPlugin& starting = make();  // registered, type not set yet
  FlashPlugin& web = make();
  FlashPlugin& unregistered = make();
  projector.fType = kPluginTypeFlash;
  web.fType = kPluginTypeWeb;
  for (FlashPlugin* plugin : {&projector, &starting, &web}) enlist(*plugin);
  registry.enableCaching(false);
  EXPECT_FALSE(projector.fOkToCache);
  EXPECT_FALSE(starting.fOkToCache);
  EXPECT_TRUE(web.fOkToCache);
  EXPECT_TRUE(unregistered.fOkToCache);
  registry.enableCaching(true);
  EXPECT_TRUE(projector.fOkToCache);
}

TEST_F(PluginRegistryTest, StopsObservingWhenDestroyed) {
  {
    PluginRegistry other(notifications);
    FlashPlugin& plugin = added();
    EXPECT_TRUE(other.isAValidNsPlugin(&plugin));
  }
  added();  // must not reach the other registry
  EXPECT_EQ(registry.count(), 2u);
}

}  // namespace
}  // namespace kw
