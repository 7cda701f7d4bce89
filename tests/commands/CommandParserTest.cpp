// Tests of the command parser: both request forms, every table row, the
// commands with parse-time extras and malformed requests.
#include "mac/commands/CommandParser.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "mac/commands/CommandTable.h"
#include "mac/platform/SystemLog.h"

namespace kw {
namespace {

constexpr uint32_t kNow = 1000;

class FakeServices : public ParserServices {
 public:
  MousePoint currentMousePosition() override {
    ++mouseReads;
    return mouse;
  }
  Status startFTPTransfer(CocoaInterfaceData& record) override {
    ++ftpStarts;
    ftpFunction = record.functionNumber;
    ftpServer = record.stringParam2.value_or("<null>");
    return ftpStatus;
  }

  MousePoint mouse{321, 47};
  int mouseReads = 0;
  Status ftpStatus = kStatusOK;
  int ftpStarts = 0;
  int32_t ftpFunction = 0;
  std::string ftpServer;
};

class CommandParserTest : public ::testing::Test {
 protected:
  Status parse(std::string_view text, bool listForm, bool synchronous = false) {
    record = CocoaInterfaceData::create(kNow, nullptr, FileSpec{});
    return parseCommand(text, record.get(), synchronous, listForm, services);
  }
  Status url(std::string_view text, bool synchronous = false) { return parse(text, false, synchronous); }
  Status list(std::string_view text, bool synchronous = true) { return parse(text, true, synchronous); }

