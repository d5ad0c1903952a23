#include "analysis_control/ui/control/analysis_view_window.h"

#include <QDrag>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "analysis_control/ui/analysis_painter.h"
#include "analysis_control/ui/control/analysis_view_control.h"
#include "core/base/dpi.h"
#include "platform/ui/drag_mime_data.h"
#include "platform/ui/picture_drag_data.h"

namespace ORV::AnalysisView {

namespace {

Video::ShapePath PathOf(const std::array<ViewPoint, 4>& outline) {
  Video::ShapePath path;
  path.MoveTo({outline[0].x, outline[0].y});
  for (int i = 1; i < 4; ++i) path.LineTo({outline[i].x, outline[i].y});
  path.CloseFigure();
  return path;
}

}  // namespace

AnalysisViewWindow::AnalysisViewWindow(const Com::CreateParams& params, AnalysisViewControl& control)
    : ControlWindow(params), control_(control) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::ClickFocus);
  setMouseTracking(true);
  tracker_.style = Video::CTransformTracker::kDottedPath;
  tracker_.UseCompactFrame();
  for (std::uint32_t message : {WM_CAMERA_FRAME_READY, WM_CAMERA_DEVICE_LOST}) {
    SetHandler(message, [this, message](UI::WPARAM, UI::LPARAM) {
      if (control_.Ready()) control_.engine().OnWindowMessage(message);
      return 0;
    });
  }
  SetHandler(UI::WM_TIMER, [this](UI::WPARAM id, UI::LPARAM) {
    if (id == kFrameTimer && control_.Ready()) control_.engine().OnTimer();
    return 0;
  });
}

void AnalysisViewWindow::Render() {
  if (!control_.Ready()) return;
  const qreal ratio = devicePixelRatioF();
  if (screenImage_.size() != size() * ratio) {
    screenImage_ = QImage(size() * ratio, QImage::Format_RGB32);
    screenImage_.setDevicePixelRatio(ratio);
  }
  screen_.image = &screenImage_;
  screen_.clipBox = QRect(QPoint(0, 0), screenImage_.size());
  screen_.mapping = QTransform::fromScale(ratio, ratio);
  screen_.textMode = ratio == 1.0;
  AnalysisViewModel& view = control_.view();
  view.SetClientSize(width(), height());
  const SharedCameraFrame::Image frame = control_.engine().IsCapturing() ? control_.engine().ShownFrame() : nullptr;
  {
    QPainter p(&screenImage_);
    PaintAnalysisView(p, rect(), frame.get(), view.BuildOverlay(), view);
  }
  if (tracker_.HasShape() && showTracker_) {
    Video::ScreenCanvas canvas(&screen_);
    tracker_.DrawFrame(&canvas);
  }
  update();
}

void AnalysisViewWindow::ResetTracker() {
  tracker_ = Video::QtTransformTracker(this);
  tracker_.style = Video::CTransformTracker::kDottedPath;
  tracker_.UseCompactFrame();
  showTracker_ = false;
}

void AnalysisViewWindow::paintEvent(QPaintEvent*) {
  if (screenImage_.size() != size() * devicePixelRatioF()) {
    Render();
  }
  QPainter p(this);
  p.drawImage(0, 0, screenImage_);
}

void AnalysisViewWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  if (!control_.Ready()) return;
  showTracker_ = false;
  control_.view().ClearSelection();
  Render();
}

void AnalysisViewWindow::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::EnabledChange) update();
}

void AnalysisViewWindow::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !control_.Ready()) return;
  setFocus();
  AnalysisViewModel& view = control_.view();
  view.SetClientSize(width(), height());
  const QPointF at = event->position();
  const ViewPoint p{static_cast<float>(at.x()), static_cast<float>(at.y())};
  switch (view.LeftDown(p, (event->modifiers() & Qt::ShiftModifier) != 0)) {
    case AnalysisViewModel::Press::kNothing:
      return;
    case AnalysisViewModel::Press::kDragOut:
      DragOut();
      return;
    case AnalysisViewModel::Press::kRubberBand: {
      showTracker_ = false;
      Render();
      control_.engine().SetTrackerBusy(true);
      Video::CRubberBandTracker band;
      Video::WidgetTrackSource source(this, &screen_);
      band.Track(source, Video::kMouseLeft, {at.x(), at.y()});
      control_.engine().SetTrackerBusy(false);
      const Video::PointF end = band.CurrentPoint();
      view.FinishRubberBand(p, {static_cast<float>(end.x), static_cast<float>(end.y)});
      break;
    }
    case AnalysisViewModel::Press::kTrack:
      TrackZone(at);
      break;
    case AnalysisViewModel::Press::kEdgeSelected:
    case AnalysisViewModel::Press::kSelected:
      showTracker_ = false;
      break;
  }
  view.FinishPress();
  Render();
}

