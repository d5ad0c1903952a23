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
  };

  explicit TraceViewWindow(Params params, QWidget* parent = nullptr);
  ~TraceViewWindow() override;

  CPelmoraView& View() { return *view_; }
  // The graph control's window; null when it could not be created.
  QWidget* GraphWidget() const { return graph_.widget(); }

  // The settings button was clicked (the frame opens the trace settings).
  void SetSettingsHandler(std::function<void()> handler) { onSettings_ = std::move(handler); }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  // TraceViewHost.
  void SetBusy(bool busy) override;
  void Invalidate() override;

  void CreateGraph(const Com::ControlFactory* factory, bool noSaveData);
  void Layout();
  void OnZoneButton(int index);

  std::unique_ptr<CPelmoraView> view_;
  QWidget* band_ = nullptr;
  QToolButton* settings_ = nullptr;
  std::array<QPushButton*, 4> zoneButtons_{};
  QWidget* graphHost_ = nullptr;
  UI::ControlSite graph_;
  std::unique_ptr<UI::CWaitCursor> wait_;
  std::function<void()> onSettings_;
};

}  // namespace ORV::Views
