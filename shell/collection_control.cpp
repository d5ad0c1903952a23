#include "shell/collection_control.h"

#include <cstdio>

#include "core/base/time_text.h"
#include "platform/ui/string_ids.h"

namespace ORV {

void CollectionControl::OnStartStop() {
  const std::uint32_t state = host_.CollectionState();
  if (state == kLiveIdle) {
    Start();
  } else if (state == kCollecting) {
    Stop();
  }
}

bool CollectionControl::StartStopEnabled() { return host_.CollectionState() != kShowingFile; }

bool CollectionControl::PauseEnabled() { return host_.CollectionState() == kCollecting; }

bool CollectionControl::Start() {
  // A "Yes" to saving keeps the data the user chose to keep: when the save
  // does not happen, the start does not clear them. Cancel starts nothing.
  if (host_.Modified()) {
    switch (host_.AskSaveChanges(host_.Text(UI::kExistingExperimentDataWillString))) {
      case SaveAnswer::Yes:
        if (!host_.SaveExperiment()) return false;
        break;
      case SaveAnswer::No:
        break;
      case SaveAnswer::Cancel:
        return false;
    }
  }

  if (host_.DetectedCameraCount() > 0 && !host_.VideoRecordingEnabled() && !host_.IsVideoPlaying(0) &&
      host_.AskYesNo(host_.Text(UI::kVideoRecordingEnabledWouldString))) {
    host_.EnableVideoRecording();
  }

  const int cameras = host_.RecordCameraCount();
  for (int i = 0; i < cameras; ++i) {
    if (!host_.IsCapturing(i) && host_.AskYesNo(host_.Text(UI::kAttachedCameraCapturingStartString))) {
      host_.ConnectCamera(i, host_.RecordCameraName(i));
    }
  }

  // Time zero comes once every question is answered, however long they
  // stood open: the sampling starts from zero and the experiment clock
  // starts, before the state says "collecting".
  host_.ResetSampling();
  host_.ClockStop();
  const std::uint32_t start = host_.ClockNow();
  host_.SetStartTick(start);
  // The record takes samples from the moment it says "collecting" (a
  // stopped clock counts as running), so the running backup is open by
  // then: every sample stored is also backed up.
  host_.ClearRecord();
  if (host_.BackupEnabled()) host_.StartRunningBackup();
  host_.SetCollectionState(kCollecting);
  host_.NotifyStarted(start);
  host_.ClockStart();
  for (int i = 0; i < cameras; ++i) host_.SetExperimentStartTime(i, start);
  host_.ClearSheets();
  for (int i = 0; i < cameras; ++i) host_.StartRecording(i);
  host_.SetDrawNoSaveData(false);
  if (!host_.LiveTrace()) host_.SetLiveTrace(true);

  host_.SetStatusStart(host_.Text(UI::kStopString), host_.Text(UI::kStopDataCollectionString));
  host_.MarkElapsedLabel(true, false);
  host_.Relayout(1);
  UpdateRibbon(UI::kStopTipString, kImageStop);
  return true;
}

bool CollectionControl::Stop(bool ask) {
  if (ask && !host_.AskStop(host_.Text(UI::kDoYouWantStopString))) return false;
  host_.AddMarkerNow(host_.Text(UI::kDataCollectionStoppedString), -1);

  const int cameras = host_.RecordCameraCount();
  CollectionHost& host = host_;
  host_.RunBehindWaitDialog([&host, cameras] {
    // The clock pauses (the next start stops it) so that late samples of
    // this collection keep their times.
    host.ClockPause();
    host.SetStopTick(host.ClockNow());
    // A paused clock still counts as running for a short grace, so the
    // record stops taking samples before the backup's streams close: no
    // sample is stored that the backup does not hold.
    host.SetCollectionState(kLiveIdle);
    host.ResetStores();
    // The camera windows and their recorders belong to the user-interface
    // thread, which services this call from the wait dialog's loop.
    host.RunOnUiThread([&host, cameras] {
      for (int i = 0; i < cameras; ++i) host.StopRecording(i);
    });
    return 1;
  });

  host_.SetStatusStart(host_.Text(UI::kStartString), host_.Text(UI::kStartDataCollectionTipString));
  host_.MarkElapsedLabel(true, true);
  host_.MarkElapsedLabel(false, false);
  host_.SetDrawNoSaveData(true);
  host_.Relayout(-1);
  UpdateRibbon(UI::kStartDataCollectionString, kImageStart);
  return true;
}

void CollectionControl::UpdateRibbon(std::uint32_t textId, int image) {
  host_.SetStartStopButton(host_.Text(textId), image);
  host_.SetPauseButton(host_.Text(UI::kPauseTipString), kImagePause);
}

void CollectionControl::OnPause() {
  if (host_.CollectionState() != kCollecting) return;
  const bool running = host_.ClockRunning();
  if (running) {
    host_.AddMarkerNow(host_.Text(UI::kPauseString), 0);
    host_.ClockPause();
    host_.SetPauseButton(host_.Text(UI::kResumeString), kImageResume);
  } else {
    host_.ClockStart();
    host_.SetPauseButton(host_.Text(UI::kPauseTipString), kImagePause);
  }
}

void CollectionControl::OnMarkerKey(const std::string& text) { host_.AddMarkerNow(text, -1); }

std::string ElapsedTimeText(std::uint32_t now, std::uint32_t startTick) {
  const std::uint32_t elapsed = now - startTick;
  const auto seconds = static_cast<std::uint32_t>(static_cast<float>(elapsed) / 1000.0f + 0.5f);
  return "| " + FormatTimeSeconds(seconds) + " |";
}

std::string InstrumentTimeText(bool shown, int hours, int minutes, int seconds) {
  if (!shown) return {};
  char text[64];
  std::snprintf(text, sizeof text, "%d:%02d:%02d  |", hours, minutes, seconds);
  return text;
}

}  // namespace ORV
