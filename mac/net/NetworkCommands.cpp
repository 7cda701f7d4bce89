// The network command family: see NetworkCommands.h.
#include "mac/net/NetworkCommands.h"

#include <filesystem>
#include <system_error>
#include <utility>

#include "mac/commands/FunctionIds.h"
#include "mac/commands/RequestReaders.h"
#include "mac/net/FTPTransfer.h"
#include "mac/platform/Bundle.h"
#include "mac/platform/Trash.h"
#include "mac/pluginhost/FlashPlugin.h"
#include "mac/pluginhost/PluginHost.h"

namespace kw {
namespace {

constexpr const char* kEventSyncMethod = "zApplication.onEventSync";

std::string stringArgument(const std::optional<std::string>& text) {
  return myStringWithUTF8String(text ? text->c_str() : nullptr);
}

DownloadServices downloadServices(const FamilyServices& services, CurlDriver& driver) {
  DownloadServices download;
  download.driver = &driver;
  if (services.host != nullptr) download.alerts = services.host->services().alerts;
  if (services.application != nullptr) download.resourcesFolder = services.application->resourcesPath();
  return download;
}

// A download's events go to the instance that asked for it, in both
// encodings, for as long as the registry still holds it.
DownloadEvents eventsFor(FlashPlugin* plugin) {
  if (plugin == nullptr) return {};
  HostServices* host = &plugin->host().services();
  const uint32_t identity = host->registry != nullptr ? host->registry->identityOf(plugin) : 0;
  return [plugin, identity, host](const EventMessage& event) {
    if (event.text && isLiveRequester(plugin, identity, *host)) plugin->sendMessageToSWF(*event.text);
    if (event.xml && isLiveRequester(plugin, identity, *host)) {
      plugin->sendSyncMessageWrap(kEventSyncMethod, *event.xml);
    }
  };
}

// The file that receives a download: its folders are made, and it starts
// out empty. False when the file cannot be written.
bool prepareDestination(const std::filesystem::path& path) {
  std::error_code ignored;
  if (path.has_parent_path()) std::filesystem::create_directories(path.parent_path(), ignored);
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  std::fclose(file);
  return true;
}

}  // namespace

NetworkCommands::NetworkCommands(const FamilyServices& services)
    : services_(services),
      downloadDriver_(*services.runLoop),
      ftpDriver_(*services.runLoop),
      sessions_(downloadServices(services, downloadDriver_)) {}

// The downloads go before the drivers they run on (member order).
NetworkCommands::~NetworkCommands() = default;

void NetworkCommands::runCommand(ZFunctionCall& call) {
  CocoaInterfaceData& record = call.record;
  switch (record.functionNumber) {
    case fid::kDownloadFile:
      // The reply (the start status) goes out at once; the movie follows the
      // download itself through its progress events.
      record.numberResult = downloadFile(stringArgument(record.stringParam2), stringArgument(record.stringParam1),
                                         record.intParam1, call.plugin);
      record.booleanResult = 1;
      break;
    case fid::kAbortFunction:
      sessions_.abortSession(record.intParam1);
      break;
    case fid::kSimpleGet:
    case fid::kSimplePut: {
      // The transfer ran while the request was parsed: the request is answered
      // when it ended well, and otherwise never (as a failed transfer leaves it).
      // Only a record that went through the FTP start (its deadline says so)
      // can find an outcome here.
      const auto it = ftpOutcomes_.find(&record);
      const bool started = record.deadlineTicks - record.startTicks == kFTPDeadlineTicks;
      record.completed = it != ftpOutcomes_.end() && started && it->second ? 1 : 0;
      if (it != ftpOutcomes_.end()) ftpOutcomes_.erase(it);
      break;
    }
    default:
      break;
  }
}

Status NetworkCommands::startFTPTransfer(CocoaInterfaceData& record) {
  ftpOutcomes_.erase(&record);
  const Status status = FTPRequestRunner(ftpDriver_, &record);
  if (status == kStatusOK) ftpOutcomes_[&record] = record.completed != 0;
  return status;
}

int32_t NetworkCommands::downloadFile(const std::string& url, const std::string& destination, int32_t sessionID,
                                      FlashPlugin* plugin) {
  if (url.empty()) return 0;
  std::filesystem::path path = destination;
  if (destination.empty() || destination.front() != '/') {
    const std::filesystem::path resources =
        services_.application != nullptr ? services_.application->resourcesPath() : std::filesystem::path();
    path = resources.string() + "/" + destination;
  }
  if (!prepareDestination(path)) return -1;
  const auto status = static_cast<int16_t>(sessions_.downloadFile(url.c_str(), path, sessionID, eventsFor(plugin)));
  if (status != 0) moveToUserTrash(path);
  return status;
}

std::shared_ptr<NetworkCommands> makeNetworkCommands(const FamilyServices& services) {
  return std::make_shared<NetworkCommands>(services);
}

}  // namespace kw
