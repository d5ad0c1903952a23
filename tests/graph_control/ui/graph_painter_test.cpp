// Drawing the graph: the two-pass layout, pixel probes of the band, cursors,
// line types and edges (antialiasing off), far and non-finite points, the
// reduced drawing against drawing every point, and renders for review.
#include "graph_control/ui/graph_painter.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>
#include <QWidget>
#include <cmath>
#include <limits>
#include <random>

#include "graph_control/ui/trace_walk.h"
#include "platform/ui/painting.h"
#include "tests/support/ui/ui_test_support.h"

namespace ORV::Graph {
namespace {

constexpr ColorRef kRed = 0x0000FF;
constexpr ColorRef kGreen = 0x00FF00;
const QRgb kBand = qRgb(0xB4, 0xB4, 0xB4);

// Paints the graph `paints` times into a fresh image (the layout of a paint
// uses whether the previous one showed labels).
QImage Render(GraphPainter& painter, QSize size, int paints = 2, int dpi = 96) {
  QImage image(size, QImage::Format_RGB32);
  const int dpm = static_cast<int>(std::lround(dpi / 0.0254));
  image.setDotsPerMeterX(dpm);
  image.setDotsPerMeterY(dpm);
  for (int i = 0; i < paints; ++i) {
    image.fill(Qt::magenta);
    QPainter p(&image);
    painter.DrawGraph(p, image.rect());
  }
  return image;
}

// A graph ready for pixel probes: no hint text, X 0..10, Y 0..1.
struct Probe {
  GraphModel g;
  GraphPainter painter{g};
  Probe() {
    g.SetDrawNoSaveData(false);
    g.SetRange(0, 10, 0, 1, false);
    g.SetElementLineColor(kRed);
  }
  QImage Draw(QSize size = {400, 200}) { return Render(painter, size); }
  // Where the painter puts a trace's point: the mapping it draws points with,
  // on the plot laid out by the last paint (so no font metric is assumed).
  PixelMapper Points() const {
    const PixelRect& p = g.Plot();
    return PixelMapper(p.left, p.bottom, g.XMin(), g.YMin(), 1.0 / g.XScale(), 1.0 / g.YScale(),
                       QRect(QPoint(p.left, p.top), QPoint(p.right - 1, p.bottom - 1)));
  }
  int Col(double x) const { return Points().Column(x); }
  int Row(double y) const { return Points().Row(y); }
  // Where it puts a line at X or Y (cursors, the selection's edges).
  int LineCol(double x) const { return static_cast<int>(g.LineColumnOfX(x)); }
  int LineRow(double y) const { return static_cast<int>(g.LineRowOfY(y)); }
};

int CountColour(const QImage& image, QRgb colour, QRect area = {}) {
  if (area.isNull()) area = image.rect();
  int n = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x) n += image.pixel(x, y) == colour;
  return n;
}

QRgb Rgb(ColorRef c) { return UI::FromColorRef(c).rgb(); }

TEST(GraphPainter, LabelsNeedRoomAndTheSecondPaintMakesSpaceForThem) {
  GraphModel g;
  GraphPainter painter(g);
  // Too narrow: no labels, the plot fills the control.
  Render(painter, {150, 300});
  EXPECT_FALSE(g.LabelsShown());
  EXPECT_EQ(g.Plot().left, 0);
  EXPECT_EQ(g.Plot().right, 150);
  EXPECT_EQ(g.Plot().bottom, 300);

  GraphModel wide;
  GraphPainter wp(wide);
  wide.SetRange(0, 50, 0, 10, false);
  Render(wp, {400, 200}, 1);
  EXPECT_TRUE(wide.LabelsShown());
  EXPECT_EQ(wide.Plot().left, 0);  // laid out before labels were known to fit
  EXPECT_EQ(wide.Plot().bottom, 200);

  QImage image = Render(wp, {400, 200}, 1);
  const QFontMetrics tick(QFont("Arial", 8), &image);
  const QFontMetrics title(QFont("Times New Roman", 12, 700), &image);
  int w = 0;
  for (const char* t : {"0", "2", "4", "6", "8", "10"}) w = std::max(w, tick.horizontalAdvance(t));
  EXPECT_EQ(wide.Plot().left, title.height() + w + 20);
  EXPECT_EQ(wide.Plot().right, 400 - tick.horizontalAdvance("50") / 2 - 5);
  EXPECT_EQ(wide.Plot().top, 10);
  EXPECT_EQ(wide.Plot().bottom, 200 - tick.height() - title.height() - 10);
  EXPECT_DOUBLE_EQ(wide.XScale(), 50.0 / wide.Plot().Width());
}

TEST(GraphPainter, SelectionBandFillsTheComputedColumns) {
  Probe t;
  t.g.SelectTrace(2, 5);
  QImage image = t.Draw();
  const int mid = (t.g.Plot().top + t.g.Plot().bottom) / 2;
  const int x0 = t.LineCol(2), x1 = t.LineCol(5);
  EXPECT_EQ(image.pixel(x0, mid), kBand);
  EXPECT_EQ(image.pixel(x1 - 1, mid), kBand);
  EXPECT_NE(image.pixel(x0 - 1, mid), kBand);
  EXPECT_NE(image.pixel(x1, mid), kBand);
  EXPECT_EQ(image.pixel(x0, t.g.Plot().top + 2), kBand);
  EXPECT_NE(image.pixel(x0, t.g.Plot().top + 1), kBand);
  EXPECT_EQ(image.pixel(x0, t.g.Plot().bottom - 3), kBand);
  EXPECT_NE(image.pixel(x0, t.g.Plot().bottom - 2), kBand);

  // A band that starts right of the plot, or ends left of it, is not drawn.
  for (auto [a, b] : {std::pair{20.0, 30.0}, std::pair{-30.0, -20.0}}) {
    t.g.SelectTrace(a, b);
    const QImage none = t.Draw();
    const PixelRect& p = t.g.Plot();
    EXPECT_EQ(CountColour(none, kBand, QRect(p.left, p.top, p.Width(), p.Height())), 0) << a;
  }
  // One that spans the plot stops at its edges.
  t.g.SelectTrace(-1e300, 1e300);
  image = t.Draw();
  EXPECT_EQ(image.pixel(t.g.Plot().left, mid), kBand);
  EXPECT_EQ(image.pixel(t.g.Plot().right - 1, mid), kBand);
  EXPECT_NE(image.pixel(t.g.Plot().right, mid), kBand);
}

TEST(GraphPainter, CursorStylesDrawTheirLines) {
  struct Case {
    int style;
    bool horizontal, vertical;
  };
  for (const Case& c : {Case{0, true, true}, Case{1, true, false}, Case{2, false, true}, Case{3, false, false}}) {
    SCOPED_TRACE(c.style);
    Probe t;
    t.g.AddCursor();
    t.g.SetCursorX(5);
    t.g.SetCursorY(0.5);
    t.g.SetCursorColor(kGreen);
    t.g.SetCursorStyle(static_cast<std::int16_t>(c.style));
    const QImage image = t.Draw();
    const int x = t.LineCol(5), y = t.LineRow(0.5);
    EXPECT_EQ(image.pixel(t.LineCol(2), y) == Rgb(kGreen), c.horizontal);
    EXPECT_EQ(image.pixel(x, t.LineRow(0.8)) == Rgb(kGreen), c.vertical);
    // A cursor right of the plot draws no vertical line at the edge.
    t.g.SetCursorX(50);
    EXPECT_EQ(CountColour(t.Draw(), Rgb(kGreen), QRect(t.g.Plot().right - 1, t.LineRow(0.8), 2, 1)), 0);
  }
}

TEST(GraphPainter, LineTypesAndEdges) {
  // Line type 6 steps across first, 7 steps up first, 0 goes straight.
  for (int type : {0, 6, 7}) {
    SCOPED_TRACE(type);
    Probe t;
    t.g.SetElementLineType(type);
    t.g.PlotXY(2, 0.25, 0);
    t.g.PlotXY(6, 0.75, 0);
    const QImage image = t.Draw();
    const QRgb red = Rgb(kRed);
    EXPECT_EQ(image.pixel(t.Col(4), t.Row(0.25)) == red, type == 6);
    EXPECT_EQ(image.pixel(t.Col(6), t.Row(0.4)) == red, type == 6);
    EXPECT_EQ(image.pixel(t.Col(2), t.Row(0.6)) == red, type == 7);
    EXPECT_EQ(image.pixel(t.Col(4), t.Row(0.75)) == red, type == 7);
    EXPECT_EQ(CountColour(image, red, QRect(t.Col(4) - 1, t.Row(0.5) - 1, 3, 3)) > 0, type == 0);
  }

  // Points above the range collapse onto the top edge: the segment between
  // them is not drawn, the one coming down from the edge is.
  Probe t;
  t.g.PlotXY(1, 5, 0);
  t.g.PlotXY(3, 5, 0);
  QImage image = t.Draw();
  EXPECT_EQ(CountColour(image, Rgb(kRed)), 0);
  t.g.PlotXY(5, 0.5, 0);
  image = t.Draw();
  EXPECT_EQ(CountColour(image, Rgb(kRed), QRect(t.Col(1), 0, t.Col(3) - t.Col(1), image.height())), 0);
  EXPECT_GT(CountColour(image, Rgb(kRed), QRect(t.Col(3.5), 0, t.Col(4.5) - t.Col(3.5), image.height())), 0);

  // Line type 5 draws no line; bars fill down to the element's lowest value.
  Probe bars;
  bars.g.SetElementLineType(8);
  bars.g.PlotXY(2, 0.5, 0);
  bars.g.PlotXY(4, 0.5, 0);
  image = bars.Draw();
  EXPECT_EQ(image.pixel(bars.Col(3), bars.Row(0.25)), Rgb(kRed));
  EXPECT_NE(image.pixel(bars.Col(3), bars.Row(0.75)), Rgb(kRed));
  bars.g.SetElementLineType(5);
  EXPECT_EQ(CountColour(bars.Draw(), Rgb(kRed)), 0);
}

TEST(GraphPainter, FarAndNonFinitePointsDrawCleanly) {
  Probe t;
  const double inf = std::numeric_limits<double>::infinity();
  for (auto [x, y] : {std::pair{1.0, 0.2},
                      {2.0, std::nan("")},
                      {3.0, 0.8},
                      {4.0, inf},
                      {4.5, -inf},
                      {5.0, 0.2},
                      {1e12, 0.5},
                      {inf, 0.5}})
    t.g.PlotXY(x, y, 0);
  QImage image = t.Draw();
  const QRgb red = Rgb(kRed);
  // The gaps break the line: nothing between 1 and 3 or between 3 and 5.
  EXPECT_EQ(CountColour(image, red, QRect(t.Col(1.5), 0, t.Col(2.5) - t.Col(1.5), image.height())), 0);
  EXPECT_EQ(CountColour(image, red, QRect(t.Col(3.5), 0, t.Col(4.5) - t.Col(3.5), image.height())), 0);
  // The far point pulls the line to the right edge, never to the left one.
  EXPECT_GT(CountColour(image, red, QRect(t.Col(9.5), 0, t.g.Plot().right - t.Col(9.5), image.height())), 0);
  EXPECT_EQ(CountColour(image, red, QRect(t.g.Plot().left, 0, t.Col(0.9) - t.g.Plot().left, image.height())), 0);

  // A window of no width or a reversed one draws no trace.
  for (auto [a, b] : {std::pair{5.0, 5.0}, {7.0, 3.0}}) {
    t.g.SetRange(a, b, -2, -2, false);
    EXPECT_EQ(CountColour(t.Draw(), red), 0) << a << " " << b;
  }
  // Nor does a control too small for a plot.
  t.g.SetRange(0, 10, -2, -2, false);
  EXPECT_EQ(CountColour(Render(t.painter, {3, 2}), red), 0);
}

TEST(GraphPainter, PropertyChangesReachTheCachedPensAndBrushes) {
  Probe t;
  const QPoint inside(t.Draw().width() / 2, 60);
  t.g.SetPlotAreaColor(0x00FFFF);
  EXPECT_EQ(t.Draw().pixel(inside), Rgb(0x00FFFF));
  t.g.PlotXY(0, 0.5, 0);
  t.g.PlotXY(10, 0.5, 0);
  EXPECT_EQ(t.Draw().pixel(t.Col(5), t.Row(0.5)), Rgb(kRed));
  t.g.SetElementLineColor(kGreen);
  EXPECT_EQ(t.Draw().pixel(t.Col(5), t.Row(0.5)), Rgb(kGreen));
}

// A random trace: X rising with repeats, Y wandering beyond the range, with
// gaps and spikes.
void RandomTrace(GraphModel& g, std::mt19937& rng, std::int16_t element, bool sorted) {
  std::uniform_real_distribution<double> unit(0, 1);
  const int n = 500 + static_cast<int>(rng() % 20000);
  double x = -20 + unit(rng) * 10, y = unit(rng);
  for (int i = 0; i < n; ++i) {
    x += unit(rng) < 0.1 ? 0 : unit(rng) * 140.0 / n * 2;
    y += (unit(rng) - 0.5) * 0.2;
    double v = y;
    const double r = unit(rng);
    if (r < 0.002)
      v = std::nan("");
    else if (r < 0.004)
      v = 1e6;
    else if (r < 0.006)
      v = -1e6;
    g.PlotXY(sorted ? x : x + (unit(rng) - 0.5) * 5, v, element);
  }
}

TEST(GraphPainter, ReducedDrawingEqualsDrawingEveryPoint) {
  std::mt19937 rng(42);
  int differing = 0;
  for (int round = 0; round < 60; ++round) {
    GraphModel g;
    g.SetDrawNoSaveData(false);
    g.SetPlotAreaColor(0xFFFFFF);
    const int elements = 1 + round % 2;
    for (int e = 0; e < elements; ++e) {
      if (e) g.AddElement();
      g.SetElementLineColor(e ? kGreen : kRed);
      g.SetElementPointColor(0xFF0000);
      g.SetElementLineType(static_cast<std::int32_t>(rng() % 10));
      g.SetElementWidth(static_cast<std::int32_t>(rng() % 4));
      g.SetElementPointSymbol(round % 5 == 0 ? static_cast<std::int32_t>(rng() % 9) : 0);
      g.SetElementSolidPoint(rng() % 2 == 0);
      RandomTrace(g, rng, static_cast<std::int16_t>(e), round % 7 != 3);
    }
    g.SetRange(round % 3 == 0 ? -30 : 5, round % 3 == 0 ? 130 : 95, -0.5 - round % 2, 1.5, false);
    GraphPainter reduced(g), full(g);
    full.SetFullWalk(true);
    const QSize size(200 + static_cast<int>(rng() % 400), 100 + static_cast<int>(rng() % 200));
    const QImage a = Render(reduced, size);
    const QImage b = Render(full, size);
    if (a != b) {
      ++differing;
      const QString dir = QStringLiteral(ORV_UI_ARTIFACT_DIR);
      QDir().mkpath(dir);
      a.save(dir + QStringLiteral("/graph_reduced_%1.png").arg(round));
      b.save(dir + QStringLiteral("/graph_full_%1.png").arg(round));
      ADD_FAILURE() << "round " << round << ": line types " << g.Elements()[0]->LineType << ", width "
                    << g.Elements()[0]->Width;
    }
  }
  EXPECT_EQ(differing, 0);
}

// The graph as a window would show it, for the renders.
class GraphWidget : public QWidget {
 public:
  explicit GraphWidget(GraphModel& g) : painter_(g) {}

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    painter_.DrawGraph(p, rect());
  }

