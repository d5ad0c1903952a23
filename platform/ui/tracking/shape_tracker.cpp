#include "platform/ui/tracking/shape_tracker.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

namespace ORV::Video {

namespace {

double AngleDegrees(double dy, double dx) { return std::atan2(dy, dx) * 180.0 / std::numbers::pi; }

PointF Middle(PointF a, PointF b) { return {(a.x + b.x) / 2.0, (a.y + b.y) / 2.0}; }

// A scale factor from a distance and the distance at the start; 1 when there
// was none at the start.
double Factor(double now, double atStart) { return atStart == 0.0 ? 1.0 : now / atStart; }

}  // namespace

// ---- CShapeTracker ----

int CShapeTracker::EndOfDrag(TrackMouse message, int flags) {
  if (message == TrackMouse::LeftUp) return (flags & kMouseControl) ? kTrackDoneControl : kTrackDone;
  if (message == TrackMouse::RightDown) return kTrackCancelled;
  return 0;
}

int CShapeTracker::OnBeginTrack(int, PointF) { return 0; }

int CShapeTracker::OnMouseMessage(TrackMouse message, int flags, PointF) { return EndOfDrag(message, flags); }

int CShapeTracker::OnKeyMessage(bool down, TrackKey key) {
  return down && key == TrackKey::Escape ? kTrackCancelled : 0;
}

int CShapeTracker::Track(TrackSource& source, int flags, PointF point) {
  if (source.CaptureHeldElsewhere()) return kTrackRefused;
  if (const int refused = OnBeginTrack(flags, point)) return refused;
  tracking_ = true;
  moved_ = false;
  current_ = previous_ = start_ = point;
  DrawTrackerFeedback(source.Canvas(), (flags & 127) | kFeedbackBegin);
  source.Capture();
  int result = 0;
  while (result == 0) {
    const TrackEvent event = source.Next();
    keys_ = event.keys;
    switch (event.kind) {
      case TrackEvent::Kind::CaptureLost:
        result = kTrackRefused;
        break;
      case TrackEvent::Kind::Mouse: {
        TrackerCanvas* step = source.BeginStep();
        DrawTrackerFeedback(step, flags | kFeedbackErase);
        previous_ = current_;
        current_ = event.point;
        if (!(current_ == previous_)) moved_ = true;
        result = OnMouseMessage(event.mouse, event.flags & 127, event.point);
        DrawTrackerFeedback(step, (event.flags & 127) | kFeedbackRedraw);
        source.EndStep();
        break;
      }
      case TrackEvent::Kind::KeyDown:
      case TrackEvent::Kind::KeyUp:
        result = OnKeyMessage(event.kind == TrackEvent::Kind::KeyDown, event.key);
        break;
      case TrackEvent::Kind::Other:
        result = OnOtherMessage();
        break;
    }
  }
  source.Release();
  tracking_ = false;
  DrawTrackerFeedback(source.Canvas(), flags | kFeedbackEnd);
  if (result > 0 && !moved_) result = kTrackNotMoved;
  return OnEndTrack(result);
}

// ---- CTransformTracker ----

int CTransformTracker::SnapAngle(double theta) {
  while (theta <= -180.0) theta += 360.0;
  long snapped = 15 * long(std::trunc((theta + 367.5) / 15.0));
  if (snapped > 180) {
    // floor division: the part above 181 in whole turns
    const long turns = (snapped - 181) >= 0 ? (snapped - 181) / 360 : -((180 - snapped) / 360) - 1;
    snapped -= 360 * (1 + turns);
  }
  return int(snapped);
}

void CTransformTracker::SetPath(const ShapePath& path, bool withCentre, TrackerCanvas* canvas) {
  path_ = path;
  transformed_ = path;
  const RectI bounds = path_.IntegerBounds();
  if (canvas) DrawFrame(canvas);
  bounds_ = bounds.Normalized();
  hasShape_ = !bounds_.IsEmpty();
  if (!hasShape_) return;
  bounds_ = bounds_.Inflated(margin_, margin_);
  UpdateHandleRects(withCentre);
  if (canvas) DrawFrame(canvas);
}

void CTransformTracker::UseCompactFrame() {
  if (hasShape_) bounds_ = bounds_.Inflated(1 - margin_, 1 - margin_);
  handleSize_ = 4;
  margin_ = 1;
  cornerInflation_ = 1;
  if (hasShape_) UpdateHandleRects(false);
}

void CTransformTracker::UpdateHandleRects(bool withCentre) {
  const RectI r = bounds_.Inflated(cornerInflation_, cornerInflation_);
  savedFrame_ = {PointF{double(r.left), double(r.top)}, PointF{double(r.right), double(r.top)},
                 PointF{double(r.right), double(r.bottom)}, PointF{double(r.left), double(r.bottom)}};
  savedCentre_ =
      withCentre ? PointF{(bounds_.left + bounds_.right) / 2.0, (bounds_.top + bounds_.bottom) / 2.0} : currentCentre_;
  currentFrame_ = savedFrame_;
  currentCentre_ = savedCentre_;
}

PointF CTransformTracker::HandlePoint(const std::array<PointF, 4>& frame, int code) const {
  if (code % 2 == 0) return frame[code / 2];
  return Middle(frame[code / 2], frame[(code / 2 + 1) % 4]);
}

RectI CTransformTracker::HandleRect(int code) const {
  if (code == kHitInside) return bounds_;
  const PointF p = code == kHitCentre ? savedCentre_ : HandlePoint(savedFrame_, code);
  const int l = int(std::lround(p.x)) - handleSize_ / 2;
  const int t = int(std::lround(p.y)) - handleSize_ / 2;
  return {l, t, l + handleSize_, t + handleSize_};
}

int CTransformTracker::HitTestHandles(PointF point) const {
  if (!hasShape_) return -1;
  for (int code = 0; code <= kHitInside; ++code) {
    if (!HandleRect(code).Contains(point)) continue;
    if (code == kHitCentre && !(style & kCentreHandle)) code = kHitInside;
    if (code == kHitInside && !path_.IsVisible(point)) return -1;
    return code;
  }
  return -1;
}

int CTransformTracker::CursorIndex(int code) const {
  const bool control = keys_.control;
  int index = 5;
  if (code == kHitCentre && (style & kCentreHandle)) {
    index = 4;
  } else if (keys_.space) {
    code = kHitInside;
  } else if (code >= 0 && code <= 7) {
    if (code % 2 == 0) {
      index = (code / 2) % 2;
      if ((control && (style & kCtrlRotates)) || mode_ == kRotate)
        index = 7;
      else if (yUp)
        index ^= 1;
    } else {
      index = (code == 1 || code == 5) ? 2 : 3;
      if ((control && (style & kCtrlShears)) || mode_ == kShear) index += 6;
    }
  }
  if (control && code == kHitInside) index = 6;
  return index;
}

bool CTransformTracker::SetCursor(int code) {
  lastCursor_ = CursorIndex(code);
  return ApplyCursor(lastCursor_);
}

bool CTransformTracker::AltPivotNow() const {
  bool alt = (style & kAltPivot) && keys_.alt;
  if (mode_ == kRotate && (style & kRotateAltInverted)) alt = !alt;
  return alt;
}

void CTransformTracker::ComputePivot(bool alt) {
  const int opposite = handle_ ^ 4;
  if (!alt && handle_ >= 0 && opposite >= 0 && opposite <= 7) {
    pivotFrom_ = HandlePoint(savedFrame_, opposite);
    pivotTo_ = HandlePoint(currentFrame_, opposite);
  } else {
    pivotFrom_ = savedCentre_;
    pivotTo_ = currentCentre_;
  }
  if (mode_ == kRotate && handle_ >= 0 && handle_ <= 7) {
    const PointF corner = HandlePoint(savedFrame_, handle_);
    startAngle_ = AngleDegrees(corner.y - pivotFrom_.y, corner.x - pivotFrom_.x);
  }
}

int CTransformTracker::OnBeginTrack(int flags, PointF point) {
  matrix_.Reset();
  if (!hasShape_) return kTrackRefused;
  handle_ = HitTestHandles(point);
  if (handle_ < 0) return kTrackRefused;
  if (handle_ == kHitCentre) {
    mode_ = kMoveCentre;
  } else if (handle_ == kHitInside) {
    mode_ = kMove;
  } else {
    mode_ = kScale;
    const bool corner = handle_ % 2 == 0;
    if (flags & kMouseControl) {
      if (corner && (style & kCtrlRotates)) mode_ = kRotate;
      if (!corner && (style & kCtrlShears)) mode_ = kShear;
    }
  }
  altPivot_ = AltPivotNow();
  ComputePivot(altPivot_);
  SetCursor(handle_);
  return 0;
}

int CTransformTracker::OnMouseMessage(TrackMouse message, int flags, PointF p) {
  const bool alt = AltPivotNow();
  if (alt != altPivot_) {
    altPivot_ = alt;
    ComputePivot(altPivot_);
  }
  const bool shift = flags & kMouseShift;
  const PointF s0 = start_;
  const PointF f = pivotFrom_, t = pivotTo_;
  if (keys_.space) {
    matrix_.Translate(p.x - previous_.x, p.y - previous_.y);
    SetStatusText(1, p.x, p.y);
    spacePanned_ = true;
    return EndOfDrag(message, flags);
  }
  if (spacePanned_) {
    ComputePivot(altPivot_);
    spacePanned_ = false;
  }
  if (shift && (mode_ == kMove || mode_ == kMoveCentre)) {
    const double dx = p.x - s0.x, dy = p.y - s0.y;
    if (std::abs(dx) > 2 * std::abs(dy))
      p.y = s0.y;
    else if (std::abs(dy) > 2 * std::abs(dx))
      p.x = s0.x;
    else if (std::abs(dx) > std::abs(dy))
      p.x = s0.x + std::copysign(std::abs(dy), dx);
    else
      p.y = s0.y + std::copysign(std::abs(dx), dy);
  }
  const double dx = p.x - t.x, dy = p.y - t.y;
  const double sx0 = s0.x - f.x, sy0 = s0.y - f.y;
  switch (mode_) {
    case kMove:
      matrix_.Reset();
      matrix_.Translate(p.x - s0.x, p.y - s0.y);
      SetStatusText(1, p.x, p.y);
      break;
    case kMoveCentre:
      savedCentre_ = currentCentre_ = p;
      SetStatusText(5, p.x, p.y);
      break;
    case kScale: {
      double sx = 1.0, sy = 1.0;
      const bool corner = handle_ % 2 == 0;
      const bool vertical = handle_ == 1 || handle_ == 5;
      if (corner || !vertical) sx = Factor(dx, sx0);
      if (corner || vertical) sy = Factor(dy, sy0);
      if (!(style & kMirror)) {
        sx = std::max(sx, 0.0);
        sy = std::max(sy, 0.0);
      }
      if (shift) {
        if (corner) {
          const double m = std::min(std::abs(sx), std::abs(sy));
          sx = std::copysign(m, sx);
          sy = std::copysign(m, sy);
        } else if (vertical) {
          sx = sy;
        } else {
          sy = sx;
        }
      }
      if (corner) {
        int index = ((handle_ / 2) % 2) ^ (yUp ? 1 : 0);
        index ^= (sy < 0 ? 1 : 0) ^ (sx < 0 ? 1 : 0);
        lastCursor_ = index;
        ApplyCursor(index);
      }
      matrix_.Reset();
      matrix_.Translate(-f.x, -f.y);
      matrix_.Scale(sx, sy);
      matrix_.Translate(t.x, t.y);
      SetStatusText(2, FrameWidth() * sx, FrameHeight() * sy);
      break;
    }
    case kRotate: {
      double theta = AngleDegrees(dy, dx) - startAngle_;
      while (theta <= -180.0) theta += 360.0;
      if (shift) theta = SnapAngle(theta);
      matrix_.Reset();
      matrix_.Translate(-f.x, -f.y);
      matrix_.Rotate(theta);
      matrix_.Translate(t.x, t.y);
      SetStatusText(3, yUp ? theta : -theta, 0);
      break;
    }
    case kShear: {
      double shearX = 0.0, shearY = 0.0, scaleX = 1.0, scaleY = 1.0;
      if (handle_ == 3 || handle_ == 7) {
        shearY = dx == 0.0 ? 0.0 : dy / dx;
        scaleX = Factor(dx, sx0);
        if (!(style & kMirror)) scaleX = std::max(scaleX, 0.0);
        SetStatusText(4, shearY * -100.0, 0);
      } else {
        shearX = dy == 0.0 ? 0.0 : dx / dy;
        scaleY = Factor(dy, sy0);
        if (!(style & kMirror)) scaleY = std::max(scaleY, 0.0);
        SetStatusText(4, shearX * -100.0, 0);
      }
      matrix_.Reset();
      matrix_.Translate(-f.x, -f.y);
      if (!shift) matrix_.Scale(scaleX, scaleY);
      matrix_.Shear(shearX, shearY);
      matrix_.Translate(t.x, t.y);
      break;
    }
    default:
      break;
  }
  return EndOfDrag(message, flags);
}

int CTransformTracker::OnKeyMessage(bool down, TrackKey key) {
  if (key == TrackKey::Control || key == TrackKey::Space) SetCursor(handle_);
  return CShapeTracker::OnKeyMessage(down, key);
}

int CTransformTracker::OnEndTrack(int result) {
  if (mode_ == kMoveCentre && result == kTrackDoneControl) result = kTrackDone;
  if (result < 0) {
    matrix_.Reset();
    currentFrame_ = savedFrame_;
  }
  mode_ = kNone;
  status_.clear();
  return result;
}

void CTransformTracker::SetStatusText(int kind, double a, double b) {
  char text[64];
  const int ia = int(a), ib = int(b);
  switch (kind) {
    case 1:
    case 5:
      std::snprintf(text, sizeof text, "x:%d  y:%d", ia, ib);
      break;
    case 2:
      std::snprintf(text, sizeof text, "%d \u00D7 %d", ia, ib);
      break;
    case 3:
      std::snprintf(text, sizeof text, "%d\u00B0", ia);
      break;
    case 4:
      std::snprintf(text, sizeof text, "%d%%", ia);
      break;
    default:
      text[0] = 0;
  }
  status_ = text;
}

void CTransformTracker::DrawCentreMarker(TrackerCanvas* canvas, PointF at, bool active) const {
  if (!canvas || !(style & kAltPivot)) return;
  const int cx = int(std::lround(at.x)), cy = int(std::lround(at.y));
  const int r = handleSize_ / 2 + (active ? 1 : 0);
  canvas->Ellipse({cx - r, cy - r, cx + r, cy + r}, centreColour, TrackerCanvas::Pen::Solid1);
  const double in = r, out = r + handleSize_;
  if (active && (style & kCentreHandle)) {
    const double d = in / std::numbers::sqrt2, e = out / std::numbers::sqrt2;
    for (int sx : {-1, 1})
      for (int sy : {-1, 1})
        canvas->Line({at.x + sx * d, at.y + sy * d}, {at.x + sx * e, at.y + sy * e}, centreColour,
                     TrackerCanvas::Pen::Solid1);
  } else {
    canvas->Line({at.x - out, at.y}, {at.x - in, at.y}, centreColour, TrackerCanvas::Pen::Solid1);
    canvas->Line({at.x + in, at.y}, {at.x + out, at.y}, centreColour, TrackerCanvas::Pen::Solid1);
    canvas->Line({at.x, at.y - out}, {at.x, at.y - in}, centreColour, TrackerCanvas::Pen::Solid1);
    canvas->Line({at.x, at.y + in}, {at.x, at.y + out}, centreColour, TrackerCanvas::Pen::Solid1);
  }
}

void CTransformTracker::DrawTrackerFeedback(TrackerCanvas* canvas, int flags) {
  if (handle_ == kHitCentre) {
    DrawCentreMarker(canvas, savedCentre_, true);
    return;
  }
  if (flags & kFeedbackRecompute) {
    for (int i = 0; i < 4; ++i) currentFrame_[i] = matrix_.Map(savedFrame_[i]);
    currentCentre_ = matrix_.Map(savedCentre_);
    transformed_ = path_;
    transformed_.Transform(matrix_);
  }
  if (!canvas) return;
  using Pen = TrackerCanvas::Pen;
  canvas->Polygon({currentFrame_.begin(), currentFrame_.end()}, outlineColour,
                  (style & kDottedOutline) ? Pen::Dotted : Pen::Solid1);
  canvas->Path(transformed_, pathColour, (style & kDottedPath) ? Pen::Dotted : Pen::Solid1);
  DrawCentreMarker(canvas, currentCentre_, true);
}

void CTransformTracker::DrawFrame(TrackerCanvas* canvas) const {
  if (!canvas || !hasShape_) return;
  using Pen = TrackerCanvas::Pen;
  canvas->Rectangle(bounds_, handleColour, (style & kDottedFrame) ? Pen::Dotted : Pen::Solid2);
  for (int code = 0; code < 8; ++code) canvas->Rectangle(HandleRect(code), handleOutlineColour, Pen::Solid2);
  DrawCentreMarker(canvas, savedCentre_, false);
}

void CRubberBandTracker::DrawTrackerFeedback(TrackerCanvas* canvas, int) {
  if (!canvas) return;
  canvas->Polygon({start_, {current_.x, start_.y}, current_, {start_.x, current_.y}}, 0, TrackerCanvas::Pen::Dotted);
}

}  // namespace ORV::Video
