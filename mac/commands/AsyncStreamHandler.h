// The asynchronous reply writer: runs one URL-requested command, polls its record
// every 0.1 s and, once completed, writes the reply variables and ends the request.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>

#include "mac/npapi/npapi.h"
#include "mac/platform/RunLoop.h"
#include "mac/pluginhost/Status.h"

namespace kw {

class FlashPlugin;
struct HostServices;
struct StreamData;
struct CocoaInterfaceData;

inline constexpr double kCompletionPollInterval = 0.1;

// The handler keeps itself alive (its poll timer's action holds it) until it has
// replied, given up, or found its requester gone.
class AsyncStreamHandler : public std::enable_shared_from_this<AsyncStreamHandler> {
 public:
  enum class Outcome : uint8_t {
    Pending,    // not started, or polling
    Replied,    // completed: reply written, request ended
    Abandoned,  // the requester went away: nothing written, no plug-in call
    GaveUp,     // never dispatched by its deadline: request ended with a network error
  };

  // initWithStreamData:flashPlugin:: shares the stream record (which owns the
  // request record) and remembers the requesting instance and its identity.
  static std::shared_ptr<AsyncStreamHandler> create(std::shared_ptr<StreamData> streamData, FlashPlugin* flashPlugin);
  ~AsyncStreamHandler();
  AsyncStreamHandler(const AsyncStreamHandler&) = delete;
  AsyncStreamHandler& operator=(const AsyncStreamHandler&) = delete;

  // startZFunction:funcs:: keeps a copy of the plug-in function table, hands
  // the record to its target and starts the repeating completion poll.
  // `synchronous` marks a caller that answers itself: no variables are written.
  void startZFunction(bool synchronous, const NPPluginFuncs& funcs);

  // checkForCompletion:: one poll (the timer's action).
  //  - requester no longer live: stop, write nothing, call nothing;
  //  - completed: write the reply, NPP_URLNotify (reason 0), NPP_DestroyStream;
  //  - never dispatched (the target was not live) and the record's deadline
  //    (non-zero) reached: NPP_URLNotify and NPP_DestroyStream with
  //    NPRES_NETWORK_ERR and no reply, so the movie's request does not hang;
  //  - otherwise wait for the next tick. Records that were dispatched but
  //    finish later (downloads, FTP) are waited for however long they take.
  void checkForCompletion();

  // fCompleted: 1 after the reply.
  uint8_t completed() const { return fCompleted; }
  Outcome outcome() const { return outcome_; }
  bool isPolling() const;
  const std::shared_ptr<StreamData>& streamData() const { return fStreamData; }

  // completedURL: ends the plug-in's request: NPP_URLNotify with the request
  // URL, `reason` and the notify data, then NPP_DestroyStream with `reason`.
  void completedURL(NPReason reason = NPRES_DONE);

  // writeToStream:length:buffer:: asks NPP_WriteReady and, when it accepts
  // anything, writes the whole buffer with one NPP_Write at offset 0. Answers 0.
  Status writeToStream(const void* buffer, size_t length);
  // sendStringToStream:string:
  Status sendStringToStream(std::string_view text);
  // sendBackReturnValueFromCocoaInterfaceAsync:data:: writes the reply
  // variables of `data` into the handler's stream; nothing on a stream marked
  // 'Sync' or for a synchronous caller.
  Status sendBackReturnValueFromCocoaInterfaceAsync(const CocoaInterfaceData& data);

 private:
  AsyncStreamHandler(std::shared_ptr<StreamData> streamData, FlashPlugin* flashPlugin);
  // Stops the poll and lets the handler go (after the current call returns).
  void finish(Outcome outcome);
  bool deadlinePassed(const CocoaInterfaceData& data) const;

  FlashPlugin* fFlashPlugin;            // the requester; read only while registered
  std::shared_ptr<StreamData> fStreamData;
  HostServices* services_ = nullptr;    // the requester's host services
  uint32_t requesterIdentity_ = 0;      // the requester's identity when the request came
  NPPluginFuncs fNPPFuncs{};
  RunLoop::TimerId fTimer = 0;
  uint8_t fCompleted = 0;
  bool synchronous_ = false;
  Outcome outcome_ = Outcome::Pending;
};

}  // namespace kw
