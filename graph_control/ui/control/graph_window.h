#pragma once
// The graph control's window: paints the model and passes the mouse to the
// control's interaction logic.
#include "platform/ui/control_host.h"

namespace ORV::Graph {

class GraphControl;

class GraphWindow final : public UI::ControlWindow {
 public:
  GraphWindow(const Com::CreateParams& params, GraphControl& control);
  bool HasParentTarget() const { return hasParentTarget_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  unsigned Keys(const QMouseEvent* event) const;
  GraphControl& control_;
  bool hasParentTarget_;
};

}  // namespace ORV::Graph
