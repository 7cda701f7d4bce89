// First-in first-out queue of classic event records (Queue with Dnode links),
// used by a movie view to hold plug-in events until its frame timer delivers them.
#pragma once

#include <cstdint>

namespace kw {

// The classic event record the plug-in receives: 16 bytes, 2-byte aligned.
// Its 32-bit fields may be misaligned: read them by value, do not bind
// references or pointers to them.
#pragma pack(push, 2)
struct EventRecord {
  uint16_t what = 0;       // event kind
  uint32_t message = 0;
  uint32_t when = 0;       // ticks
  struct Point {
    int16_t v = 0;
    int16_t h = 0;
  } where;                 // global mouse position
  uint16_t modifiers = 0;
};
#pragma pack(pop)
static_assert(sizeof(EventRecord) == 16, "the event record is 16 bytes");

// One queued record with its links towards the back and the front of the queue.
struct Dnode {
  EventRecord record;
  Dnode* towardBack = nullptr;
  Dnode* towardFront = nullptr;
};

class Queue {
 public:
  Queue() = default;  // create: front and back are null
  ~Queue();           // frees every node still queued
  Queue(const Queue&) = delete;
  Queue& operator=(const Queue&) = delete;
  Queue(Queue&& other) noexcept;
  Queue& operator=(Queue&& other) noexcept;

  bool empty() const { return front_ == nullptr; }
  // Appends a copy of the record at the back.
  void add(const EventRecord& record);
  // Removes the front node and returns its record. The queue must not be
  // empty: taking from an empty queue is a programming error that writes
  // "not empty()" to stderr and aborts.
  EventRecord take();

 private:
  void clear() noexcept;

  Dnode* front_ = nullptr;
  Dnode* back_ = nullptr;
};

}  // namespace kw
