// The content package: PackageReader against real files (finding the package
// or appending the empty one, the chain walk and its defences, extraction) and
// orbalo-pack (configuration values, the listing's JSON, packages built and
// read back, runs of the real binary). Packages are laid out by hand, so tests
// can build the broken ones a writer would never produce.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/tools/ToolRunner.h"
#include "tools/orbalo-pack/PackTool.h"
#include "win/projector/package/PackageReader.h"
#include "win/projector/package/PackageWriter.h"

namespace kw::orbalo {
namespace {

namespace fs = std::filesystem;
using kw::test::quoted;
using kw::test::readFile;
using kw::test::runTool;

using Bytes = std::vector<uint8_t>;

void Put32(Bytes& bytes, size_t offset, size_t value) {
  WriteLe32(bytes.data() + offset, static_cast<uint32_t>(value));
}

// Bytes with little repetition, so compression and copies are checked byte by byte.
Bytes Pattern(size_t length, uint32_t seed = 1) {
  Bytes bytes(length);
  for (auto& byte : bytes) byte = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 16);
  return bytes;
}

struct RawEntry {
  uint32_t id;
  Bytes payload;
};

// Offsets of the records of Package(hostLength, entries), then the trailer's.
std::vector<size_t> RecordOffsets(size_t hostLength, const std::vector<RawEntry>& entries) {
  std::vector<size_t> offsets{hostLength + 4};
  for (const auto& entry : entries) offsets.push_back(offsets.back() + kRecordSize + entry.payload.size());
  return offsets;
}

// A host of `hostLength` bytes, start magic, the entries back to back, trailer.
Bytes Package(size_t hostLength, const std::vector<RawEntry>& entries) {
  Bytes out = Pattern(hostLength, 7);
  const auto append32 = [&out](size_t value) {
    out.resize(out.size() + 4);
    Put32(out, out.size() - 4, value);
  };
  const auto offsets = RecordOffsets(hostLength, entries);
  append32(kPackageMagic);
  for (size_t i = 0; i < entries.size(); ++i) {
    append32(entries[i].id);
    append32(entries[i].payload.size());
    append32(offsets[i + 1]);
    out.insert(out.end(), entries[i].payload.begin(), entries[i].payload.end());
  }
  for (size_t word : {size_t{kPackageMagic}, hostLength, size_t{0}}) append32(word);
  return out;
}

// EntryHeader + data, compressed with zlib when asked.
Bytes FilePayload(const std::string& name, const Bytes& data, bool compress) {
  EntryHeader header;
  header.compressed = compress ? 1 : 0;
  header.fileLength = header.copyLength = static_cast<uint32_t>(data.size());
  header.SetName(name);
  const auto head = EncodeHeader(header);
  Bytes out(head.begin(), head.end());
  const Bytes body = compress ? CompressZlib(data.data(), data.size()) : data;
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

Bytes ConfigPayload(const ProjectorConfig& config = {}) {
  const auto bytes = config.ToBytes();
  return Bytes(bytes.begin(), bytes.end());
}

// A temporary folder with orbalo-pack's input files.
class PackageTest : public kw::test::ToolTest {
 protected:
  void SetUp() override {
    const std::pair<const char*, uint32_t> inputs[] = {{"orbalo.exe", 4096},   {"runtime.dll", 20000},
                                                       {"player.exe", 600000}, {"intro.jpg", 300},
                                                       {"notes.txt", 5000},    {"extra.dat", 10}};
    for (const auto& [name, length] : inputs) kw::test::writeFile(path(name), Pattern(length, length));
  }
  std::string Write(const Bytes& bytes) { return temp_.write("package.exe", bytes).string(); }
  Bytes Read(const std::string& file) const {
    const std::string text = readFile(file);
    return Bytes(text.begin(), text.end());
  }
  PackageReader Reader(const std::vector<RawEntry>& entries) { return PackageReader(Write(Package(16, entries))); }
  std::string Folder() const {
    fs::create_directories(path("out"));
    return path("out") + "/";
  }
  int Run(std::vector<std::string> args) { return pack::RunOrbaloPack(args, out_, err_); }
  std::ostringstream out_;
  std::ostringstream err_;
};

TEST_F(PackageTest, ReaderFindsThePackageByItsTrailerOrAppendsTheEmptyOneOnceUnlessItCannotWrite) {
  const Bytes package = Package(1000, {{kEntryConfig, ConfigPayload()}});
  const PackageReader found(Write(package));
  EXPECT_EQ(found.PackageOffset(), 1000u);
  EXPECT_EQ(Read(found.Path()), package) << "a found package is never touched";

  const Bytes host = Pattern(333);  // 0x14D
  const std::string hostOnly = Write(host);
  EXPECT_EQ(PackageReader(hostOnly).PackageOffset(), 333u);
  EXPECT_EQ(PackageReader(hostOnly).PackageOffset(), 333u) << "the second open finds the appended package";
  Bytes expected = host;
  expected.insert(expected.end(), {0xEE, 0xFF, 0xCA, 0x74, 0xEE, 0xFF, 0xCA, 0x74, 0x4D, 0x01, 0, 0, 0, 0, 0, 0});
  EXPECT_EQ(Read(hostOnly), expected);

  const Bytes good = Package(200, {});
  std::vector<Bytes> broken(4, good);
  Put32(broken[0], good.size() - 4, 1);                 // last word not 0
  Put32(broken[1], 200, 0x12345678);                    // no start magic at P
  Put32(broken[2], good.size() - 8, 0x7FFFFFF0);        // P past the end
  Put32(broken[3], good.size() - 8, good.size() - 12);  // P inside the trailer
  broken.push_back({0xEE, 0xFF, 0xCA});                 // shorter than a trailer
  for (const Bytes& file : broken) {
    const std::string brokenPath = Write(file);
    EXPECT_FALSE(PackageReader(brokenPath, MissingPackage::kLeaveAlone).IsValid());
    EXPECT_EQ(Read(brokenPath), file) << "kLeaveAlone never writes";
    EXPECT_EQ(PackageReader(brokenPath).PackageOffset(), file.size()) << "a fresh empty package goes behind";
    EXPECT_EQ(Read(brokenPath).size(), file.size() + kEmptyPackageSize);
  }
  EXPECT_FALSE(PackageReader(Write(Package(0, {{kEntryConfig, ConfigPayload()}}))).IsValid()) << "P = 0";
  EXPECT_FALSE(PackageReader(path("absent.exe")).IsValid());
  // A folder opens for reading but not for "r+b", like a running, locked executable.
  const PackageReader locked(Folder());
  EXPECT_FALSE(locked.IsValid());
  EXPECT_FALSE(locked.ReadEntry(kEntryConfig).has_value());
  EXPECT_FALSE(PackageReader(std::string(kMaxPathBytes, 'a')).IsValid()) << "511 bytes and the NUL at most";
}

TEST_F(PackageTest, ReaderWalkFollowsNextAndFindsTheFirstEntryOfAnIdButNeverTheTrailer) {
  // Laid out as 9, 7, 4, 9 but chained 9 -> 4 -> 7 -> 9 -> trailer.
  const std::vector<RawEntry> entries = {{9, Bytes{1, 1}}, {kEntryPlayer, Bytes{2}}, {4, Bytes{3}}, {9, Bytes{4}}};
  const auto at = RecordOffsets(16, entries);
  Bytes file = Package(16, entries);
  Put32(file, at[0] + 8, at[2]);
  Put32(file, at[2] + 8, at[1]);
  Put32(file, at[1] + 8, at[3]);
  const PackageReader reader(Write(file));
  std::vector<uint32_t> ids;
  for (const auto& item : reader.Walk()) ids.push_back(item.record.id);
  EXPECT_EQ(ids, (std::vector<uint32_t>{9, 4, kEntryPlayer, 9}));
  EXPECT_EQ(reader.ReadEntry(9), (Bytes{1, 1}));
  EXPECT_FALSE(reader.FindEntry(kPackageMagic).has_value());
  const auto found = reader.FindEntry(kEntryPlayer);
  ASSERT_TRUE(found.has_value());
  EXPECT_EQ(found->size, 1u);
  EXPECT_EQ(std::fgetc(found->file.get()), 2) << "the handle stands at the first payload byte";
}

TEST_F(PackageTest, ReaderLoopsNextOutsideThePackageAndSizesPastTheEndStopTheWalk) {
  const std::vector<RawEntry> entries = {{2, Bytes{1}}, {3, Bytes{2}}, {4, Bytes{3}}, {5, Bytes{4}}};
  const auto at = RecordOffsets(100, entries);
  struct Lie {
    size_t field, value;
    bool finds2, finds5;
  };
  const Lie lies[] = {
      {at[0] + 8, at[0], true, false},       // a record pointing at itself
      {at[3] + 8, at[0], true, true},        // the last back to the first
      {at[3] + 8, at[1], true, true},        // into the middle
      {at[0] + 8, 0xFFFFFFF0, true, false},  // outside the file
      {at[0] + 8, 20, true, false},          // before the package
      {at[0] + 8, at[4] + 5, true, false},   // inside the trailer
      {at[0] + 4, 0xFFFFFFF0, false, true},  // a size past the end: nothing read, nothing allocated
  };
  for (const Lie& lie : lies) {
    SCOPED_TRACE(testing::Message() << lie.field << " " << lie.value);
    Bytes file = Package(100, entries);
    Put32(file, lie.field, lie.value);
    const PackageReader reader(Write(file));
    EXPECT_FALSE(reader.FindEntry(99).has_value());
    EXPECT_LE(reader.Walk().size(), 4u * 4u);
    EXPECT_EQ(reader.ReadEntry(2).has_value(), lie.finds2);
    EXPECT_EQ(reader.ReadEntry(5).has_value(), lie.finds5);
  }
}

TEST_F(PackageTest, ReaderExtractsStoredAndCompressedFilesAcrossBufferBoundaries) {
  for (const bool compress : {false, true}) {
    for (size_t length :
         {size_t{0}, size_t{1}, kCopyBufferSize - 1, kCopyBufferSize, kCopyBufferSize + 1, 3 * kCopyBufferSize + 123}) {
      SCOPED_TRACE(testing::Message() << length << (compress ? " compressed" : " stored"));
      Bytes data = Pattern(length, static_cast<uint32_t>(length));
      for (size_t i = 0; i < data.size(); i += 3) data[i] = 0;  // compressible, yet checked byte by byte
      const PackageReader reader = Reader({{kEntryPlayer, FilePayload("p.exe", data, compress)},
                                           {kEntryFirstExtra, FilePayload("x", Pattern(999), compress)}});
      ASSERT_TRUE(reader.ExtractEntry(kEntryPlayer, Folder()));
      EXPECT_EQ(Read(Folder() + "p.exe"), data);
    }
  }
}

TEST_F(PackageTest, ReaderNamesEndAtTheirNulMustFitAndMustNotLeaveTheFolder) {
  Bytes payload = FilePayload("movie.exe", Bytes{'h', 'i'}, false);
  const std::string garbage = "\xff/../../evil";
  std::copy(garbage.begin(), garbage.end(), payload.begin() + 12 + 10);  // after "movie.exe\0"
  const std::string name(60, 'n');
  const PackageReader reader = Reader({{kEntryPlayer, payload}, {9, FilePayload(name, Bytes{1}, false)}});
  const std::string folder = Folder();
  EntryHeader header;
  ASSERT_TRUE(reader.ExtractEntry(kEntryPlayer, folder, &header));
  EXPECT_EQ(header.Name(), "movie.exe");
  EXPECT_EQ(readFile(folder + "movie.exe"), "hi");
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
  const std::string longFolder = folder + std::string(kMaxPathBytes - folder.size() - name.size(), 'f') + "/";
  EXPECT_FALSE(reader.ExtractEntry(9, longFolder)) << "the target path must fit in 512 bytes";
  EXPECT_TRUE(reader.ExtractEntry(9, folder));

  for (const char* safe : {"ORBALORT.DLL", "fscommand\\x.exe", "a..b", ".hidden", "dir/./file", "x y"}) {
    EXPECT_TRUE(IsSafeEntryName(safe)) << safe;
  }
  const std::string deep = folder + "deep/";
  fs::create_directories(deep);
  for (const std::string unsafe :
       {"../escape.txt", "a/../../escape.txt", "..\\escape.txt", "/tmp/escape.txt", "\\escape.txt", "C:escape.txt",
        "C:\\escape.txt", "sub/. ./escape.txt", "...", "", "bad\nname", "stream:alt"}) {
    EXPECT_FALSE(Reader({{8, FilePayload(unsafe, Bytes{1}, false)}}).ExtractEntry(8, deep, &header)) << unsafe;
    EXPECT_EQ(header.Name(), unsafe) << "the header is still given back";
  }
  EXPECT_FALSE(fs::exists(folder + "escape.txt"));
  EXPECT_FALSE(fs::exists(path("escape.txt")));
  EXPECT_TRUE(fs::is_empty(deep));
}

TEST_F(PackageTest, ReaderShortHeadersLyingLengthsAndCorruptStreamsFail) {
  const Bytes data = Pattern(1000);
  Bytes storedTooLong = FilePayload("stored.bin", data, false);
  Put32(storedTooLong, 8, 1001);  // copy length beyond the entry's bytes
  Bytes truncated = FilePayload("cut.bin", data, true);
  truncated.resize(truncated.size() - 10);  // the stream ends beyond the entry
  Bytes overlong = FilePayload("long.bin", data, true);
  Put32(overlong, 4, 999);  // inflates to more than the declared length
  Bytes corrupt = FilePayload("bad.bin", Pattern(100000), true);
  for (size_t i = kEntryHeaderSize + 2; i < corrupt.size(); i += 5) corrupt[i] ^= 0x5A;
  const PackageReader reader = Reader({{7, Bytes(75, 0)},
                                       {8, storedTooLong},
                                       {9, truncated},
                                       {10, overlong},
                                       {11, corrupt},
                                       {12, FilePayload("n", data, true)}});
  EntryHeader header;
  header.SetName("stale");
  EXPECT_FALSE(reader.ReadEntryHeader(7, header)) << "75 bytes";
  EXPECT_EQ(header.Name(), "") << "the header is cleared first";
  const std::string folder = Folder();
  for (uint32_t id : {7u, 8u, 9u, 10u, 11u, 13u}) EXPECT_FALSE(reader.ExtractEntry(id, folder)) << id;  // 13: none
  EXPECT_FALSE(fs::exists(folder + "stored.bin")) << "refused before the target is made";
  EXPECT_TRUE(fs::exists(folder + "bad.bin")) << "a corrupt stream leaves its partial file";
  EXPECT_FALSE(reader.ExtractEntry(12, path("no-such-folder/")));
}

TEST(PackTool, ConfigValuesInEveryAcceptedSpellingLinesThatSetFieldsByNameAndEntryJson) {
  EXPECT_EQ(pack::ParseConfigValue("intro-time", "12"), 12u);
  EXPECT_EQ(pack::ParseConfigValue("colour", "0x00FF0000"), 0x00FF0000u);
  EXPECT_EQ(pack::ParseConfigValue("colour", "#102030"), 0x00302010u) << "RRGGBB becomes 0x00BBGGRR";
  EXPECT_EQ(pack::ParseConfigValue("resolution", "800x600"), 4u);
  EXPECT_EQ(pack::ParseConfigValue("stretch", "Yes"), 1u);
  EXPECT_EQ(pack::ParseConfigValue("stretch", "off"), 0u);
  EXPECT_EQ(pack::ParseConfigValue("x", "-10"), 0xFFFFFFF6u);
  for (const char* bad : {"", "12a", "0x", "99999999999", "#12345", "700x500", "--1"}) {
    EXPECT_FALSE(pack::ParseConfigValue("resolution", bad).has_value()) << bad;
  }
  ProjectorConfig config;
  for (const char* fine : {"  alignment = 8  ", "# a comment", ""}) EXPECT_FALSE(pack::ApplyConfigLine(config, fine));
  for (const char* bad : {"alignment", "speed=3", "intro-time=soon"}) EXPECT_TRUE(pack::ApplyConfigLine(config, bad));
  EXPECT_EQ(config.alignmentCode, 8u);
  EXPECT_EQ(config.introSeconds, 3u) << "a refused line changes nothing";

  // Listing: file entries with their header and escaped name, short ones with
  // id and size only (the configuration's JSON: see the binary's --list).
  const Bytes payload = FilePayload("a\"b\x01\xe9", Bytes(5, 1), false);
  EXPECT_EQ(pack::EntryJson(8, 81, payload.data(), kEntryHeaderSize),
            "{\"id\":8,\"size\":81,\"compressed\":0,\"length\":5,\"name\":\"a\\\"b\\u0001\\u00e9\"}");
  EXPECT_EQ(pack::EntryJson(9, 3, payload.data(), 3), "{\"id\":9,\"size\":3}");
}

TEST_F(PackageTest, PackBuildsBackToBackEntriesInIdOrderBehindAnUnchangedHost) {
  ASSERT_EQ(Run({"--host", path("orbalo.exe"), "-o", path("out.exe"), "--extra", path("notes.txt"), "--player",
                 path("player.exe"), "--runtime", path("runtime.dll"), "--intro", path("intro.jpg"), "--extra",
                 path("extra.dat")}),
            0)
      << err_.str();
  const std::string file = readFile(path("out.exe"));
  EXPECT_EQ(file.substr(0, 4096), readFile(path("orbalo.exe")));
  const PackageReader reader(path("out.exe"), MissingPackage::kLeaveAlone);
  EXPECT_EQ(reader.PackageOffset(), 4096u);
  std::vector<uint32_t> ids;
  uint64_t expectedRecord = 4096 + 4;
  for (const auto& item : reader.Walk()) {
    ids.push_back(item.record.id);
    EXPECT_EQ(item.payloadOffset, expectedRecord + kRecordSize) << "written in one pass, back to back";
    expectedRecord = item.record.next;
  }
  EXPECT_EQ(expectedRecord, file.size() - kRecordSize) << "the last next points at the trailer";
  EXPECT_EQ(ids, (std::vector<uint32_t>{1, 2, 4, 7, 8, 9}));

  EntryHeader header;
  ASSERT_TRUE(reader.ReadEntryHeader(kEntryPlayer, header));
  EXPECT_NE(header.compressed, 0u) << "compressed unless --store";
  ASSERT_TRUE(reader.ExtractEntry(kEntryRuntime, temp_.path().string() + "/", &header));
  EXPECT_EQ(header.Name(), "ORBALORT.DLL") << "whatever the runtime file was called";
  EXPECT_EQ(readFile(path("ORBALORT.DLL")), readFile(path("runtime.dll")));
}

TEST_F(PackageTest, PackSetWinsOverConfigFileAndPictureFlagsFollowTheGivenFiles) {
  std::ofstream(path("show.cfg")) << "# show\nresolution=2\nbackground=1\nintro-time=9\nextras=5\n";
  ASSERT_EQ(Run({"--set", "intro-time=4", "--config", path("show.cfg"), "--host", path("orbalo.exe"), "-o",
                 path("out.exe"), "--outro", path("intro.jpg")}),
            0)
      << err_.str();
  const auto bytes = PackageReader(path("out.exe")).ReadEntry(kEntryConfig).value_or(Bytes{});
  ProjectorConfig expected;
  expected.resolutionCode = 2;
  expected.introSeconds = 4;
  expected.hasOutro = 1;  // no background picture given, no extra file
  EXPECT_EQ(ProjectorConfig::FromBytes(bytes.data(), bytes.size()), expected);
}

TEST_F(PackageTest, PackFailedBuildLeavesTheOldOutputAndNoTemporaryFile) {
  kw::test::writeFile(path("out.exe"), Bytes{'o', 'l', 'd'});
  const std::string longName = path(std::string(64, 'l') + ".txt");  // entry names hold 63 bytes
  std::ofstream(longName) << "x";
  const std::pair<std::vector<std::string>, int> rows[] = {
      {{"--player", path("absent.exe")}, 1}, {{"--extra", longName}, 1},
      {{"--host", path("absent.exe")}, 1},   {{"--set", "volume=3"}, 2},
      {{"--intro", "a", "--intro", "b"}, 2}, {{"--player"}, 2}};
  for (const auto& [options, code] : rows) {
    std::vector<std::string> args = {"--host", path("orbalo.exe"), "-o", path("out.exe")};
    args.insert(args.end(), options.begin(), options.end());
    EXPECT_EQ(Run(args), code) << options[0];
  }
  EXPECT_EQ(readFile(path("out.exe")), "old");
  EXPECT_EQ(std::distance(fs::directory_iterator(temp_.path()), fs::directory_iterator()), 8)
      << "the seven inputs and the old output";
}

TEST_F(PackageTest, PackBinaryExtractsEveryFileEntryOfAnyPackageButNoEscapingName) {
  // Out of id order, a duplicate id, a sub-folder name and a name that climbs out.
  kw::test::writeFile(path("any.exe"), Package(77, {{9, FilePayload("fscommand\\go.bat", Bytes{'g', 'o'}, true)},
                                                    {kEntryConfig, ConfigPayload()},
                                                    {kEntryPlayer, FilePayload("player.exe", Bytes{'p'}, false)},
                                                    {9, FilePayload("second.bat", Bytes{'x'}, false)},
                                                    {8, FilePayload("../escaped.txt", Bytes{1}, false)}}));
  const std::string folder = path("unpacked");
  EXPECT_EQ(runTool("orbalo-pack", "--extract " + quoted(path("any.exe")) + " " + quoted(folder)).exitCode, 1);
  EXPECT_EQ(readFile(folder + "/fscommand/go.bat"), "go");
  EXPECT_EQ(readFile(folder + "/player.exe"), "p");
  EXPECT_FALSE(fs::exists(folder + "/second.bat")) << "the first entry of an id wins";
  EXPECT_FALSE(fs::exists(path("escaped.txt")));
}

}  // namespace
}  // namespace kw::orbalo
