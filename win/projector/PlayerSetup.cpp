// The player's preparation side: configuration, runtime library, unpacking,
// "basepath.txt" and the start path, and the clean-up of the library.
#include <windows.h>

#include <cstdio>

#include "win/projector/OwnPackage.h"
#include "win/projector/PlayerProcess.h"
#include "win/projector/RunFolder.h"
#include "win/projector/RuntimeLibrary.h"
#include "win/projector/SystemPaths.h"
#include "win/projector/package/StartupRules.h"

namespace kw::orbalo {

namespace {
constexpr unsigned kShortPathBytes = 256;
}

bool PlayerProcess::Prepare() {
  const std::optional<ProjectorConfig> config = ReadOwnConfig();
  if (!config) return false;
  config_ = *config;

  // The library goes into the temporary folder itself, not the per-run
  // folder, and stays there after the run (the next run replaces it).
  const std::string temp = TemporaryPath(kShortPathBytes);
  const bool extracted = !temp.empty() && OwnPackage().ExtractEntry(kEntryRuntime, temp);

  if (!temp.empty()) SetCurrentDirectoryA(temp.c_str());
  library_ = LoadRuntimeLibrary();
  SetCurrentDirectoryA(PerRunFolder().c_str());
  return extracted && library_ != nullptr;
}

bool PlayerProcess::Unpack() {
  const std::string& folder = PerRunFolder();
  CreateDirectoryA((folder + std::string(kFscommandFolder)).c_str(), nullptr);

  const PackageReader reader = OwnPackage();
  bool ok = reader.ExtractEntry(kEntryPlayer, folder);

  // The count comes from the package. More extra files than the chain has
  // records cannot all be there, so the trying stops at the chain's length
  // (the result is a failure either way) instead of walking the chain up to
  // four billion times.
  const uint64_t records = reader.Walk().size();
  const uint64_t count = config_.extraFileCount;
  const uint64_t tried = count < records ? count : records;
  if (tried < count) ok = false;
  for (uint64_t i = 0; i < tried; ++i) {
    if (!reader.ExtractEntry(static_cast<uint32_t>(kEntryFirstExtra + i), folder)) ok = false;
  }
  return ok;
}

std::string PlayerProcess::ComposeStartPath() {
  std::string path = PerRunFolder();
  SetCurrentDirectoryA(path.c_str());

  // The movie loads this file as variables to learn where the projector lives.
  const std::string text = BasePathText(ExecutablePath(kShortPathBytes));
  if (std::FILE* file = std::fopen(std::string(kBasePathFile).c_str(), "w")) {
    std::fputs(text.c_str(), file);
    std::fclose(file);
  }

  EntryHeader header;
  OwnPackage().ReadEntryHeader(kEntryPlayer, header);
  path += header.Name();
  return path;
}

void PlayerProcess::Cleanup() {
  CallCleanup();
  UnloadRuntimeLibrary();
  library_ = nullptr;
}

}  // namespace kw::orbalo
