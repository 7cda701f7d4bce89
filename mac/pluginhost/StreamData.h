// The stream record: one request of a plug-in instance (the movie stream, a
// URL request, a command, an event message) with the plug-in stream that
// answers it. Holders share one record through a shared_ptr, so the stream
// the plug-in was given keeps its address and its URL text for as long as
// anyone holds the record.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "mac/commands/CocoaInterfaceData.h"
#include "mac/npapi/npapi.h"
#include "mac/pluginhost/Status.h"

namespace kw {

class FlashPlugin;

inline constexpr uint32_t kStreamDataMarker = 0x53614E65;  // 'SaNe'
inline constexpr uint32_t kMethodGet = 0x47455420;         // 'GET '
inline constexpr uint32_t kMethodPost = 0x504F5354;        // 'POST'
inline constexpr uintptr_t kSyncNotifyData = 0x53796E63;   // 'Sync': a synchronous request

// The notify data that marks a synchronous request.
inline void* syncNotifyData() { return reinterpret_cast<void*>(kSyncNotifyData); }

struct StreamData {
  uint32_t sanityCheck = kStreamDataMarker;
  FlashPlugin* flashPlugin = nullptr;  // not owned
  NPP instance = nullptr;
  uint32_t method = kMethodGet;
  uint16_t streamType = NP_NORMAL;
  NPStream theStream{};                // url points at `url`
  void* notifyData = nullptr;          // for URL loading
  std::unique_ptr<CocoaInterfaceData> cocoaInterfaceData;  // owned
  std::vector<uint8_t> postData;       // the POST body and a terminating zero
  bool started = false;
  bool finished = false;               // abandon the stream: the instance is shutting down
  bool headerIsGone = false;
  bool okToCache = false;
  Status syncError = 0;
  NPVariant* syncResult = nullptr;     // not owned
  bool syncResultIsVariant = false;
  std::string url;                     // the request URL
  int16_t downloadFilePtr = 0;

  StreamData() = default;
  StreamData(const StreamData&) = delete;
  StreamData& operator=(const StreamData&) = delete;

  // The record initialiser: a live record for `url` of `plugin`'s instance,
  // with a fresh request record. None when the plug-in has no NPP_NewStream.
  // One pair of enclosing quotes around the URL is removed.
  static std::shared_ptr<StreamData> create(FlashPlugin& plugin, std::string_view url, bool okToCache,
                                            void* notifyData);

  bool isLive() const { return sanityCheck == kStreamDataMarker; }
  bool isSynchronous() const { return theStream.notifyData == syncNotifyData(); }
  // Record release: frees the request record and the POST copy; the tag stays.
  void release();
};

// The write procedure: hands one block of received data to the record's stream.
Status writeProcedure(const uint8_t* buffer, size_t length, StreamData* record);
// Message write: writes a whole text into the record's stream.
Status messageWrite(StreamData* record, std::string_view text);
// Ends the plug-in's request of a live record: NPP_URLNotify with the request
// URL, `reason` and the notify data (when `notify`), then NPP_DestroyStream.
void endRequest(StreamData& record, const NPPluginFuncs& funcs, NPReason reason, bool notify = true);

}  // namespace kw
