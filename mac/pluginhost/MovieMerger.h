// The movie merger: prepares the bytes that a plug-in instance's first stream
// receives, merging an ActionScript 1/2 movie with the wrapper movie.
//
// The merged movie is the user's header (signature "FWS", version 9, file
// length T), the wrapper's tags from H(wrapper) + 11 up to its last 4 bytes
// (its header and its first two tags dropped, its End tag cut off), the
// ScriptLimits tag 44 10 00 01 78 00 (recursion depth 256, time-out 120 s) and
// the user's tags. A compressed (CWS) user movie is inflated first; enciphered
// inputs (bytes 1 and 2 not "W", "S") are deciphered with one cipher pass.
// Without the wrapper flag the (deciphered) movie is written as it is.
//
// Malformed inputs get kStatusMalformedMovie and nothing written: a movie or
// wrapper too short for its header, a wrapper shorter than H + 11 (after
// dropping its last 4 bytes), a declared file length below the header length,
// or an inflated movie too short for its header. Lying lengths are not
// trusted: an uncompressed movie that is shorter than its declared length
// contributes the bytes present, a compressed movie contributes the bytes that
// actually inflate, and the stored length T is always the true total.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "mac/pluginhost/Status.h"
#include "mac/pluginhost/SwfFormat.h"

namespace kw {

// The merged movie's ScriptLimits tag: code 65, length 4, depth 256, 120 s.
inline constexpr uint8_t kScriptLimitsTag[6] = {0x44, 0x10, 0x00, 0x01, 0x78, 0x00};

// Bytes of the wrapper's first two tags that are dropped besides its header.
inline constexpr size_t kWrapperSkippedTagBytes = 11;

// What the stream code learned from the plug-in before the merge.
struct PluginWriteConditions {
  bool hasWriteReady = true;  // the plug-in exports NPP_WriteReady
  bool hasWrite = true;       // the plug-in exports NPP_Write
  bool writeReady = true;     // NPP_WriteReady answered non-zero
};

struct MergeResult {
  Status status = kStatusOK;
  // The bytes for one NPP_Write at offset 0; unset when nothing is to be written.
  // Set together with a non-zero status only without the wrapper flag.
  std::optional<std::vector<uint8_t>> written;
};

using swf::movieHeaderLength;

// Merges `movie` with `wrapper` (both as stored: plain or enciphered) when
// `wrapperFlag` is set, or passes `movie` through when it is clear.
// Status: 0, -1 (out of memory), kStatusCipherTooShort, a zlib error of the
// inflate, or kStatusMalformedMovie.
MergeResult mergeMovie(std::span<const uint8_t> wrapper, std::span<const uint8_t> movie,
                       bool wrapperFlag, const PluginWriteConditions& plugin = {});

}  // namespace kw
