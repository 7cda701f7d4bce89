// End-to-end tests of swfmake and swfinfo: the real binaries on temporary files.
#include <string>

#include "tests/tools/ToolRunner.h"
#include "tools/swf/SwfWriter.h"

namespace {

using kw::test::quoted;
using kw::test::readFile;
using kw::test::ToolRun;

ToolRun run(const std::string& tool, const std::string& arguments) { return kw::test::runTool(tool, arguments); }

class SwfTools : public kw::test::ToolTest {
 protected:
  std::string path(const std::string& name) const { return (dir_ / name).string(); }
};

TEST_F(SwfTools, MakeThenInfoReportsTheRequestedHeader) {
  const std::string movie = path("plain.swf");
  ASSERT_EQ(run("swfmake", "-o " + quoted(movie) +
                               " --version 9 --size 550x400 --rate 12.5 --frames 3 --background 336699")
                .exitCode,
            0);
  const ToolRun info = run("swfinfo", quoted(movie));
  EXPECT_EQ(info.exitCode, 0);
  EXPECT_EQ(info.out,
            "{\"status\":0,\"signature\":\"FWS\",\"version\":9,\"top\":0,\"left\":0,\"bottom\":400,"
            "\"right\":550,\"frameRate\":12,\"frameCount\":3,\"backgroundColor\":3368601,\"as3\":false}\n");

  const std::string as3 = path("as3.swf");
  ASSERT_EQ(run("swfmake", "-o " + quoted(as3) + " --compressed --as3 --size 800x600 --metadata " +
                               quoted(std::string(3000, 'x')))
                .exitCode,
            0);
  EXPECT_EQ(run("swfinfo", quoted(as3)).out,
            "{\"status\":0,\"signature\":\"CWS\",\"version\":10,\"top\":0,\"left\":0,\"bottom\":600,"
            "\"right\":800,\"frameRate\":12,\"frameCount\":1,\"backgroundColor\":null,\"as3\":true}\n");
}

TEST_F(SwfTools, MakeWritesTheWritersBytes) {
  const std::string movie = path("geturl.swf");
  ASSERT_EQ(run("swfmake", "-o " + quoted(movie) +
                               " --wrapper --background 102030 --geturl 'KW://KW_zWindow.getSize@_self'"
                               " --geturl http://example.org/a@b@ --frames 4")
                .exitCode,
            0);
  kw::swf::MovieHeader header;
  kw::swf::SwfWriter expected = kw::swf::SwfWriter::wrapperLike(header, 0, 0x102030);
  expected.doActionGetURL("KW://KW_zWindow.getSize", "_self").showFrame();
  expected.doActionGetURL("http://example.org/a@b", "").showFrame();
  expected.showFrame().showFrame().end();
  const kw::swf::Bytes bytes = expected.build();
  EXPECT_EQ(readFile(movie), std::string(bytes.begin(), bytes.end()));
}

// Missing file, truncated file and a folder: their statuses, still one line each.
TEST_F(SwfTools, InfoPrintsOneLinePerFileAndFailsWhenAnyFails) {
  const std::string good = path("good.swf");
  const std::string truncated = path("truncated.swf");
  ASSERT_EQ(run("swfmake", "-o " + quoted(good)).exitCode, 0);
  std::ofstream(truncated, std::ios::binary) << "FWS\x0a\x10";
  const ToolRun info = run("swfinfo", quoted(good) + " " + quoted(path("missing.swf")) + " " + quoted(truncated) +
                                      " " + quoted(dir_.string()));
  EXPECT_EQ(info.exitCode, 1);
  EXPECT_EQ(info.out,
            "{\"status\":0,\"signature\":\"FWS\",\"version\":10,\"top\":0,\"left\":0,\"bottom\":400,"
            "\"right\":550,\"frameRate\":12,\"frameCount\":1,\"backgroundColor\":null,\"as3\":false}\n"
            "{\"status\":-43,\"signature\":null,\"version\":0,\"top\":0,\"left\":0,\"bottom\":0,"
            "\"right\":0,\"frameRate\":0,\"frameCount\":0,\"backgroundColor\":null,\"as3\":false}\n"
            "{\"status\":-39,\"signature\":\"FWS\",\"version\":0,\"top\":0,\"left\":0,\"bottom\":0,"
            "\"right\":0,\"frameRate\":0,\"frameCount\":0,\"backgroundColor\":null,\"as3\":false}\n"
            "{\"status\":-36,\"signature\":null,\"version\":0,\"top\":0,\"left\":0,\"bottom\":0,"
            "\"right\":0,\"frameRate\":0,\"frameCount\":0,\"backgroundColor\":null,\"as3\":false}\n");
  EXPECT_EQ(run("swfinfo", "").exitCode, 2);
}

TEST_F(SwfTools, MakeRejectsBadUsageAndKeepsTheOldFile) {
  const std::string movie = path("kept.swf");
  std::ofstream(movie) << "old";
  for (const char* arguments :
       {"", "--size 550 -o OUT", "--size 550x-1 -o OUT", "--rate 300 -o OUT", "--background 12345 -o OUT",
        "--background GG0000 -o OUT", "--version 256 -o OUT", "--frames 1 --geturl a --geturl b -o OUT",
        "--bogus -o OUT", "-o"}) {
    std::string args = arguments;
    if (const size_t out = args.find("OUT"); out != std::string::npos) args.replace(out, 3, quoted(movie));
    EXPECT_EQ(run("swfmake", args).exitCode, 2) << arguments;
  }
  EXPECT_EQ(readFile(movie), "old");
  EXPECT_EQ(run("swfmake", "-o " + quoted(path("no-such-dir/x.swf"))).exitCode, 1);
  const ToolRun help = run("swfmake", "--help");
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("--geturl URL[@TARGET]"), std::string::npos);
}

}  // namespace
