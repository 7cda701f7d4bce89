// Tests of the event texts, the event XML and the fixed events.
#include "mac/commands/EventEncoding.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace kw {
namespace {

TEST(EventEncoding, EventTextJoinsItemsWithMarkedBooleansAndNumbers) {
  EXPECT_EQ(eventText({"zWindow", "onActivate", EventItem::boolean(true)}),
            "ARRAY_OF_STRINGS=zWindow~!onActivate~!!B00L1");
  EXPECT_EQ(eventText({"a", EventItem::boolean(false), EventItem::integer(-12), EventItem::number(0.5)}),
            "ARRAY_OF_STRINGS=a~!!B00L0~!!nm3r-12~!!nm3r0.500000");
  EXPECT_EQ(eventText({}), "ARRAY_OF_STRINGS=");
}

TEST(EventEncoding, EventXmlListsItemsAsStringProperties) {
  EXPECT_EQ(eventXML({"zWindow", "onClose"}),
            "<array length=\"2\"><property id=\"0\"><string>zWindow</string></property>"
            "<property id=\"1\"><string>onClose</string></property></array>");
  EXPECT_EQ(eventXML({}), "<array length=\"0\"></array>");
  EXPECT_EQ(eventXML({"x"}, 2), "<array length=\"1\">\t\t<property id=\"0\"><string>x</string></property>\t\t</array>");
}

TEST(EventEncoding, ActivationEventsPairTheirTextsWithTheirXml) {
  EXPECT_EQ(events::windowActivation(true).text, "ARRAY_OF_STRINGS=zWindow~!onActivate~!!B00L1");
  EXPECT_EQ(events::windowActivation(false).text, "ARRAY_OF_STRINGS=zWindow~!onActivate~!!B00L0");
  EXPECT_EQ(events::windowActivation(false).xml, eventXML({"zApplication", "onDeactivate"}));
  EXPECT_EQ(events::applicationActivation(true).text, "ARRAY_OF_STRINGS=zApplication~!onActivate~!!B00L1");
  EXPECT_EQ(events::applicationActivation(true).xml, eventXML({"zWindow", "onActivate"}));
  EXPECT_EQ(events::applicationActivation(false).xml, eventXML({"zWindow", "onDeactivate"}));
}

TEST(EventEncoding, WindowEventsAreSentInTheirListedEncodingsOnly) {
  EXPECT_EQ(events::windowMinimized().text, "ARRAY_OF_STRINGS=zWindow~!onMinimized");
  EXPECT_EQ(events::windowRestored().xml, eventXML({"zWindow", "onRestored"}));
  EXPECT_FALSE(events::windowClose().text);
  EXPECT_EQ(events::windowClose().xml, eventXML({"zWindow", "onClose"}));
  EXPECT_FALSE(events::applicationQuit().text);
  EXPECT_EQ(events::applicationQuit().xml, eventXML({"zApplication", "onQuit"}));
  EXPECT_FALSE(events::dragLeave().xml);
  EXPECT_EQ(events::dragLeave().text, "ARRAY_OF_STRINGS=zWindow~!onDragLeave");
  EXPECT_EQ(events::maskMouseDown().text, "ARRAY_OF_STRINGS=zWindow~!onMaskMouseDown");
  EXPECT_EQ(events::maskMouseUp().text, "ARRAY_OF_STRINGS=zWindow~!onMaskMouseUp");
}

TEST(EventEncoding, ScrollWheelWritesTheDeltaAsFixedPoint) {
  EXPECT_EQ(events::scrollWheel(-1.25).text, "ARRAY_OF_STRINGS=zWindow~!onScrollWheel~!!nm3r-1.250000");
  EXPECT_FALSE(events::scrollWheel(1).xml);
  const std::string huge = *events::scrollWheel(1e300).text;  // some 300 digits, not cut off
  EXPECT_EQ(huge.size(), std::string("ARRAY_OF_STRINGS=zWindow~!onScrollWheel~!!nm3r").size() + 301 + 7);
}

TEST(EventEncoding, DraggedFilesFollowAsEscapedTildeList) {
  EXPECT_EQ(events::dragFiles({"/a b/c,d", "/x&y"}).text,
            "ARRAY_OF_STRINGS=zWindow~!onDragFiles~!/a%20b/c%2Cd~!/x%26y~!");
  EXPECT_EQ(events::dropFiles({}).text, "ARRAY_OF_STRINGS=zWindow~!onDropFiles~!");
}

TEST(EventEncoding, RestartAndMenuCommandsWriteNamesUnescaped) {
  EXPECT_EQ(events::restart("/Apps/My App.app", "/tmp/a&b.txt").text,
            "ARRAY_OF_STRINGS=zApplication~!onRestart~!/Apps/My App.app~!/tmp/a&b.txt");
  EXPECT_EQ(events::customMenuCommand("File", "Save As,").text, "ARRAY_OF_STRINGS=zMenu~!onCommand~!File~!Save As,");
  EXPECT_EQ(events::applicationMenuCommand("About").text, "ARRAY_OF_STRINGS=zMenu~!onCommand~!Zivra~!About");
}

TEST(EventEncoding, ScreenChangeAndMenuCommandXmlCarryTabRunsBetweenElements) {
  const std::string screen = *events::screenChange().xml;
  EXPECT_EQ(events::screenChange().text, "ARRAY_OF_STRINGS=zApplication~!onScreenChange");
  EXPECT_EQ(std::count(screen.begin(), screen.end(), '\t'), 3 * 12);
  EXPECT_NE(screen.find(">" + std::string(12, '\t') + "<property id=\"1\">"), std::string::npos);
  EXPECT_EQ(screen.find('\t', screen.size() - 8 - 12), screen.size() - 8 - 12);  // run before "</array>"

  const std::string menu = *events::applicationMenuCommand("About").xml;
  EXPECT_EQ(std::count(menu.begin(), menu.end(), '\t'), 5 * 8);
  std::string plain = menu;
  std::erase(plain, '\t');
  EXPECT_EQ(plain, eventXML({"zMenu", "onCommand", "Zivra", "About"}));
}

TEST(EventEncoding, DownloadProgressSends64BitTextAnd32BitXml) {
  const EventMessage e = events::downloadProgress(3, 5000000000, -1);
  EXPECT_EQ(e.text, "ARRAY_OF_STRINGS=zApplication~!downloadProgress~!3~!5000000000~!-1");
  EXPECT_EQ(e.xml, eventXML({"zApplication", "downloadProgress", "3", "705032704", "-1"}));
  EXPECT_EQ(events::downloadProgress(4, 0, 0).text, "ARRAY_OF_STRINGS=zApplication~!downloadProgress~!4~!0~!0");
}

}  // namespace
}  // namespace kw
