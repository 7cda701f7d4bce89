// Tests of the synchronous XML replies and the asynchronous reply variables.
#include "mac/commands/Replies.h"

#include <gtest/gtest.h>

namespace kw {
namespace {

TEST(Replies, SyncReplyFollowsTheResultKindsInOrder) {
  CocoaInterfaceData d;
  EXPECT_EQ(syncReplyXML(d), "");

  d.resultIsPoint = 1;
  d.numberResult = -3;
  d.numberResult2 = 40;
  EXPECT_EQ(syncReplyXML(d),
            "<object><property id=\"x\"><number>-3</number></property>"
            "<property id=\"y\"><number>40</number></property></object>");

  d.resultIsText = 1;  // a text kind without text falls through to the point
  EXPECT_EQ(syncReplyXML(d).substr(0, 8), "<object>");
  d.stringResult = "<object><property id=\"a\"/></object>";
  EXPECT_EQ(syncReplyXML(d), "<object><property id=\"a\"/></object>");

  d.resultIsString = 1;
  d.stringResult = "a<b>&c";  // inserted unescaped
  EXPECT_EQ(syncReplyXML(d), "<string>a<b>&c</string>");
  d.stringResult = "";
  EXPECT_EQ(syncReplyXML(d), "<string></string>");
  d.stringResult.reset();
  EXPECT_EQ(syncReplyXML(d), "<string>undefined</string>");

  d.resultIsNumber = 1;
  EXPECT_EQ(syncReplyXML(d), "<number>-3</number>");

  d.resultIsBoolean = 1;
  EXPECT_EQ(syncReplyXML(d), "<false/>");
  d.booleanResult = 2;
  EXPECT_EQ(syncReplyXML(d), "<true/>");
}

TEST(Replies, AsyncReplyUsesReturnValueOrTheRequestedVariableName) {
  CocoaInterfaceData d;
  d.resultIsBoolean = 1;
  d.booleanResult = 1;
  EXPECT_EQ(asyncReplyVariables(d), "&returnValue=1");
  d.requestText = "fileExists?fileName=a&returnVarName1=ok";
  EXPECT_EQ(asyncReplyVariables(d), "&ok=1");
  d.requestText = "fileExists?returnVarName1=%6Fk%2";  // malformed: the default stays
  EXPECT_EQ(asyncReplyVariables(d), "&returnValue=1");

  d = CocoaInterfaceData{};
  d.resultIsNumber = 1;
  d.numberResult = -7;
  EXPECT_EQ(asyncReplyVariables(d), "&returnValue=-7");
}

TEST(Replies, AsyncReplyWritesStringsUnescapedAndNothingWithoutAValue) {
  CocoaInterfaceData d;
  EXPECT_EQ(asyncReplyVariables(d), "");
  d.resultIsText = 1;
  EXPECT_EQ(asyncReplyVariables(d), "");
  d.stringResult = "a&b=c";
  EXPECT_EQ(asyncReplyVariables(d), "&returnValue=a&b=c");
  d.resultIsText = 0;
  d.resultIsString = 1;
  d.stringResult = "";
  EXPECT_EQ(asyncReplyVariables(d), "&returnValue=");
}

TEST(Replies, AsyncPointWritesTwoVariables) {
  CocoaInterfaceData d;
  d.resultIsPoint = 1;
  d.numberResult = 12;
  d.numberResult2 = -34;
  EXPECT_EQ(asyncReplyVariables(d), "&returnValue1=12&returnValue2=-34");
  d.requestText = "zWindow.getPosition?returnVarName2=py&returnVarName1=px";
  EXPECT_EQ(asyncReplyVariables(d), "&px=12&py=-34");
  d.requestText = "zWindow.getPosition?returnVarName1=px";
  EXPECT_EQ(asyncReplyVariables(d), "&px=12&returnValue2=-34");
}

}  // namespace
}  // namespace kw
