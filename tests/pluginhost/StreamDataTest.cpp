// Tests of the stream record: its initialiser and release, the write procedure
// and the message write, against the fake plug-in.
#include <gtest/gtest.h>

#include <string>

#include "tests/pluginhost/InstanceTestHost.h"

namespace kw {
namespace {

using test::FakePlugin;

class StreamDataTest : public ::testing::Test {
 protected:
  void SetUp() override { env.bind(); }

  // A record with its stream opened in the plug-in.
  std::shared_ptr<StreamData> openRecord(std::string_view url = "http://example.com/a.txt") {
    auto record = StreamData::create(plugin, url, true, nullptr);
    EXPECT_TRUE(record);
    if (record) {
      EXPECT_EQ(env.open(*record), NPERR_NO_ERROR);
    }
    return record;
  }
  const FakePlugin::StreamCall& lastStream() { return env.fake.streams.back(); }

  test::instance::InstanceTestHost env;
  FlashPlugin plugin{*env.host, true};
};

// ---- The record initialiser ----

TEST_F(StreamDataTest, NewRecordIsLiveAndPointsItsStreamAtItsOwnUrl) {
  plugin.m_plugInInstance.pdata = reinterpret_cast<void*>(0x1234);
  plugin.m_plugInInstance.ndata = &plugin;
  int marker = 0;
  auto record = StreamData::create(plugin, "http://example.com/x", false, &marker);
  ASSERT_TRUE(record);
  EXPECT_TRUE(record->isLive());
  EXPECT_EQ(record->flashPlugin, &plugin);
  EXPECT_EQ(record->instance, plugin.instance());
  EXPECT_EQ(record->method, kMethodGet);
  EXPECT_EQ(record->streamType, NP_NORMAL);
  EXPECT_FALSE(record->okToCache);
  EXPECT_EQ(record->notifyData, nullptr);
  EXPECT_EQ(record->theStream.notifyData, &marker);
  EXPECT_EQ(record->theStream.url, record->url.c_str());
  EXPECT_STREQ(record->theStream.url, "http://example.com/x");
  EXPECT_EQ(record->theStream.pdata, reinterpret_cast<void*>(0x1234));
  EXPECT_EQ(record->theStream.ndata, &plugin);
  EXPECT_FALSE(record->isSynchronous());
}

TEST_F(StreamDataTest, RequestRecordCarriesTickCountMovieAndRequester) {
  env.runLoop.advanceClockWithoutFiring(2.0);  // 120 ticks
  plugin.fMovieSpec = "/movies/intro.swf";
  auto record = StreamData::create(plugin, "KW://KW_zSystem.getUserName", true, syncNotifyData());
  ASSERT_TRUE(record && record->cocoaInterfaceData);
  EXPECT_EQ(record->cocoaInterfaceData->requester, &plugin);
  EXPECT_EQ(record->cocoaInterfaceData->movieSpec, "/movies/intro.swf");
  EXPECT_EQ(record->cocoaInterfaceData->startTicks, 120u);
  EXPECT_TRUE(record->isSynchronous());
}

TEST_F(StreamDataTest, OnlyOnePairOfEnclosingQuotesIsRemoved) {
  EXPECT_EQ(StreamData::create(plugin, "\"KW://KW_a\"", true, nullptr)->url, "KW://KW_a");
  EXPECT_EQ(StreamData::create(plugin, "'KW://KW_a'", true, nullptr)->url, "KW://KW_a");
  EXPECT_EQ(StreamData::create(plugin, "\"\"x\"\"", true, nullptr)->url, "\"x\"");
  EXPECT_EQ(StreamData::create(plugin, "\"\"", true, nullptr)->url, "");
  // Unpaired or lone quotes stay.
  EXPECT_EQ(StreamData::create(plugin, "\"KW://KW_a", true, nullptr)->url, "\"KW://KW_a");
  EXPECT_EQ(StreamData::create(plugin, "'KW://KW_a\"", true, nullptr)->url, "'KW://KW_a\"");
  EXPECT_EQ(StreamData::create(plugin, "\"", true, nullptr)->url, "\"");
}

TEST_F(StreamDataTest, NoRecordWithoutNewStreamInThePlugin) {
  env.fake.funcs.newstream = nullptr;
  env.bind();
  EXPECT_EQ(StreamData::create(plugin, "http://example.com/", true, nullptr), nullptr);
}

TEST_F(StreamDataTest, ReleaseFreesRequestAndPostDataButKeepsTheTag) {
  auto record = StreamData::create(plugin, "http://example.com/", true, nullptr);
  record->postData = {'a', 'b', 0};
  record->release();
  EXPECT_EQ(record->cocoaInterfaceData, nullptr);
  EXPECT_TRUE(record->postData.empty());
  EXPECT_TRUE(record->isLive());
  EXPECT_STREQ(record->theStream.url, "http://example.com/");
}

// ---- The write procedure ----

TEST_F(StreamDataTest, WriteProcedureWritesEveryBlockAtOffsetZero) {
  auto record = openRecord();
  const uint8_t first[] = {1, 2, 3};
  const uint8_t second[] = {4, 5};
  EXPECT_EQ(writeProcedure(first, sizeof first, record.get()), kStatusOK);
  EXPECT_EQ(writeProcedure(second, sizeof second, record.get()), kStatusOK);
  EXPECT_EQ(lastStream().bytes, (std::vector<uint8_t>{1, 2, 3, 4, 5}));
  EXPECT_EQ(lastStream().offsets, (std::vector<int32_t>{0, 0}));
  EXPECT_EQ(lastStream().writeReadyCalls, 2);
}

TEST_F(StreamDataTest, WriteProcedureOnAShuttingDownInstanceFinishesTheRecord) {
  auto record = openRecord();
  plugin.m_shutdownCurrentPlugin = true;
  const uint8_t block[] = {1};
  EXPECT_EQ(writeProcedure(block, 1, record.get()), kStatusWriteFailed);
  EXPECT_TRUE(record->finished);
  EXPECT_EQ(env.fake.writeCalls, 0);
}

TEST_F(StreamDataTest, WriteProcedureDropsTheBlockWhenThePluginIsNotReady) {
  auto record = openRecord();
  env.fake.writeReadyAnswer = 0;
  const uint8_t block[] = {1, 2};
  EXPECT_EQ(writeProcedure(block, 2, record.get()), kStatusOK);
  EXPECT_EQ(env.fake.writeCalls, 0);
  EXPECT_FALSE(record->finished);
}

TEST_F(StreamDataTest, WriteProcedureReportsARefusedWrite) {
  auto record = openRecord();
  env.fake.writeAnswer = -5;
  const uint8_t block[] = {1, 2};
  EXPECT_EQ(writeProcedure(block, 2, record.get()), kStatusWriteFailed);
}

TEST_F(StreamDataTest, WriteProcedureFailsForDeadRecordsAndDestroyedInstances) {
  auto record = openRecord();
  const uint8_t block[] = {1};
  record->sanityCheck = 0;
  EXPECT_EQ(writeProcedure(block, 1, record.get()), kStatusWriteFailed);
  record->sanityCheck = kStreamDataMarker;
  plugin.destroy();
  EXPECT_EQ(writeProcedure(block, 1, record.get()), kStatusWriteFailed);
  EXPECT_EQ(env.fake.writeCalls, 0);
}

TEST_F(StreamDataTest, WriteProcedureWithoutRecordOrWriteReadyDoesNothing) {
  const uint8_t block[] = {1};
  EXPECT_EQ(writeProcedure(block, 1, nullptr), kStatusOK);
  auto record = openRecord();
  env.fake.funcs.writeready = nullptr;
  env.bind();
  EXPECT_EQ(writeProcedure(block, 1, record.get()), kStatusOK);
  EXPECT_EQ(env.fake.writeCalls, 0);
}

// ---- The message write ----

TEST_F(StreamDataTest, MessageWriteWritesTheWholeTextOnce) {
  auto record = openRecord();
  const std::string text = "ARRAY_OF_STRINGS=" + std::string(3000, 'm');
  EXPECT_EQ(messageWrite(record.get(), text), kStatusOK);
  EXPECT_EQ(std::string(lastStream().bytes.begin(), lastStream().bytes.end()), text);
  EXPECT_EQ(lastStream().offsets, std::vector<int32_t>{0});
}

TEST_F(StreamDataTest, MessageWriteOnAShuttingDownInstanceFails) {
  auto record = openRecord();
  plugin.m_shutdownCurrentPlugin = true;
  EXPECT_EQ(messageWrite(record.get(), "x"), kStatusOutOfMemory);
  EXPECT_EQ(env.fake.writeCalls, 0);
}

TEST_F(StreamDataTest, MessageWriteSkipsEmptyTextsMissingRecordsAndBusyPlugins) {
  auto record = openRecord();
  EXPECT_EQ(messageWrite(nullptr, "x"), kStatusOK);
  EXPECT_EQ(messageWrite(record.get(), ""), kStatusOK);
  env.fake.writeReadyAnswer = 0;
  EXPECT_EQ(messageWrite(record.get(), "x"), kStatusOK);
  EXPECT_EQ(env.fake.writeCalls, 0);
}

}  // namespace
}  // namespace kw
