#include "analysis_control/auto_threshold.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <optional>

namespace ORV {

namespace {

// A level is a darkness 0 to 256; level 256 marks no column.
constexpr int kLevels = 257;
// The bright level: the darkness that this share of the columns does not
// exceed.
constexpr double kBrightShare = 0.1;
// The least contrast a vessel has against the background, in levels.
constexpr int kMinContrast = 6;
// The columns outside the walls are background: at most this share of the
// contrast darker than the picture's bright level (past the edge's blur).
constexpr double kOutsideShare = 0.35;
constexpr int kOutsideBlur = 3;
// The level beside an outer edge: the median of up to kBesideReach columns
// that start kBesideGap columns off the edge (clear of its blur, and of the
// ramp that a vessel at a slant to the zone gives it).
constexpr int kBesideGap = 6;
constexpr int kBesideReach = 32;
// An edge that moves by more than this many pixels from one level to the
// next jumps: the level crosses a gap in a wall, a speck or the
// background's slope there, not the edge's steady rise.
constexpr int kJump = 3;
// A level must lie this many levels from the nearest jump of its edges:
// the outer walls' at least kMinClearance and this share of their contrast
// (their edges are steep), the lumen's kInnerClearance (its edges are
// ramps that the lumen's speckle and the walls' inner lines dent).
constexpr int kMinClearance = 3;
constexpr double kOuterClearanceShare = 0.04;
constexpr int kInnerClearance = 1;
// A level must put each outer edge within this many pixels of where the
// level halfway up that edge's own step puts it, and each lumen edge within
// kInnerReach (a lumen's edge is a ramp several columns wide, so one level
// for both sides moves each a little further from its own middle).
constexpr int kOuterReach = 1;
constexpr int kInnerReach = 2;
// Where no level puts the outer edges within kOuterReach (when the middle of
// their steps lies beyond the highest cut-off's level, as it does for thin
// walls across a wide zone), a level that puts them within this many pixels
// will do: their steps are steep. A lumen's ramp is not: no such allowance.
constexpr int kOuterFarReach = 2;
// A kept level must put the edges where their own middles put them, so
// that it does not drift off them as the vessel changes; it is kept while
// it does (and so the edges do not flicker between levels that are equally
// near).
constexpr int kKeepReach = 0;
// How far from the middle of the steps a new choice looks for a level, as a
// share of the edges' contrast: for the outer walls far (their steps are
// steep, a level well below their middle still finds them), for the lumen
// near (on its ramp, a level much below the middle reads it too narrow).
constexpr double kOuterSearchShare = 0.4;
constexpr double kInnerSearchShare = 0.15;
// The thinner wall is at least this share of the thicker one (less kSlack
// on each).
constexpr double kWallRatio = 0.6;
constexpr int kSlack = 3;
// The walls stand out of the lumen by this share of their contrast against
// the background.
constexpr double kLumenShare = 0.25;
// The level halfway up the outer walls settles within this many steps.
constexpr int kSettleSteps = 6;
// Too bright: the bright level is at most this darkness (the background is
// white) and the walls stand out by less than kWashedOut levels.
constexpr int kWhite = 2;
constexpr int kWashedOut = 12;
// A picture is judged too dark only when the vessel (what is darker than
// the level between it and the background) spans at least this share of
// the zone: a zone mostly of background misses its level for another
// reason.
constexpr double kVesselShare = 0.25;
// A vessel whose edges move by this many pixels or more from the zone's
// top to its bottom is measured upright.
constexpr double kSlantPixels = 2.0;
constexpr double kLowestCutOff = 1.0;
constexpr double kHighestCutOff = 6.0;

// Edges of a vessel at one level, in columns: the walls span [left, right),
// the lumen [left, right) within them.
struct Span {
  int left = 0;
  int right = 0;
};

// The levels on either side of the two edges: the darkness beside each
// (background or lumen) and each wall's darkest.
struct Steps {
  double besideLeft = 0.0, besideRight = 0.0;
  int darkLeft = 0, darkRight = 0;

