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

#include "shell/frame/frame_services.h"
#include "video/ui/camera_wnd.h"

namespace ORV {

class CMainFrame;
struct ZoneDataHolderQueue;
namespace Video {
class CCameraPane;
}

// A camera window as the frame sees it.
class FrameCameraWnd final : public Video::CameraWnd, public CameraWindow {
 public:
  explicit FrameCameraWnd(Video::CameraWndSetup setup) : CameraWnd(std::move(setup)) {}

  UI::DockingPane& Pane() override { return *this; }
  bool HasControl() const override { return static_cast<bool>(Control()); }
  void SetMaxZones(int zones) override;
  void SetAutoThreshold(bool on) override { EnableAutoThreshold(on); }
  void InvertThreshold(bool on) override;
  void IgnoreLumen(bool on) override;
  bool IsCapturing() override;
  bool IsVideoPlaying() override;
  void StopCapture() override;
};

class FrameCameras {
 public:
  FrameCameras(ExperimentData& experiment, std::shared_ptr<ZoneDataHolderQueue> queue)
      : experiment_(experiment), queue_(std::move(queue)) {}

  // The frame the hooks call into; set once the frame is made.
  void SetFrame(CMainFrame* frame) { frame_ = frame; }

  CameraWindow* CreateWindow(UI::PaneManager& panes, const UI::PaneLayout& layout, const CameraWindowSpec& spec);
  UI::DockingPane* CreatePane(UI::PaneManager& panes, const UI::PaneLayout& layout, bool multipleCameras);
  void AttachPane(CameraWindow& window, const std::string& caption, int index);

 private:
  // The frame's own operations the camera windows call.
  bool FrameRecordsVideo() const;
  void FrameRunCollectionStartStop();
  void FrameStopRecordingEverywhere();
  void FrameResetStartStopButton();
  void FrameOpenTraceViewIfNone();
  void FrameSetLiveTrace(bool on);

  ExperimentData& experiment_;
  std::shared_ptr<ZoneDataHolderQueue> queue_;
  CMainFrame* frame_ = nullptr;
  Video::CCameraPane* pane_ = nullptr;
};

}  // namespace ORV
