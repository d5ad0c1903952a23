#pragma once
// The camera pane: Capture/Stop of the camera window it is attached to, the
// camera's (or frame grabber's) gain and two more picture properties, the
// magnification and the calibration. The logic is CameraPaneModel
// (video/camera_window); this is its pane.
//
// The main frame makes one, hands it its multiple-cameras flag and the
// hooks, creates it and attaches it to a camera window:
//
//   CameraPaneHooks hooks;
//   hooks.deviceName = [frame](int i) { return frame->CameraDeviceName(i); };
//   hooks.setLiveTrace = [](bool on) { ... };
//   auto* pane = new CCameraPane(configuration, &experiment, multipleCameras, std::move(hooks), frame);
//   pane->Create();
//   pane->SetCameraWindow("Camera 1", cameraWnd0, 0);
//
// and gives each camera window the pane's ConnectCamera and
// UpdateMagnificationText as its connectCamera and updateMagnificationText
// hooks.
#include <array>
#include <memory>

#include "platform/ui/docking_pane.h"
#include "video/camera_window/camera_pane_model.h"

class CIconButton;
class QLineEdit;
class QSlider;

namespace ORV::Video {

class CameraWnd;

class CCameraPane : public UI::DockingPane {
 public:
  enum : int {
    kCaptureId = 42787,
    kCalibrateId = 42788,
    kGainSliderId = 42789,
    kFirstSliderId = 42790,
    kSecondSliderId = 42791,
    kMagnificationId = 42792,
  };

  // The pane on `configuration` (its fonts), which outlives it.
  CCameraPane(const Configuration& configuration, ExperimentData* experiment, bool multipleCameras,
              CameraPaneHooks hooks, QWidget* parent = nullptr);
  ~CCameraPane() override;

  bool SetCameraWindow(const std::string& name, CameraWnd* window, int index);
  void ConnectCamera();
  void UpdateMagnificationText();

  CameraPaneModel& Model() { return *model_; }
  CIconButton* CaptureButton() const { return capture_; }
  CIconButton* CalibrateButton() const { return calibrate_; }
  QSlider* Slider(CameraPaneModel::PaneSlider s) const { return sliders_[static_cast<int>(s)]; }
  CIconButton* StepButton(CameraPaneModel::PaneSlider s, int direction) const {
    return steps_[static_cast<int>(s)][direction < 0 ? 0 : 1];
  }
  QLineEdit* MagnificationField() const { return magnification_; }
  // The idle update: enables the buttons as the pane's state says.
  void UpdateCommands();

 protected:
  QSize FixedSize96() const override { return {210, 290}; }
  int OnCreate() override;
  void OnPaint(QPainter& painter) override;

 private:
  void Sync();
  void Calibrate();

  ExperimentData* experiment_;
  std::unique_ptr<CameraPaneModel> model_;
  CameraWnd* window_ = nullptr;
  CIconButton* capture_ = nullptr;
  CIconButton* calibrate_ = nullptr;
  QLineEdit* magnification_ = nullptr;
  std::array<QSlider*, 3> sliders_{};
  std::array<std::array<CIconButton*, 2>, 3> steps_{};
};

}  // namespace ORV::Video
