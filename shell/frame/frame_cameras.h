#pragma once
// The program's camera windows and camera pane in the main frame: each
// camera window hosts the analysis control (video/ui/camera_wnd) and hands
// its zone records to the queue the synchronised sampler drains; the camera
// pane (video/ui/camera_pane) drives the capture of the window it is bound
// to. FrameCameras makes both for the program's FramePanes and wires their
// hooks: the window's Capture/Stop and magnification go to the pane, the
// recording, collection and trace-view hooks to the frame.
#include <memory>
#include <string>

#include "analysis_control/analysis_interface.h"
#include "platform/ui/pane_manager.h"
#include "shell/frame/frame_services.h"
#include "shell/frame/main_frame_commands.h"
#include "video/ui/camera_wnd.h"

namespace ORV {

class CMainFrame;
class FrameViews;
struct ZoneDataHolderQueue;
namespace Video {
class CCameraPane;
}

// A camera window as the frame and its commands see it.
class FrameCameraWnd final : public Video::CameraWnd, public CameraWindow, public CommandCamera {
 public:
  FrameCameraWnd(const Configuration& configuration, Video::CameraWndSetup setup, UI::PaneManager& panes)
      : CameraWnd(configuration, std::move(setup)), panes_(panes) {}

  UI::DockingPane& Pane() override { return *this; }
  bool HasControl() const override { return static_cast<bool>(Control()); }
  void SetMaxZones(int zones) override;
  void SetAutoThreshold(bool on) override { EnableAutoThreshold(on); }
  void InvertThreshold(bool on) override;
  void IgnoreLumen(bool on) override;
  bool IsCapturing() override;
  bool IsVideoPlaying() override;
  bool IsRecording() override;
  void StopCapture() override;
  // A data collection: the analysis stamps its data from the start tick on;
  // recording follows the window's own video setting.
  void SetExperimentStartTime(std::uint32_t tick) override {
    if (HasControl()) Control().Invoke(AnalysisView::Dispid::SetExperimentStartTime, tick);
  }
  void StartRecording() override { CameraWnd::StartRecording(); }
  void StopRecording() override { CameraWnd::StopRecording(); }
  int MeasuringZones() override { return Model().ZoneCount(); }
  std::uint64_t MeasurementCount() override { return Model().MeasurementCount(); }
  std::uint64_t TornFrameCount() override { return Model().TornFrameCount(); }
  std::uint64_t FrameCount() override { return Model().FrameCount(); }
  bool CameraLost() override { return Model().CameraLost(); }
  bool RestartLostCamera() override { return Model().RestartLostCamera(); }

  // The video calls of the frame's commands.
  void SetVideoScaleFactor(int factor) override;
  int PlayVideoFile(const std::string& path) override;
  bool IsVideoPause() override;
  void PauseCapture() override { Call(AnalysisView::Dispid::PauseCapture); }
  void ResumeCapture() override { Call(AnalysisView::Dispid::ResumeCapture); }
  void VideoBackward() override { Call(AnalysisView::Dispid::VideoBackward); }
  void VideoForward() override { Call(AnalysisView::Dispid::VideoForward); }
  void SeekFramesFromCurrentPosition(int frames) override;
  void SetCurrentVideoTimeInSeconds(std::int64_t seconds) override;
  void ApplyZoneColors() override { CameraWnd::ApplyZoneColors(); }
  void ClosePane() override { panes_.OnPressCloseButton(*this); }

 private:
  void Call(int dispid) {
    if (HasControl()) Control().Invoke(dispid);
  }

  UI::PaneManager& panes_;
};

class FrameCameras {
 public:
  FrameCameras(Configuration& configuration, ExperimentData& experiment, std::shared_ptr<ZoneDataHolderQueue> queue)
      : configuration_(configuration), experiment_(experiment), queue_(std::move(queue)) {}

  // The frame the hooks call into; set once the frame is made.
  void SetFrame(CMainFrame* frame) { frame_ = frame; }
  // The application's trace views: a camera's first zone opens the main
  // view, and starting or stopping a capture switches live trace. Null
  // leaves the views as they are.
  void SetViews(FrameViews* views) { views_ = views; }

  CameraWindow* CreateWindow(UI::PaneManager& panes, const UI::PaneLayout& layout, const CameraWindowInfo& info);
  UI::DockingPane* CreatePane(UI::PaneManager& panes, const UI::PaneLayout& layout, bool multipleCameras);
  // False when the pane refused the window.
  bool AttachPane(CameraWindow& window, const std::string& caption, int index);
  // The pane's Capture/Stop on the window it is bound to.
  void ConnectPane();

 private:
  // The frame's own operations the camera windows call.
  bool FrameRecordsVideo() const;
  void FrameRunCollectionStartStop();
  void FrameStopRecordingEverywhere();
  void FrameResetStartStopButton();
  void FrameOpenTraceViewIfNone();
  void FrameSetLiveTrace(bool on);

  Configuration& configuration_;
  ExperimentData& experiment_;
  std::shared_ptr<ZoneDataHolderQueue> queue_;
  CMainFrame* frame_ = nullptr;
  FrameViews* views_ = nullptr;
  Video::CCameraPane* pane_ = nullptr;
};

}  // namespace ORV
