// Downloads on libcurl: see Downloads.h. Each download is one easy handle on
// the CurlDriver; its write callback writes the destination file and plays
// the "data received" step, its end call "finished" or "failed".
#include "mac/net/Downloads.h"

#include <string>
#include <utility>

#include "mac/net/CocoaGetUrl.h"
#include "mac/net/CurlDriver.h"
#include "mac/platform/DesktopServices.h"
#include "mac/platform/Trash.h"

namespace kw {
namespace {

// The blocks in which data is written and reported: large enough that a fast
// transfer is not held up by its progress events.
constexpr long kDownloadBlockSize = 512 * 1024;

}  // namespace

// ---- Download -----------------------------------------------------------------

Download::Download(const DownloadServices& services, DownloadEvents events)
    : services_(services), fPlugIn(std::move(events)) {}

Download::~Download() { endUpdateDownload(); }

int32_t Download::downloadFile(const char* urlText, const std::filesystem::path& path, int32_t sessionID) {
  fSessionID = sessionID;
  if (urlText == nullptr) return 0;
  const std::optional<URL> url = convertedRequestURL(urlText, services_.resourcesFolder);
  if (!url) return 0;
  tried_ = true;

  // The destination is opened (and emptied) now: a file that cannot be
  // written means the download cannot be created.
  if (services_.driver != nullptr) {
    destination_ = std::fopen(path.c_str(), "wb");
    if (destination_ != nullptr) theDownload = curl_easy_init();
  }
  if (theDownload != nullptr) {
    CURL* easy = theDownload;
    curl_easy_setopt(easy, CURLOPT_URL, url->absoluteString().c_str());
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https,file");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, kDownloadTimeoutSeconds);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, kDownloadTimeoutSeconds);
    curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, kDownloadBlockSize);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &Download::receiveData);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
    if (!services_.driver->add(easy, [this](CURLcode result) { transferEnded(result); })) {
      curl_easy_cleanup(easy);
      theDownload = nullptr;
    }
  }
  if (theDownload == nullptr) {
    endUpdateDownload();
    presentDownloadError();
    return -1;
  }
  downloadPath = path;
  return 0;
}

size_t Download::receiveData(char* data, size_t size, size_t count, void* user) {
  Download& download = *static_cast<Download*>(user);
  if (download.abortRequested_) return 0;
  const size_t length = size * count;
  if (!download.downloadResponse) {
    curl_off_t expected = -1;
    if (curl_easy_getinfo(download.theDownload, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &expected) != CURLE_OK) {
      expected = -1;
    }
    download.didReceiveResponse(expected >= 0 ? static_cast<int64_t>(expected) : -1);
  }
  if (std::fwrite(data, 1, length, download.destination_) != length) return 0;  // fails the download
  download.busy_ = true;
  download.didReceiveDataOfLength(length);
  download.busy_ = false;
  return download.abortRequested_ ? 0 : length;
}

void Download::transferEnded(CURLcode result) {
  // The handle has left the driver by now.
  if (abortRequested_) {
    endUpdateDownload();
    return;
  }
  busy_ = true;
  if (result == CURLE_OK) {
    didFinish();
  } else {
    didFailWithError();
  }
  busy_ = false;
  if (abortRequested_) endUpdateDownload();
}

void Download::didReceiveResponse(int64_t expectedLength) { downloadResponse = expectedLength; }

void Download::didReceiveDataOfLength(size_t length) {
  const int64_t expected = downloadResponse.value_or(-1);
  fTotalNumberOfBytesReceived += static_cast<int64_t>(length);
  send(events::downloadProgress(fSessionID, fTotalNumberOfBytesReceived, expected));
}

void Download::didFinish() { endUpdateDownload(); }

void Download::didFailWithError() {
  send(events::downloadProgress(fSessionID, 0, 0));
  // Like the platform's downloads, which remove a partly written file, but
  // into the Trash, where the user can still find it.
  if (destination_ != nullptr) {
    std::fclose(destination_);
    destination_ = nullptr;
  }
  if (downloadPath) moveToUserTrash(*downloadPath);
  endUpdateDownload();
}

void Download::abort() {
  // Inside one of its own callbacks the transfer cannot be taken apart: it is
  // stopped when the callback returns.
  if (busy_) {
    abortRequested_ = true;
    return;
  }
  endUpdateDownload();
}

void Download::endUpdateDownload() {
  if (theDownload != nullptr) {
    if (services_.driver != nullptr) services_.driver->remove(theDownload);
    curl_easy_cleanup(theDownload);
    theDownload = nullptr;
  }
  if (destination_ != nullptr) {
    std::fclose(destination_);
    destination_ = nullptr;
  }
  downloadResponse.reset();
  downloadPath.reset();
}

void Download::presentDownloadError() {
  if (services_.alerts != nullptr) {
    services_.alerts->runAlert({kDownloadAlertTitle, kDownloadAlertText, {kDownloadAlertButton}});
  }
}

void Download::send(const EventMessage& event) const {
  if (fPlugIn) fPlugIn(event);
}

// ---- Session list -------------------------------------------------------------

int32_t DownloadSessions::downloadFile(const char* urlText, const std::filesystem::path& path, int32_t sessionID,
                                       DownloadEvents events) {
  releaseAborted();
  auto download = std::make_unique<Download>(services_, std::move(events));
  const int32_t result = download->downloadFile(urlText, path, sessionID);
  if (download->wasTried()) addSession(std::move(download));
  return result;
}

void DownloadSessions::addSession(std::unique_ptr<Download> download) {
  if (download) sessions_.push_back(std::move(download));
}

void DownloadSessions::abortSession(int32_t sessionID) {
  for (auto it = sessions_.begin(); it != sessions_.end(); ++it) {
    if ((*it)->sessionID() != sessionID) continue;
    (*it)->abort();
    // An abort from inside the download's own callback (its movie answering
    // an event) finishes when the callback returns: it is kept until then.
    aborted_.push_back(std::move(*it));
    sessions_.erase(it);
    break;
  }
  releaseAborted();
}

void DownloadSessions::releaseAborted() {
  aborted_.remove_if([](const std::unique_ptr<Download>& download) { return !download->isBusy(); });
}

}  // namespace kw
