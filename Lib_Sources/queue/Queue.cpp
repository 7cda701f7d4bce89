// First-in first-out queue of classic event records (Queue with Dnode links).
#include "Lib_Sources/queue/Queue.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace kw {

Queue::~Queue() { clear(); }

Queue::Queue(Queue&& other) noexcept
    : front_(std::exchange(other.front_, nullptr)), back_(std::exchange(other.back_, nullptr)) {}

Queue& Queue::operator=(Queue&& other) noexcept {
  if (this != &other) {
    clear();
    front_ = std::exchange(other.front_, nullptr);
    back_ = std::exchange(other.back_, nullptr);
  }
  return *this;
}

void Queue::clear() noexcept {
  while (front_ != nullptr) delete std::exchange(front_, front_->towardBack);
  back_ = nullptr;
}

void Queue::add(const EventRecord& record) {
  auto* node = new Dnode{record, nullptr, back_};
  if (back_ == nullptr) {
    front_ = node;
  } else {
    back_->towardBack = node;
  }
  back_ = node;
}

EventRecord Queue::take() {
  if (empty()) {
    std::fputs("Queue::take: assertion failed: not empty()\n", stderr);
    std::abort();
  }
  Dnode* node = front_;
  const EventRecord record = node->record;
  front_ = node->towardBack;
  if (front_ == nullptr) {
    back_ = nullptr;
  } else {
    front_->towardFront = nullptr;
  }
  delete node;
  return record;
}

}  // namespace kw
