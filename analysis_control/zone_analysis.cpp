#include "analysis_control/zone_analysis.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <deque>
#include <mutex>
#include <span>
#include <utility>
#include <vector>

#include "analysis_control/brief_lock.h"
#include "core/storage/relative_time.h"
#include "core/threading/newest_value.h"
#include "platform/os/tick_source.h"

namespace ORV {

namespace {

// Integer part of a float, held within the int range (the conversion of a
// value outside it would be undefined).
std::int32_t TruncateToInt(float value) {
  if (std::isnan(value)) return 0;
  if (value <= static_cast<float>(INT_MIN)) return INT_MIN;
  if (value >= static_cast<float>(INT_MAX)) return INT_MAX;
  return static_cast<std::int32_t>(value);
}

// Adds as the 32-bit machine does, so a host's extreme adjustment wraps
// instead of overflowing.
std::int32_t AddWrapping(std::int32_t a, std::int32_t b) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

}  // namespace

struct ZoneAnalysis::State {
  AnalysisEvents* events = nullptr;
  std::shared_ptr<AnalysisTaskExecutor> executor;
  std::shared_ptr<Threading::UiDispatcher> ui;
  std::weak_ptr<State> self;
  std::atomic<RelativeTime::Interface*> clock{nullptr};

  // The zone lock guards everything up to the raw-profile part.
  mutable std::recursive_mutex zoneLock;
  bool closed = false;
  std::array<AnalysisZone, kAnalysisZones> zones{};
  std::array<double, kAnalysisZones> outerCutOff{kDefaultCutOff, kDefaultCutOff, kDefaultCutOff, kDefaultCutOff};
  std::array<double, kAnalysisZones> innerCutOff{kDefaultCutOff, kDefaultCutOff, kDefaultCutOff, kDefaultCutOff};
  bool ignoreLumen = false;
  bool invert = false;
  // Off until the host says otherwise (it sets it from its configuration),
  // so a host that never asks gets the cut-offs it set.
  bool autoThreshold = false;
  // Per zone, whether its cut-offs are ones auto threshold chose (and keeps
  // while they work) rather than the defaults or the user's.
  std::array<bool, kAnalysisZones> ownOuterCutOff{}, ownInnerCutOff{};
  // Per zone, what the newest applied result said of the picture's light.
  std::array<PictureVerdict, kAnalysisZones> picture{};
  bool paused = false;
  int zoneCount = 0;
  std::int16_t maxZones = kDefaultMaxZones;
  AnalysisData record;
  // Started tasks in start order; results leave from the front only.
  std::deque<std::shared_ptr<AnalyseImageAsyncTask>> pending;
  // Tasks finished since results were last applied, and whether a worker
  // is applying them now (read without the lock; see the completion).
  std::atomic<std::int64_t> unapplied{0};
  std::atomic<bool> applying{false};
  std::int64_t taskCounter = 0;
  ThumbnailSize thumbnailSize;
  std::uint32_t nextThumbnail = 0;  // 0: capture has not started
  // The crop buffers of applied tasks, kept per zone for the next frames,
  // so that a long run costs what its first frames cost: a large zone's crop
  // made anew for every frame would be mapped, page-faulted in and returned
  // to the system each time.
  static constexpr std::size_t kSpareCropsPerZone = 8;
  std::array<std::vector<std::vector<std::uint8_t>>, kAnalysisZones> spareCrops;

  // Raw profiles: the newest of each zone is delivered, so a zone whose
  // profiles come often does not hide the others'.
  std::array<Threading::NewestValue<std::vector<std::uint8_t>>, kAnalysisZones> newestRaw;
  // Held while RawZoneData is raised, so closing waits for a delivery under
  // way.
  std::mutex deliveryMutex;
  std::atomic<bool> rawClosed{false};

