// zivra-bundle, zivra and zivra-exec run as real processes on generated
// movies: wrong input, the bundle's layout, a bounded run with trace and
// snapshot, and the replies zivra-exec prints.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "mac/platform/PropertyList.h"
#include "mac/pluginhost/MovieCipher.h"
#include "tests/support/TempDir.h"
#include "tools/swf/SwfWriter.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

struct ProcessRun {
  int status = -1;  // -1: did not end by itself
  std::string out, err;
};

std::string quoted(const std::string& text) {
  std::string out = "'";
  for (const char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// Runs a program in `dir`, with HOME set to it too, until it ends; `timeout`
// kills it (status 137) when it has not ended after a minute.
ProcessRun run(const std::vector<std::string>& argv, const fs::path& dir) {
  std::string command = "cd " + quoted(dir) + " && HOME=" + quoted(dir) + " timeout -s KILL 60";
  for (const std::string& arg : argv) command += " " + quoted(arg);
  const int status = std::system((command + " >.out 2>.err").c_str());
  ProcessRun result;
  if (status != -1 && WIFEXITED(status)) result.status = WEXITSTATUS(status);
  result.out = kw::test::readFile(dir / ".out");
  result.err = kw::test::readFile(dir / ".err");
  fs::remove(dir / ".out");
  fs::remove(dir / ".err");
  return result;
}

// The whole file in one read (the program is tens of megabytes).
Bytes bytesOf(const fs::path& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  Bytes bytes(in ? static_cast<size_t>(in.tellg()) : 0);
  in.seekg(0).read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return bytes;
}

Bytes text(std::string_view characters) { return Bytes(characters.begin(), characters.end()); }

std::optional<kw::PlistValue> value(const std::optional<kw::PlistValue>& plist, const char* key) {
  const kw::PlistValue* found = plist ? plist->find(key) : nullptr;
  return found ? std::optional(*found) : std::nullopt;
}

class ZivraProgram : public ::testing::Test {
 protected:
  // A 320 x 240 movie at 20 fps: it sizes its window, waits, and quits.
  ZivraProgram() {
    kw::swf::MovieHeader header;
    header.frame = {0, 320 * 20, 0, 240 * 20};
    header.frameRate = kw::swf::fixed88(20);
    kw::swf::SwfWriter writer(header);
    writer.setBackgroundColor(0x336699);
    writer.doActionGetURL("KW://KW_zWindow.setSize?windowID=0&width=300&height=200", "").showFrame();
    for (int frame = 0; frame < 4; ++frame) writer.showFrame();
    movieBytes = writer.doActionGetURL("KW://KW_zApplication.quit", "").showFrame().end().build();
    movie = temp.write("show.swf", movieBytes);
  }
  ProcessRun bundle(std::vector<std::string> args) {
    args.insert(args.begin(), KW_ZIVRA_BUNDLE);
    return run(args, dir);
  }

  kw::test::TempDir temp;
  const fs::path dir = temp.path();
  Bytes movieBytes;
  fs::path movie;
};

TEST_F(ZivraProgram, WrongInputEndsWithStatusTwoAndAMessage) {
  const std::string good = (dir / "Good.app").string();
  ASSERT_EQ(bundle({movie, "-o", good}).status, 0);
  fs::create_directories(dir / "Empty.app" / "Contents");
  const std::string script = temp.write("input.txt", text("0 move 1 1\n1 jump\n")).string();
  const std::string notMovie = temp.write("text.swf", Bytes(64, 'x')).string();
  const struct {
    std::vector<std::string> argv;
    std::string message;
  } cases[] = {
      {{KW_ZIVRA_BUNDLE}, "zivra-bundle: no movie given"},
      {{KW_ZIVRA_BUNDLE, movie, "-o", "x.app", "--frobnicate"}, "unknown option \"--frobnicate\""},
      {{KW_ZIVRA_BUNDLE, movie, "-o", "x.app", "--setting", "=1"}, "bad setting \"=1\" (KEY=VALUE)"},
      {{KW_ZIVRA_BUNDLE, notMovie, "-o", "x.app"}, notMovie + " is not a movie"},
      {{KW_ZIVRA_BUNDLE, movie, "-o", "x.bundle"}, "the output must be named Name.app"},
      {{KW_ZIVRA_BUNDLE, movie, "-o", "x.app", "--zivra", notMovie + ".none"}, "no zivra program at"},
      {{KW_ZIVRA_PROGRAM}, "zivra: the program is not inside a bundle"},
      {{KW_ZIVRA_PROGRAM, "--bundle", good, "--run-for", "soon"}, "bad --run-for \"soon\""},
      {{KW_ZIVRA_PROGRAM, "--bundle", (dir / "None.app").string()}, "no application bundle at"},
      {{KW_ZIVRA_PROGRAM, "--bundle", (dir / "Empty.app").string()}, "has no movie"},
      {{KW_ZIVRA_PROGRAM, "--bundle", good, "--input", script}, script + ": line 2: "},
      {{KW_ZIVRA_EXEC, "KW://KW_zApplication.getParameter"}, "give the bundle with --bundle Name.app"},
      {{KW_ZIVRA_EXEC, "--bundle", good}, "give at least one command TEXT"},
      {{KW_ZIVRA_EXEC, "--bundle", good, "--window", "x", "t"}, "bad --window \"x\""},
      {{KW_ZIVRA_EXEC, "--bundle", good, "--frobnicate", "t"}, "unknown argument \"--frobnicate\""},
      {{KW_ZIVRA_EXEC, "--bundle", (dir / "None.app").string(), "t"}, "no application bundle at"},
      {{KW_ZIVRA_EXEC, "--bundle", good, "--window", "99", "t"}, "no window with the instance identity 99"},
  };
  for (const auto& c : cases) {
    const ProcessRun result = run(c.argv, dir);
    EXPECT_EQ(result.status, 2) << c.message;
    EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
    EXPECT_EQ(result.out, "") << c.message;
  }
  EXPECT_FALSE(fs::exists(dir / "x.app"));
}

TEST_F(ZivraProgram, BundleHoldsTheProgramTheMovieAndTypedSettingsAndIsReplacedWhole) {
  const fs::path app = dir / "My Show.app";
  const fs::path resources = app / "Contents" / "Resources";
  const fs::path mask = temp.write("shape.png", Bytes(40, 7));
  ASSERT_EQ(bundle({movie, "-o", app, "--encipher", "--about", movie, "--mask", mask, "--setting", "windowType=3",
                    "--setting", "mask=NO", "--setting", "dropShadow=-2", "--setting", "zOrder=ABOVEITALL",
                    "--setting", "chrome=true", "--setting", "windowAlpha=1.5"})
                .status,
            0);

  const auto info = kw::readPropertyList(app / "Contents" / "Info.plist");
  EXPECT_EQ(value(info, "CFBundleExecutable"), kw::PlistValue::string("zivra"));
  EXPECT_EQ(value(info, "CFBundleIdentifier"), kw::PlistValue::string("org.kw.zivra.My-Show"));
  EXPECT_EQ(value(info, "CFBundleName"), kw::PlistValue::string("My Show"));
  const auto prefs = kw::readPropertyList(resources / "prefs.xml");
  EXPECT_EQ(prefs, kw::PlistValue::dictionary({{"windowType", kw::PlistValue::integer(3)},
                                               {"mask", kw::PlistValue::boolean(true)},
                                               {"maskName", kw::PlistValue::string("shape.png")},
                                               {"dropShadow", kw::PlistValue::integer(-2)},
                                               {"zOrder", kw::PlistValue::string("ABOVEITALL")},
                                               {"chrome", kw::PlistValue::boolean(true)},
                                               {"windowAlpha", kw::PlistValue::string("1.5")}}));

  Bytes stored = bytesOf(resources / "zvdata.zve");
  EXPECT_FALSE(kw::isPlainMovie(stored));
  ASSERT_EQ(kw::movieCipher(stored.data(), stored.data(), stored.size(), 1, kw::CipherDirection::Decipher), 0);
  EXPECT_EQ(stored, movieBytes);
  EXPECT_EQ(bytesOf(app / "Contents" / "MacOS" / "zivra"), bytesOf(KW_ZIVRA_PROGRAM));
  EXPECT_EQ(access((app / "Contents" / "MacOS" / "zivra").c_str(), X_OK), 0);
  EXPECT_EQ(bytesOf(resources / "RidavOdarez.zve"), bytesOf(KW_WRAPPER_MOVIE));
  EXPECT_EQ(access((resources / "fpb.plugin" / "Contents" / "MacOS" / "fpb").c_str(), X_OK), 0);
  EXPECT_EQ(bytesOf(resources / "about.swf"), movieBytes);
  EXPECT_EQ(bytesOf(resources / "shape.png"), bytesOf(mask));

  // A second run replaces the whole bundle and leaves nothing else behind.
  ASSERT_EQ(bundle({movie, "-o", app}).status, 0);
  EXPECT_EQ(bytesOf(resources / "zvdata.zve"), movieBytes);
  EXPECT_FALSE(fs::exists(resources / "shape.png"));
  EXPECT_EQ(kw::readPropertyList(resources / "prefs.xml"),
            kw::PlistValue::dictionary({{"windowAlpha", kw::PlistValue::integer(100)}}));
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 3);  // movie, mask, bundle
}

TEST_F(ZivraProgram, PlaysTheBundleForABoundedTimeWithTraceAndSnapshot) {
  const fs::path app = dir / "Show.app";
  ASSERT_EQ(bundle({movie, "-o", app, "--encipher"}).status, 0);
  const fs::path script = temp.write("input.txt", text("0.2 move 5 5\n"));
  const ProcessRun result = run({(app / "Contents" / "MacOS" / "zivra").string(), "--run-for", "1.5", "--trace",
                          "--snapshot", "shot.png", "--input", script},
                         dir);
  ASSERT_EQ(result.status, 0) << result.err;

  std::istringstream lines(result.out);
  const std::regex shape(R"(\d+\.\d{3} (command|reply|event|window) .*)");
  std::vector<std::string> commands;
  for (std::string line; std::getline(lines, line);) {
    EXPECT_TRUE(std::regex_match(line, shape)) << line;
    if (line.find(" command ") != std::string::npos) commands.push_back(line.substr(line.find(" command ") + 9));
  }
  EXPECT_NE(std::find(commands.begin(), commands.end(), "KW://KW_zWindow.setSize?windowID=0&width=300&height=200"),
            commands.end())
      << result.out;
  EXPECT_NE(std::find(commands.begin(), commands.end(), "KW://KW_zApplication.quit"), commands.end());

  // A PNG of the main screen, 1440 x 900 (IHDR width and height, big-endian).
  const Bytes png = bytesOf(dir / "shot.png");
  ASSERT_GE(png.size(), 24u);
  EXPECT_EQ(Bytes(png.begin(), png.begin() + 8), (Bytes{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}));
  EXPECT_EQ(Bytes(png.begin() + 16, png.begin() + 24), (Bytes{0, 0, 0x05, 0xA0, 0, 0, 0x03, 0x84}));
}

// zivra-exec prints one line per command: the loaded variables of a URL
// request, or with --sync the XML of an ExternalInterface call.
TEST_F(ZivraProgram, ExecPrintsOneReplyLinePerCommand) {
  const std::string app = (dir / "Exec.app").string();
  kw::swf::SwfWriter idle(kw::swf::MovieHeader{});
  ASSERT_EQ(bundle({temp.write("idle.swf", idle.showFrame().end().build()), "-o", app}).status, 0);
  const std::string note = temp.write("note.txt", text("hi&")).string();
  const ProcessRun async = run({KW_ZIVRA_EXEC, "--bundle", app, "KW://KW_zFile.readString?fileName=" + note,
                                "KW://KW_zWindow.getParameter", "KW://KW_zFile.noSuchCommand",
                                "KW://KW_zFile.fileExists?fileName=" + dir.string() + "&returnVarName1=there"},
                               dir);
  EXPECT_EQ(async.status, 0) << async.err;
  EXPECT_EQ(async.out, "&returnValue=hi%26\n&returnValue=main\n\n&there=1\n");

  const ProcessRun sync = run({KW_ZIVRA_EXEC, "--bundle", app, "--sync", "--window", "1",
                               "[zFile,isFolder," + dir.string() + "]",
                               "KW://KW_zFile.fileExists?fileName=" + dir.string() + "/none"},
                              dir);
  EXPECT_EQ(sync.status, 0) << sync.err;
  EXPECT_EQ(sync.out, "<true/>\n<false/>\n");
  EXPECT_TRUE(fs::exists(dir / "Library" / "Preferences"));
}

}  // namespace
