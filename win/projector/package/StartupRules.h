// Portable start-up rules of orbalo: the per-run folder name, the paths built
// from it, the "basepath.txt" text and the messages of the start-up stages.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kw::orbalo {

// Held by the per-run folder path while no folder exists: \\INVALID_PATH\ .
inline constexpr std::string_view kInvalidPath = "\\\\INVALID_PATH\\";
inline constexpr std::string_view kPerRunFolderSuffix = "TMP\\";
inline constexpr std::string_view kFscommandFolder = "fscommand\\";
inline constexpr std::string_view kBasePathFile = "basepath.txt";

// Five characters from "A..Z0..9": character i (1..5) is [(i * seed) mod 36].
// Only the low 16 bits of the seed count (the calendar time masked).
std::string PerRunFolderName(uint32_t seed);

// tempPath + name + "TMP\" (tempPath ends in a backslash).
std::string PerRunFolderPath(std::string_view tempPath, uint32_t seed);

// The recursive delete only works inside the temporary path: true when
// `folder` begins with `tempPath` byte for byte (and tempPath is not empty).
bool IsInsideTempPath(std::string_view folder, std::string_view tempPath);

// "basepath=" + the executable's folder (cut after its last backslash,
// keeping it), no line end. A path without backslash gives "basepath=".
std::string BasePathText(std::string_view executablePath);

// Start-up stages 0-4 and the message each failing stage reports.
enum StartupStage : int {
  kStageUnpack = 0,
  kStageBackgroundWindow = 1,
  kStagePlayerStart = 2,
  kStageDisplaySwitch = 3,
  kStageRunning = 4,
};
// "Unable to load configuration." ... ; empty for stage 4 and unknown stages.
std::string_view StageFailureMessage(int stage);

// Other texts of the projector (printf formats where they take arguments).
inline constexpr const char* kTextLoadLibraryFailed = "Unable to load ORBALORT.DLL %d";
inline constexpr const char* kTextMissingFunctions = "Unable to get all functions from runtime dll.";
inline constexpr const char* kTextStartPlayerFailed = "unable to start swf: %d";
inline constexpr const char* kTextFellBack =
    "Your gfx driver does not support the desired resolution of %dx%d. Using 640x480.";
inline constexpr const char* kTextModeTrace = "0x%x %d %d\n";
inline constexpr const char* kErrorTitle = "Orbalo";
inline constexpr const char* kInfoTitle = "Info";
inline constexpr const char* kWindowClassName = "Orbalo Window";
inline constexpr const char* kWindowTitle = "Orbalo";
inline constexpr const char* kIconResource = "MAINICON";
inline constexpr const char* kInstallExport = "ORBALO_Install";
inline constexpr const char* kCleanupExport = "ORBALO_Cleanup";
inline constexpr const char* kTaskBarClass = "Shell_traywnd";
inline constexpr size_t kErrorBufferSize = 1024;

}  // namespace kw::orbalo
