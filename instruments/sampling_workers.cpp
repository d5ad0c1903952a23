#include "instruments/sampling_workers.h"

#include <algorithm>
#include <optional>
#include <string>

#include "core/base/event_log.h"
#include "platform/os/event_log_backend.h"
#include "platform/os/number_text.h"
#include "platform/os/tick_source.h"

namespace ORV {

namespace {

using Milliseconds = std::chrono::milliseconds;
using DeviceGuard = std::lock_guard<std::recursive_mutex>;

// Opens a device its worker gave up again, when the schedule says so and no
// one else has opened it meanwhile. It must answer too: a load alone does
// not ask every device something.
void TryReopen(Device& device, ReopenSchedule& schedule) {
  const std::uint32_t now = OS::GetTickCount();
  if (!schedule.Due(now)) return;
  DeviceGuard guard(device.Lock());
  if (device.IsConnected() || (device.Load(schedule.Port()) && device.Ping())) {
    schedule.Stop();
  } else {
    // A load that failed leaves the port closed for the next try.
    device.Close();
    schedule.Missed(now);
  }
}

}  // namespace

// ---- opening a given-up device again ----

void ReopenSchedule::Start(std::string port, std::uint32_t nowMs) {
  port_ = std::move(port);
  active_ = true;
  since_ = nowMs;
  interval_ = kFirstMs;
}

void ReopenSchedule::Missed(std::uint32_t nowMs) {
  since_ = nowMs;
  interval_ = std::min(interval_ * 2, kLongestMs);
}

// ---- the polling loop ----

SamplingThread::~SamplingThread() { Stop(); }

bool SamplingThread::Start() {
  if (thread_.joinable()) return false;
  running_.store(true);
  try {
    thread_ = std::thread([this] { Run(); });
  } catch (const std::system_error&) {
    running_.store(false);
    return false;
  }
  return true;
}

void SamplingThread::ExitInstance() {
  {
    std::lock_guard lock(mutex_);
    running_.store(false);
  }
  wake_.notify_all();
}

void SamplingThread::Stop() {
  ExitInstance();
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

bool SamplingThread::Pause(Milliseconds ms) {
  std::unique_lock lock(mutex_);
  wake_.wait_for(lock, ms, [this] { return !running_.load(); });
  return running_.load();
}

// ---- the single pressure interface ----

CInterfaceSampleThread::CInterfaceSampleThread(InterfaceManager& manager) : manager_(manager) {}

CInterfaceSampleThread::~CInterfaceSampleThread() { Stop(); }

void CInterfaceSampleThread::Run() {
  PressureMyographK4x& unit = manager_.SingleInterface();
  Loop(Milliseconds(10), [&] {
    if (listeners_.empty()) return;
    if (unit.IsConnected()) {
      HandlePMK4xNewUnit();
    } else {
      TryReopen(unit, reopen_);
    }
  });
}

bool CInterfaceSampleThread::HandlePMK4xNewUnit() {
  PressureMyographK4x& unit = manager_.SingleInterface();
  DeviceGuard guard(unit.Lock());
  if (failures_ >= kFailureLimit) {
    const bool posted =
        failureTarget_ && failureTarget_->PostMessage(WM_DEVICE_FAILED, kDeviceSinglePressureInterface, 0);
    reopen_.Start(unit.PortName(), OS::GetTickCount());
    unit.Close();
    LogErrorFormat(
        "CInterfaceSampleThread::HandlePMK4xNewUnit() - Reading from device has failed %d times - "
        "closing Multi Interface",
        failures_);
    failures_ = 0;
    return posted;
  }
  if (listeners_.empty()) return true;

  float p1 = 0, p2 = 0, force = 0, pH = 0, temperature = 0;
  if (!unit.GetValues(p1, p2, force, pH, temperature)) {
    ++failures_;
    return true;
  }
  // The fields this unit does not report keep what the holder had.
  PMK4xData3 record = holder_->Current();
  record.p1 = p1;
  record.p2 = p2;
  record.force = force;
  record.pH = pH;
  record.temperature = temperature;
  record.flow = 0;

  // One further query per cycle, by turn; the seventh cycle asks nothing.
  // After a set command every one is asked at once, so the reading carries
  // the new target or switch rather than the old one for up to seven cycles.
  const std::uint32_t settings = unit.SettingsSent();
  if (settings != settingsSeen_) {
    settingsSeen_ = settings;
    for (int turn = 0; turn < kSettingTurns; ++turn) ReadSetting(unit, record, turn);
  } else {
    ReadSetting(unit, record, cycle_);
  }
  cycle_ = cycle_ >= kSettingTurns ? 0 : cycle_ + 1;

  holder_->Put(record);
  bool posted = true;
  for (const Listener& listener : listeners_)
    posted = listener && listener->Post(WM_NEW_SAMPLE, kDeviceSinglePressureInterface, 0);
  failures_ = 0;
  return posted;
}

void CInterfaceSampleThread::ReadSetting(PressureMyographK4x& unit, PMK4xData3& record, int turn) {
  switch (turn) {
    case 0:
      record.temperatureTarget = unit.GetValue(PressureMyographK4x::kTemperatureTarget);
      break;
    case 1:
      record.switch1 = unit.GetFlag(PressureMyographK4x::kSwitch1) ? 1 : 0;
      break;
    case 2:
      record.switch4 = unit.GetFlag(PressureMyographK4x::kSwitch4) ? 1 : 0;
      break;
    case 3:
      record.targetP2 = unit.GetValue(PressureMyographK4x::kTargetP2);
      break;
    case 4:
      record.targetP1 = unit.GetValue(PressureMyographK4x::kTargetP1);
      break;
    case 5:
      record.flowValid = unit.GetFlowValid() ? 1 : 0;
      break;
    default:
      break;
  }
}

// ---- the multi interface ----

// Calls the tick every period on a thread of its own, the first at once.
// Deadlines are absolute, so the period holds over time; deadlines that
// passed while a tick ran are dropped, so ticks never pile up.
class CMultiInterfaceSampleThread::Timer {
 public:
  Timer(Milliseconds period, std::function<void()> tick) : period_(period), tick_(std::move(tick)) {
    thread_ = std::thread([this] { Loop(); });
  }
  ~Timer() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }

 private:
  void Loop() {
    using Clock = std::chrono::steady_clock;
    Clock::time_point next = Clock::now();
    for (;;) {
      {
        std::unique_lock lock(mutex_);
        if (wake_.wait_until(lock, next, [this] { return stopping_; })) return;
      }
      tick_();
      next += period_;
      const Clock::time_point now = Clock::now();
      while (next <= now) next += period_;
    }
  }

  const Milliseconds period_;
  const std::function<void()> tick_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  std::thread thread_;
};

namespace {
// Keeps ticks of every multi worker apart.
std::atomic<bool> multiTickBusy{false};
}  // namespace

CMultiInterfaceSampleThread::CMultiInterfaceSampleThread(InterfaceManager& manager) : manager_(manager) {}

CMultiInterfaceSampleThread::~CMultiInterfaceSampleThread() { Stop(); }

void CMultiInterfaceSampleThread::Prepare() {
  PressureMultiMyographK4x& unit = manager_.MultiInterface();
  fastUnit_ = unit.ModelCode() == PressureMultiMyographK4x::kModelFast;
  blockReads_ = unit.Has64ByteReports();
  lastSlowTick_ = 0;
  settingsSeen_ = unit.SettingsSent();
  startTick_ = OS::GetTickCount();
}

bool CMultiInterfaceSampleThread::Start() {
  if (started_) return false;
  Prepare();
  try {
    timer_ = std::make_unique<Timer>(Milliseconds(PeriodMs()), [this] { TimerCallback(this); });
  } catch (const std::system_error&) {
    return false;
  }
  started_ = true;
  return true;
}

void CMultiInterfaceSampleThread::Stop() {
  timer_.reset();  // waits for a tick that runs
  started_ = false;
}

void CMultiInterfaceSampleThread::TimerCallback(CMultiInterfaceSampleThread* worker) {
  if (multiTickBusy.exchange(true)) return;
  if (worker != nullptr && !worker->listeners_.empty()) worker->HandlePMK4xNewUnit();
  multiTickBusy.store(false);
}

bool CMultiInterfaceSampleThread::HandlePMK4xNewUnit() {
  PressureMultiMyographK4x& unit = manager_.MultiInterface();
  DeviceGuard guard(unit.Lock());
  const bool failingTooLong = failures_ >= 2 && OS::GetTickCount() - firstFailureTick_ >= kFailingLimitMs;
  if (failures_ > kFailureLimit || failingTooLong) {
    if (failureTarget_) failureTarget_->PostMessage(WM_DEVICE_FAILED, kDeviceMultiInterface, 0);
    reopen_.Start(unit.PortName(), OS::GetTickCount());
    unit.Close();
    LogErrorFormat(
        "CHardwareThread::HandlePMK4xNewUnit() - Reading from device has failed %d times - "
        "closing new Multi Interface",
        failures_);
    failures_ = 0;
    return false;
  }
  if (listeners_.empty()) return true;
  if (!unit.IsConnected()) {
    TryReopen(unit, reopen_);
    return true;
  }
  if (!(blockReads_ ? ReadBlocks(unit) : ReadEach(unit))) {
    if (failures_++ == 0) firstFailureTick_ = OS::GetTickCount();
    return true;
  }

  holder_->Put(record_);
  const bool posted = PostToAll(listeners_, kDeviceMultiInterface, record_);
  failures_ = 0;
  return posted;
}

// The 19-byte unit: one request per group of values.
bool CMultiInterfaceSampleThread::ReadEach(PressureMultiMyographK4x& unit) {
  float force = 0, force2 = 0;
  if (unit.GetForce(force, force2)) {
    record_.force = force;
    float pH = 0, flow = 0;
    if (!unit.GetPhAndFlow(pH, flow)) return false;
    record_.pH = pH;
    record_.flow = flow;
  }
  float p1 = 0, p2 = 0, p3 = 0, fourth = 0;
  if (!unit.GetPressures(p1, p2, p3, fourth)) return false;
  record_.p1 = p1;
  record_.p2 = p2;
  record_.gradient = fourth;

  PressureMultiMyographK4x::Temperatures temperatures{};
  if (!unit.GetTemperatures(temperatures)) return false;
  record_.temperature = temperatures[0];
  record_.temperatureTarget = temperatures[3];

  if (!unit.GetTargets(p1, p2, p3, fourth)) return false;
  record_.targetP1 = p1;
  record_.targetP2 = p2;
  record_.gradient = fourth;

  PressureMultiMyographK4x::DigitalStates states{};
  if (!unit.GetDigitalStates(states)) return false;
  record_.switch1 = states[0];
  record_.flowValid = states[1];
  record_.digital3 = states[2];
  record_.switch4 = states[3];
  record_.digital5 = states[4];
  record_.digital6 = states[5];
  return true;
}

// The 64-byte unit: the fast block every tick, the slow block (targets,
// settings and states) at most once a second; between slow blocks those
// fields keep their values.
bool CMultiInterfaceSampleThread::ReadBlocks(PressureMultiMyographK4x& unit) {
  PressureMultiMyographK4x::FastBlock fast;
  if (!unit.GetFastBlock(fast)) return false;
  record_.p1 = fast.p1;
  record_.p2 = fast.p2;
  record_.pH = fast.pH;
  record_.flow = fast.flow;
  record_.temperature = fast.temperature1;
  record_.force = fast.force;
  if (fast.extendedPresent) record_.extended = fast.extended;

  // A set command since the last slow block: the settings are read at once,
  // so the reading after a command carries the new targets.
  const std::uint32_t now = OS::GetTickCount();
  const std::uint32_t settings = unit.SettingsSent();
  if (settings == settingsSeen_ && now - lastSlowTick_ <= kSlowBlockIntervalMs) return true;
  lastSlowTick_ = now;
  PressureMultiMyographK4x::SlowBlock slow;
  if (!unit.GetSlowBlock(slow)) return false;
  settingsSeen_ = settings;
  record_.targetP1 = slow.targetP1;
  record_.targetP2 = slow.targetP2;
  record_.gradient = slow.gradient;
  record_.temperatureTarget = slow.temperature4;
  record_.pulseRate = slow.pulseRate;
  record_.dutyRate = slow.dutyRate;
  record_.switch1 = slow.states[0];
  record_.flowValid = slow.states[1];
  record_.digital3 = slow.states[2];
  record_.switch4 = slow.states[3];
  record_.digital5 = slow.states[4];
  record_.digital6 = slow.states[5];
  record_.digital8 = slow.states[7];
  return true;
}

// ---- the flow meter ----

CFlowSampleThread::CFlowSampleThread(InterfaceManager& manager, Clock clock)
    : manager_(manager), clock_(std::move(clock)) {}

CFlowSampleThread::~CFlowSampleThread() = default;

void CFlowSampleThread::AddListener(Listener listener) {
  std::lock_guard lock(lock_);
  listeners_.push_back(std::move(listener));
}

void CFlowSampleThread::Start(const std::shared_ptr<CFlowSampleThread>& self) {
  if (self.get() != this) return;
  Stop();
  stopEvent_.Reset();
  portStop_.Reset();
  std::shared_ptr<Threading::TaskFuture> future = Threading::AsyncTask::Start();
  std::lock_guard lock(futureMutex_);
  future_ = std::move(future);
}

void CFlowSampleThread::Stop() {
  std::shared_ptr<Threading::TaskFuture> future;
  {
    std::lock_guard lock(futureMutex_);
    future.swap(future_);
  }
  if (!future) return;
  stopEvent_.Set();
  portStop_.Set();
  future->Wait();
}

void CFlowSampleThread::SetFailureTarget(std::shared_ptr<OS::MessageTarget> target) {
  std::lock_guard lock(lock_);
  failureTarget_ = std::move(target);
}

std::int32_t CFlowSampleThread::Run() {
  for (;;) {
    {
      std::lock_guard lock(lock_);
      if (!listeners_.empty()) ReadOnce();
    }
    if (stopEvent_.Wait(Milliseconds(periodFactor_.load() * 100))) return 0;
  }
}

void CFlowSampleThread::ReadOnce() {
  const bool binary = manager_.BinaryFlowMeterConnected();
  Device& meter =
      binary ? static_cast<Device&>(manager_.BinaryFlowMeter()) : static_cast<Device&>(manager_.AsciiFlowMeter());
  // The worker's stop aborts a read that waits; the port forgets the event
  // again before the lock is given up.
  DeviceGuard guard(meter.Lock());
  if (!meter.IsConnected()) {
    TryReopen(meter, reopen_);
    return;
  }
  record_.time = clock_();
  meter.Port().SetStopEvent(&portStop_);
  const std::optional<std::int16_t> flow =
      binary ? manager_.BinaryFlowMeter().GetSample() : manager_.AsciiFlowMeter().GetSample();
  meter.Port().SetStopEvent(nullptr);
  // A read cut short by the stop is no reading, and no failure either.
  if (stopEvent_.IsSet()) return;
  if (flow) {
    failures_ = 0;
    record_.flow = *flow;
    PostToAll(listeners_, kDeviceFlowMeter, record_);
    return;
  }
  if (++failures_ < kFailureLimit) return;
  reopen_.Start(meter.PortName(), OS::GetTickCount());
  meter.Close();
  LogErrorFormat("CFlowSampleThread::Run() - Reading from device has failed %d times - closing Flow Meter", failures_);
  failures_ = 0;
  if (failureTarget_) failureTarget_->PostMessage(WM_DEVICE_FAILED, kDeviceFlowMeter, 0);
}

// ---- the microscopes ----

std::string_view MicroscopeReplyField(std::string_view reply, std::string_view prefix, char separator) {
  if (!reply.starts_with(prefix)) return {};
  const std::size_t first = reply.find(separator);
  if (first == std::string_view::npos || first + 1 >= reply.size()) return {};
  const std::size_t second = reply.find(separator, first + 1);
  if (second == std::string_view::npos) return {};
  return reply.substr(first + 1, second - first - 1);
}

CMicroscopeThread::CMicroscopeThread(int index, InterfaceManager& manager) : manager_(manager), index_(index) {
  record_.microscope = static_cast<std::uint32_t>(index);
}

CMicroscopeThread::~CMicroscopeThread() { Stop(); }

void CMicroscopeThread::Run() {
  bool firstCycle = true;
  Loop(Milliseconds(100), [&] {
    // Held for the cycle: a reload may replace the slot's microscope meanwhile.
    const std::shared_ptr<Microscope> microscope = index_ >= 0 && index_ < manager_.MicroscopeCount()
                                                       ? manager_.HoldMicroscope(static_cast<std::size_t>(index_))
                                                       : nullptr;
    if (microscope == nullptr || listeners_.empty()) return;
    if (microscope->IsConnected()) {
      HandleMicroscope(*microscope, firstCycle);
      // The light is checked at the first reading that succeeds.
      if (failures_ == 0) firstCycle = false;
    } else {
      TryReopen(*microscope, reopen_);
    }
  });
}

bool CMicroscopeThread::HandleMicroscope(Microscope& microscope, bool firstCycle) {
  DeviceGuard guard(microscope.Lock());
  // The number between the first two separators of the reply to `command`;
  // nothing when the query fails or the reply holds no number there.
  auto read = [&](std::string_view command, std::string_view head) -> std::optional<std::string> {
    std::string reply;
    if (!microscope.Port().IsOpen() || !microscope.Query(reply, command)) return std::nullopt;
    const std::string_view field = MicroscopeReplyField(reply, head, microscope.Separator());
    if (field.empty()) return std::nullopt;
    return std::string(field);
  };
  std::optional<double> temperature;
  if (readTemperature_) {
    if (const auto field = read("?41", ">41;")) temperature = OS::ParseDouble(*field);
  }
  std::optional<long long> setting;
  if (!readTemperature_ || temperature) {
    if (const auto field = read("?4i", ">4i;")) setting = OS::ParseInt(*field);
  }
  if (!setting) {
    if (++failures_ < kFailureLimit) return true;
    reopen_.Start(microscope.PortName(), OS::GetTickCount());
    microscope.Close();
    LogErrorFormat(
        "CMicroscopeThread::HandleMicroscope() - Reading from device has failed %d times - "
        "closing Microscope %d",
        failures_, index_);
    failures_ = 0;
    return failureTarget_ && failureTarget_->PostMessage(WM_DEVICE_FAILED, kDeviceMicroscope, index_);
  }
  failures_ = 0;
  if (temperature) record_.temperature = static_cast<float>(*temperature);
  record_.setting = static_cast<std::int32_t>(*setting);
  if (firstCycle && record_.setting == 0) microscope.SetValue(kDefaultSetting);
  return PostToAll(listeners_, kDeviceMicroscope, record_);
}

// ---- the heat controller ----

CHeatControllerThread::CHeatControllerThread(InterfaceManager& manager) : manager_(manager) {}

CHeatControllerThread::~CHeatControllerThread() { Stop(); }

void CHeatControllerThread::Run() {
  HeatController& controller = manager_.HeatControllerDevice();
  Loop(Milliseconds(600), [&] {
    if (listeners_.empty()) return;
    if (controller.IsConnected()) {
      HandleHeatController(controller);
      return;
    }
    // Closed by a reload that did not find it: it finds its own port.
    if (!reopen_.Active()) reopen_.Start({}, OS::GetTickCount());
    TryReopen(controller, reopen_);
  });
}

bool CHeatControllerThread::HandleHeatController(HeatController& controller) {
  if (controller.ReadCurrent(record_)) {
    failures_ = 0;
    return PostToAll(listeners_, kDeviceHeatController, record_);
  }
  // Told once, at the limit; the controller stays open and is read on.
  if (++failures_ == kFailureLimit) {
    LogErrorFormat("CHeatControllerThread::Run() - Reading from device has failed %d times", failures_);
    if (failureTarget_) failureTarget_->PostMessage(WM_DEVICE_FAILED, kDeviceHeatController, 0);
  }
  return false;
}

}  // namespace ORV
