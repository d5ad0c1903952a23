#include "analysis_control/analysis_view.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace ORV {

std::uint32_t OleColorToArgb(std::uint32_t ole) {
  const std::uint32_t r = ole & 0xFF, g = (ole >> 8) & 0xFF, b = (ole >> 16) & 0xFF;
  return 0xFF000000u | (r << 16) | (g << 8) | b;
}

// ---- display scale ----

void AnalysisViewModel::SetClientSize(int width, int height) {
  clientWidth_ = width;
  clientHeight_ = height;
}

float AnalysisViewModel::ScaleX() const {
  const SharedCameraFrame::Image frame = engine_.ShownFrame();
  const int picture = frame ? frame->cols : engine_.GetWidth();
  return clientWidth_ > 0 ? static_cast<float>(picture) / static_cast<float>(clientWidth_) : 1.0f;
}

float AnalysisViewModel::ScaleY() const {
  const SharedCameraFrame::Image frame = engine_.ShownFrame();
  const int picture = frame ? frame->rows : engine_.GetHeight();
  return clientHeight_ > 0 ? static_cast<float>(picture) / static_cast<float>(clientHeight_) : 1.0f;
}

ZonePoint AnalysisViewModel::ToPicture(ViewPoint p) const {
  return {static_cast<int>(p.x * ScaleX() + 0.5f), static_cast<int>(p.y * ScaleY() + 0.5f)};
}

ViewPoint AnalysisViewModel::ToWindow(ZonePointF p) const { return {p.x / ScaleX(), p.y / ScaleY()}; }

int AnalysisViewModel::IdlePicture(int clientWidth) {
  return clientWidth >= 300 ? kIdleLarge : clientWidth >= 150 ? kIdleSmall : 0;
}

// ---- zones and the mouse ----

int AnalysisViewModel::HitTestZone(ZonePoint p) const {
  const ZoneAnalysis& analysis = engine_.Analysis();
  for (int z = analysis.GetZoneCount() - 1; z >= 0; --z) {
    const ZoneRect b = analysis.GetZone(z).Bounds();
    const std::int64_t left = std::int64_t{b.x} - kHitMargin, top = std::int64_t{b.y} - kHitMargin;
    const std::int64_t right = std::int64_t{b.x} + b.width + kHitMargin;
    const std::int64_t bottom = std::int64_t{b.y} + b.height + kHitMargin;
    if (p.x >= left && p.x < right && p.y >= top && p.y < bottom) return z;
  }
  return -1;
}

AnalysisViewModel::Press AnalysisViewModel::LeftDown(ViewPoint p, bool shift) {
  if (!engine_.IsCapturing()) return Press::kNothing;
  if (shift) return Press::kDragOut;
  ZoneAnalysis& analysis = engine_.Analysis();
  const ZonePoint at = ToPicture(p);
  const int zone = HitTestZone(at);
  if (zone != selected_) {
    for (int z = 0; z < kAnalysisZones; ++z) analysis.SetSelectedEdge(z, kEdgeNone);
  }
  selected_ = zone;
  if (zone < 0) {
    return analysis.GetZoneCount() < analysis.GetMaxZones() ? Press::kRubberBand : Press::kSelected;
  }
  // A click near a fixed edge picks it; the nearest within five pixels, the
  // lumen's edges first on a tie.
  const AnalysisZone z = analysis.GetZone(zone);
  const float x = static_cast<float>(at.x - analysis.GetAnalysisData().zones[zone].left);
  const struct {
    ZoneEdge edge;
    float position;
  } edges[] = {{kEdgeLumenLeft, z.fixedLumenLeft},
               {kEdgeLumenRight, z.fixedLumenRight},
               {kEdgeOuterLeft, z.fixedOuterLeft},
               {kEdgeOuterRight, z.fixedOuterRight}};
  float nearest = std::fabs(x - edges[0].position);
  for (const auto& e : edges) nearest = std::min(nearest, std::fabs(x - e.position));
  if (nearest > kEdgePickDistance) nearest = 0.0f;
  for (const auto& e : edges) {
    const float distance = std::fabs(x - e.position);
    if (e.position > 0.0f && distance == nearest && distance != 0.0f) {
      analysis.SetSelectedEdge(zone, e.edge);
      return Press::kEdgeSelected;
    }
  }
  return Press::kTrack;
}

