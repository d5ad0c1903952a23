#include "analysis_control/auto_threshold.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <utility>

namespace ORV {

namespace {

// A level is a darkness 0 to 256; level 256 marks no column.
constexpr int kLevels = 257;
// How far an edge may move over the levels of one stable range, in pixels:
// about the width of a blurred edge.
constexpr int kEdgeTolerance = 3;
// The least depth of a stable range: this share of the vessel's contrast,
// and never fewer levels than kMinStableLevels.
constexpr double kStableShare = 0.2;
constexpr int kMinStableLevels = 6;
// A kept level still works when the edges stay put this share of the
// stable depth above and below it.
constexpr double kCheckShare = 0.25;
// The columns outside the walls are background: at most this share of the
// contrast darker than the picture's bright level.
constexpr double kOutsideShare = 0.35;
// The bright level: the darkness that this share of the columns does not
// exceed.
constexpr double kBrightShare = 0.1;
// The thinner wall is at least this share of the thicker one (less the edge
// tolerance on each).
constexpr double kWallRatio = 0.6;
// The darkness on the bright side of an edge is the mean of kStepWidth
// columns starting two columns off the edge (clear of its blur); on its
// dark side it is the darkest of kDarkReach columns into the wall (reaching
// the top of the step also from an edge found a little early).
constexpr int kStepWidth = 3;
constexpr int kDarkReach = 5;
// A level must put each edge within this many pixels of where the level
// halfway up its step puts it.
constexpr double kMiddleReach = 0.75;
constexpr double kLowestCutOff = 1.0;
constexpr double kHighestCutOff = 6.0;

// An edge's step: the darkness just inside the wall and just outside it
// (on the background's or the lumen's side); -1 where the zone has no room
// for a side.
struct Step {
  int dark = -1;
  double bright = -1.0;

  bool Valid() const { return dark >= 0 && bright >= 0.0; }
  double Middle() const { return 0.5 * (dark + bright); }
};

// The steps of the two edges, left and right.
struct Steps {
  Step left, right;

  bool Valid() const { return left.Valid() && right.Valid(); }
  // The level halfway up both.
  int Middle() const { return static_cast<int>(std::lround(0.5 * (left.Middle() + right.Middle()))); }
  double Dark() const { return 0.5 * (left.dark + right.dark); }
};

struct Walls {
  int left = 0;   // first wall column
  int right = 0;  // one past the last
};

struct Lumen {
  int left = 0;   // first lumen column
  int right = 0;  // first column of the right wall
};

// One frame's columns as the rule sees them: for every level, where the
// search's outer pass would put the walls.
class Columns {
 public:
  explicit Columns(const ColumnProfile& c) : p_(c.profile), width_(static_cast<int>(c.profile.size())), sd_(c.sd) {
    first_.fill(width_);
    end_.fill(0);
    first_[0] = 0;
    end_[0] = width_;
    std::array<int, 256> counts{};
    int top = 0;
    for (int x = 0; x < width_; ++x) {
      const int v = p_[static_cast<std::size_t>(x)];
      ++counts[static_cast<std::size_t>(v)];
      while (top < v) first_[static_cast<std::size_t>(++top)] = x;
    }
    darkest_ = top;
    top = 0;
    for (int x = width_ - 1; x >= 0; --x) {
      const int v = p_[static_cast<std::size_t>(x)];
      while (top < v) end_[static_cast<std::size_t>(++top)] = x + 1;
    }
    const int share = static_cast<int>(std::ceil(kBrightShare * width_));
    int seen = 0;
    for (int v = 0; v < 256; ++v) {
      seen += counts[static_cast<std::size_t>(v)];
      if (seen >= share) {
        bright_ = v;
        break;
      }
    }
    const int contrast = darkest_ - bright_;
    stableDepth_ = std::max(kMinStableLevels, static_cast<int>(std::lround(kStableShare * contrast)));
    outsideLimit_ = bright_ + kOutsideShare * contrast;
    if (sd_ > 0) {
      lowest_ = LevelOf(kLowestCutOff);
      highest_ = std::min(LevelOf(kHighestCutOff), 255);
    }
  }

  int Width() const { return width_; }
  int At(int x) const { return p_[static_cast<std::size_t>(x)]; }
  // The levels that cut-offs 1.0 to 6.0 give.
  int Lowest() const { return lowest_; }
  int Highest() const { return highest_; }
  int StableDepth() const { return stableDepth_; }
  // Whether the vessel stands out of the picture at all.
  bool HasContrast() const { return sd_ > 0 && darkest_ - bright_ >= kMinStableLevels && lowest_ <= highest_; }

