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

TEST(KwcmdTool, ParseReportsStatusesDeadlinesAndServices) {
  const std::string missing = kwcmd("parse " + quoted("KW://KW_zWindow.setSize?windowID=0&width=300"));
  EXPECT_NE(missing.find("\"status\":-202"), std::string::npos) << missing;

  const std::string unknown = kwcmd("parse " + quoted("KW://KW_openScreenSaverControlPanel?x=1"));
  EXPECT_NE(unknown.find("\"status\":-151"), std::string::npos) << unknown;

  const std::string download =
      kwcmd("parse " + quoted("KW://KW_downloadFile?URL=http://a/b&fileName=/tmp/b&functionID=3"));
  EXPECT_NE(download.find("\"deadline\":0,"), std::string::npos) << download;
  EXPECT_NE(download.find("\"resultIsNumber\":true"), std::string::npos) << download;

  const std::string mouse = kwcmd("parse --mouse 12,34 " + quoted("KW://KW_getMousePosition"));
  EXPECT_NE(mouse.find("\"completed\":true"), std::string::npos) << mouse;

  const std::string ftp = kwcmd("parse --ftp-status -36 " +
                                quoted("KW://KW_zFTP.simpleGet?userAgent=u&serverNameOrIP=h&userName=n&"
                                       "password=p&serverPath=/a&hardDrivePath=/b&replaceFileIfItExists=true"));
  EXPECT_NE(ftp.find("\"status\":-36"), std::string::npos) << ftp;
  EXPECT_NE(ftp.find("\"deadline\":300000"), std::string::npos) << ftp;
}

TEST(KwcmdTool, ParseListFormKeepsQuotedCommasAndEscapesJSON) {
  const std::string out =
      kwcmd("parse --sync --list " + quoted("[\"zSystem\",\"sendMail\",\"say \\\"hi\\\"\",\"Subject\",\"a, b\"]"));
  EXPECT_NE(out.find("\"functionNumber\":219"), std::string::npos) << out;
  // Only the quotes at the item's ends go; the backslashes stay and are escaped.
  EXPECT_NE(out.find(R"("stringParam1":"say \\\"hi\\",)"), std::string::npos) << out;
  EXPECT_NE(out.find("\"stringParam3\":\"a, b\""), std::string::npos) << out;

  // A decoded byte that is not UTF-8 still gives a valid JSON line.
  const std::string latin = kwcmd("parse " + quoted("KW://KW_trace?msg=%E9t%E9"));
  EXPECT_NE(latin.find("\"stringParam1\":\"\\u00e9t\\u00e9\""), std::string::npos) << latin;
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
  EXPECT_EQ(runTool("../kwcmd/kwcmd", "").exitCode, 2);
  EXPECT_EQ(runTool("../kwcmd/kwcmd", "parse " + quoted("http://x")).exitCode, 2);
  EXPECT_EQ(runTool("../kwcmd/kwcmd", "encode nope a").exitCode, 2);
}

}  // namespace
