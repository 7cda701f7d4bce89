// orbalo's entry point: the start-up stages in their fixed order, the wait for
// the player's end, and the clean-up of every stage that was reached.
#include <windows.h>

#include <cstdio>
#include <string>

#include "win/projector/BackgroundWindow.h"
#include "win/projector/DisplaySwitcher.h"
#include "win/projector/PlayerProcess.h"
#include "win/projector/RunFolder.h"
#include "win/projector/ShowError.h"
#include "win/projector/package/Placement.h"
#include "win/projector/package/StartupRules.h"

namespace kw::orbalo {

namespace {

// Tells the user, over the background window, that 640 x 480 is used instead
// of the configured resolution. Not a failure: no debugger output.
void ShowFellBackInfo(HWND owner, uint32_t resolutionCode) {
  const Size wanted = BackgroundSizeForCode(resolutionCode);
  char text[kErrorBufferSize];
  std::snprintf(text, sizeof text, kTextFellBack, wanted.width, wanted.height);
  MessageBoxA(owner, text, kInfoTitle, MB_OK | MB_ICONINFORMATION);
}

// Runs the stages; returns the last one reached and whether all succeeded.
struct StartupResult {
  int stage = kStageUnpack;
  bool complete = false;
};

StartupResult StartUp(HINSTANCE instance, PlayerProcess& player, DisplaySwitcher& display,
                      BackgroundWindow& background) {
  StartupResult result;
  result.stage = kStageUnpack;
  if (!player.Prepare()) return result;
  if (!player.Unpack()) return result;

  result.stage = kStageBackgroundWindow;
  if (background.Create(instance) == nullptr) return result;

  result.stage = kStagePlayerStart;
  background.SelectIntro();
  if (!player.Start()) return result;

  result.stage = kStageDisplaySwitch;
  if (display.SetMode(player.Window(), player.Config().resolutionCode) < 0) {
    player.Quit();
    return result;
  }

  result.stage = kStageRunning;
  result.complete = true;
  return result;
}

void Play(PlayerProcess& player, DisplaySwitcher& display, BackgroundWindow& background) {
  background.SetPlayerWindow(player.Window());
  if (display.FellBack()) background.MoveTo640x480();
  InvalidateRect(nullptr, nullptr, TRUE);  // everything repaints in the new mode

  player.Suspend();  // the player waits while the intro shows
  if (display.FellBack()) ShowFellBackInfo(background.GetWindow(), player.Config().resolutionCode);
  background.RunIntro();
  player.Resume();
  background.SelectBackground();

  player.WaitForEnd();
  background.RunOutro();
}

void CleanUp(int stage, PlayerProcess& player, DisplaySwitcher& display, BackgroundWindow& background) {
  if (stage == kStageRunning) display.Restore();
  if (stage >= kStagePlayerStart) background.Destroy();
  player.Cleanup();
  RemovePerRunFolder();
  if (stage < kStageRunning) ShowError("%s", std::string(StageFailureMessage(stage)).c_str());
}

int Run(HINSTANCE instance) {
  PlayerProcess player;
  DisplaySwitcher display;
  BackgroundWindow background;

  CreatePerRunFolder();
  const StartupResult result = StartUp(instance, player, display, background);
  if (result.complete) Play(player, display, background);
  CleanUp(result.stage, player, display, background);

  background.ReleaseResources();
  return 0;
}

}  // namespace

}  // namespace kw::orbalo

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) { return kw::orbalo::Run(instance); }
