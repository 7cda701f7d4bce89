// Merging a large compressed movie with the wrapper, against zlib's own
// uncompress of the same stream: the merge should cost little beyond the inflate.
#include <benchmark/benchmark.h>

#include <zlib.h>

#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "mac/pluginhost/MovieMerger.h"
#include "tools/swf/SwfWriter.h"

namespace {

using Bytes = std::vector<uint8_t>;

struct MergeFixture {
  Bytes wrapper;
  Bytes movie;                  // compressed (CWS)
  size_t inflatedLength = 0;    // the movie's length field: header and tags uncompressed
};

// About 20 MB of tags: bodies drawn from a small alphabet with repeated runs,
// so that the stream compresses a few times over, as picture and sound data do.
const MergeFixture& fixture() {
  static const MergeFixture built = [] {
    MergeFixture f;
    auto wrapper = kw::swf::SwfWriter::wrapperLike();
    wrapper.doActionGetURL("KW://KW_backChannel", "").showFrame().end();
    f.wrapper = wrapper.build();

    kw::swf::MovieHeader header;
    header.compressed = true;
    kw::swf::SwfWriter movie(header);
    std::mt19937 random(42);
    Bytes body(64 * 1024);
    for (int tag = 0; tag < 320; ++tag) {
      for (size_t i = 0; i < body.size();) {
        const auto value = static_cast<uint8_t>(random() % 24);
        const size_t run = 1 + random() % 6;
        for (size_t r = 0; r < run && i < body.size(); ++r) body[i++] = value;
      }
      movie.tag(kw::swf::kTagMetadata, body, true);
    }
    movie.showFrame().end();
    f.movie = movie.build();
    f.inflatedLength = movie.uncompressed().size();
    return f;
  }();
  return built;
}

void BM_MergeCompressedMovie(benchmark::State& state) {
  const MergeFixture& f = fixture();
  for (auto _ : state) {
    kw::MergeResult result = kw::mergeMovie(f.wrapper, f.movie, true);
    if (result.status != kw::kStatusOK) state.SkipWithError("merge failed");
    benchmark::DoNotOptimize(result.written->data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(f.inflatedLength));
  state.counters["compressedMB"] = static_cast<double>(f.movie.size()) / 1e6;
  state.counters["inflatedMB"] = static_cast<double>(f.inflatedLength) / 1e6;
}
BENCHMARK(BM_MergeCompressedMovie)->Unit(benchmark::kMillisecond);

// Baseline: uncompress into a fresh buffer, as the merge needs one per movie.
void BM_ZlibUncompressFreshBuffer(benchmark::State& state) {
  const MergeFixture& f = fixture();
  for (auto _ : state) {
    uLongf length = static_cast<uLongf>(f.inflatedLength - 8);
    Bytes out(length);
    if (uncompress(out.data(), &length, f.movie.data() + 8, static_cast<uLong>(f.movie.size() - 8)) != Z_OK) {
      state.SkipWithError("uncompress failed");
    }
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(f.inflatedLength));
}
BENCHMARK(BM_ZlibUncompressFreshBuffer)->Unit(benchmark::kMillisecond);

// Baseline: the inflate alone, into a buffer allocated once.
void BM_ZlibUncompressReusedBuffer(benchmark::State& state) {
  const MergeFixture& f = fixture();
  Bytes out(f.inflatedLength - 8);
  for (auto _ : state) {
    uLongf length = static_cast<uLongf>(out.size());
    if (uncompress(out.data(), &length, f.movie.data() + 8, static_cast<uLong>(f.movie.size() - 8)) != Z_OK) {
      state.SkipWithError("uncompress failed");
    }
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(f.inflatedLength));
}
BENCHMARK(BM_ZlibUncompressReusedBuffer)->Unit(benchmark::kMillisecond);

}  // namespace