  int MiddleLeft() const { return static_cast<int>(std::lround(0.5 * (besideLeft + darkLeft))); }
  int MiddleRight() const { return static_cast<int>(std::lround(0.5 * (besideRight + darkRight))); }
  // The level halfway up both.
  int Middle() const { return static_cast<int>(std::lround(0.25 * (besideLeft + darkLeft + besideRight + darkRight))); }
  // The smaller of the two contrasts.
  double Contrast() const { return std::min(darkLeft - besideLeft, darkRight - besideRight); }
};

bool WallsAlike(int a, int b) { return std::min(a, b) + kSlack >= kWallRatio * std::max(a, b); }

// The lowest level that the search marks at `cutOff` on columns of spread
// `sd` (above 0): the darkness d with d / sd >= cutOff, computed as the
// search computes it.
int LevelOfCutOff(int sd, double cutOff) {
  const double spread = sd;
  int v = static_cast<int>(std::clamp(std::ceil(cutOff * spread), 0.0, 256.0));
  while (v > 0 && static_cast<double>(v - 1) / spread >= cutOff) --v;
  while (v < 256 && static_cast<double>(v) / spread < cutOff) ++v;
  return v;
}

// One frame's columns as the rule sees them.
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
    outsideLimit_ = bright_ + kOutsideShare * (darkest_ - bright_);
    if (sd_ > 0) {
      lowest_ = LevelOf(kLowestCutOff);
      highest_ = std::min(LevelOf(kHighestCutOff), 255);
    }
  }

  int Width() const { return width_; }
  int At(int x) const { return p_[static_cast<std::size_t>(x)]; }
  int Bright() const { return bright_; }
  int Darkest() const { return darkest_; }
  // The levels that cut-offs 1.0 to 6.0 give.
  int Highest() const { return highest_; }
  bool Reachable(int level) const { return sd_ > 0 && level >= lowest_ && level <= highest_; }
  // Whether anything stands out of the picture at all.
  bool HasContrast() const { return sd_ > 0 && darkest_ - bright_ >= kMinContrast; }

  int LevelOf(double cutOff) const { return LevelOfCutOff(sd_, cutOff); }
  // A cut-off of two decimals (as the sliders show it) that marks from
  // `level`, or the nearest one when none does; `level` is reachable.
  double CutOffOf(int level) const {
    const double c = std::round(100.0 * level / sd_) / 100.0;
    for (const double d : {c, c - 0.01, c + 0.01}) {
      const double cutOff = std::clamp(d, kLowestCutOff, kHighestCutOff);
      if (LevelOf(cutOff) == level) return cutOff;
    }
    return std::clamp(c, kLowestCutOff, kHighestCutOff);
  }

  // The darkest column of [from, to) within the zone; -1 for none.
  int DarkestOf(int from, int to) const {
    int d = -1;
    for (int x = std::max(from, 0); x < std::min(to, width_); ++x) d = std::max(d, At(x));
    return d;
  }
  // The median darkness of [from, to) within the zone; -1 for none.
  double MedianOf(int from, int to) const {
    from = std::max(from, 0);
    to = std::min(to, width_);
    if (from >= to) return -1.0;
    scratch_.assign(p_.begin() + from, p_.begin() + to);
    const auto half = scratch_.begin() + (to - from) / 2;
    std::nth_element(scratch_.begin(), half, scratch_.end());
    return *half;
  }

  // The first column at or above `level` and one past the last (-1 for
  // none).
  Span Outermost(int level) const {
    if (level < 1 || level >= kLevels) return {-1, -1};
    const Span w{first_[static_cast<std::size_t>(level)], end_[static_cast<std::size_t>(level)]};
    return w.left < w.right ? w : Span{-1, -1};
  }
  // The walls of the outer pass at `level`, when they lie inside the zone
  // with only background outside.
  std::optional<Span> WallsAt(int level) const {
    if (level < 1 || level >= kLevels) return std::nullopt;
    const Span w{first_[static_cast<std::size_t>(level)], end_[static_cast<std::size_t>(level)]};
    if (w.left <= 0 || w.right >= width_ || w.right - w.left < 4) return std::nullopt;
    if (DarkestBefore(w.left - kOutsideBlur) > outsideLimit_ || DarkestFrom(w.right + kOutsideBlur) > outsideLimit_)
      return std::nullopt;
    return w;
  }