  FakeServices services;
  ScopedLogCapture log;
  std::unique_ptr<CocoaInterfaceData> record;
};

std::string joinList(const std::vector<std::string>& items) {
  std::string text = "[";
  for (size_t i = 0; i < items.size(); ++i) text += (i ? "," : "") + items[i];
  return text + "]";
}

// ---- Every row ----------------------------------------------------------------

struct NamedID {
  const char* name;
  int id;
};

// Every row but the catch-all "zWindow." row, in table order.
constexpr NamedID kExpectedIDs[] = {
   {"trace", 408}, {"createMenu", 100}, {"deleteMenu", 101},
   {"setMenuItemEnabled", 111}, {"addMenuToMenuBar", 102}, {"addItem", 105},
   {"addWebLinkToMenu", 103}, {"addZOrderMenuItems", 104}, {"addSeparator", 107},
   {"checkItem", 108}, {"removeItem", 106}, {"removeAllItems", 109},
   {"onCommand", 110}, {"chooseColor", 204}, {"getDesktopFolder", 221},
   {"getProgramsFolder", 222}, {"showMouse", 411}, {"executeApplication", 200},
   {"isScreenSaverRunning", 231}, {"isMailAvailable", 220}, {"sendMail", 219},
   {"openDocument", 201}, {"runAppleScriptFile", 203}, {"runAppleScript", 202},
   {"setStartAtLogin", 205}, {"getStartAtLogin", 206}, {"isApplicationRunning", 207},
   {"setActiveScreenSaver", 208}, {"setActiveWallpaper", 209}, {"getScreenSize", 212},
   {"getHomeDirectory", 214}, {"getSpecialFolder", 210}, {"getMyPath", 228},
   {"deleteSelf", 229}, {"getSystemFolder", 210}, {"getUserGUID", 217},
   {"getHostAddress", 218}, {"getUserName", 215}, {"getComputerName", 216},
   {"listMonitors", 213}, {"getWindows", 223}, {"getWindowRect", 224},
   {"setScreenResolutionTo800x600", 225}, {"setScreenResolutionTo640x480", 226}, {"resetScreenResolution", 227},
   {"openScreenSaverControlPanel", 232}, {"zWindow.bringToForeground", 305}, {"zWindow.getParameter", 306},
   {"zWindow.close", 304}, {"zWindow.minimize", 300}, {"zWindow.restore", 301},
   {"zWindow.setBackgroundColor", 302}, {"zWindow.setMaskRectangle", 303}, {"zWindow.getPosition", 308},
   {"zWindow.setPosition", 307}, {"zWindow.getSize", 310}, {"zWindow.setSize", 309},
   {"zWindow.setTitle", 311}, {"zWindow.setZOrder", 312}, {"zWindow.show", 313},
   {"zWindow.startDrag", 314}, {"zWindow.stopDrag", 315}, {"zWindow.setShape", 317},
   {"zWindow.setAlpha", 318}, {"zWindow.setFlashSize", 319}, {"zWindow.setFrameRate", 320},
   {"zWindow.embedMediaWindow", 321}, {"zWindow.loadMedia", 322}, {"getArguments", 421},
   {"enableCaching", 418}, {"messageDialog", 413}, {"abortFunction", 420},
   {"captureScreenToJPG", 403}, {"createWindow", 416}, {"createMediaWindow", 419},
   {"getWindow", 417}, {"getVersion", 415}, {"getWorkingDirectory", 412},
   {"getFolder", 404}, {"getMousePosition", 414}, {"getPathToBundledApplication", 406},
   {"getPathToBundledFile", 407}, {"checkNetConnection", 400}, {"bounceDockIcon", 409},
   {"setDockIconBadge", 410}, {"downloadFile", 401}, {"quit", 402},
   {"revealInFinder", 405}, {"flashPathToPosixPath", 518}, {"fileExists", 513},
   {"getFlashHeader", 519}, {"getFileAttributes", 520}, {"isFolder", 517},
   {"copyFile", 500}, {"copyFolder", 501}, {"createShortcut", 503},
   {"deleteFile", 504}, {"createFolder", 502}, {"deleteFolder", 505},
   {"renameFile", 506}, {"chooseFiles", 516}, {"chooseFile", 508},
   {"chooseFolder", 509}, {"writeString", 510}, {"readString", 511},
   {"appendString", 512}, {"listFiles", 514}, {"listFolders", 515},
   {"getMonitorNumber", 700}, {"getPlayMode", 702}, {"simpleGet", 600},
   {"simplePut", 601},
};

TEST_F(CommandParserTest, EveryCommandNameParsesToItsIDInBothForms) {
  ASSERT_EQ(std::size(kExpectedIDs), kCommandCount - 1);
  for (const NamedID& expected : kExpectedIDs) {
    const std::string name = expected.name;
    SCOPED_TRACE(name);
    const Status status = url(name);
    EXPECT_TRUE(status == kStatusRunCommand || status == kStatusBadParameter) << status;
    EXPECT_EQ(record->functionNumber, expected.id);

    const bool window = name.starts_with("zWindow.");
    EXPECT_EQ(list(window ? "[zWindow," + name.substr(8) + ",0]" : "[zSystem," + name + "]"), kStatusRunCommand);
    EXPECT_EQ(record->functionNumber, expected.id);
    EXPECT_EQ(record->listForm, 1);
  }
}

// Fills every parameter of every row with a distinct value and checks that
// each value arrives where the row says, in both forms.
std::string valueFor(Slot slot, size_t k) {
  if (slot <= Slot::S6) return "v" + std::to_string(k);
  if (slot <= Slot::I4 || slot == Slot::W) return std::to_string(100 + k);
  return "true";
}

void expectSlot(const CocoaInterfaceData& r, Slot slot, size_t k) {
  const std::string want = valueFor(slot, k);
  switch (slot) {
    case Slot::S1: EXPECT_EQ(r.stringParam1, want); break;
    case Slot::S2: EXPECT_EQ(r.stringParam2, want); break;
    case Slot::S3: EXPECT_EQ(r.stringParam3, want); break;
    case Slot::S4: EXPECT_EQ(r.stringParam4, want); break;
    case Slot::S5: EXPECT_EQ(r.stringParam5, want); break;
    case Slot::S6: EXPECT_EQ(r.stringParam6, want); break;
    case Slot::I1: EXPECT_EQ(r.intParam1, 100 + static_cast<int32_t>(k)); break;
    case Slot::I2: EXPECT_EQ(r.intParam2, 100 + static_cast<int32_t>(k)); break;
    case Slot::I3: EXPECT_EQ(r.intParam3, 100 + static_cast<int32_t>(k)); break;
    case Slot::I4: EXPECT_EQ(r.intParam4, 100 + static_cast<int32_t>(k)); break;
    case Slot::B1: EXPECT_EQ(r.boolParam1, 1); break;
    case Slot::B2: EXPECT_EQ(r.boolParam2, 1); break;
    case Slot::B3: EXPECT_EQ(r.boolParam3, 1); break;
    case Slot::W: EXPECT_EQ(r.windowID, 100u + k); break;
  }
}

TEST_F(CommandParserTest, EveryParameterReachesItsDestinationInBothForms) {
  for (const CommandEntry& entry : commandTable()) {
    SCOPED_TRACE(entry.name);
    const std::string name(entry.name);
    const bool window = name.starts_with("zWindow.");
    const std::string callName = entry.number == 69 ? "zWindow.other" : name;

    std::string text = callName;
    const auto urlParams = urlParameters(entry);
    for (size_t k = 0; k < urlParams.size(); ++k) {
      text += (k == 0 ? "?" : "&") + std::string(urlParams[k].name) + "=" + valueFor(urlParams[k].slot, k);
    }
    ASSERT_EQ(url(text), kStatusRunCommand);
    for (size_t k = 0; k < urlParams.size(); ++k) expectSlot(*record, urlParams[k].slot, k);

    const auto listParams = listParameters(entry);
    std::vector<std::string> items = {window ? "zWindow" : "zFile", window ? callName.substr(8) : callName};
    if (window) items.push_back("0");
    for (const ListParameter& p : listParams) {
      if (p.item != kLastItem && items.size() <= static_cast<size_t>(p.item)) items.resize(static_cast<size_t>(p.item) + 1, "x");
    }
    for (size_t k = 0; k < listParams.size(); ++k) {
      const size_t at = listParams[k].item == kLastItem ? items.size() - 1 : static_cast<size_t>(listParams[k].item);
      items[at] = valueFor(listParams[k].slot, k);
    }
    ASSERT_EQ(list(joinList(items)), kStatusRunCommand);
    for (size_t k = 0; k < listParams.size(); ++k) expectSlot(*record, listParams[k].slot, k);
  }
  EXPECT_TRUE(log.lines().empty());
}

TEST_F(CommandParserTest, TheBiggestCommandReadsAllItsParametersInBothForms) {
  ASSERT_EQ(url("createWindow?flashFileName=a.swf&x=10&y=-20&parameter=p&title=T&type=masked&backgroundColor=%23FF0000"
                "&ownedByMainWindow=true&initialAlpha=80&resizeable=0&hasShadow=1&shapeFilename=s.png"),
            kStatusRunCommand);
  EXPECT_EQ(record->functionNumber, 416);
  EXPECT_EQ(record->resultIsNumber, 1);
  EXPECT_EQ(record->stringParam1, "a.swf");
  EXPECT_EQ(record->stringParam2, "p");
  EXPECT_EQ(record->stringParam3, "T");
  EXPECT_EQ(record->stringParam4, "masked");
  EXPECT_EQ(record->stringParam5, "#FF0000");
  EXPECT_EQ(record->stringParam6, "s.png");
  EXPECT_EQ(record->intParam1, 10);
  EXPECT_EQ(record->intParam2, -20);
  EXPECT_EQ(record->intParam3, 80);
  EXPECT_EQ(record->boolParam1, 1);
  EXPECT_EQ(record->boolParam2, 0);
  EXPECT_EQ(record->boolParam3, 1);

  ASSERT_EQ(list("[zApplication,createWindow,a.swf,10,-20,p,T,masked,#FF0000,true,80,false,TRUE,s.png]"),
            kStatusRunCommand);
  EXPECT_EQ(record->stringParam5, "#FF0000");
  EXPECT_EQ(record->intParam2, -20);
  EXPECT_EQ(record->intParam3, 80);
  EXPECT_EQ(record->boolParam1, 1);
  EXPECT_EQ(record->boolParam2, 0);
  EXPECT_EQ(record->boolParam3, 0);  // the list form's boolean is exactly "true"
  EXPECT_EQ(record->stringParam6, "s.png");
}

// ---- The two forms ----------------------------------------------------------

TEST_F(CommandParserTest, ObjectPrefixesAreOptionalAndKeptOutOfTheWorkingCopy) {
  ASSERT_EQ(url("zMenu.createMenu?menuName=File"), kStatusRunCommand);
  EXPECT_EQ(record->functionNumber, 100);
  EXPECT_EQ(record->stringParam1, "File");
  EXPECT_EQ(record->requestText, "createMenu?menuName=File");
  ASSERT_EQ(url("createMenu?menuName=File"), kStatusRunCommand);
  EXPECT_EQ(record->functionNumber, 100);
  EXPECT_EQ(record->stringParam1, "File");

  EXPECT_EQ(url("KW_KWF.quit"), kStatusRunCommand);
  EXPECT_EQ(record->functionNumber, 402);
  EXPECT_EQ(url("zfile.quit"), kStatusUnknownCommand);  // prefixes are case-sensitive
  EXPECT_EQ(url("QUIT"), kStatusRunCommand);
  EXPECT_EQ(record->functionNumber, 402);
  EXPECT_EQ(url("qui"), kStatusUnknownCommand);
  EXPECT_EQ(record->functionNumber, 0);
}

TEST_F(CommandParserTest, URLFormReadsTheWindowAndStopsAtTheFirstMissingParameter) {
  EXPECT_EQ(url("zWindow.setSize?windowID=0&width=300"), kStatusBadParameter);
  EXPECT_EQ(record->functionNumber, 309);

  ASSERT_EQ(url("zWindow.setSize?windowID=0&width=300&height=200"), kStatusRunCommand);
  EXPECT_EQ(record->intParam1, 300);
  EXPECT_EQ(record->intParam2, 200);
  EXPECT_EQ(record->windowID, 0u);

  EXPECT_EQ(url("zWindow.setSize?height=200&windowID=-1"), kStatusBadParameter);
  EXPECT_EQ(record->intParam2, 0);  // not read after width failed
  EXPECT_EQ(record->windowID, 0xFFFFFFFFu);

  // Every string destination exists after a URL-form parse, read or not.
  EXPECT_EQ(url("addItem?shortcut=O"), kStatusBadParameter);
  EXPECT_EQ(record->stringParam1, "");
  EXPECT_EQ(record->stringParam2, "");
  EXPECT_EQ(record->stringParam3, "");
  EXPECT_EQ(record->stringParam4, std::nullopt);
  ASSERT_EQ(url("getUserName"), kStatusRunCommand);
  EXPECT_EQ(record->stringParam1, "");
  EXPECT_EQ(record->stringParam2, std::nullopt);
  ASSERT_EQ(list("[zSystem,getUserName]"), kStatusRunCommand);
  EXPECT_EQ(record->stringParam1, std::nullopt);

  EXPECT_EQ(url("trace?msg=abc%4"), kStatusBadParameter);
  EXPECT_EQ(url("trace?msg=%"), kStatusBadParameter);
  EXPECT_EQ(url("zWindow.setTitle?title=%2G"), kStatusBadParameter);
}

TEST_F(CommandParserTest, ListFormAppliesTheWindowRule) {
  ASSERT_EQ(list("[\"zWindow\",\"getSize\"]"), kStatusRunCommand);
  EXPECT_EQ(record->functionNumber, 310);
  EXPECT_EQ(record->windowID, 0u);
  EXPECT_EQ(record->resultIsPoint, 1);

  ASSERT_EQ(list("[zWindow,setPosition,42,5,6]"), kStatusRunCommand);
  EXPECT_EQ(record->windowID, 42u);
  EXPECT_EQ(record->intParam1, 5);
  EXPECT_EQ(record->intParam2, 6);

  // Other objects are not checked against the command's family.
  ASSERT_EQ(list("[zMenu,getSpecialFolder,5]"), kStatusRunCommand);
  EXPECT_EQ(record->functionNumber, 210);
  EXPECT_EQ(record->intParam1, 5);
  ASSERT_EQ(list("[zMenu,addItem,Open,File,O]"), kStatusRunCommand);
  EXPECT_EQ(record->stringParam1, "File");
  EXPECT_EQ(record->stringParam2, "Open");
  EXPECT_EQ(record->stringParam3, "O");
  ASSERT_EQ(list("[zSystem,sendMail,hello,\"a, b\",to@x]"), kStatusRunCommand);
  EXPECT_EQ(record->stringParam2, "a, b");
  EXPECT_EQ(record->stringParam3, "to@x");
  EXPECT_EQ(record->requestText, "[zSystem,sendMail,hello,\"a, b\",to@x]");
}

TEST_F(CommandParserTest, ShortListsAreLoggedAndReadAsEmptyItems) {
  ASSERT_EQ(list("[zSystem,sendMail,hi]"), kStatusRunCommand);
  EXPECT_EQ(record->stringParam1, "hi");
  EXPECT_EQ(record->stringParam2, "");
  EXPECT_EQ(record->stringParam3, "");
  ASSERT_EQ(log.lines().size(), 2u);
  EXPECT_EQ(log.lines()[0], "Call does not have enough parameters (zSystem, sendMail, hi)");

  record = CocoaInterfaceData::create(kNow, nullptr, FileSpec{});
  record->intParam1 = 99;
  record->boolParam1 = 1;
  ASSERT_EQ(parseCommand("[zSystem,executeApplication]", record.get(), true, true, services), kStatusRunCommand);
  EXPECT_EQ(record->stringParam1, "");
  EXPECT_EQ(record->boolParam1, 0);
  ASSERT_EQ(parseCommand("[zSystem,getSpecialFolder]", record.get(), true, true, services), kStatusRunCommand);
  EXPECT_EQ(record->intParam1, 0);
}

TEST_F(CommandParserTest, TextOrStringRepliesFollowTheCallKind) {
  ASSERT_EQ(url("runAppleScript?script=x", false), kStatusRunCommand);
  EXPECT_EQ(record->resultIsString, 1);
  EXPECT_EQ(record->resultIsText, 0);
  EXPECT_EQ(record->synchronous, 0);
  ASSERT_EQ(url("runAppleScript?script=x", true), kStatusRunCommand);
  EXPECT_EQ(record->resultIsText, 1);
  EXPECT_EQ(record->resultIsString, 0);
  EXPECT_EQ(record->synchronous, 1);
  ASSERT_EQ(list("[zSystem,listMonitors]", true), kStatusRunCommand);
  EXPECT_EQ(record->resultIsText, 1);
  ASSERT_EQ(list("[zSystem,getFlashHeader,f]", false), kStatusRunCommand);
  EXPECT_EQ(record->resultIsText, 1);
}

// ---- Special rows -------------------------------------------------------------

TEST_F(CommandParserTest, ShortenedAndExactComparisons) {
  ASSERT_EQ(url("getHomeDirectoryOfUser"), kStatusRunCommand);
  EXPECT_EQ(record->functionNumber, 214);
  EXPECT_EQ(url("openScreenSaverControlPanel?x=1"), kStatusUnknownCommand);
  ASSERT_EQ(url("zWindow.stopDrag?windowID=9"), kStatusRunCommand);  // falls to the catch-all
  EXPECT_EQ(record->functionNumber, 0);
  EXPECT_EQ(record->windowID, 9u);
  ASSERT_EQ(url("setScreenResolutionTo640x480"), kStatusRunCommand);
  EXPECT_EQ(record->functionNumber, 226);
}

TEST_F(CommandParserTest, UnknownWindowCommandsRunAsNothing) {
  ASSERT_EQ(url("zWindow.fly?windowID=7"), kStatusRunCommand);
  EXPECT_EQ(record->functionNumber, 0);
  EXPECT_EQ(record->windowID, 7u);
  // The catch-all reads windowID like any other parameter: without it nothing runs.
  EXPECT_EQ(url("zWindow.fly"), kStatusBadParameter);
  EXPECT_EQ(record->windowID, 0u);
  ASSERT_EQ(list("[zWindow,fly,7]"), kStatusRunCommand);
  EXPECT_EQ(record->functionNumber, 0);
  EXPECT_EQ(record->windowID, 7u);
  EXPECT_EQ(url("zWindow"), kStatusUnknownCommand);
}

TEST_F(CommandParserTest, SetTitleTakesTheLastItemAndEmbedTakesItsWindowFromTheFileName) {
  ASSERT_EQ(list("[zWindow,setTitle,0,a,b,Hello]"), kStatusRunCommand);
  EXPECT_EQ(record->stringParam1, "Hello");
  ASSERT_EQ(list("[zWindow,setTitle,3,Title]"), kStatusRunCommand);
  EXPECT_EQ(record->stringParam1, "Title");
  EXPECT_EQ(record->windowID, 3u);

  ASSERT_EQ(list("[zWindow,embedMediaWindow,12movie.mov,1,2,3,4]"), kStatusRunCommand);
  EXPECT_EQ(record->functionNumber, 321);
  EXPECT_EQ(record->stringParam1, "12movie.mov");
  EXPECT_EQ(record->windowID, 12u);
  EXPECT_EQ(record->intParam4, 4);
  ASSERT_EQ(list("[zWindow,embedMediaWindow,movie.mov,1,2,3,4]"), kStatusRunCommand);
  EXPECT_EQ(record->windowID, 0u);
}

TEST_F(CommandParserTest, MousePositionIsAnsweredByTheParser) {
  ASSERT_EQ(url("getMousePosition"), kStatusRunCommand);
  EXPECT_EQ(record->functionNumber, 414);
  EXPECT_EQ(record->resultIsPoint, 1);
  EXPECT_EQ(record->numberResult, 321);
  EXPECT_EQ(record->numberResult2, 47);
  EXPECT_EQ(record->completed, 1);
  services.mouse = {-5, 900};
  ASSERT_EQ(list("[zApplication,getMousePosition]"), kStatusRunCommand);
  EXPECT_EQ(record->numberResult, -5);
  EXPECT_EQ(record->numberResult2, 900);
  EXPECT_EQ(record->completed, 1);
  EXPECT_EQ(services.mouseReads, 2);
}

TEST_F(CommandParserTest, DownloadAndFileTextCommandsHaveNoDeadline) {
  ASSERT_EQ(url("downloadFile?URL=http://h/f&fileName=f"), kStatusRunCommand);  // functionID optional
  EXPECT_EQ(record->functionNumber, 401);
  EXPECT_EQ(record->stringParam2, "http://h/f");
  EXPECT_EQ(record->stringParam1, "f");
  EXPECT_EQ(record->resultIsBoolean, 1);
  EXPECT_EQ(record->resultIsNumber, 1);
  EXPECT_EQ(record->deadlineTicks, 0u);
  EXPECT_EQ(url("downloadFile?fileName=f&functionID=3"), kStatusBadParameter);
  EXPECT_EQ(record->stringParam1, "");  // not read after URL failed

  ASSERT_EQ(list("[zFile,readString,f]"), kStatusRunCommand);
  EXPECT_EQ(record->deadlineTicks, 0u);
  ASSERT_EQ(url("appendString?fileName=f&textToAppend=t"), kStatusRunCommand);
  EXPECT_EQ(record->deadlineTicks, 0u);
  ASSERT_EQ(url("writeString?fileName=f&textToWrite=t"), kStatusRunCommand);
  EXPECT_EQ(record->deadlineTicks, kNow + kDefaultDeadlineTicks);
}

TEST_F(CommandParserTest, ChooseFolderReadsBothAndCountsTheSecond) {
  ASSERT_EQ(url("chooseFolder?initFolderName=/tmp"), kStatusRunCommand);
  EXPECT_EQ(record->stringParam2, "/tmp");
  ASSERT_EQ(url("chooseFolder?title=T&initFolderName=/tmp"), kStatusRunCommand);
  EXPECT_EQ(record->stringParam1, "T");
  EXPECT_EQ(url("chooseFolder?title=T"), kStatusBadParameter);
  EXPECT_EQ(record->stringParam1, "T");
}

TEST_F(CommandParserTest, FTPCommandsReadTheirParametersAndStartTheTransfer) {
  ASSERT_EQ(url("zFTP.simpleGet?userAgent=ua&serverNameOrIP=ftp.example&username=bob&password=pw"
                "&serverPath=/a&hardDrivePath=/b&replaceFileIfItExists=true"),
            kStatusRunCommand);
  EXPECT_EQ(services.ftpStarts, 1);
  EXPECT_EQ(services.ftpFunction, 600);
  EXPECT_EQ(services.ftpServer, "ftp.example");
  EXPECT_EQ(record->stringParam1, "ua");
  EXPECT_EQ(record->stringParam3, "bob");
  EXPECT_EQ(record->stringParam4, "pw");
  EXPECT_EQ(record->stringParam5, "/a");
  EXPECT_EQ(record->stringParam6, "/b");
  EXPECT_EQ(record->boolParam1, 1);
  EXPECT_EQ(record->resultIsNumber, 1);
  EXPECT_EQ(record->completed, 0);
  EXPECT_EQ(record->deadlineTicks, kNow + kFTPDeadlineTicks);

  ASSERT_EQ(url("simplePut?userName=ann&username=bob"), kStatusRunCommand);
  EXPECT_EQ(services.ftpFunction, 601);
  EXPECT_EQ(record->stringParam3, "ann");
  EXPECT_EQ(record->stringParam2, "");  // missing parameters do not stop the transfer
  EXPECT_EQ(record->stringParam6, "");

  services.ftpStatus = -3;
  EXPECT_EQ(url("simpleGet?serverNameOrIP=h"), -3);

  const int started = services.ftpStarts;
  ASSERT_EQ(list("[zFTP,simpleGet,h]"), kStatusRunCommand);  // the list form starts nothing
  EXPECT_EQ(services.ftpStarts, started);
  EXPECT_EQ(record->functionNumber, 600);
}

// ---- Bad input ---------------------------------------------------------------

TEST_F(CommandParserTest, MalformedRequestsGetAStatusNotACrash) {
  EXPECT_EQ(parseCommand("quit", nullptr, false, false, services), kStatusRunCommand);

  EXPECT_EQ(url(""), kStatusUnknownCommand);
  EXPECT_EQ(record->requestText, "");
  EXPECT_EQ(url("?"), kStatusUnknownCommand);
  EXPECT_EQ(list(""), kStatusUnknownCommand);
  EXPECT_EQ(list("[]"), kStatusUnknownCommand);
  EXPECT_EQ(list("[[[]]]"), kStatusUnknownCommand);
  EXPECT_EQ(list("[,,,]"), kStatusUnknownCommand);
  EXPECT_EQ(list("[\"]"), kStatusUnknownCommand);

  // A lone "zWindow" is the catch-all window command with empty items.
  ASSERT_EQ(list("[zWindow]"), kStatusRunCommand);
  EXPECT_EQ(record->functionNumber, 0);
  EXPECT_EQ(record->windowID, 0u);

  // The request ends at its first NUL, as a C string does.
  ASSERT_EQ(url(std::string_view("quit\0zzz", 8)), kStatusRunCommand);
  EXPECT_EQ(record->requestText, "quit");
  ASSERT_EQ(url(std::string_view("trace?msg=ab\0cd&x", 17)), kStatusRunCommand);
  EXPECT_EQ(record->stringParam1, "ab");
  EXPECT_EQ(url(std::string_view("\0quit", 5)), kStatusUnknownCommand);
}

TEST_F(CommandParserTest, HugeRequestsParseWhole) {
  const std::string big(1 << 20, 'x');
  ASSERT_EQ(url("trace?msg=" + big), kStatusRunCommand);
  EXPECT_EQ(record->stringParam1, big);

  std::vector<std::string> items = {"zWindow", "setTitle", "0"};
  for (int i = 0; i < 100000; ++i) items.push_back(std::to_string(i));
  ASSERT_EQ(list(joinList(items)), kStatusRunCommand);
  EXPECT_EQ(record->stringParam1, "99999");

  ASSERT_EQ(list("[zSystem,runAppleScript,\"" + big + "\"]"), kStatusRunCommand);
  EXPECT_EQ(record->stringParam1, big);
}

}  // namespace
}  // namespace kw