  // The lowest level that the search marks at `cutOff`: the darkness d
  // with d / sd >= cutOff, computed as the search computes it.
  int LevelOf(double cutOff) const {
    const double sd = sd_;
    int v = static_cast<int>(std::clamp(std::ceil(cutOff * sd), 0.0, 256.0));
    while (v > 0 && static_cast<double>(v - 1) / sd >= cutOff) --v;
    while (v < 256 && static_cast<double>(v) / sd < cutOff) ++v;
    return v;
  }
  // A cut-off of two decimals (as the sliders show it) near `level`.
  double CutOffOf(int level) const {
    const double c = std::round(100.0 * level / sd_) / 100.0;
    return std::clamp(c, kLowestCutOff, kHighestCutOff);
  }

  // The darkest column of [from, to), and the mean darkness of its columns,
  // both within the zone; -1 for none.
  int Darkest(int from, int to) const {
    int d = -1;
    for (int x = std::max(from, 0); x < std::min(to, width_); ++x) d = std::max(d, At(x));
    return d;
  }
  double Mean(int from, int to) const {
    from = std::max(from, 0);
    to = std::min(to, width_);
    if (from >= to) return -1.0;
    int sum = 0;
    for (int x = from; x < to; ++x) sum += At(x);
    return static_cast<double>(sum) / (to - from);
  }
  // The walls of the outer pass at `level`, when they measure a vessel:
  // inside the zone, with only background outside.
  std::optional<Walls> WallsAt(int level) const {
    if (level < 0 || level >= kLevels) return std::nullopt;
    const Walls w{first_[static_cast<std::size_t>(level)], end_[static_cast<std::size_t>(level)]};
    if (w.left <= 0 || w.right >= width_ || w.left >= w.right) return std::nullopt;
    // The edges' own blur is left out.
    if (DarkestBefore(w.left - kStepWidth) > outsideLimit_ || DarkestFrom(w.right + kStepWidth) > outsideLimit_)
      return std::nullopt;
    return w;
  }

  // Whether the walls at `level` hold a vessel: two walls of about one
  // thickness with its lumen between them. Where the level marks several
  // bands, the widest unmarked stretch between them is the lumen and the
  // bands on either side are the walls (a wall's lines lie closer together
  // than its lumen is wide); where it marks one band (a lumen as dark as
  // the level), its outer quarters must reach a stable depth darker than
  // the brightest of its middle.
  bool HoldsAVessel(const Walls& w, int level) const {
    int gapFrom = 0, gapTo = 0;  // the widest unmarked stretch
    for (int x = w.left; x < w.right;) {
      if (At(x) >= level) {
        ++x;
        continue;
      }
      const int from = x;
      while (x < w.right && At(x) < level) ++x;
      if (x - from > gapTo - gapFrom) gapFrom = from, gapTo = x;
    }
    if (gapTo > gapFrom) return WallsAlike(gapFrom - w.left, w.right - gapTo);
    const int q = (w.right - w.left) / 4;
    if (q < 1) return false;
    int leftDark = 0, rightDark = 0, middleBright = 255;
    for (int x = w.left; x < w.left + q; ++x) leftDark = std::max(leftDark, At(x));
    for (int x = w.right - q; x < w.right; ++x) rightDark = std::max(rightDark, At(x));
    for (int x = w.left + q; x < w.right - q; ++x) middleBright = std::min(middleBright, At(x));
    return middleBright + stableDepth_ <= std::min(leftDark, rightDark);
  }

  // Whether two walls are the two sides of one vessel wall: the thinner at
  // least kWallRatio of the thicker, less the edge tolerance.
  static bool WallsAlike(int a, int b) { return std::min(a, b) + kEdgeTolerance >= kWallRatio * std::max(a, b); }

  // The lumen of the inner pass at `level` within the walls: the end of the
  // first marked band and the start of the last, when the level marks
  // nothing outside the walls (but their edges' blur) and leaves walls of
  // about one thickness.
  std::optional<Lumen> LumenAt(int level, const Walls& walls) const {
    if (level < 0 || level >= kLevels) return std::nullopt;
    int left = first_[static_cast<std::size_t>(level)];
    int right = end_[static_cast<std::size_t>(level)];
    if (left < walls.left - kStepWidth || right > walls.right + kStepWidth || left >= right) return std::nullopt;
    // Each wall is thinner than half the vessel.
    const int middle = (walls.left + walls.right) / 2;
    while (left < middle && At(left) >= level) ++left;
    while (right > middle && At(right - 1) >= level) --right;
    if (left >= middle || right <= middle || left <= walls.left || right >= walls.right) return std::nullopt;
    if (!WallsAlike(left - walls.left, walls.right - right)) return std::nullopt;
    return Lumen{left, right};
  }

