// URL loading for the plug-in: the requests that are neither commands nor the
// host's own answers are fetched with libcurl on the main run loop (through a
// CurlDriver) and fed into the movie as NPAPI streams, the way a browser would.
//
// `CocoaUrlLoader` is the UrlLoader the routing calls; each request gets a
// `CocoaGetUrl`, which the loader keeps until its transfer has ended. Per
// request the plug-in sees: NPP_NewStream when the answer's head has come
// (content type, expected length or 0xFFFFFFFF, Last-Modified in seconds since
// 1970), the body through the write procedure, then NPP_URLNotify (NPRES_DONE,
// or NPRES_NETWORK_ERR on failure) followed by NPP_DestroyStream (reason 0)
// for a stream the plug-in was given. A failing write procedure (the instance
// is shutting down, the plug-in refused the data) cancels the transfer with no
// further calls. Every call into the plug-in is made only while the instance
// is still registered and sane.
//
// Redirects are followed. The first authentication challenge is answered with
// the configured user name and password (see CocoaUrlLoader::Settings), the
// second one is cancelled and the request fails; without a configured user
// name the "401" answer itself reaches the plug-in.
#pragma once

#include <curl/curl.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "mac/net/CurlDriver.h"
#include "mac/net/HeaderFields.h"
#include "mac/net/PathExtras.h"
#include "mac/net/URL.h"
#include "mac/net/UrlCache.h"
#include "mac/pluginhost/HostInterfaces.h"
#include "mac/pluginhost/Status.h"

namespace kw {

class FlashPlugin;
class CocoaUrlLoader;

// The write procedure URL loading feeds received blocks through.
using UrlWriteProc = Status (*)(const uint8_t* buffer, size_t length, StreamData* record);

// The user name and password that answer an authentication challenge.
struct UrlCredential {
  std::string user;
  std::string password;
};

// The cache policies of a request.
enum class UrlCachePolicy {
  UseProtocolDefault = 0,   // a fresh stored answer is used, a stale one revalidated
  ReloadIgnoringCache = 1,  // always asks the server (the answer may still be stored)
};

// The URL conversion of GET requests and downloads: the bytes read as Windows
// Latin-1, line ends removed, made a URL (UTF-8 then Latin-1). A text that is
// not an http, https or file URL names a file: its valid percent escapes
// decoded, taken as it is when it begins with "/", else inside
// `resourcesFolder`. None for a text no URL can be made of.
std::optional<URL> convertedRequestURL(std::string_view text, const std::filesystem::path& resourcesFolder);

// The POST body after its header block (allowHeaders): a leading line feed
// is dropped; the fields before the first blank line become the request's
// headers, "Content-Length" clips the body and is not sent, and "User_Agent"
// is set whenever a block was found.
struct PostRequestBody {
  HeaderFields headers;
  std::string body;
};
PostRequestBody splitPostHeaders(std::string_view data, bool allowHeaders);

// The "User_Agent" value of POST requests with a header block.
inline constexpr std::string_view kPostUserAgent =
    "Mozilla/5.0 (Macintosh; U; PPC Mac OS X; en) AppleWebKit/418.9.1 (KHTML, like Gecko) Safari/419.3";

class CocoaGetUrl : public std::enable_shared_from_this<CocoaGetUrl> {
 public:
  explicit CocoaGetUrl(CocoaUrlLoader& owner);
  ~CocoaGetUrl();
  CocoaGetUrl(const CocoaGetUrl&) = delete;
  CocoaGetUrl& operator=(const CocoaGetUrl&) = delete;

  // getUrl:writeProc:streamData:funcs:flashPlugin: -> always 0. Answers
  // whether a transfer (or a cached answer) was started.
  bool getUrl(UrlWriteProc writeProc, std::shared_ptr<StreamData> record, const NPPluginFuncs& funcs,
              FlashPlugin* plugin);
  // _postURL:len:buf:file:notifyData:allowHeaders:... -> 0 when started, 9
  // (NPERR_INVALID_PARAM) for a missing URL, length or buffer or an empty
  // body, 11 (NPERR_FILE_NOT_FOUND) when the body file cannot be read.
  NPError postURL(const char* buffer, uint32_t length, bool isFile, bool allowHeaders, UrlWriteProc writeProc,
                  std::shared_ptr<StreamData> record, const NPPluginFuncs& funcs, FlashPlugin* plugin);

  // The process-wide write procedure: every entry stores its own there and
  // every loader delivers through it.
  static UrlWriteProc currentWriteProc();

