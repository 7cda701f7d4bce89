// The synchronous command round trip of an ActionScript 3 movie: the host's
// NPN_Evaluate with the stand-in's exact KW_call script, through recogniser,
// stream record, runner, dispatch and XML reply, against parsing alone.
#include <benchmark/benchmark.h>

#include <array>
#include <memory>
#include <optional>
#include <string>

#include "mac/app/HostAssembly.h"
#include "mac/commands/CommandParser.h"
#include "mac/commands/KW_Commands.h"
#include "mac/platform/Bundle.h"
#include "mac/platform/QuickDraw.h"
#include "mac/pluginhost/FlashPlugin.h"
#include "tools/standin/ExternalScript.h"
#include "tools/swf/SwfWriter.h"

namespace {

// Requests with a number reply (run by the handler) and with a string reply
// (read from the window's creation parameter); range(0) picks one.
constexpr std::array<const char*, 2> kRequests = {"KW://KW_getMonitorNumber",
                                                  "KW://KW_zWindow.getParameter?windowID=0"};
constexpr std::array<const char*, 2> kReplies = {"<number>1</number>", "<string>main</string>"};
constexpr size_t kURLFormLead = 8;  // "KW://KW_"
// The stand-in records every stream it is given; a fresh instance keeps that bounded.
constexpr size_t kCallsPerInstance = 4096;

class BenchMouse : public kw::MouseLocator, public kw::ParserServices {
 public:
  kw::MousePoint currentMousePosition() override { return {10, 20}; }
  kw::Status startFTPTransfer(kw::CocoaInterfaceData&) override { return kw::kStatusOK; }
};

// A projector window that runs records through its command handler.
class BenchWindow : public kw::PluginWindow {
 public:
  explicit BenchWindow(kw::KW_Commands::Environment environment) : commands_(std::move(environment), nullptr) {
    commands_.setParameter("main");
  }
  void attach(kw::FlashPlugin* plugin) { plugin_ = plugin; }
  void processOneEvent(kw::CocoaInterfaceData& record) override {
    commands_.doZFunction(this, nullptr, nullptr, &dragging_, &quitting_, plugin_, &record);
  }
  void invalidateRect(const NPRect&) override {}
  void executeJavaScript(std::string_view) override {}

 private:
  kw::KW_Commands commands_;
  kw::FlashPlugin* plugin_ = nullptr;
  uint8_t dragging_ = 0;
  uint8_t quitting_ = 0;
};

// The host with the stand-in plug-in loaded and one ActionScript 3 movie playing.
class LoadedHost {
 public:
  LoadedHost() {
    if (const auto bundle = kw::Bundle::open(KW_STANDIN_PLUGIN_BUNDLE)) code_ = kw::LoadedCode::load(*bundle);
    kw::swf::MovieHeader header;
    header.version = 9;
    kw::swf::SwfWriter writer(header);
    movie_ = writer.fileAttributes(kw::swf::kFileAttributesAS3).setBackgroundColor(0x336699).showFrame().end().build();
  }
  ~LoadedHost() {
    plugin_.reset();
    window_.reset();
  }
  LoadedHost(const LoadedHost&) = delete;
  LoadedHost& operator=(const LoadedHost&) = delete;

  // A fresh window and instance, made as the movie view makes them; true when it plays.
  bool start() {
    plugin_.reset();
    window_.reset();
    if (!code_) return false;
    kw::KW_Commands::Environment environment;
    environment.host = &assembly_.host();
    environment.caching = &assembly_.registry;
    window_ = std::make_unique<BenchWindow>(environment);
    plugin_ = std::make_unique<kw::FlashPlugin>(assembly_.host(), false);
    assembly_.notifications.post(kw::notification::kAddNsPluginToList, plugin_.get());
    kw::FlashPlugin::InitializeArgs args;
    args.port = &port_;
    args.movieURL = "file:///bench/zvdata.zve";
    args.movieHandle = &movie_;
    args.plugin = code_.get();
    args.portRect = kw::QDRect{0, 0, 150, 200};
    args.window = window_.get();
    const kw::Status status = plugin_->initialize(args);
    plugin_->fType = kw::kPluginTypeFlash;
    window_->attach(plugin_.get());
    return status == kw::kStatusOK;
  }

  NPP instance() { return plugin_->instance(); }

 private:
  BenchMouse mouse_;
  kw::HostAssembly assembly_{{kw::RunLoop::ClockKind::Virtual, {}, nullptr, nullptr, nullptr, &mouse_}};
  std::unique_ptr<kw::LoadedCode> code_;
  std::vector<uint8_t> movie_;
  kw::GrafPort port_{200, 150};
  std::unique_ptr<BenchWindow> window_;
  std::unique_ptr<kw::FlashPlugin> plugin_;
};

// One NPN_Evaluate call as the plug-in makes it; answers the reply text.
std::optional<std::string> evaluate(NPNetscapeFuncs& browser, NPP instance, NPString& script) {
  NPVariant result{};
  result.type = NPVariantType_Void;
  browser.evaluate(instance, nullptr, &script, &result);
  std::optional<std::string> reply;
  if (result.type == NPVariantType_String) {
    reply.emplace(result.value.stringValue.UTF8Characters, result.value.stringValue.UTF8Length);
  }
  browser.releasevariantvalue(&result);
  return reply;
}

void BM_EvaluateRoundTrip(benchmark::State& state) {
  const auto which = static_cast<size_t>(state.range(0));
  LoadedHost loaded;
  if (!loaded.start()) {
    state.SkipWithError("the stand-in plug-in did not start");
    return;
  }
  const std::string text = kw::standin::externalInterfaceScript(kRequests[which]);
  NPString script{text.c_str(), static_cast<uint32_t>(text.size())};
  NPNetscapeFuncs& browser = kw::PluginHost::current().browserFuncs();
  if (evaluate(browser, loaded.instance(), script) != kReplies[which]) {
    state.SkipWithError("the round trip gave the wrong reply");
    return;
  }
  size_t calls = 0;
  for (auto _ : state) {
    NPVariant result{};
    result.type = NPVariantType_Void;
    browser.evaluate(loaded.instance(), nullptr, &script, &result);
    benchmark::DoNotOptimize(result.value.stringValue.UTF8Length);
    browser.releasevariantvalue(&result);
    if (++calls == kCallsPerInstance) {
      state.PauseTiming();
      loaded.start();
      calls = 0;
      state.ResumeTiming();
    }
  }
}

// Baseline: the parse alone, of the same request into a fresh record.
void BM_ParseAlone(benchmark::State& state) {
  const std::string request = std::string(kRequests[static_cast<size_t>(state.range(0))]).substr(kURLFormLead);
  BenchMouse services;
  for (auto _ : state) {
    kw::CocoaInterfaceData record;
    const kw::Status status = kw::parseCommand(request, &record, true, false, services);
    benchmark::DoNotOptimize(status);
    benchmark::DoNotOptimize(record.functionNumber);
  }
}

// Argument: request (0 getMonitorNumber, 1 zWindow.getParameter).
BENCHMARK(BM_ParseAlone)->DenseRange(0, 1);
BENCHMARK(BM_EvaluateRoundTrip)->DenseRange(0, 1);

}  // namespace
