// The browser function table: binding, the table's fields, the unsupported
// and simple entries, identifiers and scriptable objects.
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/TestHost.h"

namespace kw {
namespace {

using BrowserTest = test::InstanceTest;

// Entry points that log the binding calls and the tables as the plug-in received them.
struct BindLog {
  std::vector<std::string> calls;
  uint16_t browserSize = 0, browserVersion = 0, pluginSize = 0, pluginVersion = 0;
  bool pluginTableEmpty = false;
};
BindLog g_bindLog;
NPError logInitialize(NPNetscapeFuncs* funcs) {
  g_bindLog.calls.push_back("NP_Initialize");
  g_bindLog.browserSize = funcs->size;
  g_bindLog.browserVersion = funcs->version;
  return NPERR_NO_ERROR;
}
NPError logGetEntryPoints(NPPluginFuncs* funcs) {
  g_bindLog.calls.push_back("NP_GetEntryPoints");
  g_bindLog.pluginSize = funcs->size;
  g_bindLog.pluginVersion = funcs->version;
  g_bindLog.pluginTableEmpty = funcs->newp == nullptr && funcs->newstream == nullptr;
  return NPERR_NO_ERROR;
}
void logDisable() { g_bindLog.calls.push_back("Flash_DisableLocalSecurity"); }

TEST_F(BrowserTest, BindingDisablesLocalSecurityFirstThenHandsOverTablesOfThisBuildsSize) {
  g_bindLog = {};
  host->startupEvent.what = 8;
  host->startupEvent.message = 31;
  host->nullEvent.where = {5, 6};
  EXPECT_EQ(host->bind({logInitialize, logGetEntryPoints, logDisable}), kStatusOK);
  EXPECT_EQ(g_bindLog.calls,
            (std::vector<std::string>{"Flash_DisableLocalSecurity", "NP_Initialize", "NP_GetEntryPoints"}));
  EXPECT_EQ(g_bindLog.browserSize, sizeof(NPNetscapeFuncs));
  EXPECT_EQ(g_bindLog.pluginSize, sizeof(NPPluginFuncs));
  EXPECT_EQ(g_bindLog.browserVersion, 16);
  EXPECT_EQ(g_bindLog.pluginVersion, 16);
  EXPECT_TRUE(g_bindLog.pluginTableEmpty) << "the fake's earlier table is cleared first";
  EXPECT_EQ(host->startupEvent.what, 0);
  EXPECT_EQ(host->startupEvent.message, 0u);
  EXPECT_EQ((std::vector<int>{host->nullEvent.where.v, host->nullEvent.where.h}), (std::vector<int>{0, 0}));

  // A missing entry point fails with 666; the security switch is still called first.
  g_bindLog = {};
  EXPECT_EQ(host->bind({nullptr, logGetEntryPoints, logDisable}), kStatusEntryPointsMissing);
  EXPECT_EQ(host->bind({logInitialize, nullptr, nullptr}), kStatusEntryPointsMissing);
  EXPECT_EQ(g_bindLog.calls, std::vector<std::string>{"Flash_DisableLocalSecurity"});
}

TEST_F(BrowserTest, TableHasEveryEntryButThePopupPair) {
  const NPNetscapeFuncs& funcs = *fake.browser;
  EXPECT_EQ(&funcs, &host->browserFuncs());
  const auto* first = reinterpret_cast<const char*>(&funcs.geturl);
  const auto* end = reinterpret_cast<const char*>(&funcs.pushpopupsenabledstate);
  for (const char* slot = first; slot < end; slot += sizeof(void*)) {
    void* entry = nullptr;
    std::memcpy(&entry, slot, sizeof entry);
    EXPECT_NE(entry, nullptr) << "slot " << (slot - first) / static_cast<long>(sizeof(void*));
  }
  EXPECT_EQ(funcs.pushpopupsenabledstate, nullptr);
  EXPECT_EQ(funcs.poppopupsenabledstate, nullptr);
}

TEST_F(BrowserTest, UnsupportedEntriesAnswer8AndDoNothing) {
  const NPNetscapeFuncs& funcs = browser();
  NPStream* stream = nullptr;
  const NPError errors[] = {funcs.posturl(instance(), "http://example.com/", nullptr, 3, "a=1", false),
                            funcs.requestread(nullptr, nullptr),
                            funcs.newstream(instance(), nullptr, nullptr, &stream),
                            static_cast<NPError>(funcs.write(instance(), nullptr, 4, nullptr)),
                            funcs.destroystream(instance(), nullptr, NPRES_DONE),
                            funcs.reloadplugins(true)};
  for (size_t i = 0; i < std::size(errors); ++i) EXPECT_EQ(errors[i], 8) << "entry " << i;
  EXPECT_EQ(stream, nullptr);
  EXPECT_EQ(funcs.memflush(1000), 0u);
  EXPECT_EQ(funcs.memalloc(0), nullptr);
  EXPECT_EQ(funcs.getJavaEnv(), nullptr);
  EXPECT_EQ(funcs.getJavaPeer(instance()), nullptr);
  NPVariant result{};
  const bool answers[] = {funcs.invokeDefault(instance(), nullptr, nullptr, 0, &result),
                          funcs.getproperty(instance(), nullptr, nullptr, &result),
                          funcs.setproperty(instance(), nullptr, nullptr, &result),
                          funcs.removeproperty(instance(), nullptr, nullptr),
                          funcs.hasproperty(instance(), nullptr, nullptr), funcs.hasmethod(instance(), nullptr, nullptr)};
  for (size_t i = 0; i < std::size(answers); ++i) EXPECT_FALSE(answers[i]) << "entry " << i;
  funcs.memfree(nullptr);
  funcs.status(instance(), "loading");
  funcs.setexception(nullptr, "boom");
  funcs.invalidateregion(instance(), nullptr);
  funcs.forceredraw(instance());
  EXPECT_TRUE(fake.streams.empty());
  EXPECT_TRUE(loader.posts.empty());
  EXPECT_TRUE(workspace.opened.empty());
}

TEST_F(BrowserTest, UserAgentIsTheFixedBrowserText) {
  EXPECT_STREQ(browser().uagent(instance()),
               "Mozilla/5.0 (Macintosh; U; PPC Mac OS X; en) AppleWebKit/420+ (KHTML, like Gecko) Safari/419.3");
  EXPECT_STREQ(browser().uagent(nullptr), browser().uagent(instance()));
}

TEST_F(BrowserTest, GetValueAnswersOnlyTheWindowObjectAndSetValueOnlyTheTwoFlags) {
  NPObject* object = nullptr;
  EXPECT_EQ(browser().getvalue(instance(), NPNVPluginElementNPObject, &object), 1);
  EXPECT_EQ(browser().getvalue(instance(), NPNVjavascriptEnabledBool, &object), 1);
  EXPECT_EQ(object, nullptr);
  EXPECT_EQ(browser().getvalue(instance(), NPNVWindowNPObject, nullptr), 1);
  EXPECT_EQ(host->windowScriptObject, nullptr) << "no object is made without a place to put it";
  EXPECT_EQ(browser().setvalue(instance(), NPPVpluginWindowBool, nullptr), 0);
  EXPECT_EQ(browser().setvalue(instance(), NPPVpluginTransparentBool, nullptr), 0);
  EXPECT_EQ(browser().setvalue(instance(), NPPVpluginNameString, nullptr), 1);
  EXPECT_EQ(browser().setvalue(instance(), NPPVpluginScriptableNPObject, nullptr), 1);
}

TEST_F(BrowserTest, EachWindowObjectRequestMakesANewObjectAndTheNewestSurvivesReleases) {
  NPObject* first = nullptr;
  NPObject* second = nullptr;
  ASSERT_EQ(browser().getvalue(instance(), NPNVWindowNPObject, &first), 0);
  ASSERT_EQ(browser().getvalue(instance(), NPNVWindowNPObject, &second), 0);
  ASSERT_TRUE(first && second);
  EXPECT_NE(first, second);
  EXPECT_EQ(host->windowScriptObject, second);
  EXPECT_EQ(second->referenceCount, 1u);
  EXPECT_EQ(second->_class->structVersion, 1u);
  browser().releaseobject(second);
  browser().releaseobject(second);
  EXPECT_EQ(second->referenceCount, 1u) << "releasing the remembered object changes nothing";
  // The older one is an ordinary object: its release frees it (or the leak check fails).
  browser().releaseobject(first);
}

struct CountingObject {
  NPObject header;
  int payload;
};
int g_allocations = 0, g_deallocations = 0;
NPObject* allocateCounting(NPP, NPClass*) {
  ++g_allocations;
  return &(new CountingObject{{}, 42})->header;
}
void deallocateCounting(NPObject* object) {
  ++g_deallocations;
  delete reinterpret_cast<CountingObject*>(object);
}
NPClass g_countingClass = {3, allocateCounting, deallocateCounting, nullptr, nullptr, nullptr,
                           nullptr, nullptr, nullptr, nullptr, nullptr};
NPClass g_plainClass = {3, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};

TEST_F(BrowserTest, ObjectsAreCountedAndFreedOnceWhenTheLastReferenceGoes) {
  g_allocations = g_deallocations = 0;
  NPObject* object = browser().createobject(instance(), &g_countingClass);
  ASSERT_NE(object, nullptr);
  EXPECT_EQ(g_allocations, 1);
  EXPECT_EQ(object->_class, &g_countingClass);
  EXPECT_EQ(object->referenceCount, 1u);
  EXPECT_EQ(reinterpret_cast<CountingObject*>(object)->payload, 42);
  EXPECT_EQ(browser().retainobject(object), object);
  EXPECT_EQ(object->referenceCount, 2u);
  browser().releaseobject(object);
  EXPECT_EQ(g_deallocations, 0);
  browser().releaseobject(object);
  EXPECT_EQ(g_deallocations, 1);

  // Without an allocate function the host makes (and frees) a bare record.
  NPObject* plain = browser().createobject(instance(), &g_plainClass);
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(plain->referenceCount, 1u);
  browser().releaseobject(plain);
  EXPECT_EQ(browser().retainobject(nullptr), nullptr);
  browser().releaseobject(nullptr);
}

TEST_F(BrowserTest, StringIdentifiersAreInternedByTextAndIntegersByValue) {
  const NPNetscapeFuncs& funcs = browser();
  std::string name = "onEventSync";
  NPIdentifier a = funcs.getstringidentifier("onEventSync");
  EXPECT_NE(a, nullptr);
  EXPECT_EQ(a, funcs.getstringidentifier(name.c_str()));  // same text, other storage
  EXPECT_NE(a, funcs.getstringidentifier("onEventSynd"));
  EXPECT_EQ(a, host->stringIdentifier("onEventSync"));
  NPIdentifier one = funcs.getintidentifier(1);
  EXPECT_EQ(one, funcs.getintidentifier(1));
  EXPECT_NE(one, funcs.getintidentifier(-1));
  EXPECT_NE(one, funcs.getstringidentifier("1"));
  EXPECT_TRUE(funcs.identifierisstring(a));
  EXPECT_FALSE(funcs.identifierisstring(one));
  EXPECT_EQ(funcs.intfromidentifier(funcs.getintidentifier(-7)), -7);
  EXPECT_EQ(funcs.intfromidentifier(a), 0);
  EXPECT_EQ(funcs.utf8fromidentifier(one), nullptr);

  NPUTF8* copy = funcs.utf8fromidentifier(a);
  ASSERT_NE(copy, nullptr);
  copy[0] = 'X';  // a copy: the identifier keeps its text
  funcs.memfree(copy);
  NPUTF8* again = funcs.utf8fromidentifier(a);
  EXPECT_STREQ(again, "onEventSync");
  funcs.memfree(again);

  const NPUTF8* names[] = {"x", "onEventSync", nullptr};
  NPIdentifier ids[3] = {};
  funcs.getstringidentifiers(names, 3, ids);
  EXPECT_EQ(ids[0], funcs.getstringidentifier("x"));
  EXPECT_EQ(ids[1], a);
  EXPECT_EQ(ids[2], nullptr);

  // Null pointers from the plug-in are answered, not followed.
  EXPECT_EQ(funcs.getstringidentifier(nullptr), nullptr);
  funcs.getstringidentifiers(nullptr, 3, ids);
  EXPECT_FALSE(funcs.identifierisstring(nullptr));
  EXPECT_EQ(funcs.utf8fromidentifier(nullptr), nullptr);
  EXPECT_EQ(funcs.intfromidentifier(nullptr), 0);
}

TEST_F(BrowserTest, InvalidateRectReachesTheWindowOfALiveInstanceOnly) {
  NPRect rect{1, 2, 30, 40};
  browser().invalidaterect(instance(), &rect);
  ASSERT_EQ(window.invalidations.size(), 1u);
  EXPECT_EQ(window.invalidations[0].bottom, 30);
  EXPECT_EQ(window.invalidations[0].right, 40);
  browser().invalidaterect(instance(), nullptr);
  browser().invalidaterect(nullptr, &rect);
  plugin->m_plugInInstance.ndata = reinterpret_cast<void*>(uintptr_t{0xA1B1C1D3});
  browser().invalidaterect(instance(), &rect);
  plugin->m_plugInInstance.ndata = plugin.get();
  plugin->sanityCheck = kPluginNuts;
  browser().invalidaterect(instance(), &rect);
  plugin->sanityCheck = kPluginSane;
  EXPECT_EQ(window.invalidations.size(), 1u);
}

TEST_F(BrowserTest, TheNewestLiveHostIsCurrentAndDestructionRestoresThePrevious) {
  EXPECT_EQ(&PluginHost::current(), host.get());
  auto inner = std::make_unique<PluginHost>(services());
  EXPECT_EQ(&PluginHost::current(), inner.get());
  auto innermost = std::make_unique<PluginHost>(services());
  inner.reset();  // out of order: the chain skips it
  EXPECT_EQ(&PluginHost::current(), innermost.get());
  innermost.reset();
  EXPECT_EQ(&PluginHost::current(), host.get());
}

}  // namespace
}  // namespace kw
