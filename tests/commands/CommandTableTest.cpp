// Tests of the command table: name matching and the decoded parameter columns.
#include "mac/commands/CommandTable.h"

#include <gtest/gtest.h>

namespace kw {
namespace {

const CommandEntry& row(int number) { return commandTable()[static_cast<size_t>(number - 1)]; }

TEST(CommandTable, NameMatchingFollowsStrncasecmpOverTheComparedLength) {
  const CommandEntry& quit = row(88);
  EXPECT_TRUE(commandNameMatches("quit", quit));
  EXPECT_TRUE(commandNameMatches("QuIt", quit));
  EXPECT_TRUE(commandNameMatches("quitNow", quit));
  EXPECT_TRUE(commandNameMatches("quit?x=1", quit));
  EXPECT_FALSE(commandNameMatches("qui", quit));
  EXPECT_FALSE(commandNameMatches("", quit));
  EXPECT_FALSE(commandNameMatches("quiz", quit));

  // Compared lengths shorter than the name.
  EXPECT_TRUE(commandNameMatches("getHomeDirect", row(31)));
  EXPECT_TRUE(commandNameMatches("getHomeDirectoryOfUser", row(31)));
  EXPECT_FALSE(commandNameMatches("getHomeDirec", row(31)));
  EXPECT_TRUE(commandNameMatches("createShorty", row(97)));

  // Compared lengths beyond the name: nothing may follow it.
  EXPECT_TRUE(commandNameMatches("openScreenSaverControlPanel", row(46)));
  EXPECT_FALSE(commandNameMatches("openScreenSaverControlPanel?x=1", row(46)));
  EXPECT_TRUE(commandNameMatches("ZWINDOW.STOPDRAG", row(62)));
  EXPECT_FALSE(commandNameMatches("zWindow.stopDrag?", row(62)));

  // Case folding is ASCII only; bytes above 0x7F compare as they are.
  EXPECT_FALSE(commandNameMatches("qu\xC3\xAF" "t", quit));
}

TEST(CommandTable, LookupTakesTheFirstMatchingRow) {
  EXPECT_EQ(findCommand("getWindows")->number, 41);
  EXPECT_EQ(findCommand("getWindowRect?windowNum=1")->number, 42);
  EXPECT_EQ(findCommand("getWindow")->number, 77);
  EXPECT_EQ(findCommand("chooseFiles")->number, 102);
  EXPECT_EQ(findCommand("chooseFile")->number, 103);
  EXPECT_EQ(findCommand("zWindow.stopDrag?a=1")->number, 69);
  EXPECT_EQ(findCommand("zWindow.")->number, 69);
  EXPECT_EQ(findCommand("zWindow"), nullptr);
  EXPECT_EQ(findCommand("setSize"), nullptr);
}

TEST(CommandTable, ParameterColumnsDecodeInReadingOrder) {
  const auto url = urlParameters(row(75));
  ASSERT_EQ(url.size(), 12u);
  EXPECT_EQ(url[0].name, "flashFileName");
  EXPECT_EQ(url[0].slot, Slot::S1);
  EXPECT_EQ(url[7].name, "ownedByMainWindow");
  EXPECT_EQ(url[7].slot, Slot::B1);
  EXPECT_EQ(url[11].name, "shapeFilename");
  EXPECT_EQ(url[11].slot, Slot::S6);
  const auto list = listParameters(row(75));
  ASSERT_EQ(list.size(), 12u);
  EXPECT_EQ(list[0].item, 2);
  EXPECT_EQ(list[11].item, 13);
  EXPECT_EQ(list[11].slot, Slot::S6);

  ASSERT_EQ(listParameters(row(58)).size(), 1u);
  EXPECT_EQ(listParameters(row(58))[0].item, kLastItem);

  const auto download = urlParameters(row(87));
  ASSERT_EQ(download.size(), 3u);
  EXPECT_EQ(download[0].name, "URL");
  EXPECT_EQ(download[0].slot, Slot::S2);
  EXPECT_EQ(download[2].rule, ReadRule::StatusIgnored);
  EXPECT_EQ(urlParameters(row(104))[1].rule, ReadRule::AlwaysRead);
  EXPECT_EQ(urlParameters(row(69))[0].slot, Slot::W);

  EXPECT_TRUE(urlParameters(row(112)).empty());
  EXPECT_TRUE(listParameters(row(113)).empty());

  // An entry that is not a row of the table has no parameters.
  CommandEntry stranger = row(75);
  stranger.number = 500;
  EXPECT_TRUE(urlParameters(stranger).empty());
  stranger.number = 0;
  EXPECT_TRUE(listParameters(stranger).empty());
}

}  // namespace
}  // namespace kw
