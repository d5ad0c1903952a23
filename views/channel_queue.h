#pragma once
// One channel of a trace view's live road: records queued by producer
// threads and taken, one at a time, by the user-interface thread.
//
// A producer copies its record in under the channel's lock and then posts
// the channel's message; the user-interface thread takes one record at a
// time under the lock and handles it with the lock released, so a producer
// never waits for plotting, and the graph, the session and the scripts are
// never called with a channel's lock held.
#include <cstdint>
#include <deque>
#include <mutex>

#include "platform/os/message_target.h"

namespace ORV::Views {

template <class Record>
class ChannelQueue {
 public:
  explicit ChannelQueue(std::uint32_t message) : message_(message) {}

  std::uint32_t Message() const { return message_; }

  // Any thread: queues a copy; then the channel's message goes to `target`
  // (none when null).
  void Push(const Record& record, OS::MessageTarget* target) {
    {
      std::lock_guard lock(mutex_);
      queue_.push_back(record);
    }
    if (target) target->PostMessage(message_, 0, 0);
  }

  // The oldest record, and whether it was the last one queued; false when
  // the queue is empty.
  bool Take(Record& out, bool& last) {
    std::lock_guard lock(mutex_);
    if (queue_.empty()) return false;
    out = queue_.front();
    queue_.pop_front();
    last = queue_.empty();
    return true;
  }

  void Clear() {
    std::lock_guard lock(mutex_);
    queue_.clear();
  }

  std::size_t Size() const {
    std::lock_guard lock(mutex_);
    return queue_.size();
  }

 private:
  const std::uint32_t message_;
  mutable std::mutex mutex_;
  std::deque<Record> queue_;
};

}  // namespace ORV::Views
