// Benchmark of the movie header probe: a 50 MB compressed movie against a 4 KB
// one, from a file and from memory. The probe reads a fixed prefix, so the
// pairs should run at about the same speed (a ratio near 1).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "mac/windows/MovieHeaderProbe.h"
#include "tools/swf/SwfWriter.h"

namespace {

namespace fs = std::filesystem;

// A compressed movie of about `bodyBytes`: FileAttributes, SetBackgroundColor,
// one large data tag. Stored deflate blocks keep the file as large as the movie.
kw::swf::Bytes compressedMovie(size_t bodyBytes) {
  kw::swf::MovieHeader header;
  header.compressed = true;
  header.compressionLevel = 0;
  kw::swf::SwfWriter writer = kw::swf::SwfWriter::wrapperLike(header, kw::swf::kFileAttributesAS3, 0x202020);
  kw::swf::Bytes body(bodyBytes);
  for (size_t i = 0; i < body.size(); ++i) body[i] = static_cast<uint8_t>(i * 131 + (i >> 9));
  writer.tag(87, body).showFrame().end();
  return writer.build();
}

struct Fixtures {
  kw::swf::Bytes big = compressedMovie(50U << 20);
  kw::swf::Bytes small = compressedMovie(4000);
  fs::path bigFile = write(big, "big");
  fs::path smallFile = write(small, "small");

  ~Fixtures() {
    std::error_code ignored;
    fs::remove(bigFile, ignored);
    fs::remove(smallFile, ignored);
  }
  static fs::path write(const kw::swf::Bytes& bytes, const char* name) {
    const fs::path path = fs::temp_directory_path() /
                          ("kw-probe-bench-" + std::to_string(getpid()) + "-" + name + ".swf");
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
  }
};

const Fixtures& fixtures() {
  static const Fixtures instance;
  return instance;
}

void probeFile(benchmark::State& state, const fs::path& path) {
  for (auto _ : state) {
    const kw::MovieHeaderInfo info = kw::probeMovieHeader(path);
    if (info.status != kw::kStatusOK || !info.actionScript3) state.SkipWithError("probe failed");
    benchmark::DoNotOptimize(info);
  }
}

void probeMemory(benchmark::State& state, const kw::swf::Bytes& movie) {
  for (auto _ : state) {
    const kw::MovieHeaderInfo info = kw::probeMovieHeader(movie);
    if (info.status != kw::kStatusOK || !info.actionScript3) state.SkipWithError("probe failed");
    benchmark::DoNotOptimize(info);
  }
}

void BM_ProbeFile_4KB(benchmark::State& state) { probeFile(state, fixtures().smallFile); }
void BM_ProbeFile_50MB(benchmark::State& state) { probeFile(state, fixtures().bigFile); }
void BM_ProbeMemory_4KB(benchmark::State& state) { probeMemory(state, fixtures().small); }
void BM_ProbeMemory_50MB(benchmark::State& state) { probeMemory(state, fixtures().big); }

BENCHMARK(BM_ProbeFile_4KB);
BENCHMARK(BM_ProbeFile_50MB);
BENCHMARK(BM_ProbeMemory_4KB);
BENCHMARK(BM_ProbeMemory_50MB);

}  // namespace