void AnalysisViewModel::FinishRubberBand(ViewPoint start, ViewPoint end) {
  ZoneAnalysis& analysis = engine_.Analysis();
  const ZonePoint a = ToPicture(start), b = ToPicture(end);
  const int left = std::min(a.x, b.x), top = std::min(a.y, b.y);
  const int width = std::abs(b.x - a.x), height = std::abs(b.y - a.y);
  if (width >= kMinZoneWidth && height >= kMinZoneHeight) {
    const int zone = analysis.AddZone({left, top, width, height});
    if (zone >= 0) {
      const AnalysisZone z = analysis.GetZone(zone);
      events_.ZoneCreated(z.corners[0].x, z.corners[0].y, z.corners[1].x, z.corners[1].y, z.corners[2].x,
                          z.corners[2].y, z.corners[3].x, z.corners[3].y, 0.0f);
    }
  }
  for (int z = 0; z < analysis.GetZoneCount(); ++z) {
    if (!analysis.GetAutoTrackingEnabled(z)) analysis.SetSelectedEdge(z, kEdgeNone);
  }
}

std::array<ViewPoint, 4> AnalysisViewModel::SelectedOutline() const {
  std::array<ViewPoint, 4> out{};
  if (selected_ < 0) return out;
  const AnalysisZone z = engine_.Analysis().GetZone(selected_);
  for (int i = 0; i < 4; ++i) out[i] = ToWindow(z.outline[i]);
  return out;
}

void AnalysisViewModel::TrackerMoved(const std::array<ViewPoint, 4>& outline) {
  if (selected_ < 0) return;
  std::array<ZonePointF, 4> picture{};
  const float sx = ScaleX(), sy = ScaleY();
  for (int i = 0; i < 4; ++i) picture[i] = {outline[i].x * sx, outline[i].y * sy};
  engine_.Analysis().SetZoneOutline(selected_, picture);
}

void AnalysisViewModel::FinishPress() { events_.ZoneSelected(selected_); }

void AnalysisViewModel::DragEdge(ViewPoint p) {
  if (selected_ < 0) return;
  ZoneAnalysis& analysis = engine_.Analysis();
  const AnalysisZone z = analysis.GetZone(selected_);
  if (z.autoTracking || z.selectedEdge == kEdgeNone) return;
  const AnalysisZoneBlock block = analysis.GetAnalysisData().zones[selected_];
  const int x = ToPicture(p).x;
  if (x >= block.right) return;
  float current = 0.0f;
  switch (z.selectedEdge) {
    case kEdgeOuterLeft:
      current = z.fixedOuterLeft;
      break;
    case kEdgeLumenLeft:
      current = z.fixedLumenLeft;
      break;
    case kEdgeLumenRight:
      current = z.fixedLumenRight;
      break;
    default:
      current = z.fixedOuterRight;
      break;
  }
  const std::int64_t delta = std::int64_t{x} - block.left - static_cast<std::int64_t>(current);
  if (delta == 0 || delta < INT16_MIN || delta > INT16_MAX) return;
  analysis.ChangeSelectedAutoTracking(selected_, static_cast<std::int16_t>(delta));
}

void AnalysisViewModel::MoveEdge(std::int16_t delta) {
  if (selected_ < 0) return;
  const AnalysisZone z = engine_.Analysis().GetZone(selected_);
  if (z.autoTracking || z.selectedEdge == kEdgeNone) return;
  engine_.Analysis().ChangeSelectedAutoTracking(selected_, delta);
}

// ---- drawing ----

std::uint32_t AnalysisViewModel::ColorOf(OverlayPen pen) const {
  switch (pen) {
    case OverlayPen::kWall:
      return wallColor_;
    case OverlayPen::kLumen:
      return lumenColor_;
    default:
      return outlineColor_;
  }
}

