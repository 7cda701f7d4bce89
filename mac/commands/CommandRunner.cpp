// The command runner and the hand-over of records to their target windows:
// see CommandRunner.h.
#include "mac/commands/CommandRunner.h"

#include <any>

#include "mac/commands/AsyncStreamHandler.h"
#include "mac/commands/FunctionIds.h"
#include "mac/commands/Replies.h"
#include "mac/commands/RequestReaders.h"
#include "mac/commands/TextBytes.h"
#include "mac/platform/NotificationCenter.h"
#include "mac/platform/RunLoop.h"
#include "mac/platform/Trace.h"
#include "mac/pluginhost/FlashPlugin.h"
#include "mac/pluginhost/PluginHost.h"
#include "mac/pluginhost/StreamData.h"
#include "mac/pluginhost/Variants.h"

namespace kw {
namespace {

constexpr double kCloseDelay = 0.01;
constexpr std::string_view kURLFormLeads[] = {"KW://KW_", "KW://SS_"};
constexpr size_t kURLFormLeadLength = 8;
// Names the filter drops: "-->e" and the first 8 characters of the others.
constexpr std::string_view kDroppedNames[] = {"-->e", "stopDrag", "setDeskt", "setNorma", "setTopLe", "open_fil"};

bool isURLFormRequest(std::string_view url) {
  for (const std::string_view lead : kURLFormLeads) {
    if (url.substr(0, kURLFormLeadLength) == lead) return true;
  }
  return false;
}

void closeTargetWindow(FlashPlugin& target, HostServices& services) {
  PluginWindow* window = target.m_flashWindow;
  if (window == nullptr) return;
  if (target.fType == kPluginTypeWeb) {
    // The web window list lets go of the page window when it is removed.
    if (services.notifications != nullptr) services.notifications->post(notification::kRemoveWebWindowFromList, window);
    return;
  }
  if (services.notifications != nullptr) services.notifications->post(notification::kRemoveWindowFromList, window);
  if (services.runLoop != nullptr && services.closer != nullptr) {
    WindowCloser* closer = services.closer;
    services.runLoop->performAfterDelay(kCloseDelay, [closer, window] { closer->closeThisWindow(window); });
  }
}

}  // namespace

bool isDroppedByCommandFilter(std::string_view request) {
  const std::string_view name = stripObjectPrefix(request);
  for (const std::string_view dropped : kDroppedNames) {
    if (startsWithIgnoringASCIICase(name, dropped)) return true;
  }
  return false;
}

bool handRecordToTarget(CocoaInterfaceData& record, FlashPlugin* requester, HostServices& services) {
  InstanceRegistry* registry = services.registry;
  if (registry == nullptr) return false;
  FlashPlugin* target = record.windowID != 0 ? registry->pluginForIdentity(record.windowID) : requester;
  // Membership first: only a registered object is known to be alive to read its tag.
  if (target == nullptr || !registry->isAValidNsPlugin(target) || !target->isSane()) return false;
  if (record.functionNumber == fid::kClose) {
    closeTargetWindow(*target, services);
    // The target window is not asked, so the record is answered here: an
    // empty reply, as for any command with no result.
    record.dispatched = 1;
    record.completed = 1;
    record.status = 0;
    return true;
  }
  if (target->m_flashWindow != nullptr) target->m_flashWindow->processOneEvent(record);
  return true;
}

bool isLiveRequester(const FlashPlugin* requester, uint32_t identity, const HostServices& services) {
  if (requester == nullptr || identity == 0 || services.registry == nullptr) return false;
  return services.registry->pluginForIdentity(identity) == requester && requester->isSane();
}

CommandRunner::CommandRunner(MouseLocator& mouse, FTPStarter* ftp) : mouse_(mouse), ftp_(ftp) {}

MousePoint CommandRunner::currentMousePosition() { return mouse_.currentMousePosition(); }

Status CommandRunner::startFTPTransfer(CocoaInterfaceData& record) {
  return ftp_ != nullptr ? ftp_->startFTPTransfer(record) : kStatusFTPNotAvailable;
}

void CommandRunner::runCommand(const std::shared_ptr<StreamData>& record) {
  if (!record || !record->isLive() || record->flashPlugin == nullptr) return;
  const bool synchronous = record->isSynchronous();
  // The URL is read as a C string, as the parser reads it.
  const std::string_view url(record->url.c_str());
  trace::line("command", url);
  if (url.substr(0, 4) == "java") {
    endUnanswered(*record);
    return;
  }

  Status status;
  CocoaInterfaceData* data = record->cocoaInterfaceData.get();
  if (isURLFormRequest(url)) {
    const std::string_view request = url.substr(kURLFormLeadLength);
    if (isDroppedByCommandFilter(request)) {
      endUnanswered(*record);
      return;
    }
    status = parseCommand(request, data, synchronous, false, *this);
  } else {
    status = parseCommand(url, data, synchronous, true, *this);
  }
  if (status != kStatusRunCommand || data == nullptr) {
    endUnanswered(*record);
    return;
  }

  if (synchronous) {
    runSynchronously(*record);
    return;
  }
  FlashPlugin* requester = record->flashPlugin;
  const std::shared_ptr<AsyncStreamHandler> handler = AsyncStreamHandler::create(record, requester);
  handler->startZFunction(false, requester->host().pluginFuncs());
}

void CommandRunner::runSynchronously(StreamData& record) {
  FlashPlugin* requester = record.flashPlugin;
  HostServices& services = requester->host().services();
  CocoaInterfaceData& data = *record.cocoaInterfaceData;
  const uint32_t identity = services.registry != nullptr ? services.registry->identityOf(requester) : 0;
  const bool ran = handRecordToTarget(data, requester, services);
  // The requester is calling us, so it was alive on entry. Once a command ran
  // it may have gone (a nested run loop can close windows): then only the
  // registry can say it is still there.
  const bool requesterLive = (ran || identity != 0) ? isLiveRequester(requester, identity, services)
                                                    : requester->isSane();
  if (requesterLive) {
    if (record.syncResult != nullptr) {
      const std::string reply = syncReplyXML(data);
      trace::line("reply", reply);
      setStringVariant(record.syncResult, reply);
    }
    record.syncError = kStatusOK;
    // The stream opened for the call is closed, so the plug-in never keeps a
    // stream whose record is gone.
    endRequest(record, requester->host().pluginFuncs(), NPRES_DONE, false);
  }
  record.release();
}

void CommandRunner::endUnanswered(StreamData& record) {
  // No reply is written, but the stream the plug-in opened for the request is
  // ended: the record behind it is about to go away.
  const bool synchronous = record.isSynchronous();
  endRequest(record, record.flashPlugin->host().pluginFuncs(), synchronous ? NPRES_DONE : NPRES_NETWORK_ERR,
             !synchronous);
  record.release();
}

}  // namespace kw
