#pragma once
// The zone analysis: the measuring part of the analysis control, without its
// window.
//
// A caller defines up to four zones on the picture and feeds every shown
// grey frame to PrepareZones. Each zone of each frame becomes one task on the
// analysis workers; the results are applied strictly in the order the tasks
// were started, however the workers finish them: each result goes into the
// zone's three-frame history, the history mean plus the user's adjustments is
// written into the current per-frame record and raised as ZoneAnalysisData.
// The zone's column profile reaches the user-interface thread as RawZoneData
// (only the newest one of each zone per turn of its loop), and every ten
// seconds of a running experiment clock a thumbnail of the frame is raised
// as IndexImage.
//
// Threads: PrepareZones runs on the thread that grabbed the frame and raises
// IndexImage there; ZoneAnalysisData is raised on the worker that finished
// the task, under the zone lock; RawZoneData on the user-interface thread.
// The zone lock is recursive, so event handlers may call back in.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>

#include "analysis_control/analyse_image_task.h"
#include "analysis_control/analyse_images_threads.h"
#include "analysis_control/analysis_data.h"
#include "analysis_control/auto_threshold.h"
#include "analysis_control/thumbnail.h"
#include "analysis_control/zone_search.h"
#include "core/threading/ui_dispatcher.h"

namespace ORV {

namespace RelativeTime {
class Interface;
}

inline constexpr int kAnalysisZones = kAnalysisDataZones;  // the record has room for four
inline constexpr int kZoneRingSlots = 30;
inline constexpr std::int32_t kZoneHistoryLength = 3;
inline constexpr double kDefaultCutOff = 3.0;
inline constexpr double kMinCutOff = 1.0;
inline constexpr double kMaxCutOff = 6.0;
inline constexpr std::int32_t kDefaultThreshold = 128;
inline constexpr std::int16_t kDefaultMaxZones = 2;
inline constexpr std::uint32_t kThumbnailInterval = 10000;  // ms

// The edge of a zone that the keys and ChangeSelectedAutoTracking move.
enum ZoneEdge : std::int32_t {
  kEdgeNone = 0,
  kEdgeOuterLeft = 1,
  kEdgeLumenLeft = 2,
  kEdgeLumenRight = 3,
  kEdgeOuterRight = 4,
};

// The history rings, in their order in the zone record.
enum ZoneRing : int {
  kRingLumenLeft = 0,
  kRingLumenRight = 1,
  kRingOuterLeft = 2,
  kRingOuterRight = 3,
};

struct ZonePoint {
  int x = 0;
  int y = 0;
};

struct ZonePointF {
  float x = 0.0f;
  float y = 0.0f;
};

// One measurement zone.
struct AnalysisZone {
  // The outline: four corner points, possibly rotated; empty until the zone
  // is created.
  std::array<ZonePointF, 4> outline{};
  bool hasOutline = false;
  // The corners as the zone was created: top-left, top-right, bottom-left,
  // bottom-right. The third and fourth give the zone's left x and the right
  // limit for moving edges.
  std::array<ZonePoint, 4> corners{};
  std::int32_t adjustOuterLeft = 0;  // pixels added to the reported edges
  std::int32_t adjustOuterRight = 0;
  std::int32_t adjustInnerLeft = 0;
  std::int32_t adjustInnerRight = 0;
  float fixedLumenLeft = 0.0f;  // edges used instead of the search while auto-tracking is off
  float fixedOuterLeft = 0.0f;
  float fixedLumenRight = 0.0f;
  float fixedOuterRight = 0.0f;
  std::int32_t selectedEdge = kEdgeNone;
  bool autoTracking = true;
  std::int32_t threshold = kDefaultThreshold;  // stored and reported only
  std::int32_t innerThreshold = kDefaultThreshold;
  std::int32_t historyLength = kZoneHistoryLength;
  std::int32_t historyIndex = -1;  // slot of the newest applied result
  // Lumen left, lumen right, outer left, outer right; 0 is "no value".
  std::array<std::array<float, kZoneRingSlots>, 4> rings{};

