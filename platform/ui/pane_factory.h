#pragma once
// Docks the frame's panes the same way each time.
//
// Each pane is made with what it uses (its context), then the factory checks
// that it has an object name no other dock of the frame has (the frame saves
// and restores the layout by these names), gives it the features and dock
// areas every pane has, creates it and docks it in its first area. The
// layout saved by QMainWindow::saveState then finds the same panes again in
// restoreState on the next start.
#include <QMainWindow>
#include <QString>
#include <memory>
#include <utility>

#include "platform/ui/docking_pane.h"

namespace ORV::UI {

class PaneFactory {
 public:
  explicit PaneFactory(QMainWindow& frame) : frame_(frame) {}

  // Constructs a `Pane` from `args` and docks it in `area`; the frame owns
  // it then. Null (and nothing docked) when the pane has no object name,
  // shares it with a dock of the frame, or fails to create.
  template <class Pane, class... Args>
  Pane* Dock(Qt::DockWidgetArea area, Args&&... args) {
    auto pane = std::make_unique<Pane>(std::forward<Args>(args)...);
    if (!Place(*pane, area)) return nullptr;
    return pane.release();
  }

  // The dock of the frame named `objectName`; null when there is none.
  QDockWidget* Find(const QString& objectName) const;

 private:
  bool Place(DockingPane& pane, Qt::DockWidgetArea area);

  QMainWindow& frame_;
};

}  // namespace ORV::UI