  // The steps of the outer walls: the background beside each, and each
  // wall's darkest column (in its half of the vessel).
  Steps OuterSteps(const Span& w) const {
    const int middle = (w.left + w.right) / 2;
    Steps s;
    s.besideLeft = MedianOf(w.left - kBesideGap - kBesideReach, w.left - kBesideGap);
    s.besideRight = MedianOf(w.right + kBesideGap, w.right + kBesideGap + kBesideReach);
    if (s.besideLeft < 0.0) s.besideLeft = MedianOf(0, w.left);
    if (s.besideRight < 0.0) s.besideRight = MedianOf(w.right, width_);
    s.darkLeft = DarkestOf(w.left, middle);
    s.darkRight = DarkestOf(middle, w.right);
    return s;
  }

  // Whether the walls at `level` hold a vessel: two walls of about one
  // thickness with its lumen between them. Where the level marks several
  // bands, the widest unmarked stretch between them is the lumen and the
  // bands on either side are the walls (a wall's lines lie closer together
  // than its lumen is wide); where it marks one band (a lumen as dark as
  // the level), its outer quarters must stand out of the brightest of its
  // middle by the vessel's least contrast.
  bool HoldsAVessel(const Span& w, int level) const {
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
    const int leftDark = DarkestOf(w.left, w.left + q), rightDark = DarkestOf(w.right - q, w.right);
    int middleBright = 255;
    for (int x = w.left + q; x < w.right - q; ++x) middleBright = std::min(middleBright, At(x));
    return middleBright + kMinContrast <= std::min(leftDark, rightDark);
  }

  // The share of the zone that the columns at or above `level` span.
  double ShareAtOrAbove(int level) const {
    level = std::clamp(level, 0, kLevels - 1);
    const int span = end_[static_cast<std::size_t>(level)] - first_[static_cast<std::size_t>(level)];
    return width_ > 0 ? std::max(span, 0) / static_cast<double>(width_) : 0.0;
  }

 private:
  // The darkest column before x, and from x on (-1 for none): one below the
  // lowest level whose first column is x or later (whose last column lies
  // before x).
  int DarkestBefore(int x) const {
    if (x <= 0) return -1;
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
  mutable std::vector<std::uint8_t> scratch_;
  int darkest_ = 0;
  int bright_ = 0;
  double outsideLimit_ = 0.0;
  int lowest_ = 1;
  int highest_ = 0;
};

// How a level is chosen for one pair of edges.
struct Rule {
  int reach = 0;        // how far a new choice's edges may lie from their own middles
  int farReach = 0;     // the same where no level lies within reach
  int keepReach = 0;    // the same for a kept level
  double search = 0.0;  // how far from the middle of the steps a new choice looks, as a share of their contrast
  int clearance = 0;    // levels from the nearest jump
};

// A pair of edges at each level, as `EdgesAt` gives them (its call: the
// pair where it measures a vessel, else nothing; its Side: each side's edge
// whatever the other's, -1 for none), with each side's edge at the level
// halfway up its own step.
template <typename EdgesAt>
class Levels {
 public:
  Levels(EdgesAt at, const Steps& steps, const Rule& rule) : at_(std::move(at)), rule_(rule), middle_(steps.Middle()) {
    range_ = std::max(kMinClearance, static_cast<int>(std::lround(rule.search * steps.Contrast())));
    ownLeft_ = at_.Side(steps.MiddleLeft()).left;
    ownRight_ = at_.Side(steps.MiddleRight()).right;
  }