  // Integer bounds of the outline (smallest and largest corner coordinates,
  // rounded outwards); all 0 for an empty outline.
  ZoneRect Bounds() const;
};

// The mean of one ring over the first historyLength slots, counting only
// values above 0: the integer part of sum / count + 0.5, or 0 without values.
std::int32_t ZoneHistoryMean(const AnalysisZone& zone, ZoneRing ring);

// What the analysis raises. Implemented by the host.
class AnalysisEvents {
 public:
  virtual ~AnalysisEvents() = default;
  // A zone's result of one frame: history means plus adjustments, pixels
  // from the left side of the zone's bounds.
  virtual void ZoneAnalysisData(int zone, int vesselLeft, int vesselRight, int lumenLeft, int lumenRight) = 0;
  // The newest column profile of a zone: one byte (255 - column mean) per column.
  virtual void RawZoneData(int zone, const std::uint8_t* data, int dataSize) = 0;
  // A thumbnail of the frame, rows padded to 4 bytes.
  virtual void IndexImage(std::uint32_t time, std::uint32_t width, std::uint32_t height, std::uint32_t imageSize,
                          const std::uint8_t* imageData) = 0;
};

class ZoneAnalysis {
 public:
  // `events` must outlive the analysis. Zone tasks go to `executor` (a pool
  // of analysis workers of its own when none is given); raw profiles are
  // delivered through `ui` (the process's installed dispatcher when none is
  // given; none at all drops them).
  explicit ZoneAnalysis(AnalysisEvents& events, std::shared_ptr<AnalysisTaskExecutor> executor = nullptr,
                        std::shared_ptr<Threading::UiDispatcher> ui = nullptr);
  // Nothing is raised after the destructor has returned; tasks still on
  // the workers finish without effect.
  ~ZoneAnalysis();
  ZoneAnalysis(const ZoneAnalysis&) = delete;
  ZoneAnalysis& operator=(const ZoneAnalysis&) = delete;

  // ---- frames ----

  // Cuts every zone out of the frame and starts one task per zone. A frame
  // that is not a valid picture is skipped. A zone reaching past the left or
  // top edge of the frame gives no result; one reaching past the right or
  // bottom edge is clipped there.
  void PrepareZones(const GreyImageView& frame);
  // The same for a frame whose pixels stay unchanged while `owner` is held:
  // nothing is copied, each task searches its zone in the frame and holds
  // the owner until it has run (null: as above).
  void PrepareZones(const GreyImageView& frame, std::shared_ptr<const void> owner);
  // The user-interface side of the raw profiles: raises RawZoneData for the
  // newest profile of each zone and drops the older ones. Runs through the dispatcher by
  // itself; callable directly on the user-interface thread.
  void OnRawZoneDataMessage();
  // Tasks started whose results have not been applied yet.
  std::size_t PendingTasks() const;

  // ---- clock and thumbnails ----

  // The host's experiment clock (may be null: then it never runs). The
  // caller keeps it alive while it is set.
  void SetRelativeTime(RelativeTime::Interface* clock);
  // No thumbnails while paused.
  void SetPaused(bool paused);
  // Capture has started at `clockTime`: the first thumbnail is due after it,
  // at the size that follows from the picture.
  void StartThumbnails(std::uint32_t clockTime, int pictureWidth, int pictureHeight);

  // ---- zones ----

