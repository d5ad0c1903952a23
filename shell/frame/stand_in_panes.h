#pragma once
// Panes that stand in for windows the frame makes whose own classes come
// with other parts of the program:
//   - CameraPreviewWindow: the camera window. Until the window with its
//     analysis control is there, it opens its camera through the camera
//     back-end and shows the live picture, scaled to fit, with the camera's
//     name; it has no analysis control, so the frame's calls to one skip it.
//   - StandInPane: the camera pane, the video panes, the multi-chamber pane
//     and the sequencer pane, showing their caption and a line on what they
//     will hold.
// Both are plain docking panes, so the frame places, shows and hides them
// like the others.
#include <QImage>
#include <QString>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/ui/docking_pane.h"
#include "shell/frame/frame_services.h"

namespace ORV {

class StandInPane : public UI::DockingPane {
 public:
  StandInPane(const Configuration& configuration, const QString& objectName, const QString& title, QString note);
  const QString& Note() const { return note_; }

 protected:
  void OnPaint(QPainter& painter) override;

 private:
  QString note_;
};

class CameraPreviewWindow : public UI::DockingPane, public CameraWindow, private ORVCameraCallback {
 public:
  static constexpr std::uint32_t WM_PREVIEW_FRAME = OS::WM_APP + 1951;

  // Opens and starts the camera of `spec` through `camera` (none when the
  // spec names no device or `camera` is null).
  CameraPreviewWindow(const Configuration& configuration, const CameraWindowSpec& spec,
                      std::unique_ptr<CameraInterface> camera, const QString& title);
  ~CameraPreviewWindow() override;

  // Frames shown so far.
  std::uint64_t FramesShown() const { return framesShown_.load(); }
  bool CameraStarted() const { return started_; }

  UI::DockingPane& Pane() override { return *this; }
  bool HasControl() const override { return false; }
  void SetMaxZones(int) override {}
  void SetAutoThreshold(bool) override {}
  void InvertThreshold(bool) override {}
  void IgnoreLumen(bool) override {}
  bool IsCapturing() override { return false; }
  bool IsVideoPlaying() override { return false; }
  void StopCapture() override {}

 protected:
  void OnPaint(QPainter& painter) override;

 private:
  void OnFrameReady() override;
  void StopCamera();

  CameraWindowSpec spec_;
  std::unique_ptr<CameraInterface> camera_;
  bool started_ = false;
  std::mutex mutex_;
  std::vector<std::uint8_t> incoming_;  // guarded by mutex_
  int width_ = 0, height_ = 0;
  std::atomic<bool> pending_{false};
  QImage picture_;
  std::atomic<std::uint64_t> framesShown_{0};
};

}  // namespace ORV
