// The sequencer engine: the operations that run the task list against the
// pressure interfaces, once a second from the status timer and
// from the sequencer pane's commands. Everything runs on the user-interface
// thread; the pauses between commands to the single pressure interface
// block it, as the unit needs them.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <thread>

#include "core/base/configuration.h"
#include "core/experiment/experiment_data.h"
#include "core/storage/relative_time.h"
#include "instruments/device.h"
#include "instruments/interface_manager.h"
#include "instruments/sequencer.h"

namespace ORV {

namespace {

using Multi = PressureMultiMyographK4x;

// The single pressure interface needs this long after each command.
constexpr std::uint32_t kCommandPauseMs = 1000;
constexpr std::int32_t kMinimumPulseRate = 40;
constexpr std::int32_t kMaximumPulseRate = 600;
// How close the measured values must come to a task's targets.
constexpr float kPressureTolerance = 1.0f;
constexpr float kTemperatureTolerance = 0.2f;

constexpr const char* kPromptCaption = "Sequencer prompt";
constexpr const char* kEndedText = "Sequencer ended";
constexpr const char* kPressureStarted = "Pressure started by Sequencer";
constexpr const char* kPressureFailed = "Pressure failed to start (Sequencer)";
constexpr const char* kReversedPressures = "Pressures not sent by Sequencer: P2 must not be a larger value than P1";

// Whether `value` lies in [low, high]; a value that is no number never does.
bool Within(float value, float low, float high) { return low <= value && value <= high; }

bool InRange(std::int32_t value, std::int32_t minimum, std::int32_t maximum) {
  return minimum <= value && value <= maximum;
}

// The text of a task's start, as its action and as its marker.
std::string TaskStartedText(const std::string& name) { return "Task started: " + name; }

}  // namespace

Sequencer::Sequencer(Configuration& configuration, ExperimentData& experiment, InterfaceManager& manager)
    : configuration_(configuration), experiment_(experiment), interfaceManager_(manager) {}

SequencerTask Sequencer::GetTask(int index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= tasks.size()) return SequencerTask{};
  return tasks[static_cast<std::size_t>(index)];
}

void Sequencer::ClearTasks() { tasks.clear(); }

InterfaceManager& Sequencer::Manager() { return interfaceManager_; }

