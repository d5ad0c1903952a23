// The transform tracker's model: snapping, scaling, matrices, result codes.
#include <gtest/gtest.h>

#include <deque>
#include <random>

#include "platform/ui/tracking/shape_tracker.h"

namespace ORV::Video {
namespace {

// Plays a fixed list of messages; a list that runs out takes the mouse away.
class ScriptedSource : public TrackSource {
 public:
  bool heldElsewhere = false;
  bool captured = false;
  std::deque<TrackEvent> events;

  bool CaptureHeldElsewhere() override { return heldElsewhere; }
  void Capture() override { captured = true; }
  void Release() override { captured = false; }
  TrackEvent Next() override {
    TrackEvent e;
    if (events.empty()) {
      e.kind = TrackEvent::Kind::CaptureLost;
      return e;
    }
    e = events.front();
    events.pop_front();
    return e;
  }
  TrackerCanvas* Canvas() override { return nullptr; }

  ScriptedSource& Mouse(TrackMouse m, PointF p, int flags = 0, TrackKeys keys = {}) {
    TrackEvent e;
    e.kind = TrackEvent::Kind::Mouse;
    e.mouse = m;
    e.point = p;
    e.flags = flags;
    e.keys = keys;
    events.push_back(e);
    return *this;
  }
  ScriptedSource& Key(TrackKey k) {
    TrackEvent e;
    e.kind = TrackEvent::Kind::KeyDown;
    e.key = k;
    events.push_back(e);
    return *this;
  }
};

// A tracker driven message by message, as Track drives it.
class Tracker : public CTransformTracker {
 public:
  int Begin(int flags, PointF point) {
    const int refused = OnBeginTrack(flags, point);
    current_ = previous_ = start_ = point;
    return refused;
  }
};

// A 200 x 100 rectangle at (100, 100): frame corners (94, 94) and (306, 206)
// with the default margins, centre (200, 150).
ShapePath Rectangle() {
  ShapePath p;
  p.AddRectangle(100, 100, 200, 100);
  return p;
}

void ExpectNear(PointF got, PointF want) {
  EXPECT_NEAR(got.x, want.x, 1e-9);
  EXPECT_NEAR(got.y, want.y, 1e-9);
}

TEST(MatrixTest, OperationsAreAppendedInOrder) {
  Matrix m;
  m.Translate(-10, -20);
  m.Scale(2, 3);
  m.Translate(5, 7);
  ExpectNear(m.Map({11, 21}), {7, 10});  // (1, 1) -> (2, 3) -> (7, 10)
  Matrix r;
  r.Rotate(90);
  ExpectNear(r.Map({1, 0}), {0, 1});
  Matrix s;
  s.Shear(0.5, 0.25);
  ExpectNear(s.Map({4, 2}), {5, 3});
}

TEST(TransformTrackerTest, ShiftSnapsRotationToFifteenDegrees) {
  const struct {
    double theta;
    int snapped;
  } table[] = {{7, 0}, {8, 15}, {-8, -15}, {-175, 180}, {350, -15}, {180, 180}, {-180, 180}, {-172, -165}};
  for (const auto& row : table) EXPECT_EQ(CTransformTracker::SnapAngle(row.theta), row.snapped) << row.theta;

  std::mt19937 random(58);
  std::uniform_real_distribution<double> angle(-1000.0, 1000.0);
  for (int i = 0; i < 20000; ++i) {
    const double theta = angle(random);
    const int snapped = CTransformTracker::SnapAngle(theta);
    ASSERT_EQ(snapped % 15, 0) << theta;
    ASSERT_GT(snapped, -180) << theta;
    ASSERT_LE(snapped, 180) << theta;
  }
}

TEST(TransformTrackerTest, ScalingFromACorner) {
  Tracker t;
  t.SetPath(Rectangle(), true);
  ASSERT_EQ(t.HitTestHandles({306, 206}), 4);
  const struct {
    std::uint32_t style;
    PointF to;
    int flags;
    double sx, sy;
    int cursor;
  } table[] = {
      {0, {200, 150}, 0, 0.5, 0.5, 0},                                         // halfway to the pivot
      {0, {0, 0}, 0, 0.0, 0.0, 0},                                             // across the pivot: collapsed
      {CTransformTracker::kMirror, {0, 300}, 0, -94.0 / 212, 206.0 / 112, 1},  // mirrored in x: cursor swaps
      {CTransformTracker::kMirror, {0, 0}, 0, -94.0 / 212, -94.0 / 112, 0},    // mirrored twice
      {0, {200, 318}, kMouseShift, 0.5, 0.5, 0},                               // Shift: the smaller factor for both
  };
  for (const auto& row : table) {
    t.style = row.style;
    ASSERT_EQ(t.Begin(0, {306, 206}), 0);
    EXPECT_EQ(t.Mode(), CTransformTracker::kScale);
    ExpectNear(t.PivotFrom(), {94, 94});
    t.OnMouseMessage(TrackMouse::Move, row.flags, row.to);
    const Matrix& m = t.DragMatrix();
    EXPECT_NEAR(m.m11, row.sx, 1e-9);
    EXPECT_NEAR(m.m22, row.sy, 1e-9);
    // translate(-F) scale translate(T) keeps the pivot and moves the corner.
    ExpectNear(m.Map({94, 94}), {94, 94});
    ExpectNear(m.Map({306, 206}), {94 + 212 * row.sx, 94 + 112 * row.sy});
    EXPECT_EQ(t.LastCursor(), row.cursor);
    t.OnEndTrack(1);
  }
}

TEST(TransformTrackerTest, EdgesScaleOneAxisAndStatusShowsTheNewSize) {
  Tracker t;
  t.style = 0;
  t.SetPath(Rectangle(), true);
  ASSERT_EQ(t.Begin(0, {306, 150}), 0);  // right edge, pivot on the left edge
  t.OnMouseMessage(TrackMouse::Move, 0, {412, 180});
  EXPECT_NEAR(t.DragMatrix().m11, 1.5, 1e-9);
  EXPECT_NEAR(t.DragMatrix().m22, 1.0, 1e-9);
  EXPECT_EQ(t.StatusText(), "318 \u00D7 112");
  t.OnMouseMessage(TrackMouse::Move, kMouseShift, {412, 180});
  EXPECT_NEAR(t.DragMatrix().m22, 1.5, 1e-9);
}

TEST(TransformTrackerTest, RotationAndShearMatrices) {
  Tracker t;  // default style: rotation about the centre unless Alt
  t.SetPath(Rectangle(), true);
  ASSERT_EQ(t.Begin(kMouseControl, {306, 206}), 0);
  EXPECT_EQ(t.Mode(), CTransformTracker::kRotate);
  EXPECT_EQ(t.LastCursor(), 7);
  ExpectNear(t.PivotFrom(), {200, 150});
  t.OnMouseMessage(TrackMouse::Move, 0, {144, 256});  // a quarter turn
  ExpectNear(t.DragMatrix().Map({306, 206}), {144, 256});
  EXPECT_EQ(t.StatusText(), "-90\u00B0");
  t.OnEndTrack(1);

  ASSERT_EQ(t.Begin(kMouseControl, {306, 150}), 0);
  EXPECT_EQ(t.Mode(), CTransformTracker::kShear);
  EXPECT_EQ(t.LastCursor(), 9);
  t.OnMouseMessage(TrackMouse::Move, 0, {306, 256});  // right edge pulled down
  ExpectNear(t.DragMatrix().Map({306, 150}), {306, 256});
  ExpectNear(t.DragMatrix().Map({94, 150}), {94, 150});
  EXPECT_EQ(t.StatusText(), "-50%");
}

TEST(TransformTrackerTest, ResultCodesOfADrag) {
  const PointF inside{150, 150}, centre{200, 150};
  {
    Tracker t;
    t.SetPath(Rectangle(), true);
    ScriptedSource s;
    s.Mouse(TrackMouse::LeftUp, inside);
    EXPECT_EQ(t.Track(s, kMouseLeft, inside), kTrackNotMoved);
    EXPECT_FALSE(s.captured);
  }
  for (bool escape : {true, false}) {
    Tracker t;
    t.SetPath(Rectangle(), true);
    ScriptedSource s;
    s.Mouse(TrackMouse::Move, {170, 160});
    escape ? s.Key(TrackKey::Escape) : s.Mouse(TrackMouse::RightDown, {170, 160});
    EXPECT_EQ(t.Track(s, kMouseLeft, inside), kTrackCancelled);
    EXPECT_TRUE(t.DragMatrix().IsIdentity());
    EXPECT_EQ(t.CurrentFrame(), t.SavedFrame());
    EXPECT_EQ(t.Mode(), CTransformTracker::kNone);
    EXPECT_EQ(t.StatusText(), "");
  }
  {
    Tracker t;
    t.SetPath(Rectangle(), true);
    ScriptedSource s;
    s.Mouse(TrackMouse::Move, {210, 160}).Mouse(TrackMouse::LeftUp, {210, 160}, kMouseControl);
    EXPECT_EQ(t.Track(s, kMouseLeft, centre), kTrackDone);
    ExpectNear(t.SavedCentre(), {210, 160});
  }
  {
    Tracker t;
    t.SetPath(Rectangle(), true);
    ScriptedSource s;
    s.Mouse(TrackMouse::Move, {160, 170}).Mouse(TrackMouse::LeftUp, {160, 170}, kMouseControl);
    EXPECT_EQ(t.Track(s, kMouseLeft, inside), kTrackDoneControl);
    ExpectNear(t.DragMatrix().Map({0, 0}), {10, 20});
  }
  {
    Tracker t;
    t.style = 0xBF & ~CTransformTracker::kCentreHandle;
    t.SetPath(Rectangle(), true);
    EXPECT_EQ(t.HitTestHandles(centre), CTransformTracker::kHitInside);
    ASSERT_EQ(t.Begin(0, centre), 0);
    EXPECT_EQ(t.Mode(), CTransformTracker::kMove);
  }
  {
    Tracker t;
    t.SetPath(ShapePath{}, true);
    EXPECT_FALSE(t.HasShape());
    ScriptedSource s;
    EXPECT_EQ(t.Track(s, kMouseLeft, inside), kTrackRefused);
    EXPECT_FALSE(s.captured);
  }
  {
    Tracker t;
    t.SetPath(Rectangle(), true);
    ScriptedSource s;
    s.heldElsewhere = true;
    EXPECT_EQ(t.Track(s, kMouseLeft, inside), kTrackRefused);
    s.heldElsewhere = false;
    EXPECT_EQ(t.Track(s, kMouseLeft, {98, 98}), kTrackRefused);  // in the frame, outside the shape
    s.Mouse(TrackMouse::Move, {170, 160});                       // then the mouse is taken away
    EXPECT_EQ(t.Track(s, kMouseLeft, inside), kTrackRefused);
    EXPECT_TRUE(t.DragMatrix().IsIdentity());
  }
}

TEST(TransformTrackerTest, ShiftConstrainsMovesAndCursorsFollowKeys) {
  Tracker t;
  t.SetPath(Rectangle(), true);
  ASSERT_EQ(t.Begin(0, {150, 150}), 0);
  const struct {
    PointF to, moved;
  } moves[] = {{{190, 155}, {40, 0}}, {{152, 190}, {0, 40}}, {{180, 170}, {20, 20}}, {{170, 120}, {20, -20}}};
  for (const auto& row : moves) {
    t.OnMouseMessage(TrackMouse::Move, kMouseShift, row.to);
    ExpectNear(t.DragMatrix().Map({0, 0}), row.moved);
  }
  EXPECT_EQ(t.CursorIndex(1), 2);
  EXPECT_EQ(t.CursorIndex(3), 3);
  EXPECT_EQ(t.CursorIndex(2), 1);
  t.yUp = true;
  EXPECT_EQ(t.CursorIndex(2), 0);
  t.SetKeyState({.control = true});
  EXPECT_EQ(t.CursorIndex(9), 6);
  t.SetKeyState({.space = true});
  EXPECT_EQ(t.CursorIndex(0), 5);
}

TEST(TransformTrackerTest, RandomDragsKeepFiniteMatrices) {
  std::mt19937 random(7);
  std::uniform_real_distribution<double> coord(0.0, 400.0);
  std::uniform_int_distribution<int> pick(0, 15);
  Tracker t;
  t.SetPath(Rectangle(), true);
  const PointF grips[] = {{94, 94},   {200, 94}, {306, 94}, {306, 150}, {306, 206},
                          {200, 206}, {94, 206}, {94, 150}, {200, 150}, {150, 150}};
  for (int i = 0; i < 3000; ++i) {
    t.style = std::uint32_t(pick(random) * 0x11) & 0x1FF;
    const PointF grip = grips[i % 10];
    if (t.Begin(pick(random) & kMouseControl, grip) != 0) continue;
    t.SetKeyState({.alt = bool(pick(random) & 1)});
    for (PointF p : {grip, PointF{coord(random), coord(random)}, t.PivotTo()})
      t.OnMouseMessage(TrackMouse::Move, pick(random) & kMouseShift, p);
    ASSERT_TRUE(t.DragMatrix().IsFinite()) << i;
    t.OnEndTrack(1);
  }
}

}  // namespace
}  // namespace ORV::Video
