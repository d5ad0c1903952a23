#pragma once
// The Qt side of controls (platform/com/control.h): a control's window is a
// child widget of its host's widget; platform/com passes the host's widget
// across the library boundary as an opaque handle, and these helpers turn
// it back.
//
// In a control library:
//
//   class GraphWindow : public ControlWindow { ... paintEvent, mouse ... };
//   GraphControl::GraphControl(const Com::CreateParams& p) : window_(new GraphWindow(p)) {
//     SetWindow(window_.data());                  // what Control::Window() hands the host
//   }
//   GraphControl::~GraphControl() { delete window_.data(); }   // a QPointer: null if Qt deleted it
//
// In a host (a view, a camera window):
//
//   class TraceView : public QWidget, public MessageWindow {
//     ControlSite graph_;                         // a member: destroyed before the host's children
//     ...
//     HRESULT hr = graph_.Create(this, "ORVGRAPH3.ORVGraph3Control.1", 34768, Target());
//     graph_.dispatch().Invoke(DISPID_ClearGraph);
//   };
#include <QPointer>
#include <QWidget>
#include <memory>
#include <string_view>

#include "platform/com/caller.h"
#include "platform/com/control_loader.h"

namespace ORV::UI {

// The creation parameters for a control under `host`.
Com::CreateParams ControlCreateParams(QWidget* host, std::int32_t childId,
                                      std::shared_ptr<OS::MessageTarget> parentMessages = nullptr);
// The host's widget in the parameters a control receives (null when none).
QWidget* ControlParentWidget(const Com::CreateParams& params);
// A control's window as a widget (null for a windowless control).
QWidget* ControlWidget(const Com::Control& control);

// Base of a control's window: a child of the host's widget carrying the
// host's child id, shown at once.
class ControlWindow : public QWidget {
 public:
  explicit ControlWindow(const Com::CreateParams& params);
  std::int32_t childId() const { return childId_; }
  // The host's message target (may be null); posts from any thread.
  bool PostToParent(std::uint32_t message, OS::WPARAM wParam, OS::LPARAM lParam) const;

 private:
  std::int32_t childId_;
  std::shared_ptr<OS::MessageTarget> parentMessages_;
};

// A host's hold on one control created by ProgID. When the host widget has
// no layout, the control's window is put into a margin-free layout that
// fills the host; otherwise the host places it. Destroying the site (or
// Destroy()) destroys the control and lets its library go; keep the site as
// a member of the host widget's class so that this happens before Qt
// deletes the host's children.
class ControlSite {
 public:
  ControlSite() = default;
  ~ControlSite() { Destroy(); }
  ControlSite(const ControlSite&) = delete;
  ControlSite& operator=(const ControlSite&) = delete;

  // The codes of ControlFactory::Create; on failure the site stays empty.
  Com::HRESULT Create(QWidget* host, std::string_view progId, std::int32_t childId,
                      std::shared_ptr<OS::MessageTarget> parentMessages = nullptr,
                      const Com::ControlFactory& factory = Com::ControlFactory());
  void Destroy();

  Com::Control* control() const { return control_.get(); }
  QWidget* widget() const { return control_ ? ControlWidget(*control_) : nullptr; }
  // The caller helper on this control (reports "no control" when empty).
  Com::Dispatcher dispatch() const { return Com::Dispatcher(control_.get()); }
  explicit operator bool() const { return static_cast<bool>(control_); }

 private:
  Com::ControlPtr control_;
  QPointer<QLayout> layout_;  // the layout this site gave the host
};

}  // namespace ORV::UI
