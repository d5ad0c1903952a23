#pragma once
// The video pane of one camera: a docking pane holding the image window,
// which shows the camera's recorded video of an experiment opened from its
// file at a time position, with the zones and wall positions stored for the
// frame, the video time, and a measuring line whose length the user can add
// to the data pad. The logic is VideoPaneModel's; these are its windows.
#include <QColor>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/ui/docking_pane.h"
#include "video/pane/video_pane_model.h"

namespace ORV {
class Configuration;
class ExperimentData;
}  // namespace ORV

namespace ORV::Video {

class VideoPaneImages : public QWidget {
 public:
  VideoPaneImages(ExperimentData& experiment, const Configuration& config, int camera,
                  std::unique_ptr<StillImageLoader> loader, QWidget* parent = nullptr);
  ~VideoPaneImages() override;

  VideoPaneModel& Model() { return model_; }
  const VideoPaneModel& Model() const { return model_; }
  bool VideoLoaded() const { return model_.VideoLoaded(); }
  float FrameRate() const { return model_.FrameRate(); }
  int FrameCount() const { return model_.FrameCount(); }

  // Shows the frame of a position (experiment seconds, or a frame index) and
  // repaints.
  void ShowFrameAt(std::uint32_t position, bool inSeconds);
  // Takes the zone colours from the configuration and repaints.
  void ApplyZoneColors();
  QColor BorderColor() const { return border_; }
  QColor OuterEdgeColor() const { return outer_; }
  QColor InnerEdgeColor() const { return inner_; }

  // Asks for a measurement's label; the default runs the data-pad dialog.
  VideoPaneModel::AskLabel askLabel;

  // The picture as the window shows it.
  QImage Render();

 protected:
  void paintEvent(QPaintEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;

 private:
  std::optional<std::string> RunDataPadDialog(double time, float value);
  void PaintOverlays(QPainter& p);
  void PaintMeasuringLine(QPainter& p);

  const Configuration& config_;
  VideoPaneModel model_;
  QColor border_, outer_, inner_;
  QTimer dragTimer_;  // repaints while the user draws a line
};

class CVideoPane : public UI::DockingPane {
 public:
  // The pane of camera `camera` (0..3), captioned "Camera: <n>".
  CVideoPane(ExperimentData& experiment, const Configuration& config, int camera,
             std::unique_ptr<StillImageLoader> loader = CreateImageLoader(), QWidget* parent = nullptr);
  ~CVideoPane() override;

  VideoPaneImages& Images() { return *images_; }
  // Gives the pane another camera; its video is loaded with LoadVideo.
  void SetCameraIndex(int camera);
  // Loads the camera's video and fits the image window to it; true when the
  // video and its analysis records are there.
  bool LoadVideo();
  // Places the image window: 9 pixels from the top-left, as high as the
  // client less 18 pixels and as wide as the video's aspect makes it; a
  // narrower pane fits the window to its width.
  void ResizeImageWindow();

 protected:
  QSize FixedSize96() const override { return {}; }
  int OnCreate() override;
  bool eventFilter(QObject* watched, QEvent* e) override;

 private:
  VideoPaneImages* images_;
};

}  // namespace ORV::Video
