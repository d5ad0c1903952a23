#include "platform/ui/tracker_layer.h"

#include <QApplication>
#include <QEventLoop>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>

namespace ORV::Video {

namespace {

QColor Colour(std::uint32_t c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

QPen MakePen(std::uint32_t colour, TrackerCanvas::Pen pen) {
  QPen p(Colour(colour), pen == TrackerCanvas::Pen::Solid2 ? 2 : 1);
  if (pen == TrackerCanvas::Pen::Dotted) p.setDashPattern({1, 1});
  return p;
}

QRectF ToRect(const RectI& r) { return QRectF(r.left, r.top, r.Width() - 1, r.Height() - 1); }

QPolygonF ToPolygon(const std::vector<PointF>& points) {
  QPolygonF polygon;
  for (PointF p : points) polygon << QPointF(p.x, p.y);
  return polygon;
}

}  // namespace

QPainterPath BufferCanvas::ToPainterPath(const ShapePath& path) {
  QPainterPath out;
  const auto& pts = path.Points();
  const auto& types = path.Types();
  for (std::size_t i = 0; i < pts.size(); ++i) {
    const int kind = types[i] & kPathTypeMask;
    if (kind == kPathStart) {
      out.moveTo(pts[i].x, pts[i].y);
    } else if (kind == kPathBezier && i + 2 < pts.size()) {
      out.cubicTo(pts[i].x, pts[i].y, pts[i + 1].x, pts[i + 1].y, pts[i + 2].x, pts[i + 2].y);
      i += 2;
    } else {
      out.lineTo(pts[i].x, pts[i].y);
    }
    if (types[i] & kPathClose) out.closeSubpath();
  }
  return out;
}

void BufferCanvas::Polygon(const std::vector<PointF>& corners, std::uint32_t colour, Pen pen) {
  dc_.DrawPolygon(ToPolygon(corners), MakePen(colour, pen));
}
void BufferCanvas::Path(const ShapePath& path, std::uint32_t colour, Pen pen) {
  dc_.DrawPath(ToPainterPath(path), MakePen(colour, pen));
}
void BufferCanvas::Rectangle(const RectI& rect, std::uint32_t colour, Pen pen) {
  dc_.DrawRect(ToRect(rect), MakePen(colour, pen));
}
void BufferCanvas::Ellipse(const RectI& rect, std::uint32_t colour, Pen pen) {
  dc_.DrawEllipse(ToRect(rect), MakePen(colour, pen));
}
void BufferCanvas::Line(PointF a, PointF b, std::uint32_t colour, Pen pen) {
  dc_.DrawLine({a.x, a.y}, {b.x, b.y}, MakePen(colour, pen));
}

#define ORV_SCREEN_DRAW(call) \
  CBufferDC dc(screen_);      \
  BufferCanvas(dc).call
void ScreenCanvas::Polygon(const std::vector<PointF>& corners, std::uint32_t colour, Pen pen) {
  ORV_SCREEN_DRAW(Polygon(corners, colour, pen));
}
void ScreenCanvas::Path(const ShapePath& path, std::uint32_t colour, Pen pen) {
  ORV_SCREEN_DRAW(Path(path, colour, pen));
}
void ScreenCanvas::Rectangle(const RectI& rect, std::uint32_t colour, Pen pen) {
  ORV_SCREEN_DRAW(Rectangle(rect, colour, pen));
}
void ScreenCanvas::Ellipse(const RectI& rect, std::uint32_t colour, Pen pen) {
  ORV_SCREEN_DRAW(Ellipse(rect, colour, pen));
}
void ScreenCanvas::Line(PointF a, PointF b, std::uint32_t colour, Pen pen) { ORV_SCREEN_DRAW(Line(a, b, colour, pen)); }
#undef ORV_SCREEN_DRAW

WidgetTrackSource::WidgetTrackSource(QWidget* owner, BufferTarget* screen)
    : owner_(owner), screen_(screen), screenCanvas_(screen) {}

WidgetTrackSource::~WidgetTrackSource() {
  EndStep();
  if (captured_) Release();
}

bool WidgetTrackSource::CaptureHeldElsewhere() {
  QWidget* grabber = QWidget::mouseGrabber();
  return grabber && grabber != owner_;
}

void WidgetTrackSource::Capture() {
  owner_->installEventFilter(this);
  owner_->grabMouse();
  owner_->grabKeyboard();
  captured_ = true;
}

void WidgetTrackSource::Release() {
  if (!captured_) return;
  captured_ = false;
  owner_->removeEventFilter(this);
  owner_->releaseKeyboard();
  owner_->releaseMouse();
}

TrackKeys WidgetTrackSource::KeysNow() {
  const Qt::KeyboardModifiers m = QApplication::queryKeyboardModifiers();
  return {
      .control = bool(m & Qt::ControlModifier), .shift = bool(m & Qt::ShiftModifier), .alt = bool(m & Qt::AltModifier)};
}

void WidgetTrackSource::Push(const TrackEvent& event) {
  events_.push_back(event);
  if (loop_) loop_->quit();
}

TrackEvent WidgetTrackSource::Next() {
  if (events_.empty() && captured_) {
    QEventLoop loop;
    loop_ = &loop;
    loop.exec();
    loop_ = nullptr;
  }
  TrackEvent e;
  if (events_.empty()) {
    e.kind = TrackEvent::Kind::CaptureLost;
    return e;
  }
  e = events_.front();
  events_.pop_front();
  return e;
}

TrackerCanvas* WidgetTrackSource::BeginStep() {
  EndStep();
  if (!screen_) return nullptr;
  step_ = new CBufferDC(screen_);
  stepCanvas_ = new BufferCanvas(*step_);
  return stepCanvas_;
}

void WidgetTrackSource::EndStep() {
  delete stepCanvas_;
  stepCanvas_ = nullptr;
  if (!step_) return;
  delete step_;
  step_ = nullptr;
  owner_->update();
}

bool WidgetTrackSource::eventFilter(QObject* watched, QEvent* event) {
  if (watched != owner_) return false;
  TrackEvent e;
  switch (event->type()) {
    case QEvent::MouseMove:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease: {
      auto* m = static_cast<QMouseEvent*>(event);
      e.kind = TrackEvent::Kind::Mouse;
      const bool press = event->type() == QEvent::MouseButtonPress;
      const bool release = event->type() == QEvent::MouseButtonRelease;
      if (press || release) {
        if (m->button() == Qt::LeftButton)
          e.mouse = press ? TrackMouse::LeftDown : TrackMouse::LeftUp;
        else if (m->button() == Qt::RightButton)
          e.mouse = press ? TrackMouse::RightDown : TrackMouse::RightUp;
        else
          e.mouse = TrackMouse::Other;
      }
      const QPointF p = toLogical.map(m->position());
      e.point = {p.x(), p.y()};
      e.flags = (m->buttons() & Qt::LeftButton ? kMouseLeft : 0) | (m->buttons() & Qt::RightButton ? kMouseRight : 0) |
                (m->modifiers() & Qt::ShiftModifier ? kMouseShift : 0) |
                (m->modifiers() & Qt::ControlModifier ? kMouseControl : 0);
      e.keys = {.control = bool(m->modifiers() & Qt::ControlModifier),
                .shift = bool(m->modifiers() & Qt::ShiftModifier),
                .alt = bool(m->modifiers() & Qt::AltModifier),
                .space = space_};
      Push(e);
      return true;
    }
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
      auto* k = static_cast<QKeyEvent*>(event);
      const bool down = event->type() == QEvent::KeyPress;
      e.kind = down ? TrackEvent::Kind::KeyDown : TrackEvent::Kind::KeyUp;
      switch (k->key()) {
        case Qt::Key_Escape:
          e.key = TrackKey::Escape;
          break;
        case Qt::Key_Control:
          e.key = TrackKey::Control;
          break;
        case Qt::Key_Space:
          e.key = TrackKey::Space;
          if (!k->isAutoRepeat()) space_ = down;
          break;
        default:
          e.key = TrackKey::Other;
      }
      e.keys = {.control = bool(k->modifiers() & Qt::ControlModifier),
                .shift = bool(k->modifiers() & Qt::ShiftModifier),
                .alt = bool(k->modifiers() & Qt::AltModifier),
                .space = space_};
      Push(e);
      return true;
    }
    case QEvent::UngrabMouse:
    case QEvent::WindowDeactivate:
    case QEvent::Hide:
      if (captured_) {
        e.kind = TrackEvent::Kind::CaptureLost;
        Push(e);
      }
      return false;
    default:
      return false;
  }
}

bool QtTransformTracker::ApplyCursor(int index) {
  static const Qt::CursorShape shapes[kCursorCount] = {
      Qt::SizeFDiagCursor, Qt::SizeBDiagCursor, Qt::SizeVerCursor, Qt::SizeHorCursor, Qt::CrossCursor,
      Qt::SizeAllCursor,   Qt::DragCopyCursor,  Qt::CrossCursor,   Qt::CrossCursor,   Qt::CrossCursor};
  if (index < 0 || index >= kCursorCount) return false;
  owner_->setCursor(shapes[index]);
  return true;
}

}  // namespace ORV::Video