void AnalysisViewModel::AddEdges(Overlay& overlay, const AnalysisZone& z, const ZoneRect& b, bool lumen) const {
  const float sx = ScaleX(), sy = ScaleY();
  float left = 0.0f, right = 0.0f;
  if (z.autoTracking) {
    const std::int32_t meanLeft = ZoneHistoryMean(z, lumen ? kRingLumenLeft : kRingOuterLeft);
    const std::int32_t meanRight = ZoneHistoryMean(z, lumen ? kRingLumenRight : kRingOuterRight);
    if (meanLeft == 0 || meanRight == 0) return;
    left = static_cast<float>(b.x + (lumen ? z.adjustInnerLeft : z.adjustOuterLeft) + meanLeft);
    right = static_cast<float>(b.x + (lumen ? z.adjustInnerRight : z.adjustOuterRight) + meanRight);
  } else {
    const float fixedLeft = lumen ? z.fixedLumenLeft : z.fixedOuterLeft;
    const float fixedRight = lumen ? z.fixedLumenRight : z.fixedOuterRight;
    // Without both fixed outer edges nothing is fixed yet.
    if (z.fixedOuterLeft == 0.0f || z.fixedOuterRight == 0.0f) return;
    left = static_cast<float>(b.x) + fixedLeft;
    right = static_cast<float>(b.x) + fixedRight;
  }
  const float top = static_cast<float>(b.y) / sy;
  const float bottom = static_cast<float>(std::int64_t{b.y} + b.height) / sy;
  const OverlayPen pen = lumen ? OverlayPen::kLumen : OverlayPen::kWall;
  const float xs[2] = {std::floor(left / sx + 0.5f), std::floor(right / sx + 0.5f)};
  for (float x : xs) overlay.edges.push_back({{x, top}, {x, bottom}, pen});
  const ZoneEdge leftEdge = lumen ? kEdgeLumenLeft : kEdgeOuterLeft;
  const ZoneEdge rightEdge = lumen ? kEdgeLumenRight : kEdgeOuterRight;
  if (z.selectedEdge == leftEdge || z.selectedEdge == rightEdge) {
    const float x = xs[z.selectedEdge == leftEdge ? 0 : 1];
    for (int quarter = 1; quarter <= 3; ++quarter)
      overlay.marks.push_back({{x, top + (bottom - top) * static_cast<float>(quarter) / 4.0f}, pen});
  }
}

Overlay AnalysisViewModel::BuildOverlay() const {
  Overlay overlay;
  overlay.fontPixels = static_cast<int>(static_cast<double>(clientWidth_) / 300.0 * 10.0);
  const ZoneAnalysis& analysis = engine_.Analysis();
  const bool ignoreLumen = analysis.GetAnalysisData().ignoreLumen != 0;
  const int count = analysis.GetZoneCount();
  for (int zone = 0; zone < count; ++zone) {
    const AnalysisZone z = analysis.GetZone(zone);
    const ZoneRect bounds = z.Bounds();
    AddEdges(overlay, z, bounds, false);
    if (!ignoreLumen) AddEdges(overlay, z, bounds, true);
    std::array<ViewPoint, 4> outline{};
    for (int i = 0; i < 4; ++i) outline[i] = ToWindow(z.outline[i]);
    overlay.outlines.push_back(outline);
    if (count > 1 && zone != selected_) {
      char text[16];
      std::snprintf(text, sizeof text, "%d", zone + 1);
      overlay.numbers.push_back({outline[0], static_cast<float>(overlay.fontPixels), text});
    }
  }
  if (engine_.IsRecording()) {
    overlay.label = engine_.ClockRunning() ? kRecordingLabel : kPauseLabel;
    overlay.recordingLabel = true;
  } else {
    overlay.label = engine_.VideoPositionText();
  }
  return overlay;
}

// ---- repaint pacing ----

bool AnalysisViewModel::FramePrepared() {
  const int divisor = engine_.GetRepaintDivisor();
  int counter = counter_.load(std::memory_order_relaxed);
  for (;;) {
    const bool due = counter + 1 >= divisor;
    const int next = due ? 0 : counter + 2;
    if (counter_.compare_exchange_weak(counter, next, std::memory_order_relaxed)) return due;
  }
}

}  // namespace ORV
