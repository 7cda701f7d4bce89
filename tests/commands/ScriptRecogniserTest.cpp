// Tests of the ExternalInterface script recogniser, the relay parser and the
// invoke document.
#include "mac/commands/ScriptRecogniser.h"

#include <gtest/gtest.h>

#include "mac/platform/SystemLog.h"

namespace kw {
namespace {

// A call as the plug-in wraps it for evaluation.
std::string wrapped(std::string_view call) {
  return "try { __flash__toXML(" + std::string(call) + ")) ; } catch (e) { \"<undefined/>\"; }";
}

TEST(ScriptRecogniser, ListCallHandsOnTheBracketedListWithQuotesUnescaped) {
  const auto r = recogniseScript(wrapped(R"(KW_call2(["zFile","writeString","a.txt","say \"hi\""])").c_str());
  EXPECT_EQ(r.kind, ScriptKind::ListCall);
  EXPECT_EQ(r.request, R"(["zFile","writeString","a.txt","say "hi""])");

  // The call may sit behind other script text; the cuts count from the call.
  const auto behind = recogniseScript(("var x = 1; " + wrapped(R"(KW_call2(["zSystem","getUserName"])")).c_str());
  EXPECT_EQ(behind.kind, ScriptKind::ListCall);
  EXPECT_EQ(behind.request, R"(["zSystem","getUserName"])");

  // Too short for the fixed tail: not recognised.
  EXPECT_EQ(recogniseScript("try { __flash__toXML(KW_call2([1])").kind, ScriptKind::Other);
}

TEST(ScriptRecogniser, UrlCallTakesTheQuotedArgumentOfAnyKWCallFunction) {
  const auto r = recogniseScript(wrapped(R"(KW_call("KW://KW_zSystem.getUserName")").c_str());
  EXPECT_EQ(r.kind, ScriptKind::UrlCall);
  EXPECT_EQ(r.request, "KW://KW_zSystem.getUserName");
  EXPECT_EQ(recogniseScript(wrapped(R"(KW_call2("KW://KW_quit")").c_str()).request, "KW://KW_quit");
  EXPECT_EQ(recogniseScript(wrapped("KW_call(\"\"").c_str()).request, "");

  for (const char* malformed : {R"(try { __flash__toXML(MyCall("KW://KW_quit"))", "try { __flash__toXML(KW_call",
                                "try { __flash__toXML(KW_call(", "try { __flash__toXML(KW_call(5)",
                                R"(try { __flash__toXML(KW_call("KW://KW_quit)"}) {
    const auto m = recogniseScript(malformed);
    EXPECT_EQ(m.kind, ScriptKind::Other) << malformed;
    EXPECT_FALSE(m.request) << malformed;
  }
}

TEST(ScriptRecogniser, TempVariableIsMatchedIgnoringCaseAndCutToItsValue) {
  const auto r = recogniseScript("VAR __Flash_Temp = \"a \\\"b\\\"\"; __flash_temp;\n");
  EXPECT_EQ(r.kind, ScriptKind::FlashTemp);
  EXPECT_EQ(r.result, "a \"b\"");
  EXPECT_EQ(recogniseScript("var __flash_temp = \"\";").kind, ScriptKind::Other);  // shorter than the cuts

  EXPECT_EQ(recogniseScript(nullptr).kind, ScriptKind::Void);
  const auto other = recogniseScript("window.alert('x')");
  EXPECT_EQ(other.kind, ScriptKind::Other);
  EXPECT_FALSE(other.request);
  EXPECT_FALSE(other.result);
}

TEST(ScriptRecogniser, RelayIsRecognisedAndParsedIntoMethodTargetAndArguments) {
  const std::string script = wrapped(R"(KW_Comm(["zApplication","onEventSync",7,"<a x=\"1\"/>","b,c","q\""])");
  const auto r = recogniseScript(script.c_str());
  ASSERT_EQ(r.kind, ScriptKind::Relay);
  ASSERT_TRUE(r.request);

  ScopedLogCapture log;
  const auto call = parseRelay(*r.request);
  ASSERT_TRUE(call);
  EXPECT_EQ(call->method, "zApplication.onEventSync");
  EXPECT_EQ(call->target, 7);
  // The comma inside "b,c" splits it; each half loses its one end quote, so it
  // comes back whole. The escaped quote at the end of the last argument stays.
  EXPECT_EQ(call->argumentText, R"(<a x="1"/>,b,c,q",)");
  EXPECT_TRUE(log.lines().empty());
}

TEST(ScriptRecogniser, RelayWithTooFewPiecesOrTooShortIsAnInvalidCommand) {
  ScopedLogCapture log;
  EXPECT_FALSE(parseRelay(wrapped(R"(KW_Comm(["zWindow","close",0])")));
  EXPECT_FALSE(parseRelay(wrapped("KW_Comm([]")));  // nothing between head and tail
  EXPECT_FALSE(parseRelay("try { __flash__toXML(KW_Comm(["));
  EXPECT_FALSE(parseRelay(""));
  EXPECT_EQ(log.lines(), std::vector<std::string>(4, "invalid command"));
}

TEST(ScriptRecogniser, RelayJavaScriptDropsTheFixedWrapperOrRunsNothing) {
  const std::string head(109, 'h');
  const std::string tail(28, 't');
  EXPECT_EQ(relayJavaScript(head + "alert(1)" + tail), "alert(1)");
  EXPECT_EQ(relayJavaScript(head + tail), "");
  EXPECT_FALSE(relayJavaScript(std::string(136, 'x')));
}

TEST(ScriptRecogniser, InvokeDocumentNamesTheFirstStringAndJoinsTheRest) {
  EXPECT_EQ(invokeDocument({"f", std::nullopt, "<a/>", "<b/>"}),
            R"(<invoke name="f" returntype="javascript"><arguments><a/><b/></arguments></invoke>)");
  EXPECT_EQ(invokeDocument({std::nullopt, "g"}),
            R"(<invoke name="g" returntype="javascript"><arguments></arguments></invoke>)");
  for (const auto& strings : {std::vector<std::optional<std::string_view>>{}, {std::nullopt, std::nullopt}}) {
    EXPECT_EQ(invokeDocument(strings),
              R"(<invoke name="undefined" returntype="javascript"><arguments></arguments></invoke>)");
  }
}

}  // namespace
}  // namespace kw
