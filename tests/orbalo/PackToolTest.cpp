// orbalo-pack: configuration parsing, packages built in process and read back
// through PackageReader, and end-to-end runs of the real binary.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "tests/orbalo/PackageBytes.h"
#include "tests/support/TempDir.h"
#include "tests/tools/ToolRunner.h"
#include "tools/orbalo-pack/PackTool.h"
#include "win/projector/package/PackageReader.h"

namespace kw::orbalo::test {
namespace {

namespace fs = std::filesystem;
using kw::test::quoted;
using kw::test::readFile;
using kw::test::runTool;
using kw::test::TempDir;

TEST(PackConfig, ValuesInEveryAcceptedSpelling) {
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
}

TEST(PackConfig, LinesSetFieldsByNameAndReportWhatIsWrong) {
  ProjectorConfig config;
  EXPECT_FALSE(pack::ApplyConfigLine(config, "  alignment = 8  "));
  EXPECT_FALSE(pack::ApplyConfigLine(config, "# a comment"));
  EXPECT_FALSE(pack::ApplyConfigLine(config, ""));
  EXPECT_EQ(config.alignmentCode, 8u);
  EXPECT_TRUE(pack::ApplyConfigLine(config, "alignment"));
  EXPECT_TRUE(pack::ApplyConfigLine(config, "speed=3"));
  EXPECT_TRUE(pack::ApplyConfigLine(config, "intro-time=soon"));
  EXPECT_EQ(config.introSeconds, 3u) << "a refused line changes nothing";
}

TEST(PackConfig, EveryFieldHasAUniqueReadableName) {
  for (size_t i = 0; i < kConfigFieldCount; ++i) EXPECT_EQ(ConfigFieldIndex(ConfigFieldName(i)), i);
  EXPECT_EQ(ConfigFieldIndex("escape-quits"), size_t{kEscapeQuits});
  EXPECT_EQ(ConfigFieldIndex("resolution"), size_t{kResolutionCode});
}

// The configuration's exact JSON is checked through the binary's --list below.
TEST(PackJson, FileEntriesPrintTheirHeaderWithEscapedNamesAndShortOnesOnlyIdAndSize) {
  const Bytes payload = FilePayload("a\"b\x01\xe9", Bytes(5, 1), false);
  EXPECT_EQ(pack::EntryJson(8, 81, payload.data(), kEntryHeaderSize),
            "{\"id\":8,\"size\":81,\"compressed\":0,\"length\":5,\"name\":\"a\\\"b\\u0001\\u00e9\"}");
  EXPECT_EQ(pack::EntryJson(9, 3, payload.data(), 3), "{\"id\":9,\"size\":3}");
}

class PackToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host_ = HostImage(4096);
    kw::test::writeFile(Path("orbalo.exe"), host_);
    kw::test::writeFile(Path("ORBALORT.DLL"), Pattern(20000, 2));
    kw::test::writeFile(Path("player.exe"), Pattern(600000, 3));
    kw::test::writeFile(Path("intro.jpg"), Pattern(300, 4));
    kw::test::writeFile(Path("notes.txt"), Bytes(5000, 'n'));
    kw::test::writeFile(Path("extra.dat"), Pattern(10, 5));
  }
  std::string Path(const std::string& name) const { return (temp_.path() / name).string(); }
  int Run(std::vector<std::string> args) {
    out_.str("");
    err_.str("");
    return pack::RunOrbaloPack(args, out_, err_);
  }
  TempDir temp_;
  Bytes host_;
  std::ostringstream out_;
  std::ostringstream err_;
};

