// URL loading for the plug-in against a loopback HTTP server: the stream calls
// and their order, redirects, the cache, POST bodies and headers,
// authentication, failures and the write procedure's cancel. Requests enter
// through the browser functions, as the plug-in makes them; the run loop runs
// on the real clock until the loader is idle.
#include <gtest/gtest.h>

#include <tuple>

#include "mac/app/HostAssembly.h"
#include "mac/net/CocoaGetUrl.h"
#include "mac/platform/SystemLog.h"
#include "mac/pluginhost/FlashPlugin.h"
#include "tests/support/FakePlugin.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/TempDir.h"

namespace kw {
namespace {

using test::LoopbackHttpServer;
using Request = LoopbackHttpServer::Request;
using Response = LoopbackHttpServer::Response;

void* const kNotify = reinterpret_cast<void*>(0x1234);
constexpr const char* kAnnPw = "Basic YW5uOnB3";  // user "ann", password "pw"

class UrlLoadingTest : public ::testing::Test {
 protected:
  UrlLoadingTest() {
    std::filesystem::create_directories(resources);
    EXPECT_EQ(assembly.host().bind(fake.entryPoints()), kStatusOK);
    plugin->m_plugInInstance.ndata = plugin.get();
    plugin->fType = kPluginTypeFlash;
    assembly.notifications.post(notification::kAddNsPluginToList, plugin.get());
    // The notification comes before the destroy call, or the order is wrong.
    fake.onDestroyStream = [this](NPP, NPStream*, NPReason) {
      notifiesAtDestroy.push_back(fake.urlNotifyCalls.size());
    };
  }
  const NPNetscapeFuncs& browser() { return assembly.host().browserFuncs(); }
  NPError get(const std::string& url) {
    return browser().geturlnotify(plugin->instance(), url.c_str(), nullptr, kNotify);
  }
  NPError post(const std::string& url, std::string_view body, bool isFile = false) {
    return browser().posturlnotify(plugin->instance(), url.c_str(), nullptr, static_cast<uint32_t>(body.size()),
                                   body.data(), isFile, kNotify);
  }
  bool idle() {
    return assembly.runLoop.runUntil([this] { return loader.activeLoads() == 0; }, 10);
  }
  const test::FakePlugin::StreamCall& lastStream() { return fake.streams.back(); }
  void clearCalls() {
    fake.streams.clear();
    fake.urlNotifyCalls.clear();
    notifiesAtDestroy.clear();
  }
  // Ended as the plug-in expects: one notification with `reason`, then the destroy call.
  void expectEnded(NPReason reason, const std::string& url) {
    ASSERT_EQ(fake.urlNotifyCalls.size(), 1u);
    EXPECT_EQ(fake.urlNotifyCalls[0].reason, reason);
    EXPECT_EQ(fake.urlNotifyCalls[0].url, url);
    EXPECT_EQ(fake.urlNotifyCalls[0].notifyData, kNotify);
    EXPECT_EQ(notifiesAtDestroy, std::vector<size_t>{1});
    EXPECT_EQ(lastStream().reason, NPRES_DONE);
  }

