// The application around the projector windows, for window, view and
// controller tests: a generated application bundle ("X.app" with the movie
// "zvdata.zve", the wrapper movie, the stand-in plug-in as "fpb.plugin" and
// optionally the settings "prefs.xml"), the product's host assembly on a
// virtual run loop, the sim desktop, user defaults in the temporary folder,
// and the window services that tie them together. Tests compile with the
// stand-in's locations (KW_STANDIN_PLUGIN_BUNDLE, KW_WRAPPER_MOVIE).
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "mac/app/HostAssembly.h"
#include "mac/app/playerSettings.h"
#include "mac/platform/Bundle.h"
#include "mac/platform/Desktop.h"
#include "mac/platform/PropertyList.h"
#include "mac/platform/UserDefaults.h"
#include "mac/pluginhost/EventConverter.h"
#include "mac/windows/WindowServices.h"
#include "tests/support/TempDir.h"
#include "tools/swf/SwfWriter.h"

namespace kw::test {

// A movie of the given size and frame rate whose frames make the getURL
// requests given (URL, target), one list per frame.
inline swf::Bytes appMovie(int32_t width, int32_t height, double frameRate = 12, bool actionScript3 = false,
                           const std::vector<std::vector<std::pair<std::string, std::string>>>& frames = {{}}) {
  swf::MovieHeader header;
  header.version = actionScript3 ? 9 : 8;
  header.frame = {0, width * 20, 0, height * 20};
  header.frameRate = swf::fixed88(frameRate);
  swf::SwfWriter writer(header);
  if (actionScript3) writer.fileAttributes(swf::kFileAttributesAS3);
  writer.setBackgroundColor(0x336699);
  if (actionScript3) writer.doABC(std::vector<uint8_t>{0, 0, 0, 0, 0x10, 0, 0x2E, 0});
  for (const auto& frame : frames) {
    for (const auto& [url, target] : frame) writer.doActionGetURL(url, target);
    writer.showFrame();
  }
  return writer.end().build();
}

class AppFixture : public ::testing::Test {
 public:
  AppFixture() {
    std::filesystem::create_directories(resources());
    std::filesystem::create_directories(appPath / "Contents" / "MacOS");
    std::filesystem::copy(KW_STANDIN_PLUGIN_BUNDLE, resources() / "fpb.plugin",
                          std::filesystem::copy_options::recursive);
    std::filesystem::copy_file(KW_WRAPPER_MOVIE, resources() / "RidavOdarez.zve");
    writeFile(resources() / "zvdata.zve", appMovie(200, 150));
    bundle = Bundle::open(appPath);
    playerSettings::setBundle(bundle);
  }
  ~AppFixture() override { playerSettings::setBundle(std::nullopt); }

  std::filesystem::path resources() const { return appPath / "Contents" / "Resources"; }
  // Writes the settings file from key / value pairs.
  void writeSettings(const PlistValue::Dictionary& settings) {
    writePropertyListAtomically(resources() / "prefs.xml", PlistValue::dictionary(settings));
  }
  // The application's parts, and the services a window or view is made with.
  ApplicationParts parts() { return {assembly, desktop, bundle ? &*bundle : nullptr, &defaults, {"zivra"}}; }
  WindowServices services() {
    WindowServices s = parts().windowServices();
    s.systemPlugin = dir.path() / "no-system-plugin";
    return s;
  }
  // Global (top-left, y downward) to screen coordinates of the main screen.
  DesktopPoint screenPoint(double h, double v) const {
    const DesktopRect screen = desktop.mainScreenFrame();
    return {screen.origin.x + h, screen.maxY() - v};
  }

  TempDir dir;
  std::filesystem::path appPath = dir.path() / "X.app";
  std::optional<Bundle> bundle;
  HostAssembly assembly{{RunLoop::ClockKind::Virtual, appPath, nullptr, nullptr, nullptr, nullptr}};
  Desktop desktop{assembly.runLoop, appPath};
  UserDefaults defaults{dir.path() / "defaults.plist"};

 private:
  // The desktop is the application the plug-in host terminates.
  bool plugged_ = [this] { assembly.services().application = &desktop; return true; }();
};

}  // namespace kw::test
