#pragma once
// The newest reading of the pressure interface and every reading since the
// consumer last emptied the queue, shared by the pressure sampling workers
// (producers) and the synchronised sampler (consumer).
//
// The newest reading is a NewestValue, so a reading is never seen half
// written; the queue has a lock of its own, and a reading joins the queue
// before it becomes the newest. Make it with std::make_shared; the owner
// hands the same holder to both pressure workers.
//
// The queue keeps at most kQueueLimit readings (a minute of the fastest
// unit); when nobody empties it, the oldest readings go first, so it cannot
// grow without bound.
#include <cstddef>
#include <deque>
#include <mutex>

#include "core/threading/newest_value.h"

namespace ORV {

template <class T>
class DataHolder {
 public:
  static constexpr std::size_t kQueueLimit = 12000;

  DataHolder() = default;
  DataHolder(const DataHolder&) = delete;
  DataHolder& operator=(const DataHolder&) = delete;

  // The producer: `sample` becomes the newest reading, a copy joins the
  // queue and the new-data flag is set.
  void Put(const T& sample) {
    {
      std::lock_guard lock(mutex_);
      queue_.push_back(sample);
      if (queue_.size() > kQueueLimit) queue_.pop_front();
    }
    newest_.Put(sample);
  }

  // A copy of the newest reading (the record's defaults before the first).
  T Current() const { return newest_.Current(); }
  bool HasNewData() const { return newest_.HasNew(); }
  // The consumer: when a reading came since the last call, copies the newest
  // into `out`, clears the flag and returns true; otherwise false.
  bool TakeNewest(T& out) { return newest_.Take(out); }
  // Every queued reading, oldest first; the queue is empty afterwards.
  std::deque<T> TakeQueue() {
    std::lock_guard lock(mutex_);
    std::deque<T> out;
    out.swap(queue_);
    return out;
  }
  void ClearQueue() {
    std::lock_guard lock(mutex_);
    queue_.clear();
  }
  std::size_t QueueSize() const {
    std::lock_guard lock(mutex_);
    return queue_.size();
  }

 private:
  Threading::NewestValue<T> newest_;
  mutable std::mutex mutex_;  // guards the queue
  std::deque<T> queue_;
};

}  // namespace ORV