  test::TempDir dir;
  std::filesystem::path resources = dir.path() / "X.app" / "Contents" / "Resources";
  test::FakePlugin fake;
  HostAssembly assembly{{RunLoop::ClockKind::Real, dir.path() / "X.app", nullptr, &loader, nullptr, nullptr}};
  CurlDriver driver{assembly.runLoop};
  CocoaUrlLoader loader{driver, {.resourcesFolder = resources,
                                 .cacheFolder = dir.path() / "cache",
                                 .credentials = [this] { return credential; }}};
  std::unique_ptr<FlashPlugin> plugin = std::make_unique<FlashPlugin>(assembly.host(), false);
  std::optional<UrlCredential> credential;
  std::vector<size_t> notifiesAtDestroy;
  ScopedLogCapture log;
  LoopbackHttpServer server{[](const Request& request) {
    const std::string path = request.path();
    if (path == "/data") return LoopbackHttpServer::text("hello", "text/xml; charset=utf-8");
    if (path == "/moved") return LoopbackHttpServer::redirect("/moved2", 301);
    if (path == "/moved2") return LoopbackHttpServer::redirect("/data");
    if (path == "/tagged" && request.header("If-None-Match") == "\"v1\"") return LoopbackHttpServer::status(304);
    if (path == "/secret" && request.header("Authorization") != kAnnPw) {
      Response challenge = LoopbackHttpServer::status(401, "authentication required");
      challenge.headers.emplace_back("WWW-Authenticate", "Basic realm=\"test\"");
      return challenge;
    }
    Response response = path == "/echo" ? LoopbackHttpServer::echo(request) : LoopbackHttpServer::text(path + " body");
    response.sendLength = path != "/nolength";
    if (path == "/half") response.failAfter = 3;
    if (path == "/fresh") response.headers.emplace_back("Cache-Control", "max-age=3600");
    if (path == "/tagged") response.headers.emplace_back("ETag", "\"v1\"");
    return response;
  }};
};

TEST_F(UrlLoadingTest, GetOpensWritesAndEndsTheStreamNotifyingBeforeDestroying) {
  struct Case {
    const char* path;
    const char* type;
    uint32_t end;
    const char* body;
    size_t requests;
  };
  const Case cases[] = {{"/data", "text/xml", 5, "hello", 1},
                        {"/nolength", "text/plain", 0xFFFFFFFF, "/nolength body", 1},
                        {"/moved", "text/xml", 5, "hello", 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    clearCalls();
    const size_t before = server.requestCount();
    const std::string url = server.url(c.path) + "\r\n";
    EXPECT_EQ(get(url), NPERR_NO_ERROR);
    EXPECT_TRUE(fake.streams.empty());  // everything comes later, from the run loop
    ASSERT_TRUE(idle());
    ASSERT_EQ(fake.streams.size(), 1u);
    EXPECT_EQ(lastStream().type, c.type);
    EXPECT_EQ(lastStream().end, c.end);
    EXPECT_EQ(lastStream().text(), c.body);
    EXPECT_EQ(lastStream().notifyData, kNotify);
    expectEnded(NPRES_DONE, url);  // the record's URL, as the plug-in asked for it
    EXPECT_EQ(server.requestCount() - before, c.requests);
  }
  EXPECT_EQ(server.requests().back().path(), "/data");
}

TEST_F(UrlLoadingTest, TextsAreConvertedToURLsWithFilesInTheResourcesFolder) {
  const std::string res = "file://" + resources.string();
  const std::pair<const char*, std::optional<std::string>> cases[] = {
      {"http://h.example/a?b=1\r\n", "http://h.example/a?b=1"},
      {"images/pic.jpg", res + "/images/pic.jpg"},
      {"/tmp/x.txt", "file:///tmp/x.txt"},
      {"http://bad host/", std::nullopt}};
  for (const auto& [text, expected] : cases) {
    const std::optional<URL> url = convertedRequestURL(text, resources);
    EXPECT_EQ(url ? std::optional(url->absoluteString()) : std::nullopt, expected) << text;
  }
  // A relative text loads the file from the resources folder.
  std::filesystem::create_directories(resources / "movies");
  test::writeFile(resources / "movies" / "intro.swf", {'F', 'W', 'S'});
  EXPECT_EQ(get("movies/intro.swf"), NPERR_NO_ERROR);
  ASSERT_TRUE(idle());
  EXPECT_EQ(lastStream().type, "application/x-shockwave-flash");
  EXPECT_EQ(lastStream().text(), "FWS");
  expectEnded(NPRES_DONE, "movies/intro.swf");
}

TEST_F(UrlLoadingTest, TheDefaultPolicyAnswersFromTheCacheAndTheReloadPolicyAsksAgain) {
  plugin->fOkToCache = false;  // the protocol's default policy
  for (int i = 0; i < 2; ++i) {
    get(server.url("/fresh"));
    ASSERT_TRUE(idle());
    EXPECT_EQ(lastStream().text(), "/fresh body");
  }
  EXPECT_EQ(server.requestCount(), 1u);
  const std::optional<CachedResponse> entry = loader.cache().lookup(server.url("/fresh"));
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->mimeType, "text/plain");

  // A stale entry with a validator is asked for on condition; "304" lets it answer.
  for (int i = 0; i < 2; ++i) {
    get(server.url("/tagged"));
    ASSERT_TRUE(idle());
  }
  EXPECT_EQ(lastStream().text(), "/tagged body");
  EXPECT_EQ(server.requests().back().header("If-None-Match"), "\"v1\"");
  EXPECT_EQ(fake.urlNotifyCalls.back().reason, NPRES_DONE);

  plugin->fOkToCache = true;  // reload, ignoring the cache
  get(server.url("/fresh"));
  ASSERT_TRUE(idle());
  EXPECT_EQ(server.requestCount(), 4u);
}

TEST(UrlCachePolicy, OnlyPlainHttpAnswersToGetsAreStored) {
  const HeaderFields plain{{"Content-Type", "text/plain"}};
  const std::tuple<const char*, const char*, long, HeaderFields, bool> rows[] = {
      {"HTTP://h/a", "GET", 200, plain, true}, {"https://h/a", "GET", 200, plain, false},
      {"http://h/a", "POST", 200, plain, false}, {"http://h/a", "GET", 404, plain, false},
      {"http://h/a", "GET", 200, {{"Cache-Control", "private, no-store"}}, false}};
  for (const auto& [url, method, status, headers, stored] : rows) {
    EXPECT_EQ(UrlCache::mayStore(url, method, status, headers), stored) << url << method << status;
  }
  CachedResponse entry;
  entry.cachedDate = 1000;
  entry.headers = {{"Cache-Control", "max-age=60"}};
  EXPECT_TRUE(UrlCache::isFresh(entry, 1059));
  EXPECT_FALSE(UrlCache::isFresh(entry, 1060));
  entry.headers = {{"Date", "Thu, 01 Jan 1970 00:16:40 GMT"}, {"Last-Modified", "Thu, 01 Jan 1970 00:00:00 GMT"}};
  EXPECT_TRUE(UrlCache::isFresh(entry, 1099));  // a tenth of its age of 1000 s
  EXPECT_FALSE(UrlCache::isFresh(entry, 1100));
}

TEST(PostHeaderBlocks, HeadersAreTakenBeforeTheFirstBlankLineAndContentLengthClips) {
  using Fields = HeaderFields;
  const Fields agent{{"User_Agent", std::string(kPostUserAgent)}};
  struct Case {
    std::string data;
    std::string body;
    Fields headers;
  };
  const Case cases[] = {
      // A header block with a clipping length: the POST test below.
      {"\nabc", "abc", {}},
      {"A: b\r\n\r\n", "A: b\r\n\r\n", {}},  // the blank line lies in the last four bytes
      {"Content-Length: 99\n\nabc", "abc", agent},
      {"Content-Length: x\n\nabc", "", agent},
  };
  for (const Case& c : cases) {
    const PostRequestBody split = splitPostHeaders(c.data, true);
    EXPECT_EQ(split.body, c.body) << c.data;
    EXPECT_EQ(split.headers, c.headers) << c.data;
  }
  EXPECT_EQ(splitPostHeaders("\nabc", false).body, "\nabc");
}

TEST_F(UrlLoadingTest, PostSendsTheBodyAndHeadersAndAnswersNineOrElevenForBadArguments) {
  EXPECT_EQ(post(server.url("/echo"), "Content-Type: text/plain\r\nContent-Length: 3\r\n\r\nabcdef"), 0);
  ASSERT_TRUE(idle());
  const Request sent = server.requests().back();
  EXPECT_EQ(sent.method, "POST");
  EXPECT_EQ(sent.body, "abc");
  EXPECT_EQ(sent.header("Content-Type"), "text/plain");
  EXPECT_EQ(sent.header("User_Agent"), kPostUserAgent);
  EXPECT_TRUE(lastStream().text().starts_with("POST /echo\n"));
  expectEnded(NPRES_DONE, server.url("/echo"));

  // The body from a file named by a file URL.
  test::writeFile(dir.path() / "body.txt", {'x', '=', '1'});
  EXPECT_EQ(post(server.url("/echo"), "file://" + (dir.path() / "body.txt").string(), true), 0);
  ASSERT_TRUE(idle());
  EXPECT_EQ(server.requests().back().body, "x=1");
  EXPECT_EQ(server.requests().back().header("User_Agent"), "");

  const size_t requests = server.requestCount();
  const size_t notifies = fake.urlNotifyCalls.size(), destroys = notifiesAtDestroy.size();
  EXPECT_EQ(post(server.url("/echo"), ""), NPERR_INVALID_PARAM);
  EXPECT_EQ(post(server.url("/echo"), (dir.path() / "missing.txt").string(), true), NPERR_FILE_NOT_FOUND);
  test::writeFile(dir.path() / "empty.txt", {});
  EXPECT_EQ(post(server.url("/echo"), (dir.path() / "empty.txt").string(), true), NPERR_INVALID_PARAM);
  ASSERT_TRUE(idle());
  EXPECT_EQ(server.requestCount(), requests);
  // Each stream the routing opened for them was ended as a failed request.
  EXPECT_EQ(fake.urlNotifyCalls.back().reason, NPRES_NETWORK_ERR);
  EXPECT_EQ(fake.urlNotifyCalls.size(), notifies + 3);
  EXPECT_EQ(notifiesAtDestroy.size(), destroys + 3);
}

TEST_F(UrlLoadingTest, TheFirstChallengeIsAnsweredFromTheSettingsAndTheSecondCancelled) {
  credential = UrlCredential{"ann", "pw"};
  get(server.url("/secret"));
  ASSERT_TRUE(idle());
  EXPECT_EQ(lastStream().text(), "/secret body");
  expectEnded(NPRES_DONE, server.url("/secret"));
  auto requests = server.requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].header("Authorization"), "");
  EXPECT_EQ(requests[1].header("Authorization"), kAnnPw);

