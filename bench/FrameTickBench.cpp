// One frame tick of a movie view playing through the real stand-in plug-in
// (event choice, mouse polling, the port origin dance, NPP_HandleEvent and
// NPP_SetWindow), against the stand-in's own NPP_HandleEvent + NPP_SetWindow
// called directly: the ratio is what the view adds per tick.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>

#include "mac/app/HostAssembly.h"
#include "mac/platform/Bundle.h"
#include "mac/platform/Desktop.h"
#include "mac/platform/Window.h"
#include "mac/pluginhost/FlashPlugin.h"
#include "mac/windows/FlashView.h"
#include "tests/support/TempDir.h"
#include "tools/swf/SwfWriter.h"

namespace {

namespace fs = std::filesystem;

// An application bundle with the stand-in plug-in and a 200 x 150 movie, and
// a view playing it in a window.
class PlayingView {
 public:
  PlayingView() {
    const fs::path resources = app_ / "Contents" / "Resources";
    fs::create_directories(resources);
    fs::copy(KW_STANDIN_PLUGIN_BUNDLE, resources / "fpb.plugin", fs::copy_options::recursive);
    fs::copy_file(KW_WRAPPER_MOVIE, resources / "RidavOdarez.zve");
    kw::swf::MovieHeader header;
    header.frame = {0, 200 * 20, 0, 150 * 20};
    header.frameRate = kw::swf::fixed88(12);
    kw::test::writeFile(resources / "zvdata.zve",
                        kw::swf::SwfWriter(header).setBackgroundColor(0x336699).showFrame().end().build());
    bundle_ = kw::Bundle::open(app_);
    assembly_.services().application = &desktop_;

    kw::WindowServices services =
        kw::ApplicationParts{assembly_, desktop_, bundle_ ? &*bundle_ : nullptr, nullptr, {}}.windowServices();
    services.systemPlugin = dir_.path() / "none";
    view_ = std::make_shared<kw::FlashView>(services, kw::DesktopRect{{0, 0}, {200, 150}});
    window_.setContentView(view_);
    view_->setTargetWindow(&window_, nullptr);
    ok_ = view_->loadMovie(std::nullopt, nullptr, nullptr, 0, "main") == 0;
  }
  ~PlayingView() {
    view_->stopTimer();
    view_.reset();
  }
  PlayingView(const PlayingView&) = delete;
  PlayingView& operator=(const PlayingView&) = delete;

  bool ok() const { return ok_; }
  kw::FlashView& view() { return *view_; }
  kw::PluginHost& host() { return assembly_.host(); }

 private:
  kw::test::TempDir dir_;
  fs::path app_ = dir_.path() / "X.app";
  std::optional<kw::Bundle> bundle_;
  kw::HostAssembly assembly_{{kw::RunLoop::ClockKind::Virtual, app_, nullptr, nullptr, nullptr, nullptr}};
  kw::Desktop desktop_{assembly_.runLoop, app_};
  kw::Window window_{desktop_, {{100, 100}, {200, 150}}, kw::kTitledWindowMask};
  std::shared_ptr<kw::FlashView> view_;
  bool ok_ = false;
};

void BM_ViewFrameTick(benchmark::State& state) {
  PlayingView playing;
  if (!playing.ok()) {
    state.SkipWithError("the movie did not start");
    return;
  }
  for (auto _ : state) playing.view().processEvent();
}
BENCHMARK(BM_ViewFrameTick);

void BM_StandInHandleEventAndSetWindowBaseline(benchmark::State& state) {
  PlayingView playing;
  if (!playing.ok()) {
    state.SkipWithError("the movie did not start");
    return;
  }
  kw::FlashPlugin& plugin = *playing.view().plugin();
  const NPPluginFuncs& funcs = playing.host().pluginFuncs();
  kw::EventRecord null{};
  for (auto _ : state) {
    funcs.event(plugin.instance(), &null);
    benchmark::DoNotOptimize(funcs.setwindow(plugin.instance(), &plugin.m_NPWindow));
  }
}
BENCHMARK(BM_StandInHandleEventAndSetWindowBaseline);

}  // namespace
