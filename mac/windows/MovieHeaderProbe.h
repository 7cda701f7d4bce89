// The movie header probe: reads the first bytes of a movie file (plain,
// compressed or enciphered) and reports its rectangle, version, frame rate,
// frame count, background colour and whether it carries ActionScript 3 code.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

#include "mac/platform/QuickDraw.h"
#include "mac/pluginhost/Status.h"

namespace kw {

// Statuses of the probe besides kStatusOK and passed-through zlib codes
// (Z_STREAM_ERROR -2, Z_MEM_ERROR -4, Z_VERSION_ERROR -6).
inline constexpr Status kProbeNotAMovie = -1;     // no "FWS"/"CWS" signature, even after deciphering
inline constexpr Status kProbeReadError = -36;    // the file's length or bytes could not be read
inline constexpr Status kProbeTooShort = -39;     // the data ends before the movie header does
inline constexpr Status kProbeFileNotFound = -43; // the file does not exist or cannot be opened

// The probe reads at most this many bytes of a file and inflates a compressed
// movie to at most min(kProbeOutputBytes, file length) bytes, its 8-byte
// header included.
inline constexpr size_t kProbeReadBytes = 2048;
inline constexpr size_t kProbeOutputBytes = 4096;
// Tags are scanned only within this many bytes after the 8-byte file header.
inline constexpr size_t kProbeWindowBytes = 31;

struct MovieHeaderInfo {
  Status status = kStatusOK;
  // The first (up to) three bytes of the data after deciphering; empty when
  // nothing could be read. Set whenever the bytes were read, even on failure.
  std::string signature;
  // The fields below are meaningful only when status is kStatusOK.
  uint8_t version = 0;
  QDRect rect;                 // twips / 20; values beyond 32767 are clamped
  uint32_t frameRate = 0;      // whole frames per second (the fraction is dropped)
  uint32_t frameCount = 0;
  std::optional<uint32_t> backgroundColor;  // 0xRRGGBB, when a SetBackgroundColor tag was met
  bool actionScript3 = false;
};

// Probes a movie held in memory; its size counts as the file length. Only the
// first kProbeReadBytes are read, so a prefix of at least 4096 bytes probes
// like the whole movie.
MovieHeaderInfo probeMovieHeader(std::span<const uint8_t> bytes);

// Probes the movie file at `path`, reading at most kProbeReadBytes of it.
MovieHeaderInfo probeMovieHeader(const std::filesystem::path& path);

// The probe with the host's out-parameters. The ActionScript 3 flag is
// cleared first; on failure nothing else is written. `frameCount` and
// `backgroundColor` may be null; the colour is left unchanged when the movie
// has no SetBackgroundColor tag within the scanned bytes.
Status probeMovieHeader(const std::filesystem::path& path, QDRect& rect, uint32_t& frameRate,
                        uint32_t* frameCount, uint32_t* backgroundColor, uint8_t& version,
                        bool& actionScript3);

// Short form: the rectangle only.
Status probeMovieSize(const std::filesystem::path& path, QDRect& rect);

// Short form: the ActionScript 3 flag only (false on failure).
Status probeIsActionScript3(const std::filesystem::path& path, bool& actionScript3);

}  // namespace kw
