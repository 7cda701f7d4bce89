// FTP get and put on libcurl: see FTPTransfer.h. libcurl's data callbacks play
// the stream events: the get's write callback is "bytes available" (the first
// one also "open completed"), the put's read callback "can accept bytes", and
// the transfer's end call "end" or "error".
#include "mac/net/FTPTransfer.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>

#include "mac/commands/CocoaInterfaceData.h"
#include "mac/commands/FunctionIds.h"
#include "mac/net/CurlDriver.h"
#include "mac/net/URL.h"

namespace kw {
namespace {

constexpr double kTicksPerSecond = 60.0;

void report(const FTPTransfer& transfer, int16_t status) {
  if (transfer.callback != nullptr) {
    transfer.callback(transfer.callbackContext, transfer.transferred, transfer.totalSize, status);
  }
}

// The transfer stops: the last report, and the nested run may return. The
// local file is closed first, so that whoever hears the end finds it whole.
void endTransfer(FTPTransfer& transfer, int16_t status) {
  if (transfer.localFile != nullptr) {
    std::fclose(transfer.localFile);
    transfer.localFile = nullptr;
  }
  transfer.ended = true;
  report(transfer, status);
}

int16_t statusOf(CURLcode code) { return static_cast<int16_t>(code); }

// "Open completed": the resource's size, -1 when the server did not tell it.
void noteOpened(FTPTransfer& transfer) {
  if (transfer.opened) return;
  transfer.opened = true;
  curl_off_t length = -1;
  if (curl_easy_getinfo(transfer.ftpStream, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) != CURLE_OK) length = -1;
  transfer.totalSize = length >= 0 ? static_cast<int64_t>(length) : -1;
}

// Get, "bytes available": everything that arrived goes to the file, again
// after a partial write; a write that writes nothing ends the transfer.
size_t getBytesAvailable(char* data, size_t size, size_t count, void* user) {
  FTPTransfer& transfer = *static_cast<FTPTransfer*>(user);
  if (transfer.ended) return 0;
  noteOpened(transfer);
  const size_t length = size * count;
  size_t written = 0;
  while (written < length) {
    const size_t wrote = std::fwrite(data + written, 1, length - written, transfer.localFile);
    if (wrote == 0) {
      transfer.error = -1;
      endTransfer(transfer, 0);
      return 0;  // libcurl stops the transfer; its end call finds it ended
    }
    written += wrote;
  }
  transfer.transferred += static_cast<uint32_t>(length);
  report(transfer, 0);
  return length;
}

void getEnded(FTPTransfer& transfer, CURLcode result) {
  if (transfer.ended) return;
  noteOpened(transfer);
  if (result == CURLE_OK) {
    endTransfer(transfer, kFTPEndOfTransfer);
  } else {
    transfer.error = result;
    endTransfer(transfer, statusOf(result));
  }
}

// Put, "can accept bytes": the pending bytes, or the next block of the file,
// as much as the stream takes; what it does not take stays pending at the
// start of the buffer.
size_t putCanAcceptBytes(char* out, size_t size, size_t count, void* user) {
  FTPTransfer& transfer = *static_cast<FTPTransfer*>(user);
  if (transfer.ended) return CURL_READFUNC_ABORT;
  if (transfer.pending == 0) {
    const size_t got = std::fread(transfer.buffer.data(), 1, transfer.buffer.size(), transfer.localFile);
    if (got == 0) {
      if (std::ferror(transfer.localFile) == 0) return 0;  // the whole file went: the stream ends
      endTransfer(transfer, 0);                           // a read error ends it with status 0
      return CURL_READFUNC_ABORT;
    }
    transfer.pending = static_cast<uint32_t>(got);
  }
  const size_t room = size * count;
  const size_t taken = std::min<size_t>(transfer.pending, room);
  std::memcpy(out, transfer.buffer.data(), taken);
  std::memmove(transfer.buffer.data(), transfer.buffer.data() + taken, transfer.pending - taken);
  transfer.pending -= static_cast<uint32_t>(taken);
  transfer.transferred += static_cast<uint32_t>(taken);
  report(transfer, 0);
  return taken;
}

void putEnded(FTPTransfer& transfer, CURLcode result) {
  if (transfer.ended) return;
  if (result == CURLE_OK) {
    endTransfer(transfer, kFTPEndOfTransfer);
  } else {
    // The FTP stream's own error: a refused file ends with the server's answer.
    transfer.error = result;
    endTransfer(transfer, statusOf(result));
  }
}

size_t discard(char*, size_t size, size_t count, void*) { return size * count; }

// Record destruction: the FTP stream leaves the run loop, both streams close.
struct TransferDeleter {
  CurlDriver* driver;
  void operator()(FTPTransfer* transfer) const {
    if (transfer->ftpStream != nullptr) {
      driver->remove(transfer->ftpStream);
      curl_easy_cleanup(transfer->ftpStream);
    }
    if (transfer->localFile != nullptr) std::fclose(transfer->localFile);
    delete transfer;
  }
};
using TransferPointer = std::unique_ptr<FTPTransfer, TransferDeleter>;

// The common part of both starts: the FTP stream with its URL and log-in.
// Answers the start-up code.
int16_t openFTPStream(FTPTransfer& transfer, const URL& url, const std::string& userName,
                      const std::string& password) {
  transfer.ftpStream = curl_easy_init();
  if (transfer.ftpStream == nullptr) return kFTPStreamNotCreated;
  CURL* easy = transfer.ftpStream;
  curl_easy_setopt(easy, CURLOPT_URL, url.absoluteString().c_str());
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "ftp");
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  if (!userName.empty()) {
    curl_easy_setopt(easy, CURLOPT_USERNAME, userName.c_str());
    curl_easy_setopt(easy, CURLOPT_PASSWORD, password.c_str());
  }
  return kFTPStarted;
}

int16_t startGet(CurlDriver& driver, FTPTransfer& transfer, const URL& url, const std::string& localPath,
                 const std::string& userName, const std::string& password) {
  transfer.localFile = std::fopen(localPath.c_str(), "wb");
  if (transfer.localFile == nullptr) return kFTPStreamNotCreated;
  if (const int16_t opened = openFTPStream(transfer, url, userName, password); opened != kFTPStarted) return opened;
  CURL* easy = transfer.ftpStream;
  // Blocks of at most one buffer; libcurl asks the server for the size first.
  curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, static_cast<long>(kFTPBufferSize));
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &getBytesAvailable);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &transfer);
  FTPTransfer* record = &transfer;
  if (!driver.add(easy, [record](CURLcode result) { getEnded(*record, result); })) return kFTPStreamNotStarted;
  return kFTPStarted;
}

