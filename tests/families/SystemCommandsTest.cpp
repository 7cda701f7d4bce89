// Placeholder.
#include <gtest/gtest.h>

#include "tests/support/CommandFixture.h"

namespace kw::test {
namespace {

class SystemCommands : public CommandFixture {};

TEST_F(SystemCommands, FixtureRunsCommandsOnTheFirstWindow) {
  startApplication();
  EXPECT_EQ(run("KW://KW_zWindow.getParameter?windowID=0", true).reply, "<string>main</string>");
}

}  // namespace
}  // namespace kw::test
