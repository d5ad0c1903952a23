#include "platform/ui/pane_manager.h"

#include <QObject>
#include <QScrollArea>

#include "platform/ui/dpi.h"

namespace ORV::UI {

Qt::DockWidgetAreas DockAreasOf(std::uint32_t align) {
  Qt::DockWidgetAreas areas;
  if (align & CBRS_ALIGN_LEFT) areas |= Qt::LeftDockWidgetArea;
  if (align & CBRS_ALIGN_TOP) areas |= Qt::TopDockWidgetArea;
  if (align & CBRS_ALIGN_RIGHT) areas |= Qt::RightDockWidgetArea;
  if (align & CBRS_ALIGN_BOTTOM) areas |= Qt::BottomDockWidgetArea;
  return areas;
}

Qt::DockWidgetArea DockAreaOf(std::uint32_t side) {
  switch (side) {
    case CBRS_ALIGN_TOP:
      return Qt::TopDockWidgetArea;
    case CBRS_ALIGN_RIGHT:
      return Qt::RightDockWidgetArea;
    case CBRS_ALIGN_BOTTOM:
      return Qt::BottomDockWidgetArea;
    default:
      return Qt::LeftDockWidgetArea;
  }
}

void PaneManager::Apply(DockingPane& pane, const PaneLayout& layout) {
  if (!layout.caption.isEmpty()) pane.setWindowTitle(layout.caption);
  pane.setAllowedAreas(DockAreasOf(layout.allowedSides) | DockAreaOf(layout.homeSide));
  const int dpi = QueryDpi();
  const QSize size = ScaleSize(layout.defaultSize96.width(), layout.defaultSize96.height(), dpi);
  // The sizes are the client's: the pane scrolls it when it has less room.
  // A pane that lays out its own fixed size keeps that one: a smaller
  // minimum would let its column cut it, a larger one leave it empty below.
  if (!layout.minimumSize96.isEmpty() && pane.CalcFixedLayout().isEmpty()) {
    pane.Client()->setMinimumSize(ScaleSize(layout.minimumSize96.width(), layout.minimumSize96.height(), dpi));
  }
  // A pane that lays out its own fixed size keeps it; others get the default.
  if (layout.fixedSize && pane.CalcFixedLayout().isEmpty() && !size.isEmpty()) pane.Client()->setFixedSize(size);
  pane.ClientScroller()->updateGeometry();
  // Panes that close are hidden, never destroyed: the frame shows them again.
  pane.setAttribute(Qt::WA_DeleteOnClose, false);
  panes_.push_back(&pane);
  layouts_.emplace_back(&pane, layout);
  QObject::connect(&pane, &QObject::destroyed, &connections_, [this, p = &pane] {
    std::erase(panes_, p);
    std::erase_if(layouts_, [p](const auto& entry) { return entry.first == p; });
  });
  ResizeToDefault(pane, layout);
}

void PaneManager::ResizeToDefault(DockingPane& pane, const PaneLayout& layout) {
  const QSize size = ScaleSize(layout.defaultSize96.width(), layout.defaultSize96.height(), QueryDpi());
  if (size.isEmpty()) return;
  // Docks on the left and right are sized by width, the others by height.
  const bool sideways = DockedSide(pane) == CBRS_ALIGN_LEFT || DockedSide(pane) == CBRS_ALIGN_RIGHT;
  frame_.resizeDocks({&pane}, {sideways ? size.width() : size.height()}, sideways ? Qt::Horizontal : Qt::Vertical);
}

std::vector<DockingPane*> PaneManager::FindAll(int id) const {
  std::vector<DockingPane*> found;
  for (const auto& [pane, layout] : layouts_) {
    if (layout.id == id) found.push_back(pane);
  }
  return found;
}

DockingPane* PaneManager::Find(int id) const {
  for (const auto& [pane, layout] : layouts_) {
    if (layout.id == id) return pane;
  }
  return nullptr;
}

DockingPane* PaneManager::FindByName(const QString& objectName) const {
  for (DockingPane* pane : panes_) {
    if (pane->objectName() == objectName) return pane;
  }
  return nullptr;
}

const PaneLayout* PaneManager::SpecOf(const DockingPane& pane) const {
  for (const auto& entry : layouts_) {
    if (entry.first == &pane) return &entry.second;
  }
  return nullptr;
}

bool PaneManager::DockToFrameWindow(DockingPane& pane, std::uint32_t side) {
  const Qt::DockWidgetArea area = DockAreaOf(side);
  if (!pane.isAreaAllowed(area)) return false;
  pane.setFloating(false);
  // Re-adding a dock moves it to the end of the side's docks.
  frame_.addDockWidget(area, &pane);
  return true;
}

std::uint32_t PaneManager::DockedSide(const DockingPane& pane) const {
  if (pane.isFloating()) return 0;
  switch (frame_.dockWidgetArea(const_cast<DockingPane*>(&pane))) {
    case Qt::LeftDockWidgetArea:
      return CBRS_ALIGN_LEFT;
    case Qt::TopDockWidgetArea:
      return CBRS_ALIGN_TOP;
    case Qt::RightDockWidgetArea:
      return CBRS_ALIGN_RIGHT;
    case Qt::BottomDockWidgetArea:
      return CBRS_ALIGN_BOTTOM;
    default:
      return 0;
  }
}

void PaneManager::ShowPane(DockingPane& pane, bool show, bool activate) {
  pane.setVisible(show);
  if (show && activate) pane.raise();
}

bool PaneManager::IsPaneVisible(const DockingPane& pane) const { return !pane.isHidden(); }

void PaneManager::UnhideDockingPanes() {
  for (DockingPane* pane : panes_) {
    if (IsAutoHideMode(*pane)) SetAutoHideMode(*pane, false, CBRS_ALIGN_ANY);
  }
}

void PaneManager::DockAllAtHomeSides() {
  for (const auto& [pane, layout] : layouts_) {
    DockToFrameWindow(*pane, layout.homeSide);
    ResizeToDefault(*pane, layout);
  }
}

}  // namespace ORV::UI