int16_t startPut(CurlDriver& driver, FTPTransfer& transfer, const URL& url, const std::string& localPath,
                 const std::string& userName, const std::string& password) {
  transfer.localFile = std::fopen(localPath.c_str(), "rb");
  if (transfer.localFile == nullptr) return kFTPStreamNotCreated;
  std::error_code error;
  const uintmax_t length = std::filesystem::file_size(localPath, error);
  transfer.totalSize = error ? -1 : static_cast<int64_t>(length);
  if (const int16_t opened = openFTPStream(transfer, url, userName, password); opened != kFTPStarted) return opened;
  CURL* easy = transfer.ftpStream;
  curl_easy_setopt(easy, CURLOPT_UPLOAD, 1L);
  curl_easy_setopt(easy, CURLOPT_READFUNCTION, &putCanAcceptBytes);
  curl_easy_setopt(easy, CURLOPT_READDATA, &transfer);
  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &discard);
  if (transfer.totalSize >= 0) {
    curl_easy_setopt(easy, CURLOPT_INFILESIZE_LARGE, static_cast<curl_off_t>(transfer.totalSize));
  }
  FTPTransfer* record = &transfer;
  if (!driver.add(easy, [record](CURLcode result) { putEnded(*record, result); })) return kFTPStreamNotStarted;
  return kFTPStarted;
}