  // A transfer or a stored answer is under way.
  bool isLoading() const;

  // What the request was made with (for diagnostics and tests).
  UrlCachePolicy cachePolicy() const { return policy_; }
  const std::string& requestURL() const { return url_; }
  const Bytes& receivedData() const { return fReceivedData; }

 private:
  friend class CocoaUrlLoader;
  struct Block;  // the head of one answer

  void keep(UrlWriteProc writeProc, std::shared_ptr<StreamData> record, const NPPluginFuncs& funcs,
            FlashPlugin* plugin);
  bool startTransfer();
  bool addTransfer();
  void answerFromCache();
  void answerChallenge(const UrlCredential& credential);
  void storeInCache();
  // The instance may still be called.
  bool instanceIsLive() const;

  // libcurl callbacks.
  static size_t onHeader(char* data, size_t size, size_t count, void* self);
  static size_t onBody(char* data, size_t size, size_t count, void* self);
  void headerLine(std::string_view line);
  void headEnded();
  size_t body(const uint8_t* data, size_t length);
  void transferEnded(CURLcode result);

  // connection:didReceiveResponse:, the data delivery and completedURL:.
  void didReceiveResponse(const std::string& mimeType, uint32_t expectedLength, uint32_t lastModified);
  void respondWith(const CachedResponse& entry);
  void respondFromTransfer();  // for answers without an HTTP head (file URLs)
  bool deliver(const uint8_t* data, size_t length);
  void completedURL(bool success);
  void failed(const std::string& description);
  void finish();

  CocoaUrlLoader& owner_;
  Bytes fReceivedData;
  std::shared_ptr<StreamData> fStreamData;
  NPPluginFuncs fNPPFuncs{};
  FlashPlugin* fPlugIn = nullptr;
  InstanceRegistry* registry_ = nullptr;
  uint32_t identity_ = 0;  // the instance's identity in the registry

  std::string url_;
  std::string method_ = "GET";
  UrlCachePolicy policy_ = UrlCachePolicy::UseProtocolDefault;
  std::string postBody_;
  HeaderFields postHeaders_;
  CURL* easy_ = nullptr;
  curl_slist* headerList_ = nullptr;
  RunLoop::TimerId cacheTimer_ = 0;  // a stored answer is on its way

  std::unique_ptr<Block> block_;          // the answer being read
  std::optional<CachedResponse> cached_;  // the stored answer being revalidated
  bool revalidated_ = false;              // "304": the stored answer answers
  Bytes heldBody_;                        // the body of a challenge, held until the end
  int challenges_ = 0;                    // authentication challenges met so far
  bool responded_ = false;                // NPP_NewStream was called
  bool streamOpen_ = false;               // the plug-in holds the record's stream
  bool cancelled_ = false;
  bool finished_ = false;
};

class CocoaUrlLoader : public UrlLoader {
 public:
  struct Settings {
    // Files named by relative texts lie here (the application's resources).
    std::filesystem::path resourcesFolder;
    // The on-disk cache; empty: nothing is stored or looked up.
    std::filesystem::path cacheFolder;
    // The name and password for the first authentication challenge; none (or
    // an empty user name): challenges are not answered.
    std::function<std::optional<UrlCredential>()> credentials;
    // Volume names in POST body file paths are mended against these folders.
    PathContext paths = PathContext::fromSystem();
    UrlWriteProc writeProc = nullptr;  // none: the host's write procedure
    double timeout = 60;               // seconds without progress before a transfer fails
  };

  CocoaUrlLoader(CurlDriver& driver, Settings settings);
  // Transfers still running end with no calls into the plug-in.
  ~CocoaUrlLoader() override;

  NPError getURL(const std::shared_ptr<StreamData>& record) override;
  NPError postURL(const std::shared_ptr<StreamData>& record, const char* buffer, uint32_t length, bool isFile,
                  bool allowHeaders) override;

  CurlDriver& driver() const { return driver_; }
  const Settings& settings() const { return settings_; }
  const UrlCache& cache() const { return cache_; }
  // Requests still loading.
  size_t activeLoads() const { return loads_.size(); }

 private:
  friend class CocoaGetUrl;
  std::shared_ptr<CocoaGetUrl> makeLoad();
  void ended(CocoaGetUrl* load);

  CurlDriver& driver_;
  Settings settings_;
  UrlCache cache_;
  std::map<CocoaGetUrl*, std::shared_ptr<CocoaGetUrl>> loads_;
};

}  // namespace kw