void Sequencer::Sleep(std::uint32_t ms) {
  if (sleeper_)
    sleeper_(ms);
  else
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void Sequencer::ShowEnded() {
  if (progressBar == nullptr) return;
  progressBar->shown = 0;
  progressBar->statusText = kEndedText;
  progressBar->Redraw();
}

void Sequencer::EndSequence() {
  running = 0;
  paused = 0;
  pauseStartTime = 0;
  addedSeconds = 0;
  ShowEnded();
}

bool Sequencer::StartPressure() {
  InterfaceManager& manager = Manager();
  if (manager.IsConnected(kDeviceMultiInterface)) {
    return manager.MultiInterface().SetDigitalOutputs(Multi::kOutputUnchanged, Multi::kOutputUnchanged, 1, 0);
  }
  if (manager.IsConnected(kDeviceSinglePressureInterface)) {
    PressureMyographK4x& single = manager.SingleInterface();
    if (single.Port().IsOpen() && single.IsConnected()) return single.SetSwitch4(true);
  }
  return false;
}

void Sequencer::AddSequencerAction(const std::string& text) {
  if (ApplicationHooks* hooks = experiment_.Hooks()) hooks->AddAction(taskStartTime, text);
}

void Sequencer::ApplyTask(const SequencerTask& task) {
  InterfaceManager& manager = Manager();
  const Configuration& configuration = configuration_;
  const auto single = [&] { return manager.IsConnected(kDeviceSinglePressureInterface); };
  const auto multi = [&] { return manager.IsConnected(kDeviceMultiInterface); };

  // One sample serves the whole task: the pressure is started before each
  // target when this sample says it was off.
  const PMK4xData3 sample = experiment_.Read([](const ExperimentContents& c) { return c.lastPressure; });
  const bool pressureOn = sample.switch4 != 0;
  const bool heaterOn = sample.switch1 != 0;

  bool sendP1 = InRange(task.p1, configuration.MinimumPressure, configuration.MaximumPressure);
  bool sendP2 = InRange(task.p2, configuration.MinimumPressure, configuration.MaximumPressure);
  // An outlet pressure above the inlet pressure would reverse the flow
  // through the vessel; such a task (from an edited file) sets neither.
  if (sendP1 && sendP2 && task.p2 > task.p1) {
    AddSequencerAction(kReversedPressures);
    sendP1 = sendP2 = false;
  }
  const auto readTargets = [&] {
    float targetP1, targetP2, p3, gradient;
    manager.MultiInterface().GetTargets(targetP1, targetP2, p3, gradient);
  };
  // One pressure target: the pressure is started first when the sample said
  // it was off; the single interface gets the target at once (and the multi
  // interface too when both are there), then its pause.
  const auto sendTarget = [&](std::int32_t target, bool inlet) {
    if (!pressureOn) {
      AddSequencerAction(StartPressure() ? kPressureStarted : kPressureFailed);
      if (single()) Sleep(kCommandPauseMs);
    }
    if (!single()) return;
    if (multi()) {
      const float value = static_cast<float>(target);
      manager.MultiInterface().SetPressures(inlet ? value : Multi::kKeep, inlet ? Multi::kKeep : value, Multi::kKeep, 0,
                                            0, 0);
      readTargets();
    } else if (inlet) {
      manager.SingleInterface().SetTargetP1(target);
    } else {
      manager.SingleInterface().SetTargetP2(target);
    }
    Sleep(kCommandPauseMs);
  };
  float p1Value = Multi::kKeep;
  float p2Value = Multi::kKeep;
  if (sendP1) {
    sendTarget(task.p1, true);
    p1Value = static_cast<float>(task.p1);
  }
  if (sendP2) {
    sendTarget(task.p2, false);
    p2Value = static_cast<float>(task.p2);
  }
  if (multi() && (p1Value != Multi::kKeep || p2Value != Multi::kKeep)) {
    manager.MultiInterface().SetPressures(p1Value, p2Value, Multi::kKeep, 0, 0, 0);
    readTargets();
  }

  if (InRange(task.temperature, configuration.MinimumTemperature, configuration.MaximumTemperature)) {
    const float temperature = static_cast<float>(task.temperature);
    if (multi()) {
      if (!heaterOn) manager.MultiInterface().SetDigitalOutputs(1, Multi::kOutputUnchanged, Multi::kOutputUnchanged, 0);
      manager.MultiInterface().SetTemperatures(temperature, Multi::kKeep, Multi::kKeep);
    } else if (single()) {
      if (!heaterOn) manager.SingleInterface().SetSwitch1(true);
      manager.SingleInterface().SetTemperature(temperature);
    }
    if (single()) Sleep(kCommandPauseMs);
  }

  if (pulsationAllowed != 0 && task.pulsation != 0 && InRange(task.pulseRate, kMinimumPulseRate, kMaximumPulseRate) &&
      multi()) {
    manager.MultiInterface().SetPressures(Multi::kKeep, Multi::kKeep, Multi::kKeep,
                                          static_cast<std::uint16_t>(task.pulseRate), 0, 1);
  }
}

bool Sequencer::StartNextTask() {
  InterfaceManager& manager = Manager();

  for (;;) {
    const std::int64_t count = static_cast<std::int64_t>(tasks.size());
    if (currentTask < std::numeric_limits<std::int32_t>::max()) ++currentTask;
    taskStartTime = experiment_.ExperimentClock().Now();
    if (currentTask < 0 || currentTask >= count) break;
    const SequencerTask task = tasks[static_cast<std::size_t>(currentTask)];

    const bool apply = task.enabled != 0 && (manager.IsConnected(kDeviceSinglePressureInterface) ||
                                             manager.IsConnected(kDeviceMultiInterface));
    // A task that puts a marker on the traces is told by the marker's own
    // action, so that each task start is one action.
    const bool marked = task.enabled != 0 && task.showMarker != 0;
    if (apply) ApplyTask(task);
    if (!apply)
      AddSequencerAction("Ignoring disabled Task '" + task.name + "'");
    else if (!marked)
      AddSequencerAction(TaskStartedText(task.name));

    if (progressBar != nullptr) {
      progressBar->shown = 1;
      progressBar->currentTask = currentTask;
      progressBar->taskCount =
          static_cast<std::int32_t>(std::min<std::int64_t>(count, std::numeric_limits<std::int32_t>::max()));
      progressBar->taskName = task.name;
      progressBar->position = 0;
      progressBar->Redraw();
    }
    if (task.enabled == 0) continue;
    if (marked) experiment_.AddMarkerNow(TaskStartedText(task.name), 0);
    return true;
  }

  // Past the last task.
  currentTask =
      static_cast<std::int32_t>(std::min<std::size_t>(tasks.size(), std::numeric_limits<std::int32_t>::max()));
  if (loop != 0) {
    currentTask = -1;  // the first task starts at the next tick
    return true;
  }
  EndSequence();
  return false;
}

void Sequencer::SequencerTick(bool& finished) {
  if (paused != 0 || promptOpen != 0) return;
  finished = false;
  if (running == 0 || progressBar == nullptr) return;

  const std::uint32_t now = experiment_.ExperimentClock().Now();
  const std::int64_t elapsed = (now - taskStartTime) / 1000u;
  const std::int64_t count = static_cast<std::int64_t>(tasks.size());
  const bool inList = currentTask >= 0 && currentTask < count;
  const SequencerTask task = GetTask(currentTask);
  const std::int64_t total = inList ? static_cast<std::int64_t>(task.duration) + addedSeconds : 0;

  // A task without a length (0, or -1 for none) has no progress to show.
  if (total > 0) {
    const long percent = std::lround(static_cast<float>(elapsed) / static_cast<float>(total) * 100.0f);
    if (percent >= 0 && percent <= 100) progressBar->position = static_cast<std::int32_t>(percent);
  }
  progressBar->Redraw();
  if (elapsed < total) return;

  if (inList && (task.waitP1 != 0 || task.waitP2 != 0 || task.waitTemperature != 0)) {
    const PMK4xData3 sample = experiment_.Read([](const ExperimentContents& c) { return c.lastPressure; });
    const auto near = [](float value, std::int32_t target) {
      return Within(value, static_cast<float>(target) - kPressureTolerance,
                    static_cast<float>(target) + kPressureTolerance);
    };
    if (task.waitP1 != 0 && !near(sample.p1, task.p1)) return;
    if (task.waitP2 != 0 && !near(sample.p2, task.p2)) return;
    if (task.waitTemperature != 0 &&
        !Within(static_cast<float>(task.temperature), sample.temperature - kTemperatureTolerance,
                sample.temperature + kTemperatureTolerance)) {
      return;
    }
  }

  pauseStartTime = 0;
  addedSeconds = 0;

  if (inList && task.promptUser != 0) {
    // The box runs its own event loop: ticks return meanwhile, and when the
    // user stopped (or stopped and started again) while it was open, this
    // step belongs to a run that is over and goes no further.
    const std::uint64_t run = runNumber_;
    paused = 1;
    promptOpen = 1;
    if (ApplicationHooks* hooks = experiment_.Hooks()) hooks->ShowInformation(kPromptCaption, task.prompt);
    promptOpen = 0;
    paused = 0;
    if (running == 0 || run != runNumber_) return;
  }

  const std::int64_t size = static_cast<std::int64_t>(tasks.size());
  if (static_cast<std::int64_t>(currentTask) + 1 == size && loop == 0) {
    finished = true;
    EndSequence();
    return;
  }
  if (loop != 0 && static_cast<std::int64_t>(currentTask) + 1 == size) currentTask = -1;
  finished = !StartNextTask();
}

bool Sequencer::StartSequencer() {
  if (running != 0) return false;
  ++runNumber_;
  pulsationAllowed = Manager().MultiModelCode() == Multi::kModelFast ? 1 : 0;
  currentTask = -1;
  running = 1;
  paused = 0;
  return StartNextTask();
}

void Sequencer::StopSequencer() {
  if (running == 0) return;
  ++runNumber_;
  EndSequence();
}

void Sequencer::PauseSequencer() {
  if (paused != 0) return;
  paused = 1;
  pauseStartTime = experiment_.ExperimentClock().Now();
}

void Sequencer::ContinueSequencer() {
  if (pauseStartTime != 0) {
    const std::uint32_t pausedMs = experiment_.ExperimentClock().Now() - pauseStartTime;
    const auto seconds = static_cast<std::uint32_t>(static_cast<float>(pausedMs) / 1000.0f);
    addedSeconds = seconds > std::numeric_limits<std::uint32_t>::max() - addedSeconds
                       ? std::numeric_limits<std::uint32_t>::max()
                       : addedSeconds + seconds;
  }
  pauseStartTime = 0;
  paused = 0;
}

void Sequencer::ToggleLoop() { loop = loop != 0 ? 0 : 1; }

void Sequencer::LoadLastSequence() { LoadSequence(configuration_.LastOpenedSequenceFile); }

}  // namespace ORV
