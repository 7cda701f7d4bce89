// libFuzzer target: the movie header probe over arbitrary bytes must never
// crash, read out of bounds or report a rectangle from a failed probe.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "mac/windows/MovieHeaderProbe.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const kw::MovieHeaderInfo info = kw::probeMovieHeader(std::span(data, size));
  if (info.status != kw::kStatusOK && (info.backgroundColor || info.actionScript3)) std::abort();
  if (info.signature.size() > 3) std::abort();
  if (info.rect.top < 0 || info.rect.left < 0 || info.rect.bottom < 0 || info.rect.right < 0) std::abort();
  return 0;
}