TEST_F(PackToolTest, BuildsBackToBackEntriesBehindAnUnchangedHost) {
  ASSERT_EQ(Run({"--host", Path("orbalo.exe"), "-o", Path("out.exe"), "--player", Path("player.exe"),
                 "--runtime", Path("ORBALORT.DLL"), "--intro", Path("intro.jpg"), "--extra", Path("notes.txt"),
                 "--extra", Path("extra.dat"), "--set", "resolution=800x600", "--set", "escape-quits=1"}),
            0)
      << err_.str();
  const std::string text = readFile(Path("out.exe"));
  const Bytes file(text.begin(), text.end());
  ASSERT_GT(file.size(), host_.size());
  EXPECT_EQ(Bytes(file.begin(), file.begin() + 4096), host_);

  PackageReader reader(Path("out.exe"), MissingPackage::kLeaveAlone);
  ASSERT_TRUE(reader.IsValid());
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

  const auto bytes = reader.ReadEntry(kEntryConfig);
  const auto config = ProjectorConfig::FromBytes(bytes->data(), bytes->size());
  ASSERT_TRUE(config.has_value());
  EXPECT_EQ(config->resolutionCode, 4u);
  EXPECT_EQ(config->escapeQuits, 1u);
  EXPECT_EQ(config->extraFileCount, 2u);
  EXPECT_EQ(config->hasIntro, 1u);
  EXPECT_EQ(config->hasBackground, 0u);
  EXPECT_EQ(config->hasOutro, 0u);
  EXPECT_EQ(config->hideCursor, 1u) << "unset fields keep the shipped values";

  const fs::path folder = temp_.path() / "x";
  fs::create_directories(folder);
  const std::string prefix = folder.string() + "/";
  EntryHeader header;
  ASSERT_TRUE(reader.ExtractEntry(kEntryPlayer, prefix, &header));
  EXPECT_NE(header.compressed, 0u);
  EXPECT_EQ(header.fileLength, 600000u);
  EXPECT_EQ(readFile(prefix + "player.exe"), readFile(Path("player.exe")));
  ASSERT_TRUE(reader.ExtractEntry(kEntryRuntime, prefix));
  EXPECT_EQ(readFile(prefix + "ORBALORT.DLL"), readFile(Path("ORBALORT.DLL")));
  ASSERT_TRUE(reader.ExtractEntry(9, prefix, &header));
  EXPECT_EQ(header.Name(), "extra.dat");
}

TEST_F(PackToolTest, StoreKeepsFilesAsTheyAre) {
  ASSERT_EQ(Run({"--host", Path("orbalo.exe"), "-o", Path("out.exe"), "--store", "--player", Path("player.exe")}), 0);
  PackageReader reader(Path("out.exe"), MissingPackage::kLeaveAlone);
  const auto found = reader.FindEntry(kEntryPlayer);
  ASSERT_TRUE(found.has_value());
  EXPECT_EQ(found->size, kEntryHeaderSize + 600000);
  EntryHeader header;
  ASSERT_TRUE(reader.ReadEntryHeader(kEntryPlayer, header));
  EXPECT_EQ(header.compressed, 0u);
  EXPECT_EQ(header.copyLength, 600000u);
}

TEST_F(PackToolTest, SetWinsOverConfigFileAndPictureFlagsFollowTheGivenFiles) {
  std::ofstream(Path("show.cfg")) << "# show\nresolution=2\nbackground=1\nintro-time=9\nextras=5\n";
  ASSERT_EQ(Run({"--set", "intro-time=4", "--config", Path("show.cfg"), "--host", Path("orbalo.exe"), "-o",
                 Path("out.exe"), "--outro", Path("intro.jpg")}),
            0)
      << err_.str();
  PackageReader reader(Path("out.exe"));
  const auto bytes = reader.ReadEntry(kEntryConfig);
  const auto config = ProjectorConfig::FromBytes(bytes->data(), bytes->size());
  EXPECT_EQ(config->resolutionCode, 2u);
  EXPECT_EQ(config->introSeconds, 4u);
  EXPECT_EQ(config->hasBackground, 0u) << "no background picture was given";
  EXPECT_EQ(config->hasOutro, 1u);
  EXPECT_EQ(config->extraFileCount, 0u);
}

TEST_F(PackToolTest, FailedBuildLeavesTheOldOutputAndNoTemporaryFile) {
  kw::test::writeFile(Path("out.exe"), Bytes{'o', 'l', 'd'});
  EXPECT_EQ(Run({"--host", Path("orbalo.exe"), "-o", Path("out.exe"), "--player", Path("absent.exe")}), 1);
  EXPECT_EQ(Run({"--host", Path("absent.exe"), "-o", Path("out.exe")}), 1);
  EXPECT_EQ(Run({"--host", Path("orbalo.exe"), "-o", Path("out.exe"), "--set", "volume=3"}), 2);
  EXPECT_EQ(Run({"--host", Path("orbalo.exe"), "--player"}), 2);
  EXPECT_EQ(Run({"--host", Path("orbalo.exe"), "-o", Path("out.exe"), "--intro", Path("intro.jpg"), "--intro",
                 Path("intro.jpg")}),
            2);
  EXPECT_EQ(readFile(Path("out.exe")), "old");
  size_t files = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(temp_.path())) ++files;
  EXPECT_EQ(files, 7u) << "the six inputs and the old output";
}

