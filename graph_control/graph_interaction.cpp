#include "graph_control/graph_interaction.h"

#include "core/base/dpi.h"
#include "graph_control/graph_export.h"
#include "graph_control/graph_interface.h"

namespace ORV::Graph {

int GraphInteraction::Scaled(int pixels) const { return ScaleByDpi(pixels, dpi_); }

void GraphInteraction::LeftDoubleClick(unsigned /*keys*/, int x, int /*y*/) { host_.FireDoubleClick(T(x)); }

void GraphInteraction::LeftDown(unsigned keys, int x, int /*y*/) {
  const double t = T(x);
  if (keys & kControlKey) {
    // Pick the annotation placed within a few pixels of the press.
    const int d = Scaled(3);
    const std::int32_t picked = m_.AnnotationAtTime(MillisecondsOf(T(x - d)), MillisecondsOf(T(x + d)));
    m_.SetDraggedAnnotation(picked, x);
    return;
  }
  if (keys & kShiftKey) {
    host_.DragPicture();
    return;
  }
  if (m_.SelStart() <= t && t < m_.SelStop()) {
    // A press inside the selection drags its points out.
    if (keys & kAltKey) {
      const std::string path = WriteSelectedPointsFile(m_, tempFolder_);
      if (!path.empty()) host_.DragFile(path);
    } else {
      const std::string text = SelectedPointsText(m_);
      if (!text.empty()) host_.DragText(text);
    }
    return;
  }
  // A new selection starts here (not while an annotation is held).
  m_.SetSelection(m_.DraggedAnnotation() == -1 ? t : 0.0, 0.0);
}

void GraphInteraction::LeftUp(unsigned keys, int x, int /*y*/) {
  const double t = T(x);
  if (const std::int32_t dragged = m_.DraggedAnnotation(); dragged != -1) {
    m_.SetSelection(0.0, 0.0);
    if (keys & kControlKey)
      host_.PostToParent(WM_GRAPH_ANNOTATION_MOVED, static_cast<std::uintptr_t>(dragged),
                         static_cast<std::intptr_t>(MillisecondsOf(t)));
    host_.SetMouseCursor(MouseCursor::Arrow);
    m_.SetDraggedAnnotation(-1, x);
    host_.Redraw();
  }
  if (m_.SelStart() != 0 && m_.SelStart() < t) {
    m_.SetSelection(m_.SelStart(), t);
    host_.FireSelectTrace(m_.SelStart(), m_.SelStop());
    host_.Redraw();
  }
}

void GraphInteraction::MouseMove(unsigned keys, int x, int y) {
  const PixelRect& plot = m_.Plot();
  const PixelRect& bounds = m_.ControlBounds();
  const bool inPlot = plot.Contains(x, y);
  if (!inPlot) {
    if (bounds.left <= x && x <= plot.left)
      host_.SetMouseCursor(MouseCursor::SizeNS);
    else if (plot.left <= x && x <= plot.right && y > plot.bottom)
      host_.SetMouseCursor(MouseCursor::SizeWE);
    else
      host_.SetMouseCursor(MouseCursor::Arrow);
  } else {
    host_.SetMouseCursor(MouseCursor::Arrow);
  }
  const bool dragging = m_.DraggedAnnotation() != -1;
  if (dragging) {
    // The drag follows the mouse while the left button and Ctrl are held;
    // letting either go ends it unreported.
    const bool held = (keys & kLeftButton) && (keys & kControlKey);
    m_.SetDraggedAnnotation(held ? m_.DraggedAnnotation() : -1, x);
    if (!held) host_.SetMouseCursor(MouseCursor::Arrow);
    host_.Redraw();
  }
  if (inPlot) host_.FireCursorPosition(T(x), m_.YAtPixel(y));
  if (!dragging && (keys & kLeftButton) && m_.SelStart() != 0) {
    const double u = T(x);
    if (m_.SelStart() > u) {
      // Left of the origin: the origin becomes the stop.
      m_.SetSelection(u, m_.SelStop() == 0 ? m_.SelStart() : m_.SelStop());
    } else {
      m_.SetSelection(m_.SelStart(), u);
    }
    host_.Redraw();
  }
}

void GraphInteraction::RightDown(unsigned /*keys*/, int x, int y) {
  rightClickX_ = x;
  rightClickY_ = y;
  if (m_.GetTrackMode() == 73) m_.RestoreSavedRange();
  m_.SetSelection(0.0, 0.0);
  host_.Redraw();
  host_.FireSelectTrace(0.0, 0.0);
}

bool GraphInteraction::Wheel(int delta, int x, int y) {
  const PixelRect& plot = m_.Plot();
  if (plot.Contains(x, y) || !host_.HasParent()) return false;
  const std::intptr_t direction = delta < 0 ? -1 : 1;
  if (m_.ControlBounds().left <= x && x <= plot.left)
    host_.PostToParent(WM_GRAPH_AXIS_WHEEL, kWheelLeftAxis, direction);
  else if (x <= plot.right && y > plot.bottom)
    host_.PostToParent(WM_GRAPH_AXIS_WHEEL, kWheelBottomAxis, direction);
  return true;
}

void GraphInteraction::AddMarkerAtCurrentTime() {
  const PixelRect& plot = m_.Plot();
  host_.FireDoubleClick((plot.right - plot.left - 1) * m_.XScale() + m_.XMin());
}

double GraphInteraction::GetTimeAtPos(std::int32_t /*position*/) const { return T(rightClickX_ + Scaled(25)); }

}  // namespace ORV::Graph
