#pragma once
// The main frame's side of a data collection: CollectionControl's host over
// the frame's record, clock, camera windows, sampling, ribbon and status
// bar, and the once-a-second status refresh. GUI thread.
#include <cstdint>
#include <functional>
#include <string>

#include "platform/ui/command_router.h"
#include "shell/collection_control.h"
#include "shell/frame/frame_services.h"

namespace ORV {

class CMainFrame;
namespace UI {
class StatusBarElement;
}

inline constexpr UI::CommandId ID_PAUSE_BUTTON = 41000;

class FrameCollection final : public CollectionHost {
 public:
  // `samplerSettings` gives the sampling's settings of the moment.
  FrameCollection(CMainFrame& frame, MainFrameServices& services, std::function<SamplerSettings()> samplerSettings);

  CollectionControl& Control() { return control_; }
  // The clock timer's status texts: wall clock, instrument time and, while
  // collecting, the elapsed time.
  void OnClockTimer();
  // The instrument's own clock as the multi-interface pane reads it with
  // each sample; `shown` false when the instrument does not show it.
  void SetInstrumentTime(bool shown, int hours, int minutes, int seconds);

  std::string Text(std::uint32_t id) override;
  bool AskYesNo(const std::string& text) override;
  SaveAnswer AskSaveChanges(const std::string& text) override;
  bool AskStop(const std::string& text) override;
  std::uint32_t CollectionState() override;
  void SetCollectionState(std::uint32_t state) override;
  bool Modified() override;
  bool SaveExperiment() override;
  bool BackupEnabled() override;
  int RecordCameraCount() override;
  std::string RecordCameraName(int camera) override;
  void SetStartTick(std::uint32_t tick) override;
  std::uint32_t StartTick() override;
  void SetStopTick(std::uint32_t tick) override;
  void ClearRecord() override;
  void StartRunningBackup() override;
  void ResetStores() override;
  void NotifyStarted(std::uint32_t startTick) override;
  void AddMarkerNow(const std::string& text, int camera) override;
  void ClockStop() override;
  void ClockStart() override;
  void ClockPause() override;
  std::uint32_t ClockNow() override;
  bool ClockRunning() override;
  int DetectedCameraCount() override;
  bool VideoRecordingEnabled() override;
  void EnableVideoRecording() override;
  bool IsVideoPlaying(int window) override;
  bool IsCapturing(int window) override;
  void ConnectCamera(int index, const std::string& name) override;
  void SetExperimentStartTime(int window, std::uint32_t tick) override;
  void StartRecording(int window) override;
  void StopRecording(int window) override;
  void ResetSampling() override;
  void ClearSheets() override;
  void SetDrawNoSaveData(bool on) override;
  bool LiveTrace() override;
  void SetLiveTrace(bool on) override;
  void RunBehindWaitDialog(std::function<int()> task) override;
  void RunOnUiThread(std::function<void()> call) override;
  void SetStartStopButton(const std::string& text, int image) override;
  void SetPauseButton(const std::string& text, int image) override;
  void SetStatusStart(const std::string& text, const std::string& toolTip) override;
  void MarkElapsedLabel(bool marked, bool redrawNow) override;
  void Relayout(int widthDelta) override;

 private:
  CameraWindow* Window(int index);
  UI::StatusBarElement* Label(const std::string& name);
  void SetRibbonButton(UI::CommandId id, const std::string& text, int image);

  CMainFrame& frame_;
  MainFrameServices& services_;
  std::function<SamplerSettings()> samplerSettings_;
  CollectionControl control_;
  bool instrumentTimeShown_ = false;
  int instrumentTime_[3] = {0, 0, 0};
};

}  // namespace ORV
