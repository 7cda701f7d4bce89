// Tests of the command side of the bridge. Requests: the readers of both forms,
// the command lookup and the parser (every table row, parse-time extras, bad
// input). Messages: escaping, list and event encodings, replies, and the
// ExternalInterface script recogniser.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "mac/commands/CommandParser.h"
#include "mac/commands/CommandTable.h"
#include "mac/commands/EventEncoding.h"
#include "mac/commands/ListEncoding.h"
#include "mac/commands/PercentEscaping.h"
#include "mac/commands/Replies.h"
#include "mac/commands/RequestReaders.h"
#include "mac/commands/ScriptRecogniser.h"
#include "mac/commands/TextBytes.h"
#include "mac/platform/SystemLog.h"

namespace kw {
namespace {

using Items = std::vector<std::string>;

TEST(RequestReaders, LeadingIntegersMovieTextsListItemsAndNamedParameters) {
  const std::pair<std::string, int32_t> numbers[] = {  // sign and digits, wrapping modulo 2^32
      {"", 0}, {"12abc", 12}, {"-5&x=1", -5}, {"+7", 7}, {" 5", 0}, {"--5", 0}, {"2147483648", INT32_MIN},
      {"4294967296429496729642949672967", 7}, {std::string(5000, '0') + "42", 42}};
  for (const auto& [text, value] : numbers) EXPECT_EQ(leadingInteger(text), value) << text.substr(0, 40);

  for (const char* text : {"nil", "undefined", "bad \xFF", "overlong \xC0\xAF"}) {
    EXPECT_EQ(myStringWithUTF8String(text), "") << text;
  }
  EXPECT_EQ(myStringWithUTF8String("Nil h\xC3\xA9"), "Nil h\xC3\xA9");

  // The list splitter trims brackets and rejoins quoted items.
  const std::pair<const char*, Items> rows[] = {
      {"[\"zWindow\",\"close\"]", {"zWindow", "close"}}, {"[[]]]", {""}}, {"[a,,b]", {"a", "", "b"}},
      {"[\"a,b,c\",d]", {"a,b,c", "d"}},
      // A lone quote neither opens nor closes a quoted item; an unclosed one takes the rest.
      {"[\"a,\",b]", {"a,\",b"}}, {"[x,\"a,b,c]", {"x", "a,b,c"}},
      // Every double quote at the ends goes, inner ones stay.
      {"[\"\"a\"b\"\"]", {"a\"b"}}, {"[\"]", {""}}, {"[\",\"]", {"", ""}}};
  for (const auto& [text, items] : rows) EXPECT_EQ(splitListRequest(text), items) << text;

  // Named parameters are found behind "?" or "&" only, and decoded.
  int32_t n = -1;
  ASSERT_EQ(readIntParameter("x&width=5?height=-7z", "height", n), kStatusOK);
  EXPECT_EQ(n, -7);
  const std::pair<const char*, const char*> values[] = {
      {"f?userName=ann&t=bob", "bob"}, {"c?t=%22Hello%22", "Hello"}, {"c?t=a+b", "a+b"}, {"c?t=%26&u", "&"},
      {"c?t=ab%00cd", "ab"},
      // One pair of enclosing quotes goes, of either kind; a lone or unmatched quote stays.
      {"c?t=\"\"\"", "\""}, {"c?t=''", ""}, {"c?t=\"", "\""}, {"c?t=\"a'", "\"a'"}};
  for (const auto& [request, value] : values) {
    std::string s = "x";
    ASSERT_EQ(readStringParameter(request, "t", s), kStatusOK) << request;
    EXPECT_EQ(s, value) << request;
  }
  std::string s;
  ASSERT_EQ(readStringParameter("c?t=a&b=c", "t", s, true), kStatusOK);  // the value takes the rest
  EXPECT_EQ(s, "a&b=c");
  s = "kept";
  for (const char* bad : {"f?st=a", "f?T=a", "f?t", "c?t=abc%4", "c?t=x%4&u=1", "c?t=%zz", "c?t=ab%00%4"}) {
    EXPECT_EQ(readStringParameter(bad, "t", s), kStatusBadParameter) << bad;
    EXPECT_EQ(s, "kept");
  }
  ASSERT_EQ(readStringParameter("c?t=ok&u=%", "t", s), kStatusOK);  // a bad escape behind the value
  EXPECT_EQ(s, "ok");
  // Booleans: "true" in any case as the first four letters, or a non-zero number.
  const std::pair<const char*, uint8_t> booleans[] = {{"trueish", 1}, {"-1", 1}, {"yes", 0}, {"", 0}, {"tru&", 0}};
  for (const auto& [value, truth] : booleans) {
    uint8_t b = 9;
    EXPECT_EQ(readBoolParameter("c?show=" + std::string(value), "show", b), kStatusOK);
    EXPECT_EQ(b, truth) << value;
  }
  uint8_t b = 9;
  EXPECT_EQ(readBoolParameter("c?hide=1", "show", b), kStatusBadParameter);
  EXPECT_EQ(b, 9);
}

TEST(CommandTable, LookupFollowsStrncasecmpOverTheComparedLengthAndTakesTheFirstMatchingRow) {
  const std::pair<const char*, int> rows[] = {  // name, row found (0: none)
      {"QuIt", 88}, {"quitNow", 88}, {"qui", 0}, {"", 0}, {"qu\xC3\xAF" "t", 0},  // case folding is ASCII only
      // Compared lengths shorter than the name, then beyond it (nothing may follow).
      {"getHomeDirectoryOfUser", 31}, {"createShorty", 97}, {"openScreenSaverControlPanel?x=1", 0},
      {"ZWINDOW.STOPDRAG", 62}, {"zWindow.stopDrag?", 69}, {"getWindows", 41}, {"getWindow", 77}, {"chooseFile", 103}};
  for (const auto& [name, number] : rows) {
    const CommandEntry* entry = findCommand(name);
    EXPECT_EQ(entry != nullptr ? entry->number : 0, number) << name;
  }
}

using Strs = std::array<std::optional<std::string>, 6>;
using Ints = std::array<int32_t, 4>;
Strs strs(const CocoaInterfaceData& r) {
  return {r.stringParam1, r.stringParam2, r.stringParam3, r.stringParam4, r.stringParam5, r.stringParam6};
}
Ints ints(const CocoaInterfaceData& r) { return {r.intParam1, r.intParam2, r.intParam3, r.intParam4}; }

class CommandParserTest : public ::testing::Test, public ParserServices {
 protected:
  static constexpr uint32_t kNow = 1000;
  MousePoint currentMousePosition() override { return {321, 47}; }
  Status startFTPTransfer(CocoaInterfaceData& r) override {
    ftpStarts.push_back(std::to_string(r.functionNumber) + ":" + r.stringParam2.value_or("<null>"));
    return ftpStatus;
  }
  Status parse(std::string_view text, bool listForm, bool synchronous) {
    record = CocoaInterfaceData::create(kNow, nullptr, std::filesystem::path{});
    return parseCommand(text, record.get(), synchronous, listForm, *this);
  }
  Status url(std::string_view text, bool synchronous = false) { return parse(text, false, synchronous); }
  Status list(std::string_view text) { return parse(text, true, true); }

