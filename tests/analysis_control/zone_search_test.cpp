#include "analysis_control/zone_search.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "analysis_control/analyse_image_task.h"
#include "analysis_fixtures.h"

namespace ORV {
namespace {

using AnalysisTest::CropFromProfile;
using AnalysisTest::Profile;

// Walls of darkness 42 on a background of 10. Over 16 columns the mean is
// 288 / 16 = 18, the squares sum to 12 x 8^2 + 4 x 24^2 = 3072, the variance
// is 3072 / 15 = 204 and sd = (int)14.28 = 14, so a wall's ratio is exactly
// 42 / 14 = 3.0 and the background's 0.71. (A population variance, 3072 / 16
// = 192, gives sd 13 and finds the walls at 3.01 too; the untruncated sd
// misses them at 3.00; a z-score (42 - 18) / 14 misses them at 3.00.)
const std::vector<int> kWallsRatio3 = Profile(16, 10, {{4, 42}, {5, 42}, {10, 42}, {11, 42}});
// 17 columns: mean 298 / 17 = 17 (17.53 untruncated), squares 13 x 7^2 + 4 x
// 25^2 = 3137, variance 3137 / 16 = 196, sd 14, ratio 3.0. (The untruncated
// mean gives squares 3132.2, variance 195.8, sd 13: walls found at 3.01.)
const std::vector<int> kWallsIntegerMean = Profile(17, 10, {{4, 42}, {5, 42}, {11, 42}, {12, 42}});
// Walls of 60 with a shoulder of 30 on their lumen side, 24 columns: mean
// 20, sd 19, ratios 3.158 (wall), 1.579 (shoulder), 0.526 (background).
const std::vector<int> kShoulders = Profile(24, 10, {{4, 60}, {5, 60}, {6, 30}, {17, 30}, {18, 60}, {19, 60}});
// A moderately dark column outside the left wall: at the inner cut-off 1.5
// its band comes first, so the lumen's left edge would lie outside the wall.
const std::vector<int> kDarkOutside = Profile(24, 10, {{1, 30}, {4, 60}, {5, 60}, {18, 60}, {19, 60}});
// 20 columns, walls of 60: mean 20, sd 20, ratio 3.0.
const std::vector<int> kWallAtLeftBorder = Profile(20, 10, {{0, 60}, {1, 60}, {14, 60}, {15, 60}});
const std::vector<int> kWallAtRightBorder = Profile(20, 10, {{4, 60}, {5, 60}, {18, 60}, {19, 60}});
const std::vector<int> kOneBand = Profile(20, 10, {{4, 60}, {5, 60}, {6, 60}});
const std::vector<int> kEvenGrey = Profile(20, 10, {});  // sd 0 with darkness above 0: every column a wall
const std::vector<int> kWhite = Profile(20, 0, {});      // sd 0 with darkness 0: no wall

struct Edges {
  std::int32_t found, outerLeft, outerRight, lumenLeft, lumenRight;
  bool operator==(const Edges&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Edges& e) {
  return os << "found " << e.found << " outer " << e.outerLeft << "-" << e.outerRight << " lumen " << e.lumenLeft << "-"
            << e.lumenRight;
}

std::shared_ptr<AnalyseImageAsyncTask> Searched(const GreyImage& crop, double outer, double inner,
                                                bool ignoreLumen = false) {
  auto task = CreateZoneTask(1);
  task->crop = crop;
  task->outerCutOff = outer;
  task->innerCutOff = inner;
  task->ignoreLumen = ignoreLumen ? 1 : 0;
  task->Run();
  return task;
}

Edges EdgesOf(const AnalyseImageAsyncTask& t) {
  return {t.found, t.outerLeft, t.outerRight, t.lumenLeft, t.lumenRight};
}

TEST(ZoneSearch, FindsTheEdgesOfHandComputedCrops) {
  struct Case {
    const char* name;
    const std::vector<int>& profile;
    double outer, inner;
    bool ignoreLumen;
    Edges expected;
  };
  const std::vector<Case> cases = {
      {"ratio exactly at the cut-off", kWallsRatio3, 3.00, 3.00, false, {1, 4, 12, 6, 10}},
      {"cut-off just above the ratio", kWallsRatio3, 3.01, 3.01, false, {0, 0, 0, 0, 0}},
      {"truncated mean, at the cut-off", kWallsIntegerMean, 3.00, 3.00, false, {1, 4, 13, 6, 11}},
      {"truncated mean, just above", kWallsIntegerMean, 3.01, 3.01, false, {0, 0, 0, 0, 0}},
      {"shoulders below the outer cut-off", kShoulders, 3.15, 3.15, false, {1, 4, 20, 6, 18}},
      {"outer cut-off above the walls", kShoulders, 3.16, 3.16, false, {0, 0, 0, 0, 0}},
      {"lower inner cut-off takes the shoulders", kShoulders, 3.0, 1.5, false, {1, 4, 20, 7, 17}},
      {"inner cut-off above the walls keeps no lumen", kShoulders, 3.0, 3.16, false, {1, 4, 20, 0, 0}},
      {"lumen ignored", kShoulders, 3.0, 1.5, true, {1, 4, 20, 0, 0}},
      {"lumen edge outside the wall is refused", kDarkOutside, 3.0, 1.5, false, {1, 4, 20, 0, 0}},
      {"wall at column 0 is not found", kWallAtLeftBorder, 3.0, 3.0, false, {0, 0, 16, 0, 0}},
      {"wall at the right border ends at the width", kWallAtRightBorder, 3.0, 3.0, false, {1, 4, 20, 6, 18}},
      {"one band gives both walls and no lumen", kOneBand, 3.0, 3.0, false, {1, 4, 7, 0, 0}},
      {"even grey is one wall from column 0", kEvenGrey, 3.0, 3.0, false, {0, 0, 20, 0, 0}},
      {"white has no change", kWhite, 3.0, 3.0, false, {0, 0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    for (int rows : {1, 2, 5}) {
      SCOPED_TRACE(std::string(c.name) + ", rows " + std::to_string(rows));
      auto task = Searched(CropFromProfile(c.profile, rows), c.outer, c.inner, c.ignoreLumen);
      EXPECT_EQ(EdgesOf(*task), c.expected);
      EXPECT_EQ(task->hasResult, 1);
      EXPECT_EQ(task->done.load(), 1);
      // The raw profile is the darkness of each column.
      EXPECT_EQ(std::vector<int>(task->rawProfile.begin(), task->rawProfile.end()), c.profile);
    }
  }
}

TEST(ZoneSearch, InvertedCropIsSearchedAsItsNegative) {
  GreyImage negative = CropFromProfile(kShoulders, 2);
  for (std::uint8_t& p : negative.pixels) p = static_cast<std::uint8_t>(255 - p);
  auto task = CreateZoneTask(1);
  task->crop = negative;
  task->invert = 1;
  task->innerCutOff = 1.5;
  task->Run();
  EXPECT_EQ(EdgesOf(*task), (Edges{1, 4, 20, 7, 17}));
}

TEST(ZoneSearch, FixedEdgesStandWithoutSearch) {
  auto task = CreateZoneTask(1);
  task->crop = CropFromProfile(kShoulders, 2);
  task->analyse = 0;
  task->outerLeft = 3;
  task->lumenLeft = 8;
  task->lumenRight = 15;
  task->outerRight = 21;
  task->Run();
  EXPECT_EQ(EdgesOf(*task), (Edges{1, 3, 21, 8, 15}));
  EXPECT_EQ(task->hasResult, 1);
  EXPECT_EQ(task->rawProfile, std::vector<std::uint8_t>(24, 0));
}

TEST(ZoneSearch, CropsWithoutSpreadGiveNoResultButStillComplete) {
  struct Case {
    const char* name;
    GreyImage crop;
    bool analyse;
    std::int32_t hasResult;
  };
  const std::vector<Case> cases = {
      {"no columns", GreyImage{0, 4, {}}, true, 0},
      {"no rows", GreyImage{5, 0, {}}, true, 0},
      {"one column", CropFromProfile({60}, 3), true, 0},
      {"one column, fixed edges", CropFromProfile({60}, 3), false, 1},
      {"two columns", CropFromProfile({60, 0}, 3), true, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int completions = 0;
    auto task = CreateZoneTask(1);
    task->crop = c.crop;
    task->analyse = c.analyse ? 1 : 0;
    task->completion = [&](std::int32_t) {
      EXPECT_EQ(task->done.load(), 1) << "done is set before the completion";
      ++completions;
    };
    task->Run();
    EXPECT_EQ(completions, 1);
    EXPECT_EQ(task->hasResult, c.hasResult);
  }
}

TEST(ZoneSearch, BinariseColumnsGivesTheMaskRowAndTheProfile) {
  const GreyImage crop = CropFromProfile(kWallsRatio3, 2);
  std::vector<std::uint8_t> raw(16, 0xEE);
  const std::vector<std::uint8_t> mask = BinariseColumns(crop.View(), raw.data(), 3.0);
  std::vector<std::uint8_t> expected(16, 255);
  for (int c : {4, 5, 10, 11}) expected[c] = 0;
  EXPECT_EQ(mask, expected);
  EXPECT_EQ(std::vector<int>(raw.begin(), raw.end()), kWallsRatio3);

  // A padded picture: only `width` bytes of each row count.
  std::vector<std::uint8_t> padded(2 * 20, 0);
  for (int y = 0; y < 2; ++y) std::copy_n(crop.pixels.begin() + 16 * y, 16, padded.begin() + 20 * y);
  EXPECT_EQ(BinariseColumns(GreyImageView{padded.data(), 16, 2, 20}, nullptr, 3.0), expected);

  // A single column: nothing, and the buffer stays untouched.
  const GreyImage one = CropFromProfile({60}, 2);
  std::uint8_t untouched = 0xEE;
  EXPECT_TRUE(BinariseColumns(one.View(), &untouched, 3.0).empty());
  EXPECT_EQ(untouched, 0xEE);
  EXPECT_TRUE(BinariseColumns(GreyImageView{nullptr, 4, 2, 4}, nullptr, 3.0).empty());
}

TEST(ZoneSearch, ChangesAndTheirSelection) {
  EXPECT_EQ(FindChanges({}), std::vector<int>{});
  EXPECT_EQ(FindChanges({255, 255}), std::vector<int>{});
  EXPECT_EQ(FindChanges({0, 0, 255}), (std::vector<int>{0, 2}));
  EXPECT_EQ(FindChanges({255, 0, 255, 0}), (std::vector<int>{1, 2, 3, 4}));

  struct Case {
    std::vector<int> changes;
    bool outerTaken;
    std::int32_t outerLeft, outerRight;
    bool lumenTaken;
    std::int32_t lumenLeft, lumenRight;
  };
  const std::vector<Case> cases = {
      {{}, false, -1, -1, false, -1, -1},     {{7}, false, -1, -1, false, -1, -1},
      {{3, 9}, true, 3, 9, false, -1, -1},    {{3, 5, 9}, false, -1, -1, false, -1, -1},
      {{3, 5, 7, 9}, true, 3, 9, true, 5, 7}, {{1, 3, 5, 7, 9, 11}, true, 1, 11, true, 3, 9},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.changes));
    std::int32_t a = -1, b = -1;
    EXPECT_EQ(TakeOuterEdges(c.changes, a, b), c.outerTaken);
    EXPECT_EQ(a, c.outerLeft);
    EXPECT_EQ(b, c.outerRight);
    a = b = -1;
    EXPECT_EQ(TakeLumenEdges(c.changes, a, b), c.lumenTaken);
    EXPECT_EQ(a, c.lumenLeft);
    EXPECT_EQ(b, c.lumenRight);
  }
}

TEST(ZoneSearch, LumenReadFromTheMiddleEndsAtTheInnermostMarkedColumns) {
  // Marked (0) columns: the walls [2, 12) with a gap [5, 8), and [28, 34).
  std::vector<std::uint8_t> mask(36, 255);
  for (int c : {2, 3, 4, 8, 9, 10, 11, 28, 29, 30, 31, 32, 33}) mask[static_cast<std::size_t>(c)] = 0;
  std::int32_t left = -1, right = -1;
  ASSERT_TRUE(TakeLumenEdgesFromMiddle(mask, 2, 34, left, right));
  EXPECT_EQ(left, 12);
  EXPECT_EQ(right, 28);
  // The plain search's lumen ends at the gap.
  ASSERT_TRUE(TakeLumenEdges(FindChanges(mask), left, right));
  EXPECT_EQ(left, 5);

  struct Case {
    const char* name;
    std::vector<int> marked;
    std::int32_t outerLeft, outerRight;
  };
  const std::vector<Case> refused = {
      {"the middle marked", {2, 18, 33}, 2, 34},
      {"nothing marked left of the middle", {30, 31}, 2, 34},
      {"nothing marked right of the middle", {3, 4}, 2, 34},
      {"walls outside the mask", {2, 33}, -1, 40},
  };
  for (const Case& c : refused) {
    SCOPED_TRACE(c.name);
    std::vector<std::uint8_t> m(36, 255);
    for (int x : c.marked) m[static_cast<std::size_t>(x)] = 0;
    left = right = -1;
    EXPECT_FALSE(TakeLumenEdgesFromMiddle(m, c.outerLeft, c.outerRight, left, right));
    EXPECT_EQ(left, -1);
    EXPECT_EQ(right, -1);
  }
}

TEST(ZoneSearch, HalvesAndUprightColumnsOfASlantingWall) {
  // A dark band (0) on white, 4 columns wide, its left edge at column
  // 10 + y / 4 in row y of 20 rows: a slant of a quarter pixel per row.
  GreyImage picture{40, 20, std::vector<std::uint8_t>(40 * 20, 255)};
  for (int y = 0; y < 20; ++y)
    for (int x = 10 + y / 4; x < 14 + y / 4; ++x) picture.pixels[static_cast<std::size_t>(y * 40 + x)] = 0;

  ColumnHalves halves;
  const std::optional<ColumnProfile> plain = MeasureColumns(picture.View(), &halves);
  ASSERT_TRUE(plain);
  ASSERT_FALSE(halves.Empty());
  EXPECT_EQ(halves.upperRows, 10u);
  EXPECT_EQ(halves.lowerRows, 10u);
  // Rows 0-9 have the band at 10-13 (rows 0-3), 11-14 and 12-15 (rows
  // 8-9); rows 10-19 at 12-15 (rows 10-11), 13-16 and 14-17 (rows 16-19).
  EXPECT_EQ(halves.Upper(10), 255 - (6 * 255) / 10);
  EXPECT_EQ(halves.Upper(12), 255);
  EXPECT_EQ(halves.Lower(12), 255 - (8 * 255) / 10);
  EXPECT_EQ(halves.Lower(10), 0);
  // The column means blur the band over eight columns.
  int marked = 0;
  for (std::uint8_t v : plain->profile) marked += v > 0 ? 1 : 0;
  EXPECT_EQ(marked, 8);

  // Shifted back by the slant (about the middle row), the band stands
  // upright where it crosses the middle rows: four columns, fully dark.
  const std::optional<ColumnProfile> upright = MeasureUprightColumns(picture.View(), 0.25, 40, 0.0);
  ASSERT_TRUE(upright);
  std::vector<int> dark;
  for (int c = 0; c < 40; ++c)
    if (upright->profile[static_cast<std::size_t>(c)] >= 200) dark.push_back(c);
  EXPECT_EQ(dark, (std::vector<int>{12, 13, 14, 15}));
  // Columns from the split on take the other slant (here none).
  EXPECT_EQ(MeasureUprightColumns(picture.View(), 0.25, 0, 0.0)->profile, plain->profile);
  EXPECT_FALSE(MeasureUprightColumns(picture.View(), std::nan(""), 40, 0.0));
}

}  // namespace
}  // namespace ORV