  const Rule& Rules() const { return rule_; }
  int Middle() const { return middle_; }
  int Range() const { return range_; }
  std::optional<Span> At(int level) const { return level >= 1 && level < kLevels ? at_(level) : std::optional<Span>(); }
  // How far the edges `e` lie from those at their own middles, in pixels,
  // each, and both together; -1 without middles.
  int Farthest(const Span& e) const {
    if (ownLeft_ < 0 || ownRight_ < 0) return -1;
    return std::max(std::abs(e.left - ownLeft_), std::abs(e.right - ownRight_));
  }
  int Offset(const Span& e) const { return std::abs(e.left - ownLeft_) + std::abs(e.right - ownRight_); }
  // Whether the edges move by a jump (or stop measuring a vessel) between
  // `a` and the level above, whose edges are `b`.
  static bool Jump(const std::optional<Span>& a, const std::optional<Span>& b) {
    return !a || !b || std::abs(a->left - b->left) > kJump || std::abs(a->right - b->right) > kJump;
  }

 private:
  EdgesAt at_;
  Rule rule_;
  int middle_ = 0;
  int range_ = 0;
  int ownLeft_ = -1, ownRight_ = -1;
};

// A choice of level: the level, and whether it is the kept one.
struct Choice {
  int level = 0;
  bool kept = false;
};

// Whether the kept `level` still works: reachable, its edges within
// keepReach of their own middles, its clearance from every jump, and
// `valid`.
template <typename L, typename Valid>
bool Keeps(const Columns& k, const L& e, int level, Valid valid) {
  if (!k.Reachable(level)) return false;
  const std::optional<Span> here = e.At(level);
  if (!here) return false;
  const int far = e.Farthest(*here);
  if (far < 0 || far > e.Rules().keepReach) return false;
  std::optional<Span> previous = e.At(level - e.Rules().clearance);
  for (int l = level - e.Rules().clearance; l < level + e.Rules().clearance; ++l) {
    const std::optional<Span> next = e.At(l + 1);
    if (L::Jump(previous, next)) return false;
    previous = next;
  }
  return valid(level);
}

// A new level for the edges: of the levels within the rule's range of the
// middle of the steps that are reachable and have their clearance from
// every jump, one whose edges lie within reach of their own middles (or
// farReach, where none does), the one whose edges lie nearest them (the
// furthest from a jump, then the nearest to the middle, among equals).
// `valid`, the dearest check, is asked of as few levels as may be.
template <typename L, typename Valid>
std::optional<int> ChooseLevel(const Columns& k, const L& e, Valid valid) {
  const Rule& rule = e.Rules();
  const int from = std::max(e.Middle() - e.Range(), 1), to = std::min(e.Middle() + e.Range(), 255);
  if (from > to) return std::nullopt;
  // The edges over the levels looked at, with room for the clearance, and
  // how many levels down (and up) from each the edges go without a jump.
  const int lo = std::max(from - rule.clearance - 1, 0), hi = std::min(to + rule.clearance + 1, kLevels - 1);
  std::array<std::optional<Span>, kLevels> at;
  for (int l = lo; l <= hi; ++l) at[static_cast<std::size_t>(l)] = e.At(l);
  std::array<int, kLevels> below{}, above{};
  for (int l = lo + 1; l <= hi; ++l) {
    const auto i = static_cast<std::size_t>(l);
    below[i] = L::Jump(at[i - 1], at[i]) ? 0 : below[i - 1] + 1;
  }
  for (int l = hi - 1; l >= lo; --l) {
    const auto i = static_cast<std::size_t>(l);
    above[i] = L::Jump(at[i], at[i + 1]) ? 0 : above[i + 1] + 1;
  }
  struct Candidate {
    int level, offset, clearance, distance;
  };
  std::array<Candidate, kLevels> candidates;
  for (const int reach : {rule.reach, rule.farReach}) {
    std::size_t count = 0;
    for (int level = from; level <= to; ++level) {
      const auto i = static_cast<std::size_t>(level);
      const int clearance = std::min(below[i], above[i]);
      if (!at[i] || clearance < rule.clearance || !k.Reachable(level)) continue;
      const int far = e.Farthest(*at[i]);
      if (far < 0 || far > reach) continue;
      candidates[count++] = {level, e.Offset(*at[i]), clearance, std::abs(level - e.Middle())};
    }
    std::sort(candidates.begin(), candidates.begin() + static_cast<std::ptrdiff_t>(count),
              [](const Candidate& a, const Candidate& b) {
                if (a.offset != b.offset) return a.offset < b.offset;
                if (a.clearance != b.clearance) return a.clearance > b.clearance;
                return a.distance < b.distance;
              });
    for (std::size_t i = 0; i < count; ++i)
      if (valid(candidates[i].level)) return candidates[i].level;
  }
  return std::nullopt;
}

// The level for the edges: `kept` while it still works, else a new one.
template <typename L, typename Valid>
std::optional<Choice> ChooseOrKeep(const Columns& k, const L& e, std::optional<int> kept, Valid valid) {
  if (kept && Keeps(k, e, *kept, valid)) return Choice{*kept, true};
  if (const std::optional<int> level = ChooseLevel(k, e, valid)) return Choice{*level, false};
  return std::nullopt;
}

constexpr Rule kOuterRule{kOuterReach, kOuterFarReach, kKeepReach, kOuterSearchShare, kMinClearance};
constexpr Rule kInnerRule{kInnerReach, kInnerReach, kKeepReach, kInnerSearchShare, kInnerClearance};

// The outer walls at each level.
struct OuterAt {
  const Columns& k;
  std::optional<Span> operator()(int level) const { return k.WallsAt(level); }
  Span Side(int level) const { return k.Outermost(level); }
};

Levels<OuterAt> OuterLevels(const Columns& k, const Steps& steps) {
  Rule rule = kOuterRule;
  rule.clearance = std::max(kMinClearance, static_cast<int>(std::lround(kOuterClearanceShare * steps.Contrast())));
  return Levels(OuterAt{k}, steps, rule);
}

// The level halfway up the outer walls' steps, reached from halfway between
// the picture's bright level and its darkest column, with those steps.
std::optional<std::pair<int, Steps>> OuterMiddle(const Columns& k) {
  int level = (k.Bright() + k.Darkest() + 1) / 2;
  Steps steps;
  for (int i = 0; i < kSettleSteps; ++i) {
    const std::optional<Span> w = k.WallsAt(level);
    if (!w) return std::nullopt;
    steps = k.OuterSteps(*w);
    const int next = steps.Middle();
    if (next == level) break;
    level = next;
  }
  return std::pair{level, steps};
}

// The outer walls: those at `kept` while it still works (the steps read at
// its walls), else at a new level (the steps read at the middle of the
// walls' steps); with the steps.
std::optional<std::pair<Choice, Steps>> ChooseOuter(const Columns& k, std::optional<int> kept) {
  const auto holds = [&k](int level) {
    const std::optional<Span> w = k.WallsAt(level);
    return w && k.HoldsAVessel(*w, level);
  };
  if (kept) {
    if (const std::optional<Span> w = k.WallsAt(*kept)) {
      const Steps steps = k.OuterSteps(*w);
      if (steps.Contrast() >= kMinContrast && Keeps(k, OuterLevels(k, steps), *kept, holds))
        return std::pair{Choice{*kept, true}, steps};
    }
  }
  const std::optional<std::pair<int, Steps>> middle = OuterMiddle(k);
  if (!middle || middle->second.Contrast() < kMinContrast) return std::nullopt;
  const std::optional<int> level = ChooseLevel(k, OuterLevels(k, middle->second), holds);
  if (!level) return std::nullopt;
  return std::pair{Choice{*level, false}, middle->second};
}

// The lumen at each level within the walls `w`, read from the vessel's
// middle outwards: a level at or below the middle's darkness, or one that
// leaves walls of unlike thickness, has none.
class LumenScan {
 public:
  LumenScan(const Columns& k, const Span& w) : w_(w) {
    const int middle = w.left + (w.right - w.left) / 2;
    middleDarkness_ = k.At(middle);
    // For each level, the first column at or above it going out from the
    // middle on each side, from the running darkest.
    left_.fill(-1);
    right_.fill(-1);
    int top = middleDarkness_;
    for (int x = middle - 1; x >= w.left; --x) {
      while (top < k.At(x)) left_[static_cast<std::size_t>(++top)] = x + 1;
    }
    top = middleDarkness_;
    for (int x = middle + 1; x < w.right; ++x) {
      while (top < k.At(x)) right_[static_cast<std::size_t>(++top)] = x;
    }
  }
  std::optional<Span> operator()(int level) const {
    const Span e = Side(level);
    if (e.left <= w_.left || e.right < 0 || !WallsAlike(e.left - w_.left, w_.right - e.right)) return std::nullopt;
    return e;
  }
  Span Side(int level) const {
    if (level <= middleDarkness_ || level >= kLevels) return {-1, -1};
    return {left_[static_cast<std::size_t>(level)], right_[static_cast<std::size_t>(level)]};
  }