  // A wrong password: one more attempt, then the request fails unopened.
  credential = UrlCredential{"ann", "wrong"};
  clearCalls();
  get(server.url("/secret"));
  ASSERT_TRUE(idle());
  EXPECT_EQ(server.requestCount(), 4u);
  ASSERT_EQ(fake.urlNotifyCalls.size(), 1u);
  EXPECT_EQ(fake.urlNotifyCalls[0].reason, NPRES_NETWORK_ERR);
  EXPECT_TRUE(fake.streams.empty());
  EXPECT_EQ(log.lines().back(), "Connection failed! Error - authentication cancelled " + server.url("/secret"));

  // No user name in the settings: the challenge's own answer is the result.
  credential.reset();
  get(server.url("/secret"));
  ASSERT_TRUE(idle());
  EXPECT_EQ(lastStream().text(), "authentication required");
  EXPECT_EQ(fake.urlNotifyCalls.back().reason, NPRES_DONE);
}

TEST_F(UrlLoadingTest, ATransferFailingHalfWayEndsWithTheFailureCalls) {
  get(server.url("/half"));
  ASSERT_TRUE(idle());
  EXPECT_EQ(lastStream().end, 10u);
  EXPECT_EQ(lastStream().text(), "/ha");
  expectEnded(NPRES_NETWORK_ERR, server.url("/half"));

  // Nothing answers at all: notified, but no stream was opened to destroy.
  clearCalls();
  get("http://127.0.0.1:1/none");
  ASSERT_TRUE(idle());
  ASSERT_EQ(fake.urlNotifyCalls.size(), 1u);
  EXPECT_EQ(fake.urlNotifyCalls[0].reason, NPRES_NETWORK_ERR);
  EXPECT_TRUE(fake.streams.empty());
}

TEST_F(UrlLoadingTest, AFailingWriteCancelsTheTransferWithoutEndingTheStream) {
  fake.writeAnswer = -1;  // the plug-in refuses the data
  get(server.url("/nolength"));
  ASSERT_TRUE(idle());
  EXPECT_EQ(fake.writeCalls, 1);
  EXPECT_TRUE(fake.urlNotifyCalls.empty());
  EXPECT_FALSE(lastStream().destroyed);

  // An instance shutting down marks the record finished and gets nothing more.
  fake.writeAnswer.reset();
  plugin->m_shutdownCurrentPlugin = true;
  get(server.url("/data"));
  ASSERT_TRUE(idle());
  EXPECT_EQ(fake.writeCalls, 1);
  EXPECT_TRUE(fake.urlNotifyCalls.empty());

  // A destroyed instance is never called again, even with its answer on the way.
  plugin->m_shutdownCurrentPlugin = false;
  get(server.url("/data"));
  const size_t streams = fake.streams.size();
  plugin.reset();
  ASSERT_TRUE(idle());
  EXPECT_EQ(fake.streams.size(), streams);
  EXPECT_TRUE(fake.urlNotifyCalls.empty());
}

}  // namespace
}  // namespace kw
