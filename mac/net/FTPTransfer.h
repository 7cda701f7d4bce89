// FTP transfers of one file (get or put) for simpleGet and simplePut. The
// transfer is synchronous for its caller: it runs inside a nested run of the
// main run loop until its stream reports the end or an error, so timers,
// events and other transfers of the application go on meanwhile. The FTP side
// is a libcurl transfer on the CurlDriver; the local side is a file.
#pragma once

#include <curl/curl.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "mac/pluginhost/Status.h"

namespace kw {

class CurlDriver;
struct CocoaInterfaceData;

inline constexpr uint32_t kFTPTransferTag = 0x66747053;  // the bytes "Sptf"
inline constexpr size_t kFTPBufferSize = 32768;

// Statuses reported to a transfer's callback: 0 running or progress,
// kFTPEndOfTransfer when the stream reported its end, anything else the
// stream's error code (a CURLcode).
inline constexpr int16_t kFTPEndOfTransfer = -1000;

// Start-up results of a transfer.
inline constexpr int16_t kFTPStarted = 0;
inline constexpr int16_t kFTPMissingArgument = 1;
inline constexpr int16_t kFTPStreamNotCreated = 2;  // a stream could not be created or opened
inline constexpr int16_t kFTPStreamNotStarted = 3;  // the FTP stream could not be scheduled
// Driver results besides the start-up results.
inline constexpr int16_t kFTPMissingString = -202;
inline constexpr int16_t kFTPNoSupport = -300;
inline constexpr int16_t kFTPOutOfMemory = -1;

// Progress and completion report: (context, bytes transferred, total size or
// -1 when unknown, status).
using FTPCallback = void (*)(void* context, uint32_t transferred, int64_t totalSize, int16_t status);

enum class FTPDirection : uint8_t { Get = 1, Put = 2 };

// One transfer: the fields followed by the transfer buffer, in one block.
// The FTP stream is the read stream of a get and the write stream of a put;
// the local file is the other one.
struct FTPTransfer {
  uint32_t tag = kFTPTransferTag;
  FTPDirection direction = FTPDirection::Get;
  CURL* ftpStream = nullptr;     // owned
  std::FILE* localFile = nullptr;  // owned
  int64_t totalSize = -1;
  int32_t error = 0;         // the last stream error; start-up failures in the low 16 bits
  uint32_t transferred = 0;  // bytes written so far
  uint32_t pending = 0;      // bytes read from the file but not yet written (put)
  void* callbackContext = nullptr;
  FTPCallback callback = nullptr;
  bool opened = false;  // "open completed" has been seen (total size read)
  bool ended = false;   // the transfer stopped; the nested run may return
  std::array<uint8_t, kFTPBufferSize> buffer{};
};

// Whether this system's libcurl speaks FTP.
bool hasFTPSupport();

// "ftp://", the server, "/" unless the server path begins with one, the path.
// The prefix is added even when the server text already carries one.
std::string ftpURLText(std::string_view server, std::string_view serverPath);

// What one transfer needs. The first string and the flag are carried but not
// used by the transfer. `timeLimit` bounds the nested run (seconds; infinity
// for none): a transfer still running then ends with CURLE_OPERATION_TIMEDOUT.
struct FTPArguments {
  std::optional<std::string> firstString, server, userName, password, serverPath, localPath;
  bool flag = false;
  void* callbackContext = nullptr;
  FTPCallback callback = nullptr;
  double timeLimit = std::numeric_limits<double>::infinity();
};

// FTPGet / FTPPut: run the transfer to its end in a nested run of the driver's
// run loop and answer the start status: kFTPStarted (whatever the transfer's
// outcome, which goes to the callback), a start-up failure (1, 2, 3), or
// kFTPNoSupport, kFTPMissingString, kFTPOutOfMemory.
Status FTPGet(CurlDriver& driver, const FTPArguments& arguments);
Status FTPPut(CurlDriver& driver, const FTPArguments& arguments);

// FTPRequestRunner: runs function 600 (get) or 601 (put) of a request record,
// with string parameters 1 to 6 as first string, server, user name, password,
// server path and local path and its first boolean as the flag. A transfer
// that ends with kFTPEndOfTransfer marks the record completed with number
// result 0; any other end leaves it as it is (no reply is sent). The nested
// run is bounded by the record's deadline (none when deadlineTicks is 0).
// -1 without FTP support; 0 without a record.
Status FTPRequestRunner(CurlDriver& driver, CocoaInterfaceData* record);

}  // namespace kw
