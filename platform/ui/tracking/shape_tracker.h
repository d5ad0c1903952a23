#pragma once
// Modal mouse trackers over a shape. CShapeTracker runs a drag: it takes the
// mouse, feeds every message of the drag to overridable hooks and draws the
// feedback through them until a hook ends the drag. CTransformTracker edits a
// shape path with it: move, scale from a corner or an edge, rotate from a
// corner, shear from an edge, or move the centre (the pivot). The result of a
// drag is a matrix that the owner applies to its own path.
//
// The trackers know nothing of a toolkit. The interaction (mouse capture, the
// nested event loop, the key state) comes from a TrackSource and the drawing
// goes to a TrackerCanvas; video/ui gives both for Qt widgets. All feedback is
// meant to be drawn inverting, so drawing the same thing twice erases it.
#include <array>
#include <cstdint>
#include <string>

#include "platform/ui/tracking/geometry.h"

namespace ORV::Video {

// Mouse flags of a tracker message.
enum : int { kMouseLeft = 0x01, kMouseRight = 0x02, kMouseShift = 0x04, kMouseControl = 0x08 };

// Feedback drawing phases passed to DrawTrackerFeedback.
enum : int {
  kFeedbackRecompute = 0x400,
  kFeedbackBegin = 0xC00,
  kFeedbackErase = 0x1000,
  kFeedbackRedraw = 0x2400,
  kFeedbackEnd = 0x4000
};

// Results of Track.
enum : int { kTrackRefused = -2, kTrackCancelled = -1, kTrackDone = 1, kTrackDoneControl = 2, kTrackNotMoved = 3 };

enum class TrackMouse { Move, LeftDown, LeftUp, RightDown, RightUp, Other };

// Modifier keys as they stand at a message.
struct TrackKeys {
  bool control = false;
  bool shift = false;
  bool alt = false;
  bool space = false;
};

// Keys the trackers look at.
enum class TrackKey { Escape, Control, Space, Other };

struct TrackEvent {
  enum class Kind { Mouse, KeyDown, KeyUp, Other, CaptureLost } kind = Kind::Other;
  TrackMouse mouse = TrackMouse::Move;
  int flags = 0;  // kMouse* flags of a mouse message
  PointF point;   // logical coordinates
  TrackKey key = TrackKey::Other;
  TrackKeys keys;  // the modifier keys at this message
};

// Inverting drawing of the feedback.
class TrackerCanvas {
 public:
  enum class Pen { Solid1, Solid2, Dotted };
  virtual ~TrackerCanvas() = default;
  virtual void Polygon(const std::vector<PointF>& corners, std::uint32_t colour, Pen pen) = 0;
  virtual void Path(const ShapePath& path, std::uint32_t colour, Pen pen) = 0;
  virtual void Rectangle(const RectI& rect, std::uint32_t colour, Pen pen) = 0;
  virtual void Ellipse(const RectI& rect, std::uint32_t colour, Pen pen) = 0;
  virtual void Line(PointF a, PointF b, std::uint32_t colour, Pen pen) = 0;
};

// The interaction behind a drag.
class TrackSource {
 public:
  virtual ~TrackSource() = default;
  // Whether another window holds the mouse already.
  virtual bool CaptureHeldElsewhere() = 0;
  virtual void Capture() = 0;
  virtual void Release() = 0;
  // Waits for the next message of the drag.
  virtual TrackEvent Next() = 0;
  // The canvas of the whole drag (may be null: no feedback drawn).
  virtual TrackerCanvas* Canvas() = 0;
  // A buffered canvas for one mouse message, shown on EndStep.
  virtual TrackerCanvas* BeginStep() { return Canvas(); }
  virtual void EndStep() {}
};

class CShapeTracker {
 public:
  virtual ~CShapeTracker() = default;

  // Runs a drag from `point`: kTrackRefused when the mouse is held elsewhere
  // or the drag cannot start or is taken away, kTrackCancelled, kTrackDone,
  // kTrackDoneControl, or kTrackNotMoved when a finished drag never moved.
  int Track(TrackSource& source, int flags, PointF point);

  virtual int OnBeginTrack(int flags, PointF point);
  virtual int OnEndTrack(int result) { return result; }
  virtual int OnMouseMessage(TrackMouse message, int flags, PointF point);
  virtual int OnKeyMessage(bool down, TrackKey key);
  virtual int OnOtherMessage() { return 0; }
  virtual void DrawTrackerFeedback(TrackerCanvas* canvas, int flags) {
    (void)canvas;
    (void)flags;
  }

  void SetKeyState(const TrackKeys& keys) { keys_ = keys; }
  const TrackKeys& KeyState() const { return keys_; }
  bool Tracking() const { return tracking_; }
  bool Moved() const { return moved_; }
  PointF CurrentPoint() const { return current_; }
  PointF PreviousPoint() const { return previous_; }
  PointF StartPoint() const { return start_; }

