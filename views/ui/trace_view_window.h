#pragma once
// The window of a trace view: a thin Qt shell around CPelmoraView. It hosts
// the graph control (created by its ProgID), the band above it with the
// settings button and the four zone buttons, and hands the view's channel
// messages to the view on the GUI thread.
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <optional>

#include "platform/ui/control_host.h"
#include "platform/ui/message_window.h"
#include "views/trace_view.h"

class QLabel;
class QPushButton;
class QToolButton;

namespace ORV {
class Configuration;
}
namespace ORV::UI {
class CWaitCursor;
}

namespace ORV::Views {

class TraceViewWindow final : public QWidget, public UI::MessageWindow, private TraceViewHost {
 public:
  struct Params {
    ExperimentData* experiment = nullptr;          // required
    AppRegistry* registry = nullptr;               // required
    const Configuration* configuration = nullptr;  // the settings version and time window; defaults when null
    DevicesPresent devices;
    bool live = false;        // the application's live-trace flag
    bool noSaveData = false;  // the graph's DrawNoSaveData
    // Creates the graph control; the program's control libraries when empty.
    const Com::ControlFactory* factory = nullptr;
    // The pressure interface's type word (the trace settings leave kinds out
    // by it).
    std::uint32_t interfaceType = 0;
  };

  explicit TraceViewWindow(Params params, QWidget* parent = nullptr);
  ~TraceViewWindow() override;

  CPelmoraView& View() { return *view_; }
  // The graph control's window; null when it could not be created.
  QWidget* GraphWidget() const { return graph_.widget(); }
  // The line over the plot that says how to choose a trace, shown while
  // the view shows none.
  QLabel* PlotHint() const { return hint_; }

  // The main frame the view reports to (navigation, read-out, markers).
  void SetFrame(TraceViewFrame* frame) { view_->SetFrame(frame); }
  // Runs a command of the view (ribbon, context menu, buttons).
  bool OnCommand(int command);
  // Opens the trace settings dialog and applies what it stores.
  void OnTraceSettings();
  // The context menu for a click at `time` (seconds).
  void ShowContextMenu(const QPoint& globalPos, double time);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  // TraceViewHost.
  void SetBusy(bool busy) override;
  void Invalidate() override;
  void StartRedrawTimer(int ms) override;
  void RedrawGraph() override;

  void CreateGraph(const Com::ControlFactory* factory, bool noSaveData);
  void Layout();

  std::unique_ptr<CPelmoraView> view_;
  QWidget* band_ = nullptr;
  QToolButton* settings_ = nullptr;
  std::array<QPushButton*, 4> zoneButtons_{};
  QWidget* graphHost_ = nullptr;
  QLabel* hint_ = nullptr;
  UI::ControlSite graph_;
  // The graph's events go to the view.
  struct EventSink final : Com::IDispatch {
    CPelmoraView* view = nullptr;
    Com::HRESULT Invoke(Com::DISPID id, unsigned, std::span<const Com::Variant> args, Com::Variant*) override {
      if (view) view->OnGraphEvent(id, args);
      return Com::S_OK;
    }
  } sink_;
  Com::SinkConnection events_;
  std::unique_ptr<UI::CWaitCursor> wait_;
};

}  // namespace ORV::Views
