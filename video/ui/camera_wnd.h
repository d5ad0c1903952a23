#pragma once
// The docking window of one camera: it creates and hosts one analysis
// control by ProgID, shows the side column of threshold, cut-off and
// fine-edge sliders with their "-"/"+" buttons and the "Manual tracking"
// check box, a header row with the menu and rotate buttons, and one panel
// per zone with the zone's newest profile and diameters. The logic is
// CameraWindowModel (video/camera_window); this is its window.
//
// Making one (the main frame, once per camera 0..3):
//
//   CameraWndSetup setup;
//   setup.cameraIndex = i;
//   setup.cameraType = type;                 // handed to the control's LoadCamera
//   setup.experiment = &program.Experiment();
//   setup.queue = zoneQueue;                 // the one ZoneDataHolderQueue the sampler drains
//   setup.hooks.connectCamera = [pane] { pane->ConnectCamera(); };   // and the frame's other hooks
//   auto* w = new CameraWnd(program.Settings(), std::move(setup), frame);
//   if (w->Create() != 0) ...;               // failed: logged and shown already
//   frame->addDockWidget(Qt::RightDockWidgetArea, w);
//   w->Control().Invoke(AnalysisView::Dispid::SetMaxZones, std::int16_t{4});
//
// Hooks left empty fall back to the window's own: message boxes with the
// application title, the string table, and a repaint of the window.
#include <QPointer>
#include <QTimer>
#include <array>
#include <memory>

#include "platform/com/control_loader.h"
#include "platform/ui/control_host.h"
#include "platform/ui/docking_pane.h"
#include "video/camera_window/camera_window_model.h"

class CIconButton;
class QCheckBox;
class QLabel;
class QMenu;
class QSlider;

namespace ORV::Video {

struct CameraWndSetup {
  int cameraIndex = 0;
  std::int16_t cameraType = 0;
  ExperimentData* experiment = nullptr;
  std::shared_ptr<ZoneDataHolderQueue> queue;
  CameraWindowHooks hooks;
  // Where the control is looked up; the program's registry and library
  // folders when null (tests give their own).
  const Com::ControlFactory* factory = nullptr;
};

class CameraWnd : public UI::DockingPane {
 public:
  // Child and command ids.
  enum : int {
    kControlId = 11107,
    kBarIdBase = 43268,  // + camera index: the docking bar's id
    kMenuButtonId = 32891,
    kRotateLeftId = 32895,
    kRotateRightId = 32896,
    kManualTrackingId = 32897,
    kExportImageId = 32901,
    kResetFineEdgeId = 32910,
    kAutoScaleId = 32911,
    kResetRotationId = 32912,
    kResetScaleId = 32913,
    kCalibrateId = 32914,
    kStopCaptureId = 32915,
    kStartCaptureId = 32917,
    kPanelTimerId = 32918,
    kCutOffTimerId = 32920,
  };

  // The window on `configuration` (its fonts and display switches), which
  // outlives it.
  CameraWnd(const Configuration& configuration, CameraWndSetup setup, QWidget* parent = nullptr);
  ~CameraWnd() override;

  CameraWindowModel& Model() { return *model_; }
  // The hosted control (empty until created).
  Com::Dispatcher Control() const { return site_.dispatch(); }
  QWidget* ControlWidget() const { return site_.widget(); }
  // Where the control's events arrive (the window's event sink).
  Com::IDispatch& EventSink();

  // The main frame's operations.
  void ApplyZoneColors() { model_->ApplyZoneColors(); }
  void StartRecording() { model_->StartRecording(); }
  void StopRecording() { model_->StopRecording(); }
  void EnableAutoThreshold(bool on);
  void SetCameraCaption(const QString& caption);

  // The widgets, for the frame's update handlers and for tests.
  QSlider* Slider(SliderId id) const { return sliders_[static_cast<int>(id)]; }
  ::CIconButton* StepButton(SliderId id, int direction) const;
  QCheckBox* ManualTrackingBox() const { return manualTracking_; }
  // The word on the picture's light shown over the picture (hidden while
  // there is nothing to say).
  QLabel* PictureAdviceLabel() const { return advice_; }
  // The context menu as it would be shown now (the caller owns it).
  QMenu* BuildContextMenu();
  // Runs a menu or button command by its id.
  void RunCommand(int id);

  // Mirrors the model's slider states and the layout into the widgets.
  void SyncControls();

 protected:
  int OnCreate() override;
  void OnPaint(QPainter& painter) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  class Sink;
  void Relayout();
  // Docked above or below the frame's middle, with the height it was given
  // at first (or the one it asked for last, not one the user chose), asks
  // the frame for the height at which its picture uses the window's width:
  // at most kMostOfFrame of the frame's height.
  void FitHeightToWidth();
  // Shows the model's word on the picture's light over the bottom of the
  // picture.
  void ShowPictureAdvice();
  void DrawPanels(QPainter& painter, const CameraWindowLayout& layout);
  void ShowCalibration();
  void Snapshot();
  QRect Px(const Box& b) const;

  CameraWndSetup setup_;
  std::unique_ptr<CameraWindowModel> model_;
  UI::ControlSite site_;
  std::unique_ptr<Sink> sink_;
  Com::SinkConnection connection_;
  QPointer<QWidget> videoHost_;
  std::array<QSlider*, kSliderCount> sliders_{};
  std::array<std::array<::CIconButton*, 2>, kSliderCount> steps_{};
  ::CIconButton* menuButton_ = nullptr;
  ::CIconButton* rotateLeft_ = nullptr;
  ::CIconButton* rotateRight_ = nullptr;
  QCheckBox* manualTracking_ = nullptr;
  QLabel* advice_ = nullptr;
  int askedHeight_ = 0;  // the client height last asked of the frame, in pixels
  bool fitPending_ = false;
  QFont boldPanelFont_, smallPanelFont_, smallestPanelFont_;
  QTimer panelTimer_, cutOffTimer_;
};

}  // namespace ORV::Video
