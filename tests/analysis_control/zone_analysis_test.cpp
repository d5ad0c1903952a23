#include "analysis_control/zone_analysis.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "analysis_fixtures.h"
#include "platform/os/tick_source.h"
#include "tests/core/threading/test_threads.h"

namespace ORV {
namespace {

using namespace AnalysisTest;

constexpr int kFrameWidth = 100;
constexpr int kFrameHeight = 6;

// A 60-column zone profile with walls of 60 on a background of 10: the left
// wall at columns L and L + 1, the right one at 44 and 45. Mean 13, sd 12:
// outer edges L and 46, lumen edges L + 2 and 44. L < 0 draws no vessel.
std::vector<int> Vessel(int left) {
  if (left < 0) return std::vector<int>(60, 0);
  return Profile(60, 10, {{left, 60}, {left + 1, 60}, {44, 60}, {45, 60}});
}

GreyImage OneZoneFrame(int left) { return FrameWith(kFrameWidth, kFrameHeight, {{20, Vessel(left)}}); }

std::vector<ZoneEvent> ZoneEventsOf(const RecordingEvents& events, int zone) {
  std::vector<ZoneEvent> out;
  for (const ZoneEvent& e : events.Zones()) {
    if (e.zone == zone) out.push_back(e);
  }
  return out;
}

TEST(ZoneAnalysis, HistoryMeanAndAdjustmentsOverFrames) {
  RecordingEvents events;
  ZoneAnalysis analysis(events, std::make_shared<InlineExecutor>());
  ASSERT_EQ(analysis.AddZone({20, 0, 60, kFrameHeight}), 0);

  // Outer left 25, none, 28, 26, 30: the three-slot means are 25, 25,
  // (25 + 28) / 2 + 0.5 = 27, (26 + 28) / 2 + 0.5 = 27 and (26 + 30 + 28) / 3
  // + 0.5 = 28 (integer parts). The lumen left edge follows at L + 2.
  for (int left : {25, -1, 28, 26, 30}) analysis.PrepareZones(OneZoneFrame(left).View());
  EXPECT_EQ(
      events.Zones(),
      (std::vector<ZoneEvent>{
          {0, 25, 46, 27, 44}, {0, 25, 46, 27, 44}, {0, 27, 46, 29, 44}, {0, 27, 46, 29, 44}, {0, 28, 46, 30, 44}}));

  // Adjustments are added to the means while the search runs: slots now
  // hold 30, 30 and 26 (mean 28.67) and lumen left 32, 32, 28 (30.67).
  analysis.SetOuterLeftAdjustment(0, 2);
  analysis.SetInnerRightAdjustment(0, -3);
  analysis.PrepareZones(OneZoneFrame(30).View());
  EXPECT_EQ(events.Zones().back(), (ZoneEvent{0, 31, 46, 31, 41}));

  // Auto-tracking off fixes the edges at the reported values; the fixed
  // edges then fill the history and are reported without adjustments.
  analysis.SetAutoTrackingEnabled(0, false);
  const AnalysisZone fixed = analysis.GetZone(0);
  EXPECT_EQ(fixed.fixedOuterLeft, 31.0f);
  EXPECT_EQ(fixed.fixedOuterRight, 46.0f);
  EXPECT_EQ(fixed.fixedLumenLeft, 31.0f);
  EXPECT_EQ(fixed.fixedLumenRight, 41.0f);
  for (int i = 0; i < 3; ++i) analysis.PrepareZones(OneZoneFrame(-1).View());
  EXPECT_EQ(events.Zones().back(), (ZoneEvent{0, 31, 46, 31, 41}));

  // The record's zone block holds the last reported values.
  std::array<std::uint8_t, AnalysisData::kSize> bytes;
  analysis.GetAnalysisData().Serialize(bytes);
  const auto at = [&](std::size_t offset) {
    return static_cast<int>(Bytes::GetLE<std::uint32_t>(bytes.data() + offset));
  };
  EXPECT_EQ(at(28 + 24), 31);
  EXPECT_EQ(at(28 + 28), 46);
  EXPECT_EQ(at(28 + 32), 31);
  EXPECT_EQ(at(28 + 36), 41);
}

TEST(ZoneAnalysis, AnEdgeNotFoundStaysNotFoundWhateverItsAdjustment) {
  RecordingEvents events;
  ZoneAnalysis analysis(events, std::make_shared<InlineExecutor>());
  ASSERT_EQ(analysis.AddZone({20, 0, 60, kFrameHeight}), 0);
  analysis.SetOuterLeftAdjustment(0, 2);
  analysis.SetOuterRightAdjustment(0, -1);
  analysis.SetInnerLeftAdjustment(0, 3);
  analysis.SetInnerRightAdjustment(0, -3);
  // Nothing found for three frames: every edge is 0 again, adjusted or not.
  analysis.PrepareZones(OneZoneFrame(25).View());
  EXPECT_EQ(events.Zones().back(), (ZoneEvent{0, 27, 45, 30, 41}));
  for (int i = 0; i < 3; ++i) analysis.PrepareZones(OneZoneFrame(-1).View());
  EXPECT_EQ(events.Zones().back(), (ZoneEvent{0, 0, 0, 0, 0}));
}

TEST(ZoneAnalysis, EachZoneFillsItsOwnBlockOfTheRecord) {
  RecordingEvents events;
  ZoneAnalysis analysis(events, std::make_shared<InlineExecutor>());
  analysis.SetMaxZones(4);
  const std::array<int, 4> lefts = {0, 70, 140, 210};
  const std::array<int, 4> walls = {5, 12, 20, 31};
  std::vector<DrawnZone> drawn;
  for (int z = 0; z < 4; ++z) {
    ASSERT_EQ(analysis.AddZone({lefts[z], 1, 60, 4}), z);
    drawn.push_back({lefts[z], Vessel(walls[z])});
  }
  EXPECT_EQ(analysis.AddZone({0, 0, 60, 4}), -1) << "a fifth zone";
  analysis.PrepareZones(FrameWith(280, kFrameHeight, drawn).View());

  std::array<std::uint8_t, AnalysisData::kSize> bytes;
  analysis.GetAnalysisData().Serialize(bytes);
  EXPECT_EQ(Bytes::GetLE<std::uint16_t>(bytes.data() + 24), 4);
  for (int z = 0; z < 4; ++z) {
    SCOPED_TRACE(z);
    const std::uint8_t* block = bytes.data() + 28 + 40 * z;
    const auto field = [&](int offset) { return static_cast<int>(Bytes::GetLE<std::uint32_t>(block + offset)); };
    EXPECT_EQ(block[0], 1);
    EXPECT_EQ(field(8), lefts[z]);
    EXPECT_EQ(field(12), 1);
    EXPECT_EQ(field(16), lefts[z] + 60);
    EXPECT_EQ(field(20), 5);
    EXPECT_EQ(field(24), walls[z]);
    EXPECT_EQ(field(28), 46);
    EXPECT_EQ(field(32), walls[z] + 2);
    EXPECT_EQ(field(36), 44);
  }
}

// Frames of two zones whose walls move, with frames where a zone finds
// nothing, long enough to wrap the three-slot history more than once.
std::vector<GreyImage> MovingTwoZoneFrames() {
  const std::vector<std::array<int, 2>> walls = {{25, 10}, {26, -1}, {-1, 12}, {30, 14}, {27, 9},
                                                 {29, -1}, {31, 20}, {24, 18}, {-1, 16}, {28, 11}};
  std::vector<GreyImage> frames;
  for (const auto& w : walls) frames.push_back(FrameWith(160, kFrameHeight, {{0, Vessel(w[0])}, {80, Vessel(w[1])}}));
  return frames;
}

struct TwoZoneRun {
  std::vector<ZoneEvent> events;
  std::array<AnalysisZone, 2> zones;
};

TwoZoneRun RunTwoZones(const std::shared_ptr<AnalysisTaskExecutor>& executor, const std::function<void()>& drain,
                       int repeats = 1) {
  RecordingEvents events;
  ZoneAnalysis analysis(events, executor);
  EXPECT_EQ(analysis.AddZone({0, 0, 60, kFrameHeight}), 0);
  EXPECT_EQ(analysis.AddZone({80, 0, 60, kFrameHeight}), 1);
  const std::vector<GreyImage> frames = MovingTwoZoneFrames();
  for (int r = 0; r < repeats; ++r) {
    for (const GreyImage& frame : frames) analysis.PrepareZones(frame.View());
  }
  drain();
  EXPECT_TRUE(ThreadTest::Eventually([&] { return analysis.PendingTasks() == 0; }));
  return {events.Zones(), {analysis.GetZone(0), analysis.GetZone(1)}};
}

TEST(ZoneAnalysis, ResultsAreAppliedInStartOrderWhateverOrderTasksFinish) {
  const TwoZoneRun sequential = RunTwoZones(std::make_shared<InlineExecutor>(), [] {});
  ASSERT_EQ(sequential.events.size(), 20u);
  // Third frame: zone 0 found nothing, so its mean is that of 25 and 26.
  EXPECT_EQ(sequential.events[4], (ZoneEvent{0, 26, 46, 28, 44}));

  // All twenty tasks run in reverse: nothing is applied until the first
  // started task has finished, then everything in start order, and every
  // result lands in its own history slot.
  auto held = std::make_shared<HeldExecutor>();
  const TwoZoneRun reversed = RunTwoZones(held, [&] {
    EXPECT_EQ(held->Held(), 20u);
    held->RunReversed();
  });
  EXPECT_EQ(reversed.events, sequential.events);
  for (int z = 0; z < 2; ++z) {
    EXPECT_EQ(reversed.zones[z].rings, sequential.zones[z].rings) << "zone " << z;
    EXPECT_EQ(reversed.zones[z].historyIndex, sequential.zones[z].historyIndex);
  }

  // The same on the analysis workers, four threads at once; a long run, so
  // that workers finish while another one is applying results and leave
  // theirs to it: every result is applied once, in start order.
  constexpr int kRepeats = 200;
  const TwoZoneRun longSequential = RunTwoZones(
      std::make_shared<InlineExecutor>(), [] {}, kRepeats);
  const TwoZoneRun pooled = RunTwoZones(
      AnalyseImagesThreads::Create(), [] {}, kRepeats);
  ASSERT_EQ(pooled.events.size(), 20u * kRepeats);
  EXPECT_EQ(pooled.events, longSequential.events);
  for (int z = 0; z < 2; ++z) EXPECT_EQ(pooled.zones[z].rings, longSequential.zones[z].rings) << "zone " << z;
}

// Takes every other task it is given and refuses the rest, as a pool does
// that cannot start a thread.
class TakesEveryOtherExecutor : public InlineExecutor {
 public:
  void Queue(std::shared_ptr<Threading::AsyncTask> task) override {
    if (calls_++ % 2 == 1) throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    InlineExecutor::Queue(std::move(task));
  }

