// Tests of the registry of plug-in instances: the registry notifications and
// their last-one rule, identities, forgetting, and enableCaching.
#include <gtest/gtest.h>

#include <any>
#include <set>

#include "tests/bridge/BridgeTestHost.h"

namespace kw {
namespace {

class PluginRegistryTest : public ::testing::Test {
 protected:
  FlashPlugin& make() {
    plugins.push_back(std::make_unique<FlashPlugin>(*env.host, true));
    return *plugins.back();
  }
  void add(FlashPlugin& plugin) { env.notifications.post(notification::kAddNsPluginToList, &plugin); }
  void remove(FlashPlugin& plugin) { env.notifications.post(notification::kRemoveNsPluginFromList, &plugin); }

  test::BridgeTestHost env;
  std::vector<std::unique_ptr<FlashPlugin>> plugins;
};

TEST_F(PluginRegistryTest, AddNotificationRegistersInOrderWithIdentitiesFromOne) {
  FlashPlugin& first = make();
  FlashPlugin& second = make();
  EXPECT_FALSE(env.registry.isAValidNsPlugin(&first));
  add(first);
  add(second);
  EXPECT_TRUE(env.registry.isAValidNsPlugin(&first));
  EXPECT_TRUE(env.registry.isAValidNsPlugin(&second));
  EXPECT_EQ(env.registry.identityOf(&first), 1u);
  EXPECT_EQ(env.registry.identityOf(&second), 2u);
  EXPECT_EQ(env.registry.pluginForIdentity(2), &second);
  EXPECT_EQ(env.registry.plugins(), (std::vector<FlashPlugin*>{&first, &second}));
}

TEST_F(PluginRegistryTest, UnknownObjectsAndIdentitiesAreNotValid) {
  FlashPlugin& known = make();
  add(known);
  EXPECT_FALSE(env.registry.isAValidNsPlugin(nullptr));
  EXPECT_EQ(env.registry.pluginForIdentity(0), nullptr);
  EXPECT_EQ(env.registry.pluginForIdentity(2), nullptr);
  EXPECT_EQ(env.registry.identityOf(&make()), 0u);
  EXPECT_EQ(env.registry.identityOf(nullptr), 0u);
}

TEST_F(PluginRegistryTest, NotificationsWithoutAnInstanceChangeNothing) {
  env.notifications.post(notification::kAddNsPluginToList);
  env.notifications.post(notification::kAddNsPluginToList, std::string("not a plug-in"));
  env.notifications.post(notification::kAddNsPluginToList, static_cast<FlashPlugin*>(nullptr));
  EXPECT_EQ(env.registry.count(), 0u);
  FlashPlugin& plugin = make();
  add(plugin);
  add(make());
  env.notifications.post(notification::kRemoveNsPluginFromList, 42);
  EXPECT_EQ(env.registry.count(), 2u);
}

TEST_F(PluginRegistryTest, RegisteringTwiceKeepsOneEntryAndItsIdentity) {
  FlashPlugin& plugin = make();
  add(plugin);
  add(plugin);
  EXPECT_EQ(env.registry.count(), 1u);
  EXPECT_EQ(env.registry.identityOf(&plugin), 1u);
  // A duplicate must not count towards the last-one rule.
  remove(plugin);
  EXPECT_TRUE(env.registry.isAValidNsPlugin(&plugin));
}

TEST_F(PluginRegistryTest, RemoveNotificationNeverRemovesTheLastInstance) {
  FlashPlugin& first = make();
  FlashPlugin& second = make();
  add(first);
  remove(first);
  EXPECT_TRUE(env.registry.isAValidNsPlugin(&first));

  add(second);
  remove(first);
  EXPECT_FALSE(env.registry.isAValidNsPlugin(&first));
  EXPECT_EQ(env.registry.identityOf(&first), 0u);
  remove(second);
  EXPECT_TRUE(env.registry.isAValidNsPlugin(&second));
  EXPECT_EQ(env.registry.count(), 1u);
}

TEST_F(PluginRegistryTest, RemovingAnUnregisteredInstanceChangesNothing) {
  FlashPlugin& first = make();
  FlashPlugin& second = make();
  add(first);
  add(second);
  remove(make());
  EXPECT_EQ(env.registry.count(), 2u);
}

TEST_F(PluginRegistryTest, IdentitiesAreNeverReused) {
  std::set<uint32_t> issued;
  FlashPlugin& keeper = make();
  add(keeper);
  issued.insert(env.registry.identityOf(&keeper));
  for (int round = 0; round < 5; ++round) {
    FlashPlugin& passing = make();
    add(passing);
    const uint32_t identity = env.registry.identityOf(&passing);
    EXPECT_TRUE(issued.insert(identity).second) << "identity " << identity << " issued twice";
    remove(passing);
    EXPECT_EQ(env.registry.pluginForIdentity(identity), nullptr);
  }
  // An instance that comes back is a new registration with a new identity.
  remove(keeper);  // refused: the last one
  FlashPlugin& again = make();
  add(again);
  remove(keeper);
  add(keeper);
  EXPECT_EQ(env.registry.identityOf(&keeper), 8u);
}

TEST_F(PluginRegistryTest, ForgetRemovesEvenTheLastAndDestroyedInstancesForgetThemselves) {
  FlashPlugin& only = make();
  add(only);
  env.registry.forget(&only);
  EXPECT_EQ(env.registry.count(), 0u);

  auto passing = std::make_unique<FlashPlugin>(*env.host, true);
  const FlashPlugin* address = passing.get();
  add(*passing);
  const uint32_t identity = env.registry.identityOf(address);
  passing.reset();
  EXPECT_FALSE(env.registry.isAValidNsPlugin(address));
  EXPECT_EQ(env.registry.pluginForIdentity(identity), nullptr);
}

TEST_F(PluginRegistryTest, EnableCachingSetsEveryRegisteredProjectorInstanceButNotWebProxies) {
  FlashPlugin& projector = make();
  FlashPlugin& starting = make();  // registered, type not set yet
  FlashPlugin& web = make();
  FlashPlugin& unregistered = make();
  projector.fType = kPluginTypeFlash;
  web.fType = kPluginTypeWeb;
  add(projector);
  add(starting);
  add(web);
  env.registry.enableCaching(false);
  EXPECT_FALSE(projector.fOkToCache);
  EXPECT_FALSE(starting.fOkToCache);
  EXPECT_TRUE(web.fOkToCache);
  EXPECT_TRUE(unregistered.fOkToCache);
  env.registry.enableCaching(true);
  EXPECT_TRUE(projector.fOkToCache);
}

TEST_F(PluginRegistryTest, StopsObservingWhenDestroyed) {
  FlashPlugin& plugin = make();
  {
    PluginRegistry other(env.notifications);
    add(plugin);
    EXPECT_TRUE(other.isAValidNsPlugin(&plugin));
  }
  // Posting after the other registry went must not reach it.
  add(make());
  EXPECT_EQ(env.registry.count(), 2u);
}

}  // namespace
}  // namespace kw
