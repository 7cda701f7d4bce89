// Downloads and FTP transfers against servers on 127.0.0.1: the HTTP server of
// the test support, and an FTP server of python3-pyftpdlib started by the test.
// Network runs use the real clock, bounded by a time-out.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "mac/commands/CocoaInterfaceData.h"
#include "mac/commands/CommandParser.h"
#include "mac/net/Downloads.h"
#include "mac/net/FTPTransfer.h"
#include "mac/net/NetworkCommands.h"
#include "mac/platform/DesktopServices.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/ScopedEnv.h"
#include "tests/support/TempDir.h"

namespace kw {
namespace {

using test::LoopbackHttpServer;
using test::readFile;
using test::TempDir;

constexpr double kTimeout = 10;
constexpr const char* kProgress = "ARRAY_OF_STRINGS=zApplication~!downloadProgress~!";

std::vector<uint8_t> bytes(size_t count) {
  std::vector<uint8_t> data(count);
  for (size_t i = 0; i < count; ++i) data[i] = static_cast<uint8_t>(i * 7 + i / 251);
  return data;
}
std::string text(const std::vector<uint8_t>& data) { return {data.begin(), data.end()}; }

constexpr const char* kClosedPort = "http://127.0.0.1:1/";  // nothing listens there

class DownloadsTest : public ::testing::Test {
 protected:
  DownloadsTest() : driver(loop), sessions(services()) {}

  DownloadServices services() {
    DownloadServices result;
    result.driver = &driver;
    result.alerts = &alerts;
    result.resourcesFolder = folder.path();
    return result;
  }
  DownloadEvents recorder() {
    return [this](const EventMessage& event) {
      texts.push_back(event.text.value_or(""));
      xmls.push_back(event.xml.value_or(""));
    };
  }
  void runDownloads() {
    loop.runUntil([this] {
      for (const auto& download : sessions.sessions()) {
        if (download->isRunning()) return false;
      }
      return true;
    }, kTimeout);
  }

