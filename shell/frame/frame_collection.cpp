#include "shell/frame/frame_collection.h"

#include <ctime>

#include "core/base/configuration.h"
#include "core/base/event_log.h"
#include "core/experiment/experiment_data.h"
#include "core/storage/relative_time.h"
#include "core/threading/task.h"
#include "platform/ui/message_box.h"
#include "platform/ui/ribbon_bar.h"
#include "platform/ui/ribbon_status_bar.h"
#include "platform/ui/string_table.h"
#include "platform/ui/ui_thread.h"
#include "platform/ui/wait_for_event_dialog.h"
#include "shell/app/small_dialogs.h"
#include "shell/frame/main_frame.h"
#include "shell/frame/status_elements.h"

namespace ORV {

FrameCollection::FrameCollection(CMainFrame& frame, MainFrameServices& services,
                                 std::function<SamplerSettings()> samplerSettings)
    : frame_(frame), services_(services), samplerSettings_(std::move(samplerSettings)), control_(*this) {}

void FrameCollection::OnClockTimer() {
  char clock[128];
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  const bool formatted = localtime_r(&now, &local) && std::strftime(clock, sizeof clock, "%H:%M:%S", &local) > 0;
  if (UI::StatusBarElement* label = Label("Clock")) {
    label->SetText(formatted ? clock : "");
    label->Redraw();
  }
  if (UI::StatusBarElement* label = Label("Instrument time")) {
    label->SetText(
        InstrumentTimeText(instrumentTimeShown_, instrumentTime_[0], instrumentTime_[1], instrumentTime_[2]));
    label->Redraw();
  }
  if (CollectionState() == kCollecting) {
    if (UI::StatusBarElement* label = Label("Elapsed time")) {
      label->SetText(ElapsedTimeText(ClockNow(), StartTick()));
      label->Redraw();
    }
  }
}

void FrameCollection::SetInstrumentTime(bool shown, int hours, int minutes, int seconds) {
  instrumentTimeShown_ = shown;
  instrumentTime_[0] = hours;
  instrumentTime_[1] = minutes;
  instrumentTime_[2] = seconds;
}

std::string FrameCollection::Text(std::uint32_t id) { return UI::LoadString(id); }

bool FrameCollection::AskYesNo(const std::string& text) {
  return UI::MessageBox(&frame_, QString::fromStdString(text), UI::ApplicationTitle(),
                        UI::MB_YESNO | UI::MB_ICONQUESTION) == UI::IDYES;
}

SaveAnswer FrameCollection::AskSaveChanges(const std::string& text) {
  return Shell::AskSaveChangesBox(&frame_, QString::fromStdString(text));
}

bool FrameCollection::AskStop(const std::string& text) {
  return UI::MessageBox(&frame_, QString::fromStdString(text), UI::ApplicationTitle(), UI::MB_YESNO) == UI::IDYES;
}

std::uint32_t FrameCollection::CollectionState() { return services_.experiment.mode; }
void FrameCollection::SetCollectionState(std::uint32_t state) { services_.experiment.mode = state; }
bool FrameCollection::Modified() { return services_.experiment.modified; }
bool FrameCollection::SaveExperiment() { return services_.host.SaveExperiment(); }
bool FrameCollection::BackupEnabled() { return services_.experiment.backupEnabled; }
int FrameCollection::RecordCameraCount() { return static_cast<int>(services_.experiment.CameraCount()); }

std::string FrameCollection::RecordCameraName(int camera) {
  return services_.experiment.Read([camera](const ExperimentContents& c) {
    return camera < static_cast<int>(c.cameraNames.size()) ? c.cameraNames[camera] : std::string();
  });
}

void FrameCollection::SetStartTick(std::uint32_t tick) { services_.experiment.startTick = tick; }
std::uint32_t FrameCollection::StartTick() { return services_.experiment.startTick; }
void FrameCollection::SetStopTick(std::uint32_t tick) { services_.experiment.stopTick = tick; }
void FrameCollection::ClearRecord() { services_.experiment.Clear(); }
void FrameCollection::StartRunningBackup() { services_.experiment.StartRunningBackup(); }
void FrameCollection::ResetStores() { services_.experiment.ResetStores(); }

void FrameCollection::NotifyStarted(std::uint32_t startTick) {
  services_.experiment.ForEachImageAnalysisConsumer(
      [startTick](ImageAnalysisConsumer& consumer) { consumer.OnExperimentStarted(startTick); });
}

void FrameCollection::AddMarkerNow(const std::string& text, int camera) {
  services_.experiment.AddMarkerNow(text, camera);
}

void FrameCollection::ClockStop() { services_.experiment.ExperimentClock().Stop(); }
void FrameCollection::ClockStart() { services_.experiment.ExperimentClock().Start(); }
void FrameCollection::ClockPause() { services_.experiment.ExperimentClock().Pause(); }
std::uint32_t FrameCollection::ClockNow() { return services_.experiment.ExperimentClock().Now(); }
bool FrameCollection::ClockRunning() { return services_.experiment.ExperimentClock().IsRunning(); }

int FrameCollection::DetectedCameraCount() { return frame_.CameraCount(); }
bool FrameCollection::VideoRecordingEnabled() { return frame_.RecordVideo(); }
// As the ribbon's Record Video does: the setting the frame reads.
void FrameCollection::EnableVideoRecording() { services_.configuration.VideoRecordingEnabled = true; }

CameraWindow* FrameCollection::Window(int index) {
  const std::vector<CameraWindow*>& windows = frame_.CameraWindows();
  if (index < 0 || index >= static_cast<int>(windows.size())) return nullptr;
  return windows[index]->HasControl() ? windows[index] : nullptr;
}

bool FrameCollection::IsVideoPlaying(int window) {
  CameraWindow* w = Window(window);
  return w && w->IsVideoPlaying();
}

bool FrameCollection::IsCapturing(int window) {
  // A window without an analysis control has nothing to start.
  CameraWindow* w = Window(window);
  return !w || w->IsCapturing();
}

void FrameCollection::ConnectCamera(int index, const std::string& name) { frame_.ConnectCamera(index, name); }

void FrameCollection::SetExperimentStartTime(int window, std::uint32_t tick) {
  if (CameraWindow* w = Window(window)) w->SetExperimentStartTime(tick);
}
void FrameCollection::StartRecording(int window) {
  if (CameraWindow* w = Window(window)) w->StartRecording();
}
void FrameCollection::StopRecording(int window) {
  if (CameraWindow* w = Window(window)) w->StopRecording();
}

void FrameCollection::ResetSampling() {
  if (!services_.sampling.ResetForCollection(samplerSettings_ ? samplerSettings_() : SamplerSettings{}))
    LogError("CMainFrame::OnStartStopDataCollection() - the synchronised sampling did not start again");
}

void FrameCollection::ClearSheets() { services_.host.ClearSheets(); }
void FrameCollection::SetDrawNoSaveData(bool on) { services_.host.SetDrawNoSaveData(on); }
bool FrameCollection::LiveTrace() { return services_.host.LiveTrace(); }
void FrameCollection::SetLiveTrace(bool on) { services_.host.SetLiveTrace(on); }

void FrameCollection::RunBehindWaitDialog(std::function<int()> task) {
  std::shared_ptr<Threading::TaskFuture> future = Threading::StartAsyncTask(std::move(task), 0);
  UI::CWaitForEvent dialog(&frame_);
  dialog.State().doneQuery = [future] { return future->IsFinished(); };
  if (!future->IsFinished()) dialog.DoModal();
  future->Wait();
}

void FrameCollection::RunOnUiThread(std::function<void()> call) { UI::RunOnUiThread(std::move(call)); }

void FrameCollection::SetRibbonButton(UI::CommandId id, const std::string& text, int image) {
  UI::RibbonBar* ribbon = frame_.Ribbon();
  UI::RibbonElement* button = ribbon ? ribbon->FindByID(id) : nullptr;
  if (!button || button->Kind() != UI::RibbonKind::Button) return;
  button->SetText(text);
  button->SetImageIndex(image);
  button->Redraw();
  ribbon->RecalcLayout();
}

void FrameCollection::SetStartStopButton(const std::string& text, int image) {
  SetRibbonButton(ID_START_STOP_BUTTON, text, image);
}

void FrameCollection::SetPauseButton(const std::string& text, int image) {
  SetRibbonButton(ID_PAUSE_BUTTON, text, image);
}

void FrameCollection::SetStatusStart(const std::string& text, const std::string& toolTip) {
  UI::RibbonStatusBar* bar = frame_.StatusBar();
  UI::StatusBarElement* start = bar ? bar->FindElement(ID_STATUS_START_BUTTON) : nullptr;
  if (!start) return;
  start->SetText(text);
  start->SetToolTipText(toolTip);
  start->Redraw();
}

UI::StatusBarElement* FrameCollection::Label(const std::string& name) {
  UI::RibbonStatusBar* bar = frame_.StatusBar();
  return bar ? bar->FindLabelled(name) : nullptr;
}

void FrameCollection::MarkElapsedLabel(bool marked, bool redrawNow) {
  UI::StatusBarElement* label = Label("Elapsed time");
  if (!label) return;
  label->SetChecked(marked);
  label->Redraw();
  if (redrawNow) frame_.StatusBar()->repaint();
}

void FrameCollection::Relayout(int widthDelta) {
  // The frame is laid out again at its size changed by a pixel: the panes
  // and the status bar take the new state.
  const QRect geometry = frame_.geometry();
  frame_.setGeometry(geometry.adjusted(0, 0, widthDelta, 0));
}

}  // namespace ORV
