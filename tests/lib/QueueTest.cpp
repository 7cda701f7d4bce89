// Tests of the event queue: order, record copies, emptiness, ownership and misuse.
#include "Lib_Sources/queue/Queue.h"

#include <gtest/gtest.h>

#include <cstring>

namespace kw {
namespace {

// A record with every field set from `what` and `message`.
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

TEST(Queue, DeliversRecordsFirstInFirstOutAcrossRefills) {
  Queue queue;
  EXPECT_TRUE(queue.empty());
  for (uint16_t i = 1; i <= 3; ++i) queue.add(record(i, i * 100U));
  EXPECT_TRUE(sameBytes(queue.take(), record(1, 100)));
  queue.add(record(4, 400));  // added behind the two still queued
  for (uint16_t i = 2; i <= 4; ++i) {
    EXPECT_FALSE(queue.empty());
    EXPECT_TRUE(sameBytes(queue.take(), record(i, i * 100U))) << i;
  }
  EXPECT_TRUE(queue.empty());
  // A queue that ran empty works again from scratch.
  queue.add(record(5, 500));
  EXPECT_TRUE(sameBytes(queue.take(), record(5, 500)));
  EXPECT_TRUE(queue.empty());
}

TEST(Queue, KeepsItsOwnCopyOfExtremeFieldValues) {
  EventRecord in;
  in.what = 0xFFFE;
  in.message = 0xDEADBEEF;
  in.when = 0x80000001;
  in.where = {-32768, 32767};
  in.modifiers = 0xA5A5;
  const EventRecord original = in;
  Queue queue;
  queue.add(in);
  in.message = 0;
  EXPECT_TRUE(sameBytes(queue.take(), original));
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