  TempDir folder;
  RunLoop loop{RunLoop::ClockKind::Real};
  CurlDriver driver;
  SimAlertPanels alerts;
  DownloadSessions sessions;
  std::vector<std::string> texts, xmls;
};

TEST_F(DownloadsTest, ProgressAndFailureEvents) {
  Download download(services(), recorder());
  EXPECT_EQ(download.downloadFile(nullptr, folder.path() / "x", 7), 0);  // keeps the session, loads nothing
  download.didReceiveResponse(1000);
  download.didReceiveDataOfLength(600);
  download.didReceiveDataOfLength(400);
  download.didReceiveResponse(6'000'000'000);  // counts beyond 32 bits: the XML cuts them
  download.didReceiveDataOfLength(4'999'999'000);
  download.didFailWithError();
  EXPECT_EQ(texts, (std::vector<std::string>{std::string(kProgress) + "7~!600~!1000",
                                             std::string(kProgress) + "7~!1000~!1000",
                                             std::string(kProgress) + "7~!5000000000~!6000000000",
                                             std::string(kProgress) + "7~!0~!0"}));
  const auto xml = [](const std::string& received, const std::string& expected) {
    return "<array length=\"5\"><property id=\"0\"><string>zApplication</string></property>"
           "<property id=\"1\"><string>downloadProgress</string></property>"
           "<property id=\"2\"><string>7</string></property><property id=\"3\"><string>" +
           received + "</string></property><property id=\"4\"><string>" + expected +
           "</string></property></array>";
  };
  EXPECT_EQ(xmls[2], xml("705032704", "1705032704"));
  EXPECT_TRUE(sessions.sessions().empty());
}

TEST_F(DownloadsTest, DownloadsOverHttpAndFromResourceFiles) {
  const std::vector<uint8_t> body = bytes(300'000);
  LoopbackHttpServer server([&](const LoopbackHttpServer::Request& request) {
    if (request.path() == "/moved") return LoopbackHttpServer::redirect("/data");
    LoopbackHttpServer::Response response = LoopbackHttpServer::text(text(body));
    response.sendLength = request.path() != "/nolength";
    return response;
  });
  std::filesystem::create_directories(folder.path() / "data");
  folder.write("data/local.bin", body);
  struct Case {
    std::string url;
    std::string expected;  // the last item of the last event
  } cases[] = {{server.url("/moved") + "\r\n", "300000"},
               {server.url("/nolength"), "-1"},
               {"data/local.bin\n", "300000"}};
  int32_t session = 1;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    texts.clear();
    const auto destination = folder.path() / ("out" + std::to_string(session) + ".bin");
    ASSERT_EQ(sessions.downloadFile(c.url.c_str(), destination, session, recorder()), 0);
    runDownloads();
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.back(), kProgress + std::to_string(session) + "~!300000~!" + c.expected);
    EXPECT_EQ(readFile(destination), text(body));
    ++session;
  }
  EXPECT_EQ(sessions.sessions().size(), 3u);  // finished downloads stay in the list
}

TEST_F(DownloadsTest, FailedDownloadSendsZeroOfZeroAndTrashesTheDestination) {
  const test::ScopedEnv data("XDG_DATA_HOME", (folder.path() / "data").string());
  LoopbackHttpServer server([](const LoopbackHttpServer::Request&) {
    LoopbackHttpServer::Response response = LoopbackHttpServer::text(std::string(200'000, 'x'));
    response.failAfter = 1000;
    return response;
  });
  // A closed port fails the same way (the abort test below).
  const auto destination = folder.path() / "partial.bin";
  ASSERT_EQ(sessions.downloadFile(server.url("/half").c_str(), destination, 4, recorder()), 0);
  runDownloads();
  ASSERT_FALSE(texts.empty());
  EXPECT_EQ(texts.back(), std::string(kProgress) + "4~!0~!0");
  EXPECT_FALSE(std::filesystem::exists(destination));
  EXPECT_TRUE(std::filesystem::exists(folder.path() / "data/Trash/files/partial.bin"));
}

TEST_F(DownloadsTest, AbortCancelsOnlyTheFirstSessionOfThatNumber) {
  int files = 0;
  for (const int32_t session : {5, 5, 6}) {
    sessions.downloadFile(kClosedPort, folder.path() / ("d" + std::to_string(++files)), session, recorder());
  }
  sessions.abortSession(5);
  ASSERT_EQ(sessions.sessions().size(), 2u);
  EXPECT_EQ(sessions.sessions().front()->sessionID(), 5);
  runDownloads();
  // The aborted one is silent; the other two fail.
  EXPECT_EQ(texts, (std::vector<std::string>{std::string(kProgress) + "5~!0~!0", std::string(kProgress) + "6~!0~!0"}));
}

TEST_F(DownloadsTest, UncreatableDownloadShowsTheAlert) {
  EXPECT_EQ(sessions.downloadFile("http://127.0.0.1/x", folder.path(), 2, recorder()), -1);  // a folder
  EXPECT_EQ(sessions.downloadFile("", folder.path() / "y", 3, recorder()), 0);                // no URL
  ASSERT_EQ(alerts.shown.size(), 1u);
  EXPECT_EQ(alerts.shown[0].title, "Unable to Download");
  EXPECT_EQ(alerts.shown[0].text, "it did not work");
  EXPECT_EQ(alerts.shown[0].buttons, std::vector<std::string>{"OK"});
  EXPECT_EQ(sessions.sessions().size(), 1u);  // only the one with a URL
}

// ---- FTP ------------------------------------------------------------------------

// pyftpdlib on 127.0.0.1 serving `root`: user "user" may write, "reader" may
// only read; files whose names begin with "nosize" have no SIZE answer.
constexpr const char* kFtpServerScript = R"(
import os, sys
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer
authorizer = DummyAuthorizer()
authorizer.add_user("user", "pw", sys.argv[1], perm="elradfmw")
authorizer.add_user("reader", "pw", sys.argv[1], perm="elr")
class Handler(FTPHandler):
    def ftp_SIZE(self, path):
        if os.path.basename(path).startswith("nosize"):
            self.respond("502 SIZE not implemented.")
            return
        return FTPHandler.ftp_SIZE(self, path)
Handler.authorizer = authorizer
server = FTPServer(("127.0.0.1", 0), Handler)
print(server.socket.getsockname()[1], flush=True)
server.serve_forever()
)";

class LoopbackFtpServer {
 public:
  explicit LoopbackFtpServer(const std::filesystem::path& root) {
    std::filesystem::create_directories(root);
    int out[2];
    if (pipe(out) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    const std::string rootText = root.string();
    const char* argv[] = {"/usr/bin/python3", "-c", kFtpServerScript, rootText.c_str(), nullptr};
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, const_cast<char* const*>(argv), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    pollfd ready{out[0], POLLIN, 0};  // the port number, on a line of its own
    for (char c = 0; pid_ > 0 && poll(&ready, 1, 10'000) > 0 && read(out[0], &c, 1) == 1 && c != '\n';) port_ += c;
    close(out[0]);
  }
  ~LoopbackFtpServer() {
    if (pid_ <= 0) return;
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  std::string host() const { return port_.empty() ? "" : "127.0.0.1:" + port_; }

 private:
  pid_t pid_ = -1;
  std::string port_;
};

using Report = std::tuple<uint32_t, int64_t, int16_t>;
void recordReport(void* context, uint32_t transferred, int64_t total, int16_t status) {
  static_cast<std::vector<Report>*>(context)->emplace_back(transferred, total, status);
}

class FTPTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder.write("root/a.bin", body);
    folder.write("root/nosize.bin", body);
    ASSERT_FALSE(server.host().empty()) << "no FTP server (python3-pyftpdlib)";
  }
  FTPArguments arguments(const std::string& user, const std::string& serverPath, const std::filesystem::path& local) {
    FTPArguments result{"agent", server.host(), user, "pw", serverPath, local.string()};
    result.callbackContext = &reports;
    result.callback = &recordReport;
    result.timeLimit = kTimeout;
    return result;
  }

  TempDir folder;
  std::filesystem::path root = folder.path() / "root";
  LoopbackFtpServer server{root};
  RunLoop loop{RunLoop::ClockKind::Real};
  CurlDriver driver{loop};
  const std::vector<uint8_t> body = bytes(100'000);
  std::vector<Report> reports;
};

TEST(FTPURLTest, BuildsTheURLAndWantsEveryString) {
  EXPECT_EQ(ftpURLText("host", "/dir/a.txt"), "ftp://host/dir/a.txt");
  EXPECT_EQ(ftpURLText("ftp://host", "a"), "ftp://ftp://host/a");
  RunLoop loop(RunLoop::ClockKind::Virtual);
  CurlDriver driver(loop);
  EXPECT_EQ(FTPGet(driver, {"", "host", "u", "p", std::nullopt, "/tmp/x"}), kFTPMissingString);
  EXPECT_EQ(FTPPut(driver, {"", "host", "u", "p", "a", "/nonexistent-folder/x"}), kFTPStreamNotCreated);
}

TEST_F(FTPTest, GetReportsProgressAndTheSizeOrMinusOne) {
  for (const std::string name : {"a.bin", "nosize.bin"}) {
    SCOPED_TRACE(name);
    reports.clear();
    const auto local = folder.path() / ("got-" + name);
    ASSERT_EQ(FTPGet(driver, arguments("user", name, local)), kFTPStarted);
    ASSERT_GE(reports.size(), 5u);  // 100,000 bytes come in blocks of at most 32,768
    const int64_t total = name == "a.bin" ? 100'000 : -1;
    EXPECT_EQ(reports.back(), Report(100'000, total, kFTPEndOfTransfer));
    for (size_t i = 1; i + 1 < reports.size(); ++i) {
      EXPECT_LE(std::get<0>(reports[i]) - std::get<0>(reports[i - 1]), kFTPBufferSize);
      EXPECT_EQ(std::get<2>(reports[i]), 0);
    }
    EXPECT_EQ(readFile(local), text(body));
  }
  reports.clear();
  EXPECT_EQ(FTPGet(driver, arguments("user", "missing.bin", folder.path() / "m")), kFTPStarted);
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(std::get<2>(reports[0]), CURLE_REMOTE_FILE_NOT_FOUND);
}

TEST_F(FTPTest, PutStoresTheFileAndARefusedPutEndsWithTheStreamError) {
  const auto local = folder.write("up.bin", body);
  ASSERT_EQ(FTPPut(driver, arguments("user", "/up.bin", local)), kFTPStarted);
  EXPECT_EQ(reports.back(), Report(100'000, 100'000, kFTPEndOfTransfer));
  EXPECT_EQ(readFile(root / "up.bin"), text(body));

  reports.clear();
  ASSERT_EQ(FTPPut(driver, arguments("reader", "refused.bin", local)), kFTPStarted);
  ASSERT_FALSE(reports.empty());
  EXPECT_EQ(std::get<2>(reports.back()), CURLE_UPLOAD_FAILED);
  EXPECT_FALSE(std::filesystem::exists(root / "refused.bin"));
}

// simpleGet / simplePut as a movie sends them: parsed (which runs the
// transfer through the family), then dispatched by a command handler.
TEST_F(FTPTest, RequestsAreAnsweredOnlyWhenTheTransferEnded) {
  FamilyServices family;
  family.runLoop = &loop;
  const std::shared_ptr<NetworkCommands> network = makeNetworkCommands(family);
  KW_Commands handler({}, nullptr);
  handler.setFamily(CommandFamilyKind::Network, network);
  struct Starter : ParserServices {
    NetworkCommands* network;
    MousePoint currentMousePosition() override { return {}; }
    Status startFTPTransfer(CocoaInterfaceData& record) override { return network->startFTPTransfer(record); }
  } starter;
  starter.network = network.get();
  folder.write("up.bin", body);
  const std::string common = "serverNameOrIP=" + server.host() + "&password=pw&hardDrivePath=" + folder.path().string();
  struct Case {
    std::string request;
    uint8_t completed;
  } cases[] = {{"zFTP.simpleGet?username=user&serverPath=a.bin&" + common + "/got.bin", 1},
               {"zFTP.simplePut?username=user&serverPath=new.bin&" + common + "/up.bin", 1},
               {"zFTP.simplePut?username=reader&serverPath=no.bin&" + common + "/up.bin", 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.request);
    auto record = CocoaInterfaceData::create(loop.tickCount(), nullptr, {});
    ASSERT_EQ(parseCommand(c.request, record.get(), false, false, starter), kStatusRunCommand);
    handler.doZFunction(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, record.get());
    EXPECT_EQ(record->completed, c.completed);
    EXPECT_EQ(record->numberResult, 0);
  }
  EXPECT_EQ(readFile(folder.path() / "got.bin"), text(body));
  EXPECT_EQ(readFile(root / "new.bin"), text(body));
}

TEST_F(FTPTest, TheRecordsDeadlineBoundsTheTransfer) {
  // An HTTP server waits for a request: to an FTP client it accepts and never greets.
  const LoopbackHttpServer silent([](const LoopbackHttpServer::Request&) { return LoopbackHttpServer::text(""); });
  auto record = CocoaInterfaceData::create(loop.tickCount(), nullptr, {});
  record->functionNumber = 600;
  record->stringParam2 = silent.host();
  record->stringParam3 = "user";
  record->stringParam4 = "pw";
  record->stringParam5 = "a.bin";
  record->stringParam6 = (folder.path() / "late.bin").string();
  record->deadlineTicks = record->startTicks + 12;  // 0.2 s
  EXPECT_EQ(FTPRequestRunner(driver, record.get()), kFTPStarted);
  EXPECT_EQ(record->completed, 0);
  EXPECT_LT(loop.now(), kTimeout);
}

}  // namespace
}  // namespace kw
