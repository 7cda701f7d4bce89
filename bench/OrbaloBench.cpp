// orbalo benchmarks: extracting a large compressed package entry through
// PackageReader against a plain zlib inflate of the same stream, and the
// picture stretch against libgd's resampling copy.
#include <benchmark/benchmark.h>
#include <gd.h>
#include <stdlib.h>
#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "win/projector/package/PackageReader.h"
#include "win/projector/package/Placement.h"

namespace {

namespace fs = std::filesystem;
using namespace kw::orbalo;

const fs::path& Folder() {
  static const fs::path folder = [] {
    std::string pattern = (fs::temp_directory_path() / "orbalo-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) abort();
    return fs::path(pattern);
  }();
  return folder;
}

// Peak resident memory since the last reset, and the reset itself (Linux).
long ProcStatusKb(const char* key) {
  std::ifstream status("/proc/self/status");
  std::string word;
  while (status >> word) {
    if (word == key) {
      long kb = 0;
      status >> kb;
      return kb;
    }
  }
  return -1;
}
void ResetPeakRss() { std::ofstream("/proc/self/clear_refs") << "5"; }

// A package whose entry 7 is `megabytes` MiB of compressible bytes, written
// once by streaming deflate (no buffer of the entry's size). Returns the path
// and fills the stream's offset and length in the file.
struct BigPackage {
  std::string path;
  uint64_t streamOffset = 0;
  uint64_t streamLength = 0;
};

BigPackage MakeBigPackage(uint32_t megabytes) {
  static std::map<uint32_t, BigPackage> made;
  if (auto it = made.find(megabytes); it != made.end()) return it->second;
  BigPackage package;
  package.path = (Folder() / ("big" + std::to_string(megabytes) + ".exe")).string();
  std::FILE* out = std::fopen(package.path.c_str(), "wb");
  if (out == nullptr) abort();
  const std::vector<uint8_t> host(4096, 'M');
  std::fwrite(host.data(), 1, host.size(), out);
  uint8_t magic[4];
  WriteLe32(magic, kPackageMagic);
  std::fwrite(magic, 1, 4, out);
  const uint64_t recordOffset = host.size() + 4;
  uint8_t placeholder[kRecordSize + kEntryHeaderSize] = {};
  std::fwrite(placeholder, 1, sizeof placeholder, out);
  package.streamOffset = recordOffset + sizeof placeholder;

  z_stream stream{};
  deflateInit(&stream, 1);
  std::vector<uint8_t> chunk(1 << 20);
  std::vector<uint8_t> packed(1 << 20);
  for (uint32_t block = 0; block < megabytes; ++block) {
    for (size_t i = 0; i < chunk.size(); ++i) chunk[i] = static_cast<uint8_t>((i * 7 + block) % 251 < 200 ? 'a' + i % 13 : i);
    stream.next_in = chunk.data();
    stream.avail_in = static_cast<uInt>(chunk.size());
    const int flush = block + 1 == megabytes ? Z_FINISH : Z_NO_FLUSH;
    do {
      stream.next_out = packed.data();
      stream.avail_out = static_cast<uInt>(packed.size());
      deflate(&stream, flush);
      const size_t have = packed.size() - stream.avail_out;
      std::fwrite(packed.data(), 1, have, out);
      package.streamLength += have;
    } while (stream.avail_out == 0);
  }
  deflateEnd(&stream);
  const uint64_t trailerOffset = package.streamOffset + package.streamLength;
  const auto trailer = EncodeRecord(EntryRecord{kPackageMagic, static_cast<uint32_t>(host.size()), 0});
  std::fwrite(trailer.data(), 1, trailer.size(), out);

  EntryHeader header;
  header.compressed = 1;
  header.fileLength = megabytes << 20;
  header.copyLength = header.fileLength;
  header.SetName("player.exe");
  const auto record = EncodeRecord(EntryRecord{kEntryPlayer,
                                               static_cast<uint32_t>(kEntryHeaderSize + package.streamLength),
                                               static_cast<uint32_t>(trailerOffset)});
  const auto headerBytes = EncodeHeader(header);
  std::fseek(out, static_cast<long>(recordOffset), SEEK_SET);
  std::fwrite(record.data(), 1, record.size(), out);
  std::fwrite(headerBytes.data(), 1, headerBytes.size(), out);
  std::fclose(out);
  made[megabytes] = package;
  return package;
}

void BM_ExtractEntry(benchmark::State& state) {
  const auto megabytes = static_cast<uint32_t>(state.range(0));
  const BigPackage package = MakeBigPackage(megabytes);
  const std::string target = (Folder() / "extracted").string() + "/";
  fs::create_directories(target);
  PackageReader reader(package.path, MissingPackage::kLeaveAlone);
  if (!reader.IsValid()) state.SkipWithError("no package");
  long peakDelta = 0;
  for (auto _ : state) {
    const long before = ProcStatusKb("VmRSS:");
    ResetPeakRss();
    if (!reader.ExtractEntry(kEntryPlayer, target)) state.SkipWithError("extraction failed");
    peakDelta = std::max(peakDelta, ProcStatusKb("VmHWM:") - before);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * (int64_t{megabytes} << 20));
  state.counters["peak_rss_delta_kb"] = static_cast<double>(peakDelta);
  state.counters["reader_buffers_kb"] = 2.0 * kCopyBufferSize / 1024;
}

// Baseline: the same stream inflated straight from the file with zlib.
void BM_ZlibInflateToFile(benchmark::State& state) {
  const auto megabytes = static_cast<uint32_t>(state.range(0));
  const BigPackage package = MakeBigPackage(megabytes);
  const std::string target = (Folder() / "baseline.bin").string();
  std::vector<uint8_t> in(kCopyBufferSize);
  std::vector<uint8_t> out(kCopyBufferSize);
  long peakDelta = 0;
  for (auto _ : state) {
    const long before = ProcStatusKb("VmRSS:");
    ResetPeakRss();
    std::FILE* source = std::fopen(package.path.c_str(), "rb");
    std::FILE* sink = std::fopen(target.c_str(), "wb");
    std::fseek(source, static_cast<long>(package.streamOffset), SEEK_SET);
    z_stream stream{};
    inflateInit(&stream);
    uint64_t remaining = package.streamLength;
    int result = Z_OK;
    while (result != Z_STREAM_END && remaining > 0) {
      const size_t count = std::fread(in.data(), 1, std::min<uint64_t>(remaining, in.size()), source);
      if (count == 0) break;
      remaining -= count;
      stream.next_in = in.data();
      stream.avail_in = static_cast<uInt>(count);
      do {
        stream.next_out = out.data();
        stream.avail_out = static_cast<uInt>(out.size());
        result = inflate(&stream, Z_NO_FLUSH);
        std::fwrite(out.data(), 1, out.size() - stream.avail_out, sink);
      } while (stream.avail_out == 0 && result == Z_OK);
    }
    inflateEnd(&stream);
    std::fclose(sink);
    std::fclose(source);
    if (result != Z_STREAM_END) state.SkipWithError("inflate failed");
    peakDelta = std::max(peakDelta, ProcStatusKb("VmHWM:") - before);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * (int64_t{megabytes} << 20));
  state.counters["peak_rss_delta_kb"] = static_cast<double>(peakDelta);
}

BENCHMARK(BM_ZlibInflateToFile)->Arg(64)->Arg(256)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ExtractEntry)->Arg(64)->Arg(256)->Unit(benchmark::kMillisecond)->Iterations(3);

// A 640x480 test picture with gradients and edges.
gdImagePtr MakePicture() {
  gdImagePtr image = gdImageCreateTrueColor(640, 480);
  for (int y = 0; y < 480; ++y) {
    for (int x = 0; x < 640; ++x) {
      gdImageSetPixel(image, x, y, gdTrueColor(x % 256, y % 256, (x / 16 + y / 16) % 2 * 255));
    }
  }
  return image;
}

void BM_StretchPicture(benchmark::State& state) {
  gdImagePtr image = MakePicture();
  std::vector<uint32_t> pixels;
  for (int y = 0; y < 480; ++y) {
    for (int x = 0; x < 640; ++x) pixels.push_back(static_cast<uint32_t>(gdImageTrueColorPixel(image, x, y)));
  }
  gdImageDestroy(image);
  for (auto _ : state) {
    std::vector<uint32_t> stretched = Resample(pixels.data(), {640, 480}, {1024, 768});
    benchmark::DoNotOptimize(stretched.data());
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * 1024 * 768);
}

// Baseline: libgd's resampling copy of the same picture.
void BM_GdCopyResampled(benchmark::State& state) {
  gdImagePtr image = MakePicture();
  for (auto _ : state) {
    gdImagePtr stretched = gdImageCreateTrueColor(1024, 768);
    gdImageCopyResampled(stretched, image, 0, 0, 0, 0, 1024, 768, 640, 480);
    benchmark::DoNotOptimize(stretched->tpixels);
    gdImageDestroy(stretched);
  }
  gdImageDestroy(image);
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * 1024 * 768);
}

BENCHMARK(BM_GdCopyResampled)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StretchPicture)->Unit(benchmark::kMillisecond);

// The temporary folder goes when the program ends.
struct Cleanup {
  ~Cleanup() {
    std::error_code ignored;
    fs::remove_all(Folder(), ignored);
  }
} cleanup;

}  // namespace
