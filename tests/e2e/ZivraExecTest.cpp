// zivra-exec runs as a real process on a generated bundle: replies of URL
// requests and of ExternalInterface calls, one line each, and wrong usage.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/TempDir.h"
#include "tools/swf/SwfWriter.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

struct ProcessRun {
  int status = -1;
  std::string out, err;
};

std::vector<char*> pointers(std::vector<std::string>& texts) {
  std::vector<char*> out;
  for (auto& text : texts) out.push_back(text.data());
  out.push_back(nullptr);
  return out;
}

// Runs zivra-exec with the arguments and HOME set to `dir` (the user
// defaults are written there), its outputs going to files in `dir`.
ProcessRun exec(std::vector<std::string> args, const fs::path& dir) {
  args.insert(args.begin(), KW_ZIVRA_EXEC);
  std::vector<std::string> environment{"HOME=" + dir.string()};
  for (char** entry = environ; *entry != nullptr; ++entry) {
    if (std::string_view(*entry).substr(0, 5) != "HOME=") environment.emplace_back(*entry);
  }
  std::vector<char*> argv = pointers(args), envp = pointers(environment);
  const fs::path out = dir / "out.txt", err = dir / "err.txt";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = 0;
  ProcessRun result;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return result;
  int status = 0;
  waitpid(pid, &status, 0);
  if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
  result.out = kw::test::readFile(out);
  result.err = kw::test::readFile(err);
  return result;
}

class ZivraExec : public ::testing::Test {
 protected:
  // A bundle as zivra-bundle lays it out, around a movie that does nothing.
  ZivraExec() {
    const fs::path resources = app / "Contents" / "Resources";
    fs::create_directories(resources);
    fs::copy(KW_STANDIN_PLUGIN_BUNDLE, resources / "fpb.plugin", fs::copy_options::recursive);
    fs::copy_file(KW_WRAPPER_MOVIE, resources / "RidavOdarez.zve");
    kw::swf::SwfWriter writer(kw::swf::MovieHeader{});
    kw::test::writeFile(resources / "zvdata.zve", writer.showFrame().end().build());
    kw::test::writeFile(dir / "note.txt", {'h', 'i', '&'});
  }

  kw::test::TempDir temp;
  const fs::path dir = temp.path();
  const fs::path app = dir / "Exec.app";
};

TEST_F(ZivraExec, PrintsOneReplyLinePerCommand) {
  const std::string note = (dir / "note.txt").string();
  const ProcessRun async = exec({"--bundle", app, "KW://KW_zFile.readString?fileName=" + note,
                                 "KW://KW_zWindow.getParameter", "KW://KW_zFile.noSuchCommand",
                                 "KW://KW_zFile.fileExists?fileName=" + dir.string() + "&returnVarName1=there"},
                                dir);
  EXPECT_EQ(async.status, 0) << async.err;
  EXPECT_EQ(async.out, "&returnValue=hi%26\n&returnValue=main\n\n&there=1\n");

  const ProcessRun sync = exec({"--bundle", app, "--sync", "--window", "1", "[zFile,isFolder," + dir.string() + "]",
                                "KW://KW_zFile.fileExists?fileName=" + dir.string() + "/none"},
                               dir);
  EXPECT_EQ(sync.status, 0) << sync.err;
  EXPECT_EQ(sync.out, "<true/>\n<false/>\n");
  EXPECT_TRUE(fs::exists(dir / "Library" / "Preferences"));
}

TEST_F(ZivraExec, WrongUsageEndsWithStatusTwo) {
  const struct {
    std::vector<std::string> args;
    std::string message;
  } cases[] = {
      {{"KW://KW_zApplication.getParameter"}, "give the bundle with --bundle Name.app"},
      {{"--bundle", app}, "give at least one command TEXT"},
      {{"--bundle", app, "--window", "x", "t"}, "bad --window \"x\""},
      {{"--bundle", app, "--frobnicate", "t"}, "unknown argument \"--frobnicate\""},
      {{"--bundle", (dir / "None.app").string(), "t"}, "no application bundle at"},
      {{"--bundle", app, "--window", "99", "t"}, "no window with the instance identity 99"},
  };
  for (const auto& c : cases) {
    const ProcessRun result = exec(c.args, dir);
    EXPECT_EQ(result.status, 2) << c.message;
    EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
    EXPECT_EQ(result.out, "") << c.message;
  }
}

}  // namespace
