// The stream record (initialiser, quotes, release), the write procedure and
// the message write, against the fake plug-in.
#include <string>

#include "tests/support/TestHost.h"

namespace kw {
namespace {

class StreamDataTest : public test::InstanceTest {
 protected:
  // A record whose stream is open in the plug-in.
  std::shared_ptr<StreamData> openRecord() {
    auto record = openRequest(*plugin, "http://example.com/a.txt", nullptr);
    EXPECT_TRUE(record && streamOf(*record));
    return record;
  }
  const test::FakePlugin::StreamCall& lastStream() { return fake.streams.back(); }
};

TEST_F(StreamDataTest, NewRecordIsLiveAndItsStreamCarriesItsUrlAndTheInstanceData) {
  plugin->m_plugInInstance.pdata = reinterpret_cast<void*>(0x1234);
  int marker = 0;
  auto record = StreamData::create(*plugin, "http://example.com/x", false, &marker);
  ASSERT_TRUE(record);
  EXPECT_TRUE(record->isLive());
  EXPECT_EQ(record->method, kMethodGet);
  EXPECT_EQ(record->theStream.notifyData, &marker);
  EXPECT_EQ(record->theStream.url, record->url.c_str());  // points at the record's own copy
  EXPECT_EQ(record->theStream.pdata, reinterpret_cast<void*>(0x1234));
  EXPECT_EQ(record->theStream.ndata, plugin.get());
  EXPECT_FALSE(record->isSynchronous());

  runLoop.advanceClockWithoutFiring(2.0);  // 120 ticks
  plugin->fMovieSpec = "/movies/intro.swf";
  auto request = StreamData::create(*plugin, "KW://KW_zSystem.getUserName", true, syncNotifyData());
  ASSERT_TRUE(request && request->cocoaInterfaceData);
  EXPECT_EQ(request->cocoaInterfaceData->requester, plugin.get());
  EXPECT_EQ(request->cocoaInterfaceData->movieSpec, "/movies/intro.swf");
  EXPECT_EQ(request->cocoaInterfaceData->startTicks, 120u);
  EXPECT_TRUE(request->isSynchronous());
}

TEST_F(StreamDataTest, OnlyOnePairOfEnclosingQuotesIsRemoved) {
  const std::pair<const char*, const char*> cases[] = {
      {"\"KW://KW_a\"", "KW://KW_a"}, {"'KW://KW_a'", "KW://KW_a"},     {"\"\"x\"\"", "\"x\""}, {"\"\"", ""},
      {"\"KW://KW_a", "\"KW://KW_a"}, {"'KW://KW_a\"", "'KW://KW_a\""}, {"\"", "\""}};
  for (const auto& [given, stored] : cases) {
    EXPECT_EQ(StreamData::create(*plugin, given, true, nullptr)->url, stored) << given;
  }
}

TEST_F(StreamDataTest, NoRecordWithoutNewStreamInThePlugin) {
  fake.funcs.newstream = nullptr;
  host->bind(fake.entryPoints());
  EXPECT_EQ(StreamData::create(*plugin, "http://example.com/", true, nullptr), nullptr);
}

TEST_F(StreamDataTest, ReleaseFreesRequestAndPostDataButKeepsTheTag) {
  auto record = StreamData::create(*plugin, "http://example.com/", true, nullptr);
  record->postData = {'a', 'b', 0};
  record->release();
  EXPECT_EQ(record->cocoaInterfaceData, nullptr);
  EXPECT_TRUE(record->postData.empty());
  EXPECT_TRUE(record->isLive());
  EXPECT_STREQ(record->theStream.url, "http://example.com/");
}

TEST_F(StreamDataTest, WriteProcedureWritesEveryBlockAtOffsetZero) {
  auto record = openRecord();
  const uint8_t bytes[] = {1, 2, 3, 4, 5};
  EXPECT_EQ(writeProcedure(bytes, 3, record.get()), kStatusOK);
  EXPECT_EQ(writeProcedure(bytes + 3, 2, record.get()), kStatusOK);
  EXPECT_EQ(lastStream().bytes, (std::vector<uint8_t>{1, 2, 3, 4, 5}));
  EXPECT_EQ(lastStream().offsets, (std::vector<int32_t>{0, 0}));
  EXPECT_EQ(lastStream().writeReadyCalls, 2);

  fake.writeAnswer = -5;  // a refused write
  EXPECT_EQ(writeProcedure(bytes, 2, record.get()), kStatusWriteFailed);
  fake.writeAnswer.reset();
  fake.writeReadyAnswer = 0;  // not ready: the block is dropped, the record goes on
  EXPECT_EQ(writeProcedure(bytes, 2, record.get()), kStatusOK);
  EXPECT_FALSE(record->finished);
  EXPECT_EQ(fake.writeCalls, 3);
}

TEST_F(StreamDataTest, WriteProcedureFailsForShuttingDownDeadOrDestroyedTargets) {
  const uint8_t block[] = {1};
  auto record = openRecord();
  auto other = openRecord();
  record->sanityCheck = 0;
  EXPECT_EQ(writeProcedure(block, 1, record.get()), kStatusWriteFailed);
  record->sanityCheck = kStreamDataMarker;
  plugin->m_shutdownCurrentPlugin = true;
  EXPECT_EQ(writeProcedure(block, 1, record.get()), kStatusWriteFailed);
  EXPECT_TRUE(record->finished);
  plugin->m_shutdownCurrentPlugin = false;
  plugin->destroy();
  EXPECT_EQ(writeProcedure(block, 1, other.get()), kStatusWriteFailed);
  EXPECT_EQ(fake.writeCalls, 0);
}

TEST_F(StreamDataTest, WriteProcedureWithoutRecordOrWriteReadyDoesNothing) {
  const uint8_t block[] = {1};
  EXPECT_EQ(writeProcedure(block, 1, nullptr), kStatusOK);
  auto record = openRecord();
  fake.funcs.writeready = nullptr;
  host->bind(fake.entryPoints());
  EXPECT_EQ(writeProcedure(block, 1, record.get()), kStatusOK);
  EXPECT_EQ(fake.writeCalls, 0);
}

TEST_F(StreamDataTest, MessageWriteWritesTheWholeTextOnceOrNothing) {
  auto record = openRecord();
  const std::string text = "ARRAY_OF_STRINGS=" + std::string(3000, 'm');
  EXPECT_EQ(messageWrite(record.get(), text), kStatusOK);
  EXPECT_EQ(lastStream().text(), text);
  EXPECT_EQ(lastStream().offsets, std::vector<int32_t>{0});

  EXPECT_EQ(messageWrite(nullptr, "x"), kStatusOK);
  EXPECT_EQ(messageWrite(record.get(), ""), kStatusOK);
  fake.writeReadyAnswer = 0;
  EXPECT_EQ(messageWrite(record.get(), "x"), kStatusOK);
  fake.writeReadyAnswer = 100;
  plugin->m_shutdownCurrentPlugin = true;
  EXPECT_EQ(messageWrite(record.get(), "x"), kStatusOutOfMemory);
  EXPECT_EQ(fake.writeCalls, 1);
}

}  // namespace
}  // namespace kw
