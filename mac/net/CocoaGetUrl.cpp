// URL loading for the plug-in on libcurl. See CocoaGetUrl.h.
#include "mac/net/CocoaGetUrl.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <utility>

#include "mac/net/StringExtras.h"
#include "mac/net/URLExtras.h"
#include "mac/platform/SystemLog.h"
#include "mac/pluginhost/FlashPlugin.h"
#include "mac/pluginhost/PluginHost.h"
#include "mac/pluginhost/StreamData.h"

namespace kw {

namespace {

UrlWriteProc gWriteProc = nullptr;

constexpr uint32_t kUnknownLength = 0xFFFFFFFF;

std::optional<std::string> fieldOf(const HeaderFields& headers, const char* name) {
  const auto it = headers.find(name);
  if (it == headers.end()) return std::nullopt;
  return it->second;
}

// A 30x answer with a Location: libcurl follows it.
bool isRedirect(long status, const HeaderFields& headers) {
  return (status == 301 || status == 302 || status == 303 || status == 307 || status == 308) &&
         headers.count("Location") != 0;
}

bool isChallenge(long status, const HeaderFields& headers) {
  return status == 401 && headers.count("Www-Authenticate") != 0;
}

// The content type without its parameters.
std::string mimeTypeOf(const std::string& contentType) {
  return stringByTrimmingWhitespace(std::string_view(contentType).substr(0, contentType.find(';')));
}

std::string mimeTypeForPath(std::string_view path) {
  static constexpr std::pair<std::string_view, std::string_view> kTypes[] = {{".swf", "application/x-shockwave-flash"},
                                                                             {".txt", "text/plain"},
                                                                             {".html", "text/html"},
                                                                             {".htm", "text/html"},
                                                                             {".xml", "text/xml"},
                                                                             {".jpg", "image/jpeg"},
                                                                             {".jpeg", "image/jpeg"},
                                                                             {".png", "image/png"},
                                                                             {".gif", "image/gif"},
                                                                             {".mp3", "audio/mpeg"},
                                                                             {".flv", "video/x-flv"},
                                                                             {".css", "text/css"},
                                                                             {".js", "application/javascript"}};
  for (const auto& [extension, type] : kTypes) {
    if (hasCaseInsensitiveSuffix(path, extension)) return std::string(type);
  }
  return "application/octet-stream";
}

uint32_t dateOf(const HeaderFields& headers, const char* name) {
  const std::optional<std::string> text = fieldOf(headers, name);
  if (!text) return 0;
  const time_t date = curl_getdate(text->c_str(), nullptr);
  return date > 0 ? static_cast<uint32_t>(date) : 0;
}

uint32_t expectedLengthOf(const HeaderFields& headers) {
  const std::optional<std::string> text = fieldOf(headers, "Content-Length");
  if (!text || text->empty()) return kUnknownLength;
  char* end = nullptr;
  const unsigned long long length = std::strtoull(text->c_str(), &end, 10);
  if (end == text->c_str()) return kUnknownLength;
  return static_cast<uint32_t>(length);  // the low 32 bits
}

// The integer value of a text as the platform's string reads it: leading
// white space, a sign and digits; saturated at the 32-bit limits; 0 for none.
int32_t intValue(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
    value = std::min<long long>(value * 10 + (text[i] - '0'), static_cast<long long>(INT_MAX) + 1);
  }
  if (negative) value = -value;
  return static_cast<int32_t>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

// Steps 1-3 of the URL conversion: Windows Latin-1, no line ends, a URL.
std::optional<URL> urlOfText(std::string_view text, std::string& stripped) {
  stripped = stringByStrippingReturnCharacters(stringWithWindowsLatin1(bytesOf(text)));
  return urlWithDataAsString(stripped);
}

std::string latin1Text(const std::string& text) {
  const std::optional<Bytes> bytes = latin1Bytes(text);
  return bytes ? std::string(textOf(*bytes)) : text;
}

}  // namespace

// The head of one answer, as libcurl hands its lines over.
struct CocoaGetUrl::Block {
  long status = 0;  // 0: not an HTTP answer (file URLs)
  HeaderFields headers;
  std::string lastName;
  bool complete = false;
};

std::optional<URL> convertedRequestURL(std::string_view text, const std::filesystem::path& resourcesFolder) {
  std::string stripped;
  std::optional<URL> url = urlOfText(text, stripped);
  if (stripped.empty()) return std::nullopt;
  if (!url) {
    // The parser takes absolute URLs only: a text it reads as a reference
    // relative to some base is a usable (relative) URL as well.
    const std::optional<URL> base = URL::parse("http://relative.invalid/");
    if (!urlWithDataAsString(stripped, &*base)) return std::nullopt;
  } else if (validURL(*url)) {
    return url;
  }
  // A file path: the text read as UTF-8.
  const std::string utf8 = stringByStrippingReturnCharacters(text);
  if (!isValidUTF8(utf8)) return std::nullopt;
  std::string path = stringByReplacingValidPercentEscapes(utf8);
  if (!path.starts_with('/')) path = (resourcesFolder / path).string();
  return fileURLWithPath(path);
}

PostRequestBody splitPostHeaders(std::string_view data, bool allowHeaders) {
  PostRequestBody out;
  if (!allowHeaders) {
    out.body = data;
    return out;
  }
  if (startsWithBlankLine(bytesOf(data))) {
    out.body = data.substr(1);
    return out;
  }
  const std::optional<size_t> end = locationAfterFirstBlankLine(bytesOf(data));
  if (!end) {
    out.body = data;
    return out;
  }
  out.headers = parseRFC822HeaderFields(bytesOf(data.substr(0, *end)));
  size_t length = data.size() - *end;
  if (const auto it = out.headers.find("Content-Length"); it != out.headers.end()) {
    length = std::min<size_t>(static_cast<uint32_t>(intValue(it->second)), length);
    out.headers.erase(it);
  }
  out.headers["User_Agent"] = std::string(kPostUserAgent);
  out.body = data.substr(*end, length);
  return out;
}

// --- CocoaGetUrl -------------------------------------------------------------

CocoaGetUrl::CocoaGetUrl(CocoaUrlLoader& owner) : owner_(owner) {}

CocoaGetUrl::~CocoaGetUrl() {
  if (cacheTimer_ != 0) owner_.driver().runLoop().cancel(cacheTimer_);
  if (easy_ != nullptr) {
    owner_.driver().remove(easy_);
    curl_easy_cleanup(easy_);
  }
  curl_slist_free_all(headerList_);
}

bool CocoaGetUrl::isLoading() const {
  return !finished_ && (cacheTimer_ != 0 || (easy_ != nullptr && owner_.driver().isRunning(easy_)));
}

UrlWriteProc CocoaGetUrl::currentWriteProc() { return gWriteProc != nullptr ? gWriteProc : writeProcedure; }

void CocoaGetUrl::keep(UrlWriteProc writeProc, std::shared_ptr<StreamData> record, const NPPluginFuncs& funcs,
                       FlashPlugin* plugin) {
  gWriteProc = writeProc;
  fStreamData = std::move(record);
  fNPPFuncs = funcs;
  fPlugIn = plugin;
  if (fPlugIn != nullptr) {
    registry_ = fPlugIn->host().services().registry;
    if (registry_ != nullptr) identity_ = registry_->identityOf(fPlugIn);
  }
}

bool CocoaGetUrl::instanceIsLive() const {
  if (fPlugIn == nullptr || fStreamData == nullptr || fStreamData->instance == nullptr) return false;
  // Looked up by identity, so a destroyed instance is never read.
  if (registry_ != nullptr && (identity_ == 0 || registry_->pluginForIdentity(identity_) != fPlugIn)) return false;
  return fPlugIn->isSane();
}

bool CocoaGetUrl::getUrl(UrlWriteProc writeProc, std::shared_ptr<StreamData> record, const NPPluginFuncs& funcs,
                         FlashPlugin* plugin) {
  keep(writeProc, std::move(record), funcs, plugin);
  if (fStreamData == nullptr || fStreamData->url.empty()) return false;
  const std::optional<URL> url = convertedRequestURL(fStreamData->url, owner_.settings().resourcesFolder);
  if (!url) return false;
  url_ = url->absoluteString();
  policy_ = fStreamData->okToCache ? UrlCachePolicy::ReloadIgnoringCache : UrlCachePolicy::UseProtocolDefault;

  if (policy_ == UrlCachePolicy::UseProtocolDefault) {
    if (std::optional<CachedResponse> entry = owner_.cache().lookup(url_)) {
      if (UrlCache::isFresh(*entry, currentCacheDate())) {
        // Answered from the store, later on the run loop as a transfer would be.
        cached_ = std::move(entry);
        std::weak_ptr<CocoaGetUrl> weak = weak_from_this();
        cacheTimer_ = owner_.driver().runLoop().performAfterDelay(0, [weak] {
          if (const std::shared_ptr<CocoaGetUrl> self = weak.lock()) self->answerFromCache();
        });
        return true;
      }
      if (UrlCache::hasValidator(*entry)) cached_ = std::move(entry);
    }
  }
  return startTransfer();
}

NPError CocoaGetUrl::postURL(const char* buffer, uint32_t length, bool isFile, bool allowHeaders,
                             UrlWriteProc writeProc, std::shared_ptr<StreamData> record, const NPPluginFuncs& funcs,
                             FlashPlugin* plugin) {
  keep(writeProc, std::move(record), funcs, plugin);
  // The routing already opened the record's stream.
  streamOpen_ = true;
  if (fStreamData == nullptr || fStreamData->url.empty() || length == 0 || buffer == nullptr) {
    return NPERR_INVALID_PARAM;
  }
  std::string data(buffer, length);
  if (isFile) {
    // The buffer names the file: a file URL or a path, mended for volume names.
    std::string name = stringWithWindowsLatin1(bytesOf(std::string_view(data.c_str())));
    const std::optional<URL> fileURL = urlWithDataAsString(name);
    if (fileURL && fileURL->isFileURL()) name = fileURL->path();
    std::ifstream in(fixedCarbonPOSIXPath(name, owner_.settings().paths), std::ios::binary);
    if (!in) return NPERR_FILE_NOT_FOUND;
    data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) return NPERR_FILE_NOT_FOUND;
  }
  if (data.empty()) return NPERR_INVALID_PARAM;

