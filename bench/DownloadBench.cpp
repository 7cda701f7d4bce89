// Download throughput of a 200 MB file over loopback: our download (libcurl on
// the run loop, progress events built and delivered for every block) against
// the curl command-line tool writing the same file from the same server.
#include <benchmark/benchmark.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "mac/net/CurlDriver.h"
#include "mac/net/Downloads.h"
#include "mac/platform/RunLoop.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/TempDir.h"

namespace {

constexpr size_t kFileSize = 200u * 1024 * 1024;

struct Setup {
  kw::test::TempDir folder;
  kw::test::LoopbackHttpServer server{[](const kw::test::LoopbackHttpServer::Request&) {
    static const std::string body(kFileSize, 'z');
    return kw::test::LoopbackHttpServer::text(body, "application/octet-stream");
  }};
  std::filesystem::path destination = folder.path() / "download.bin";
};

Setup& setup() {
  static Setup instance;
  return instance;
}

void BM_OurDownload(benchmark::State& state) {
  Setup& s = setup();
  const std::string url = s.server.url("/big.bin");
  kw::RunLoop loop(kw::RunLoop::ClockKind::Real);
  kw::CurlDriver driver(loop);
  size_t events = 0;
  for (auto _ : state) {
    kw::DownloadServices services;
    services.driver = &driver;
    kw::Download download(services, [&events](const kw::EventMessage& event) {
      benchmark::DoNotOptimize(event.xml->data());
      ++events;
    });
    if (download.downloadFile(url.c_str(), s.destination, 1) != 0) state.SkipWithError("not started");
    loop.runUntil([&download] { return !download.isRunning(); }, 120);
    if (std::filesystem::file_size(s.destination) != kFileSize) state.SkipWithError("short file");
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kFileSize));
  state.counters["events"] = static_cast<double>(events) / static_cast<double>(state.iterations());
}

void BM_CurlTool(benchmark::State& state) {
  Setup& s = setup();
  const std::string url = s.server.url("/big.bin");
  const std::string output = s.destination.string();
  for (auto _ : state) {
    const char* argv[] = {"curl", "-s", "-o", output.c_str(), url.c_str(), nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, "curl", nullptr, nullptr, const_cast<char* const*>(argv), environ) != 0) {
      state.SkipWithError("no curl tool");
      break;
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (status != 0 || std::filesystem::file_size(s.destination) != kFileSize) state.SkipWithError("curl failed");
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(kFileSize));
}

BENCHMARK(BM_CurlTool)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
BENCHMARK(BM_OurDownload)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

}  // namespace
