// Sim desktop services: alert answers taken from the script.
#include "mac/platform/DesktopServices.h"

#include <gtest/gtest.h>

namespace kw {
namespace {

TEST(DesktopServicesTest, SimAlertsRecordAndAnswerFromTheScript) {
  SimAlertPanels panels;
  const AlertRequest notFound{"Plugin Not Found", "The Flash plugin is required and could not be found",
                              {"Download", "Cancel"}};
  panels.answers = {1, 5};
  EXPECT_EQ(panels.runAlert(notFound), 1u);
  EXPECT_EQ(panels.runAlert(notFound), 0u);  // no fifth button: the default one
  EXPECT_EQ(panels.runAlert(notFound), 0u);  // script exhausted
  panels.answers = {1};
  EXPECT_EQ(panels.runAlert({"Title", "Text", {}}), 0u);  // only the implied default button
  ASSERT_EQ(panels.shown.size(), 4u);
  EXPECT_EQ(panels.shown[0].title, "Plugin Not Found");
  EXPECT_EQ(panels.shown[0].buttons, (std::vector<std::string>{"Download", "Cancel"}));
  EXPECT_TRUE(panels.answers.empty());
}

}  // namespace
}  // namespace kw
