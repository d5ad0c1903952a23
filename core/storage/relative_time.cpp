#include "core/storage/relative_time.h"

#include "core/base/event_log.h"
#include "platform/os/tick_source.h"

namespace ORV::RelativeTime {

namespace {

// A segment marks "never started" and "not paused" with 0, so a start or
// pause at tick 0 (once in 49.7 days) is recorded at the millisecond before.
std::uint32_t MarkTick(std::uint32_t tick) { return tick != 0 ? tick : 0xFFFFFFFFu; }

}  // namespace

bool RelativeTime::IsRunningAt(std::uint32_t tick) const {
  if (stopped_) return true;
  if (segment_.start == 0) return false;
  if (segment_.pause != 0) return static_cast<std::uint32_t>(tick - segment_.pause) < kPauseGraceMs;
  return true;
}

std::uint32_t RelativeTime::NowAt(std::uint32_t tick) const {
  if (stopped_) return tick;
  if (IsRunningAt(tick)) return tick - segment_.pausedTotal;
  if (segment_.pause == 0) return tick;
  return segment_.frozen;
}

bool RelativeTime::IsRunning() {
  std::lock_guard lock(mutex_);
  return IsRunningAt(OS::GetTickCount());
}

std::uint32_t RelativeTime::Now() {
  std::lock_guard lock(mutex_);
  return NowAt(OS::GetTickCount());
}

std::uint32_t RelativeTime::Elapsed() {
  std::lock_guard lock(mutex_);
  if (segment_.start == 0) return 0;
  // The running value also for a segment taken from the store and not yet
  // started again, where Now still gives the tick count.
  const std::uint32_t current = segment_.pause == 0 ? OS::GetTickCount() - segment_.pausedTotal : segment_.frozen;
  return current - segment_.startTime;
}

void RelativeTime::Start() {
  std::lock_guard lock(mutex_);
  const std::uint32_t tick = OS::GetTickCount();
  stopped_ = false;
  if (segment_.start != 0 && segment_.pause == 0) return;  // already running
  if (segment_.start != 0) {
    // Resume: add the paused interval and continue from the frozen value.
    segment_.start = MarkTick(tick);
    segment_.pausedTotal += tick - segment_.pause;
    segment_.startTime = tick - segment_.pausedTotal;
    segment_.pause = 0;
  } else {
    segment_.pausedTotal = 0;
    segment_.start = MarkTick(tick);
    segment_.pause = 0;
    segment_.startTime = tick;
  }
  segment_.frozen = 0;
  if (store_.IsOpen()) store_.Put(store_.Count(), segment_, false);
  NotifySubscribers();
}

void RelativeTime::Pause() {
  std::lock_guard lock(mutex_);
  if (segment_.start == 0 || segment_.pause != 0) return;
  // The running value at the pause: also right for a segment taken from the
  // store and not yet started again, where Now still gives the tick count.
  segment_.pause = MarkTick(OS::GetTickCount());
  segment_.frozen = segment_.pause - segment_.pausedTotal;
  if (store_.IsOpen()) {
    if (store_.Count() == 0)
      store_.Put(0, segment_, false);
    else
      store_.Put(store_.Count() - 1, segment_, true);
  }
  NotifySubscribers();
}

void RelativeTime::Stop() {
  std::lock_guard lock(mutex_);
  store_.Reset();
  if (!store_.Path().empty()) store_.Open();
  stopped_ = true;
  segment_ = ClockSegment{};
  NotifySubscribers();
}

void RelativeTime::CloseStore() {
  std::lock_guard lock(mutex_);
  store_.Close();
}

void RelativeTime::OpenStore(const std::optional<std::string>& path) {
  std::lock_guard lock(mutex_);
  store_.Close();
  if (path) store_.SetPath(*path);
  store_.Open();
  stopped_ = true;
  segment_ = ClockSegment{};
  if (store_.Count() == 0) return;
  segment_ = store_.Get(store_.Count() - 1);

  // The segment's ticks belong to the boot that wrote it. A tick count below
  // them means the system was restarted since (or the counter wrapped): the
  // old ticks say nothing about now. Take the segment up as paused at the
  // latest clock value it holds (the frozen value, or for a segment that was
  // running its start value), so that Start continues from there instead of
  // jumping.
  const std::uint32_t tick = OS::GetTickCount();
  if (segment_.start == 0) return;
  const std::uint32_t latest = segment_.pause != 0 ? segment_.pause : segment_.start;
  if (tick >= latest) return;
  if (segment_.pause == 0) segment_.frozen = segment_.startTime;
  segment_.start = MarkTick(tick);
  segment_.pause = segment_.start;
  segment_.pausedTotal = segment_.pause - segment_.frozen;
  LogWarning(
      "RelativeTime::OpenStore() - The tick count restarted since the stored clock segment was written; "
      "the experiment time continues from " +
      std::to_string(segment_.frozen) + " ms.");
}

void RelativeTime::Subscribe(const std::shared_ptr<SubscriberEvent>& subscriber) {
  std::lock_guard lock(mutex_);
  subscribers_.push_back(subscriber);
}

void RelativeTime::NotifySubscribers() {
  const bool running = segment_.start != 0 && segment_.pause == 0;
  // By index: a subscriber may subscribe another one while it is called.
  for (std::size_t i = 0; i < subscribers_.size();) {
    const std::shared_ptr<SubscriberEvent> subscriber = subscribers_[i].lock();
    if (!subscriber) {
      subscribers_.erase(subscribers_.begin() + static_cast<std::ptrdiff_t>(i));
      continue;
    }
    subscriber->Notify(running);
    ++i;
  }
}

}  // namespace ORV::RelativeTime
