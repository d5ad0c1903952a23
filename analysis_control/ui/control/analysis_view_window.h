#pragma once
// The analysis control's window: paints the picture and its overlay from an
// off-screen image, delivers the camera back-ends' messages and the frame
// timer to the engine, and hands the mouse and keys to the view model, with
// the rubber band and the zone tracker following the mouse.
#include <QImage>

#include "platform/ui/buffer_dc.h"
#include "platform/ui/control_host.h"
#include "platform/ui/message_window.h"
#include "platform/ui/tracker_layer.h"

namespace ORV::AnalysisView {

class AnalysisViewControl;

class AnalysisViewWindow final : public UI::ControlWindow, public UI::MessageWindow {
 public:
  // The frame timer's id.
  static constexpr std::uintptr_t kFrameTimer = 43878;

  AnalysisViewWindow(const Com::CreateParams& params, AnalysisViewControl& control);

  // Lays out and paints the off-screen image again, then shows it.
  void Render();
  // The window as it shows now.
  QImage Snapshot() const { return screenImage_; }
  // The zone tracker is dropped (capture stopped).
  void ResetTracker();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void TrackZone(QPointF at);
  void DragOut();

  AnalysisViewControl& control_;
  QImage screenImage_;
  Video::BufferTarget screen_;
  Video::QtTransformTracker tracker_{this};
  bool showTracker_ = false;
  // Last, so that the window closes before the members above go.
  ORV::UI::MessageWindowCloser closer_{*this};
};

}  // namespace ORV::AnalysisView
