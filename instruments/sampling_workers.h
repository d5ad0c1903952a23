#pragma once
// The sampling workers: each instrument kind is read by a worker of its own
// at its own pace, and each reading goes to the worker's listeners (see
// sample_delivery.h) and, for the pressure interfaces, into the shared
// DataHolder.
//
//   worker                        device                     pause per cycle             gives up
//   CInterfaceSampleThread        single pressure interface  periodFactor x 10 ms        after 4 failed readings
//   CMultiInterfaceSampleThread   multi interface            timer: 5 ms (fast model) or 40 ms   after 201
//   CFlowSampleThread             binary or ASCII flow meter periodFactor x 100 ms       after 4 failed readings
//   CMicroscopeThread             microscope `index`         periodFactor x 100 ms       after 4 failed readings
//   CHeatControllerThread         heat controller            periodFactor x 600 ms       never (told after 4)
//
// A failed reading is never posted. A worker that gives its device up closes
// it, logs an error and posts WM_DEVICE_FAILED (device kind, the
// microscope's index or 0) to its failure target, so the frame can tell the
// user and load the device again when it is plugged in again. The multi
// interface's worker also gives up after 5 s of nothing but failures (a unit
// that does not answer fails far slower than one tick). A device given up
// stays in its worker's hands: the worker opens it again on the port it was
// on, 2 s later and then at doubling intervals up to 30 s, so a device that
// had stopped answering is read again once it answers. The heat controller
// is never closed; after kFailureLimit failed readings in a row its worker
// posts WM_DEVICE_FAILED (32, 0) once, and reads on.
//
// The owner builds a worker, fills its listener list (and failure target and
// holder), then starts it; the lists do not change while it runs (the flow
// worker's may, under its lock). ExitInstance asks a loop to end and returns
// at once; Stop asks and waits until the thread has ended. Every worker must
// be stopped before the interface manager, whose devices it reads, goes
// away; the destructors stop a worker that is still running. Pauses wait on
// an event, so a worker ends within one pause, or within one read time-out
// while it waits for its device.
//
// Each cycle holds its device's lock, so a pane or the sequencer never
// interleaves its own exchange with a cycle, and a pressure worker that gives
// its unit up closes it under that lock.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string_view>
#include <thread>
#include <vector>

#include "core/threading/event.h"
#include "core/threading/task.h"
#include "instruments/data_holder.h"
#include "instruments/interface_manager.h"
#include "instruments/records/instrument_records.h"
#include "instruments/sample_delivery.h"
#include "platform/os/message_target.h"
#include "platform/os/serial_port.h"

namespace ORV {

using PressureHolder = DataHolder<PMK4xData3>;
using Listener = std::shared_ptr<SampleInbox>;

// When a worker that gave its device up opens it again: kFirstMs after the
// give-up, then at doubling intervals up to kLongestMs, until it opens. The
// worker's own thread uses it.
class ReopenSchedule {
 public:
  static constexpr std::uint32_t kFirstMs = 2000;
  static constexpr std::uint32_t kLongestMs = 30000;

  // The device was given up on `port` (a device without a port is not
  // opened again).
  void Start(std::string port, std::uint32_t nowMs);
  void Stop() { active_ = false; }
  bool Active() const { return active_; }
  bool Due(std::uint32_t nowMs) const { return active_ && nowMs - since_ >= interval_; }
  // A try that did not open it: the next comes after a longer wait.
  void Missed(std::uint32_t nowMs);
  const std::string& Port() const { return port_; }

 private:
  bool active_ = false;
  std::string port_;
  std::uint32_t since_ = 0;
  std::uint32_t interval_ = kFirstMs;
};

// A polling loop on a thread of its own.
class SamplingThread {
 public:
  SamplingThread() = default;
  virtual ~SamplingThread();
  SamplingThread(const SamplingThread&) = delete;
  SamplingThread& operator=(const SamplingThread&) = delete;

  // Starts the loop; false while a thread runs or when none can be made.
  bool Start();
  // Asks the loop to end; it does within one pause. Returns at once.
  void ExitInstance();
  // Asks the loop to end and waits for the thread.
  void Stop();
  bool IsRunning() const { return running_.load(); }
  bool IsStarted() const { return thread_.joinable(); }

  // The pace: 1 to 5 (3 by default); set before Start.
  void SetPeriodFactor(int factor) { periodFactor_ = ClampPeriodFactor(factor); }
  int PeriodFactor() const { return periodFactor_; }

  static int ClampPeriodFactor(int factor) { return factor < 1 ? 1 : (factor > 5 ? 5 : factor); }

 protected:
  virtual void Run() = 0;
  // The loop of Run: calls `cycle` until the loop is asked to end, pausing
  // PeriodFactor() x `basePause` after each call.
  template <class Cycle>
  void Loop(std::chrono::milliseconds basePause, Cycle&& cycle) {
    while (running_.load()) {
      cycle();
      if (!Pause(basePause * PeriodFactor())) break;
    }
  }

 private:
  // Waits `ms` unless the loop is asked to end; false when it is.
  bool Pause(std::chrono::milliseconds ms);

