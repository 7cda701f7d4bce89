// The placeholder URL loader: answers every request "not found" through the
// plug-in's stream calls. See NotFoundUrlLoader.h.
#include "mac/pluginhost/NotFoundUrlLoader.h"

#include "mac/pluginhost/FlashPlugin.h"
#include "mac/pluginhost/PluginHost.h"
#include "mac/pluginhost/StreamData.h"

namespace kw {
namespace {

// The plug-in instance of a live record whose host object is still usable.
FlashPlugin* usablePlugin(const std::shared_ptr<StreamData>& record) {
  if (record == nullptr || !record->isLive() || record->flashPlugin == nullptr) return nullptr;
  if (!record->flashPlugin->isSane() || record->instance == nullptr) return nullptr;
  return record->flashPlugin;
}

void notifyNotFound(FlashPlugin& plugin, StreamData& record) {
  void* notifyData = record.theStream.notifyData;
  const NPPluginFuncs& funcs = plugin.host().pluginFuncs();
  if (notifyData != nullptr && funcs.urlnotify != nullptr) {
    funcs.urlnotify(record.instance, record.url.c_str(), NPRES_NETWORK_ERR, notifyData);
  }
}

}  // namespace

NPError NotFoundUrlLoader::getURL(const std::shared_ptr<StreamData>& record) {
  FlashPlugin* plugin = usablePlugin(record);
  if (plugin == nullptr) return NPERR_INVALID_INSTANCE_ERROR;
  ++answered;
  notifyNotFound(*plugin, *record);
  return NPERR_FILE_NOT_FOUND;
}

NPError NotFoundUrlLoader::postURL(const std::shared_ptr<StreamData>& record, const char*, uint32_t, bool, bool) {
  FlashPlugin* plugin = usablePlugin(record);
  if (plugin == nullptr) return NPERR_INVALID_INSTANCE_ERROR;
  ++answered;
  const NPPluginFuncs& funcs = plugin->host().pluginFuncs();
  if (funcs.destroystream != nullptr) funcs.destroystream(record->instance, &record->theStream, NPRES_NETWORK_ERR);
  notifyNotFound(*plugin, *record);
  return NPERR_FILE_NOT_FOUND;
}

}  // namespace kw