 private:
  Span w_;
  int middleDarkness_ = 0;
  std::array<int, kLevels> left_, right_;
};

// Where the darkness `at` gives crosses `level` at an edge near column
// `around` (within `reach` columns of a zone `width` wide), in pixel
// boundaries: rising into a wall going right (`rising`: the first such rise
// in the window), or falling out of one (the last fall); nothing when the
// window starts (ends) at or above the level or holds no such edge.
template <typename Darkness>
std::optional<double> EdgeNear(Darkness at, int width, int around, int reach, int level, bool rising) {
  const int from = std::max(around - reach, 0), to = std::min(around + reach, width - 1);
  if (from >= to) return std::nullopt;
  const auto d = [&at](int c) { return static_cast<double>(at(c)); };
  if (rising) {
    if (d(from) >= level) return std::nullopt;
    int c = from;
    while (c <= to && d(c) < level) ++c;
    if (c > to) return std::nullopt;
    return c - 0.5 + (level - d(c - 1)) / (d(c) - d(c - 1));
  }
  if (d(to) >= level) return std::nullopt;
  int c = to;
  while (c >= from && d(c) < level) --c;
  if (c < from) return std::nullopt;
  return c + 0.5 + (d(c) - level) / (d(c) - d(c + 1));
}

// The slants of the walls `found`, in pixels per row, from where their
// edges lie in the zone's upper and lower rows; nothing when that cannot be
// told.
struct Slant {
  double left = 0.0, right = 0.0;
};
std::optional<Slant> SlantOf(const AutoThresholdResult& found, int level, const ColumnHalves& halves, int rows) {
  if (halves.Empty() || rows < 2) return std::nullopt;
  const int reach = std::max(4, rows / 4), width = halves.Width();
  const auto upper = [&halves](int c) { return halves.Upper(c); };
  const auto lower = [&halves](int c) { return halves.Lower(c); };
  const std::optional<double> upperLeft = EdgeNear(upper, width, found.outerLeft, reach, level, true);
  const std::optional<double> lowerLeft = EdgeNear(lower, width, found.outerLeft, reach, level, true);
  const std::optional<double> upperRight = EdgeNear(upper, width, found.outerRight, reach, level, false);
  const std::optional<double> lowerRight = EdgeNear(lower, width, found.outerRight, reach, level, false);
  if (!upperLeft || !lowerLeft || !upperRight || !lowerRight) return std::nullopt;
  // The halves' middle rows lie half the zone's height apart.
  return Slant{2.0 * (*lowerLeft - *upperLeft) / rows, 2.0 * (*lowerRight - *upperRight) / rows};
}

}  // namespace

