// Tests of the command table: name matching and the decoded parameter columns.
#include "mac/commands/CommandTable.h"

#include <gtest/gtest.h>

namespace kw {
namespace {

const CommandEntry& row(int number) { return commandTable()[static_cast<size_t>(number - 1)]; }

TEST(CommandTable, NameMatchingFollowsStrncasecmpOverTheComparedLength) {
  struct Row {
    const char* name;
    int row;
    bool matches;
  };
  const Row rows[] = {
      {"quit", 88, true}, {"QuIt", 88, true}, {"quitNow", 88, true}, {"quit?x=1", 88, true}, {"qui", 88, false},
      {"", 88, false}, {"quiz", 88, false},
      // Compared lengths shorter than the name.
      {"getHomeDirect", 31, true}, {"getHomeDirectoryOfUser", 31, true}, {"getHomeDirec", 31, false},
      {"createShorty", 97, true},
      // Compared lengths beyond the name: nothing may follow it.
      {"openScreenSaverControlPanel", 46, true}, {"openScreenSaverControlPanel?x=1", 46, false},
      {"ZWINDOW.STOPDRAG", 62, true}, {"zWindow.stopDrag?", 62, false},
      // Case folding is ASCII only; bytes above 0x7F compare as they are.
      {"qu\xC3\xAF" "t", 88, false}};
  for (const Row& r : rows) EXPECT_EQ(commandNameMatches(r.name, row(r.row)), r.matches) << r.name;
}

TEST(CommandTable, LookupTakesTheFirstMatchingRow) {
  const std::pair<const char*, int> rows[] = {
      {"getWindows", 41}, {"getWindowRect?windowNum=1", 42}, {"getWindow", 77}, {"chooseFiles", 102},
      {"chooseFile", 103}, {"zWindow.stopDrag?a=1", 69}, {"zWindow.", 69}};
  for (const auto& [name, number] : rows) {
    ASSERT_NE(findCommand(name), nullptr) << name;
    EXPECT_EQ(findCommand(name)->number, number) << name;
  }
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