 private:
  // The darkest column before x, and from x on (-1 for none): the levels
  // whose walls start after x, and end before it.
  int DarkestBefore(int x) const {
    if (x <= 0) return -1;
    // first_ rises with the level: the darkest column before x is one below
    // the lowest level whose first column is x or later.
    int lo = 0, hi = kLevels - 1;
    while (lo < hi) {
      const int mid = (lo + hi) / 2;
      if (first_[static_cast<std::size_t>(mid)] >= x) {
        hi = mid;
      } else {
        lo = mid + 1;
      }
    }
    return lo - 1;
  }
  int DarkestFrom(int x) const {
    if (x >= width_) return -1;
    int lo = 0, hi = kLevels - 1;
    while (lo < hi) {
      const int mid = (lo + hi) / 2;
      if (end_[static_cast<std::size_t>(mid)] <= x) {
        hi = mid;
      } else {
        lo = mid + 1;
      }
    }
    return lo - 1;
  }

  const std::vector<std::uint8_t>& p_;
  const int width_;
  const int sd_;
  std::array<int, kLevels> first_{};  // first column at or above the level, width when none
  std::array<int, kLevels> end_{};    // one past the last such column, 0 when none
  int darkest_ = 0;
  int bright_ = 0;
  int stableDepth_ = kMinStableLevels;
  double outsideLimit_ = 0.0;
  int lowest_ = 1;
  int highest_ = 0;
};

bool Near(int a, int b) { return std::abs(a - b) <= kEdgeTolerance; }

int CheckStep(const Columns& k) { return std::max(1, static_cast<int>(std::lround(kCheckShare * k.StableDepth()))); }

// The steps at both outer walls.
Steps OuterSteps(const Columns& k, const Walls& w) {
  return {{k.Darkest(w.left, w.left + kDarkReach), k.Mean(w.left - kStepWidth - 2, w.left - 2)},
          {k.Darkest(w.right - kDarkReach, w.right), k.Mean(w.right + 2, w.right + kStepWidth + 2)}};
}

// The steps from both walls into the lumen.
Steps InnerSteps(const Columns& k, const Lumen& l) {
  const int middle = (l.left + l.right) / 2;
  return {{k.Darkest(l.left - kDarkReach, l.left), k.Mean(l.left + 2, std::min(l.left + kStepWidth + 2, middle))},
          {k.Darkest(l.right, l.right + kDarkReach), k.Mean(std::max(l.right - kStepWidth - 2, middle), l.right - 2)}};
}

// Where the darkness crosses `level` near column x, in columns (a crossing
// between columns c - 1 and c counts in proportion), rising into a wall or
// falling out of it when scanned rightwards; nothing when it does not
// within the edge's reach.
std::optional<double> Crossing(const Columns& k, int x, double level, bool rising) {
  const int from = std::max(x - kStepWidth - 1, 0), to = std::min(x + kStepWidth, k.Width() - 1);
  for (int c = from; c <= to; ++c) {
    if ((k.At(c) >= level) != rising) continue;
    if (c == from) return c;
    const double before = k.At(c - 1), at = k.At(c);
    return c - 1 + (level - before) / (at - before);
  }
  return std::nullopt;
}

// Whether `level` puts both edges (the left one at column a, rising into
// the wall when `leftRises`, the right one at column b) within kMiddleReach
// of where the level halfway up their steps puts them, so that a blurred
// edge is found where it is.
bool NearMiddle(const Columns& k, int level, int a, int b, bool leftRises, const Steps& steps) {
  if (!steps.Valid()) return false;
  for (const auto& [x, rising] : {std::pair{a, leftRises}, std::pair{b, !leftRises}}) {
    const std::optional<double> here = Crossing(k, x, level, rising);
    const std::optional<double> middle = Crossing(k, x, steps.Middle(), rising);
    if (!here || !middle || std::abs(*here - *middle) > kMiddleReach) return false;
  }
  return true;
}

// Whether the walls at `level` measure the vessel: the same a check step
// above and below, and `level` near the middle of their steps.
bool OuterHolds(const Columns& k, int level) {
  const std::optional<Walls> w = k.WallsAt(level);
  if (!w || !k.HoldsAVessel(*w, level) || !NearMiddle(k, level, w->left, w->right - 1, true, OuterSteps(k, *w)))
    return false;
  const int step = CheckStep(k);
  for (const int other : {level - step, level + step}) {
    const std::optional<Walls> o = k.WallsAt(other);
    if (!o || !Near(o->left, w->left) || !Near(o->right, w->right)) return false;
  }
  return true;
}

// Whether the lumen, past its edges' blur, is even: its darkest column
// lies in the lower quarter between its mean and the darkness of the walls
// at its edges. A level that splits a wall into its lines leaves the
// wall's other lines inside what it takes for the lumen.
bool LumenIsEven(const Columns& k, const Lumen& l, const Steps& steps) {
  const int from = l.left + kStepWidth, to = l.right - kStepWidth;
  if (from >= to) return true;
  const double mean = k.Mean(from, to);
  return 4.0 * (k.Darkest(from, to) - mean) < steps.Dark() - mean;
}

// Whether the lumen at `level` within the walls measures the vessel: the
// same a check step above and below, `level` near the middle of its edges'
// steps, and the lumen even.
bool InnerHolds(const Columns& k, int level, const Walls& walls) {
  const std::optional<Lumen> l = k.LumenAt(level, walls);
  if (!l) return false;
  const Steps s = InnerSteps(k, *l);
  if (!NearMiddle(k, level, l->left, l->right, false, s) || !LumenIsEven(k, *l, s)) return false;
  const int step = CheckStep(k);
  for (const int other : {level - step, level + step}) {
    const std::optional<Lumen> o = k.LumenAt(other, walls);
    if (!o || !Near(o->left, l->left) || !Near(o->right, l->right)) return false;
  }
  return true;
}

// The lowest and the highest of one edge's positions over a range of
// levels that moves up: the levels whose positions may still be the
// extremes, in order (monotonic queues).
class Extremes {
 public:
  void Clear() { lowFrom_ = lowTo_ = highFrom_ = highTo_ = 0; }
  void Push(int level, int position) {
    at_[static_cast<std::size_t>(level)] = position;
    while (lowTo_ > lowFrom_ && At(low_[static_cast<std::size_t>(lowTo_ - 1)]) >= position) --lowTo_;
    low_[static_cast<std::size_t>(lowTo_++)] = level;
    while (highTo_ > highFrom_ && At(high_[static_cast<std::size_t>(highTo_ - 1)]) <= position) --highTo_;
    high_[static_cast<std::size_t>(highTo_++)] = level;
  }
  // Forgets the levels below `from`.
  void DropBefore(int from) {
    while (lowFrom_ < lowTo_ && low_[static_cast<std::size_t>(lowFrom_)] < from) ++lowFrom_;
    while (highFrom_ < highTo_ && high_[static_cast<std::size_t>(highFrom_)] < from) ++highFrom_;
  }
  // How far the positions spread; 0 for none.
  int Spread() const {
    if (lowFrom_ == lowTo_) return 0;
    return At(high_[static_cast<std::size_t>(highFrom_)]) - At(low_[static_cast<std::size_t>(lowFrom_)]);
  }

