// The per-run folder name, its paths, the "basepath.txt" text and the stage
// failure messages.
#include "win/projector/package/StartupRules.h"

namespace kw::orbalo {

namespace {
constexpr std::string_view kFolderAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
}

std::string PerRunFolderName(uint32_t seed) {
  seed &= 0xFFFFu;
  std::string name;
  for (uint32_t i = 1; i <= 5; ++i) name += kFolderAlphabet[(i * seed) % kFolderAlphabet.size()];
  return name;
}

std::string PerRunFolderPath(std::string_view tempPath, uint32_t seed) {
  std::string path(tempPath);
  path += PerRunFolderName(seed);
  path += kPerRunFolderSuffix;
  return path;
}

bool IsInsideTempPath(std::string_view folder, std::string_view tempPath) {
  return !tempPath.empty() && folder.substr(0, tempPath.size()) == tempPath;
}

std::string BasePathText(std::string_view executablePath) {
  const size_t slash = executablePath.rfind('\\');
  std::string text = "basepath=";
  if (slash != std::string_view::npos) text += executablePath.substr(0, slash + 1);
  return text;
}

std::string_view StageFailureMessage(int stage) {
  switch (stage) {
    case kStageUnpack:
      return "Unable to load configuration.";
    case kStageBackgroundWindow:
      return "Unable to create background window.";
    case kStagePlayerStart:
      return "Unable to load swf.";
    case kStageDisplaySwitch:
      return "Unable to switch to fullscreen mode.";
    default:
      return {};
  }
}

}  // namespace kw::orbalo
