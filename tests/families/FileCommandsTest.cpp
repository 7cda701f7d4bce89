// The file commands as a movie sends them: real files under the fixture's
// temporary folder, a temporary Trash, scripted open and save panels.
#include <gtest/gtest.h>

#include <bit>
#include <cstdlib>
#include <regex>
#include <string>

#include "mac/commands/PercentEscaping.h"
#include "mac/platform/SystemLog.h"
#include "mac/platform/Window.h"
#include "tests/support/CommandFixture.h"
#include "tests/support/ScopedEnv.h"

namespace kw::test {
namespace {

namespace fs = std::filesystem;

class FileCommandsTest : public CommandFixture {
 protected:
  void SetUp() override {
    fs::create_directories(work);
    startApplication();
  }
  // The reply of a URL request (or with `sync` of an ExternalInterface call).
  std::string reply(const std::string& request, bool sync = false) { return run("KW://KW_zFile." + request, sync).reply; }
  static std::string q(const fs::path& path) { return stringByAddingPercentEscapesIncludingAmpersands(path.string()); }
  static void write(const fs::path& path, const std::string& text) { writeFile(path, {text.begin(), text.end()}); }

  fs::path work = dir.path() / "work";
  ScopedEnv trash{"XDG_DATA_HOME", (dir.path() / "data").string()};
  ScopedEnv home{"HOME", (dir.path() / "home").string()};
};

TEST_F(FileCommandsTest, TestsAndCreatesPaths) {
  write(work / "f.txt", "x");
  fs::create_directory(work / "d");
  fs::create_symlink(work / "d", work / "link");
  const std::string longPath = "/" + std::string(5000, 'a');
  const struct {
    std::string request, expected;
  } cases[] = {
      {"fileExists?fileName=" + q(work / "f.txt"), "&returnValue=1"},
      {"fileExists?fileName=" + q(work / "none"), "&returnValue=0"},
      {"fileExists?fileName=%FF", "&returnValue=0"},
      {"isFolder?fileName=" + q(work / "d"), "&returnValue=1"},
      {"isFolder?fileName=" + q(work / "link"), "&returnValue=1"},
      {"isFolder?fileName=" + q(work / "f.txt"), "&returnValue=0"},
      {"createFolder?folderName=" + q(work / "new"), "&returnValue=1"},
      {"createFolder?folderName=" + q(work / "new"), "&returnValue=0"},
      {"createFolder?folderName=" + q(work / "a" / "b"), "&returnValue=0"},
      {"createFolder?folderName=" + longPath, "&returnValue=0"},
      {"flashPathToPosixPath?filePath=/a%20b/c", "&returnValue=/a b/c"},
  };
  for (const auto& c : cases) EXPECT_EQ(reply(c.request), c.expected) << c.request;
  EXPECT_TRUE(fs::is_directory(work / "new"));
  EXPECT_EQ(reply("flashPathToPosixPath?filePath=nil", true), "<string></string>");
}

TEST_F(FileCommandsTest, CopyPrefersBundleResourceAndNeverOverwrites) {
  write(resources() / "data.txt", "resource");
  write(work / "data.txt", "elsewhere");
  const fs::path previous = fs::current_path();
  fs::current_path(work);
  EXPECT_EQ(reply("copyFile?sourceFile=data.txt&destinationFile=" + q(work / "out.txt")), "&returnValue=1");
  fs::current_path(previous);
  EXPECT_EQ(readFile(work / "out.txt"), "resource");
  // Onto an existing item, or without a source: false.
  EXPECT_EQ(reply("copyFile?sourceFile=" + q(work / "data.txt") + "&destinationFile=" + q(work / "out.txt")),
            "&returnValue=0");
  EXPECT_EQ(readFile(work / "out.txt"), "resource");
  {
    ScopedLogCapture log;
    EXPECT_EQ(reply("copyFile?sourceFile=" + q(work / "none") + "&destinationFile=" + q(work / "x")), "&returnValue=0");
    EXPECT_EQ(log.lines(), std::vector<std::string>{"could not get source file path"});
  }
  // Folders copy whole; a folder into itself fails and leaves nothing.
  fs::create_directories(work / "tree" / "sub");
  write(work / "tree" / "sub" / "leaf", "leaf");
  EXPECT_EQ(reply("copyFolder?sourceFolder=" + q(work / "tree") + "&destinationFolder=" + q(work / "copy")),
            "&returnValue=1");
  EXPECT_EQ(readFile(work / "copy" / "sub" / "leaf"), "leaf");
  EXPECT_EQ(reply("copyFolder?sourceFolder=" + q(work / "tree") + "&destinationFolder=" + q(work / "tree" / "in")),
            "&returnValue=0");
  EXPECT_FALSE(fs::exists(work / "tree" / "in"));
}

TEST_F(FileCommandsTest, LinksRenamesAndTrash) {
  write(work / "f.txt", "x");
  EXPECT_EQ(reply("createShortcut?targetFile=" + q(work / "f.txt") + "&shortcutFile=" + q(work / "l")), "&returnValue=1");
  EXPECT_EQ(fs::read_symlink(work / "l"), work / "f.txt");
  EXPECT_EQ(reply("createShortcut?targetFile=" + q(work / "f.txt") + "&shortcutFile=" + q(work / "l")), "&returnValue=0");

  write(work / "g.txt", "y");
  EXPECT_EQ(reply("renameFile?oldFileName=" + q(work / "g.txt") + "&newFileName=" + q(work / "f.txt")), "&returnValue=0");
  EXPECT_EQ(reply("renameFile?oldFileName=" + q(work / "g.txt") + "&newFileName=" + q(work / "h.txt")), "&returnValue=1");
  EXPECT_EQ(readFile(work / "h.txt"), "y");

  // A name already in the Trash: the second one goes in under another name.
  const fs::path trashed = dir.path() / "data" / "Trash" / "files";
  EXPECT_EQ(reply("deleteFile?fileName=" + q(work / "f.txt")), "&returnValue=1");
  write(work / "f.txt", "second");
  fs::create_directory(work / "d");
  EXPECT_EQ(reply("deleteFile?fileName=" + q(work / "f.txt")), "&returnValue=1");
  EXPECT_EQ(reply("deleteFolder?folderName=" + q(work / "d")), "&returnValue=1");
  EXPECT_EQ(reply("deleteFile?fileName=" + q(work / "none")), "&returnValue=0");
  EXPECT_EQ(std::distance(fs::directory_iterator(trashed), fs::directory_iterator()), 3);
  EXPECT_TRUE(fs::is_regular_file(trashed / "f.txt") && fs::is_directory(trashed / "d"));
}

TEST_F(FileCommandsTest, WritesReadsAndAppendsText) {
  // UTF-16 in the machine's byte order with its mark; the tilde is the home folder.
  fs::create_directories(dir.path() / "home");
  EXPECT_EQ(reply("writeString?fileName=~/./t.txt&textToWrite=a%26%C3%A9%F0%9F%98%80"), "&returnValue=1");
  const std::string little("\xFF\xFE" "a\0&\0\xE9\0\x3D\xD8\x00\xDE", 12);
  const std::string big("\xFE\xFF" "\0a\0&\0\xE9\xD8\x3D\xDE\x00", 12);
  EXPECT_EQ(readFile(dir.path() / "home" / "t.txt"), std::endian::native == std::endian::little ? little : big);
  const std::string text = q(dir.path() / "home" / "t.txt");
  EXPECT_EQ(reply("readString?fileName=" + text), "&returnValue=a%26%C3%A9%F0%9F%98%80");

  // The default encoding: UTF-8, with Latin-1 for bytes that are not UTF-8;
  // the other byte order's mark reads too.
  write(work / "mixed", "\xEF\xBB\xBF" "caf\xC3\xA9 caf\xE9+");
  EXPECT_EQ(reply("readString?fileName=" + q(work / "mixed")), "&returnValue=caf%C3%A9%20caf%C3%A9%2B");
  write(work / "swapped", std::endian::native == std::endian::little ? big : little);
  EXPECT_EQ(reply("readString?fileName=" + q(work / "swapped")), "&returnValue=a%26%C3%A9%F0%9F%98%80");
  EXPECT_EQ(reply("readString?fileName=" + q(work)), "");
  EXPECT_EQ(reply("readString?fileName=" + q(work / "none"), true), "<string>undefined</string>");

  // A failed atomic write leaves neither the target nor a temporary file.
  fs::create_directory(work / "folder");
  const auto entries = [&] { return std::distance(fs::directory_iterator(work), fs::directory_iterator()); };
  const auto before = entries();
  EXPECT_EQ(reply("writeString?fileName=" + q(work / "folder") + "&textToWrite=x"), "&returnValue=0");
  EXPECT_EQ(reply("writeString?fileName=" + q(work / "no" / "f") + "&textToWrite=x"), "&returnValue=0");
  EXPECT_EQ(entries(), before);
  EXPECT_TRUE(fs::is_directory(work / "folder"));

  // Appending: to a readable file, to nothing (the text alone), never to a folder.
  write(work / "log", "one\xE9");
  EXPECT_EQ(reply("appendString?fileName=" + q(work / "log") + "&textToAppend=%20two"), "&returnValue=1");
  EXPECT_EQ(readFile(work / "log"), "one\xC3\xA9 two");
  EXPECT_EQ(reply("appendString?fileName=" + q(work / "fresh") + "&textToAppend=new"), "&returnValue=1");
  EXPECT_EQ(readFile(work / "fresh"), "new");
  EXPECT_EQ(reply("appendString?fileName=" + q(work / "folder") + "&textToAppend=x"), "&returnValue=0");
}

TEST_F(FileCommandsTest, ListsFilesAndFolders) {
  write(work / "a&b,c.txt", "");
  fs::create_directory(work / "sub");
  EXPECT_EQ(reply("listFiles?folderName=" + q(work)), "&returnValue=a%26b%2Cc.txt");
  EXPECT_EQ(reply("listFolders?folderName=" + q(work)), "&returnValue=sub");
  EXPECT_EQ(reply("listFolders?folderName=" + q(work / "none"), true),
            "<object><property id=\"KW_array\"><array><property id =\"length\"><number>0</number></property>"
            "</array></property></object>");
  EXPECT_EQ(reply("listFiles?folderName=" + q(work / "none")), "&returnValue=");
  EXPECT_EQ(reply("listFiles?folderName=" + q(work / "a&b,c.txt")), "&returnValue=");

  // Tildes and exclamation marks at both ends of the whole list go.
  fs::create_directory(work / "marks");
  write(work / "marks" / "~x!", "");
  write(work / "marks" / "y", "");
  const std::string list = reply("listFiles?folderName=" + q(work / "marks"));
  EXPECT_TRUE(list == "&returnValue=x!~!y" || list == "&returnValue=y~!~x") << list;
}

TEST_F(FileCommandsTest, PanelsFollowTheFilterAndLowerTheWindow) {
  Window* window = controller->flashWindow()->nativeWindow();
  window->setLevel(3);
  desktop.openPanelAnswers = {std::vector<std::string>{"/p/a,b&c.swf", "/p/second"}, std::nullopt,
                              std::vector<std::string>{"/p/dir"}, std::vector<std::string>{"/p/1", "/p/2"}};
  EXPECT_EQ(reply("chooseFile?title=T&initFileName=n&folderName=/f&filter=*&saveFile=false"), "&returnValue=/p/a%2Cb%26c.swf");
  EXPECT_EQ(reply("chooseFile?title=T&initFileName=n&folderName=&filter=%20swf%20,%20png &saveFile=0"), "");
  EXPECT_EQ(reply("chooseFolder?title=F&initFolderName=/start"), "&returnValue=/p/dir");
  EXPECT_EQ(reply("chooseFiles?title=M&initFileName=&folderName=/g&filter=*.*", true),
            "<object><property id=\"KW_array\"><array><property id=\"0\"><string>/p/1</string></property>"
            "<property id=\"1\"><string>/p/2</string></property><property id =\"length\"><number>2</number>"
            "</property></array></property></object>");
  desktop.savePanelAnswers = {std::string("/s/out,1.txt"), std::nullopt};
  EXPECT_EQ(reply("chooseFile?title=S&initFileName=o.txt&folderName=/s&filter=txt&saveFile=true"),
            "&returnValue=/s/out%2C1.txt");
  EXPECT_EQ(reply("chooseFile?title=S&initFileName=&folderName=&filter=&saveFile=true", true),
            "<string>undefined</string>");
  EXPECT_EQ(window->level(), 3);

  // (save, title, folder, file name, types, files, folders, several) of each panel.
  using Panel = std::tuple<bool, std::string, std::string, std::string, std::vector<std::string>, bool, bool, bool>;
  const Panel expected[] = {{false, "T", "/f", "n", {}, true, false, false},
                            {false, "T", "", "n", {"swf", "png"}, true, false, false},
                            {false, "F", "/start", "", {}, false, true, false},
                            {false, "M", "/g", "", {}, true, false, true},
                            {true, "S", "/s", "o.txt", {"txt"}, true, false, false},
                            {true, "S", "", "", {}, true, false, false}};
  ASSERT_EQ(desktop.filePanels.size(), std::size(expected));
  for (size_t i = 0; i < std::size(expected); ++i) {
    const auto& p = desktop.filePanels[i];
    EXPECT_EQ(Panel(p.save, p.title, p.directory, p.fileName, p.fileTypes, p.canChooseFiles, p.canChooseDirectories,
                    p.multiple),
              expected[i]) << i;
    EXPECT_EQ(p.topWindowLevel, 0) << i;
  }
}

TEST_F(FileCommandsTest, FlashHeaderAndAttributes) {
  swf::MovieHeader header;
  header.compressed = true;
  header.version = 9;
  header.frame = {0, 320 * 20, 0, 240 * 20};
  header.frameRate = swf::fixed88(24.5);
  swf::SwfWriter writer(header);
  writer.showFrame().showFrame();
  const swf::Bytes movie = writer.end().build();
  writeFile(work / "m.swf", movie);
  ScopedLogCapture log;
  const std::string object = "<object><property id=\"FileSize\"><number>" + std::to_string(movie.size()) +
                             "</number></property><property id=\"FrameCount\"><number>2</number></property>"
                             "<property id=\"FrameRate\"><number>24</number></property><property id=\"Height\">"
                             "<number>240</number></property><property id=\"Version\"><number>9</number></property>"
                             "<property id=\"Width\"><number>320</number></property></object>";
  EXPECT_EQ(reply("getFlashHeader?filePath=" + q(work / "m.swf"), true), object);
  EXPECT_EQ(log.lines().front(), "File size: " + std::to_string(movie.size()));
  EXPECT_EQ(log.lines().back(), "headerObject " + object);
  // Not a movie: only the size; no path: an empty text.
  write(work / "text", "hello");
  EXPECT_EQ(reply("getFlashHeader?filePath=" + q(work / "text"), true),
            "<object><property id=\"FileSize\"><number>5</number></property><property id=\"FrameCount\"><number>0"
            "</number></property><property id=\"FrameRate\"><number>0</number></property><property id=\"Height\">"
            "<number>0</number></property><property id=\"Version\"><number>0</number></property>"
            "<property id=\"Width\"><number>0</number></property></object>");
  EXPECT_EQ(reply("getFlashHeader?filePath=", true), "");

  const size_t first = log.lines().size();
  const std::string attributes = reply("getFileAttributes?filePath=" + q(work / "text"), true);
  EXPECT_TRUE(std::regex_match(attributes,
                               std::regex("<object><property id=\"Attributes\"><string>nil</string></property>"
                                          "<property id=\"Created\"><number>\\d+\\.\\d{6}</number></property>"
                                          "<property id=\"Modified\"><number>1\\d{12}\\.\\d{6}</number></property>"
                                          "<property id=\"Size\"><number>5</number></property></object>")))
      << attributes;
  const std::vector<std::string> lines(log.lines().begin() + static_cast<ptrdiff_t>(first), log.lines().end());
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[0], "getFileAttributes");
  EXPECT_EQ(lines[1], "File size: 5");
  EXPECT_TRUE(lines[lines.size() - 2].starts_with("Modification date: 2")) << lines[lines.size() - 2];
  EXPECT_EQ(lines.back(), "attributesObject " + attributes);

  const size_t second = log.lines().size();
  EXPECT_EQ(reply("getFileAttributes?filePath=" + q(work / "none")), "");
  EXPECT_EQ(log.lines().back(), "Path (" + (work / "none").string() + ") is invalid.");
  EXPECT_EQ(log.lines().size(), second + 2);
}

}  // namespace
}  // namespace kw::test
