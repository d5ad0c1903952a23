#include "graph_control/ui/control/graph_window.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include "graph_control/ui/control/graph_control.h"
#include "platform/ui/dpi.h"

namespace ORV::Graph {

GraphWindow::GraphWindow(const Com::CreateParams& params, GraphControl& control)
    : ControlWindow(params), control_(control), hasParentTarget_(params.parentMessages != nullptr) {
  setMouseTracking(true);  // CursorPosition follows the pointer without a button held
  setAttribute(Qt::WA_OpaquePaintEvent);
  resize(250, 150);
}

unsigned GraphWindow::Keys(const QMouseEvent* event) const {
  unsigned keys = 0;
  const Qt::MouseButtons buttons = event->buttons();
  const Qt::KeyboardModifiers mods = event->modifiers();
  if (buttons & Qt::LeftButton) keys |= kLeftButton;
  if (buttons & Qt::RightButton) keys |= kRightButton;
  if (mods & Qt::ShiftModifier) keys |= kShiftKey;
  if (mods & Qt::ControlModifier) keys |= kControlKey;
  if (mods & Qt::AltModifier) keys |= kAltKey;
  return keys;
}

void GraphWindow::paintEvent(QPaintEvent*) {
  QPainter p(this);
  control_.painter().DrawGraph(p, rect());
}

void GraphWindow::mousePressEvent(QMouseEvent* event) {
  control_.interaction().SetDpi(QueryDpi());
  const QPoint pos = event->position().toPoint();
  if (event->button() == Qt::LeftButton)
    control_.interaction().LeftDown(Keys(event), pos.x(), pos.y());
  else if (event->button() == Qt::RightButton)
    control_.interaction().RightDown(Keys(event), pos.x(), pos.y());
  event->accept();
}

void GraphWindow::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return;
  const QPoint pos = event->position().toPoint();
  control_.interaction().LeftUp(Keys(event), pos.x(), pos.y());
  if (rect().contains(pos)) control_.FireClick();
  event->accept();
}

void GraphWindow::mouseDoubleClickEvent(QMouseEvent* event) {
  // The second press of a double click is the double click only.
  if (event->button() != Qt::LeftButton) return;
  const QPoint pos = event->position().toPoint();
  control_.interaction().LeftDoubleClick(Keys(event), pos.x(), pos.y());
  event->accept();
}

void GraphWindow::mouseMoveEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  control_.interaction().MouseMove(Keys(event), pos.x(), pos.y());
}

void GraphWindow::wheelEvent(QWheelEvent* event) {
  const QPoint pos = event->position().toPoint();
  if (control_.interaction().Wheel(event->angleDelta().y(), pos.x(), pos.y()))
    event->accept();
  else
    event->ignore();
}

}  // namespace ORV::Graph