  Status ftpStatus = kStatusOK;
  std::vector<std::string> ftpStarts;  // "functionID:server" as the start sees them
  ScopedLogCapture log;
  std::unique_ptr<CocoaInterfaceData> record;
};

// The k-th parameter's value: "v<k>" for strings, 100 + k for numbers and windows, "true".
std::string valueFor(Slot slot, size_t k) {
  if (slot <= Slot::S6) return "v" + std::to_string(k);
  return slot <= Slot::I4 || slot == Slot::W ? std::to_string(100 + k) : "true";
}
void expectSlot(const CocoaInterfaceData& r, Slot slot, size_t k) {
  const auto at = static_cast<size_t>(slot);
  const std::array<int, 3> bools = {r.boolParam1, r.boolParam2, r.boolParam3};
  if (slot <= Slot::S6) EXPECT_EQ(strs(r)[at], valueFor(slot, k));
  else if (slot <= Slot::I4) EXPECT_EQ(ints(r)[at - 6], 100 + static_cast<int32_t>(k));
  else if (slot == Slot::W) EXPECT_EQ(r.windowID, 100u + k);
  else EXPECT_EQ(bools[at - 10], 1);
}

// Every row's own name reaches that row (no earlier row shadows it) and each
// parameter value arrives where the row says, in both forms.
TEST_F(CommandParserTest, EveryRowAndParameterIsReachedInBothForms) {
  for (const CommandEntry& entry : commandTable()) {
    SCOPED_TRACE(entry.name);
    const std::string name = entry.name == "zWindow." ? "zWindow.other" : std::string(entry.name);
    const bool window = name.starts_with("zWindow.");
    std::string text = name;
    const auto urlParams = urlParameters(entry);
    for (size_t k = 0; k < urlParams.size(); ++k) {
      text += (k == 0 ? "?" : "&") + std::string(urlParams[k].name) + "=" + valueFor(urlParams[k].slot, k);
    }
    ASSERT_EQ(url(text), kStatusRunCommand);
    EXPECT_EQ(record->functionNumber, entry.functionID);
    for (size_t k = 0; k < urlParams.size(); ++k) expectSlot(*record, urlParams[k].slot, k);

    const auto listParams = listParameters(entry);
    std::vector<std::string> items = {window ? "zWindow" : "zFile", window ? name.substr(8) : name, "0"};
    for (const ListParameter& p : listParams) {
      items.resize(std::max(items.size(), static_cast<size_t>(p.item) + 1), "x");  // "last" adds none
    }
    for (size_t k = 0; k < listParams.size(); ++k) {
      const size_t at = listParams[k].item == kLastItem ? items.size() - 1 : static_cast<size_t>(listParams[k].item);
      items[at] = valueFor(listParams[k].slot, k);
    }
    std::string joined = "[";
    for (const std::string& item : items) joined += item + ",";
    joined.back() = ']';
    ASSERT_EQ(list(joined), kStatusRunCommand);
    EXPECT_EQ(record->functionNumber, entry.functionID);
    for (size_t k = 0; k < listParams.size(); ++k) expectSlot(*record, listParams[k].slot, k);
  }
  EXPECT_TRUE(log.lines().empty());
}

TEST_F(CommandParserTest, URLFormStopsAtTheFirstMissingParameterButCreatesEveryStringDestination) {
  EXPECT_EQ(url("zWindow.setSize?height=200&windowID=-1"), kStatusBadParameter);
  EXPECT_EQ(record->functionNumber, 309);
  EXPECT_EQ(record->intParam2, 0);  // not read after width failed
  EXPECT_EQ(record->windowID, 0xFFFFFFFFu);
  EXPECT_EQ(url("addItem?shortcut=O"), kStatusBadParameter);
  EXPECT_EQ(strs(*record), (Strs{"", "", "", std::nullopt, std::nullopt, std::nullopt}));
  ASSERT_EQ(url("zMenu.showMouse?show=1"), kStatusRunCommand);
  EXPECT_EQ(record->requestText, "showMouse?show=1");  // the working copy has no prefix
  ASSERT_EQ(list("[zSystem,showMouse,TRUE]"), kStatusRunCommand);  // list booleans are exactly "true"
  EXPECT_EQ(record->boolParam1, 0);
  // chooseFolder reads its second parameter even after the first failed, and counts it.
  EXPECT_EQ(url("chooseFolder?title=T"), kStatusBadParameter);
  EXPECT_EQ(strs(*record), (Strs{"T", ""}));
  ASSERT_EQ(url("chooseFolder?initFolderName=/tmp"), kStatusRunCommand);
}

TEST_F(CommandParserTest, ListFormTakesTheWindowFromItemTwoAndReadsMissingItemsAsEmpty) {
  ASSERT_EQ(list("[zWindow,setTitle,3,a,\"b, c\",Hello]"), kStatusRunCommand);
  EXPECT_EQ(record->windowID, 3u);
  EXPECT_EQ(record->requestText, "[zWindow,setTitle,3,a,\"b, c\",Hello]");
  // embedMediaWindow takes its window from the file name's leading digits.
  ASSERT_EQ(list("[zWindow,embedMediaWindow,12movie.mov,-1,2,3,4]"), kStatusRunCommand);
  EXPECT_EQ(record->windowID, 12u);
  // Short lists are logged and read as empty items, overwriting earlier values.
  record->boolParam1 = 1;
  record->stringParam2 = "old";
  ASSERT_EQ(parseCommand("[zSystem,executeApplication,x]", record.get(), true, true, *this), kStatusRunCommand);
  EXPECT_EQ(record->boolParam1, 0);
  EXPECT_EQ(record->stringParam2, "");
  EXPECT_EQ(log.lines().at(0), "Call does not have enough parameters (zSystem, executeApplication, x)");
}

TEST_F(CommandParserTest, ExtrasOfMouseTextDownloadFileAndTransferCommands) {
  ASSERT_EQ(list("[zApplication,getMousePosition]"), kStatusRunCommand);
  EXPECT_EQ((Ints{record->numberResult, record->numberResult2, record->completed, 0}), (Ints{321, 47, 1, 0}));
  ASSERT_EQ(url("runAppleScript?script=x", true), kStatusRunCommand);
  EXPECT_EQ((Ints{record->resultIsString, record->resultIsText, record->synchronous, 0}), (Ints{0, 1, 1, 0}));

  ASSERT_EQ(url("downloadFile?URL=http://h/f&fileName=f"), kStatusRunCommand);  // functionID optional
  EXPECT_EQ((Ints{record->resultIsBoolean, record->resultIsNumber, 0, 0}), (Ints{1, 1, 0, 0}));
  const std::pair<const char*, uint32_t> deadlines[] = {
      {"downloadFile?URL=u&fileName=f", 0}, {"writeString?fileName=f&textToWrite=t", kNow + 300}};
  for (const auto& [text, deadline] : deadlines) {
    ASSERT_EQ(url(text), kStatusRunCommand);
    EXPECT_EQ(record->deadlineTicks, deadline) << text;
  }
  // simpleGet / simplePut start the transfer.
  ASSERT_EQ(url("zFTP.simpleGet?serverNameOrIP=ftp.example"), kStatusRunCommand);
  EXPECT_EQ(record->deadlineTicks, kNow + kFTPDeadlineTicks);
  // Missing parameters do not stop the transfer; "userName" is read before "username".
  ASSERT_EQ(url("simplePut?userName=ann&username=bob"), kStatusRunCommand);
  EXPECT_EQ(strs(*record), (Strs{"", "", "ann", "", "", ""}));
  ftpStatus = -3;
  EXPECT_EQ(url("simpleGet?serverNameOrIP=h"), -3);
  ASSERT_EQ(list("[zFTP,simpleGet,h]"), kStatusRunCommand);  // the list form starts nothing
  EXPECT_EQ(ftpStarts, (std::vector<std::string>{"600:ftp.example", "601:", "600:h"}));
}

TEST_F(CommandParserTest, MalformedRequestsGetAStatusAndTheTextEndsAtItsFirstNul) {
  EXPECT_EQ(parseCommand("quit", nullptr, false, false, *this), kStatusRunCommand);
  EXPECT_EQ(url("?"), kStatusUnknownCommand);
  for (const char* text : {"", "[,,,]"}) EXPECT_EQ(list(text), kStatusUnknownCommand) << text;
  // Unknown window commands fall to the catch-all, which needs its windowID; a lone object runs it.
  EXPECT_EQ(url("zWindow.fly"), kStatusBadParameter);
  EXPECT_EQ(list("[zWindow]"), kStatusRunCommand);
  EXPECT_EQ(record->functionNumber, 0);
  ASSERT_EQ(url(std::string_view("trace?msg=ab\0cd&x", 17)), kStatusRunCommand);
  EXPECT_EQ(record->stringParam1, "ab");
  EXPECT_EQ(url(std::string_view("\0quit", 5)), kStatusUnknownCommand);
}

// ---- Messages ----

TEST(ListEncoding, PercentEscapesListsAndRectangles) {
  EXPECT_EQ(stringByAddingPercentEscapes("a-z_0.9!~*'();/?:@&=+$,#"), "a-z_0.9!~*'();/?:@&=+$,#");
  EXPECT_EQ(stringByAddingPercentEscapes(std::string_view("100% \"<\xC3\xA9\n\0", 11)), "100%25%20%22%3C%C3%A9%0A%00");
  EXPECT_EQ(stringByAddingPercentEscapesIncludingAmpersands("a&b+c,d"), "a%26b%2Bc,d");
  EXPECT_EQ(stringByAddingPercentEscapesIncludingAmpersandsAndCommas("a&b+c,d~!"), "a%26b+c%2Cd~!");
  // Removing decodes either case once, and keeps broken escapes.
  EXPECT_EQ(stringByRemovingPercentEscapes("%4a%4A+%20%2541%zz%4%"), "JJ+ %41%zz%4%");
  std::string all;
  for (int c = 0; c < 256; ++c) all += static_cast<char>(c);
  EXPECT_EQ(stringByRemovingPercentEscapes(stringByAddingPercentEscapes(all)), all);

  const std::vector<ListElement> nested = {
      "x", std::vector<ListElement>{"y", ListElement{}, std::vector<ListElement>{"z,w", "~!"}}, ListElement{}, ""};
  std::string out = "head:";
  arrayOfStringsToURLEncodedTildeExclamationDelimitedList(nested, out);
  EXPECT_EQ(out, "head:x~!y~!z%2Cw~!~!~!~!");

  EXPECT_EQ(arrayOfStringsToXmlStringList({"c,d"}),
            "<object><property id=\"KW_array\"><array><property id=\"0\"><string>c%2Cd</string></property>"
            "<property id =\"length\"><number>1</number></property></array></property></object>");
  EXPECT_EQ(commaList({1, 22, -3}), "1,22,-3");
  EXPECT_FALSE(containsString("", "", true));  // an empty text is never found

  // Rectangles: each coordinate truncated before the additions, extremes clamped.
  EXPECT_EQ(convertNSRectToStringList({-1.5, -0.5, 3.9, 1}), "-1,0,2,1");
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(convertNSRectToStringList({std::nan(""), inf, inf, -inf}), "0,2147483647,2147483647,-1");
  EXPECT_EQ(convertNSRectToStringList({3e9, 0, 3e9, 0}), "2147483647,0,4294967294,0");
}

TEST(EventEncoding, EventTextAndXml) {
  EXPECT_EQ(eventText({"a", EventItem::boolean(false), EventItem::integer(-12), EventItem::number(0.5)}),
            "ARRAY_OF_STRINGS=a~!!B00L0~!!nm3r-12~!!nm3r0.500000");
  EXPECT_EQ(eventXML({"zWindow", "onClose"}),
            "<array length=\"2\"><property id=\"0\"><string>zWindow</string></property>"
            "<property id=\"1\"><string>onClose</string></property></array>");
  // "%f" of a huge value runs to some 300 digits and is not cut off.
  EXPECT_EQ(EventItem::number(1e300).encoded().size(), 5u + 301 + 7);

  // The fixed events are checked where they are sent; a custom menu name keeps its commas.
  const EventMessage menu = events::customMenuCommand("File", "Save As,");
  EXPECT_EQ(menu.text, "ARRAY_OF_STRINGS=zMenu~!onCommand~!File~!Save As,");
  EXPECT_FALSE(menu.xml);
}

TEST(Replies, SyncReplyFollowsTheResultKindsInOrderAndAsyncVariablesTakeTheRequestedNames) {
  CocoaInterfaceData d;  // each result kind flagged in turn: the earlier kinds give way
  EXPECT_EQ(syncReplyXML(d), "");
  d.resultIsPoint = d.resultIsText = 1;  // a text kind without text falls through to the point
  d.numberResult = -3;
  d.numberResult2 = 40;
  EXPECT_EQ(syncReplyXML(d), "<object><property id=\"x\"><number>-3</number></property>"
                             "<property id=\"y\"><number>40</number></property></object>");
  d.stringResult = "a<b>&c";  // inserted unescaped
  d.resultIsString = 1;
  EXPECT_EQ(syncReplyXML(d), "<string>a<b>&c</string>");
  d.stringResult.reset();
  EXPECT_EQ(syncReplyXML(d), "<string>undefined</string>");
  d.resultIsNumber = 1;
  EXPECT_EQ(syncReplyXML(d), "<number>-3</number>");
  d.resultIsBoolean = 1;
  d.booleanResult = 2;
  EXPECT_EQ(syncReplyXML(d), "<true/>");

  d = CocoaInterfaceData{};
  d.resultIsText = 1;
  EXPECT_EQ(asyncReplyVariables(d), "");
  d.requestText = "fileExists?fileName=a&returnVarName1=ok";
  d.stringResult = "a&b=c";  // written unescaped
  EXPECT_EQ(asyncReplyVariables(d), "&ok=a&b=c");
  d.resultIsBoolean = 1;
  d.booleanResult = 2;
  d.requestText = "fileExists?returnVarName1=%6Fk%2";  // malformed: the default stays
  EXPECT_EQ(asyncReplyVariables(d), "&returnValue=1");
}

// A call as the plug-in wraps it for evaluation.
std::string wrapped(std::string_view call) {
  return "try { __flash__toXML(" + std::string(call) + ")) ; } catch (e) { \"<undefined/>\"; }";
}

TEST(ScriptRecogniser, CallsAreCutToTheRequestOrResultTheyCarry) {
  const std::tuple<std::string, ScriptKind, const char*> rows[] = {  // script, kind, request or result
      {wrapped(R"(KW_call2(["zFile","writeString","say \"hi\""])"), ScriptKind::ListCall,
       R"(["zFile","writeString","say "hi""])"},
      // The call may sit behind other script text; the cuts count from the call.
      {"var x = 1; " + wrapped(R"(KW_call2(["a"])"), ScriptKind::ListCall, R"(["a"])"},
      {wrapped("KW_call(\"\""), ScriptKind::UrlCall, ""},
      // Malformed or too short for the fixed cuts: left alone.
      {"try { __flash__toXML(KW_call2([1])", ScriptKind::Other, {}}, {"alert('x')", ScriptKind::Other, {}},
      {"var __flash_temp = \"\";", ScriptKind::Other, {}},
      {R"(try { __flash__toXML(KW_call("KW://KW_quit)", ScriptKind::Other, {}}};
  for (const auto& [script, kind, text] : rows) {
    const ScriptRecognition r = recogniseScript(script.c_str());
    EXPECT_EQ(r.kind, kind) << script;
    EXPECT_EQ(r.request, text ? std::optional<std::string>(text) : std::nullopt) << script;
  }
  EXPECT_EQ(recogniseScript(nullptr).kind, ScriptKind::Void);
}

TEST(ScriptRecogniser, RelaysAreParsedOrLoggedAsInvalidAndInvokeDocumentsNameTheFirstString) {
  const std::string script = wrapped(R"(KW_Comm(["zApplication","onEventSync",7,"<a x=\"1\"/>","b,c","q\""])");
  const auto r = recogniseScript(("x; " + script).c_str());
  ASSERT_EQ(r.kind, ScriptKind::Relay);
  EXPECT_EQ(r.request, script);

  ScopedLogCapture log;
  const auto call = parseRelay(*r.request);
  ASSERT_TRUE(call);
  EXPECT_EQ(call->method, "zApplication.onEventSync");
  EXPECT_EQ(call->target, 7);
  // The comma inside "b,c" splits it; each half loses its one end quote, so it
  // comes back whole. The escaped quote at the end of the last argument stays.
  EXPECT_EQ(call->argumentText, R"(<a x="1"/>,b,c,q",)");
  EXPECT_TRUE(log.lines().empty());

  EXPECT_FALSE(parseRelay(wrapped(R"(KW_Comm(["zWindow","close",0])")));
  EXPECT_FALSE(parseRelay(wrapped("KW_Comm([]")));  // nothing between head and tail
  EXPECT_EQ(log.lines(), std::vector<std::string>(2, "invalid command"));

  EXPECT_EQ(relayJavaScript(std::string(109, 'h') + "alert(1)" + std::string(28, 't')), "alert(1)");
  EXPECT_EQ(relayJavaScript(std::string(137, 'x')), "");
  EXPECT_FALSE(relayJavaScript(std::string(136, 'x')));

  EXPECT_EQ(invokeDocument({std::nullopt, "f", std::nullopt, "<a/>", "<b/>"}),
            R"(<invoke name="f" returntype="javascript"><arguments><a/><b/></arguments></invoke>)");
}

}  // namespace
}  // namespace kw