 private:
  int At(int level) const { return at_[static_cast<std::size_t>(level)]; }
  std::array<int, kLevels> at_{}, low_{}, high_{};
  int lowFrom_ = 0, lowTo_ = 0, highFrom_ = 0, highTo_ = 0;
};

// The level to search at, or nothing. `at` gives the edges at a level.
// A level is steady when it lies a check step (and a level for the
// cut-off's rounding) inside a range of levels at least the stable depth
// deep over which each edge moves by no more than the tolerance. Of the
// lowest run of steady levels that the cut-offs reach, the one nearest the
// middle of the edges' steps (`step`) is taken when `accept` takes it, else
// the next run is tried. Steadiness is judged on every level, also those no
// cut-off reaches, so a range that only starts below the highest cut-off's
// level still counts.
template <typename Edges, typename At, typename StepsOf, typename Accept>
std::optional<int> ChooseLevel(const Columns& k, At at, StepsOf steps, Accept accept) {
  // A range a stable depth deep around a level a cut-off reaches lies
  // within these levels.
  const int margin = CheckStep(k) + 1;
  const int first = std::max(1, k.Lowest() - k.StableDepth() - margin);
  const int last = std::min(kLevels - 2, k.Highest() + k.StableDepth() + margin);
  std::array<std::optional<Edges>, kLevels> edges{};
  for (int level = first; level <= last; ++level) edges[static_cast<std::size_t>(level)] = at(level);
  // Each level's longest steady range ending there marks the levels a
  // margin inside it as steady (counted through the differences).
  std::array<int, kLevels + 1> marks{};
  Extremes left, right;
  for (int from = first, to = first; to <= last; ++to) {
    const std::optional<Edges>& e = edges[static_cast<std::size_t>(to)];
    if (!e) {
      from = to + 1;
      left.Clear();
      right.Clear();
      continue;
    }
    left.Push(to, e->left);
    right.Push(to, e->right);
    while (left.Spread() > kEdgeTolerance || right.Spread() > kEdgeTolerance) {
      ++from;
      left.DropBefore(from);
      right.DropBefore(from);
    }
    if (to - from + 1 >= k.StableDepth() && from + margin <= to - margin) {
      ++marks[static_cast<std::size_t>(from + margin)];
      --marks[static_cast<std::size_t>(to - margin + 1)];
    }
  }
  int count = 0;
  for (int level = first; level <= k.Highest(); ++level) {
    count += marks[static_cast<std::size_t>(level)];
    marks[static_cast<std::size_t>(level)] = count;
  }
  for (int level = k.Lowest(); level <= k.Highest();) {
    if (marks[static_cast<std::size_t>(level)] <= 0) {
      ++level;
      continue;
    }
    int top = level;
    while (top + 1 <= k.Highest() && marks[static_cast<std::size_t>(top + 1)] > 0) ++top;
    const int middle = level + (top - level) / 2;
    const int chosen = std::clamp(steps(*edges[static_cast<std::size_t>(middle)]).Middle(), level, top);
    if (accept(chosen)) return chosen;
    level = top + 1;
  }
  return std::nullopt;
}

}  // namespace

AutoThresholdResult SearchWithAutoThreshold(const ColumnProfile& columns, double outerCutOff, double innerCutOff,
                                            bool ignoreLumen) {
  AutoThresholdResult result;
  result.outerCutOff = outerCutOff;
  result.innerCutOff = innerCutOff;
  const Columns k(columns);
  if (k.Width() < 2 || !k.HasContrast()) return result;

  // The outer walls: the kept cut-off while its walls hold, else a new one.
  double outer = outerCutOff;
  if (!OuterHolds(k, k.LevelOf(outer))) {
    const std::optional<int> level = ChooseLevel<Walls>(
        k, [&k](int l) { return k.WallsAt(l); }, [&k](const Walls& w) { return OuterSteps(k, w); },
        [&k](int l) { return OuterHolds(k, k.LevelOf(k.CutOffOf(l))); });
    if (!level) return result;
    outer = k.CutOffOf(*level);
  }
  const std::optional<Walls> walls = k.WallsAt(k.LevelOf(outer));
  std::int32_t left = 0, right = 0;
  // The plain search at that cut-off gives these very walls.
  if (!walls || !TakeOuterEdges(FindChanges(ThresholdColumns(columns, outer)), left, right) || left != walls->left ||
      right != walls->right) {
    return result;
  }
  result.found = true;
  result.outerLeft = left;
  result.outerRight = right;
  result.outerChosen = outer != outerCutOff;
  result.outerCutOff = outer;
  if (ignoreLumen) return result;

  double inner = innerCutOff;
  if (!InnerHolds(k, k.LevelOf(inner), *walls)) {
    const std::optional<int> level = ChooseLevel<Lumen>(
        k, [&](int l) { return k.LumenAt(l, *walls); }, [&k](const Lumen& l) { return InnerSteps(k, l); },
        [&](int l) { return InnerHolds(k, k.LevelOf(k.CutOffOf(l)), *walls); });
    if (!level) return result;
    inner = k.CutOffOf(*level);
  }
  const std::optional<Lumen> lumen = k.LumenAt(k.LevelOf(inner), *walls);
  if (!lumen || !TakeLumenEdges(FindChanges(ThresholdColumns(columns, inner)), left, right) || left != lumen->left ||
      right != lumen->right) {
    return result;
  }
  result.lumenFound = true;
  result.lumenLeft = left;
  result.lumenRight = right;
  result.innerChosen = inner != innerCutOff;
  result.innerCutOff = inner;
  return result;
}

}  // namespace ORV
