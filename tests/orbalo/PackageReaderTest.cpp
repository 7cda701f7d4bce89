// PackageReader against real files: package detection and the empty-package
// append, the chain walk, payload reads, extraction and the defences against
// hostile packages.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/orbalo/PackageBytes.h"
#include "tests/support/TempDir.h"
#include "win/projector/package/PackageReader.h"

namespace kw::orbalo::test {
namespace {

namespace fs = std::filesystem;
using kw::test::readFile;
using kw::test::TempDir;

Bytes FileBytes(const fs::path& path) {
  const std::string text = readFile(path);
  return Bytes(text.begin(), text.end());
}

class PackageReaderTest : public ::testing::Test {
 protected:
  std::string Write(const Bytes& bytes, const std::string& name = "orbalo.exe") {
    return temp_.write(name, bytes).string();
  }
  std::string Folder() {
    const fs::path folder = temp_.path() / "out";
    fs::create_directories(folder);
    return folder.string() + "/";
  }
  TempDir temp_;
};

TEST_F(PackageReaderTest, TrailerWithStartMagicAtItsOffsetIsAPackage) {
  const Bytes file = BuildPackage(HostImage(1000), {{kEntryConfig, ConfigPayload({})}});
  const std::string path = Write(file);
  PackageReader reader(path);
  ASSERT_TRUE(reader.IsValid());
  EXPECT_EQ(reader.PackageOffset(), 1000u);
  EXPECT_EQ(FileBytes(path), file) << "a found package is never touched";
}

TEST_F(PackageReaderTest, FileWithoutPackageGetsTheEmptyPackageAppendedOnce) {
  const Bytes host = HostImage(333);
  const std::string path = Write(host);
  PackageReader reader(path);
  ASSERT_TRUE(reader.IsValid());
  EXPECT_EQ(reader.PackageOffset(), 333u);
  const Bytes after = FileBytes(path);
  ASSERT_EQ(after.size(), 333u + kEmptyPackageSize);
  EXPECT_EQ(Bytes(after.begin(), after.begin() + 333), host);
  EXPECT_EQ(Get32(after, 333), kPackageMagic);
  EXPECT_EQ(Get32(after, 337), kPackageMagic);
  EXPECT_EQ(Get32(after, 341), 333u);
  EXPECT_EQ(Get32(after, 345), 0u);

  PackageReader again(path);
  EXPECT_EQ(again.PackageOffset(), 333u);
  EXPECT_EQ(FileBytes(path).size(), after.size()) << "the second open finds the appended package";
}

TEST_F(PackageReaderTest, BrokenTrailersCountAsNoPackage) {
  const Bytes good = BuildPackage(HostImage(200), {});
  Bytes nonZeroLastWord = good;
  Put32(nonZeroLastWord, nonZeroLastWord.size() - 4, 1);
  Bytes wrongStartMagic = good;
  Put32(wrongStartMagic, 200, 0x12345678);
  Bytes offsetPastEnd = good;
  Put32(offsetPastEnd, offsetPastEnd.size() - 8, 0x7FFFFFF0);
  Bytes offsetInsideTrailer = good;
  Put32(offsetInsideTrailer, offsetInsideTrailer.size() - 8, static_cast<uint32_t>(good.size() - 12));
  const Bytes tooShort = {0xEE, 0xFF, 0xCA};

  for (const Bytes& file : {nonZeroLastWord, wrongStartMagic, offsetPastEnd, offsetInsideTrailer, tooShort}) {
    const std::string path = Write(file);
    PackageReader untouched(path, MissingPackage::kLeaveAlone);
    EXPECT_FALSE(untouched.IsValid());
    EXPECT_EQ(FileBytes(path), file) << "kLeaveAlone never writes";

    PackageReader appended(path);
    ASSERT_TRUE(appended.IsValid());
    EXPECT_EQ(appended.PackageOffset(), file.size()) << "a fresh empty package goes behind the old bytes";
    EXPECT_EQ(FileBytes(path).size(), file.size() + kEmptyPackageSize);
  }
}

TEST_F(PackageReaderTest, PackageOffsetZeroCountsAsNoPackage) {
  const Bytes file = BuildPackage({}, {{kEntryConfig, ConfigPayload({})}});
  const std::string path = Write(file);
  PackageReader reader(path);
  EXPECT_FALSE(reader.IsValid());
  EXPECT_FALSE(reader.FindEntry(kEntryConfig).has_value());
}

TEST_F(PackageReaderTest, UnopenableOrUnwritableFilesLeaveTheReaderInvalid) {
  PackageReader missing(( temp_.path() / "absent.exe").string());
  EXPECT_FALSE(missing.IsValid());
  // A folder opens for reading but not for "r+b", like a running, locked executable.
  const fs::path folder = temp_.path() / "locked";
  fs::create_directories(folder);
  PackageReader locked(folder.string());
  EXPECT_FALSE(locked.IsValid());
  EXPECT_FALSE(locked.ReadEntry(kEntryConfig).has_value());
  // The path buffer holds 511 bytes and its NUL.
  PackageReader tooLong(std::string(kMaxPathBytes, 'a'));
  EXPECT_FALSE(tooLong.IsValid());
}

TEST_F(PackageReaderTest, EmptyPackageFindsNothingNotEvenTheTrailerId) {
  PackageReader reader(Write(BuildPackage(HostImage(64), {})));
  ASSERT_TRUE(reader.IsValid());
  for (uint32_t id : {0u, kEntryConfig, kEntryPlayer, kPackageMagic}) EXPECT_FALSE(reader.FindEntry(id)) << id;
  EntryHeader header;
  header.SetName("stale");
  EXPECT_FALSE(reader.ReadEntryHeader(kEntryPlayer, header));
  EXPECT_EQ(header.Name(), "") << "the name is cleared before the lookup";
  EXPECT_TRUE(reader.Walk().empty());
}

TEST_F(PackageReaderTest, TrailerIsNeverReturnedAndFirstDuplicateWins) {
  const Bytes file = BuildPackage(HostImage(10), {{9, Bytes{1, 1}}, {kEntryPlayer, Bytes{2}}, {9, Bytes{3, 3, 3}}});
  PackageReader reader(Write(file));
  EXPECT_FALSE(reader.FindEntry(kPackageMagic).has_value());
  EXPECT_EQ(reader.ReadEntry(9), (Bytes{1, 1}));
  const auto found = reader.FindEntry(kEntryPlayer);
  ASSERT_TRUE(found.has_value());
  EXPECT_EQ(found->size, 1u);
  EXPECT_EQ(std::fgetc(found->file.get()), 2) << "the handle stands at the first payload byte";
  EXPECT_EQ(reader.Walk().size(), 3u);
}

TEST_F(PackageReaderTest, FollowsNextEvenWhenEntriesAreOutOfOrder) {
  // Records laid out as A, B, C but chained A -> C -> B -> trailer.
  const std::vector<RawEntry> entries = {{2, Bytes{0xA}}, {4, Bytes{0xB}}, {3, Bytes{0xC}}};
  Bytes file = BuildPackage(HostImage(50), entries);
  const auto offsets = RecordOffsets(50, entries);
  Put32(file, offsets[0] + 8, static_cast<uint32_t>(offsets[2]));
  Put32(file, offsets[2] + 8, static_cast<uint32_t>(offsets[1]));
  Put32(file, offsets[1] + 8, static_cast<uint32_t>(offsets[3]));
  PackageReader reader(Write(file));
  EXPECT_EQ(reader.ReadEntry(4), Bytes{0xB});
  std::vector<uint32_t> ids;
  for (const auto& item : reader.Walk()) ids.push_back(item.record.id);
  EXPECT_EQ(ids, (std::vector<uint32_t>{2, 3, 4}));
}

TEST_F(PackageReaderTest, LoopingChainsEndTheWalk) {
  const std::vector<RawEntry> entries = {{2, Bytes{1}}, {3, Bytes{2}}, {4, Bytes{3}}, {5, Bytes{4}}};
  const auto offsets = RecordOffsets(40, entries);
  const Bytes good = BuildPackage(HostImage(40), entries);
  Bytes selfLoop = good;
  Put32(selfLoop, offsets[0] + 8, static_cast<uint32_t>(offsets[0]));
  Bytes backToFirst = good;
  Put32(backToFirst, offsets[3] + 8, static_cast<uint32_t>(offsets[0]));
  Bytes innerCycle = good;
  Put32(innerCycle, offsets[3] + 8, static_cast<uint32_t>(offsets[1]));

  for (const Bytes& file : {selfLoop, backToFirst, innerCycle}) {
    PackageReader reader(Write(file));
    ASSERT_TRUE(reader.IsValid());
    EXPECT_FALSE(reader.FindEntry(99).has_value());
    EXPECT_LE(reader.Walk().size(), 4u * 4u);
  }
  PackageReader reader(Write(innerCycle));
  EXPECT_EQ(reader.ReadEntry(5), Bytes{4}) << "entries before the loop closes are still found";
}

TEST_F(PackageReaderTest, NextOutsideTheFileOrBeforeThePackageEndsTheWalk) {
  const std::vector<RawEntry> entries = {{2, Bytes{1}}, {3, Bytes{2}}};
  const auto offsets = RecordOffsets(100, entries);
  for (uint32_t next : {0xFFFFFFF0u, 20u, static_cast<uint32_t>(offsets.back() + 5)}) {
    Bytes file = BuildPackage(HostImage(100), entries);
    Put32(file, offsets[0] + 8, next);
    PackageReader reader(Write(file));
    EXPECT_EQ(reader.ReadEntry(2), Bytes{1});
    EXPECT_FALSE(reader.FindEntry(3).has_value()) << next;
    EXPECT_EQ(reader.Walk().size(), 1u);
  }
}

TEST_F(PackageReaderTest, SizeRunningPastTheFileFindsNothingAndAllocatesNothing) {
  const std::vector<RawEntry> entries = {{kEntryConfig, ConfigPayload({})}};
  Bytes file = BuildPackage(HostImage(30), entries);
  Put32(file, RecordOffsets(30, entries)[0] + 4, 0xFFFFFFF0u);
  PackageReader reader(Write(file));
  EXPECT_FALSE(reader.ReadEntry(kEntryConfig).has_value());
  EXPECT_FALSE(reader.ExtractEntry(kEntryConfig, Folder()));
}

TEST_F(PackageReaderTest, ConfigurationIsABareRecordWithoutHeader) {
  ProjectorConfig config;
  config.resolutionCode = 5;
  config.backgroundColour = 0x00112233;
  config.escapeQuits = 1;
  PackageReader reader(Write(BuildPackage(HostImage(8), {{kEntryConfig, ConfigPayload(config)}})));
  const auto payload = reader.ReadEntry(kEntryConfig);
  ASSERT_TRUE(payload.has_value());
  ASSERT_EQ(payload->size(), kConfigSize);
  EXPECT_EQ(Get32(*payload, 0), 5u) << "field 0 is the first word: no header in front";
  EXPECT_EQ(ProjectorConfig::FromBytes(payload->data(), payload->size()), config);
}

TEST_F(PackageReaderTest, ReadEntryHeaderNeedsAFullHeader) {
  const Bytes data = Pattern(40);
  PackageReader reader(
      Write(BuildPackage(HostImage(8), {{kEntryPlayer, FilePayload("play.exe", data, true)}, {9, Bytes(75, 0)}})));
  EntryHeader header;
  ASSERT_TRUE(reader.ReadEntryHeader(kEntryPlayer, header));
  EXPECT_EQ(header.Name(), "play.exe");
  EXPECT_EQ(header.fileLength, 40u);
  EXPECT_EQ(header.copyLength, 40u);
  EXPECT_NE(header.compressed, 0u);
  EXPECT_FALSE(reader.ReadEntryHeader(9, header));
  EXPECT_FALSE(reader.ExtractEntry(9, Folder()));
  EXPECT_FALSE(reader.ExtractEntry(10, Folder())) << "no such entry";
  EXPECT_FALSE(reader.ExtractEntry(kEntryPlayer, (temp_.path() / "no-such-folder").string() + "/"));
}

TEST_F(PackageReaderTest, StoredEntriesCopyFullChunksAndTheRemainder) {
  for (size_t length : {size_t{0}, size_t{1}, kCopyBufferSize - 1, kCopyBufferSize, kCopyBufferSize + 1,
                        2 * kCopyBufferSize + 7}) {
    const Bytes data = Pattern(length, static_cast<uint32_t>(length));
    PackageReader reader(Write(BuildPackage(HostImage(16), {{kEntryPlayer, FilePayload("p.exe", data, false)},
                                                            {kEntryFirstExtra, FilePayload("x", Bytes{9}, false)}})));
    const std::string folder = Folder();
    ASSERT_TRUE(reader.ExtractEntry(kEntryPlayer, folder)) << length;
    EXPECT_EQ(FileBytes(folder + "p.exe"), data) << length;
  }
}

TEST_F(PackageReaderTest, CompressedEntriesInflateAcrossManyBuffers) {
  Bytes data = Pattern(3 * kCopyBufferSize + 123);
  for (size_t i = 0; i < data.size(); i += 3) data[i] = 0;  // compressible, yet checked byte by byte
  const Bytes next = FilePayload("next.bin", Pattern(999, 4), true);
  PackageReader reader(
      Write(BuildPackage(HostImage(16), {{kEntryRuntime, FilePayload("ORBALORT.DLL", data, true)}, {8, next}})));
  const std::string folder = Folder();
  EntryHeader header;
  ASSERT_TRUE(reader.ExtractEntry(kEntryRuntime, folder, &header));
  EXPECT_EQ(header.Name(), "ORBALORT.DLL");
  EXPECT_EQ(FileBytes(folder + "ORBALORT.DLL"), data);
  ASSERT_TRUE(reader.ExtractEntry(8, folder));
  EXPECT_EQ(FileBytes(folder + "next.bin"), Pattern(999, 4));

  const Bytes oneBuffer(kCopyBufferSize, 'z');  // output of exactly one buffer completes
  PackageReader exact(Write(BuildPackage(HostImage(16), {{kEntryPlayer, FilePayload("z", oneBuffer, true)}})));
  ASSERT_TRUE(exact.ExtractEntry(kEntryPlayer, folder));
  EXPECT_EQ(FileBytes(folder + "z"), oneBuffer);
}

TEST_F(PackageReaderTest, NameEndsAtItsNulWhateverFollows) {
  Bytes payload = FilePayload("movie.exe", Bytes{'h', 'i'}, false);
  const std::string garbage = "\xff/../../evil";
  std::copy(garbage.begin(), garbage.end(), payload.begin() + 12 + 10);  // after "movie.exe\0"
  PackageReader reader(Write(BuildPackage(HostImage(16), {{kEntryPlayer, payload}})));
  const std::string folder = Folder();
  EntryHeader header;
  ASSERT_TRUE(reader.ExtractEntry(kEntryPlayer, folder, &header));
  EXPECT_EQ(header.Name(), "movie.exe");
  EXPECT_EQ(readFile(folder + "movie.exe"), "hi");
  EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1);
}

TEST_F(PackageReaderTest, NamesMayLeadIntoAnExistingSubFolderAndReplaceFiles) {
  PackageReader reader(Write(BuildPackage(
      HostImage(16), {{8, FilePayload("fscommand\\run.bat", Bytes{'n', 'e', 'w'}, true)}})));
  const std::string folder = Folder();
  fs::create_directories(folder + "fscommand");
  kw::test::writeFile(folder + "fscommand/run.bat", Bytes(100, 'o'));
  ASSERT_TRUE(reader.ExtractEntry(8, folder));
  EXPECT_EQ(readFile(folder + "fscommand/run.bat"), "new");
}

TEST_F(PackageReaderTest, UnsafeNamesAreRefusedAndNothingIsWritten) {
  const std::string folder = Folder() + "deep/";
  fs::create_directories(folder);
  for (const std::string name : {"../escape.txt", "a/../../escape.txt", "..\\escape.txt", "/tmp/escape.txt",
                                 "\\escape.txt", "C:escape.txt", "C:\\escape.txt", "sub/. ./escape.txt",
                                 "...", ""}) {
    PackageReader reader(Write(BuildPackage(HostImage(16), {{8, FilePayload(name, Bytes{1}, false)}})));
    EntryHeader header;
    EXPECT_FALSE(reader.ExtractEntry(8, folder, &header)) << name;
    EXPECT_EQ(header.Name(), name) << "the header is still given back";
  }
  EXPECT_FALSE(fs::exists(temp_.path() / "out" / "escape.txt"));
  EXPECT_FALSE(fs::exists(temp_.path() / "escape.txt"));
  EXPECT_TRUE(fs::is_empty(folder));
}

TEST_F(PackageReaderTest, SafeNameRuleKeepsOrdinaryNames) {
  for (const char* name : {"ORBALORT.DLL", "fscommand\\x.exe", "a..b", ".hidden", "dir/./file", "x y"}) {
    EXPECT_TRUE(IsSafeEntryName(name)) << name;
  }
  EXPECT_FALSE(IsSafeEntryName("bad\nname"));
  EXPECT_FALSE(IsSafeEntryName("stream:alt"));
}

TEST_F(PackageReaderTest, TargetPathMustFitIn512Bytes) {
  const std::string name(60, 'n');
  PackageReader reader(Write(BuildPackage(HostImage(16), {{8, FilePayload(name, Bytes{1}, false)}})));
  const std::string base = Folder();
  const std::string longFolder = base + std::string(kMaxPathBytes - base.size() - name.size(), 'f') + "/";
  EXPECT_FALSE(reader.ExtractEntry(8, longFolder));
  EXPECT_TRUE(reader.ExtractEntry(8, base));
}

TEST_F(PackageReaderTest, LyingLengthsNeverReadPastTheEntry) {
  const Bytes data = Pattern(1000);
  const std::string folder = Folder();

  Bytes storedTooLong = FilePayload("stored.bin", data, false);
  Put32(storedTooLong, 8, 1001);  // copy length beyond the entry's bytes
  PackageReader stored(Write(BuildPackage(HostImage(16), {{8, storedTooLong}, {9, Pattern(5000)}})));
  EXPECT_FALSE(stored.ExtractEntry(8, folder));
  EXPECT_FALSE(fs::exists(folder + "stored.bin")) << "refused before the target is made";

  Bytes truncated = FilePayload("cut.bin", data, true);
  truncated.resize(truncated.size() - 10);  // the stream ends beyond the entry
  PackageReader cut(Write(BuildPackage(HostImage(16), {{8, truncated}, {9, FilePayload("n", data, true)}})));
  EXPECT_FALSE(cut.ExtractEntry(8, folder));

  Bytes overlong = FilePayload("long.bin", data, true);
  Put32(overlong, 4, 999);  // inflates to more than the declared length
  PackageReader longer(Write(BuildPackage(HostImage(16), {{8, overlong}})));
  EXPECT_FALSE(longer.ExtractEntry(8, folder));
}

TEST_F(PackageReaderTest, CorruptStreamFailsAndLeavesThePartialFile) {
  Bytes payload = FilePayload("bad.bin", Pattern(100000), true);
  for (size_t i = kEntryHeaderSize + 2; i < payload.size(); i += 5) payload[i] ^= 0x5A;
  PackageReader reader(Write(BuildPackage(HostImage(16), {{8, payload}})));
  const std::string folder = Folder();
  EXPECT_FALSE(reader.ExtractEntry(8, folder));
  EXPECT_TRUE(fs::exists(folder + "bad.bin"));
}

}  // namespace
}  // namespace kw::orbalo::test
