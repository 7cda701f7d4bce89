// The stream record's initialiser and release, the write procedure that URL
// loading feeds received blocks through, and the message write.
#include "mac/pluginhost/StreamData.h"

#include <algorithm>
#include <limits>

#include "mac/platform/RunLoop.h"
#include "mac/pluginhost/FlashPlugin.h"
#include "mac/pluginhost/PluginHost.h"

namespace kw {

namespace {

constexpr size_t kLargestWrite = static_cast<size_t>(std::numeric_limits<int32_t>::max());

bool isQuote(char c) { return c == '"' || c == '\''; }

// The usable host object of a live record, or nullptr.
FlashPlugin* saneOwner(const StreamData* record) {
  if (record == nullptr || !record->isLive() || record->flashPlugin == nullptr) return nullptr;
  return record->flashPlugin->isSane() ? record->flashPlugin : nullptr;
}

// Writes `length` bytes at offset 0 in pieces the plug-in's 32-bit length
// can carry; false as soon as the plug-in answers negative.
bool writeAll(const NPPluginFuncs& funcs, StreamData& record, const uint8_t* buffer, size_t length) {
  do {
    const size_t piece = std::min(length, kLargestWrite);
    const int32_t written = funcs.write(record.instance, &record.theStream, 0, static_cast<int32_t>(piece),
                                        const_cast<uint8_t*>(buffer));
    if (written < 0) return false;
    buffer += piece;
    length -= piece;
  } while (length > 0);
  return true;
}

}  // namespace

std::shared_ptr<StreamData> StreamData::create(FlashPlugin& plugin, std::string_view url, bool okToCache,
                                               void* notifyData) {
  PluginHost& host = plugin.host();
  if (host.pluginFuncs().newstream == nullptr) return nullptr;

  auto record = std::make_shared<StreamData>();
  record->flashPlugin = &plugin;
  record->instance = plugin.instance();
  record->method = kMethodGet;
  record->url.assign(url);
  if (record->url.size() > 1 && isQuote(record->url.front()) && record->url.front() == record->url.back()) {
    record->url = record->url.substr(1, record->url.size() - 2);
  }
  record->streamType = NP_NORMAL;
  record->okToCache = okToCache;
  record->theStream.url = record->url.c_str();
  record->theStream.notifyData = notifyData;
  record->theStream.pdata = record->instance->pdata;
  record->theStream.ndata = record->instance->ndata;
  record->started = false;
  record->syncError = 0;
  record->syncResult = nullptr;
  record->syncResultIsVariant = false;
  RunLoop* runLoop = host.services().runLoop;
  record->cocoaInterfaceData =
      CocoaInterfaceData::create(runLoop ? runLoop->tickCount() : 0, &plugin, plugin.fMovieSpec);
  return record;
}

void StreamData::release() {
  if (!isLive()) return;
  cocoaInterfaceData.reset();
  std::vector<uint8_t>().swap(postData);
}

Status writeProcedure(const uint8_t* buffer, size_t length, StreamData* record) {
  if (record == nullptr || !PluginHost::exists()) return kStatusOK;
  const NPPluginFuncs& funcs = PluginHost::current().pluginFuncs();
  if (funcs.writeready == nullptr) return kStatusOK;

  FlashPlugin* plugin = saneOwner(record);
  if (plugin == nullptr) return kStatusWriteFailed;
  if (plugin->m_shutdownCurrentPlugin) {
    record->finished = true;
    return kStatusWriteFailed;
  }
  if (funcs.writeready(record->instance, &record->theStream) == 0) return kStatusOK;  // block dropped
  if (funcs.write == nullptr) return kStatusOK;
  if (length == 0) return kStatusOK;
  if (buffer == nullptr) return kStatusWriteFailed;
  return writeAll(funcs, *record, buffer, length) ? kStatusOK : kStatusWriteFailed;
}

Status messageWrite(StreamData* record, std::string_view text) {
  if (record == nullptr || text.empty() || !PluginHost::exists()) return kStatusOK;
  FlashPlugin* plugin = saneOwner(record);
  if (plugin == nullptr) return kStatusOK;  // records without their marker are ignored
  if (plugin->m_shutdownCurrentPlugin) return kStatusOutOfMemory;
  const NPPluginFuncs& funcs = PluginHost::current().pluginFuncs();
  if (funcs.writeready == nullptr || funcs.write == nullptr) return kStatusOK;
  if (funcs.writeready(record->instance, &record->theStream) == 0) return kStatusOK;
  writeAll(funcs, *record, reinterpret_cast<const uint8_t*>(text.data()), text.size());
  return kStatusOK;
}

void endRequest(StreamData& record, const NPPluginFuncs& funcs, NPReason reason, bool notify) {
  if (!record.isLive() || record.instance == nullptr) return;
  if (notify && funcs.urlnotify != nullptr) {
    funcs.urlnotify(record.instance, record.url.c_str(), reason, record.theStream.notifyData);
  }
  if (funcs.destroystream != nullptr) funcs.destroystream(record.instance, &record.theStream, reason);
}

}  // namespace kw