 private:
  GraphPainter painter_;
};

// Two traces, two cursors, a selection and annotations, as a trace view
// sets the graph up.
void FillShowcase(GraphModel& g) {
  g.SetDrawNoSaveData(false);
  g.SetPlotAreaColor(0x202020);
  g.SetControlFrameColor(0xF0F0F0);
  g.SetGridColor(0x707070);
  g.SetShowGrid(true);
  g.SetXLabel("Time");
  g.SetYLabel("Diameter (um)");
  g.SetElementLineColor(0x00C0FF);
  g.SetElementWidth(1);
  g.AddElement();
  g.SetElementLineColor(0xFFC000);
  g.SetElementLineType(6);
  for (int i = 0; i <= 2400; ++i) {
    const double t = 3540 + i * 0.05;
    g.PlotXY(t, 150 + 40 * std::sin(i * 0.01) + 5 * std::sin(i * 0.37), 0);
    if (i % 40 == 0) g.PlotXY(t, 110 + 20 * std::cos(i * 0.004), 1);
  }
  g.SetRange(3540, 3660, 80, 220, false);
  g.SelectTrace(3580, 3600);
  g.AddCursor();
  g.SetCursorX(3620);
  g.SetCursorY(120);
  g.SetCursorColor(0x00FF00);
  g.AddCursor();
  g.SetCursorX(3560);
  g.SetCursorY(200);
  g.SetCursorColor(0xFF00FF);
  g.SetCursorStyle(2);
  const char* captions[] = {"Start", "Drug added", "Wash"};
  const double times[] = {3550, 3610, 3640};
  for (int i = 0; i < 3; ++i) {
    g.AddAnnotation();
    g.SetAnnoLabelCaption(captions[i]);
    g.SetAnnoLabelX(times[i]);
    g.SetAnnoLabelY(i == 2 ? 500 : 190);
    g.SetAnnoLabelHorizontal(i == 0);
    g.SetAnnoLabelColor(0xFFFFFF);
  }
}

