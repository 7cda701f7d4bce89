// Tests of the ExternalInterface scripts: their exact text, and that the
// host's way of taking a list back out of a script gives the list unchanged.
#include <gtest/gtest.h>

#include "tools/standin/ExternalScript.h"

namespace kw::standin {
namespace {

TEST(ExternalInterfaceScript, UrlFormCallsKWcallAndListFormEscapesItsQuotes) {
  EXPECT_EQ(externalInterfaceScript("KW://KW_zSystem.getUserName"),
            "try { __flash__toXML(KW_call(\"KW://KW_zSystem.getUserName\")) ; } catch (e) { \"<undefined/>\"; }");
  EXPECT_EQ(externalInterfaceScript("[\"zWindow\",\"setSize\",0,400]"),
            "try { __flash__toXML(KW_call2([\\\"zWindow\\\",\\\"setSize\\\",0,400])) ; } catch (e) { "
            "\"<undefined/>\"; }");
}

TEST(ExternalInterfaceScript, HostRecoversTheListByFixedPrefixAndTail) {
  // The host drops 30 characters in front and 36 behind, then unescapes quotes.
  const std::string list = "[\"zApplication\",\"getArguments\",\"a,b\"]";
  const std::string script = externalInterfaceScript(list);
  std::string middle = script.substr(30, script.size() - 66);
  for (size_t at = middle.find("\\\""); at != std::string::npos; at = middle.find("\\\"", at)) {
    middle.erase(at, 1);
    ++at;
  }
  EXPECT_EQ(middle, list);
}

}  // namespace
}  // namespace kw::standin
