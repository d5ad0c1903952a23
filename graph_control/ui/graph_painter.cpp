#include "graph_control/ui/graph_painter.h"

#include <QFontMetrics>
#include <QPaintDevice>
#include <QPainter>
#include <QPolygon>
#include <algorithm>
#include <climits>
#include <cmath>
#include <tuple>

#include "graph_control/axis_text.h"
#include "graph_control/ui/trace_walk.h"
#include "platform/ui/dpi.h"
#include "platform/ui/painting.h"

namespace ORV::Graph {

namespace {

QColor Color(ColorRef c) { return UI::FromColorRef(c); }

// `scale`: the painting's DPI over the paint device's, by which point sizes
// grow when a window is painted at its host's DPI.
QFont MakeFont(const FontDesc& d, double scale) {
  QFont f(QString::fromStdString(d.face));
  f.setPointSizeF((d.points > 0 ? d.points : 8.0) * scale);
  f.setWeight(static_cast<QFont::Weight>(std::clamp(d.weight, 1, 1000)));
  f.setItalic(d.italic);
  f.setUnderline(d.underline);
  f.setStrikeOut(d.strikeOut);
  return f;
}

QString Text(const std::string& s) { return QString::fromStdString(s); }

// A pixel coordinate computed in double, held well inside the int range.
int ToPixel(double v) { return static_cast<int>(std::clamp(v, -1.0e6, 1.0e6)); }

// Text with its top-left corner (or its top centre, or its right end
// centred on y) at a point, nothing drawn behind it.
void TextAt(QPainter& p, int x, int y, const QString& text, int alignment) {
  constexpr int kBig = 1 << 14;
  QRect r;
  if (alignment & Qt::AlignHCenter)
    r.setRect(x - kBig, y, 2 * kBig, kBig);
  else if (alignment & Qt::AlignRight)
    r.setRect(x - kBig, y - kBig / 2, kBig, kBig);
  else
    r.setRect(x, y, kBig, kBig);
  p.drawText(r, alignment | Qt::TextDontClip | Qt::TextSingleLine, text);
}

}  // namespace

int GraphPainter::Dpi(QPainter& painter) const {
  const QPaintDevice* d = painter.device();
  // A window is painted at the DPI its host scales sizes with; an image or a
  // vector picture at its own.
  if (d && d->devType() == QInternal::Widget) return QueryDpi();
  return d && d->logicalDpiX() > 0 ? d->logicalDpiX() : 96;
}

int GraphPainter::Px(int value96) const { return ScaleByDpi(value96, dpi_); }

void GraphPainter::RefreshCache(QPainter& painter) {
  const QPaintDevice* d = painter.device();
  const double fontScale = d && d->logicalDpiY() > 0 ? static_cast<double>(dpi_) / d->logicalDpiY() : 1.0;
  const bool rescaled = cached_ && (cachedDpi_ != dpi_ || cachedFontScale_ != fontScale);
  cachedDpi_ = dpi_;
  cachedFontScale_ = fontScale;
  auto stale = [&](CachedObject which) {
    const auto gen = m_.CacheGeneration(which);
    const bool s = !cached_ || generations_[static_cast<int>(which)] != gen;
    generations_[static_cast<int>(which)] = gen;
    return s;
  };
  const GraphProperties& p = m_.Props();
  if (stale(CachedObject::GridPen)) {
    gridPen_ = QPen(Color(p.GridColor), 0, Qt::DotLine);
    tickPen_ = QPen(Color(p.GridColor), 0, Qt::SolidLine);
  }
  if (stale(CachedObject::FrameBrush)) frameColor_ = Color(p.ControlFrameColor);
  if (stale(CachedObject::PlotAreaBrush)) plotColor_ = Color(p.PlotAreaColor);
  if (stale(CachedObject::ElementPens) || rescaled) elementStyles_.clear();
  if (stale(CachedObject::Fonts) || rescaled) {
    fonts_ = {MakeFont(p.TickFont, fontScale), MakeFont(p.TitleFont, fontScale), MakeFont(p.LabelFont, fontScale),
              MakeFont(p.IdentFont, fontScale), MakeFont(p.NoSaveFont, fontScale)};
  }
  stale(CachedObject::AxisPen);  // the plot outline is not drawn with frame style 1
  cached_ = true;
}

const GraphPainter::ElementStyle& GraphPainter::StyleOf(const GraphElement& e) {
  auto it = elementStyles_.find(e.Id());
  if (it != elementStyles_.end()) return it->second;
  static const Qt::PenStyle kStyles[] = {Qt::SolidLine,   Qt::DashLine,       Qt::DotLine,
                                         Qt::DashDotLine, Qt::DashDotDotLine, Qt::NoPen};
  const Qt::PenStyle style = e.LineType >= 0 && e.LineType <= 5 ? kStyles[e.LineType] : Qt::SolidLine;
  ElementStyle s;
  s.line = QPen(Color(e.LineColor), Px(std::max(0, e.Width)), style, Qt::RoundCap, Qt::RoundJoin);
  s.point = QPen(Color(e.PointColor), 0, Qt::SolidLine);
  s.fill = Color(e.PointColor);
  return elementStyles_.emplace(e.Id(), s).first->second;
}

bool GraphPainter::ScalesUsable() const {
  const double xs = m_.XScale(), ys = m_.YScale();
  return std::isfinite(xs) && std::isfinite(ys) && xs > 0 && ys > 0 && m_.Plot().Width() > 0 && m_.Plot().Height() > 0;
}

void GraphPainter::DrawGraph(QPainter& painter, const QRect& bounds) {
  dpi_ = Dpi(painter);
  RefreshCache(painter);
  painter.save();
  painter.setClipRect(bounds);
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setRenderHint(QPainter::TextAntialiasing, true);
  painter.setBackgroundMode(Qt::TransparentMode);
  Layout(painter, bounds);
  const PixelRect& b = m_.ControlBounds();
  m_.SetLabelsShown(b.Width() >= 200 && b.Height() >= 80);
  DrawFrame(painter);
  DrawCaption(painter);
  DrawSelection(painter);
  DrawGrid(painter);
  if (m_.LabelsShown()) DrawLabels(painter);
  if (m_.Bounds().valid) DrawTraces(painter);
  if (!m_.Cursors().empty()) DrawCursors(painter);
  if (!m_.Annotations().empty()) DrawAnnotations(painter);
  painter.restore();
}

void GraphPainter::Layout(QPainter& painter, const QRect& bounds) {
  const PixelRect b{bounds.left(), bounds.top(), bounds.left() + bounds.width(), bounds.top() + bounds.height()};
  PixelRect plot = b;
  if (m_.LabelsShown()) {
    const GraphProperties& p = m_.Props();
    const QFontMetrics tick(fonts_.tick, painter.device());
    const int yDiv = m_.YDivisions();
    int w = 0;
    for (int i = 0; i <= yDiv; ++i) {
      const double v = m_.YMin() + (m_.YMax() - m_.YMin()) / yDiv * i;
      w = std::max(w, tick.horizontalAdvance(Text(YLabelText(v, p.YTime, p.FormatAxisLeft))));
    }
    const double division = (m_.XMax() - m_.XMin()) / m_.XDivisions();
    const QString xMaxText = Text(XLabelText(m_.XMax(), division, p.XTime, p.FormatAxisBottom));
    const int hX = tick.height();
    const int cX = tick.horizontalAdvance(xMaxText);
    const int h = QFontMetrics(fonts_.title, painter.device()).height();
    plot.left = b.left + h + w + Px(20);
    plot.right = b.right - cX / 2 - Px(5);
    plot.top = b.top + Px(10);
    plot.bottom = b.bottom - hX - h - Px(10);
  }
  m_.SetLayout(b, plot);
}

void GraphPainter::DrawFrame(QPainter& painter) {
  const PixelRect& b = m_.ControlBounds();
  const PixelRect& p = m_.Plot();
  const QRect outer(b.left, b.top, b.Width(), b.Height());
  painter.fillRect(outer, frameColor_);
  UI::DrawEdge(painter, outer, UI::Edge::Raised);
  if (p.Width() <= 0 || p.Height() <= 0) return;
  const QRect plot(p.left, p.top, p.Width(), p.Height());
  painter.fillRect(plot, plotColor_);
  UI::DrawEdge(painter, plot, UI::Edge::Sunken);
}

void GraphPainter::DrawCaption(QPainter& painter) {
  const GraphProperties& p = m_.Props();
  const PixelRect& b = m_.ControlBounds();
  const int middle = b.left + b.Width() / 2;
  if (!p.Caption.empty()) {
    painter.setFont(fonts_.title);
    painter.setPen(Color(p.LabelColor));
    const int h = painter.fontMetrics().height();
    TextAt(painter, middle, (m_.Plot().top + b.top - h) / 2, Text(p.Caption), Qt::AlignHCenter | Qt::AlignTop);
  }
  if (p.DrawNoSaveData) {
    painter.setFont(fonts_.noSave);
    painter.setPen(Color(p.GridColor));
    const int h = painter.fontMetrics().height();
    TextAt(painter, middle, (b.bottom - h) / 2, QString::fromLatin1(kNoSaveHint), Qt::AlignHCenter | Qt::AlignTop);
  }
}

void GraphPainter::DrawSelection(QPainter& painter) {
  if (m_.SelStart() == 0 || m_.SelStop() == 0 || !ScalesUsable()) return;
  const PixelRect& p = m_.Plot();
  const double x1 = m_.LineColumnOfX(m_.SelStop());
  const double x0 = m_.LineColumnOfX(m_.SelStart());
  if (!(x1 > p.left && x0 < p.right)) return;
  const int left = std::max(ToPixel(x0), p.left);
  const int right = std::min(p.right, ToPixel(x1));
  painter.fillRect(QRect(left, p.top + 2, right - left, p.Height() - 4), Color(kBandColor));
}

void GraphPainter::DrawGrid(QPainter& painter) {
  const PixelRect& p = m_.Plot();
  if (p.Width() <= 0 || p.Height() <= 0) return;
  const int xDiv = m_.XDivisions(), yDiv = m_.YDivisions();
  // Division i of n along the plot's width or height.
  auto column = [&](int i, int n) { return p.left + ToPixel(std::floor(double(i) * p.Width() / n + 0.5)); };
  auto row = [&](int i, int n) { return p.bottom - ToPixel(std::floor(double(i) * p.Height() / n + 0.5)); };
  if (m_.Props().ShowGrid) {
    painter.setPen(gridPen_);
    for (int i = 1; i < xDiv; ++i) painter.drawLine(column(i, xDiv), p.bottom, column(i, xDiv), p.top);
    for (int i = 1; i < yDiv; ++i) painter.drawLine(p.left, row(i, yDiv), p.right, row(i, yDiv));
    return;
  }
  // Ticks pointing out of the plot: major ones at the divisions, minor ones
  // at each third of a division.
  painter.setPen(tickPen_);
  for (int i = 1; i < 3 * xDiv; ++i) {
    const int x = column(i, 3 * xDiv);
    painter.drawLine(x, p.bottom, x, p.bottom + Px(i % 3 == 0 ? 6 : 4) - 1);
  }
  for (int i = 1; i < 3 * yDiv; ++i) {
    const int y = row(i, 3 * yDiv);
    painter.drawLine(p.left - 1, y, p.left - Px(i % 3 == 0 ? 6 : 4), y);
  }
}

void GraphPainter::DrawLabels(QPainter& painter) {
  const GraphProperties& prop = m_.Props();
  const PixelRect& b = m_.ControlBounds();
  const PixelRect& p = m_.Plot();
  const int xDiv = m_.XDivisions(), yDiv = m_.YDivisions();
  painter.setFont(fonts_.tick);
  painter.setPen(Color(prop.LabelColor));
  for (int i = 0; i <= yDiv; ++i) {
    const double v = m_.YMin() + (m_.YMax() - m_.YMin()) / yDiv * i;
    const int y = p.bottom - ToPixel(std::floor(double(i) * p.Height() / yDiv + 0.5));
    TextAt(painter, p.left - Px(5), y, Text(YLabelText(v, prop.YTime, prop.FormatAxisLeft)),
           Qt::AlignRight | Qt::AlignVCenter);
  }
  const double division = (m_.XMax() - m_.XMin()) / xDiv;
  for (int i = 0; i <= xDiv; ++i) {
    const double t = m_.XMin() + (m_.XMax() - m_.XMin()) / xDiv * i;
    const int x = p.left + ToPixel(std::floor(double(i) * p.Width() / xDiv + 0.5));
    TextAt(painter, x, p.bottom + Px(5), Text(XLabelText(t, division, prop.XTime, prop.FormatAxisBottom)),
           Qt::AlignHCenter | Qt::AlignTop);
  }
  painter.setFont(fonts_.label);
  const QFontMetrics label = painter.fontMetrics();
  if (!prop.XLabel.empty())
    TextAt(painter, p.left + p.Width() / 2, (p.bottom + b.bottom) / 2, Text(prop.XLabel),
           Qt::AlignHCenter | Qt::AlignTop);
  if (!prop.YLabel.empty()) {
    // Rotated a quarter turn: the text reads upward, centred on the plot's
    // height, in the strip left of the widest Y label.
    const QString text = Text(prop.YLabel);
    const int strip = QFontMetrics(fonts_.title, painter.device()).height() + Px(15);
    const int x = b.left + (strip - label.height()) / 2;
    const int y = p.top + p.Height() / 2 + label.horizontalAdvance(text) / 2;
    painter.save();
    painter.translate(x, y);
    painter.rotate(-90);
    TextAt(painter, 0, 0, text, Qt::AlignLeft | Qt::AlignTop);
    painter.restore();
  }
}

void GraphPainter::DrawTraces(QPainter& painter) {
  if (!ScalesUsable()) return;
  const PixelRect& p = m_.Plot();
  const double xMin = m_.XMin(), xMax = m_.XMax();
  TraceShapes shapes;
  int drawn = 0;
  for (const auto& ep : m_.Elements()) {
    const GraphElement& e = *ep;
    if (!e.Shown || !e.HasData) continue;
    ++drawn;
    const ElementStyle& style = StyleOf(e);
    const int w = std::max(0, e.Width);
    const QRect clip(QPoint(p.left + w, p.top + w), QPoint(p.right - w - 1, p.bottom - w - 1));
    const PixelMapper map(p.left, p.bottom, xMin, m_.YMin(), 1.0 / m_.XScale(), 1.0 / m_.YScale(), clip);
    const auto& pts = e.Points();
    // The visible range with one point beyond it on each side: the points
    // further out collapse onto the plot's edge, where nothing is drawn.
    std::size_t begin = 0, end = pts.size(), visibleBegin = 0, visibleEnd = pts.size();
    if (e.SortedX() && !fullWalk_) {
      std::tie(visibleBegin, visibleEnd) = e.RangeOf(xMin, xMax);
      begin = visibleBegin > 0 ? visibleBegin - 1 : 0;
      end = std::min(pts.size(), visibleEnd + 1);
    }
    if (clip.isValid() && e.LineType != 5) {
      shapes.Clear();
      const int baseline = map.Row(e.MinY);
      if (!fullWalk_ && e.SortedX() && LineTypeReducible(e.LineType))
        WalkLinesSorted(e, begin, visibleBegin, visibleEnd, end, map, e.LineType, baseline, shapes);
      else
        WalkLines(pts, begin, end, map, e.LineType, baseline, xMin, xMax, !fullWalk_ && LineTypeReducible(e.LineType),
                  shapes);
      for (const QRect& r : shapes.bars) painter.fillRect(r, style.line.color());
      painter.setPen(style.line);
      painter.drawLines(shapes.lines.data(), static_cast<int>(shapes.lines.size()));
    }
    if (clip.isValid() && e.PointSymbol != 0) {
      painter.setPen(style.point);
      painter.setBrush(e.SolidPoint ? QBrush(style.fill) : QBrush(plotColor_));
      const int s = w;
      QPoint prev(INT_MIN, INT_MIN), c;
      for (std::size_t i = visibleBegin; i < visibleEnd; ++i) {
        // Symbols mark the points inside the visible range only.
        if (!(pts[i].X >= xMin && pts[i].X <= xMax) || !map.Map(pts[i], c) || c == prev) continue;
        prev = c;
        const int x = c.x(), y = c.y();
        switch (e.PointSymbol) {
          case 1:
            painter.drawEllipse(QRect(x - s, y - s, 2 * s, 2 * s));
            break;
          case 2:
            painter.drawRect(QRect(x - s, y - s, 2 * s, 2 * s));
            break;
          case 3:
            painter.drawPolygon(QPolygon({QPoint(x, y - s), QPoint(x + s, y), QPoint(x, y + s), QPoint(x - s, y)}));
            break;
          case 4: {
            // Three small triangles, each with sides of half the half-size.
            const int h = std::max(1, s / 2);
            for (const QPoint& o : {QPoint(x, y - h), QPoint(x - h, y + h / 2), QPoint(x + h, y + h / 2)})
              painter.drawPolygon(QPolygon({QPoint(o.x(), o.y() - h / 2), QPoint(o.x() + h / 2, o.y() + h / 2),
                                            QPoint(o.x() - h / 2, o.y() + h / 2)}));
            break;
          }
          case 5:
            painter.drawPolygon(QPolygon({QPoint(x - s, y - s), QPoint(x + s, y - s), QPoint(x, y + s)}));
            break;
          case 6:
            painter.drawPolygon(QPolygon({QPoint(x, y - s), QPoint(x + s, y + s), QPoint(x - s, y + s)}));
            break;
          case 7:
            painter.drawPolygon(QPolygon({QPoint(x + s, y - s), QPoint(x - s, y), QPoint(x + s, y + s)}));
            break;
          case 8:
            painter.drawPolygon(QPolygon({QPoint(x - s, y - s), QPoint(x + s, y), QPoint(x - s, y + s)}));
            break;
          default:
            break;
        }
      }
      painter.setBrush(Qt::NoBrush);
    }
    if (m_.Props().ElementIdentify) {
      painter.setFont(fonts_.ident);
      painter.setPen(Color(e.LineColor));
      const QFontMetrics fm = painter.fontMetrics();
      const QString name = Text(e.Name);
      TextAt(painter, p.left + static_cast<int>(name.size()) * fm.averageCharWidth(), p.top + fm.height() * drawn, name,
             Qt::AlignHCenter | Qt::AlignTop);
    }
    if (m_.DraggedAnnotation() != -1) DrawDragFeedback(painter, e);
  }
}

void GraphPainter::DrawDragFeedback(QPainter& painter, const GraphElement& e) {
  const PixelRect& p = m_.Plot();
  const auto& pts = e.Points();
  if (pts.size() < 2) return;
  const int mx = m_.DragMouseX();
  const double t = m_.XAtPixel(mx);
  // The two consecutive points whose columns enclose the mouse column.
  std::size_t i = 0;
  bool found = false;
  if (e.SortedX()) {
    i = e.LowerBound(t);
    if (i > 0 && i < pts.size()) {
      --i;
      found = true;
    }
  } else {
    for (; i + 1 < pts.size(); ++i)
      if ((pts[i].X <= t && t <= pts[i + 1].X) || (pts[i + 1].X <= t && t <= pts[i].X)) {
        found = true;
        break;
      }
  }
  if (!found) return;
  const QRect clip(QPoint(p.left, p.top), QPoint(p.right - 1, p.bottom - 1));
  const PixelMapper map(p.left, p.bottom, m_.XMin(), m_.YMin(), 1.0 / m_.XScale(), 1.0 / m_.YScale(), clip);
  QPoint a, b;
  if (!map.Map(pts[i], a) || !map.Map(pts[i + 1], b)) return;
  const int row =
      a.x() == b.x() ? a.y() : a.y() + ToPixel(double(b.y() - a.y()) * (mx - a.x()) / double(b.x() - a.x()));
  const int tip = row + Px(2);
  painter.setPen(Qt::NoPen);
  painter.setBrush(Qt::black);
  painter.drawPolygon(QPolygon({QPoint(mx, tip), QPoint(mx - Px(4), tip + Px(8)), QPoint(mx + Px(4), tip + Px(8))}));
  painter.setBrush(Qt::NoBrush);
  int from = tip + Px(8) + Px(8);
  if (from < p.top + Px(2) || tip < p.top + Px(2)) from = p.top + Px(2);
  QPen dash(Color(e.PointColor), Px(2), Qt::DashLine, Qt::FlatCap, Qt::BevelJoin);
  painter.setPen(dash);
  painter.drawLine(mx, from, mx, p.bottom - Px(2));
  painter.setFont(fonts_.tick);
  painter.setPen(Color(m_.Props().LabelColor));
  TextAt(painter, mx, p.bottom, Text(TimeText(t)), Qt::AlignHCenter | Qt::AlignTop);
}

void GraphPainter::DrawCursors(QPainter& painter) {
  if (!ScalesUsable()) return;
  const PixelRect& p = m_.Plot();
  for (const GraphCursor& c : m_.Cursors()) {
    if (!c.Visible) continue;
    painter.setPen(QPen(Color(c.Color), 0, Qt::SolidLine));
    const double x = m_.LineColumnOfX(c.X);
    const double y = m_.LineRowOfY(c.Y);
    // A line whose position lies outside the plot is not drawn.
    if ((c.Style == 0 || c.Style == 1) && y >= p.top && y < p.bottom)
      painter.drawLine(p.left, static_cast<int>(y), p.right - 1, static_cast<int>(y));
    if ((c.Style == 0 || c.Style == 2) && x >= p.left && x < p.right)
      painter.drawLine(static_cast<int>(x), p.top, static_cast<int>(x), p.bottom - 1);
  }
}

void GraphPainter::DrawAnnotations(QPainter& painter) {
  if (!ScalesUsable()) return;
  const PixelRect& p = m_.Plot();
  painter.setFont(fonts_.ident);
  const QFontMetrics fm = painter.fontMetrics();
  const QPen linePen(Qt::black, 1, Qt::DotLine);
  for (const GraphAnnotation& a : m_.Annotations()) {
    if (!a.Visible) continue;
    const double xd = m_.LineColumnOfX(a.X);
    if (!std::isfinite(xd)) continue;
    const int x = ToPixel(xd);
    const int h = fm.height();
    const int start = x - h;
    if (!(start > p.left && x < p.right)) continue;
    const QString text = Text(a.Caption);
    const int length = fm.horizontalAdvance(text);
    int sy = p.bottom - 5;
    if (a.Y > m_.YMin() && a.Y < m_.YMax()) {
      const int row = ToPixel(m_.LineRowOfY(a.Y));
      sy = row - 5;
      // Text that would reach above the plot goes to its foot.
      if ((a.Horizontal ? sy : sy - length) < p.top) sy = p.bottom - 5;
      painter.setPen(linePen);
      painter.drawLine(x, row, x, p.bottom - 5);
    }
    painter.setPen(Color(a.Color));
    if (a.Horizontal) {
      TextAt(painter, start, sy, text, Qt::AlignLeft | Qt::AlignTop);
    } else {
      painter.save();
      painter.translate(start, sy);
      painter.rotate(-90);
      TextAt(painter, 0, 0, text, Qt::AlignLeft | Qt::AlignTop);
      painter.restore();
    }
  }
}

}  // namespace ORV::Graph
