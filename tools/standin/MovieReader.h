// Reads a movie (FWS, or CWS with a zlib body) into what the stand-in plug-in
// plays: the header fields, a few tag facts and, per frame, its getURL actions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kw::standin {

// One getURL the movie makes: ActionGetURL, or ActionGetURL2 after pushed strings.
struct GetURLAction {
  std::string url;
  std::string target;
  friend bool operator==(const GetURLAction&, const GetURLAction&) = default;
};

using FrameActions = std::vector<GetURLAction>;

struct Movie {
  bool compressed = false;
  uint8_t version = 0;
  uint32_t fileLength = 0;       // as the header claims it
  int32_t xMin = 0, xMax = 0, yMin = 0, yMax = 0;  // frame rectangle, twips
  uint16_t frameRate = 0;        // 8.8 fixed point
  uint16_t frameCount = 0;       // as the header claims it
  std::optional<uint32_t> background;  // first SetBackgroundColor, 0xRRGGBB
  bool hasScriptLimits = false;
  bool actionScript3 = false;    // DoABC (72, 82), SymbolClass (76) or FileAttributes flag 0x08
  bool truncated = false;        // no End tag, a tag ran past the data, or the body did not inflate fully
  std::vector<uint16_t> tagCodes;  // every tag read, in order (End included)
  // The getURL actions of each frame. A frame ends at ShowFrame; actions after
  // the last ShowFrame form one more frame.
  std::vector<FrameActions> frames;
};

enum class MovieError { TooShort, BadSignature, BadBody };

struct MovieResult {
  std::optional<Movie> movie;
  MovieError error = MovieError::TooShort;  // meaningful when there is no movie
};

// The most bytes a compressed body is inflated to; anything beyond is dropped
// and the movie is marked truncated.
inline constexpr size_t kMaxInflatedBody = size_t{64} << 20;

// Reads the movie. A header that does not fit in the bytes, or an unknown
// signature, gives no movie; tags that run past the end are dropped and mark
// the movie truncated, keeping everything read before them.
MovieResult readMovie(std::span<const uint8_t> bytes);

// Decodes one action list (a DoAction body) into its getURL actions.
// ActionGetURL (0x83) gives its two strings; ActionGetURL2 (0x9A) takes the
// target and then the URL from the strings pushed (0x96) before it. Any other
// action is skipped by its length and forgets the pushed values. Decoding
// stops at action 0 or at a record that runs past the list.
FrameActions decodeActions(std::span<const uint8_t> actions);

// The frame index (0-based) due `elapsedTicks` (1/60 s) after the first frame,
// at `frameRate` (8.8 fixed point), never past `lastFrame`. A rate of 0 holds
// the first frame.
uint32_t frameDue(uint32_t elapsedTicks, uint16_t frameRate, uint32_t lastFrame);

}  // namespace kw::standin
