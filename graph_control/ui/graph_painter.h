#pragma once
// Paints a graph model into any paint device: the control's back buffer, an
// image or a vector picture for the clipboard and drags.
//
// A trace costs what the plot's width costs, not what its length costs: only
// the points in the visible X range are visited (binary search while the
// points are sorted by X), and a solid line is drawn through at most the
// first, lowest, highest and last point of each pixel column, which covers
// exactly the pixels that drawing every point covers.
#include <QColor>
#include <QFont>
#include <QPen>
#include <QRect>
#include <cstdint>
#include <unordered_map>

#include "graph_control/graph_model.h"

class QPainter;

namespace ORV::Graph {

class GraphPainter {
 public:
  explicit GraphPainter(GraphModel& model) : m_(model) {}

  // Lays the graph out in `bounds` and paints all of it.
  void DrawGraph(QPainter& painter, const QRect& bounds);

  // Draws every point of the visible range instead of the reduced set (the
  // reference the reduced drawing is checked and measured against).
  void SetFullWalk(bool on) { fullWalk_ = on; }

  // The hint shown while nothing is being recorded.
  static constexpr const char* kNoSaveHint = "Click Start to Begin Data Recording";
  // The selection band's colour.
  static constexpr ColorRef kBandColor = 0xB4B4B4;

 private:
  struct Fonts {
    QFont tick, title, label, ident, noSave;
  };
  struct ElementStyle {
    QPen line, point;
    QColor fill;
  };
  const ElementStyle& StyleOf(const GraphElement& e);
  void RefreshCache(QPainter& painter);
  void Layout(QPainter& painter, const QRect& bounds);
  void DrawFrame(QPainter& painter);
  void DrawCaption(QPainter& painter);
  void DrawSelection(QPainter& painter);
  void DrawGrid(QPainter& painter);
  void DrawLabels(QPainter& painter);
  void DrawTraces(QPainter& painter);
  void DrawDragFeedback(QPainter& painter, const GraphElement& e);
  void DrawCursors(QPainter& painter);
  void DrawAnnotations(QPainter& painter);
  // True when the ranges and the plot give a usable pixel scale.
  bool ScalesUsable() const;
  int Dpi(QPainter& painter) const;
  // A size given at 96 DPI, at the painting's DPI.
  int Px(int value96) const;

  GraphModel& m_;
  bool fullWalk_ = false;
  int dpi_ = 96;
  // The DPI and font scale the cached fonts and pens were made for.
  int cachedDpi_ = 96;
  double cachedFontScale_ = 1.0;

  // Cached drawing objects with the model's generation they were made for.
  std::uint32_t generations_[static_cast<int>(CachedObject::Count)];
  bool cached_ = false;
  QPen gridPen_, tickPen_;
  QColor frameColor_, plotColor_;
  Fonts fonts_;
  std::unordered_map<std::uint64_t, ElementStyle> elementStyles_;
};

}  // namespace ORV::Graph
