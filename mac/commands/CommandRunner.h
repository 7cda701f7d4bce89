// The command runner: filters and parses a command request, runs it synchronously
// (XML reply) or under an AsyncStreamHandler, and hands records to their targets.
#pragma once

#include <memory>
#include <string_view>

#include "mac/commands/CommandParser.h"
#include "mac/pluginhost/HostInterfaces.h"
#include "mac/pluginhost/Status.h"

namespace kw {

struct HostServices;

// Where the mouse is, for getMousePosition (global coordinates, v downward).
class MouseLocator {
 public:
  virtual ~MouseLocator() = default;
  virtual MousePoint currentMousePosition() = 0;
};

// Starts an FTP transfer for simpleGet / simplePut (the network family).
class FTPStarter {
 public:
  virtual ~FTPStarter() = default;
  // 0 when started; any other status ends the request without a reply.
  virtual Status startFTPTransfer(CocoaInterfaceData& record) = 0;
};

// The FTP start's answer while no FTP starter is plugged in: the request ends
// as a failed FTP start does (no command runs, no reply).
inline constexpr Status kStatusFTPNotAvailable = kStatusUnsupported;

// The command filter: true when a URL-form request (the text behind
// "KW://KW_" or "KW://SS_") is dropped unseen. With one object prefix removed
// ("zWindow." stays), names beginning, in any case, with "-->e", "stopDrag",
// "setDeskt", "setNorma", "setTopLe" or "open_fil" are dropped.
bool isDroppedByCommandFilter(std::string_view request);

// Hands a parsed record to its target: the instance the record's windowID
// names, or the requester for windowID 0. The target must be registered and
// tagged 'Sane', else nothing happens and the record stays undispatched.
// 304 (close) posts "removeWindowFromList" with the target's window and closes
// it 0.01 s later through the controller ("removeWebWindowFromList" for a web
// page proxy); the record is then answered with an empty value. Every other ID
// goes to the target window's processOneEvent. Answers whether the target was
// live (so that something may have run).
bool handRecordToTarget(CocoaInterfaceData& record, FlashPlugin* requester, HostServices& services);

// The requester is still a live instance: registered under `identity` (which
// the registry never reissues, so a new object at a recycled address does not
// pass) and tagged 'Sane'. Never reads an unregistered object.
bool isLiveRequester(const FlashPlugin* requester, uint32_t identity, const HostServices& services);

class CommandRunner : public CommandSink, private ParserServices {
 public:
  explicit CommandRunner(MouseLocator& mouse, FTPStarter* ftp = nullptr);

  // The FTP family, once there is one (null: kStatusFTPNotAvailable).
  void setFTPStarter(FTPStarter* ftp) { ftp_ = ftp; }

  // Runs one request whose stream has been opened. The runner releases the
  // record's data whenever it ends the request itself; an asynchronous run
  // hands the record to an AsyncStreamHandler, which releases it.
  void runCommand(const std::shared_ptr<StreamData>& record) override;

 private:
  MousePoint currentMousePosition() override;
  Status startFTPTransfer(CocoaInterfaceData& record) override;

  void runSynchronously(StreamData& record);
  // Ends a request that gets no reply (dropped, unparsable, "java" URLs).
  void endUnanswered(StreamData& record);

  MouseLocator& mouse_;
  FTPStarter* ftp_;
};

}  // namespace kw