  PostRequestBody request = splitPostHeaders(data, allowHeaders);
  if (request.body.empty()) return NPERR_INVALID_PARAM;
  std::string stripped;
  const std::optional<URL> url = urlOfText(fStreamData->url, stripped);
  if (!url) return NPERR_NO_ERROR;  // no request can be made: nothing is sent
  url_ = url->absoluteString();
  method_ = "POST";
  policy_ = UrlCachePolicy::ReloadIgnoringCache;
  postBody_ = std::move(request.body);
  postHeaders_ = std::move(request.headers);
  startTransfer();
  return NPERR_NO_ERROR;
}

bool CocoaGetUrl::startTransfer() {
  easy_ = curl_easy_init();
  if (easy_ == nullptr) return false;
  const long seconds = static_cast<long>(owner_.settings().timeout);
  curl_easy_setopt(easy_, CURLOPT_URL, url_.c_str());
  curl_easy_setopt(easy_, CURLOPT_PROTOCOLS_STR, "http,https,file");
  curl_easy_setopt(easy_, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(easy_, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(easy_, CURLOPT_MAXREDIRS, 20L);
  curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy_, CURLOPT_CONNECTTIMEOUT, seconds);
  curl_easy_setopt(easy_, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(easy_, CURLOPT_LOW_SPEED_TIME, seconds);
  curl_easy_setopt(easy_, CURLOPT_FILETIME, 1L);
  curl_easy_setopt(easy_, CURLOPT_HEADERFUNCTION, &CocoaGetUrl::onHeader);
  curl_easy_setopt(easy_, CURLOPT_HEADERDATA, this);
  curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &CocoaGetUrl::onBody);
  curl_easy_setopt(easy_, CURLOPT_WRITEDATA, this);

  if (method_ == "POST") {
    for (const auto& [name, value] : postHeaders_) {
      headerList_ = curl_slist_append(headerList_, (latin1Text(name) + ": " + latin1Text(value)).c_str());
    }
    headerList_ = curl_slist_append(headerList_, "Expect:");
    curl_easy_setopt(easy_, CURLOPT_POST, 1L);
    curl_easy_setopt(easy_, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(postBody_.size()));
    curl_easy_setopt(easy_, CURLOPT_COPYPOSTFIELDS, postBody_.data());
  } else if (cached_) {
    // A stale stored answer: asked again on condition.
    if (const std::optional<std::string> tag = fieldOf(cached_->headers, "Etag")) {
      headerList_ = curl_slist_append(headerList_, ("If-None-Match: " + *tag).c_str());
    }
    if (const std::optional<std::string> date = fieldOf(cached_->headers, "Last-Modified")) {
      headerList_ = curl_slist_append(headerList_, ("If-Modified-Since: " + *date).c_str());
    }
  }
  curl_easy_setopt(easy_, CURLOPT_HTTPHEADER, headerList_);
  return addTransfer();
}

bool CocoaGetUrl::addTransfer() {
  std::weak_ptr<CocoaGetUrl> weak = weak_from_this();
  return owner_.driver().add(easy_, [weak](CURLcode result) {
    if (const std::shared_ptr<CocoaGetUrl> self = weak.lock()) self->transferEnded(result);
  });
}

size_t CocoaGetUrl::onHeader(char* data, size_t size, size_t count, void* self) {
  static_cast<CocoaGetUrl*>(self)->headerLine(std::string_view(data, size * count));
  return size * count;
}

size_t CocoaGetUrl::onBody(char* data, size_t size, size_t count, void* self) {
  return static_cast<CocoaGetUrl*>(self)->body(reinterpret_cast<const uint8_t*>(data), size * count);
}

void CocoaGetUrl::headerLine(std::string_view line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  if (line.starts_with("HTTP/")) {
    // A new answer (after a redirect, a challenge or an interim answer).
    block_ = std::make_unique<Block>();
    heldBody_.clear();
    const size_t space = line.find(' ');
    if (space != std::string_view::npos)
      block_->status = std::strtol(std::string(line.substr(space + 1)).c_str(), nullptr, 10);
    return;
  }
  if (block_ == nullptr || block_->status == 0) return;  // not HTTP: file URLs answer from libcurl's facts
  if (line.empty()) {
    headEnded();
    return;
  }
  const std::string text = stringWithISOLatin1(bytesOf(line));
  if (text.front() == ' ' || text.front() == '\t') {
    if (!block_->lastName.empty()) block_->headers[block_->lastName] += text;
    return;
  }
  const size_t colon = text.find(':');
  if (colon == std::string::npos) return;
  const std::string name = capitalizeRFC822HeaderFieldName(text.substr(0, colon));
  const std::string value = stringByTrimmingWhitespace(std::string_view(text).substr(colon + 1));
  auto [it, added] = block_->headers.emplace(name, value);
  if (!added) it->second += ", " + value;
  block_->lastName = name;
}

void CocoaGetUrl::headEnded() {
  Block& block = *block_;
  block.complete = true;
  if (block.status < 200) return;                        // an interim answer
  if (isRedirect(block.status, block.headers)) return;   // followed: the proposed request goes on
  if (isChallenge(block.status, block.headers)) return;  // decided when the transfer ends
  if (block.status == 304 && cached_) {
    revalidated_ = true;
    respondWith(*cached_);
    return;
  }
  didReceiveResponse(mimeTypeOf(fieldOf(block.headers, "Content-Type").value_or(mimeTypeForPath(url_))),
                     expectedLengthOf(block.headers), dateOf(block.headers, "Last-Modified"));
}

void CocoaGetUrl::respondWith(const CachedResponse& entry) {
  didReceiveResponse(entry.mimeType, static_cast<uint32_t>(entry.body.size()), dateOf(entry.headers, "Last-Modified"));
}

void CocoaGetUrl::respondFromTransfer() {
  curl_off_t length = -1;
  curl_off_t modified = -1;
  curl_easy_getinfo(easy_, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
  curl_easy_getinfo(easy_, CURLINFO_FILETIME_T, &modified);
  didReceiveResponse(mimeTypeForPath(url_), length >= 0 ? static_cast<uint32_t>(length) : kUnknownLength,
                     modified > 0 ? static_cast<uint32_t>(modified) : 0);
}

size_t CocoaGetUrl::body(const uint8_t* data, size_t length) {
  if (cancelled_) return 0;
  if (block_ != nullptr && block_->status != 0) {
    if (block_->status < 200 || isRedirect(block_->status, block_->headers) || revalidated_) return length;
    if (isChallenge(block_->status, block_->headers)) {
      heldBody_.insert(heldBody_.end(), data, data + length);
      return length;
    }
  }
  if (!responded_) respondFromTransfer();
  if (!deliver(data, length)) {
    // The plug-in takes no more: the transfer stops, nothing more is called.
    cancelled_ = true;
    return 0;
  }
  return length;
}

void CocoaGetUrl::didReceiveResponse(const std::string& mimeType, uint32_t expectedLength, uint32_t lastModified) {
  responded_ = true;
  fStreamData->theStream.end = expectedLength;
  fStreamData->theStream.lastmodified = lastModified;
  fReceivedData.clear();
  if (!instanceIsLive() || fNPPFuncs.newstream == nullptr) return;
  std::string type = mimeType;
  fNPPFuncs.newstream(fStreamData->instance, type.data(), &fStreamData->theStream, false, &fStreamData->streamType);
  streamOpen_ = true;
}

bool CocoaGetUrl::deliver(const uint8_t* data, size_t length) {
  if (!instanceIsLive()) return false;
  fReceivedData.insert(fReceivedData.end(), data, data + length);
  return currentWriteProc()(data, length, fStreamData.get()) == kStatusOK;
}

void CocoaGetUrl::answerFromCache() {
  cacheTimer_ = 0;
  respondWith(*cached_);
  if (!cached_->body.empty() && !deliver(cached_->body.data(), cached_->body.size())) {
    finish();
    return;
  }
  completedURL(true);
  finish();
}

void CocoaGetUrl::transferEnded(CURLcode result) {
  if (finished_) return;
  if (cancelled_) {
    finish();
    return;
  }
  if (result != CURLE_OK) {
    failed(curl_easy_strerror(result));
    return;
  }
  if (block_ != nullptr && isChallenge(block_->status, block_->headers)) {
    if (challenges_++ > 0) {
      failed("authentication cancelled");  // the second challenge is not answered
      return;
    }
    const auto& credentials = owner_.settings().credentials;
    if (const std::optional<UrlCredential> credential = credentials ? credentials() : std::nullopt;
        credential && !credential->user.empty()) {
      answerChallenge(*credential);
      return;
    }
    // Nothing to answer with: the challenge's own answer is the result.
    const Bytes held = std::move(heldBody_);
    didReceiveResponse(mimeTypeOf(fieldOf(block_->headers, "Content-Type").value_or("text/plain")),
                       expectedLengthOf(block_->headers), dateOf(block_->headers, "Last-Modified"));
    if (!held.empty() && !deliver(held.data(), held.size())) {
      finish();
      return;
    }
  }
  if (!responded_) respondFromTransfer();
  if (revalidated_) {
    if (!cached_->body.empty() && !deliver(cached_->body.data(), cached_->body.size())) {
      finish();
      return;
    }
    cached_->cachedDate = currentCacheDate();
    owner_.cache().store(*cached_);
  } else {
    storeInCache();
  }
  completedURL(true);
  finish();
}

void CocoaGetUrl::answerChallenge(const UrlCredential& credential) {
  // The request is made again where the challenge came from, with the
  // credential for the scheme the server asked for.
  const std::string scheme = fieldOf(block_->headers, "Www-Authenticate").value_or("");
  long methods = CURLAUTH_BASIC | CURLAUTH_DIGEST;
  if (hasCaseInsensitivePrefix(scheme, "Basic")) methods = CURLAUTH_BASIC;
  if (hasCaseInsensitivePrefix(scheme, "Digest")) methods = CURLAUTH_DIGEST;
  char* effective = nullptr;
  curl_easy_getinfo(easy_, CURLINFO_EFFECTIVE_URL, &effective);
  const std::string where = effective != nullptr ? effective : url_;
  curl_easy_setopt(easy_, CURLOPT_URL, where.c_str());
  curl_easy_setopt(easy_, CURLOPT_USERNAME, credential.user.c_str());
  curl_easy_setopt(easy_, CURLOPT_PASSWORD, credential.password.c_str());
  curl_easy_setopt(easy_, CURLOPT_HTTPAUTH, methods);
  block_.reset();
  heldBody_.clear();
  if (!addTransfer()) failed("the request could not be made again");
}

void CocoaGetUrl::storeInCache() {
  if (method_ != "GET" || block_ == nullptr || owner_.cache().folder().empty()) return;
  char* effective = nullptr;
  curl_easy_getinfo(easy_, CURLINFO_EFFECTIVE_URL, &effective);
  // Neither the asked-for URL nor the one that answered may be a secure one.
  if (!UrlCache::mayStore(url_, method_, block_->status, block_->headers) ||
      (effective != nullptr && !UrlCache::mayStore(effective, method_, block_->status, block_->headers))) {
    return;
  }
  CachedResponse entry;
  entry.url = url_;
  entry.status = block_->status;
  entry.mimeType = mimeTypeOf(fieldOf(block_->headers, "Content-Type").value_or(mimeTypeForPath(url_)));
  entry.headers = block_->headers;
  entry.body = fReceivedData;
  entry.cachedDate = currentCacheDate();
  owner_.cache().store(entry);
}

void CocoaGetUrl::completedURL(bool success) {
  if (fStreamData == nullptr || !fStreamData->isLive() || !instanceIsLive()) return;
  StreamData& record = *fStreamData;
  if (fNPPFuncs.urlnotify != nullptr) {
    fNPPFuncs.urlnotify(record.instance, record.url.c_str(), success ? NPRES_DONE : NPRES_NETWORK_ERR,
                        record.theStream.notifyData);
  }
  // Only a stream the plug-in was given is destroyed.
  if (streamOpen_ && fNPPFuncs.destroystream != nullptr && instanceIsLive()) {
    fNPPFuncs.destroystream(record.instance, &record.theStream, NPRES_DONE);
  }
}

void CocoaGetUrl::failed(const std::string& description) {
  completedURL(false);
  systemLog("Connection failed! Error - " + description + " " + url_);
  finish();
}

void CocoaGetUrl::finish() {
  if (finished_) return;
  finished_ = true;
  owner_.ended(this);
}

// --- CocoaUrlLoader ----------------------------------------------------------

CocoaUrlLoader::CocoaUrlLoader(CurlDriver& driver, Settings settings)
    : driver_(driver), settings_(std::move(settings)), cache_(settings_.cacheFolder) {
  if (settings_.writeProc == nullptr) settings_.writeProc = writeProcedure;
}

CocoaUrlLoader::~CocoaUrlLoader() {
  // Moved out first: a load's destructor must not find itself half-erased.
  std::map<CocoaGetUrl*, std::shared_ptr<CocoaGetUrl>> loads;
  loads.swap(loads_);
  loads.clear();
}

std::shared_ptr<CocoaGetUrl> CocoaUrlLoader::makeLoad() {
  auto load = std::make_shared<CocoaGetUrl>(*this);
  loads_.emplace(load.get(), load);
  return load;
}

void CocoaUrlLoader::ended(CocoaGetUrl* load) { loads_.erase(load); }

NPError CocoaUrlLoader::getURL(const std::shared_ptr<StreamData>& record) {
  if (record == nullptr || !record->isLive() || record->flashPlugin == nullptr) return NPERR_INVALID_INSTANCE_ERROR;
  FlashPlugin* plugin = record->flashPlugin;
  const std::shared_ptr<CocoaGetUrl> load = makeLoad();
  if (!load->getUrl(settings_.writeProc, record, plugin->host().pluginFuncs(), plugin)) load->finish();
  return NPERR_NO_ERROR;
}

NPError CocoaUrlLoader::postURL(const std::shared_ptr<StreamData>& record, const char* buffer, uint32_t length,
                                bool isFile, bool allowHeaders) {
  if (record == nullptr || !record->isLive() || record->flashPlugin == nullptr) return NPERR_INVALID_INSTANCE_ERROR;
  FlashPlugin* plugin = record->flashPlugin;
  const std::shared_ptr<CocoaGetUrl> load = makeLoad();
  const NPError error = load->postURL(buffer, length, isFile, allowHeaders, settings_.writeProc, record,
                                      plugin->host().pluginFuncs(), plugin);
  if (!load->isLoading()) {
    // Nothing was sent, but the routing already gave the plug-in the
    // request's stream: it is ended as a failed request, not left open.
    load->completedURL(false);
    load->finish();
  }
  return error;
}

}  // namespace kw
