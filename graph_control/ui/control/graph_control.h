#pragma once
// The graph control: the model, its window and its dispatch interface
// (graph_control/graph_interface.h). The window is a thin shell: it paints
// the model and hands mouse messages to GraphInteraction; the control fires
// the events and carries out the drags and the clipboard copy.
#include <QPointer>
#include <memory>

#include "graph_control/graph_interaction.h"
#include "graph_control/graph_model.h"
#include "graph_control/ui/graph_painter.h"
#include "platform/com/control.h"
#include "platform/com/drag_data.h"

namespace ORV::Graph {

class GraphWindow;

class GraphControl final : public Com::ControlImpl<GraphControl>, public GraphHost, public InteractionHost {
 public:
  explicit GraphControl(const Com::CreateParams& params);
  ~GraphControl() override;

  static const Com::DispatchTable<GraphControl>& Table();

  GraphModel& model() { return model_; }
  GraphPainter& painter() { return painter_; }
  GraphInteraction& interaction() { return interaction_; }
  // The window's left button went up inside it (the stock click).
  void FireClick();

  // Operations of the interface that need the window.
  void CopyToClipboard();
  void AddMarkerAtCurrentTime() { interaction_.AddMarkerAtCurrentTime(); }
  double GetTimeAtPos(std::int32_t position) { return interaction_.GetTimeAtPos(position); }
  bool GetEnabled() const { return model_.Props().Enabled; }
  void SetEnabled(bool enabled);

  // GraphHost.
  void Redraw() override;
  void RedrawPlotArea() override;
  void RepaintNow() override;
  void TrackModeChanged(std::int32_t newState) override;

  // InteractionHost.
  void FireCursorPosition(double x, double y) override;
  void FireSelectTrace(double start, double stop) override;
  void FireDoubleClick(double time) override;
  bool PostToParent(std::uint32_t message, std::uintptr_t wParam, std::intptr_t lParam) override;
  bool HasParent() const override;
  void SetMouseCursor(MouseCursor cursor) override;
  void DragPicture() override;
  void DragText(const std::string& text) override;
  void DragFile(const std::string& path) override;

 private:
  std::shared_ptr<Com::DragDataObject> Picture();
  void RunDrag(std::shared_ptr<Com::DragDataObject> data);

  GraphModel model_;
  GraphPainter painter_{model_};
  GraphInteraction interaction_{model_, *this};
  QPointer<GraphWindow> window_;
};

}  // namespace ORV::Graph
