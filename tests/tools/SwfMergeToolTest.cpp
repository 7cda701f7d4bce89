// End-to-end runs of the swfmerge and swfcipher binaries on temporary files.
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/SwfTestMovies.h"
#include "tests/tools/ToolRunner.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;
using kw::test::quoted;
using kw::test::runTool;
using kw::test::ToolRun;

class SwfMergeTool : public kw::test::ToolTest {
 protected:
  fs::path file(const std::string& name, const Bytes& bytes) {
    kw::test::writeFile(dir_ / name, bytes);
    return dir_ / name;
  }
  fs::path path(const std::string& name) const { return dir_ / name; }
  static Bytes read(const fs::path& path) {
    const std::string text = kw::test::readFile(path);
    return Bytes(text.begin(), text.end());
  }
  ToolRun merge(const fs::path& wrapper, const fs::path& movie, const fs::path& out, const std::string& extra = "") {
    return runTool("swfmerge", "--wrapper " + quoted(wrapper) + " --movie " + quoted(movie) + " " + extra + " -o " +
                                   quoted(out));
  }
  ToolRun cipher(const char* direction, const fs::path& in, const fs::path& out) {
    return runTool("swfcipher", std::string(direction) + " " + quoted(in) + " -o " + quoted(out));
  }
};

TEST_F(SwfMergeTool, MergesACompressedMovieWithTheWrapper) {
  const Bytes wrapper = kw::test::wrapperMovie();
  const Bytes plain = kw::test::userMovie(false).build();
  const ToolRun result =
      merge(file("wrapper.swf", wrapper), file("movie.swf", kw::test::userMovie(true).build()), path("out.swf"));
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out, "status 0\n");

  // Header of the movie, wrapper tags, script limits, the movie's tags.
  const Bytes merged = read(path("out.swf"));
  ASSERT_EQ(merged.size(), wrapper.size() - 4 + plain.size() - 31 + 6);
  EXPECT_EQ(kw::test::storedLength(merged), merged.size());
  EXPECT_EQ(Bytes(merged.begin(), merged.begin() + 4), (Bytes{'F', 'W', 'S', 9}));
  EXPECT_EQ(Bytes(merged.begin() + 8, merged.begin() + 21), Bytes(plain.begin() + 8, plain.begin() + 21));
  const auto tag = merged.end() - static_cast<ptrdiff_t>(plain.size() - 21) - 6;
  EXPECT_EQ(Bytes(tag, tag + 6), (Bytes{0x44, 0x10, 0x00, 0x01, 0x78, 0x00}));
  EXPECT_EQ(Bytes(tag + 6, merged.end()), Bytes(plain.begin() + 21, plain.end()));
}

TEST_F(SwfMergeTool, CipherRoundTripsAndEncipheredInputsMergeAlike) {
  const fs::path wrapper = file("wrapper.swf", kw::test::wrapperMovie());
  const fs::path movie = file("movie.swf", kw::test::userMovie(true).build());
  ASSERT_EQ(cipher("--encipher", movie, path("movie.zve")).exitCode, 0);
  ASSERT_EQ(cipher("--encipher", wrapper, path("wrapper.zve")).exitCode, 0);
  EXPECT_NE(read(path("movie.zve")), read(movie));
  ASSERT_EQ(cipher("--decipher", path("movie.zve"), path("movie.back")).exitCode, 0);
  EXPECT_EQ(read(path("movie.back")), read(movie));

  ASSERT_EQ(merge(wrapper, movie, path("plain.out")).out, "status 0\n");
  const ToolRun enciphered = merge(path("wrapper.zve"), path("movie.zve"), path("enciphered.out"));
  EXPECT_EQ(enciphered.exitCode, 0);
  EXPECT_EQ(enciphered.out, "status 0\n");
  EXPECT_EQ(read(path("enciphered.out")), read(path("plain.out")));

  // Without the wrapper flag: the movie deciphered, still compressed.
  const ToolRun passed =
      runTool("swfmerge", "--movie " + quoted(path("movie.zve")) + " --no-wrapper -o " + quoted(path("passed.out")));
  EXPECT_EQ(passed.out, "status 0\n");
  EXPECT_EQ(read(path("passed.out")), read(movie));
}

TEST_F(SwfMergeTool, FailuresReportTheStatusAndWriteOnlyWhatTheMergerWrites) {
  const fs::path wrapper = file("wrapper.swf", kw::test::wrapperMovie());
  const fs::path tiny = file("tiny.zve", {'a', 'b', 'c', 'd', 'e'});

  const ToolRun malformed = merge(wrapper, file("short.swf", {'F', 'W', 'S', 9, 40, 0, 0, 0, 0x78}), path("m.out"));
  EXPECT_EQ(malformed.exitCode, 1);
  EXPECT_EQ(malformed.out, "status -3\n");
  EXPECT_FALSE(fs::exists(path("m.out")));

  // Short enciphered movie: 1302; written as it is only without the wrapper flag.
  EXPECT_EQ(merge(wrapper, tiny, path("w.out")).out, "status 1302\n");
  EXPECT_FALSE(fs::exists(path("w.out")));
  const ToolRun unwrapped = merge(wrapper, tiny, path("u.out"), "--no-wrapper");
  EXPECT_EQ(unwrapped.exitCode, 1);
  EXPECT_EQ(unwrapped.out, "status 1302\n");
  EXPECT_EQ(read(path("u.out")), read(tiny));

  // swfcipher refuses files under 8 bytes.
  EXPECT_EQ(cipher("--decipher", tiny, path("c.out")).exitCode, 1);
  EXPECT_FALSE(fs::exists(path("c.out")));

  // Wrong usage and unreadable files.
  EXPECT_EQ(runTool("swfmerge", "--movie " + quoted(tiny)).exitCode, 2);
  EXPECT_EQ(merge(path("missing.swf"), tiny, path("x.out")).exitCode, 2);
  EXPECT_EQ(runTool("swfcipher", quoted(tiny) + " -o " + quoted(path("y.out"))).exitCode, 2);
  const ToolRun help = runTool("swfmerge", "--help");
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("status N"), std::string::npos);
}

}  // namespace
