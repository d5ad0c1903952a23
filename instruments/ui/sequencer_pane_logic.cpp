#include "instruments/ui/sequencer_pane_logic.h"

#include <algorithm>
#include <filesystem>
#include <limits>

#include "core/base/configuration.h"
#include "core/experiment/experiment_data.h"
#include "instruments/interface_manager.h"
#include "instruments/sequencer.h"
#include "platform/os/folders.h"
#include "platform/os/number_text.h"
#include "platform/os/user_file.h"
#include "platform/ui/string_table.h"

namespace ORV {

namespace {

constexpr std::uint32_t kModelFast = 0x100001;
constexpr std::uint32_t kModelSinglePressure = 0x100008;
constexpr std::uint32_t kSingleInterface = 1, kMultiInterface = 8;
constexpr int kMinimumPulse = 40, kMaximumPulse = 600;

QString Text(const std::string& s) { return QString::fromStdString(s); }
QString Number(std::int32_t v) { return QString::number(v); }

// A field of the task dialog: empty for none (-1), else the number.
QString Field(std::int32_t v) { return v > -1 ? Number(v) : QString(); }

// A number field's value, -1 when it is empty; saturated to 32 bits.
std::int32_t FieldValue(const QString& text, std::int32_t empty) {
  if (text.trimmed().isEmpty()) return empty;
  const long long v = OS::LeadingInt(text.toStdString());
  return static_cast<std::int32_t>(
      std::clamp<long long>(v, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

// The folder of a path with its trailing separator.
std::string FolderOf(const std::string& path) {
  const std::string::size_type slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace

SequencerPaneLogic::SequencerPaneLogic(Sequencer& sequencer, ExperimentData& experiment, InterfaceManager* devices,
                                       Configuration& configuration)
    : sequencer_(sequencer), experiment_(experiment), devices_(devices), configuration_(configuration) {
  const std::uint32_t model = devices_ != nullptr ? devices_->MultiModelCode() : 0;
  pulseColumn_ = model == kModelFast;
  p2Column_ = devices_ != nullptr && model != kModelSinglePressure;
  columns_ = {Column::Task, Column::Time, Column::P1};
  if (p2Column_) columns_.push_back(Column::P2);
  columns_.push_back(Column::Temperature);
  if (pulseColumn_) columns_.push_back(Column::Pulse);
  columns_.push_back(Column::Wait);
  columns_.push_back(Column::Prompt);
}

QString SequencerPaneLogic::Title(Column column) {
  switch (column) {
    case Column::Task:
      return UI::LoadQString(UI::kTaskString);
    case Column::Time:
      return UI::LoadQString(UI::kTimeString);
    case Column::P1:
      return UI::LoadQString(UI::kP1String);
    case Column::P2:
      return UI::LoadQString(UI::kP2String);
    case Column::Temperature:
      return UI::LoadQString(UI::kTempString);
    case Column::Pulse:
      return QStringLiteral("Pulse");
    case Column::Wait:
      return UI::LoadQString(UI::kWaitString);
    case Column::Prompt:
      return UI::LoadQString(UI::kPromptString);
  }
  return {};
}

std::vector<int> SequencerPaneLogic::ColumnWidths(int width96) const {
  const int v = width96 + 121;
  int task = 250, value = 50, wait = 110, prompt = 200;
  if (v <= 360) {
    const int d = (360 - v) / 2;
    task -= d;
    value = 0;
    wait -= d;
    prompt = 0;
  } else if (v <= 560) {
    const int d = (560 - v) / 3;
    task -= d;
    value = 0;
    wait -= d;
    prompt -= d;
  } else if (v <= 760) {
    const int d = (760 - v) / 3;
    task -= d;
    wait -= d;
    prompt -= d;
  } else {
    const int d = (v - 760) / 3;
    task += d;
    wait += d;
    prompt += d;
  }
  std::vector<int> widths;
  for (Column c : columns_) {
    const int w = c == Column::Task ? task : c == Column::Wait ? wait : c == Column::Prompt ? prompt : value;
    widths.push_back(std::max(w, 0));
  }
  return widths;
}

int SequencerPaneLogic::TaskCount() const { return static_cast<int>(sequencer_.tasks.size()); }

QStringList SequencerPaneLogic::RowTexts(int index) const {
  const SequencerTask t = sequencer_.GetTask(index);
  QStringList texts;
  const auto value = [](std::int32_t v) { return v >= 0 ? Number(v) : QString(); };
  for (Column c : columns_) {
    switch (c) {
      case Column::Task:
        texts << Text(t.name);
        break;
      case Column::Time:
        texts << (t.duration < 0 ? QStringLiteral("Infinite") : Number(t.duration));
        break;
      case Column::P1:
        texts << value(t.p1);
        break;
      case Column::P2:
        texts << value(t.p2);
        break;
      case Column::Temperature:
        texts << value(t.temperature);
        break;
      case Column::Pulse:
        texts << (t.pulsation != 0 ? Number(t.pulseRate) : QString());
        break;
      case Column::Wait: {
        QStringList waits;
        if (t.waitP1 != 0) waits << QStringLiteral("P1");
        if (t.waitP2 != 0) waits << QStringLiteral("P2");
        if (t.waitTemperature != 0) waits << QStringLiteral("Temp.");
        texts << (waits.isEmpty() ? QStringLiteral("No") : waits.join(QStringLiteral(", ")));
        break;
      }
      case Column::Prompt:
        texts << (t.promptUser != 0 ? Text(t.prompt) : QStringLiteral("No"));
        break;
    }
  }
  return texts;
}

bool SequencerPaneLogic::TaskEnabled(int index) const { return sequencer_.GetTask(index).enabled != 0; }

bool SequencerPaneLogic::InterfaceConnected() const {
  return devices_ != nullptr && (devices_->IsConnected(kSingleInterface) || devices_->IsConnected(kMultiInterface));
}

std::vector<SequencerPaneLogic::MenuItem> SequencerPaneLogic::Menu(int selected, const SequencerZones* zones) const {
  if (zones == nullptr) return {};
  const bool running = Running();
  const bool empty = TaskCount() == 0;
  const bool one = selected >= 0 && selected < TaskCount();
  return {
      {QStringLiteral("Add task"), kAddTask, !running},
      {QStringLiteral("Edit task"), kEditTask, one && !running},
      {QStringLiteral("Delete task"), kDeleteTask, one && !running},
      {},
      {QStringLiteral("Load Sequence"), kLoadSequence, !running},
      {QStringLiteral("Save Sequence"), kSaveSequence, !empty},
      {QStringLiteral("Clear Sequence"), kClearSequence, !empty && !running},
      {running ? QStringLiteral("Stop Sequence") : QStringLiteral("Start Sequencer"), kStartStop,
       InterfaceConnected() && !empty && zones->ZoneCount() > 0},
      {QStringLiteral("Loop Sequence"), kToggleLoop, !empty, sequencer_.loop != 0},
  };
}

SequencerTask SequencerPaneLogic::NewTask() const {
  SequencerTask task;
  if (!sequencer_.tasks.empty()) {
    const SequencerTask& last = sequencer_.tasks.back();
    task.p1 = last.p1;
    task.p2 = last.p2;
    task.duration = last.duration;
    task.temperature = last.temperature;
    task.pulseRate = last.pulseRate;
    return task;
  }
  // The first task starts at the heater's target, when the unit has one.
  const float target = experiment_.Read([](const ExperimentContents& c) { return c.lastPressure.temperatureTarget; });
  if (target > 0.0f && target < static_cast<float>(std::numeric_limits<std::int32_t>::max()))
    task.temperature = static_cast<std::int32_t>(target);
  return task;
}

void SequencerPaneLogic::Modified() { sequencer_.sequenceModified = 1; }

void SequencerPaneLogic::AddTask(const SequencerTask& task) {
  SequencerTask added = task;
  added.enabled = 1;
  sequencer_.tasks.push_back(std::move(added));
  Modified();
}

std::optional<SequencerTask> SequencerPaneLogic::TaskToEdit(int index) const {
  if (index < 0 || index >= TaskCount()) return std::nullopt;
  return sequencer_.tasks[static_cast<std::size_t>(index)];
}

void SequencerPaneLogic::ReplaceTask(int index, const SequencerTask& task) {
  if (index < 0 || index >= TaskCount()) return;
  SequencerTask& stored = sequencer_.tasks[static_cast<std::size_t>(index)];
  const std::uint8_t enabled = stored.enabled;
  stored = task;
  stored.enabled = enabled;
  Modified();
}

void SequencerPaneLogic::DeleteTask(int index) {
  if (index < 0 || index >= TaskCount()) return;
  sequencer_.tasks.erase(sequencer_.tasks.begin() + index);
  Modified();
}

void SequencerPaneLogic::ClearSequence() { sequencer_.ClearTasks(); }

void SequencerPaneLogic::SetTaskEnabled(int index, bool enabled) {
  if (index < 0 || index >= TaskCount()) return;
  sequencer_.tasks[static_cast<std::size_t>(index)].enabled = enabled ? 1 : 0;
}

std::string SequencerPaneLogic::InitialFolder() const {
  const std::string& folder = configuration_.LastUsedSequenceFilePath;
  return !folder.empty() && OS::IsDirectory(folder) ? folder : std::string();
}

bool SequencerPaneLogic::Load(const std::string& path) {
  loadProblem_ = {};
  if (const OS::FileCheck check = OS::CheckUserFile(path, Sequencer::kMaxFileBytes);
      check.problem != OS::FileProblem::None) {
    loadProblem_ = UI::FileReasonOf(check, Sequencer::kMaxFileBytes);
    return false;
  }
  if (!sequencer_.LoadSequence(path)) {
    loadProblem_ = {UI::kFileReasonDamagedSequenceString, {}};
    return false;
  }
  configuration_.LastUsedSequenceFilePath = FolderOf(path);
  return true;
}

std::string SequencerPaneLogic::LoadProblemText(const std::string& path) const {
  return UI::FileMessageText(UI::kSequenceCannotLoadNamedString, path, loadProblem_);
}

std::string SequencerPaneLogic::SequencePath(const std::string& chosen) {
  if (chosen.find(".seq") != std::string::npos || chosen.find(".Seq") != std::string::npos) return chosen;
  return chosen + ".seq";
}

bool SequencerPaneLogic::Save(const std::string& chosen) {
  if (chosen.empty()) return false;
  const std::string path = SequencePath(chosen);
  if (!sequencer_.SaveSequence(path)) return false;
  configuration_.LastUsedSequenceFilePath = FolderOf(path);
  configuration_.LastOpenedSequenceFile = path;
  return true;
}

bool SequencerPaneLogic::Running() const { return sequencer_.running != 0; }
bool SequencerPaneLogic::Paused() const { return sequencer_.paused != 0; }

void SequencerPaneLogic::StartStop() {
  if (Running())
    sequencer_.StopSequencer();
  else
    sequencer_.StartSequencer();
}

void SequencerPaneLogic::PauseContinue() {
  if (!Running()) return;
  if (Paused())
    sequencer_.ContinueSequencer();
  else
    sequencer_.PauseSequencer();
}

void SequencerPaneLogic::ToggleLoop() { sequencer_.ToggleLoop(); }

QString SequencerPaneLogic::StartStopText() const {
  return Running() ? QStringLiteral("Stop") : QStringLiteral("Start");
}

QString SequencerPaneLogic::PauseText() const {
  return Paused() ? QStringLiteral("Continue") : QStringLiteral("Pause");
}

int SequencerPaneLogic::RunningTask() const {
  return Running() && sequencer_.currentTask >= 0 && sequencer_.currentTask < TaskCount() ? sequencer_.currentTask : -1;
}

QString SequencerPaneLogic::ProgressText() const {
  const int task = RunningTask();
  if (task >= 0) {
    QString text = QStringLiteral("Task %1 of %2: %3")
                       .arg(task + 1)
                       .arg(TaskCount())
                       .arg(Text(sequencer_.tasks[static_cast<std::size_t>(task)].name));
    if (Paused()) text += QStringLiteral(" (paused)");
    return text;
  }
  if (Running()) return QString();
  return sequencer_.progressBar != nullptr ? Text(sequencer_.progressBar->statusText)
                                           : UI::LoadQString(UI::kSequencerStartedString);
}

int SequencerPaneLogic::ProgressPercent() const {
  if (RunningTask() < 0 || sequencer_.progressBar == nullptr) return 0;
  return std::clamp(sequencer_.progressBar->position, 0, 100);
}

TaskDialogLogic::TaskDialogLogic(const SequencerTask& task, bool p2Row, bool pulsation, bool editMode)
    : task_(task), p2Row_(p2Row), pulsation_(pulsation), editMode_(editMode) {}

QString TaskDialogLogic::Caption() const {
  return editMode_ ? QStringLiteral("Edit task") : QStringLiteral("Add task");
}

TaskDialogLogic::Fields TaskDialogLogic::Initial() const {
  Fields f;
  f.description = Text(task_.name);
  f.duration = Field(task_.duration);
  f.p1 = Field(task_.p1);
  f.p2 = p2Row_ ? Field(task_.p2) : QString();
  f.temperature = Field(task_.temperature);
  if (task_.pulseRate >= kMinimumPulse && task_.pulseRate <= kMaximumPulse) f.pulseRate = Number(task_.pulseRate);
  f.prompt = Text(task_.prompt);
  f.showMarker = task_.showMarker != 0;
  f.waitP1 = task_.waitP1 != 0;
  f.waitP2 = task_.waitP2 != 0;
  f.waitTemperature = task_.waitTemperature != 0;
  f.pulsation = task_.pulsation != 0;
  f.promptUser = task_.promptUser != 0;
  return f;
}

TaskDialogLogic::Outcome TaskDialogLogic::Accept(const Fields& f) {
  // An empty field counts as 0 here. Without the P2 row there is no P2.
  const std::int32_t p1 = FieldValue(f.p1, 0);
  const std::int32_t p2 = p2Row_ ? FieldValue(f.p2, 0) : 0;
  if (p2 > p1) return Outcome::P2AboveP1;
  task_.name = f.description.toStdString();
  task_.prompt = f.prompt.toStdString();
  task_.duration = FieldValue(f.duration, -1);
  task_.p1 = FieldValue(f.p1, -1);
  task_.p2 = p2Row_ ? FieldValue(f.p2, -1) : -1;
  task_.temperature = FieldValue(f.temperature, -1);
  if (!f.pulseRate.isEmpty()) task_.pulseRate = FieldValue(f.pulseRate, 0);
  task_.waitP1 = f.waitP1 ? 1 : 0;
  task_.waitP2 = p2Row_ && f.waitP2 ? 1 : 0;
  task_.waitTemperature = f.waitTemperature ? 1 : 0;
  task_.promptUser = f.promptUser ? 1 : 0;
  task_.showMarker = f.showMarker ? 1 : 0;
  task_.pulsation = f.pulsation ? 1 : 0;
  return Outcome::Accepted;
}

}  // namespace ORV
