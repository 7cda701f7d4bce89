// The network command family: downloadFile (401), abortFunction (420) and
// the dispatch of simpleGet / simplePut (600, 601). The FTP transfers of the
// last two run while their request is parsed, through this family's FTP
// starter (CommandRunner::setFTPStarter); by the time the record is
// dispatched the transfer has ended, and the dispatch answers the request
// only when it ended well.
#pragma once

#include <map>
#include <memory>

#include "mac/commands/CommandRunner.h"
#include "mac/commands/KW_Commands.h"
#include "mac/commands/families/FamilyServices.h"
#include "mac/net/CurlDriver.h"
#include "mac/net/Downloads.h"

namespace kw {

class NetworkCommands : public CommandFamily, public FTPStarter {
 public:
  explicit NetworkCommands(const FamilyServices& services);
  ~NetworkCommands() override;

  void runCommand(ZFunctionCall& call) override;
  // FTPRequestRunner on the family's own FTP driver.
  Status startFTPTransfer(CocoaInterfaceData& record) override;

  // downloadFile:dest:sessionID:zFunction:flashPlugin: the destination
  // (relative ones inside the resources folder) gets its folders and an empty
  // file, then the download starts; when it does not, the destination goes to
  // the Trash. 0 started or no URL; -1 not started.
  int32_t downloadFile(const std::string& url, const std::string& destination, int32_t sessionID,
                       FlashPlugin* plugin);

  DownloadSessions& sessions() { return sessions_; }

 private:
  FamilyServices services_;
  // Downloads and FTP transfers run on drivers of their own, so that an FTP
  // transfer started from a download's event (its nested run) is not held up
  // behind the download's service turn.
  CurlDriver downloadDriver_;
  CurlDriver ftpDriver_;
  DownloadSessions sessions_;
  // FTP requests whose transfer ended, and whether it ended well; taken out
  // when the record is dispatched.
  std::map<const CocoaInterfaceData*, bool> ftpOutcomes_;
};

std::shared_ptr<NetworkCommands> makeNetworkCommands(const FamilyServices& services);

}  // namespace kw