TEST_F(PackToolTest, LongFileNamesAreRefused) {
  const std::string longName = std::string(64, 'l') + ".txt";
  kw::test::writeFile(Path(longName), Bytes{1});
  EXPECT_EQ(Run({"--host", Path("orbalo.exe"), "-o", Path("out.exe"), "--extra", Path(longName)}), 1);
  EXPECT_FALSE(fs::exists(Path("out.exe")));
}

// --- The real binary ------------------------------------------------------------

TEST_F(PackToolTest, BinaryListsEveryEntryAsOneJsonLine) {
  ASSERT_EQ(runTool("orbalo-pack", "--host " + quoted(Path("orbalo.exe")) + " -o " + quoted(Path("out.exe")) +
                                       " --store --extra " + quoted(Path("extra.dat")) + " --set colour=#0000ff")
                .exitCode,
            0);
  const kw::test::ToolRun list = runTool("orbalo-pack", "--list " + quoted(Path("out.exe")));
  EXPECT_EQ(list.exitCode, 0);
  EXPECT_EQ(list.out,
            "{\"id\":1,\"size\":76,\"config\":{\"resolution\":3,\"extras\":1,\"colour\":16711680,\"alignment\":0,"
            "\"x\":0,\"y\":0,\"intro-time\":3,\"outro-time\":3,\"unused8\":1,\"hide-cursor\":1,"
            "\"block-right-click\":1,\"background\":0,\"unused12\":1,\"stretch\":0,\"use-alignment\":1,"
            "\"unused15\":1,\"intro\":0,\"outro\":0,\"escape-quits\":0}}\n"
            "{\"id\":8,\"size\":86,\"compressed\":0,\"length\":10,\"name\":\"extra.dat\"}\n");
}

TEST_F(PackToolTest, BinaryExtractsEveryFileEntryOfAnyPackage) {
  // A package another writer might make: out of id order, a duplicate, a sub-folder name.
  const Bytes file = BuildPackage(
      HostImage(77), {{kEntryFirstExtra, FilePayload("fscommand\\go.bat", Bytes{'g', 'o'}, true)},
                      {kEntryConfig, ConfigPayload({})},
                      {kEntryPlayer, FilePayload("player.exe", Pattern(1000), false)},
                      {kEntryFirstExtra, FilePayload("second.bat", Bytes{'x'}, false)}});
  kw::test::writeFile(Path("any.exe"), file);
  const std::string folder = Path("unpacked");
  EXPECT_EQ(runTool("orbalo-pack", "--extract " + quoted(Path("any.exe")) + " " + quoted(folder)).exitCode, 0);
  EXPECT_EQ(readFile(folder + "/fscommand/go.bat"), "go");
  const Bytes player = Pattern(1000);
  EXPECT_EQ(readFile(folder + "/player.exe"), std::string(player.begin(), player.end()));
  EXPECT_FALSE(fs::exists(folder + "/second.bat")) << "the first entry of an id wins";
}

TEST_F(PackToolTest, BinaryRefusesEscapingNamesAndLeavesNonPackagesAlone) {
  kw::test::writeFile(Path("evil.exe"),
                      BuildPackage(HostImage(20), {{8, FilePayload("../escaped.txt", Bytes{1}, false)},
                                                   {9, FilePayload("fine.txt", Bytes{2}, false)}}));
  const std::string folder = Path("unpacked");
  EXPECT_EQ(runTool("orbalo-pack", "--extract " + quoted(Path("evil.exe")) + " " + quoted(folder)).exitCode, 1);
  EXPECT_FALSE(fs::exists(Path("escaped.txt")));
  EXPECT_TRUE(fs::exists(folder + "/fine.txt"));

  const kw::test::ToolRun list = runTool("orbalo-pack", "--list " + quoted(Path("orbalo.exe")));
  EXPECT_EQ(list.exitCode, 1);
  EXPECT_EQ(list.out, "");
  EXPECT_EQ(readFile(Path("orbalo.exe")), std::string(host_.begin(), host_.end())) << "listing never writes";
  EXPECT_EQ(runTool("orbalo-pack", "").exitCode, 2);
}

}  // namespace
}  // namespace kw::orbalo::test