AutoThresholdResult SearchZoneWithAutoThreshold(const GreyImageView& pixels, ColumnProfile& columns,
                                                const ColumnHalves& halves, double outerCutOff, double innerCutOff,
                                                bool ignoreLumen, bool keepOuter, bool keepInner) {
  const AutoThresholdResult first =
      SearchWithAutoThreshold(columns, outerCutOff, innerCutOff, ignoreLumen, keepOuter, keepInner);
  if (!first.found) return first;
  const std::optional<Slant> slant =
      SlantOf(first, LevelOfCutOff(columns.sd, first.outerCutOff), halves, pixels.height);
  const double mean = slant ? 0.5 * (slant->left + slant->right) : 0.0;
  if (!slant || std::abs(mean) * pixels.height < kSlantPixels) return first;
  std::optional<ColumnProfile> upright = MeasureUprightColumns(pixels, mean, pixels.width, mean);
  if (!upright) return first;
  AutoThresholdResult result =
      SearchWithAutoThreshold(*upright, outerCutOff, innerCutOff, ignoreLumen, keepOuter, keepInner);
  if (!result.found) return first;
  columns = std::move(*upright);
  return result;
}

PictureVerdict JudgePicture(const ColumnProfile& columns) {
  const Columns k(columns);
  if (k.Width() < 2) return PictureVerdict::kMeasurable;
  if (k.Darkest() - k.Bright() < kWashedOut) {
    if (k.Bright() <= kWhite) return PictureVerdict::kTooBright;
    // Even and dark: no light at all.
    if (k.Bright() >= 128) return PictureVerdict::kTooDark;
    return PictureVerdict::kMeasurable;
  }
  // The level between the background and the vessel, as the outer walls
  // would have it, or halfway between the bright level and the darkest.
  const std::optional<std::pair<int, Steps>> middle = OuterMiddle(k);
  const int level = middle ? middle->first : (k.Bright() + k.Darkest() + 1) / 2;
  if (columns.sd > 0 && level > k.Highest() && k.ShareAtOrAbove(level) >= kVesselShare) return PictureVerdict::kTooDark;
  return PictureVerdict::kMeasurable;
}

