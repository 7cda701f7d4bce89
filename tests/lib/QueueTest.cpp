// Tests of the event queue: order, record copies, emptiness, ownership and misuse.
#include "Lib_Sources/queue/Queue.h"

#include <gtest/gtest.h>

#include <cstring>

namespace kw {
namespace {

EventRecord record(uint16_t what, uint32_t message) {
  EventRecord r;
  r.what = what;
  r.message = message;
  r.when = message * 3U;
  r.where = {static_cast<int16_t>(-static_cast<int16_t>(what)), static_cast<int16_t>(what + 7)};
  r.modifiers = static_cast<uint16_t>(0x0100U | what);
  return r;
}

bool sameBytes(const EventRecord& a, const EventRecord& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// The record is 2-byte packed like the classic one: its 32-bit fields are
// copied into values before gtest binds references to them.
TEST(Queue, DeliversRecordsFirstInFirstOutAcrossRefills) {
  Queue queue;
  EXPECT_TRUE(queue.empty());
  for (uint16_t i = 1; i <= 3; ++i) queue.add(record(i, i * 100U));
  EXPECT_FALSE(queue.empty());
  EXPECT_EQ(uint32_t{queue.take().message}, 100U);
  queue.add(record(4, 400));  // added behind the two still queued
  EXPECT_EQ(uint32_t{queue.take().message}, 200U);
  EXPECT_EQ(uint32_t{queue.take().message}, 300U);
  EXPECT_FALSE(queue.empty());
  EXPECT_EQ(uint32_t{queue.take().message}, 400U);
  EXPECT_TRUE(queue.empty());

  // A queue that ran empty works again from scratch.
  queue.add(record(5, 500));
  EXPECT_FALSE(queue.empty());
  EXPECT_EQ(uint16_t{queue.take().what}, 5);
  EXPECT_TRUE(queue.empty());
}

TEST(Queue, CopiesEveryFieldOfTheRecord) {
  EventRecord in;
  in.what = 0xFFFE;
  in.message = 0xDEADBEEF;
  in.when = 0x80000001;
  in.where = {-32768, 32767};
  in.modifiers = 0xA5A5;
  Queue queue;
  queue.add(in);
  in.message = 0;  // the queue holds its own copy
  const EventRecord out = queue.take();
  EXPECT_EQ(uint16_t{out.what}, 0xFFFE);
  EXPECT_EQ(uint32_t{out.message}, 0xDEADBEEFU);
  EXPECT_EQ(uint32_t{out.when}, 0x80000001U);
  EXPECT_EQ(int16_t{out.where.v}, -32768);
  EXPECT_EQ(int16_t{out.where.h}, 32767);
  EXPECT_EQ(uint16_t{out.modifiers}, 0xA5A5);
}

TEST(Queue, DestroyingOrMovingANonEmptyQueueKeepsOrFreesItsNodes) {
  // The leak checker of the sanitizer build fails this test if nodes leak.
  { Queue dropped; for (uint16_t i = 0; i < 50; ++i) dropped.add(record(i, i)); }

  Queue source;
  source.add(record(1, 10));
  source.add(record(2, 20));
  Queue moved(std::move(source));
  EXPECT_TRUE(source.empty());  // NOLINT(bugprone-use-after-move): moved-from is defined empty
  Queue target;
  target.add(record(9, 90));
  target = std::move(moved);  // the record 9 is freed, 10 and 20 move over
  EXPECT_TRUE(sameBytes(target.take(), record(1, 10)));
  EXPECT_TRUE(sameBytes(target.take(), record(2, 20)));
  EXPECT_TRUE(target.empty());
}

TEST(QueueDeathTest, TakingFromAnEmptyQueueEndsTheProgram) {
  Queue queue;
  EXPECT_DEATH(queue.take(), "not empty\\(\\)");
  queue.add(record(1, 1));
  queue.take();
  EXPECT_DEATH(queue.take(), "not empty\\(\\)");
}

}  // namespace
}  // namespace kw
