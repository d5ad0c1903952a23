#pragma once
// The experiment clock.
//
// Every sample, zone measurement, marker, action and sequencer step of an
// experiment is stamped with this clock. It counts milliseconds of the system
// tick count, stands still while the experiment is paused and continues from
// the frozen value on resume, so experiment time has no gaps. Its segments
// live in a disk-backed store, so that after a crash the running backup can
// reopen the store and continue the same time base.
//
// States:
//   idle         stopped, segment zero           Now = tick
//   running      start set, pause 0              Now = tick - pausedTotal
//   pause grace  paused less than 100 ms ago     Now = tick - pausedTotal
//   paused       paused 100 ms or more ago       Now = frozen
//   reopened     stopped, segment from the store Now = tick until Start
//
// All arithmetic is on u32 milliseconds modulo 2^32, like the tick count, so
// the clock runs on across a wrap of the tick counter.
//
// Every operation holds the clock's recursive lock for its whole length,
// notification included: subscribers are called with the lock held, on the
// thread that started, paused or stopped the clock.
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/storage/clock_segment.h"

namespace ORV::RelativeTime {

// Told when the clock starts running (true) or stops running (false).
class SubscriberEvent {
 public:
  virtual ~SubscriberEvent() = default;
  virtual void Notify(bool running) = 0;
};

class Interface {
 public:
  virtual ~Interface() = default;
  // Starts the clock, or resumes it after a pause.
  virtual void Start() = 0;
  // Freezes the clock.
  virtual void Pause() = 0;
  // Ends the experiment time base and empties the segment store.
  virtual void Stop() = 0;
  // Closes the segment store; its files stay.
  virtual void CloseStore() = 0;
  // Opens the segment store (at `path`, UTF-8; the previous path when none is
  // given) and takes up its last segment.
  virtual void OpenStore(const std::optional<std::string>& path = std::nullopt) = 0;
  // The current experiment time, ms.
  virtual std::uint32_t Now() = 0;
  // Time in the current segment, ms.
  virtual std::uint32_t Elapsed() = 0;
  virtual bool IsRunning() = 0;
  // The clock holds the subscriber weakly: a subscriber ends its subscription
  // by being destroyed.
  virtual void Subscribe(const std::shared_ptr<SubscriberEvent>& subscriber) = 0;
};

// The clock still counts as running this long after a pause, ms.
inline constexpr std::uint32_t kPauseGraceMs = 100;

class RelativeTime final : public Interface {
 public:
  // The program's owner makes the one experiment clock and hands it to the
  // record, the file commands and the workers; tests make clocks of their own.
  RelativeTime() = default;
  ~RelativeTime() override = default;
  RelativeTime(const RelativeTime&) = delete;
  RelativeTime& operator=(const RelativeTime&) = delete;

  void Start() override;
  void Pause() override;
  void Stop() override;
  void CloseStore() override;
  void OpenStore(const std::optional<std::string>& path = std::nullopt) override;
  std::uint32_t Now() override;
  std::uint32_t Elapsed() override;
  bool IsRunning() override;
  void Subscribe(const std::shared_ptr<SubscriberEvent>& subscriber) override;

  // The segment store, for the experiment file's writer and reader, which
  // read and write the stored segments in order. Callers hold Lock() while
  // they use it.
  ClockSegmentStore& Store() { return store_; }
  std::unique_lock<std::recursive_mutex> Lock() { return std::unique_lock(mutex_); }

 private:
  bool IsRunningAt(std::uint32_t tick) const;
  std::uint32_t NowAt(std::uint32_t tick) const;
  void NotifySubscribers();

  std::recursive_mutex mutex_;
  bool stopped_ = true;
  std::vector<std::weak_ptr<SubscriberEvent>> subscribers_;
  ClockSegment segment_;
  ClockSegmentStore store_;
};

}  // namespace ORV::RelativeTime
