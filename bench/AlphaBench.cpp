// The alpha pass of a windowless movie's frame copy over a 1920 x 1080 frame,
// against a plain copy of the same buffer in the same run: the pass should
// cost about what moving the frame's bytes once costs.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "mac/windows/AlphaReconstruction.h"

namespace {

constexpr int32_t kWidth = 1920;
constexpr int32_t kHeight = 1080;
constexpr size_t kRowBytes = size_t{kWidth} * 4;
constexpr size_t kFrameBytes = kRowBytes * kHeight;

// A frame over black and the same over white, with varied pixels.
struct Frames {
  std::vector<uint8_t> overBlack = std::vector<uint8_t>(kFrameBytes);
  std::vector<uint8_t> overWhite = std::vector<uint8_t>(kFrameBytes);
  Frames() {
    for (size_t i = 0; i < kFrameBytes; ++i) {
      overBlack[i] = static_cast<uint8_t>(i * 7);
      overWhite[i] = static_cast<uint8_t>(i * 7 + (i >> 12));
    }
  }
};

void BM_AlphaPass(benchmark::State& state) {
  Frames frames;
  for (auto _ : state) {
    kw::reconstructAlpha(frames.overBlack.data(), frames.overWhite.data(), kWidth, kHeight, kRowBytes);
    benchmark::DoNotOptimize(frames.overBlack.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kFrameBytes));
}
BENCHMARK(BM_AlphaPass);

void BM_FrameMemcpyBaseline(benchmark::State& state) {
  Frames frames;
  for (auto _ : state) {
    std::memcpy(frames.overBlack.data(), frames.overWhite.data(), kFrameBytes);
    benchmark::DoNotOptimize(frames.overBlack.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(kFrameBytes));
}
BENCHMARK(BM_FrameMemcpyBaseline);

}  // namespace
