#include "shell/frame/frame_cameras.h"

#include <QGuiApplication>
#include <algorithm>

#include "analysis_control/analysis_interface.h"
#include "core/experiment/zone_data_queue.h"
#include "platform/ui/pane_manager.h"
#include "platform/ui/ribbon_status_bar.h"
#include "platform/ui/string_table.h"
#include "shell/app/small_dialogs.h"
#include "shell/frame/frame_application_views.h"
#include "shell/frame/main_frame.h"
#include "video/ui/camera_pane.h"

namespace ORV {

namespace D = AnalysisView::Dispid;

void FrameCameraWnd::SetMaxZones(int zones) {
  if (HasControl()) Control().Invoke(D::SetMaxZones, static_cast<std::int16_t>(zones));
}

void FrameCameraWnd::InvertThreshold(bool on) {
  if (HasControl()) Control().Invoke(D::InvertThreshold, static_cast<std::int16_t>(on ? 1 : 0));
}

void FrameCameraWnd::IgnoreLumen(bool on) {
  if (!HasControl()) return;
  Control().Invoke(D::IgnoreLumen, static_cast<std::int16_t>(on ? 1 : 0));
  Model().SetIgnoreLumen(on);
}

bool FrameCameraWnd::IsCapturing() { return HasControl() && Control().Invoke<std::int16_t>(D::IsCapturing) != 0; }

bool FrameCameraWnd::IsVideoPlaying() { return HasControl() && Model().IsVideoPlaying(); }

bool FrameCameraWnd::IsRecording() { return HasControl() && Control().Invoke<std::int16_t>(D::IsRecording) != 0; }

void FrameCameraWnd::StopCapture() {
  if (HasControl()) Control().Invoke(D::StopCapture);
}

void FrameCameraWnd::SetVideoScaleFactor(int factor) {
  if (HasControl()) Control().Invoke(D::SetVideoScaleFactor, static_cast<std::uint16_t>(factor));
}

int FrameCameraWnd::PlayVideoFile(const std::string& path) {
  return HasControl() ? Control().Invoke<std::int16_t>(D::PlayVideoFile, path) : 0;
}

bool FrameCameraWnd::IsVideoPause() { return HasControl() && Control().Invoke<std::int16_t>(D::IsVideoPause) != 0; }

void FrameCameraWnd::SeekFramesFromCurrentPosition(int frames) {
  if (HasControl()) Control().Invoke<std::int16_t>(D::SeekFramesFromCurrentPosition, static_cast<std::int32_t>(frames));
}

void FrameCameraWnd::SetCurrentVideoTimeInSeconds(std::int64_t seconds) {
  if (HasControl())
    Control().Invoke(D::SetCurrentVideoTimeInSeconds, static_cast<std::uint32_t>(std::max<std::int64_t>(seconds, 0)));
}

CameraWindow* FrameCameras::CreateWindow(UI::PaneManager& panes, const UI::PaneLayout& layout,
                                         const CameraWindowInfo& info) {
  Video::CameraWndSetup setup;
  setup.cameraIndex = info.index;
  setup.cameraType = static_cast<std::int16_t>(info.cameraKind);
  setup.experiment = &experiment_;
  setup.queue = queue_;
  Video::CameraWindowHooks& hooks = setup.hooks;
  // The window's own Start and Stop capture act on its camera: the pane is
  // bound to this window first.
  hooks.connectCamera = [this, index = info.index] {
    if (frame_) frame_->ConnectCamera(index, {});
  };
  hooks.updateMagnificationText = [this] {
    if (pane_) pane_->UpdateMagnificationText();
  };
  hooks.videoRecordingOn = [this] { return FrameRecordsVideo(); };
  hooks.runCollectionStartStop = [this] { FrameRunCollectionStartStop(); };
  hooks.stopRecordingEverywhere = [this] { FrameStopRecordingEverywhere(); };
  hooks.resetStartStopButton = [this] { FrameResetStartStopButton(); };
  hooks.openTraceViewIfNone = [this] { FrameOpenTraceViewIfNone(); };
  return panes.Create<FrameCameraWnd>(layout, configuration_, std::move(setup), panes);
}

UI::DockingPane* FrameCameras::CreatePane(UI::PaneManager& panes, const UI::PaneLayout& layout, bool multipleCameras) {
  Video::CameraPaneHooks hooks;
  hooks.deviceName = [this](int index) {
    if (!frame_) return std::string();
    const std::vector<std::string>& names = frame_->CameraDeviceNames();
    return index >= 0 && index < static_cast<int>(names.size()) ? names[index] : std::string();
  };
  hooks.setLiveTrace = [this](bool on) { FrameSetLiveTrace(on); };
  hooks.ctrlDown = [] { return (QGuiApplication::keyboardModifiers() & Qt::ControlModifier) != 0; };
  hooks.chooseChannel = [this](int channel) {
    Shell::CPicoloChannelDialog dialog(frame_);
    dialog.channel = channel;
    // Closed without a pick: the channel stays.
    return dialog.DoModal() == UI::IDOK ? dialog.channel : channel;
  };
  pane_ = panes.Create<Video::CCameraPane>(layout, configuration_, &experiment_, multipleCameras, std::move(hooks));
  return pane_;
}

bool FrameCameras::AttachPane(CameraWindow& window, const std::string& caption, int index) {
  auto* wnd = dynamic_cast<Video::CameraWnd*>(&window);
  if (pane_ == nullptr || wnd == nullptr) return false;
  if (pane_->SetCameraWindow(caption, wnd, index)) return true;
  // With several cameras the pane always takes the window (its answer says
  // whether the camera's ranges loaded); with one it refused when it stayed
  // on its window.
  return pane_->Model().Window() == &wnd->Model() && pane_->Model().CameraIndex() == index;
}

void FrameCameras::ConnectPane() {
  if (pane_) pane_->ConnectCamera();
}

bool FrameCameras::FrameRecordsVideo() const { return frame_ && frame_->RecordVideo(); }

// The frame's start/stop data collection command (the status bar's Start).
void FrameCameras::FrameRunCollectionStartStop() {
  if (frame_) frame_->Router().Execute(ID_STATUS_START_BUTTON);
}

void FrameCameras::FrameStopRecordingEverywhere() {
  if (!frame_) return;
  for (CameraWindow* window : frame_->CameraWindows())
    if (auto* wnd = dynamic_cast<FrameCameraWnd*>(window)) wnd->StopRecording();
}

// The status bar's start/stop button back to "Start".
void FrameCameras::FrameResetStartStopButton() {
  if (!frame_ || !frame_->StatusBar()) return;
  if (UI::StatusBarElement* start = frame_->StatusBar()->FindElement(ID_STATUS_START_BUTTON)) {
    start->SetText(UI::LoadString(UI::kStartString));
    start->SetToolTipText(UI::LoadString(UI::kStartDataCollectionTipString));
  }
}

// A camera's first zone: without a registered trace view, the main view
// opens.
void FrameCameras::FrameOpenTraceViewIfNone() {
  if (views_) views_->OpenTraceViewIfNone();
}

// A capture started (the views follow the newest data) or stopped.
void FrameCameras::FrameSetLiveTrace(bool on) {
  if (views_) views_->SetLiveTrace(on);
}

}  // namespace ORV
