// The asynchronous reply writer: see AsyncStreamHandler.h.
#include "mac/commands/AsyncStreamHandler.h"

#include <limits>
#include <string>
#include <utility>

#include "mac/commands/CommandRunner.h"
#include "mac/commands/Replies.h"
#include "mac/platform/Trace.h"
#include "mac/pluginhost/FlashPlugin.h"
#include "mac/pluginhost/PluginHost.h"
#include "mac/pluginhost/StreamData.h"

namespace kw {

std::shared_ptr<AsyncStreamHandler> AsyncStreamHandler::create(std::shared_ptr<StreamData> streamData,
                                                               FlashPlugin* flashPlugin) {
  return std::shared_ptr<AsyncStreamHandler>(new AsyncStreamHandler(std::move(streamData), flashPlugin));
}

AsyncStreamHandler::AsyncStreamHandler(std::shared_ptr<StreamData> streamData, FlashPlugin* flashPlugin)
    : fFlashPlugin(flashPlugin), fStreamData(std::move(streamData)) {
  // The requester is the caller and alive now; later it is only looked at
  // through the registry, under the identity it has now.
  if (fFlashPlugin != nullptr) {
    services_ = &fFlashPlugin->host().services();
    if (services_->registry != nullptr) requesterIdentity_ = services_->registry->identityOf(fFlashPlugin);
  }
}

// Nothing here touches the run loop: the handler may go with it.
AsyncStreamHandler::~AsyncStreamHandler() = default;

bool AsyncStreamHandler::isPolling() const {
  return outcome_ == Outcome::Pending && fTimer != 0 && services_ != nullptr && services_->runLoop != nullptr &&
         services_->runLoop->isScheduled(fTimer);
}

void AsyncStreamHandler::startZFunction(bool synchronous, const NPPluginFuncs& funcs) {
  if (fTimer != 0 || outcome_ != Outcome::Pending) return;  // started once only
  fNPPFuncs = funcs;
  synchronous_ = synchronous;
  if (services_ == nullptr || services_->runLoop == nullptr || !fStreamData) {
    outcome_ = Outcome::Abandoned;
    return;
  }
  if (fStreamData->isLive() && fStreamData->cocoaInterfaceData) {
    handRecordToTarget(*fStreamData->cocoaInterfaceData, fFlashPlugin, *services_);
  }
  std::shared_ptr<AsyncStreamHandler> self = shared_from_this();
  fTimer = services_->runLoop->scheduleTimer(kCompletionPollInterval, true,
                                             [self] { self->checkForCompletion(); });
}

void AsyncStreamHandler::finish(Outcome outcome) {
  outcome_ = outcome;
  if (fTimer != 0 && services_ != nullptr && services_->runLoop != nullptr) services_->runLoop->cancel(fTimer);
  fTimer = 0;
}

bool AsyncStreamHandler::deadlinePassed(const CocoaInterfaceData& data) const {
  if (data.deadlineTicks == 0 || services_ == nullptr || services_->runLoop == nullptr) return false;
  // Measured from the start, so that the tick counter's wrap does not matter.
  const uint32_t elapsed = services_->runLoop->tickCount() - data.startTicks;
  const uint32_t allowed = data.deadlineTicks - data.startTicks;
  return elapsed >= allowed;
}

void AsyncStreamHandler::checkForCompletion() {
  if (outcome_ != Outcome::Pending) return;
  // Stopping the poll lets go of the timer's reference; keep this one for the call.
  const std::shared_ptr<AsyncStreamHandler> keep = shared_from_this();
  if (services_ == nullptr || !isLiveRequester(fFlashPlugin, requesterIdentity_, *services_) || !fStreamData ||
      !fStreamData->isLive() || !fStreamData->cocoaInterfaceData) {
    finish(Outcome::Abandoned);
    return;
  }
  StreamData& stream = *fStreamData;
  const CocoaInterfaceData& data = *stream.cocoaInterfaceData;
  if (data.completed == 0) {
    if (data.dispatched == 0 && deadlinePassed(data)) {
      finish(Outcome::GaveUp);
      completedURL(NPRES_NETWORK_ERR);
      stream.release();
    }
    return;
  }
  finish(Outcome::Replied);
  sendBackReturnValueFromCocoaInterfaceAsync(data);
  completedURL(NPRES_DONE);
  stream.release();
  fCompleted = 1;
}

void AsyncStreamHandler::completedURL(NPReason reason) {
  if (fStreamData) endRequest(*fStreamData, fNPPFuncs, reason);
}

Status AsyncStreamHandler::writeToStream(const void* buffer, size_t length) {
  if (!fStreamData || fStreamData->instance == nullptr || buffer == nullptr || fNPPFuncs.writeready == nullptr || fNPPFuncs.write == nullptr) return 0;
  if (length > static_cast<size_t>(std::numeric_limits<int32_t>::max())) return 0;
  StreamData& stream = *fStreamData;
  if (fNPPFuncs.writeready(stream.instance, &stream.theStream) > 0) {
    fNPPFuncs.write(stream.instance, &stream.theStream, 0, static_cast<int32_t>(length), const_cast<void*>(buffer));
  }
  return 0;
}

Status AsyncStreamHandler::sendStringToStream(std::string_view text) {
  return writeToStream(text.data(), text.size());
}

Status AsyncStreamHandler::sendBackReturnValueFromCocoaInterfaceAsync(const CocoaInterfaceData& data) {
  if (synchronous_ || !fStreamData || fStreamData->isSynchronous()) return 0;
  const std::string reply = asyncReplyVariables(data);
  trace::line("reply", reply);
  return reply.empty() ? Status{0} : sendStringToStream(reply);
}

}  // namespace kw
