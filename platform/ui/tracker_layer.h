#pragma once
// The trackers on a Qt widget: the mouse and keyboard grab with a nested
// event loop for the drag, the inverted feedback drawn on the widget's screen
// image through CBufferDC, and the cursors of the hit codes.
#include <QObject>
#include <deque>

#include "platform/ui/buffer_dc.h"
#include "platform/ui/tracking/shape_tracker.h"

class QEventLoop;
class QWidget;

namespace ORV::Video {

// Draws a tracker into a buffered surface.
class BufferCanvas : public TrackerCanvas {
 public:
  explicit BufferCanvas(CBufferDC& dc) : dc_(dc) {}
  void Polygon(const std::vector<PointF>& corners, std::uint32_t colour, Pen pen) override;
  void Path(const ShapePath& path, std::uint32_t colour, Pen pen) override;
  void Rectangle(const RectI& rect, std::uint32_t colour, Pen pen) override;
  void Ellipse(const RectI& rect, std::uint32_t colour, Pen pen) override;
  void Line(PointF a, PointF b, std::uint32_t colour, Pen pen) override;

  static QPainterPath ToPainterPath(const ShapePath& path);

 private:
  CBufferDC& dc_;
};

// Draws every primitive through its own surface: shown at once.
class ScreenCanvas : public TrackerCanvas {
 public:
  explicit ScreenCanvas(BufferTarget* screen) : screen_(screen) {}
  void Polygon(const std::vector<PointF>& corners, std::uint32_t colour, Pen pen) override;
  void Path(const ShapePath& path, std::uint32_t colour, Pen pen) override;
  void Rectangle(const RectI& rect, std::uint32_t colour, Pen pen) override;
  void Ellipse(const RectI& rect, std::uint32_t colour, Pen pen) override;
  void Line(PointF a, PointF b, std::uint32_t colour, Pen pen) override;

 private:
  BufferTarget* screen_;
};

// A drag on a widget: grabs its mouse and keyboard and waits for their
// messages in a nested event loop. Points are the widget's coordinates
// mapped by `toLogical`. After each drawn step the widget is repainted from
// the screen image.
class WidgetTrackSource : public QObject, public TrackSource {
 public:
  WidgetTrackSource(QWidget* owner, BufferTarget* screen);
  ~WidgetTrackSource() override;

  QTransform toLogical;

  bool CaptureHeldElsewhere() override;
  void Capture() override;
  void Release() override;
  TrackEvent Next() override;
  TrackerCanvas* Canvas() override { return screen_ ? &screenCanvas_ : nullptr; }
  TrackerCanvas* BeginStep() override;
  void EndStep() override;

  static TrackKeys KeysNow();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Push(const TrackEvent& event);

  QWidget* owner_;
  BufferTarget* screen_;
  ScreenCanvas screenCanvas_;
  std::deque<TrackEvent> events_;
  QEventLoop* loop_ = nullptr;
  bool captured_ = false;
  bool space_ = false;  // the space bar is held
  CBufferDC* step_ = nullptr;
  TrackerCanvas* stepCanvas_ = nullptr;
};

// The transform tracker showing its cursors on a widget.
class QtTransformTracker : public CTransformTracker {
 public:
  explicit QtTransformTracker(QWidget* owner) : owner_(owner) {}

 protected:
  bool ApplyCursor(int index) override;

 private:
  QWidget* owner_;
};

}  // namespace ORV::Video