void AnalysisViewWindow::TrackZone(QPointF at) {
  AnalysisViewModel& view = control_.view();
  tracker_.SetPath(PathOf(view.SelectedOutline()), true);
  showTracker_ = true;
  Render();
  control_.engine().SetTrackerBusy(true);
  int result;
  {
    Video::WidgetTrackSource source(this, &screen_);
    result = tracker_.Track(source, Video::kMouseLeft, {at.x(), at.y()});
  }
  control_.engine().SetTrackerBusy(false);
  if (result == Video::kTrackDone || result == Video::kTrackDoneControl) {
    Video::ShapePath moved = PathOf(view.SelectedOutline());
    moved.Transform(tracker_.DragMatrix());
    const auto& points = moved.Points();
    if (points.size() >= 4) {
      std::array<ViewPoint, 4> outline{};
      for (int i = 0; i < 4; ++i) outline[i] = {static_cast<float>(points[i].x), static_cast<float>(points[i].y)};
      view.TrackerMoved(outline);
    }
    tracker_.SetPath(PathOf(view.SelectedOutline()), false);
  } else if (result == Video::kTrackCancelled) {
    showTracker_ = false;
  }
}

void AnalysisViewWindow::mouseMoveEvent(QMouseEvent* event) {
  if (!control_.Ready()) return;
  const QPointF at = event->position();
  if (event->buttons() & Qt::LeftButton) {
    control_.view().DragEdge({static_cast<float>(at.x()), static_cast<float>(at.y())});
    Render();
    return;
  }
  if (tracker_.HasShape() && showTracker_) {
    tracker_.SetKeyState(Video::WidgetTrackSource::KeysNow());
    const int hit = tracker_.HitTestHandles({at.x(), at.y()});
    if (hit >= 0) {
      tracker_.SetCursor(hit);
      return;
    }
  }
  unsetCursor();
}

void AnalysisViewWindow::keyPressEvent(QKeyEvent* event) {
  if (!control_.Ready()) return;
  const int repeat = std::max(1, event->count());
  switch (event->key()) {
    case Qt::Key_Right:
      control_.view().MoveEdge(static_cast<std::int16_t>(repeat));
      Render();
      return;
    case Qt::Key_Left:
      control_.view().MoveEdge(static_cast<std::int16_t>(-repeat));
      Render();
      return;
    case Qt::Key_Control:
    case Qt::Key_Space:
      tracker_.SetKeyState(Video::WidgetTrackSource::KeysNow());
      return;
    default:
      QWidget::keyPressEvent(event);
  }
}

void AnalysisViewWindow::keyReleaseEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Control || event->key() == Qt::Key_Space) {
    tracker_.SetKeyState(Video::WidgetTrackSource::KeysNow());
    return;
  }
  QWidget::keyReleaseEvent(event);
}

void AnalysisViewWindow::DragOut() {
  AnalysisViewModel& view = control_.view();
  const SharedCameraFrame::Image frame = control_.engine().ShownFrame();
  const Overlay overlay = view.BuildOverlay();
  auto data = UI::PictureDragData(size(), QueryDpi(), [&](QPainter& p, const QRect& client) {
    PaintAnalysisView(p, client, frame.get(), overlay, view);
  });
  auto* drag = new QDrag(this);
  drag->setMimeData(new UI::DragMimeData(std::move(data)));
  drag->exec(Qt::CopyAction | Qt::MoveAction);
}

}  // namespace ORV::AnalysisView
