#include "platform/ui/pane_factory.h"

#include <QDockWidget>

namespace ORV::UI {

QDockWidget* PaneFactory::Find(const QString& objectName) const {
  for (QDockWidget* dock : frame_.findChildren<QDockWidget*>(objectName, Qt::FindDirectChildrenOnly)) {
    if (dock->objectName() == objectName) return dock;
  }
  return nullptr;
}

bool PaneFactory::Place(DockingPane& pane, Qt::DockWidgetArea area) {
  if (pane.objectName().isEmpty() || Find(pane.objectName()) != nullptr) return false;
  pane.setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
  pane.setAllowedAreas(Qt::AllDockWidgetAreas);
  if (pane.Create() != 0) return false;
  frame_.addDockWidget(area, &pane);
  return true;
}

}  // namespace ORV::UI
