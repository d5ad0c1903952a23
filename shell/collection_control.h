#pragma once
// Start, stop, pause and resume of a data collection, the texts of the frame's
// once-a-second status refresh, and the function-key markers.
//
// The order of the steps is this class's; everything they touch (the
// experiment record and its clock, the camera windows, the sampling, the
// sheets and views, the questions, the ribbon and status bar, the worker and
// the wait dialog) comes through CollectionHost, which the main frame
// implements on the program and tests on fakes. No Qt.
//
// Threads: everything runs on the user-interface thread except the stop
// task, which the host runs on a worker while it shows its wait dialog. The
// camera windows' recording is stopped from that task through
// CollectionHost::RunOnUiThread, on the thread that owns the windows, before
// the buttons change.
#include <cstdint>
#include <functional>
#include <string>

#include "shell/save_answer.h"

namespace ORV {

// Ribbon image indices of the two buttons.
inline constexpr int kImageStart = 28;
inline constexpr int kImagePause = 29;
inline constexpr int kImageStop = 30;
inline constexpr int kImageResume = 31;

// The record's collection states.
inline constexpr std::uint32_t kCollecting = 0;
inline constexpr std::uint32_t kShowingFile = 1;
inline constexpr std::uint32_t kLiveIdle = 2;

class CollectionHost {
 public:
  virtual ~CollectionHost() = default;

  // ---- texts and questions ----
  virtual std::string Text(std::uint32_t id) = 0;
  // Yes/No with the question icon; true for Yes.
  virtual bool AskYesNo(const std::string& text) = 0;
  // A "save changes?" question: Yes, No or Cancel, with the question icon.
  virtual SaveAnswer AskSaveChanges(const std::string& text) = 0;
  // The stop question (Yes/No, no icon, application-modal).
  virtual bool AskStop(const std::string& text) = 0;

  // ---- the experiment record and its clock ----
  virtual std::uint32_t CollectionState() = 0;
  virtual void SetCollectionState(std::uint32_t state) = 0;
  virtual bool Modified() = 0;
  // Saves the experiment (asking for a path when it has none); false when
  // it failed or was cancelled.
  virtual bool SaveExperiment() = 0;
  virtual bool BackupEnabled() = 0;
  virtual int RecordCameraCount() = 0;
  virtual std::string RecordCameraName(int camera) = 0;
  virtual void SetStartTick(std::uint32_t tick) = 0;
  virtual std::uint32_t StartTick() = 0;
  virtual void SetStopTick(std::uint32_t tick) = 0;
  virtual void ClearRecord() = 0;
  virtual void StartRunningBackup() = 0;
  virtual void ResetStores() = 0;
  // Tells the record's receivers that a collection started.
  virtual void NotifyStarted(std::uint32_t startTick) = 0;
  // -1: one marker per camera of the record.
  virtual void AddMarkerNow(const std::string& text, int camera) = 0;
  virtual void ClockStop() = 0;
  virtual void ClockStart() = 0;
  virtual void ClockPause() = 0;
  virtual std::uint32_t ClockNow() = 0;
  virtual bool ClockRunning() = 0;

  // ---- cameras ----
  virtual int DetectedCameraCount() = 0;
  virtual bool VideoRecordingEnabled() = 0;
  // As the record-video command does: on, and stored in the configuration.
  virtual void EnableVideoRecording() = 0;
  virtual bool IsVideoPlaying(int window) = 0;
  virtual bool IsCapturing(int window) = 0;
  // The camera pane attaches window `index` under `name` and connects it.
  virtual void ConnectCamera(int index, const std::string& name) = 0;
  virtual void SetExperimentStartTime(int window, std::uint32_t tick) = 0;
  virtual void StartRecording(int window) = 0;
  virtual void StopRecording(int window) = 0;

  // ---- sampling, sheets and views ----
  // The sampling's running state from zero and the zone-data queue emptied.
  virtual void ResetSampling() = 0;
  virtual void ClearSheets() = 0;
  virtual void SetDrawNoSaveData(bool on) = 0;
  virtual bool LiveTrace() = 0;
  virtual void SetLiveTrace(bool on) = 0;

  // ---- threads ----
  // Runs `task` on a worker behind the modal wait dialog; returns when it
  // has finished.
  virtual void RunBehindWaitDialog(std::function<int()> task) = 0;
  // Runs `call` on the user-interface thread and returns after it ran.
  virtual void RunOnUiThread(std::function<void()> call) = 0;

  // ---- ribbon and status bar ----
  virtual void SetStartStopButton(const std::string& text, int image) = 0;
  virtual void SetPauseButton(const std::string& text, int image) = 0;
  // The status bar's start/stop element.
  virtual void SetStatusStart(const std::string& text, const std::string& toolTip) = 0;
  // The elapsed-time label's marked (collecting) state; `redrawNow` paints
  // the status bar at once.
  virtual void MarkElapsedLabel(bool marked, bool redrawNow) = 0;
  // Re-layout of the frame with its width changed by `widthDelta` pixels.
  virtual void Relayout(int widthDelta) = 0;
};

class CollectionControl {
 public:
  explicit CollectionControl(CollectionHost& host) : host_(host) {}

  // The start/stop command: starts in state 2, stops (after Yes) in state 0,
  // nothing in state 1.
  void OnStartStop();
  // Both commands' enable rules.
  bool StartStopEnabled();
  bool PauseEnabled();
  // Pauses a running collection or resumes a paused one.
  void OnPause();

  // Function key k (0 = F1) with its marker text: a marker on every camera.
  void OnMarkerKey(const std::string& text);

  // Starts a collection. False when the user chose to save first and the
  // save did not happen: nothing then changes.
  bool Start();
  // Stops a collection; false when the user answered No. Without `ask`
  // nothing is asked (the process was told to end).
  bool Stop(bool ask = true);

 private:
  void UpdateRibbon(std::uint32_t textId, int image);

  CollectionHost& host_;
};

// The once-a-second status texts.
// "| <elapsed> |" of the collection's elapsed ms, rounded to the second.
std::string ElapsedTimeText(std::uint32_t now, std::uint32_t startTick);
// "h:m:s  |" of the instrument's time while it is shown, else empty.
std::string InstrumentTimeText(bool shown, int hours, int minutes, int seconds);

}  // namespace ORV
