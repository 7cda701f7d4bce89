// Tests of the command parser: both request forms, every table row, the
// commands with parse-time extras and malformed requests.
#include "mac/commands/CommandParser.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "mac/commands/CommandTable.h"
#include "mac/platform/SystemLog.h"

namespace kw {
namespace {

constexpr uint32_t kNow = 1000;

// Answers the mouse position and records each transfer start.
struct FakeServices : ParserServices {
  MousePoint currentMousePosition() override { return mouse; }
  Status startFTPTransfer(CocoaInterfaceData& record) override {
    ftpStarts.push_back(record.functionNumber);
    ftpServer = record.stringParam2.value_or("<null>");
    return ftpStatus;
  }
  MousePoint mouse{321, 47};
  Status ftpStatus = kStatusOK;
  std::vector<int32_t> ftpStarts;
  std::string ftpServer;
};

using Strs = std::array<std::optional<std::string>, 6>;
using Ints = std::array<int32_t, 4>;
using Bools = std::array<int, 3>;
Strs strs(const CocoaInterfaceData& r) {
  return {r.stringParam1, r.stringParam2, r.stringParam3, r.stringParam4, r.stringParam5, r.stringParam6};
}
Ints ints(const CocoaInterfaceData& r) { return {r.intParam1, r.intParam2, r.intParam3, r.intParam4}; }
Bools bools(const CocoaInterfaceData& r) { return {r.boolParam1, r.boolParam2, r.boolParam3}; }

class CommandParserTest : public ::testing::Test {
 protected:
  Status parse(std::string_view text, bool listForm, bool synchronous = false) {
    record = CocoaInterfaceData::create(kNow, nullptr, std::filesystem::path{});
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

// Fills every parameter of every row with a distinct value and checks that the
// row's own name reaches that row (no earlier row shadows it) and each value
// arrives where the row says, in both forms.
std::string valueFor(Slot slot, size_t k) {
  if (slot <= Slot::S6) return "v" + std::to_string(k);
  if (slot <= Slot::I4 || slot == Slot::W) return std::to_string(100 + k);
  return "true";
}

void expectSlot(const CocoaInterfaceData& r, Slot slot, size_t k) {
  const auto at = static_cast<size_t>(slot);
  if (slot <= Slot::S6) {
    EXPECT_EQ(strs(r)[at], valueFor(slot, k));
  } else if (slot <= Slot::I4) {
    EXPECT_EQ(ints(r)[at - 6], 100 + static_cast<int32_t>(k));
  } else if (slot == Slot::W) {
    EXPECT_EQ(r.windowID, 100u + k);
  } else {
    EXPECT_EQ(bools(r)[at - 10], 1);
  }
}

TEST_F(CommandParserTest, EveryRowAndParameterIsReachedInBothForms) {
  for (const CommandEntry& entry : commandTable()) {
    SCOPED_TRACE(entry.name);
    const std::string name(entry.name);
    const bool window = name.starts_with("zWindow.");
    const std::string callName = name == "zWindow." ? "zWindow.other" : name;
    EXPECT_EQ(entry.functionID == 0, name == "zWindow.");  // only the catch-all stores no ID

    std::string text = callName;
    const auto urlParams = urlParameters(entry);
    for (size_t k = 0; k < urlParams.size(); ++k) {
      text += (k == 0 ? "?" : "&") + std::string(urlParams[k].name) + "=" + valueFor(urlParams[k].slot, k);
    }
    ASSERT_EQ(url(text), kStatusRunCommand);
    EXPECT_EQ(record->functionNumber, entry.functionID);
    for (size_t k = 0; k < urlParams.size(); ++k) expectSlot(*record, urlParams[k].slot, k);

    const auto listParams = listParameters(entry);
    std::vector<std::string> items = {window ? "zWindow" : "zFile", window ? callName.substr(8) : callName};
    if (window) items.push_back("0");
    for (const ListParameter& p : listParams) {
      const auto item = static_cast<size_t>(p.item);
      if (p.item != kLastItem && items.size() <= item) items.resize(item + 1, "x");
    }
    for (size_t k = 0; k < listParams.size(); ++k) {
      const size_t at = listParams[k].item == kLastItem ? items.size() - 1 : static_cast<size_t>(listParams[k].item);
      items[at] = valueFor(listParams[k].slot, k);
    }
    ASSERT_EQ(list(joinList(items)), kStatusRunCommand);
    EXPECT_EQ(record->functionNumber, entry.functionID);
    EXPECT_EQ(record->listForm, 1);
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
  EXPECT_EQ(strs(*record), (Strs{"a.swf", "p", "T", "masked", "#FF0000", "s.png"}));
  EXPECT_EQ(ints(*record), (Ints{10, -20, 80, 0}));
  EXPECT_EQ(bools(*record), (Bools{1, 0, 1}));

  ASSERT_EQ(list("[zApplication,createWindow,a.swf,10,-20,p,T,masked,#FF0000,true,80,false,TRUE,s.png]"),
            kStatusRunCommand);
  EXPECT_EQ(strs(*record), (Strs{"a.swf", "p", "T", "masked", "#FF0000", "s.png"}));
  EXPECT_EQ(ints(*record), (Ints{10, -20, 80, 0}));
  EXPECT_EQ(bools(*record), (Bools{1, 0, 0}));  // the list form's boolean is exactly "true"
}

TEST_F(CommandParserTest, ObjectPrefixesAreOptionalAndKeptOutOfTheWorkingCopy) {
  ASSERT_EQ(url("zMenu.createMenu?menuName=File"), kStatusRunCommand);
  EXPECT_EQ(record->functionNumber, 100);
  EXPECT_EQ(record->stringParam1, "File");
  EXPECT_EQ(record->requestText, "createMenu?menuName=File");
  EXPECT_EQ(url("zfile.quit"), kStatusUnknownCommand);  // prefixes are case-sensitive
  EXPECT_EQ(record->functionNumber, 0);
}

TEST_F(CommandParserTest, URLFormReadsTheWindowAndStopsAtTheFirstMissingParameter) {
  EXPECT_EQ(url("zWindow.setSize?windowID=0&width=300"), kStatusBadParameter);
  EXPECT_EQ(record->functionNumber, 309);
  ASSERT_EQ(url("zWindow.setSize?windowID=0&width=300&height=200"), kStatusRunCommand);
  EXPECT_EQ(ints(*record), (Ints{300, 200, 0, 0}));
  EXPECT_EQ(record->windowID, 0u);
  EXPECT_EQ(url("zWindow.setSize?height=200&windowID=-1"), kStatusBadParameter);
  EXPECT_EQ(record->intParam2, 0);  // not read after width failed
  EXPECT_EQ(record->windowID, 0xFFFFFFFFu);
  // Every string destination of the row exists after a URL-form parse, read or not.
  EXPECT_EQ(url("addItem?shortcut=O"), kStatusBadParameter);
  EXPECT_EQ(strs(*record), (Strs{"", "", "", std::nullopt, std::nullopt, std::nullopt}));
  ASSERT_EQ(url("getUserName"), kStatusRunCommand);
  EXPECT_EQ(strs(*record), (Strs{""}));
  ASSERT_EQ(list("[zSystem,getUserName]"), kStatusRunCommand);
  EXPECT_EQ(strs(*record), Strs{});

  for (const char* bad : {"trace?msg=abc%4", "trace?msg=%", "zWindow.setTitle?title=%2G"}) {
    EXPECT_EQ(url(bad), kStatusBadParameter) << bad;
  }
}

TEST_F(CommandParserTest, ListFormAppliesTheWindowRule) {
  ASSERT_EQ(list("[\"zWindow\",\"getSize\"]"), kStatusRunCommand);
  EXPECT_EQ(record->functionNumber, 310);
  EXPECT_EQ(record->windowID, 0u);
  EXPECT_EQ(record->resultIsPoint, 1);
  ASSERT_EQ(list("[zWindow,setPosition,42,5,6]"), kStatusRunCommand);
  EXPECT_EQ(record->windowID, 42u);
  EXPECT_EQ(ints(*record), (Ints{5, 6, 0, 0}));

  // Other objects are not checked against the command's family.
  ASSERT_EQ(list("[zMenu,getSpecialFolder,5]"), kStatusRunCommand);
  EXPECT_EQ(record->functionNumber, 210);
  EXPECT_EQ(record->intParam1, 5);
  ASSERT_EQ(list("[zMenu,addItem,Open,File,O]"), kStatusRunCommand);
  EXPECT_EQ(strs(*record), (Strs{"File", "Open", "O"}));
  ASSERT_EQ(list("[zSystem,sendMail,hello,\"a, b\",to@x]"), kStatusRunCommand);
  EXPECT_EQ(strs(*record), (Strs{"hello", "a, b", "to@x"}));
  EXPECT_EQ(record->requestText, "[zSystem,sendMail,hello,\"a, b\",to@x]");
}

TEST_F(CommandParserTest, ShortListsAreLoggedAndReadAsEmptyItems) {
  ASSERT_EQ(list("[zSystem,sendMail,hi]"), kStatusRunCommand);
  EXPECT_EQ(strs(*record), (Strs{"hi", "", ""}));
  ASSERT_EQ(log.lines().size(), 2u);
  EXPECT_EQ(log.lines()[0], "Call does not have enough parameters (zSystem, sendMail, hi)");

  // Missing items overwrite earlier values with empty ones.
  record = CocoaInterfaceData::create(kNow, nullptr, std::filesystem::path{});
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
  EXPECT_EQ((Bools{record->resultIsString, record->resultIsText, record->synchronous}), (Bools{1, 0, 0}));
  ASSERT_EQ(url("runAppleScript?script=x", true), kStatusRunCommand);
  EXPECT_EQ((Bools{record->resultIsString, record->resultIsText, record->synchronous}), (Bools{0, 1, 1}));
  ASSERT_EQ(list("[zSystem,listMonitors]", true), kStatusRunCommand);
  EXPECT_EQ(record->resultIsText, 1);
  ASSERT_EQ(list("[zSystem,getFlashHeader,f]", false), kStatusRunCommand);
  EXPECT_EQ(record->resultIsText, 1);
}

TEST_F(CommandParserTest, UnknownWindowCommandsRunAsNothing) {
  EXPECT_EQ(url("openScreenSaverControlPanel?x=1"), kStatusUnknownCommand);
  // Unknown window commands (and an exact row with a tail) fall to the catch-all.
  for (const char* text : {"zWindow.stopDrag?windowID=9", "zWindow.fly?windowID=9"}) {
    ASSERT_EQ(url(text), kStatusRunCommand) << text;
    EXPECT_EQ(record->functionNumber, 0);
    EXPECT_EQ(record->windowID, 9u);
  }
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
  EXPECT_EQ(ints(*record), (Ints{1, 2, 3, 4}));
  ASSERT_EQ(list("[zWindow,embedMediaWindow,movie.mov,1,2,3,4]"), kStatusRunCommand);
  EXPECT_EQ(record->windowID, 0u);
}

TEST_F(CommandParserTest, MousePositionIsAnsweredByTheParser) {
  ASSERT_EQ(url("getMousePosition"), kStatusRunCommand);
  EXPECT_EQ(record->functionNumber, 414);
  EXPECT_EQ(record->resultIsPoint, 1);
  EXPECT_EQ((Ints{record->numberResult, record->numberResult2, record->completed, 0}), (Ints{321, 47, 1, 0}));
  services.mouse = {-5, 900};
  ASSERT_EQ(list("[zApplication,getMousePosition]"), kStatusRunCommand);
  EXPECT_EQ((Ints{record->numberResult, record->numberResult2, record->completed, 0}), (Ints{-5, 900, 1, 0}));
}

TEST_F(CommandParserTest, DownloadAndFileTextCommandsHaveNoDeadline) {
  ASSERT_EQ(url("downloadFile?URL=http://h/f&fileName=f"), kStatusRunCommand);  // functionID optional
  EXPECT_EQ(record->functionNumber, 401);
  EXPECT_EQ(strs(*record), (Strs{"f", "http://h/f"}));
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
  EXPECT_EQ(strs(*record), (Strs{"", "/tmp"}));
  EXPECT_EQ(url("chooseFolder?title=T"), kStatusBadParameter);
  EXPECT_EQ(strs(*record), (Strs{"T", ""}));
}

TEST_F(CommandParserTest, FTPCommandsReadTheirParametersAndStartTheTransfer) {
  ASSERT_EQ(url("zFTP.simpleGet?userAgent=ua&serverNameOrIP=ftp.example&username=bob&password=pw"
                "&serverPath=/a&hardDrivePath=/b&replaceFileIfItExists=true"),
            kStatusRunCommand);
  EXPECT_EQ(services.ftpStarts, std::vector<int32_t>{600});
  EXPECT_EQ(services.ftpServer, "ftp.example");
  EXPECT_EQ(strs(*record), (Strs{"ua", "ftp.example", "bob", "pw", "/a", "/b"}));
  EXPECT_EQ(record->boolParam1, 1);
  EXPECT_EQ(record->resultIsNumber, 1);
  EXPECT_EQ(record->completed, 0);
  EXPECT_EQ(record->deadlineTicks, kNow + kFTPDeadlineTicks);

  // Missing parameters do not stop the transfer.
  ASSERT_EQ(url("simplePut?userName=ann&username=bob"), kStatusRunCommand);
  EXPECT_EQ(strs(*record), (Strs{"", "", "ann", "", "", ""}));

  services.ftpStatus = -3;
  EXPECT_EQ(url("simpleGet?serverNameOrIP=h"), -3);
  ASSERT_EQ(list("[zFTP,simpleGet,h]"), kStatusRunCommand);  // the list form starts nothing
  EXPECT_EQ(services.ftpStarts, (std::vector<int32_t>{600, 601, 600}));
  EXPECT_EQ(record->functionNumber, 600);
}

TEST_F(CommandParserTest, MalformedRequestsGetAStatusNotACrash) {
  EXPECT_EQ(parseCommand("quit", nullptr, false, false, services), kStatusRunCommand);
  EXPECT_EQ(url(""), kStatusUnknownCommand);
  EXPECT_EQ(record->requestText, "");
  EXPECT_EQ(url("?"), kStatusUnknownCommand);
  for (const char* text : {"", "[]", "[[[]]]", "[,,,]", "[\"]"}) EXPECT_EQ(list(text), kStatusUnknownCommand) << text;

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
  ASSERT_EQ(list("[zSystem,trace,\"" + big + "\"]"), kStatusRunCommand);
  EXPECT_EQ(record->stringParam1, big);

  std::vector<std::string> items = {"zWindow", "setTitle", "0"};
  for (int i = 0; i < 100000; ++i) items.push_back(std::to_string(i));
  ASSERT_EQ(list(joinList(items)), kStatusRunCommand);
  EXPECT_EQ(record->stringParam1, "99999");
}

}  // namespace
}  // namespace kw
