// Auto threshold: the cut-offs each zone chooses from its own picture, kept
// while they work and chosen again when they do not, and never a wrong wall.
#include "analysis_control/auto_threshold.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "analysis_control/zone_analysis.h"
#include "analysis_fixtures.h"

namespace ORV {
namespace {

using AnalysisTest::CropFromProfile;
using AnalysisTest::FrameWith;
using AnalysisTest::HeldExecutor;
using AnalysisTest::InlineExecutor;
using AnalysisTest::RecordingEvents;
using AnalysisTest::ZoneEvent;

// The darkness profile of a brightfield vessel: background, two walls each
// a body with dark lines (the first at the wall's outer edge, the last at
// the lumen), a lumen a little darker than the background; blurred.
struct Vessel {
  int width = 280;
  int outerLeft = 80, lumenLeft = 98, lumenRight = 182, outerRight = 200;
  int background = 60, lumen = 85, body = 115, line = 165;
  int lines = 3;
  int gradient = 0;    // darkness added from the left side to the right side
  int halo = 0;        // darkness taken off the 5 columns just outside each wall (a bright fringe)
  int lensCentre = 0;  // darkness taken off the lumen's middle, falling off to its edges (the vessel as a lens)
  int blurPasses = 2;  // more for a vessel that lies at a slant to the zone
};

std::vector<int> Draw(const Vessel& v) {
  std::vector<double> p(static_cast<std::size_t>(v.width));
  const auto wall = [&v](int from, int to, int x) {
    // Lines cover 0.6 of the wall, the first at `from`, the last ending at `to`.
    const double u = (x + 0.5 - from) / (to - from);
    const double width = 0.6 / v.lines, pitch = v.lines > 1 ? (1.0 - width) / (v.lines - 1) : 0.0;
    for (int k = 0; k < v.lines; ++k) {
      if (u >= k * pitch && u < k * pitch + width) return v.line;
    }
    return v.body;
  };
  for (int x = 0; x < v.width; ++x) {
    double d = v.background;
    if ((x >= v.outerLeft - 5 && x < v.outerLeft) || (x >= v.outerRight && x < v.outerRight + 5)) d -= v.halo;
    if (x >= v.outerLeft && x < v.lumenLeft) d = wall(v.outerLeft, v.lumenLeft, x);
    if (x >= v.lumenLeft && x < v.lumenRight) {
      const double c = (x - 0.5 * (v.lumenLeft + v.lumenRight)) / (0.5 * (v.lumenRight - v.lumenLeft));
      d = v.lumen - v.lensCentre * (1.0 - c * c);
    }
    if (x >= v.lumenRight && x < v.outerRight) d = wall(v.outerRight, v.lumenRight, x);
    p[static_cast<std::size_t>(x)] = d + static_cast<double>(v.gradient) * x / v.width;
  }
  // The microscope's blur: [1 2 1] / 4, twice unless asked otherwise.
  for (int pass = 0; pass < v.blurPasses; ++pass) {
    const std::vector<double> in = p;
    for (std::size_t x = 1; x + 1 < p.size(); ++x) p[x] = (in[x - 1] + 2 * in[x] + in[x + 1]) / 4;
  }
  std::vector<int> profile;
  for (const double d : p) profile.push_back(static_cast<int>(std::lround(d)));
  return profile;
}

ColumnProfile Columns(const std::vector<int>& profile) { return *MeasureColumns(CropFromProfile(profile, 2).View()); }

bool TwoDecimalsInRange(double cutOff) {
  return cutOff >= 1.0 && cutOff <= 6.0 && std::abs(cutOff * 100 - std::round(cutOff * 100)) < 1e-9;
}

TEST(AutoThreshold, ChoosesCutOffsThatMeasureTheVesselWhereTheDefaultsDoNot) {
  const Vessel v;
  const ColumnProfile columns = Columns(Draw(v));
  // The defaults mark the lumen as wall too: both walls, no lumen.
  std::int32_t left = 0, right = 0;
  EXPECT_FALSE(TakeLumenEdges(FindChanges(ThresholdColumns(columns, 3.0)), left, right));

  const AutoThresholdResult r = SearchWithAutoThreshold(columns, 3.0, 3.0, false);
  ASSERT_TRUE(r.found);
  ASSERT_TRUE(r.lumenFound);
  EXPECT_NEAR(r.outerLeft, v.outerLeft, 1);
  EXPECT_NEAR(r.outerRight, v.outerRight, 1);
  EXPECT_NEAR(r.lumenLeft, v.lumenLeft, 1);
  EXPECT_NEAR(r.lumenRight, v.lumenRight, 1);
  // The default outer cut-off measures these steep walls already and is
  // kept; the inner one is chosen.
  EXPECT_TRUE(r.innerChosen);
  EXPECT_TRUE(TwoDecimalsInRange(r.outerCutOff)) << r.outerCutOff;
  EXPECT_TRUE(TwoDecimalsInRange(r.innerCutOff)) << r.innerCutOff;
  // The lumen is darker than the background, so its cut-off lies no lower.
  EXPECT_GE(r.innerCutOff, r.outerCutOff);

  // The edges are the search's at the chosen cut-offs: the outer walls the
  // plain search's, the lumen read from the vessel's middle outwards (the
  // plain search's lumen ends at the first gap between a wall's lines).
  ASSERT_TRUE(TakeOuterEdges(FindChanges(ThresholdColumns(columns, r.outerCutOff)), left, right));
  EXPECT_EQ(left, r.outerLeft);
  EXPECT_EQ(right, r.outerRight);
  std::int32_t lumenLeft = 0, lumenRight = 0;
  ASSERT_TRUE(TakeLumenEdgesFromMiddle(ThresholdColumns(columns, r.innerCutOff), left, right, lumenLeft, lumenRight));
  EXPECT_EQ(lumenLeft, r.lumenLeft);
  EXPECT_EQ(lumenRight, r.lumenRight);
  ASSERT_TRUE(TakeLumenEdges(FindChanges(ThresholdColumns(columns, r.innerCutOff)), left, right));
  EXPECT_LT(left, r.lumenLeft);
}

TEST(AutoThreshold, KeepsWorkingCutOffsAndChoosesAgainWhenThePictureMovesAway) {
  Vessel v;
  const AutoThresholdResult first = SearchWithAutoThreshold(Columns(Draw(v)), 3.0, 3.0, false);
  ASSERT_TRUE(first.found && first.lumenFound);

  // The vessel moves and constricts a little: the same cut-offs still work.
  v.outerLeft += 2, v.lumenLeft += 3, v.lumenRight -= 3, v.outerRight -= 2;
  const AutoThresholdResult kept =
      SearchWithAutoThreshold(Columns(Draw(v)), first.outerCutOff, first.innerCutOff, false);
  ASSERT_TRUE(kept.found && kept.lumenFound);
  EXPECT_FALSE(kept.outerChosen);
  EXPECT_FALSE(kept.innerChosen);
  EXPECT_EQ(kept.outerCutOff, first.outerCutOff);
  EXPECT_EQ(kept.innerCutOff, first.innerCutOff);
  EXPECT_NEAR(kept.outerLeft, v.outerLeft, 1);
  EXPECT_NEAR(kept.lumenRight, v.lumenRight, 1);

  // The light dims: the same cut-offs would now mark the background too.
  Vessel dim = v;
  dim.background += 25, dim.lumen += 25, dim.body += 25, dim.line += 25;
  const AutoThresholdResult again =
      SearchWithAutoThreshold(Columns(Draw(dim)), first.outerCutOff, first.innerCutOff, false);
  ASSERT_TRUE(again.found && again.lumenFound);
  EXPECT_TRUE(again.outerChosen);
  EXPECT_NE(again.outerCutOff, first.outerCutOff);
  EXPECT_NEAR(again.outerLeft, dim.outerLeft, 1);
  EXPECT_NEAR(again.outerRight, dim.outerRight, 1);
  EXPECT_NEAR(again.lumenLeft, dim.lumenLeft, 1);
  EXPECT_NEAR(again.lumenRight, dim.lumenRight, 1);
}

TEST(AutoThreshold, PicturesItCannotMeasureAreReportedAsNotFound) {
  struct Case {
    const char* name;
    std::vector<int> profile;
    bool walls, lumen;  // what is found; whatever is found lies within a pixel
    Vessel truth;
  };
  Vessel v;
  const std::vector<int> vessel = Draw(v);
  Vessel darkLumen = v;
  darkLumen.lumen = darkLumen.body;
  Vessel blackLumen = v;
  blackLumen.lumen = blackLumen.line - 10;
  Vessel speck = v;  // measured with a faint speck in the background
  std::vector<int> speckled = Draw(v);
  speckled[50] += 10;
  Vessel gradient = v;
  gradient.gradient = 20;
  const std::vector<Case> cases = {
      {"left wall cut by the zone's side", std::vector<int>(vessel.begin() + 85, vessel.end()), false, false, v},
      {"right wall cut by the zone's side", std::vector<int>(vessel.begin(), vessel.begin() + 195), false, false, v},
      {"no vessel", std::vector<int>(280, 60), false, false, v},
      {"white", std::vector<int>(280, 0), false, false, v},
      {"a dark band alone", AnalysisTest::Profile(280, 60, {{130, 165}, {131, 165}, {132, 165}, {133, 165}}), false,
       false, v},
      {"something dark beside the vessel",
       [&] {
         std::vector<int> p = vessel;
         for (int x = 40; x < 50; ++x) p[static_cast<std::size_t>(x)] = 160;
         return p;
       }(),
       false, false, v},
      // Read from the middle, the lumen ends at the walls' innermost lines.
      {"lumen as dark as the walls' body", Draw(darkLumen), true, true, darkLumen},
      {"lumen as dark as the walls' lines", Draw(blackLumen), true, false, blackLumen},
      {"a faint speck beside the vessel", speckled, true, true, speck},
      {"a gradient across the zone", Draw(gradient), true, true, gradient},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::optional<ColumnProfile> columns = MeasureColumns(CropFromProfile(c.profile, 2).View());
    ASSERT_TRUE(columns);
    const AutoThresholdResult r = SearchWithAutoThreshold(*columns, 3.0, 3.0, false);
    EXPECT_EQ(r.found, c.walls);
    EXPECT_EQ(r.lumenFound, c.lumen);
    if (r.found) {
      EXPECT_NEAR(r.outerLeft, c.truth.outerLeft, 1);
      EXPECT_NEAR(r.outerRight, c.truth.outerRight, 1);
    }
    if (r.lumenFound) {
      EXPECT_NEAR(r.lumenLeft, c.truth.lumenLeft, 1);
      EXPECT_NEAR(r.lumenRight, c.truth.lumenRight, 1);
    }
    // What was not found keeps the cut-offs it came with.
    if (!r.found) {
      EXPECT_EQ(r.outerCutOff, 3.0);
    }
    if (!r.lumenFound) {
      EXPECT_EQ(r.innerCutOff, 3.0);
    }
  }
}

TEST(AutoThreshold, MeasuresWhatBrightfieldPicturesOfRealVesselsShow) {
  // Each a feature of real pictures; all are measured within a pixel of the
  // edges drawn (or of where the level halfway between the lumen and the
  // walls' darkest puts them), but a lumen that no level tells from the
  // walls is not found.
  const auto with = [](auto change) {
    Vessel v;
    change(v);
    return v;
  };
  struct Case {
    const char* name;
    Vessel v;
    bool lumen;
    int lumenLeft = 0, lumenRight = 0;  // where the lumen is read when not where it was drawn
  };
  const std::vector<Case> cases = {
      {"a bright fringe outside the walls", with([](Vessel& v) { v.halo = 15; }), true},
      {"a lumen brighter in its middle", with([](Vessel& v) { v.lensCentre = 15; }), true},
      {"a lumen darker in its middle", with([](Vessel& v) { v.lensCentre = -12; }), true},
      {"a vessel at a slant (edges four times as soft)", with([](Vessel& v) { v.blurPasses = 8; }), true},
      {"five lines to a wall", with([](Vessel& v) { v.lines = 5; }), true},
      // The wall's body (115) lies below halfway between the lumen (85)
      // and its one line (165): the lumen is read up to the line.
      {"one line to a wall", with([](Vessel& v) { v.lines = 1; }), true, 92, 188},
      {"walls of 18 and 12 px", with([](Vessel& v) { v.lumenLeft = 98, v.lumenRight = 188; }), true},
      {"a lumen as bright as the background", with([](Vessel& v) { v.lumen = 62; }), true},
      {"a bright picture with faint walls",
       with([](Vessel& v) { v.background = 40, v.lumen = 55, v.body = 90, v.line = 130; }), true},
      {"all of these at once", with([](Vessel& v) { v.halo = 10, v.lensCentre = 10, v.blurPasses = 5, v.lines = 4; }),
       true},
      // Between the lines the wall is as bright as the background (or
      // brighter than the lumen): read from the middle, the lumen still
      // ends at the innermost lines.
      {"walls of lines alone", with([](Vessel& v) { v.body = 70; }), true},
      {"a lumen darker than the walls' body", with([](Vessel& v) { v.lumen = 120; }), true},
      // Nothing tells the lumen from walls as dark as it.
      {"a lumen nearly as dark as the walls' lines", with([](Vessel& v) { v.lumen = 150; }), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const AutoThresholdResult r = SearchWithAutoThreshold(Columns(Draw(c.v)), 3.0, 3.0, false);
    ASSERT_TRUE(r.found);
    EXPECT_NEAR(r.outerLeft, c.v.outerLeft, 1);
    EXPECT_NEAR(r.outerRight, c.v.outerRight, 1);
    EXPECT_EQ(r.lumenFound, c.lumen);
    if (r.lumenFound) {
      EXPECT_NEAR(r.lumenLeft, c.lumenLeft > 0 ? c.lumenLeft : c.v.lumenLeft, 1);
      EXPECT_NEAR(r.lumenRight, c.lumenRight > 0 ? c.lumenRight : c.v.lumenRight, 1);
    }
  }
}

TEST(AutoThreshold, PicturesTooDarkOrTooBrightForEveryCutOffSaySo) {
  // Half the light: darkness d becomes 127.5 + d / 2, so the background
  // alone lies beyond the level cut-off 6.0 reaches.
  std::vector<int> dim = Draw(Vessel{});
  for (int& d : dim) d = static_cast<int>(std::lround(127.5 + 0.5 * d));
  // Four times the light: a white background (with the sensor's last few
  // levels of noise), the walls washed out into that noise.
  std::vector<int> washedOut(280);
  for (int x = 0; x < 280; ++x) washedOut[static_cast<std::size_t>(x)] = (x * 7) % 4;
  for (int x = 80; x < 98; ++x)
    washedOut[static_cast<std::size_t>(x)] = washedOut[static_cast<std::size_t>(x + 102)] = 3;
  // A wall cut by the zone's side: missed, but not for the light.
  const std::vector<int> vessel = Draw(Vessel{});
  const std::vector<int> cut(vessel.begin() + 85, vessel.end());
  struct Case {
    const char* name;
    std::vector<int> profile;
    PictureVerdict verdict;
  };
  const std::vector<Case> cases = {
      {"half the light", dim, PictureVerdict::kTooDark},
      {"no light", std::vector<int>(280, 240), PictureVerdict::kTooDark},
      {"four times the light", washedOut, PictureVerdict::kTooBright},
      {"white", std::vector<int>(280, 0), PictureVerdict::kTooBright},
      {"a wall cut by the zone's side", cut, PictureVerdict::kMeasurable},
      {"an even grey picture", std::vector<int>(280, 60), PictureVerdict::kMeasurable},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ColumnProfile columns = Columns(c.profile);
    EXPECT_EQ(JudgePicture(columns), c.verdict);
    const AutoThresholdResult r = SearchWithAutoThreshold(columns, 3.0, 3.0, false);
    EXPECT_FALSE(r.found);
    EXPECT_EQ(r.picture, c.verdict);
    // At no cut-off does the plain search find these walls either.
    for (double cutOff = 1.0; cutOff <= 6.0 && c.verdict != PictureVerdict::kMeasurable; cutOff += 0.25) {
      std::int32_t left = 0, right = 0;
      const bool taken = TakeOuterEdges(FindChanges(ThresholdColumns(columns, cutOff)), left, right);
      EXPECT_FALSE(taken && std::abs(left - 80) <= 2 && std::abs(right - 200) <= 2) << cutOff;
    }
  }
  // A vessel found says nothing of the light.
  EXPECT_EQ(SearchWithAutoThreshold(Columns(Draw(Vessel{})), 3.0, 3.0, false).picture, PictureVerdict::kMeasurable);
}

TEST(AutoThreshold, AVesselAtASlantIsMeasuredAcrossTheZonesMiddleRow) {
  // The vessel's profile drawn in every row, shifted by a tenth of a pixel
  // per row about the middle row: 6 px from the zone's top to its bottom.
  const Vessel v;
  const std::vector<int> profile = Draw(v);
  constexpr int kSlantRows = 60;
  GreyImage picture{v.width, kSlantRows, std::vector<std::uint8_t>(static_cast<std::size_t>(v.width) * kSlantRows)};
  for (int y = 0; y < kSlantRows; ++y) {
    const auto shift = static_cast<int>(std::lround(0.1 * (y - 0.5 * (kSlantRows - 1))));
    for (int x = 0; x < v.width; ++x) {
      const int from = std::clamp(x - shift, 0, v.width - 1);
      picture.pixels[static_cast<std::size_t>(y * v.width + x)] =
          static_cast<std::uint8_t>(255 - profile[static_cast<std::size_t>(from)]);
    }
  }
  ColumnHalves halves;
  ColumnProfile columns = *MeasureColumns(picture.View(), &halves);
  const ColumnProfile blurred = columns;
  const AutoThresholdResult r = SearchZoneWithAutoThreshold(picture.View(), columns, halves, 3.0, 3.0, false);
  ASSERT_TRUE(r.found && r.lumenFound);
  EXPECT_NEAR(r.outerLeft, v.outerLeft, 1);
  EXPECT_NEAR(r.outerRight, v.outerRight, 1);
  EXPECT_NEAR(r.lumenLeft, v.lumenLeft, 1);
  EXPECT_NEAR(r.lumenRight, v.lumenRight, 1);
  // The columns handed back are those the edges were read on: upright,
  // the walls' edges as sharp as drawn.
  EXPECT_NE(columns.profile, blurred.profile);
  EXPECT_EQ(std::vector<int>(columns.profile.begin(), columns.profile.end()), profile);

  // Upright already (or nearly): the columns stay as they are.
  GreyImage upright = CropFromProfile(profile, kSlantRows);
  ColumnHalves uprightHalves;
  ColumnProfile same = *MeasureColumns(upright.View(), &uprightHalves);
  const ColumnProfile before = same;
  EXPECT_TRUE(SearchZoneWithAutoThreshold(upright.View(), same, uprightHalves, 3.0, 3.0, false).lumenFound);
  EXPECT_EQ(same.profile, before.profile);
}

TEST(AutoThreshold, IgnoringTheLumenLeavesTheInnerCutOffAlone) {
  const Vessel v;
  const AutoThresholdResult r = SearchWithAutoThreshold(Columns(Draw(v)), 3.0, 4.2, true);
  ASSERT_TRUE(r.found);
  EXPECT_FALSE(r.lumenFound);
  EXPECT_FALSE(r.innerChosen);
  EXPECT_EQ(r.innerCutOff, 4.2);
  EXPECT_NEAR(r.outerLeft, v.outerLeft, 1);
}

// ---- the zone analysis ----

constexpr int kRows = 4;

// A frame holding the vessel's profile from column 20 on.
GreyImage VesselFrame(const Vessel& v) { return FrameWith(v.width + 40, kRows, {{20, Draw(v)}}); }

TEST(AutoThreshold, ZoneAnalysisUsesItOnlyWhenSwitchedOnAndReportsTheChosenCutOffs) {
  RecordingEvents events;
  ZoneAnalysis analysis(events, std::make_shared<InlineExecutor>());
  const Vessel v;
  ASSERT_EQ(analysis.AddZone({20, 0, v.width, kRows}), 0);
  const GreyImage frame = VesselFrame(v);

  // Off until switched on: the sliders' cut-offs, as the plain search has them.
  analysis.PrepareZones(frame.View());
  AnalyseImageAsyncTask plain(0);
  plain.crop = CropFromProfile(Draw(v), kRows);
  plain.Run();
  ASSERT_EQ(events.Zones().size(), 1u);
  EXPECT_EQ(events.Zones().back(), (ZoneEvent{0, plain.outerLeft, plain.outerRight, 0, 0}));
  EXPECT_EQ(plain.lumenLeft, 0);  // the defaults find no lumen here
  EXPECT_EQ(analysis.GetAnalysisCutOff(0), 3.0);
  EXPECT_EQ(analysis.GetInnerAnalysisCutOff(0), 3.0);

  // On: the zone's own cut-offs; its history holds the walls and the lumen.
  analysis.EnableAutoThreshold(true);
  for (int i = 0; i < 3; ++i) analysis.PrepareZones(frame.View());
  const ZoneEvent e = events.Zones().back();
  EXPECT_NEAR(e.vesselLeft, v.outerLeft, 1);
  EXPECT_NEAR(e.vesselRight, v.outerRight, 1);
  EXPECT_NEAR(e.lumenLeft, v.lumenLeft, 1);
  EXPECT_NEAR(e.lumenRight, v.lumenRight, 1);
  // The default outer cut-off works on these walls and stays; the inner
  // one is chosen.
  const double outer = analysis.GetAnalysisCutOff(0), inner = analysis.GetInnerAnalysisCutOff(0);
  EXPECT_TRUE(TwoDecimalsInRange(outer)) << outer;
  EXPECT_TRUE(TwoDecimalsInRange(inner) && inner != 3.0) << inner;

  // Off again: the chosen cut-offs stay and are used as the user's.
  analysis.EnableAutoThreshold(false);
  analysis.SetAnalysisCutOff(0, 5.5);
  analysis.PrepareZones(frame.View());
  EXPECT_EQ(analysis.GetAnalysisCutOff(0), 5.5);
  EXPECT_EQ(analysis.GetInnerAnalysisCutOff(0), inner);
}

TEST(AutoThreshold, EachZoneChoosesItsOwnAndNoChoiceLandsAfterItWasSwitchedOff) {
  RecordingEvents events;
  auto held = std::make_shared<HeldExecutor>();
  ZoneAnalysis analysis(events, held);
  analysis.SetMaxZones(2);
  Vessel pale;
  pale.body = 95, pale.line = 130;
  ASSERT_EQ(analysis.AddZone({0, 0, pale.width, kRows}), 0);
  ASSERT_EQ(analysis.AddZone({pale.width, 0, pale.width, kRows}), 1);
  const GreyImage frame = FrameWith(2 * pale.width, kRows, {{0, Draw(Vessel{})}, {pale.width, Draw(pale)}});

  analysis.EnableAutoThreshold(true);
  analysis.PrepareZones(frame.View());
  held->RunInOrder();
  EXPECT_NE(analysis.GetInnerAnalysisCutOff(0), 3.0);
  EXPECT_NE(analysis.GetInnerAnalysisCutOff(1), 3.0);
  EXPECT_NE(analysis.GetInnerAnalysisCutOff(0), analysis.GetInnerAnalysisCutOff(1));

  // A frame started with auto threshold on finishes after it was switched
  // off and the user set a cut-off: the user's stays.
  analysis.SetInnerAnalysisCutOff(0, 3.0);
  analysis.PrepareZones(frame.View());
  analysis.EnableAutoThreshold(false);
  analysis.SetInnerAnalysisCutOff(0, 2.5);
  held->RunInOrder();
  EXPECT_EQ(analysis.GetInnerAnalysisCutOff(0), 2.5);
}

TEST(AutoThreshold, ZoneAnalysisKeepsEachZonesVerdictOnItsLight) {
  RecordingEvents events;
  ZoneAnalysis analysis(events, std::make_shared<InlineExecutor>());
  const Vessel v;
  ASSERT_EQ(analysis.AddZone({20, 0, v.width, kRows}), 0);
  std::vector<int> dim = Draw(v);
  for (int& d : dim) d = static_cast<int>(std::lround(127.5 + 0.5 * d));
  const GreyImage dark = FrameWith(v.width + 40, kRows, {{20, dim}});
  const GreyImage good = VesselFrame(v);
  for (const bool autoThreshold : {false, true}) {
    SCOPED_TRACE(autoThreshold ? "auto threshold" : "the user's cut-offs");
    analysis.EnableAutoThreshold(autoThreshold);
    analysis.PrepareZones(dark.View());
    EXPECT_EQ(analysis.GetPictureVerdict(0), PictureVerdict::kTooDark);
    analysis.PrepareZones(good.View());
    EXPECT_EQ(analysis.GetPictureVerdict(0), PictureVerdict::kMeasurable);
  }
  analysis.PrepareZones(dark.View());
  EXPECT_EQ(analysis.GetPictureVerdict(1), PictureVerdict::kMeasurable);  // no such zone
  analysis.RemoveAllZones();
  EXPECT_EQ(analysis.GetPictureVerdict(0), PictureVerdict::kMeasurable);
}

}  // namespace
}  // namespace ORV