  bool IsZone(int zone) const { return zone >= 0 && zone < kAnalysisZones; }
  bool IsExistingZone(int zone) const { return zone >= 0 && zone < zoneCount; }
};

namespace {

using State = ZoneAnalysis::State;

void DeliverRawZoneData(State& s, int zone) {
  std::lock_guard delivery(s.deliveryMutex);
  std::vector<std::uint8_t> data;
  if (s.rawClosed || !s.newestRaw[zone].Take(data)) return;
  s.events->RawZoneData(zone, data.data(), static_cast<int>(data.size()));
}

void QueueRawProfile(State& s, int zone, std::vector<std::uint8_t> data) {
  if (s.rawClosed) return;
  // The zone's first profile since its last delivery posts one; the
  // profiles that follow before it runs only replace the one it will take.
  s.newestRaw[zone].Put(std::move(data), [&s, zone] {
    std::shared_ptr<Threading::UiDispatcher> ui = s.ui ? s.ui : Threading::GetUiDispatcher();
    std::weak_ptr<State> weak = s.self;
    // No user-interface thread to deliver to: the profile is dropped.
    return ui && ui->Post([weak, zone] {
      if (std::shared_ptr<State> state = weak.lock()) DeliverRawZoneData(*state, zone);
    });
  });
}

// Applies one finished task, under the zone lock. The zone's ring advances
// here, as results are applied in start order, so every result lands in the
// slot after the one before it however many frames were in flight.
void ApplyResult(State& s, AnalyseImageAsyncTask& task) {
  if (!s.IsZone(task.zone)) return;
  // The search has ended with the task's run: its crop serves a later frame.
  std::vector<std::vector<std::uint8_t>>& spares = s.spareCrops[task.zone];
  if (spares.size() < State::kSpareCropsPerZone && task.crop.pixels.capacity() > 0) {
    spares.push_back(std::move(task.crop.pixels));
  }
  // The cut-offs an auto-threshold run chose are the zone's from now on,
  // unless auto threshold was switched off meanwhile.
  if (task.autoThreshold && s.autoThreshold) {
    if (task.chosenOuterCutOff > 0.0) {
      s.outerCutOff[task.zone] = task.chosenOuterCutOff;
      s.ownOuterCutOff[task.zone] = true;
    }
    if (task.chosenInnerCutOff > 0.0) {
      s.innerCutOff[task.zone] = task.chosenInnerCutOff;
      s.ownInnerCutOff[task.zone] = true;
    }
  }
  if (task.hasResult) s.picture[task.zone] = task.found ? PictureVerdict::kMeasurable : PictureVerdict{task.picture};
  AnalysisZone& zone = s.zones[task.zone];
  const int length = std::clamp(zone.historyLength, 1, kZoneRingSlots);
  zone.historyIndex = (zone.historyIndex + 1 >= length || zone.historyIndex < 0) ? 0 : zone.historyIndex + 1;
  const int slot = zone.historyIndex;
  for (auto& ring : zone.rings) ring[slot] = 0.0f;
  if (!task.hasResult) return;

  if (task.found) {
    zone.rings[kRingOuterLeft][slot] = static_cast<float>(task.outerLeft);
    zone.rings[kRingOuterRight][slot] = static_cast<float>(task.outerRight);
    zone.rings[kRingLumenLeft][slot] = static_cast<float>(task.lumenLeft);
    zone.rings[kRingLumenRight][slot] = static_cast<float>(task.lumenRight);
  }
  std::int32_t vesselLeft = ZoneHistoryMean(zone, kRingOuterLeft);
  std::int32_t vesselRight = ZoneHistoryMean(zone, kRingOuterRight);
  std::int32_t lumenLeft = ZoneHistoryMean(zone, kRingLumenLeft);
  std::int32_t lumenRight = ZoneHistoryMean(zone, kRingLumenRight);
  if (task.analyse) {
    // An edge not found (0) stays not found: the user's fine adjustment
    // moves found edges only, never makes a position out of nothing.
    const auto adjusted = [](std::int32_t edge, std::int32_t adjustment) {
      return edge != 0 ? AddWrapping(edge, adjustment) : 0;
    };
    vesselLeft = adjusted(vesselLeft, zone.adjustOuterLeft);
    vesselRight = adjusted(vesselRight, zone.adjustOuterRight);
    lumenLeft = adjusted(lumenLeft, zone.adjustInnerLeft);
    lumenRight = adjusted(lumenRight, zone.adjustInnerRight);
  }
  AnalysisZoneBlock& block = s.record.zones[task.zone];
  block.outerLeft = vesselLeft;
  block.outerRight = vesselRight;
  block.lumenLeft = lumenLeft;
  block.lumenRight = lumenRight;
  s.events->ZoneAnalysisData(task.zone, vesselLeft, vesselRight, lumenLeft, lumenRight);

  if (!task.rawProfile.empty()) QueueRawProfile(s, task.zone, std::move(task.rawProfile));
}

// Applies the finished tasks at the front of the start order and stops at
// the first one still running, so results are applied strictly in start
// order. Under the zone lock.
void ApplyFinishedTasks(State& s) {
  if (s.closed) return;
  while (!s.pending.empty()) {
    if (s.pending.front()->done.load(std::memory_order_acquire) == 0) break;
    std::shared_ptr<AnalyseImageAsyncTask> task = std::move(s.pending.front());
    s.pending.pop_front();
    ApplyResult(s, *task);
  }
}

// The completion of every task, on the worker that ran it. While one worker
// applies results, a worker that finishes meanwhile leaves its result to it
// rather than waiting for the lock: it counts the result as unapplied, and
// the applying worker looks at that count again before it stops applying
// and once more after. (One looks at the other's flag after setting its own:
// with both in one order, either the late worker sees that nobody applies
// and takes the lock itself, or the applying worker sees its count.)
void OnAnalyseImageAsyncTaskFinished(State& s) {
  s.unapplied.fetch_add(1);
  for (;;) {
    std::unique_lock lock(s.zoneLock, std::try_to_lock);
    if (!lock.owns_lock()) {
      if (s.applying.load()) return;
      lock = LockBriefly(s.zoneLock);  // held by the capture thread or the host
    }
    s.applying.store(true);
    while (s.unapplied.exchange(0) != 0) ApplyFinishedTasks(s);
    s.applying.store(false);
    lock.unlock();
    if (s.unapplied.load() == 0) return;
  }
}

// The part of the zone's bounds inside the frame. Bounds reaching past the
// right or bottom edge are cut there; bounds reaching past the left or top
// edge give an empty crop, because edges found in a shifted crop would not
// be positions within the zone.
ZoneRect ClipCrop(const ZoneRect& bounds, int frameWidth, int frameHeight) {
  if (bounds.x < 0 || bounds.y < 0) return {bounds.x, bounds.y, 0, 0};
  const std::int64_t width = std::min<std::int64_t>(bounds.width, std::int64_t{frameWidth} - bounds.x);
  const std::int64_t height = std::min<std::int64_t>(bounds.height, std::int64_t{frameHeight} - bounds.y);
  return {bounds.x, bounds.y, static_cast<int>(std::max<std::int64_t>(width, 0)),
          static_cast<int>(std::max<std::int64_t>(height, 0))};
}

// What a zone's task needs of the zone record, taken under the zone lock.
struct ZoneJob {
  int zone = 0;
  ZoneRect crop;
  double outerCutOff = kDefaultCutOff;
  double innerCutOff = kDefaultCutOff;
  bool analyse = true;
  bool autoThreshold = false;
  bool keepOuterCutOff = false, keepInnerCutOff = false;
  std::int32_t fixedOuterLeft = 0, fixedOuterRight = 0, fixedLumenLeft = 0, fixedLumenRight = 0;
  GreyImage pixels;
};

// A job whose crop is to be copied takes a kept crop buffer.
ZoneJob TakeZoneJob(State& s, int i, const GreyImageView& frame, bool copied) {
  const AnalysisZone& zone = s.zones[i];
  ZoneJob job;
  job.zone = i;
  if (copied && !s.spareCrops[i].empty()) {
    job.pixels.pixels = std::move(s.spareCrops[i].back());
    s.spareCrops[i].pop_back();
  }
  job.crop = ClipCrop(zone.Bounds(), frame.width, frame.height);
  job.outerCutOff = s.outerCutOff[i];
  job.innerCutOff = s.innerCutOff[i];
  job.analyse = zone.autoTracking;
  job.autoThreshold = s.autoThreshold;
  job.keepOuterCutOff = s.ownOuterCutOff[i];
  job.keepInnerCutOff = s.ownInnerCutOff[i];
  job.fixedOuterLeft = TruncateToInt(zone.fixedOuterLeft);
  job.fixedOuterRight = TruncateToInt(zone.fixedOuterRight);
  job.fixedLumenLeft = TruncateToInt(zone.fixedLumenLeft);
  job.fixedLumenRight = TruncateToInt(zone.fixedLumenRight);
  return job;
}

// Arms the zone's task and puts it in the start order, under the zone lock.
// With a frame owner the task searches the frame itself.
std::shared_ptr<AnalyseImageAsyncTask> ArmZoneTask(State& s, ZoneJob& job, std::uint32_t time,
                                                   const GreyImageView& frame,
                                                   const std::shared_ptr<const void>& owner) {
  std::shared_ptr<AnalyseImageAsyncTask> task = CreateZoneTask(++s.taskCounter);
  std::weak_ptr<State> weak = s.self;
  task->completion = [weak](std::int32_t) {
    if (std::shared_ptr<State> state = weak.lock()) OnAnalyseImageAsyncTaskFinished(*state);
  };
  task->cropRect = job.crop;
  task->crop = std::move(job.pixels);
  if (owner) {
    task->frame = frame;
    task->frameOwner = owner;
  }
  task->zone = job.zone;
  task->outerCutOff = job.outerCutOff;
  task->innerCutOff = job.innerCutOff;
  task->time = time;
  task->invert = s.invert ? 1 : 0;
  task->ignoreLumen = s.ignoreLumen ? 1 : 0;
  task->analyse = job.analyse ? 1 : 0;
  task->autoThreshold = job.autoThreshold ? 1 : 0;
  task->keepOuterCutOff = job.keepOuterCutOff ? 1 : 0;
  task->keepInnerCutOff = job.keepInnerCutOff ? 1 : 0;
  if (!task->analyse) {
    task->outerLeft = job.fixedOuterLeft;
    task->outerRight = job.fixedOuterRight;
    task->lumenLeft = job.fixedLumenLeft;
    task->lumenRight = job.fixedLumenRight;
  }

  s.pending.push_back(task);
  return task;
}

// Hands a frame's armed tasks to the workers, outside the zone lock: a
// worker that finishes a task meanwhile applies its result without waiting
// for the frame's other zones to be queued.
void QueueZoneTasks(State& s, std::span<const std::shared_ptr<Threading::AsyncTask>> tasks) {
  const std::size_t taken = s.executor->QueueAll(tasks);
  if (taken == tasks.size()) return;
  // No worker can run the rest: they end here without a result, so the
  // tasks behind them are not held back.
  for (std::size_t i = taken; i < tasks.size(); ++i) {
    auto& task = static_cast<AnalyseImageAsyncTask&>(*tasks[i]);
    task.hasResult = 0;
    task.done.store(1, std::memory_order_release);
  }
  OnAnalyseImageAsyncTaskFinished(s);
}

void RaiseIndexImageWhenDue(State& s, const GreyImageView& frame) {
  // The clock is read outside the zone lock: its own lock is held while it
  // notifies subscribers, which may call in here.
  RelativeTime::Interface* clock = s.clock.load();
  if (!clock || !clock->IsRunning()) return;
  const std::uint32_t tick = OS::GetTickCount();
  const std::uint32_t now = clock->Now();
  ThumbnailSize size;
  {
    std::lock_guard lock(s.zoneLock);
    // The due time is compared modulo 2^32, like every tick count.
    if (s.closed || s.paused || s.nextThumbnail == 0 || static_cast<std::int32_t>(tick - s.nextThumbnail) <= 0) {
      return;
    }
    size = s.thumbnailSize;
    s.nextThumbnail += kThumbnailInterval;
  }
  const std::vector<std::uint8_t> pixels = MakeThumbnail(frame, size.width, size.height);
  if (pixels.empty()) return;
  s.events->IndexImage(now, static_cast<std::uint32_t>(size.width), static_cast<std::uint32_t>(size.height),
                       static_cast<std::uint32_t>(pixels.size()), pixels.data());
}

}  // namespace

// ---- zone record ----

ZoneRect AnalysisZone::Bounds() const {
  if (!hasOutline) return {};
  float minX = outline[0].x, maxX = outline[0].x, minY = outline[0].y, maxY = outline[0].y;
  for (const ZonePointF& p : outline) {
    minX = std::min(minX, p.x);
    maxX = std::max(maxX, p.x);
    minY = std::min(minY, p.y);
    maxY = std::max(maxY, p.y);
  }
  const std::int32_t left = TruncateToInt(std::floor(minX));
  const std::int32_t top = TruncateToInt(std::floor(minY));
  const std::int64_t width = std::int64_t{TruncateToInt(std::ceil(maxX))} - left;
  const std::int64_t height = std::int64_t{TruncateToInt(std::ceil(maxY))} - top;
  return {left, top, static_cast<int>(std::min<std::int64_t>(width, INT_MAX)),
          static_cast<int>(std::min<std::int64_t>(height, INT_MAX))};
}

std::int32_t ZoneHistoryMean(const AnalysisZone& zone, ZoneRing ring) {
  const int length = std::clamp(zone.historyLength, 0, kZoneRingSlots);
  float sum = 0.0f;
  float count = 0.0f;
  for (int i = 0; i < length; ++i) {
    const float value = zone.rings[ring][i];
    if (value > 0.0f) {
      sum += value;
      count += 1.0f;
    }
  }
  if (count == 0.0f) return 0;
  return TruncateToInt(sum / count + 0.5f);
}

// ---- analysis ----

ZoneAnalysis::ZoneAnalysis(AnalysisEvents& events, std::shared_ptr<AnalysisTaskExecutor> executor,
                           std::shared_ptr<Threading::UiDispatcher> ui)
    : state_(std::make_shared<State>()) {
  state_->events = &events;
  state_->executor = executor ? std::move(executor) : AnalyseImagesThreads::Create();
  state_->ui = std::move(ui);
  state_->self = state_;
}

ZoneAnalysis::~ZoneAnalysis() {
  State& s = *state_;
  {
    // Taking the lock waits for a completion that is applying results.
    std::lock_guard lock(s.zoneLock);
    s.closed = true;
    s.pending.clear();
  }
  std::lock_guard delivery(s.deliveryMutex);
  s.rawClosed = true;
  for (auto& raw : s.newestRaw) raw.Clear();
}

void ZoneAnalysis::PrepareZones(const GreyImageView& frame) { PrepareZones(frame, nullptr); }

void ZoneAnalysis::PrepareZones(const GreyImageView& frame, std::shared_ptr<const void> owner) {
  if (!frame.IsValid() || frame.width == 0 || frame.height == 0) return;
  State& s = *state_;
  RaiseIndexImageWhenDue(s, frame);
  RelativeTime::Interface* clock = s.clock.load();
  const std::uint32_t time = clock ? clock->Now() : 0;

  // The zones are read under the zone lock, the crops of a frame without an
  // owner copied outside it so that results are not held up meanwhile, and
  // the tasks then put in start order in zone order and queued outside it.
  std::array<ZoneJob, kAnalysisZones> jobs;
  int count = 0;
  std::unique_lock lock = LockBriefly(s.zoneLock);
  if (s.closed) return;
  for (; count < std::min(s.zoneCount, kAnalysisZones); ++count) jobs[count] = TakeZoneJob(s, count, frame, !owner);
  if (!owner) {
    lock.unlock();
    for (int i = 0; i < count; ++i) CutCrop(frame, jobs[i].crop, jobs[i].pixels);
    lock.lock();
  }
  std::array<std::shared_ptr<Threading::AsyncTask>, kAnalysisZones> tasks;
  for (int i = 0; i < count; ++i) {
    if (s.closed) return;
    tasks[i] = ArmZoneTask(s, jobs[i], time, frame, owner);
  }
  lock.unlock();
  QueueZoneTasks(s, std::span(tasks.data(), static_cast<std::size_t>(count)));
}

void ZoneAnalysis::OnRawZoneDataMessage() {
  for (int zone = 0; zone < kAnalysisZones; ++zone) DeliverRawZoneData(*state_, zone);
}

std::size_t ZoneAnalysis::PendingTasks() const {
  std::lock_guard lock(state_->zoneLock);
  return state_->pending.size();
}

void ZoneAnalysis::SetRelativeTime(RelativeTime::Interface* clock) { state_->clock.store(clock); }

void ZoneAnalysis::SetPaused(bool paused) {
  std::lock_guard lock(state_->zoneLock);
  state_->paused = paused;
}

void ZoneAnalysis::StartThumbnails(std::uint32_t clockTime, int pictureWidth, int pictureHeight) {
  std::lock_guard lock(state_->zoneLock);
  state_->nextThumbnail = clockTime;
  state_->thumbnailSize = ThumbnailSizeFor(pictureWidth, pictureHeight);
}

// ---- zones ----

int ZoneAnalysis::AddZone(const ZoneRect& r) {
  State& s = *state_;
  std::lock_guard lock(s.zoneLock);
  if (s.zoneCount >= s.maxZones || s.zoneCount >= kAnalysisZones) return -1;
  if (r.width < 0 || r.height < 0) return -1;
  const std::int64_t right = std::int64_t{r.x} + r.width;
  const std::int64_t bottom = std::int64_t{r.y} + r.height;
  if (right > INT_MAX || bottom > INT_MAX) return -1;

  const int index = s.zoneCount;
  AnalysisZone& zone = s.zones[index];
  const auto x0 = static_cast<float>(r.x), y0 = static_cast<float>(r.y);
  const auto x1 = static_cast<float>(right), y1 = static_cast<float>(bottom);
  zone.outline = {ZonePointF{x0, y0}, ZonePointF{x1, y0}, ZonePointF{x1, y1}, ZonePointF{x0, y1}};
  zone.hasOutline = true;
  zone.corners = {ZonePoint{r.x, r.y}, ZonePoint{static_cast<int>(right), r.y},
                  ZonePoint{r.x, static_cast<int>(bottom)},
                  ZonePoint{static_cast<int>(right), static_cast<int>(bottom)}};
  AnalysisZoneBlock& block = s.record.zones[index];
  block.angle = 0.0f;
  block.left = r.x;
  block.top = r.y;
  block.right = static_cast<std::int32_t>(right);
  block.bottom = static_cast<std::int32_t>(bottom);
  s.zoneCount = index + 1;
  s.record.zoneCount = static_cast<std::int16_t>(s.zoneCount);
  for (AnalysisZone& z : s.zones) {
    if (!z.autoTracking) z.selectedEdge = kEdgeNone;
  }
  return index;
}

void ZoneAnalysis::RemoveAllZones() {
  std::lock_guard lock(state_->zoneLock);
  state_->zoneCount = 0;
  // Zones drawn anew choose their own cut-offs, and have no verdict yet.
  state_->ownOuterCutOff.fill(false);
  state_->ownInnerCutOff.fill(false);
  state_->picture.fill(PictureVerdict::kMeasurable);
}

int ZoneAnalysis::GetZoneCount() const {
  std::lock_guard lock(state_->zoneLock);
  return state_->zoneCount;
}

void ZoneAnalysis::SetMaxZones(std::int16_t zones) {
  std::lock_guard lock(state_->zoneLock);
  state_->maxZones = std::clamp<std::int16_t>(zones, 0, kAnalysisZones);
}

std::int16_t ZoneAnalysis::GetMaxZones() const {
  std::lock_guard lock(state_->zoneLock);
  return state_->maxZones;
}

AnalysisZone ZoneAnalysis::GetZone(int zone) const {
  std::lock_guard lock(state_->zoneLock);
  return state_->IsZone(zone) ? state_->zones[zone] : AnalysisZone{};
}

void ZoneAnalysis::SetSelectedEdge(int zone, std::int32_t edge) {
  std::lock_guard lock(state_->zoneLock);
  if (!state_->IsZone(zone) || edge < kEdgeNone || edge > kEdgeOuterRight) return;
  state_->zones[zone].selectedEdge = edge;
}

void ZoneAnalysis::SetZoneOutline(int zone, const std::array<ZonePointF, 4>& outline) {
  State& s = *state_;
  std::lock_guard lock(s.zoneLock);
  if (!s.IsExistingZone(zone)) return;
  for (const ZonePointF& p : outline) {
    if (!std::isfinite(p.x) || !std::isfinite(p.y)) return;
  }
  AnalysisZone& z = s.zones[zone];
  AnalysisZoneBlock& block = s.record.zones[zone];
  const std::int32_t oldLeft = block.left;
  z.outline = outline;
  const ZoneRect bounds = z.Bounds();
  block.left = bounds.x;
  block.top = bounds.y;
  block.right = static_cast<std::int32_t>(std::min<std::int64_t>(std::int64_t{bounds.x} + bounds.width, INT_MAX));
  block.bottom = static_cast<std::int32_t>(std::min<std::int64_t>(std::int64_t{bounds.y} + bounds.height, INT_MAX));
  if (block.left != oldLeft) {
    const auto shift = static_cast<float>(std::int64_t{oldLeft} - block.left);
    for (auto& ring : z.rings) {
      for (float& value : ring) {
        if (value != 0.0f) value += shift;
      }
    }
  }
  block.angle =
      static_cast<float>(std::atan2(outline[1].y - outline[0].y, outline[1].x - outline[0].x) * 57.29577951308232);
}

// ---- settings ----

namespace {

using CutOffs = std::array<double, kAnalysisZones>;
using Owned = std::array<bool, kAnalysisZones>;

// A cut-off set from outside is the user's: auto threshold does not keep it.
void SetCutOff(State& s, CutOffs State::*table, Owned State::*own, int zone, double cutOff) {
  std::lock_guard lock(s.zoneLock);
  if (s.IsZone(zone) && cutOff >= kMinCutOff && cutOff <= kMaxCutOff) {
    (s.*table)[zone] = cutOff;
    (s.*own)[zone] = false;
  }
}

double GetCutOff(const State& s, CutOffs State::*table, int zone) {
  std::lock_guard lock(s.zoneLock);
  return s.IsZone(zone) ? (s.*table)[zone] : kDefaultCutOff;
}

// Thresholds and adjustments belong to existing zones only.
void SetZoneValue(State& s, std::int32_t AnalysisZone::*field, int zone, std::int32_t value) {
  std::lock_guard lock(s.zoneLock);
  if (s.IsExistingZone(zone)) s.zones[zone].*field = value;
}

std::int32_t GetZoneValue(const State& s, std::int32_t AnalysisZone::*field, int zone, std::int32_t fallback) {
  std::lock_guard lock(s.zoneLock);
  return s.IsExistingZone(zone) ? s.zones[zone].*field : fallback;
}

// A threshold above 255 as unsigned, so also any negative one, keeps the old value.
bool IsThreshold(std::int32_t value) { return static_cast<std::uint32_t>(value) <= 255; }

}  // namespace

void ZoneAnalysis::SetAnalysisCutOff(int zone, double c) {
  SetCutOff(*state_, &State::outerCutOff, &State::ownOuterCutOff, zone, c);
}
double ZoneAnalysis::GetAnalysisCutOff(int zone) const { return GetCutOff(*state_, &State::outerCutOff, zone); }
void ZoneAnalysis::SetInnerAnalysisCutOff(int zone, double c) {
  SetCutOff(*state_, &State::innerCutOff, &State::ownInnerCutOff, zone, c);
}
double ZoneAnalysis::GetInnerAnalysisCutOff(int zone) const { return GetCutOff(*state_, &State::innerCutOff, zone); }

void ZoneAnalysis::SetThreshold(int zone, std::int32_t value) {
  if (IsThreshold(value)) SetZoneValue(*state_, &AnalysisZone::threshold, zone, value);
}
void ZoneAnalysis::SetInnerThreshold(int zone, std::int32_t value) {
  if (IsThreshold(value)) SetZoneValue(*state_, &AnalysisZone::innerThreshold, zone, value);
}
std::int32_t ZoneAnalysis::GetThresholdValue(int zone) const {
  return GetZoneValue(*state_, &AnalysisZone::threshold, zone, kDefaultThreshold);
}

void ZoneAnalysis::SetInnerLeftAdjustment(int zone, std::int32_t a) {
  SetZoneValue(*state_, &AnalysisZone::adjustInnerLeft, zone, a);
}
void ZoneAnalysis::SetInnerRightAdjustment(int zone, std::int32_t a) {
  SetZoneValue(*state_, &AnalysisZone::adjustInnerRight, zone, a);
}
void ZoneAnalysis::SetOuterLeftAdjustment(int zone, std::int32_t a) {
  SetZoneValue(*state_, &AnalysisZone::adjustOuterLeft, zone, a);
}
void ZoneAnalysis::SetOuterRightAdjustment(int zone, std::int32_t a) {
  SetZoneValue(*state_, &AnalysisZone::adjustOuterRight, zone, a);
}
std::int32_t ZoneAnalysis::GetInnerLeftAdjustment(int zone) const {
  return GetZoneValue(*state_, &AnalysisZone::adjustInnerLeft, zone, 0);
}
std::int32_t ZoneAnalysis::GetInnerRightAdjustment(int zone) const {
  return GetZoneValue(*state_, &AnalysisZone::adjustInnerRight, zone, 0);
}
std::int32_t ZoneAnalysis::GetOuterLeftAdjustment(int zone) const {
  return GetZoneValue(*state_, &AnalysisZone::adjustOuterLeft, zone, 0);
}
std::int32_t ZoneAnalysis::GetOuterRightAdjustment(int zone) const {
  return GetZoneValue(*state_, &AnalysisZone::adjustOuterRight, zone, 0);
}

void ZoneAnalysis::SetAutoTrackingEnabled(int zone, bool enable) {
  State& s = *state_;
  std::lock_guard lock(s.zoneLock);
  if (!s.IsZone(zone)) return;
  AnalysisZone& z = s.zones[zone];
  if (enable) {
    z.autoTracking = true;
    z.fixedLumenLeft = z.fixedOuterLeft = z.fixedLumenRight = z.fixedOuterRight = 0.0f;
    z.selectedEdge = kEdgeNone;
    return;
  }
  z.autoTracking = false;
  const std::int32_t outerLeft = ZoneHistoryMean(z, kRingOuterLeft);
  const std::int32_t outerRight = ZoneHistoryMean(z, kRingOuterRight);
  const std::int32_t lumenLeft = ZoneHistoryMean(z, kRingLumenLeft);
  const std::int32_t lumenRight = ZoneHistoryMean(z, kRingLumenRight);
  // A fifth of the width of this zone's bounds.
  const auto w = static_cast<float>(z.Bounds().width / 5);
  if ((outerLeft != 0 && outerRight != 0) || (lumenLeft != 0 && lumenRight != 0)) {
    z.fixedOuterLeft = static_cast<float>(AddWrapping(outerLeft, z.adjustOuterLeft));
    z.fixedLumenLeft = static_cast<float>(AddWrapping(lumenLeft, z.adjustInnerLeft));
    z.fixedLumenRight = static_cast<float>(AddWrapping(lumenRight, z.adjustInnerRight));
    z.fixedOuterRight = static_cast<float>(AddWrapping(outerRight, z.adjustOuterRight));
    if (z.fixedOuterLeft == 0.0f && z.fixedOuterRight == 0.0f) {
      z.fixedOuterLeft = w;
      z.fixedOuterRight = 4 * w;
    }
    if (z.fixedLumenLeft == 0.0f && z.fixedLumenRight == 0.0f) {
      z.fixedLumenLeft = 2 * w;
      z.fixedLumenRight = 3 * w;
    }
    z.selectedEdge = kEdgeNone;
  } else {
    const bool noLumen = s.record.ignoreLumen != 0;
    z.fixedOuterLeft = w;
    z.fixedLumenLeft = noLumen ? 0.0f : 2 * w;
    z.fixedLumenRight = noLumen ? 0.0f : 3 * w;
    z.fixedOuterRight = 4 * w;
  }
}

bool ZoneAnalysis::GetAutoTrackingEnabled(int zone) const {
  std::lock_guard lock(state_->zoneLock);
  return state_->IsZone(zone) && state_->zones[zone].autoTracking;
}

void ZoneAnalysis::ChangeSelectedAutoTracking(int zone, std::int16_t delta) {
  State& s = *state_;
  std::lock_guard lock(s.zoneLock);
  if (!s.IsZone(zone)) return;
  AnalysisZone& z = s.zones[zone];
  float* edge = nullptr;
  switch (z.selectedEdge) {
    case kEdgeOuterLeft:
      edge = &z.fixedOuterLeft;
      break;
    case kEdgeLumenLeft:
      edge = &z.fixedLumenLeft;
      break;
    case kEdgeLumenRight:
      edge = &z.fixedLumenRight;
      break;
    case kEdgeOuterRight:
      edge = &z.fixedOuterRight;
      break;
    default:
      break;
  }
  const float current = edge ? *edge : 0.0f;
  // The edge may not reach the zone's right limit.
  if (static_cast<float>(std::int64_t{z.corners[2].x} + delta) + current >= static_cast<float>(z.corners[3].x)) return;
  if (!edge) return;

  const float moved = current + static_cast<float>(delta);
  if (!(moved > static_cast<float>(INT_MIN) && moved < static_cast<float>(INT_MAX))) return;
  const auto f = static_cast<float>(static_cast<std::int32_t>(moved));
  const bool lumen = !s.ignoreLumen;
  bool refused = false;
  switch (z.selectedEdge) {
    case kEdgeOuterLeft:
      refused = f < 0 || f > z.fixedOuterRight || (lumen && f >= z.fixedLumenLeft);
      break;
    case kEdgeLumenLeft:
      refused = f <= z.fixedOuterLeft || f >= z.fixedLumenRight;
      break;
    case kEdgeLumenRight:
      refused = f >= z.fixedOuterRight || f <= z.fixedLumenLeft;
      break;
    case kEdgeOuterRight:
      refused = f <= z.fixedOuterLeft || (lumen && f < z.fixedLumenRight);
      break;
    default:
      break;
  }
  if (!refused) *edge = f;
}

void ZoneAnalysis::IgnoreLumen(std::int16_t ignore) {
  std::lock_guard lock(state_->zoneLock);
  state_->ignoreLumen = ignore > 0;
  state_->record.ignoreLumen = ignore > 0 ? 1 : 0;
}

void ZoneAnalysis::InvertThreshold(bool invert) {
  std::lock_guard lock(state_->zoneLock);
  state_->invert = invert;
}

void ZoneAnalysis::EnableAutoThreshold(bool enable) {
  std::lock_guard lock(state_->zoneLock);
  // Switched on, every zone chooses its cut-offs anew.
  if (enable && !state_->autoThreshold) {
    state_->ownOuterCutOff.fill(false);
    state_->ownInnerCutOff.fill(false);
  }
  state_->autoThreshold = enable;
}

PictureVerdict ZoneAnalysis::GetPictureVerdict(int zone) const {
  std::lock_guard lock(state_->zoneLock);
  return state_->IsExistingZone(zone) ? state_->picture[zone] : PictureVerdict::kMeasurable;
}

void ZoneAnalysis::ResetZoneSettings() {
  std::lock_guard lock(state_->zoneLock);
  for (AnalysisZone& z : state_->zones) {
    z.adjustOuterLeft = z.adjustOuterRight = z.adjustInnerLeft = z.adjustInnerRight = 0;
    z.fixedLumenLeft = z.fixedOuterLeft = z.fixedLumenRight = z.fixedOuterRight = 0.0f;
    z.selectedEdge = kEdgeNone;
    z.threshold = z.innerThreshold = kDefaultThreshold;
  }
}

AnalysisData ZoneAnalysis::GetAnalysisData() const {
  std::lock_guard lock(state_->zoneLock);
  return state_->record;
}

void ZoneAnalysis::UpdateAnalysisData(const std::function<void(AnalysisData&)>& change) {
  std::lock_guard lock(state_->zoneLock);
  if (change) change(state_->record);
}

}  // namespace ORV