  std::atomic<bool> running_{false};
  int periodFactor_ = 3;
  std::thread thread_;
  std::mutex mutex_;
  std::condition_variable wake_;
};

// The single pressure interface's worker.
class CInterfaceSampleThread : public SamplingThread {
 public:
  static constexpr int kFailureLimit = 4;

  explicit CInterfaceSampleThread(InterfaceManager& manager);
  ~CInterfaceSampleThread() override;

  // Set before Start.
  void AddListener(Listener listener) { listeners_.push_back(std::move(listener)); }
  void SetFailureTarget(std::shared_ptr<OS::MessageTarget> target) { failureTarget_ = std::move(target); }
  void SetHolder(std::shared_ptr<PressureHolder> holder) { holder_ = std::move(holder); }
  const std::shared_ptr<PressureHolder>& Holder() const { return holder_; }

  // One sampling cycle: gives the unit up after kFailureLimit failed
  // readings in a row, else reads the five values and one further query by
  // turn (every one of them when a set command went to the unit since the
  // last cycle), puts the reading into the holder and posts WM_NEW_SAMPLE
  // (1, 0).
  // Returns whether the last post went through (true when nothing was
  // posted). Runs on the worker's thread (tests call it directly).
  bool HandlePMK4xNewUnit();
  int Failures() const { return failures_; }
  int Cycle() const { return cycle_; }

 protected:
  void Run() override;

 private:
  // The by-turn queries: six, and a seventh turn that asks nothing.
  static constexpr int kSettingTurns = 6;
  static void ReadSetting(PressureMyographK4x& unit, PMK4xData3& record, int turn);

  InterfaceManager& manager_;
  std::shared_ptr<OS::MessageTarget> failureTarget_;
  std::vector<Listener> listeners_;
  int failures_ = 0;
  int cycle_ = 0;
  std::uint32_t settingsSeen_ = 0;  // the unit's SettingsSent at the last full read
  std::shared_ptr<PressureHolder> holder_ = std::make_shared<PressureHolder>();
  ReopenSchedule reopen_;
};

// The multi interface's worker: a timer thread calls TimerCallback every 5
// ms (model 0x100001) or 40 ms; a tick that comes while the one before still
// runs is dropped.
class CMultiInterfaceSampleThread {
 public:
  static constexpr int kFailureLimit = 200;  // given up at one more
  // ... or when nothing but failures came for this long.
  static constexpr std::uint32_t kFailingLimitMs = 5000;
  static constexpr std::int32_t kFastPeriodMs = 5;
  static constexpr std::int32_t kPeriodMs = 40;
  static constexpr std::uint32_t kSlowBlockIntervalMs = 1000;

  explicit CMultiInterfaceSampleThread(InterfaceManager& manager);
  ~CMultiInterfaceSampleThread();
  CMultiInterfaceSampleThread(const CMultiInterfaceSampleThread&) = delete;
  CMultiInterfaceSampleThread& operator=(const CMultiInterfaceSampleThread&) = delete;

  // Set before Start.
  void AddListener(Listener listener) { listeners_.push_back(std::move(listener)); }
  void SetFailureTarget(std::shared_ptr<OS::MessageTarget> target) { failureTarget_ = std::move(target); }
  void SetHolder(std::shared_ptr<PressureHolder> holder) { holder_ = std::move(holder); }
  const std::shared_ptr<PressureHolder>& Holder() const { return holder_; }

  // Takes the unit's model and report size (Prepare) and starts the timer;
  // the first tick comes at once. False when started already or no thread
  // can be made.
  bool Start();
  // Takes the unit's model and report size, and restarts the slow-block
  // clock, without starting the timer. The slow block is read at most once
  // a second, and at the next tick after a set command went to the unit.
  void Prepare();
  // Stops the timer and waits until no tick runs.
  void Stop();
  bool IsStarted() const { return started_; }
  // The timer period the unit's model asks for.
  std::int32_t PeriodMs() const { return fastUnit_ ? kFastPeriodMs : kPeriodMs; }
  bool BlockReads() const { return blockReads_; }

  // One tick: skipped while another runs; else one cycle when there are
  // listeners.
  static void TimerCallback(CMultiInterfaceSampleThread* worker);
  // One cycle; false after giving the unit up, else whether the last post
  // went through (true when nothing was posted).
  bool HandlePMK4xNewUnit();
  int Failures() const { return failures_; }

 private:
  bool ReadEach(PressureMultiMyographK4x& unit);
  bool ReadBlocks(PressureMultiMyographK4x& unit);

  InterfaceManager& manager_;
  std::shared_ptr<OS::MessageTarget> failureTarget_;
  std::vector<Listener> listeners_;
  PMK4xData3 record_;
  int failures_ = 0;
  std::uint32_t firstFailureTick_ = 0;
  ReopenSchedule reopen_;
  bool fastUnit_ = false;
  bool blockReads_ = false;
  bool started_ = false;
  std::uint32_t startTick_ = 0;
  std::uint32_t lastSlowTick_ = 0;
  std::uint32_t settingsSeen_ = 0;  // the unit's SettingsSent at the last slow block
  std::shared_ptr<PressureHolder> holder_ = std::make_shared<PressureHolder>();