TEST(GraphPainter, RendersForReview) {
  GraphModel g;
  FillShowcase(g);
  GraphWidget w(g);
  w.resize(640, 320);
  w.grab();  // the first paint finds out that labels fit
  const QImage shot = ORV::Test::SaveUiArtifact(w, "graph_control_96dpi");
  EXPECT_TRUE(g.LabelsShown());
  EXPECT_GT(CountColour(shot, kBand), 0);

  GraphPainter painter(g);
  const QImage hi = Render(painter, {960, 480}, 2, 144);
  const QString dir = QStringLiteral(ORV_UI_ARTIFACT_DIR);
  QDir().mkpath(dir);
  EXPECT_TRUE(hi.save(dir + QStringLiteral("/graph_control_144dpi.png")));

  // An annotation being dragged shows where it would land.
  g.SetDraggedAnnotation(1, 420);
  GraphWidget dragging(g);
  dragging.resize(640, 320);
  dragging.grab();
  ORV::Test::SaveUiArtifact(dragging, "graph_control_drag");
  g.SetDraggedAnnotation(-1, 0);

  // The same graph as a vector picture, as the clipboard and drags take it.
  QBuffer svg;
  svg.open(QIODevice::WriteOnly);
  QSvgGenerator generator;
  generator.setOutputDevice(&svg);
  generator.setSize({640, 320});
  generator.setViewBox(QRect(0, 0, 640, 320));
  {
    QPainter p(&generator);
    painter.DrawGraph(p, QRect(0, 0, 640, 320));
  }
  EXPECT_TRUE(svg.data().contains("Drug added"));

  // A new control as the program first shows it: the hint and time labels.
  GraphModel fresh;
  fresh.OnCreate();
  fresh.SetRange(0, 2, 0, 1, false);
  GraphWidget empty(fresh);
  empty.resize(700, 260);
  empty.grab();
  ORV::Test::SaveUiArtifact(empty, "graph_control_new");
}

}  // namespace
}  // namespace ORV::Graph