AutoThresholdResult SearchWithAutoThreshold(const ColumnProfile& columns, double outerCutOff, double innerCutOff,
                                            bool ignoreLumen, bool keepOuter, bool keepInner) {
  AutoThresholdResult result;
  result.outerCutOff = outerCutOff;
  result.innerCutOff = innerCutOff;
  const Columns k(columns);
  const auto keptLevel = [&k](bool keep, double cutOff) {
    return keep ? std::optional(k.LevelOf(cutOff)) : std::nullopt;
  };
  const std::optional<std::pair<Choice, Steps>> walls =
      k.Width() >= 2 && k.HasContrast() ? ChooseOuter(k, keptLevel(keepOuter, outerCutOff)) : std::nullopt;
  if (!walls) {
    result.picture = JudgePicture(columns);
    return result;
  }
  const auto& [outerLevel, outerSteps] = *walls;
  const double outer = outerLevel.kept ? outerCutOff : k.CutOffOf(outerLevel.level);
  // The search marks from the cut-off's level (LevelOf divides as it
  // does), so the plain search at that cut-off gives these very walls: the
  // first and the last column at the level.
  if (k.LevelOf(outer) != outerLevel.level) return result;
  const Span w = *k.WallsAt(outerLevel.level);
  result.found = true;
  result.outerLeft = w.left;
  result.outerRight = w.right;
  result.outerChosen = !outerLevel.kept;
  result.outerCutOff = outer;
  if (ignoreLumen) return result;

  // The lumen's steps: the lumen's level (the median of the vessel's middle
  // half) beside both, and the walls' darkest.
  Steps steps = outerSteps;
  const int quarter = (w.right - w.left) / 4;
  steps.besideLeft = steps.besideRight = k.MedianOf(w.left + quarter, w.right - quarter);
  // Walls that barely stand out of the lumen cannot be told from it.
  if (steps.Contrast() < std::max<double>(kMinContrast, kLumenShare * outerSteps.Contrast())) return result;
  const Levels lumen(LumenScan(k, w), steps, kInnerRule);
  const std::optional<Choice> innerLevel =
      ChooseOrKeep(k, lumen, keptLevel(keepInner, innerCutOff), [](int) { return true; });
  if (!innerLevel) return result;
  const double inner = innerLevel->kept ? innerCutOff : k.CutOffOf(innerLevel->level);
  // And TakeLumenEdgesFromMiddle at that cut-off gives this lumen.
  if (k.LevelOf(inner) != innerLevel->level) return result;
  const Span l = *lumen.At(innerLevel->level);
  result.lumenFound = true;
  result.lumenLeft = l.left;
  result.lumenRight = l.right;
  result.innerChosen = !innerLevel->kept;
  result.innerCutOff = inner;
  return result;
}

}  // namespace ORV