  class Timer;
  std::unique_ptr<Timer> timer_;
};

// The flow meter's worker, a task on a thread of its own. Hold it by a
// shared pointer.
class CFlowSampleThread : public Threading::AsyncTask {
 public:
  // The time of a reading: the experiment clock.
  using Clock = std::function<std::uint32_t()>;

  CFlowSampleThread(InterfaceManager& manager, Clock clock);
  ~CFlowSampleThread() override;

  static constexpr int kFailureLimit = CInterfaceSampleThread::kFailureLimit;

  // Any time, also while running.
  void AddListener(Listener listener);
  void SetFailureTarget(std::shared_ptr<OS::MessageTarget> target);
  void SetPeriodFactor(int factor) { periodFactor_ = SamplingThread::ClampPeriodFactor(factor); }

  // Starts Run on a thread of its own and keeps its future; `self` is this
  // worker's own shared pointer, which the thread holds while it runs.
  void Start(const std::shared_ptr<CFlowSampleThread>& self);
  // Ends the loop and waits until Run has returned; a read in progress is
  // aborted. Nothing happens when it was not started.
  void Stop();
  // The loop: one reading per cycle while there are listeners and the meter
  // in use is connected; returns 0 when stopped.
  std::int32_t Run() override;

 private:
  // One reading of the meter in use, posted when it succeeded; the meter is
  // given up after kFailureLimit failed readings in a row. With lock_ held.
  void ReadOnce();

  InterfaceManager& manager_;
  Clock clock_;
  std::shared_ptr<OS::MessageTarget> failureTarget_;
  int failures_ = 0;
  ReopenSchedule reopen_;
  Utils::Sync::Event stopEvent_;
  OS::StopEvent portStop_;  // aborts the serial read
  std::mutex lock_;
  std::vector<Listener> listeners_;
  FMASL1600Data record_;
  std::atomic<int> periodFactor_{3};
  std::mutex futureMutex_;
  std::shared_ptr<Threading::TaskFuture> future_;
};

// The worker of one microscope.
class CMicroscopeThread : public SamplingThread {
 public:
  static constexpr std::int32_t kDefaultSetting = 100;
  static constexpr int kFailureLimit = CInterfaceSampleThread::kFailureLimit;

  explicit CMicroscopeThread(int index, InterfaceManager& manager);
  ~CMicroscopeThread() override;

  // Set before Start.
  void AddListener(Listener listener) { listeners_.push_back(std::move(listener)); }
  void SetFailureTarget(std::shared_ptr<OS::MessageTarget> target) { failureTarget_ = std::move(target); }
  void SetReadTemperature(bool read) { readTemperature_ = read; }

  // One cycle on the microscope: reads its temperature (when asked to) and
  // its setting, sets the setting to kDefaultSetting when it reads 0 in the
  // first cycle, and posts the reading. A reply that holds no number is a
  // failed reading: nothing is sent or posted, and after kFailureLimit in a
  // row the microscope is given up. Returns whether the last post went
  // through (true when nothing was posted). Tests call it directly.
  bool HandleMicroscope(Microscope& microscope, bool firstCycle);
  int Failures() const { return failures_; }

 protected:
  void Run() override;

 private:
  InterfaceManager& manager_;
  std::shared_ptr<OS::MessageTarget> failureTarget_;
  std::vector<Listener> listeners_;
  bool readTemperature_ = true;
  MicroscopeSample record_;
  int index_;
  int failures_ = 0;
  ReopenSchedule reopen_;
};

// The heat controller's worker.
class CHeatControllerThread : public SamplingThread {
 public:
  static constexpr int kFailureLimit = CInterfaceSampleThread::kFailureLimit;

  explicit CHeatControllerThread(InterfaceManager& manager);
  ~CHeatControllerThread() override;

  // A receiver of the readings (the heater pane, the frame's heat-controller
  // bar); added before Start.
  void AddListener(Listener listener) { listeners_.push_back(std::move(listener)); }
  void SetFailureTarget(std::shared_ptr<OS::MessageTarget> target) { failureTarget_ = std::move(target); }

  // One cycle: reads the controller and posts the reading; the failure
  // target is told (once) after kFailureLimit failed readings in a row.
  // Returns whether the reading was posted. Tests call it directly.
  bool HandleHeatController(HeatController& controller);
  int Failures() const { return failures_; }

 protected:
  void Run() override;

 private:
  InterfaceManager& manager_;
  std::shared_ptr<OS::MessageTarget> failureTarget_;
  std::vector<Listener> listeners_;
  HeatControllerSample record_;
  int failures_ = 0;
  ReopenSchedule reopen_;
};

// The text between the first and the second separator of a microscope reply
// that begins with `prefix`; empty when the reply does not begin so, a
// separator is missing or the first is the last character.
std::string_view MicroscopeReplyField(std::string_view reply, std::string_view prefix, char separator);

}  // namespace ORV
