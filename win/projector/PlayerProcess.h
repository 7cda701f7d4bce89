// The movie player: configuration, runtime library and unpacking at start-up,
// then the separate process whose window orbalo takes over and waits for.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "win/projector/package/PackageFormat.h"

namespace kw::orbalo {

class PlayerProcess {
 public:
  // How long the search for the player's window may take before the start
  // counts as failed (the search also ends when the player process ends).
  static constexpr DWORD kWindowSearchLimitMs = 60000;
  // A wait for the player's end that fails this many times in a row ends.
  static constexpr int kMaxFailedWaits = 50;

  PlayerProcess() = default;
  PlayerProcess(const PlayerProcess&) = delete;
  PlayerProcess& operator=(const PlayerProcess&) = delete;
  virtual ~PlayerProcess();

  // Writes "basepath.txt" into the per-run folder (which becomes current) and
  // returns the path of the player program there.
  virtual std::string ComposeStartPath();

  // Reads the configuration (entry 1), extracts ORBALORT.DLL (entry 2) into
  // the system temporary folder and loads it from there. True only when all
  // of that worked.
  bool Prepare();
  // Extracts the player (entry 7) and the extra files (8, 9, ...) into the
  // per-run folder, after creating its "fscommand\" folder. True when every
  // extraction worked; each is tried even after one failed.
  bool Unpack();
  // Starts the player, finds its window, strips it and installs the filters.
  bool Start();
  void Suspend();
  // Resumes the player thread and shows its window.
  void Resume();
  // Posts a quit message to the player window.
  void Quit();
  // Dispatches this thread's messages until the player process has ended.
  void WaitForEnd();
  // ORBALO_Cleanup through its slot, then the library is unloaded.
  void Cleanup();

  const ProjectorConfig& Config() const { return config_; }
  HWND Window() const { return window_; }

 private:
  HWND FindPlayerWindow() const;

  ProjectorConfig config_{};
  HMODULE library_ = nullptr;
  RECT clientRect_{};
  PROCESS_INFORMATION process_{};
  HWND window_ = nullptr;
};

}  // namespace kw::orbalo
