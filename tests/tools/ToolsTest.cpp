// End-to-end runs of the real kwcmd, swfmake, swfmerge and swfcipher
// binaries: the exact lines they print, the bytes they write, their exit codes.
#include <filesystem>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "mac/pluginhost/MovieCipher.h"
#include "mac/pluginhost/MovieMerger.h"
#include "tests/support/SwfTestMovies.h"
#include "tests/tools/ToolRunner.h"
#include "tools/swf/SwfWriter.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using kw::test::quoted;
using kw::test::runTool;
using kw::test::ToolRun;

std::string kwcmd(const std::string& arguments) {
  const ToolRun run = runTool("../kwcmd/kwcmd", arguments);
  EXPECT_EQ(run.exitCode, 0) << arguments;
  return run.out;
}

TEST(Kwcmd, EvalEncodeEventAndMalformedCommandLines) {
  EXPECT_EQ(kwcmd("eval " + quoted("try { __flash__toXML(KW_call(\"KW://KW_zSystem.getUserName\")) ; } "
                                   "catch (e) { \"<undefined/>\"; }")),
            "{\"kind\":\"call\",\"request\":\"KW://KW_zSystem.getUserName\",\"result\":null}\n");
  EXPECT_EQ(kwcmd("eval " + quoted("alert(1)")), "{\"kind\":\"other\",\"request\":null,\"result\":null}\n");
  EXPECT_EQ(kwcmd("encode tilde a " + quoted("b&c")), "a~!b%26c~!\n");
  EXPECT_EQ(kwcmd("event text zWindow onMinimized"), "ARRAY_OF_STRINGS=zWindow~!onMinimized\n");
  for (const std::string& arguments : {std::string(), "parse " + quoted("http://x"), std::string("encode nope a")}) {
    EXPECT_EQ(runTool("../kwcmd/kwcmd", arguments).exitCode, 2) << arguments;
  }
}

class SwfTools : public kw::test::ToolTest {
 protected:
  void write(const std::string& name, const Bytes& bytes) { temp_.write(name, bytes); }
  Bytes read(const std::string& name) const {
    const std::string text = kw::test::readFile(path(name));
    return Bytes(text.begin(), text.end());
  }
  // Runs `tool` with `arguments`, where each "{NAME}" stands for a file of the folder.
  ToolRun run(const std::string& tool, const std::string& arguments) {
    return runTool(tool, std::regex_replace(arguments, std::regex("\\{([^}]*)\\}"), "'" + path("") + "$1'"));
  }
};

TEST_F(SwfTools, MakeWritesTheWritersBytesAndRejectsBadUsageKeepingTheOldFile) {
  ASSERT_EQ(run("swfmake",
                "-o {geturl.swf} --wrapper --background 102030 --geturl KW://KW_zWindow.getSize@_self"
                " --geturl http://example.org/a@b@ --frames 4")
                .exitCode,
            0);
  kw::swf::SwfWriter expected = kw::swf::SwfWriter::wrapperLike(kw::swf::MovieHeader{}, 0, 0x102030);
  expected.doActionGetURL("KW://KW_zWindow.getSize", "_self").showFrame();
  expected.doActionGetURL("http://example.org/a@b", "").showFrame();
  EXPECT_EQ(read("geturl.swf"), expected.showFrame().showFrame().end().build()) << "split at the last '@'";

  write("kept.swf", {'o', 'l', 'd'});
  for (const char* options : {"--size 550", "--size 550x-1", "--rate 300", "--background 12345", "--background GG0000",
                              "--version 256", "--frames 1 --geturl a --geturl b", "--bogus", "--frames"}) {
    EXPECT_EQ(run("swfmake", std::string("-o {kept.swf} ") + options).exitCode, 2) << options;
  }
  EXPECT_EQ(run("swfmake", "").exitCode, 2) << "no output file";
  EXPECT_EQ(read("kept.swf"), (Bytes{'o', 'l', 'd'}));
  EXPECT_EQ(run("swfmake", "-o {no-such-dir/x.swf}").exitCode, 1);
}

TEST_F(SwfTools, MergeAndCipherFailuresReportTheStatusAndWriteOnlyWhatTheMergerWrites) {
  write("wrapper.swf", kw::test::wrapperMovie());
  write("short.swf", {'F', 'W', 'S', 9, 40, 0, 0, 0, 0x78});
  write("tiny.zve", {'a', 'b', 'c', 'd', 'e'});
  const ToolRun malformed = run("swfmerge", "--wrapper {wrapper.swf} --movie {short.swf} -o {m.out}");
  EXPECT_EQ(malformed.exitCode, 1);
  EXPECT_EQ(malformed.out, "status -3\n");
  // A short enciphered movie: 1302, and written as it is only without the wrapper flag.
  EXPECT_EQ(run("swfmerge", "--wrapper {wrapper.swf} --movie {tiny.zve} -o {w.out}").out, "status 1302\n");
  const ToolRun unwrapped = run("swfmerge", "--movie {tiny.zve} --no-wrapper -o {u.out}");
  EXPECT_EQ(unwrapped.exitCode, 1);
  EXPECT_EQ(unwrapped.out, "status 1302\n");
  EXPECT_EQ(read("u.out"), read("tiny.zve"));
  EXPECT_EQ(run("swfcipher", "--decipher {tiny.zve} -o {c.out}").exitCode, 1) << "under 8 bytes";
  for (const char* name : {"m.out", "w.out", "c.out"}) EXPECT_FALSE(fs::exists(path(name))) << name;

  // Wrong usage and unreadable files.
  EXPECT_EQ(run("swfmerge", "--movie {tiny.zve}").exitCode, 2);
  EXPECT_EQ(run("swfmerge", "--wrapper {missing.swf} --movie {tiny.zve} -o {x.out}").exitCode, 2);
  EXPECT_EQ(run("swfcipher", "{tiny.zve} -o {y.out}").exitCode, 2);
  const ToolRun help = run("swfmerge", "--help");
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("status N"), std::string::npos);
}

}  // namespace
