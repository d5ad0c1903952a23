#pragma once
// What the analysis control's window does, without the window: the display
// scale between the window and the picture, the hit test of zones, the
// mouse and keys that draw, select, move and edit zones, the overlay of
// outlines, walls, lumen edges, numbers and the status label (as a list of
// shapes in window coordinates for the painter), and the repaint pacing.
//
// Threads: the user-interface thread, except FramePrepared (the grabbing
// thread) and ZoneResult (the analysis workers), which only count.
#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "analysis_control/capture_engine.h"

namespace ORV {

// The recording label while the clock runs, and while it stands.
inline constexpr const char* kRecordingLabel = "[ Recording ]";
inline constexpr const char* kPauseLabel = "[Pause]";

// Colours as 0xAARRGGBB.
inline constexpr std::uint32_t kDefaultZoneOutlineColor = 0xFF00008B;  // dark blue
inline constexpr std::uint32_t kDefaultWallColor = 0xFFFF0000;         // red
inline constexpr std::uint32_t kDefaultLumenColor = 0xFFADFF2F;        // yellow-green
inline constexpr std::uint32_t kZoneNumberFill = 0xFFFAEBD7;           // antique white

// An OLE colour (0x00BBGGRR) as an opaque 0xFFRRGGBB.
std::uint32_t OleColorToArgb(std::uint32_t ole);

struct ViewPoint {
  float x = 0.0f;
  float y = 0.0f;
  bool operator==(const ViewPoint&) const = default;
};

enum class OverlayPen { kOutline, kWall, kLumen };

struct OverlayLine {
  ViewPoint a, b;
  OverlayPen pen;
};
// An 8 x 8 square mark centred on an edge line.
struct OverlayMark {
  ViewPoint centre;
  OverlayPen brush;
};
// A zone's number in a filled circle.
struct OverlayNumber {
  ViewPoint centre;
  float diameter = 0.0f;
  std::string text;
};

// Everything drawn over the picture, in window coordinates.
struct Overlay {
  std::vector<OverlayLine> edges;
  std::vector<OverlayMark> marks;
  std::vector<std::array<ViewPoint, 4>> outlines;
  std::vector<OverlayNumber> numbers;
  int fontPixels = 0;           // zone numbers and the recording label
  std::string label;            // bottom right; empty for none
  bool recordingLabel = false;  // the recording label (else the video position)
};

// Raised by the view from the user's mouse work.
class ViewEvents {
 public:
  virtual ~ViewEvents() = default;
  // A zone was drawn: its corners top-left, top-right, bottom-left,
  // bottom-right in picture pixels, and its angle.
  virtual void ZoneCreated(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2, std::int32_t x3,
                           std::int32_t y3, std::int32_t x4, std::int32_t y4, float angle) = 0;
  virtual void ZoneSelected(std::int32_t zone) = 0;
};

class AnalysisViewModel {
 public:
  static constexpr int kHitMargin = 20;  // picture pixels around a zone's bounds
  static constexpr float kEdgePickDistance = 5.0f;
  static constexpr int kMinZoneWidth = 30;
  static constexpr int kMinZoneHeight = 10;
  static constexpr float kMarkSize = 8.0f;
  // The idle pictures: the large one from 300 pixels wide, the small one from 150.
  static constexpr int kIdleLarge = 207;
  static constexpr int kIdleSmall = 209;

  AnalysisViewModel(CaptureEngine& engine, ViewEvents& events) : engine_(engine), events_(events) {}

  // ---- display scale ----

  // The window's client size; the scale follows from it and the picture.
  void SetClientSize(int width, int height);
  int ClientWidth() const { return clientWidth_; }
  int ClientHeight() const { return clientHeight_; }
  float ScaleX() const;
  float ScaleY() const;
  ZonePoint ToPicture(ViewPoint p) const;
  // The idle picture for a window of this width: kIdleLarge, kIdleSmall or 0.
  static int IdlePicture(int clientWidth);

  // ---- zones and the mouse ----

  // From the last zone down, the first whose bounds grown by kHitMargin
  // contain the picture point; -1 for none.
  int HitTestZone(ZonePoint p) const;
  int SelectedZone() const { return selected_; }
  // No zone selected (the window was resized, capture stopped).
  void ClearSelection() { selected_ = -1; }

  enum class Press {
    kNothing,       // not capturing
    kDragOut,       // Shift held: the picture is dragged out of the window
    kRubberBand,    // no zone hit: draw a new one (FinishRubberBand, then FinishPress)
    kEdgeSelected,  // an edge of the zone was picked (FinishPress)
    kTrack,         // the zone follows the tracker (TrackerMoved, then FinishPress)
    kSelected,      // no zone hit and no room for another (FinishPress)
  };
  Press LeftDown(ViewPoint p, bool shift);
  // The rubber band went from `start` to `end` (window points): a zone when
  // it is at least kMinZoneWidth x kMinZoneHeight picture pixels.
  void FinishRubberBand(ViewPoint start, ViewPoint end);
  // The selected zone's outline in window coordinates (for the tracker).
  std::array<ViewPoint, 4> SelectedOutline() const;
  // The tracker moved, turned or resized the selected zone to `outline`
  // (window coordinates).
  void TrackerMoved(const std::array<ViewPoint, 4>& outline);
  // The press is over: raises ZoneSelected.
  void FinishPress();
  // The mouse moved with the left button held: drags the picked edge.
  void DragEdge(ViewPoint p);
  // An arrow key moved the picked edge by `delta`.
  void MoveEdge(std::int16_t delta);

  // ---- drawing ----

  void SetZoneBorderColor(std::uint32_t ole) { outlineColor_ = OleColorToArgb(ole); }
  void SetZoneOuterEdgeColor(std::uint32_t ole) { wallColor_ = OleColorToArgb(ole); }
  void SetZoneInnerEdgeColor(std::uint32_t ole) { lumenColor_ = OleColorToArgb(ole); }
  std::uint32_t ColorOf(OverlayPen pen) const;
  Overlay BuildOverlay() const;

  // ---- repaint pacing ----

  // A frame went to the analysis: true when the window is due a repaint.
  bool FramePrepared();
  // A zone result was applied.
  void ZoneResult() { counter_.fetch_add(1, std::memory_order_relaxed); }

 private:
  // The zone's wall or lumen lines and marks.
  void AddEdges(Overlay& overlay, const AnalysisZone& zone, const ZoneRect& bounds, bool lumen) const;
  ViewPoint ToWindow(ZonePointF p) const;

  CaptureEngine& engine_;
  ViewEvents& events_;
  int clientWidth_ = 0;
  int clientHeight_ = 0;
  int selected_ = -1;
  std::uint32_t outlineColor_ = kDefaultZoneOutlineColor;
  std::uint32_t wallColor_ = kDefaultWallColor;
  std::uint32_t lumenColor_ = kDefaultLumenColor;
  std::atomic<int> counter_{0};
};

}  // namespace ORV
