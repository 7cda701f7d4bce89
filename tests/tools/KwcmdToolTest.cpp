// End-to-end runs of kwcmd: the parser, recogniser and encoders seen from the
// command line, with the exact JSON lines the tool promises.
#include <string>

#include "tests/tools/ToolRunner.h"

namespace {

using kw::test::quoted;
using kw::test::runTool;

std::string kwcmd(const std::string& arguments) {
  const kw::test::ToolRun run = runTool("../kwcmd/kwcmd", arguments);
  EXPECT_EQ(run.exitCode, 0) << arguments;
  return run.out;
}

TEST(KwcmdTool, ParsePrintsTheWholeRecordInOrder) {
  EXPECT_EQ(kwcmd("parse " + quoted("KW://KW_zWindow.setSize?windowID=0&width=400&height=300")),
            "{\"status\":7089,\"functionNumber\":309,\"windowID\":0,\"listForm\":false,"
            "\"synchronous\":false,\"resultIsText\":false,\"resultIsBoolean\":false,"
            "\"resultIsNumber\":false,\"resultIsPoint\":false,\"resultIsString\":false,"
            "\"completed\":false,\"deadline\":300,\"stringParam1\":\"\",\"stringParam2\":null,"
            "\"stringParam3\":null,\"stringParam4\":null,\"stringParam5\":null,\"stringParam6\":null,"
            "\"intParam1\":400,\"intParam2\":300,\"intParam3\":0,\"intParam4\":0,"
            "\"boolParam1\":false,\"boolParam2\":false,\"boolParam3\":false}\n");
}

// Each request's output holds the given JSON fragment.
TEST(KwcmdTool, ParseReportsStatusesDeadlinesAndServices) {
  const std::pair<std::string, std::string> rows[] = {
      {quoted("KW://KW_zWindow.setSize?windowID=0&width=300"), "\"status\":-202,"},
      {quoted("KW://KW_openScreenSaverControlPanel?x=1"), "\"status\":-151,"},
      {quoted("KW://KW_downloadFile?URL=http://a/b&fileName=/tmp/b&functionID=3"), "\"deadline\":0,"},
      {"--mouse 12,34 " + quoted("KW://KW_getMousePosition"), "\"completed\":true"},
      {"--ftp-status -36 " + quoted("KW://KW_zFTP.simpleGet?serverNameOrIP=h"), "\"status\":-36,"},
      {"--ftp-status -36 " + quoted("KW://KW_zFTP.simpleGet?serverNameOrIP=h"), "\"deadline\":300000,"},
      // Only the quotes at the list item's ends go; the backslashes stay and are escaped.
      {"--sync --list " + quoted(R"(["zSystem","sendMail","say \"hi\"","Subject","a, b"])"),
       R"("stringParam1":"say \\\"hi\\","stringParam2":"Subject","stringParam3":"a, b",)"},
      // A decoded byte that is not UTF-8 still gives a valid JSON line.
      {quoted("KW://KW_trace?msg=%E9t%E9"), R"("stringParam1":"\u00e9t\u00e9")"}};
  for (const auto& [arguments, fragment] : rows) {
    const std::string out = kwcmd("parse " + arguments);
    EXPECT_NE(out.find(fragment), std::string::npos) << out;
  }
}

TEST(KwcmdTool, EvalEncodeAndEvent) {
  EXPECT_EQ(kwcmd("eval " + quoted("try { __flash__toXML(KW_call(\"KW://KW_zSystem.getUserName\")) ; } "
                                   "catch (e) { \"<undefined/>\"; }")),
            "{\"kind\":\"call\",\"request\":\"KW://KW_zSystem.getUserName\",\"result\":null}\n");
  EXPECT_EQ(kwcmd("eval " + quoted("alert(1)")), "{\"kind\":\"other\",\"request\":null,\"result\":null}\n");
  EXPECT_EQ(kwcmd("encode tilde a " + quoted("b&c")), "a~!b%26c~!\n");
  EXPECT_EQ(kwcmd("event text zWindow onMinimized"), "ARRAY_OF_STRINGS=zWindow~!onMinimized\n");
  EXPECT_EQ(kwcmd("event xml zWindow onClose"),
            "<array length=\"2\"><property id=\"0\"><string>zWindow</string></property>"
            "<property id=\"1\"><string>onClose</string></property></array>\n");
}

TEST(KwcmdTool, RefusesMalformedCommandLines) {
  for (const std::string& arguments : {std::string(), "parse " + quoted("http://x"), std::string("encode nope a")}) {
    EXPECT_EQ(runTool("../kwcmd/kwcmd", arguments).exitCode, 2) << arguments;
  }
}

}  // namespace
