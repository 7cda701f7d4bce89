// Downloads of a URL into a file while the movie goes on playing. A download
// tells its movie how far it has come with download-progress events (event
// text and event XML); a failed one sends received 0 of expected 0. The
// session list keeps every download that was started, so that a movie can
// abort one by the session number it gave it.
#pragma once

#include <curl/curl.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <list>
#include <memory>
#include <optional>

#include "mac/commands/EventEncoding.h"

namespace kw {

class AlertPanels;
class CurlDriver;

// The alert shown when a download cannot be created.
inline constexpr const char* kDownloadAlertTitle = "Unable to Download";
inline constexpr const char* kDownloadAlertText = "it did not work";
inline constexpr const char* kDownloadAlertButton = "OK";

// A download's idle limit: no byte for this long fails it.
inline constexpr long kDownloadTimeoutSeconds = 60;

// Where a download's progress events go: the movie that asked for it. Empty:
// the events are not sent.
using DownloadEvents = std::function<void(const EventMessage& event)>;

struct DownloadServices {
  CurlDriver* driver = nullptr;
  AlertPanels* alerts = nullptr;          // null: the alert is not shown
  std::filesystem::path resourcesFolder;  // where relative file paths of URL texts point
};

// One download (the download state of a loader).
class Download {
 public:
  Download(const DownloadServices& services, DownloadEvents events);
  // A download still running is cancelled, without an event.
  ~Download();
  Download(const Download&) = delete;
  Download& operator=(const Download&) = delete;

  // downloadFile:path:sessionID:...: keeps the session number and starts the
  // download of the URL text into `path` (an existing file is overwritten).
  // 0 when started, and when there is nothing to download (no text, no URL);
  // -1 when the download could not be created (the alert has been shown).
  int32_t downloadFile(const char* urlText, const std::filesystem::path& path, int32_t sessionID);

  int32_t sessionID() const { return fSessionID; }
  // Cancels a running download, without an event.
  void abort();
  bool isRunning() const { return theDownload != nullptr; }
  // A URL was made of the text, so the download was tried (and belongs in the
  // session list, whether or not it could be created).
  bool wasTried() const { return tried_; }
  // Inside one of its own callbacks (sending an event to its movie).
  bool isBusy() const { return busy_; }
  int64_t totalBytesReceived() const { return fTotalNumberOfBytesReceived; }

  // The download's delegate steps, called as the transfer goes on.
  // A response: its expected length (-1 unknown) replaces an earlier one.
  void didReceiveResponse(int64_t expectedLength);
  // A block of data has been written: counted, and a progress event sent.
  void didReceiveDataOfLength(size_t length);
  // The end: the state is released, no event.
  void didFinish();
  // A failure: the 0 of 0 event, the state is released, and the partly
  // written destination goes to the Trash.
  void didFailWithError();

 private:
  static size_t receiveData(char* data, size_t size, size_t count, void* user);
  void transferEnded(CURLcode result);
  void endUpdateDownload();
  void presentDownloadError();
  void send(const EventMessage& event) const;

  DownloadServices services_;
  int32_t fSessionID = 0;
  int64_t fTotalNumberOfBytesReceived = 0;
  DownloadEvents fPlugIn;
  CURL* theDownload = nullptr;                  // owned
  std::optional<int64_t> downloadResponse;      // the last response's expected length
  std::optional<std::filesystem::path> downloadPath;
  std::FILE* destination_ = nullptr;            // owned
  bool tried_ = false;
  bool busy_ = false;
  bool abortRequested_ = false;  // aborted while busy: stopped when the callback returns
};

// The session list: every download started, in order. A download is added
// when it is started and removed only when it is aborted.
class DownloadSessions {
 public:
  explicit DownloadSessions(const DownloadServices& services) : services_(services) {}

  // Starts a download and adds it to the list once a URL was made of the
  // text (also when it could not be created); answers its start result.
  int32_t downloadFile(const char* urlText, const std::filesystem::path& path, int32_t sessionID,
                       DownloadEvents events);
  void addSession(std::unique_ptr<Download> download);
  // The first download in the list with that session number is aborted and
  // removed; the others are left alone.
  void abortSession(int32_t sessionID);

  const std::list<std::unique_ptr<Download>>& sessions() const { return sessions_; }

 private:
  // Destroys the aborted downloads that are not inside a callback of theirs.
  void releaseAborted();

  DownloadServices services_;
  std::list<std::unique_ptr<Download>> sessions_;
  std::list<std::unique_ptr<Download>> aborted_;  // out of the list, waiting to be destroyed
};

}  // namespace kw
