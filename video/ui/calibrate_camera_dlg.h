#pragma once
// The camera calibration dialog: a still from the camera's analysis control,
// a rectangle the user draws over a feature of known size and edits with the
// transform tracker or the arrow keys, and the micrometres per camera pixel
// that the feature's true length gives, kept per camera and magnification.
// The arithmetic lives in CalibrationModel; this is its window.
#include <QImage>
#include <functional>
#include <memory>
#include <optional>

#include "platform/ui/dialog.h"
#include "platform/ui/tracker_layer.h"
#include "video/calibration/calibration_model.h"

class QButtonGroup;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;

namespace ORV {
class ExperimentData;
}

namespace ORV::Video {

class CCalibrateCameraDlg : public UI::Dialog {
 public:
  enum : int {
    kCalibrateId = 1016,
    kMagnificationId = 1017,
    kTakePictureId = 1020,
    kWidthId = 1022,
    kHeightId = 1025,
    kSliderId = 1000,
    kMinusId = 1037,
    kPlusId = 1036,
    kScaleId = 1058,
    kMeasurementId = 1064,
  };

  CCalibrateCameraDlg(Com::IDispatch* control, Configuration& config, QWidget* parent = nullptr);
  ~CCalibrateCameraDlg() override;

  int cameraIndex = 0;
  // The experiment that gets the calibration marker (none: no marker).
  ExperimentData* experiment = nullptr;
  // Asks for the known length in µm; the default asks with the value dialog.
  std::function<std::optional<QString>()> askLength;

  CalibrationModel& Model() { return *model_; }
  const ShapePath& Figure() const { return figure_; }
  // The last calibration marker text added on Close.
  const std::string& MarkerText() const { return markerText_; }

  QComboBox* Magnification() const { return combo_; }
  QPushButton* CalibrateButton() const { return calibrate_; }
  QPushButton* TakePictureButton() const { return takePicture_; }
  QRadioButton* HeightRadio() const { return height_; }
  QSlider* Slider() const { return slider_; }
  QLineEdit* ScaleField() const { return scaleField_; }
  QLineEdit* MeasurementField() const { return measurement_; }

  // A rectangle drawn from `from` to `to` (client pixels), as a rubber band
  // drag ends.
  void DrawnRectangle(QPointF from, QPointF to);
  // Runs the transform tracker from a press on the figure.
  void EditFigure(QPointF at);
  void OnCalibrate();
  void TakePicture();

 protected:
  bool OnInitDialog() override;
  void OnOK() override;
  bool PreTranslateKey(QWidget* target, QKeyEvent* key) override;
  void paintEvent(QPaintEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;

 private:
  void Render();
  void Rebuild(bool repaint);
  void ShowScale(double value);
  bool FigureHit(QPointF at) const;
  void SetControlsEnabled(bool on);

  Com::IDispatch* control_;
  Configuration& config_;
  std::unique_ptr<CalibrationModel> model_;
  QtTransformTracker tracker_;
  ShapePath figure_;
  QImage screenImage_;
  BufferTarget screen_;
  bool showTracker_ = false;
  std::string markerText_;

  QComboBox* combo_;
  QPushButton* calibrate_;
  QPushButton* takePicture_;
  QRadioButton* width_;
  QRadioButton* height_;
  QSlider* slider_;
  QPushButton* minus_;
  QPushButton* plus_;
  QLineEdit* scaleField_;
  QLineEdit* measurement_;
};

}  // namespace ORV::Video