 private:
  int calls_ = 0;
};

TEST(ZoneAnalysis, AFramesZonesThatNoWorkerTakesGiveNoResultAndHoldNothingBack) {
  // Of each frame's two tasks the first is taken and the second refused.
  const TwoZoneRun run = RunTwoZones(std::make_shared<TakesEveryOtherExecutor>(), [] {});
  const TwoZoneRun sequential = RunTwoZones(std::make_shared<InlineExecutor>(), [] {});
  std::vector<ZoneEvent> zoneZero;
  for (const ZoneEvent& e : sequential.events) {
    if (e.zone == 0) zoneZero.push_back(e);
  }
  EXPECT_EQ(run.events, zoneZero);
}

// A frame handed over with its owner is searched where it lies: the results
// are those of copied crops, inverted or not and clipped at the frame's
// edges, the frame is never written, and the analysis lets go of it once its
// tasks have run.
TEST(ZoneAnalysis, SharedFramesAreSearchedInPlaceAndLetGoOnceTheirTasksHaveRun) {
  std::vector<std::vector<ZoneEvent>> results;
  for (const bool invert : {false, true}) {
    SCOPED_TRACE(invert ? "inverted" : "plain");
    const auto run = [invert](bool shared) {
      auto held = std::make_shared<HeldExecutor>();
      RecordingEvents events;
      ZoneAnalysis analysis(events, held);
      analysis.InvertThreshold(invert);
      EXPECT_EQ(analysis.AddZone({0, 0, 60, kFrameHeight}), 0);
      EXPECT_EQ(analysis.AddZone({80, 1, 500, 500}), 1);  // clipped to 80 x 5
      std::vector<std::weak_ptr<const GreyImage>> handed;
      std::shared_ptr<const GreyImage> last;
      for (const GreyImage& pixels : MovingTwoZoneFrames()) {
        last = std::make_shared<const GreyImage>(pixels);
        if (shared) {
          analysis.PrepareZones(last->View(), last);
          handed.push_back(last);
        } else {
          analysis.PrepareZones(last->View());
        }
      }
      for (const auto& frame : handed) EXPECT_FALSE(frame.expired()) << "held by its tasks";
      held->RunReversed();
      EXPECT_EQ(analysis.PendingTasks(), 0u);
      for (std::size_t i = 0; i + 1 < handed.size(); ++i) EXPECT_TRUE(handed[i].expired()) << "frame " << i;
      EXPECT_EQ(last->pixels, MovingTwoZoneFrames().back().pixels);
      return events.Zones();
    };
    const std::vector<ZoneEvent> copied = run(false);
    EXPECT_EQ(copied.size(), 20u);
    EXPECT_EQ(run(true), copied);
    results.push_back(copied);
  }
  EXPECT_NE(results[0], results[1]) << "the inverted search found the same edges";
}

// Notes where each zone task's crop lives, then holds the task or runs it at
// once.
class CropAddressExecutor : public HeldExecutor {
 public:
  void Queue(std::shared_ptr<Threading::AsyncTask> task) override {
    addresses.push_back(dynamic_cast<AnalyseImageAsyncTask&>(*task).crop.pixels.data());
    if (hold) {
      HeldExecutor::Queue(std::move(task));
    } else {
      task->OnFinished(task->Run());
    }
  }
  bool hold = false;
  std::vector<const std::uint8_t*> addresses;
};

TEST(ZoneAnalysis, ALongRunSearchesEveryFrameInCropBuffersKeptFromItsFirstFrames) {
  RecordingEvents events;
  auto executor = std::make_shared<CropAddressExecutor>();
  ZoneAnalysis analysis(events, executor);
  ASSERT_EQ(analysis.AddZone({20, 0, 60, kFrameHeight}), 0);

  // One frame at a time: every frame is searched in the first frame's
  // buffer, and each finds its own walls (as in the first test).
  for (int round = 0; round < 3; ++round) {
    for (int left : {25, -1, 28, 26, 30}) analysis.PrepareZones(OneZoneFrame(left).View());
  }
  ASSERT_EQ(executor->addresses.size(), 15u);
  for (const std::uint8_t* at : executor->addresses) EXPECT_EQ(at, executor->addresses[0]);
  const std::vector<ZoneEvent> all = events.Zones();
  ASSERT_EQ(all.size(), 15u);
  EXPECT_EQ(
      std::vector<ZoneEvent>(all.begin(), all.begin() + 5),
      (std::vector<ZoneEvent>{
          {0, 25, 46, 27, 44}, {0, 25, 46, 27, 44}, {0, 27, 46, 29, 44}, {0, 27, 46, 29, 44}, {0, 28, 46, 30, 44}}));
  EXPECT_EQ(all.back(), (ZoneEvent{0, 28, 46, 30, 44}));

  // Frames in flight each have a buffer of their own; once applied, their
  // buffers serve the next frames.
  executor->hold = true;
  executor->addresses.clear();
  for (int i = 0; i < 3; ++i) analysis.PrepareZones(OneZoneFrame(25).View());
  const std::set<const std::uint8_t*> inFlight(executor->addresses.begin(), executor->addresses.end());
  EXPECT_EQ(inFlight.size(), 3u);
  executor->RunInOrder();
  executor->addresses.clear();
  for (int i = 0; i < 3; ++i) analysis.PrepareZones(OneZoneFrame(25).View());
  executor->RunInOrder();
  EXPECT_EQ(std::set<const std::uint8_t*>(executor->addresses.begin(), executor->addresses.end()), inFlight);
  EXPECT_EQ(events.Zones().back(), (ZoneEvent{0, 25, 46, 27, 44}));
}

TEST(ZoneAnalysis, ZonesThatCannotBeSearchedGiveNoResultAndHoldNothingBack) {
  struct Case {
    const char* name;
    ZoneRect zone;
    std::vector<ZoneEvent> expected;  // zone 0's events over two frames
  };
  const ZoneEvent clipped{0, 25, 46, 27, 44};
  const std::vector<Case> cases = {
      {"past the left edge", {-5, 0, 60, kFrameHeight}, {}},
      {"past the top edge", {20, -1, 60, kFrameHeight}, {}},
      {"one column", {20, 0, 1, kFrameHeight}, {}},
      {"no width", {20, 0, 0, kFrameHeight}, {}},
      {"no height", {20, 0, 60, 0}, {}},
      {"right of the frame", {kFrameWidth + 10, 0, 60, kFrameHeight}, {}},
      {"past the right edge, clipped", {20, 0, 500, kFrameHeight}, {clipped, clipped}},
      {"past the bottom edge, clipped", {20, 2, 60, 500}, {clipped, clipped}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // Zone 1 lies right of the vessel drawn for zone 0.
    auto held = std::make_shared<HeldExecutor>();
    RecordingEvents events;
    ZoneAnalysis analysis(events, held);
    ASSERT_EQ(analysis.AddZone(c.zone), 0);
    ASSERT_EQ(analysis.AddZone({80, 0, 20, kFrameHeight}), 1);
    for (int i = 0; i < 2; ++i) analysis.PrepareZones(OneZoneFrame(25).View());
    held->RunReversed();
    EXPECT_EQ(analysis.PendingTasks(), 0u);
    EXPECT_EQ(ZoneEventsOf(events, 0), c.expected);
    EXPECT_EQ(ZoneEventsOf(events, 1).size(), 2u);
  }

  // Alone on the workers, a zone without results does not grow the queue.
  RecordingEvents events;
  ZoneAnalysis analysis(events);
  ASSERT_EQ(analysis.AddZone({-5, 0, 60, kFrameHeight}), 0);
  for (int i = 0; i < 20; ++i) analysis.PrepareZones(OneZoneFrame(25).View());
  EXPECT_TRUE(ThreadTest::Eventually([&] { return analysis.PendingTasks() == 0; }));
  EXPECT_TRUE(events.Zones().empty());
}

TEST(ZoneAnalysis, TasksNoWorkerCanRunDoNotStall) {
  RecordingEvents events;
  ZoneAnalysis analysis(events, std::make_shared<RefusingExecutor>());
  ASSERT_EQ(analysis.AddZone({20, 0, 60, kFrameHeight}), 0);
  for (int i = 0; i < 3; ++i) analysis.PrepareZones(OneZoneFrame(25).View());
  EXPECT_EQ(analysis.PendingTasks(), 0u);
  EXPECT_TRUE(events.Zones().empty());
}

TEST(ZoneAnalysis, ClosingWithTasksInFlightRaisesNothing) {
  auto held = std::make_shared<HeldExecutor>();
  RecordingEvents events;
  auto dispatcher = std::make_shared<ThreadTest::StalledDispatcher>();
  {
    ZoneAnalysis analysis(events, held, dispatcher);
    ASSERT_EQ(analysis.AddZone({20, 0, 60, kFrameHeight}), 0);
    analysis.PrepareZones(OneZoneFrame(25).View());
    held->RunInOrder();
    analysis.PrepareZones(OneZoneFrame(25).View());
    ASSERT_EQ(events.Zones().size(), 1u);
    ASSERT_EQ(dispatcher->Held(), 1);
  }
  held->RunInOrder();
  dispatcher->RunHeld();
  EXPECT_EQ(events.Zones().size(), 1u);
  EXPECT_TRUE(events.Raws().empty());
}

TEST(ZoneAnalysis, TheNewestRawProfileOfEachZoneReachesTheUserInterface) {
  auto dispatcher = std::make_shared<ThreadTest::StalledDispatcher>();
  RecordingEvents events;
  ZoneAnalysis analysis(events, std::make_shared<InlineExecutor>(), dispatcher);
  ASSERT_EQ(analysis.AddZone({0, 0, 60, kFrameHeight}), 0);
  ASSERT_EQ(analysis.AddZone({80, 0, 20, kFrameHeight}), 1);
  const std::vector<int> small = Profile(20, 10, {{3, 90}});
  analysis.PrepareZones(FrameWith(100, kFrameHeight, {{0, Vessel(25)}, {80, small}}).View());
  analysis.PrepareZones(FrameWith(100, kFrameHeight, {{0, Vessel(30)}, {80, small}}).View());
  EXPECT_TRUE(events.Raws().empty()) << "raw profiles are raised on the user-interface thread only";

  // One delivery a zone, each with that zone's newest profile: the profiles
  // of zone 1 do not replace those of zone 0.
  dispatcher->RunHeld();
  const std::vector<RawEvent> raws = events.Raws();
  ASSERT_EQ(raws.size(), 2u);
  EXPECT_EQ(raws[0].zone, 0);
  EXPECT_EQ(std::vector<int>(raws[0].data.begin(), raws[0].data.end()), Vessel(30));
  EXPECT_EQ(raws[1].zone, 1);
  EXPECT_EQ(std::vector<int>(raws[1].data.begin(), raws[1].data.end()), small);

  analysis.PrepareZones(FrameWith(100, kFrameHeight, {{0, Vessel(26)}}).View());
  dispatcher->RunHeld();
  ASSERT_EQ(events.Raws().size(), 4u);
  EXPECT_EQ(events.Raws()[2].zone, 0);
  EXPECT_EQ(events.Raws()[3].zone, 1);
  analysis.OnRawZoneDataMessage();  // nothing new
  EXPECT_EQ(events.Raws().size(), 4u);

  // Without a user-interface thread nothing is delivered or kept.
  RecordingEvents quiet;
  ZoneAnalysis headless(quiet, std::make_shared<InlineExecutor>());
  ASSERT_EQ(headless.AddZone({0, 0, 60, kFrameHeight}), 0);
  headless.PrepareZones(OneZoneFrame(25).View());
  headless.OnRawZoneDataMessage();
  EXPECT_TRUE(quiet.Raws().empty());
  EXPECT_EQ(quiet.Zones().size(), 1u);
}

TEST(ZoneAnalysis, SettingsKeepTheirRanges) {
  RecordingEvents events;
  ZoneAnalysis a(events, std::make_shared<InlineExecutor>());
  EXPECT_EQ(a.GetMaxZones(), 2);
  ASSERT_EQ(a.AddZone({0, 0, 60, 4}), 0);
  ASSERT_EQ(a.AddZone({0, 0, 60, 4}), 1);
  EXPECT_EQ(a.AddZone({0, 0, 60, 4}), -1) << "the default maximum is two";
  a.SetMaxZones(9);
  EXPECT_EQ(a.GetMaxZones(), 4);
  a.SetMaxZones(-3);
  EXPECT_EQ(a.GetMaxZones(), 0);
  a.SetMaxZones(4);
  EXPECT_EQ(a.AddZone({0, 0, -1, 4}), -1) << "negative width";
  EXPECT_EQ(a.AddZone({std::numeric_limits<int>::max() - 5, 0, 10, 4}), -1) << "right edge overflows";

  // Cut-offs: zones 0 to 3 (existing or not), values 1 to 6.
  struct CutCase {
    int zone;
    double value;
    double stored;
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (const CutCase& c : std::vector<CutCase>{
           {0, 0.5, 3.0}, {0, 6.5, 3.0}, {0, nan, 3.0}, {0, 1.0, 1.0}, {3, 6.0, 6.0}, {-1, 2.0, 3.0}, {4, 2.0, 3.0}}) {
    SCOPED_TRACE(::testing::Message() << "zone " << c.zone << " value " << c.value);
    ZoneAnalysis fresh(events, std::make_shared<InlineExecutor>());
    fresh.SetAnalysisCutOff(c.zone, c.value);
    fresh.SetInnerAnalysisCutOff(c.zone, c.value);
    EXPECT_EQ(fresh.GetAnalysisCutOff(c.zone), c.stored);
    EXPECT_EQ(fresh.GetInnerAnalysisCutOff(c.zone), c.stored);
  }

  // Thresholds: existing zones only, 0 to 255.
  struct ThresholdCase {
    int zone;
    std::int32_t value;
    std::int32_t read;
  };
  for (const ThresholdCase& c :
       std::vector<ThresholdCase>{{0, 0, 0}, {1, 255, 255}, {0, 256, 128}, {0, -1, 128}, {2, 50, 128}, {-1, 50, 128}}) {
    SCOPED_TRACE(::testing::Message() << "zone " << c.zone << " value " << c.value);
    ZoneAnalysis fresh(events, std::make_shared<InlineExecutor>());
    ASSERT_EQ(fresh.AddZone({0, 0, 60, 4}), 0);
    ASSERT_EQ(fresh.AddZone({0, 0, 60, 4}), 1);
    fresh.SetThreshold(c.zone, c.value);
    fresh.SetInnerThreshold(c.zone, c.value);
    EXPECT_EQ(fresh.GetThresholdValue(c.zone), c.read);
    if (c.zone >= 0 && c.zone < 2) {
      EXPECT_EQ(fresh.GetZone(c.zone).innerThreshold, c.read);
    }
  }

  // Adjustments: existing zones only; 0 out of range.
  a.SetOuterLeftAdjustment(1, 7);
  a.SetOuterRightAdjustment(1, -7);
  a.SetInnerLeftAdjustment(1, 3);
  a.SetInnerRightAdjustment(1, -3);
  a.SetOuterLeftAdjustment(2, 9);
  EXPECT_EQ(a.GetOuterLeftAdjustment(1), 7);
  EXPECT_EQ(a.GetOuterRightAdjustment(1), -7);
  EXPECT_EQ(a.GetInnerLeftAdjustment(1), 3);
  EXPECT_EQ(a.GetInnerRightAdjustment(1), -3);
  EXPECT_EQ(a.GetOuterLeftAdjustment(2), 0);
  EXPECT_EQ(a.GetOuterLeftAdjustment(7), 0);
  EXPECT_EQ(a.GetOuterLeftAdjustment(-1), 0);

  // Auto-tracking: zones 0 to 3.
  a.SetAutoTrackingEnabled(4, false);
  a.SetAutoTrackingEnabled(-1, false);
  EXPECT_FALSE(a.GetAutoTrackingEnabled(4));
  EXPECT_FALSE(a.GetAutoTrackingEnabled(-1));
  EXPECT_TRUE(a.GetAutoTrackingEnabled(3));
  a.ChangeSelectedAutoTracking(4, 1);
  a.SetSelectedEdge(9, kEdgeOuterLeft);

  // A new video resets the zone settings but keeps auto-tracking.
  a.SetAutoTrackingEnabled(1, false);
  a.SetSelectedEdge(1, kEdgeLumenLeft);
  a.SetThreshold(1, 7);
  a.ResetZoneSettings();
  const AnalysisZone z = a.GetZone(1);
  EXPECT_EQ(z.adjustOuterLeft, 0);
  EXPECT_EQ(z.fixedOuterRight, 0.0f);
  EXPECT_EQ(z.selectedEdge, kEdgeNone);
  EXPECT_EQ(z.threshold, 128);
  EXPECT_FALSE(z.autoTracking);
}

TEST(ZoneAnalysis, AutoTrackingOffWithoutHistorySpreadsTheEdgesOverTheZone) {
  RecordingEvents events;
  ZoneAnalysis a(events, std::make_shared<InlineExecutor>());
  ASSERT_EQ(a.AddZone({10, 0, 250, 40}), 0);
  a.SetSelectedEdge(0, kEdgeLumenRight);
  a.SetAutoTrackingEnabled(0, false);
  AnalysisZone z = a.GetZone(0);
  EXPECT_FALSE(z.autoTracking);
  EXPECT_EQ(z.fixedOuterLeft, 50.0f);
  EXPECT_EQ(z.fixedLumenLeft, 100.0f);
  EXPECT_EQ(z.fixedLumenRight, 150.0f);
  EXPECT_EQ(z.fixedOuterRight, 200.0f);
  EXPECT_EQ(z.selectedEdge, kEdgeLumenRight) << "kept without history";

  a.SetAutoTrackingEnabled(0, true);
  z = a.GetZone(0);
  EXPECT_TRUE(z.autoTracking);
  EXPECT_EQ(z.fixedOuterLeft + z.fixedLumenLeft + z.fixedLumenRight + z.fixedOuterRight, 0.0f);
  EXPECT_EQ(z.selectedEdge, kEdgeNone);

  a.IgnoreLumen(1);
  EXPECT_EQ(a.GetAnalysisData().ignoreLumen, 1);
  a.SetAutoTrackingEnabled(0, false);
  z = a.GetZone(0);
  EXPECT_EQ(z.fixedOuterLeft, 50.0f);
  EXPECT_EQ(z.fixedLumenLeft, 0.0f);
  EXPECT_EQ(z.fixedLumenRight, 0.0f);
  EXPECT_EQ(z.fixedOuterRight, 200.0f);
  a.IgnoreLumen(0);
  EXPECT_EQ(a.GetAnalysisData().ignoreLumen, 0);

  // The fixed edges are what the zone reports, with no adjustment added.
  a.SetOuterLeftAdjustment(0, 5);
  a.PrepareZones(FrameWith(300, 40, {}).View());
  EXPECT_EQ(events.Zones().back(), (ZoneEvent{0, 50, 200, 0, 0}));
}

TEST(ZoneAnalysis, FixedEdgesMoveOnlyWithinTheirNeighbours) {
  struct Case {
    const char* name;
    std::int32_t edge;
    std::int16_t delta;
    bool ignoreLumen;
    float expected;  // the edge's value afterwards (from 50, 100, 150, 200)
  };
  const std::vector<Case> cases = {
      {"outer left one step right", kEdgeOuterLeft, 1, false, 51},
      {"outer left onto the lumen left", kEdgeOuterLeft, 50, false, 50},
      {"outer left onto the lumen left, lumen ignored", kEdgeOuterLeft, 50, true, 100},
      {"outer left below 0", kEdgeOuterLeft, -51, false, 50},
      {"outer left to 0", kEdgeOuterLeft, -50, false, 0},
      {"lumen left onto the outer left", kEdgeLumenLeft, -50, false, 100},
      {"lumen left onto the lumen right", kEdgeLumenLeft, 50, false, 100},
      {"lumen left just before the lumen right", kEdgeLumenLeft, 49, false, 149},
      {"lumen right onto the outer right", kEdgeLumenRight, 50, false, 150},
      {"lumen right onto the lumen left", kEdgeLumenRight, -50, false, 150},
      {"lumen right just after the lumen left", kEdgeLumenRight, -49, false, 101},
      {"outer right onto the lumen right", kEdgeOuterRight, -50, false, 150},
      {"outer right into the lumen", kEdgeOuterRight, -51, false, 200},
      {"outer right onto the outer left", kEdgeOuterRight, -150, true, 200},
      {"outer right to the zone's right limit", kEdgeOuterRight, 50, false, 200},
      {"outer right just inside the limit", kEdgeOuterRight, 49, false, 249},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingEvents events;
    ZoneAnalysis a(events, std::make_shared<InlineExecutor>());
    ASSERT_EQ(a.AddZone({10, 0, 250, 40}), 0);  // right limit 260
    a.SetAutoTrackingEnabled(0, false);
    a.IgnoreLumen(c.ignoreLumen ? 1 : 0);
    a.SetSelectedEdge(0, c.edge);
    a.ChangeSelectedAutoTracking(0, c.delta);
    const AnalysisZone z = a.GetZone(0);
    const float values[] = {0.0f, z.fixedOuterLeft, z.fixedLumenLeft, z.fixedLumenRight, z.fixedOuterRight};
    EXPECT_EQ(values[c.edge], c.expected);
  }

  // With no edge selected nothing moves.
  RecordingEvents events;
  ZoneAnalysis a(events, std::make_shared<InlineExecutor>());
  ASSERT_EQ(a.AddZone({10, 0, 250, 40}), 0);
  a.SetAutoTrackingEnabled(0, false);
  a.ChangeSelectedAutoTracking(0, 5);
  const AnalysisZone z = a.GetZone(0);
  EXPECT_EQ(z.fixedOuterLeft, 50.0f);
  EXPECT_EQ(z.fixedOuterRight, 200.0f);
}

TEST(ZoneAnalysis, ThumbnailsEveryTenSecondsOfARunningClock) {
  struct Case {
    int width, height;
    std::uint32_t thumbWidth, thumbHeight, imageSize;
  };
  for (const Case& c :
       std::vector<Case>{{1280, 960, 100, 75, 7500}, {960, 1280, 75, 100, 7600}, {640, 640, 100, 100, 10000}}) {
    SCOPED_TRACE(::testing::Message() << c.width << " x " << c.height);
    OS::ManualTickSource ticks(50000);
    OS::ScopedTickSource scoped(ticks);
    FakeClock clock;
    clock.now = 50000;
    RecordingEvents events;
    ZoneAnalysis a(events, std::make_shared<InlineExecutor>());
    a.SetRelativeTime(&clock);
    GreyImage frame{c.width, c.height, std::vector<std::uint8_t>(c.width * c.height, 77)};

    a.PrepareZones(frame.View());
    EXPECT_TRUE(events.Indexes().empty()) << "capture has not started";
    a.StartThumbnails(50000, c.width, c.height);
    a.PrepareZones(frame.View());
    EXPECT_TRUE(events.Indexes().empty()) << "due only after the start";

    ticks.Advance(1);
    clock.now = 50040;
    a.PrepareZones(frame.View());
    ASSERT_EQ(events.Indexes().size(), 1u);
    const IndexEvent first = events.Indexes()[0];
    EXPECT_EQ(first.time, 50040u);
    EXPECT_EQ(first.width, c.thumbWidth);
    EXPECT_EQ(first.height, c.thumbHeight);
    EXPECT_EQ(first.imageSize, c.imageSize);
    const std::uint32_t stride = c.imageSize / c.thumbHeight;
    for (std::uint32_t i = 0; i < first.data.size(); ++i) {
      ASSERT_EQ(first.data[i], i % stride < c.thumbWidth ? 77 : 0) << "byte " << i;
    }

    a.PrepareZones(frame.View());
    ticks.Advance(9999);
    a.PrepareZones(frame.View());
    EXPECT_EQ(events.Indexes().size(), 1u) << "next one 10000 ms after the last due time";
    a.SetPaused(true);
    ticks.Advance(1);
    a.PrepareZones(frame.View());
    EXPECT_EQ(events.Indexes().size(), 1u) << "paused";
    a.SetPaused(false);
    clock.running = false;
    a.PrepareZones(frame.View());
    EXPECT_EQ(events.Indexes().size(), 1u) << "clock not running";
    clock.running = true;
    a.PrepareZones(frame.View());
    EXPECT_EQ(events.Indexes().size(), 2u);
  }
}

TEST(ZoneAnalysis, ThumbnailShrinksThePictureLinearly) {
  // 101 black columns, then white. Thumbnail column x samples the picture
  // at 2x + 0.5, so column 50 lies halfway between black 100 and white 101.
  GreyImage frame{200, 100, std::vector<std::uint8_t>(200 * 100, 0)};
  for (int y = 0; y < 100; ++y) std::fill_n(frame.pixels.begin() + y * 200 + 101, 99, 255);
  const std::vector<std::uint8_t> t = MakeThumbnail(frame.View(), 100, 50);
  ASSERT_EQ(t.size(), 100u * 50u);
  for (int y : {0, 25, 49}) {
    EXPECT_EQ(t[y * 100 + 0], 0);
    EXPECT_EQ(t[y * 100 + 48], 0);
    EXPECT_EQ(t[y * 100 + 50], 128);  // 127.5 rounded
    EXPECT_EQ(t[y * 100 + 51], 255);
    EXPECT_EQ(t[y * 100 + 99], 255);
  }
}

}  // namespace
}  // namespace ORV