  // Creates the next zone as the rectangle (left, top, width, height): its
  // outline and corners, its bounds in the current record, the zone count
  // (also in the record); zones whose auto-tracking is off lose their
  // selected edge. Returns the new zone's index, or -1 when the maximum
  // zone count is reached or the rectangle has a negative or overflowing
  // size.
  int AddZone(const ZoneRect& rect);
  // Drops every zone (the zone count becomes 0; the records stay).
  void RemoveAllZones();
  int GetZoneCount() const;
  // The maximum number of zones; kept within 0 to 4.
  void SetMaxZones(std::int16_t zones);
  std::int16_t GetMaxZones() const;
  // A copy of the zone record; a fresh one for an index outside 0 to 3.
  AnalysisZone GetZone(int zone) const;
  // Which edge of the zone ChangeSelectedAutoTracking moves (0 to 4).
  void SetSelectedEdge(int zone, std::int32_t edge);
  // The user moved, turned or resized an existing zone: its outline becomes
  // `outline` (picture pixels), its bounds and its angle (from the first two
  // corners, in degrees) go into the zone block of the current record, and
  // when the bounds' left side moved, every history value moves the other
  // way, so the found edges stay where they are in the picture.
  void SetZoneOutline(int zone, const std::array<ZonePointF, 4>& outline);

  // ---- settings (zone indices outside their range are ignored) ----

  // Cut-offs of zones 0 to 3, stored only when 1 <= cutOff <= 6; the
  // getters return 3.0 for other zones.
  void SetAnalysisCutOff(int zone, double cutOff);
  double GetAnalysisCutOff(int zone) const;
  void SetInnerAnalysisCutOff(int zone, double cutOff);
  double GetInnerAnalysisCutOff(int zone) const;
  // Thresholds of existing zones (0 <= zone < zone count); a value above 255
  // as unsigned, so also any negative one, keeps the old value. Stored only.
  void SetThreshold(int zone, std::int32_t value);
  void SetInnerThreshold(int zone, std::int32_t value);
  std::int32_t GetThresholdValue(int zone) const;  // 128 for a zone out of range
  // Adjustments of existing zones; the getters return 0 out of range.
  void SetInnerLeftAdjustment(int zone, std::int32_t adjustment);
  void SetInnerRightAdjustment(int zone, std::int32_t adjustment);
  void SetOuterLeftAdjustment(int zone, std::int32_t adjustment);
  void SetOuterRightAdjustment(int zone, std::int32_t adjustment);
  std::int32_t GetInnerLeftAdjustment(int zone) const;
  std::int32_t GetInnerRightAdjustment(int zone) const;
  std::int32_t GetOuterLeftAdjustment(int zone) const;
  std::int32_t GetOuterRightAdjustment(int zone) const;
  // Auto-tracking of zones 0 to 3. Switching it off fixes the edges at the
  // current means plus adjustments, or spreads them over the zone's width
  // when there is no history; switching it on clears the fixed edges.
  void SetAutoTrackingEnabled(int zone, bool enable);
  bool GetAutoTrackingEnabled(int zone) const;  // false out of range
  // Moves the selected fixed edge of zone 0 to 3 by delta pixels, within the
  // zone and without crossing its neighbouring edges.
  void ChangeSelectedAutoTracking(int zone, std::int16_t delta);
  // ignore > 0 skips the lumen search and sets ignoreLumen in the record.
  void IgnoreLumen(std::int16_t ignore);
  // Invert the zone pictures before the search.
  void InvertThreshold(bool invert);
  // Auto threshold (off until set): each zone's search chooses its own
  // cut-offs from the zone's picture (when switched on, for a new zone, and
  // after the user set one) and keeps them while they find the walls; the
  // getters above return the cut-offs in force.
  void EnableAutoThreshold(bool enable);
  // What the newest result of an existing zone said of the picture's light
  // (kMeasurable while its walls are found, and for other zones).
  PictureVerdict GetPictureVerdict(int zone) const;
  // A video file was opened: adjustments, fixed edges and selected edges to
  // 0 and thresholds to 128 in every zone record; auto-tracking stays.
  void ResetZoneSettings();

  // ---- the current per-frame record ----

  AnalysisData GetAnalysisData() const;
  // Changes the record under the zone lock (frame time, reset at the start
  // of a recording), so no applied result is lost meanwhile.
  void UpdateAnalysisData(const std::function<void(AnalysisData&)>& change);

  struct State;

 private:
  std::shared_ptr<State> state_;
};

}  // namespace ORV