 protected:
  static int EndOfDrag(TrackMouse message, int flags);

  PointF current_, previous_, start_;
  bool tracking_ = false;
  bool moved_ = false;
  TrackKeys keys_;
};

// The rubber band of a new rectangle: drawn dotted from the press to the mouse.
class CRubberBandTracker : public CShapeTracker {
 public:
  void DrawTrackerFeedback(TrackerCanvas* canvas, int flags) override;
};

class CTransformTracker : public CShapeTracker {
 public:
  enum Mode : int { kNone = 0, kMove = 1, kScale = 2, kRotate = 3, kShear = 4, kMoveCentre = 5 };
  enum Style : std::uint32_t {
    kCtrlRotates = 0x01,
    kCtrlShears = 0x02,
    kMirror = 0x04,
    kAltPivot = 0x08,
    kCentreHandle = 0x10,
    kRotateAltInverted = 0x20,
    kDottedFrame = 0x40,
    kDottedOutline = 0x80,
    kDottedPath = 0x100,
  };
  // Cursor slots: 0/1 diagonal corners, 2/3 vertical/horizontal edges,
  // 4 centre, 5 move, 6 move with Ctrl, 7 rotate, 8/9 shear.
  static constexpr int kCursorCount = 10;
  static constexpr int kHitCentre = 8;
  static constexpr int kHitInside = 9;

  CTransformTracker() = default;

  void SetPath(const ShapePath& path, bool withCentre, TrackerCanvas* canvas = nullptr);
  void UseCompactFrame();
  void DrawFrame(TrackerCanvas* canvas) const;
  int HitTestHandles(PointF point) const;
  // Cursor slot for a hit code, as the key state stands.
  int CursorIndex(int code) const;
  // Sets the cursor for a hit code; false when that cursor is missing.
  bool SetCursor(int code);

  int OnBeginTrack(int flags, PointF point) override;
  int OnEndTrack(int result) override;
  int OnMouseMessage(TrackMouse message, int flags, PointF point) override;
  int OnKeyMessage(bool down, TrackKey key) override;
  void DrawTrackerFeedback(TrackerCanvas* canvas, int flags) override;
  virtual void SetStatusText(int kind, double a, double b);

  std::uint32_t style = 0xBF;
  std::uint32_t handleColour = 0xC0C0C0;
  std::uint32_t handleOutlineColour = 0, centreColour = 0, outlineColour = 0, pathColour = 0;
  bool yUp = false;

  bool HasShape() const { return hasShape_; }
  int Mode() const { return mode_; }
  int Handle() const { return handle_; }
  const Matrix& DragMatrix() const { return matrix_; }
  const std::string& StatusText() const { return status_; }
  const RectI& BoundingRect() const { return bounds_; }
  const std::array<PointF, 4>& SavedFrame() const { return savedFrame_; }
  const std::array<PointF, 4>& CurrentFrame() const { return currentFrame_; }
  PointF SavedCentre() const { return savedCentre_; }
  PointF CurrentCentre() const { return currentCentre_; }
  PointF PivotFrom() const { return pivotFrom_; }
  PointF PivotTo() const { return pivotTo_; }
  // The cursor slot last set (-1 before any).
  int LastCursor() const { return lastCursor_; }
  const ShapePath& TransformedPath() const { return transformed_; }

  // θ snapped to a multiple of 15 degrees in (-180, 180].
  static int SnapAngle(double theta);

 protected:
  // Shows a cursor slot; false when it is missing. The model only records it.
  virtual bool ApplyCursor(int index) {
    (void)index;
    return true;
  }

 private:
  bool AltPivotNow() const;
  void ComputePivot(bool alt);
  void UpdateHandleRects(bool withCentre);
  PointF HandlePoint(const std::array<PointF, 4>& frame, int code) const;
  RectI HandleRect(int code) const;
  void DrawCentreMarker(TrackerCanvas* canvas, PointF at, bool active) const;
  double FrameWidth() const { return savedFrame_[1].x - savedFrame_[0].x; }
  double FrameHeight() const { return savedFrame_[3].y - savedFrame_[0].y; }

  bool hasShape_ = false;
  bool altPivot_ = false;
  bool spacePanned_ = false;
  int mode_ = kNone;
  int handle_ = -1;
  ShapePath path_;
  ShapePath transformed_;
  RectI bounds_;
  std::array<PointF, 4> savedFrame_{}, currentFrame_{};
  PointF savedCentre_, currentCentre_;
  PointF pivotFrom_, pivotTo_;
  Matrix matrix_;
  double startAngle_ = 0.0;
  int handleSize_ = 4;
  int margin_ = 4;
  int cornerInflation_ = 2;
  int lastCursor_ = -1;
  std::string status_;
};

}  // namespace ORV::Video