Status runTransfer(CurlDriver& driver, FTPDirection direction, const FTPArguments& arguments) {
  if (!hasFTPSupport()) return kFTPNoSupport;
  if (!arguments.server || !arguments.userName || !arguments.password || !arguments.serverPath ||
      !arguments.localPath) {
    return kFTPMissingString;
  }
  const std::optional<URL> url = URL::parse(ftpURLText(*arguments.server, *arguments.serverPath));

  TransferPointer transfer(new (std::nothrow) FTPTransfer, TransferDeleter{&driver});
  if (!transfer) return kFTPOutOfMemory;
  transfer->direction = direction;
  transfer->callbackContext = arguments.callbackContext;
  transfer->callback = arguments.callback;

  int16_t started = kFTPMissingArgument;  // no usable FTP URL
  if (url) {
    started = direction == FTPDirection::Get
                  ? startGet(driver, *transfer, *url, *arguments.localPath, *arguments.userName, *arguments.password)
                  : startPut(driver, *transfer, *url, *arguments.localPath, *arguments.userName, *arguments.password);
  }
  if (started != kFTPStarted) {
    transfer->error = started;
    return started;
  }

  FTPTransfer& running = *transfer;
  const bool ended = driver.runLoop().runUntil([&running] { return running.ended; }, arguments.timeLimit);
  if (!ended && !running.ended) {
    // The time allowed is over: the transfer is given up like a failed one.
    driver.remove(running.ftpStream);
    running.error = CURLE_OPERATION_TIMEDOUT;
    endTransfer(running, statusOf(CURLE_OPERATION_TIMEDOUT));
  }
  return kFTPStarted;
}

// The request's callback: only the end of the transfer completes the record.
void requestTransferReport(void* context, uint32_t, int64_t, int16_t status) {
  auto* record = static_cast<CocoaInterfaceData*>(context);
  if (status != kFTPEndOfTransfer || record == nullptr || record->sanityCheck != kCocoaInterfaceMarker) return;
  record->completed = 1;
  record->numberResult = 0;
}

}  // namespace

bool hasFTPSupport() {
  const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
  if (info == nullptr || info->protocols == nullptr) return false;
  for (const char* const* protocol = info->protocols; *protocol != nullptr; ++protocol) {
    if (std::strcmp(*protocol, "ftp") == 0) return true;
  }
  return false;
}

std::string ftpURLText(std::string_view server, std::string_view serverPath) {
  std::string text = "ftp://";
  text += server;
  if (serverPath.empty() || serverPath.front() != '/') text += '/';
  text += serverPath;
  return text;
}

Status FTPGet(CurlDriver& driver, const FTPArguments& arguments) {
  return runTransfer(driver, FTPDirection::Get, arguments);
}

Status FTPPut(CurlDriver& driver, const FTPArguments& arguments) {
  return runTransfer(driver, FTPDirection::Put, arguments);
}

Status FTPRequestRunner(CurlDriver& driver, CocoaInterfaceData* record) {
  if (!hasFTPSupport()) return kFTPOutOfMemory;
  if (record == nullptr) return kStatusOK;
  FTPArguments arguments;
  arguments.firstString = record->stringParam1;
  arguments.server = record->stringParam2;
  arguments.userName = record->stringParam3;
  arguments.password = record->stringParam4;
  arguments.serverPath = record->stringParam5;
  arguments.localPath = record->stringParam6;
  arguments.flag = record->boolParam1 != 0;
  arguments.callbackContext = record;
  arguments.callback = &requestTransferReport;
  if (record->deadlineTicks != 0) {
    // Measured as ticks left, so that the tick counter's wrap does not matter.
    const auto left = static_cast<int32_t>(record->deadlineTicks - driver.runLoop().tickCount());
    arguments.timeLimit = std::max(0, left) / kTicksPerSecond;
  }
  if (record->functionNumber == fid::kSimpleGet) return FTPGet(driver, arguments);
  if (record->functionNumber == fid::kSimplePut) return FTPPut(driver, arguments);
  return kStatusOK;
}

}  // namespace kw
