#include "tests/support/ui/layout_check.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDockWidget>
#include <QLabel>
#include <QMainWindow>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <algorithm>
#include <sstream>

#include "platform/ui/docking_pane.h"
#include "platform/ui/ribbon_status_bar.h"

namespace ORV::Test {
namespace {

std::string Text(const QRect& r) {
  std::ostringstream out;
  out << r.width() << "x" << r.height() << "+" << r.x() << "+" << r.y();
  return out.str();
}

std::string NameOf(const QWidget& w) {
  std::string name = w.metaObject()->className();
  if (const auto* label = qobject_cast<const QLabel*>(&w); label && !label->text().isEmpty())
    return name + " \"" + label->text().toStdString() + "\"";
  if (const auto* button = qobject_cast<const QAbstractButton*>(&w); button && !button->text().isEmpty())
    return name + " \"" + button->text().toStdString() + "\"";
  if (!w.objectName().isEmpty()) name += " " + w.objectName().toStdString();
  return name;
}

std::string PaneName(const QDockWidget& dock) {
  return "pane \"" + dock.windowTitle().toStdString() + "\" (" + dock.objectName().toStdString() + ")";
}

// Shown within the window: not hidden and not behind another tab.
bool Shown(const QWidget& w) { return w.isVisible() && !w.visibleRegion().isEmpty(); }

}  // namespace

std::vector<std::string> PaneLayoutProblems(UI::DockingPane& pane) {
  std::vector<std::string> problems;
  const std::string where = PaneName(pane) + ": ";
  QWidget* client = pane.Client();
  QScrollArea* scroller = pane.ClientScroller();
  const QWidget* viewport = scroller->viewport();
  if (client->width() > viewport->width() && !scroller->horizontalScrollBar()->isVisible())
    problems.push_back(where + "its client (" + Text(client->rect()) + ") is cut at the right of " +
                       Text(viewport->rect()) + " with no scroll bar to reach it");
  if (client->height() > viewport->height() && !scroller->verticalScrollBar()->isVisible())
    problems.push_back(where + "its client (" + Text(client->rect()) + ") is cut at the bottom of " +
                       Text(viewport->rect()) + " with no scroll bar to reach it");

  std::vector<QWidget*> controls;
  for (QWidget* child : client->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (!child->isVisibleTo(client) || child->isWindow()) continue;
    controls.push_back(child);
    if (!client->rect().contains(child->geometry()))
      problems.push_back(where + NameOf(*child) + " at " + Text(child->geometry()) + " lies outside the client " +
                         Text(client->rect()));
    if (const auto* label = qobject_cast<const QLabel*>(child);
        label && !label->wordWrap() && label->sizeHint().width() > label->width())
      problems.push_back(where + NameOf(*child) + " is " + std::to_string(label->width()) + " wide for a text of " +
                         std::to_string(label->sizeHint().width()));
  }
  for (std::size_t i = 0; i < controls.size(); ++i)
    for (std::size_t j = i + 1; j < controls.size(); ++j)
      if (controls[i]->geometry().intersects(controls[j]->geometry()))
        problems.push_back(where + NameOf(*controls[i]) + " at " + Text(controls[i]->geometry()) + " overlaps " +
                           NameOf(*controls[j]) + " at " + Text(controls[j]->geometry()));

  const auto& labels = pane.PaintedLabels();
  for (std::size_t i = 0; i < labels.size(); ++i) {
    const UI::DockingPane::PaintedLabel& label = labels[i];
    if (label.text.trimmed().isEmpty()) continue;
    const std::string name = "label \"" + label.text.toStdString() + "\" at " + Text(label.inked);
    if (!client->rect().contains(label.inked))
      problems.push_back(where + name + " lies outside the client " + Text(client->rect()));
    for (std::size_t j = i + 1; j < labels.size(); ++j)
      if (!labels[j].text.trimmed().isEmpty() && label.inked.intersects(labels[j].inked))
        problems.push_back(where + name + " overlaps label \"" + labels[j].text.toStdString() + "\" at " +
                           Text(labels[j].inked));
    for (const QWidget* control : controls)
      if (label.inked.intersects(control->geometry()))
        problems.push_back(where + name + " lies on " + NameOf(*control) + " at " + Text(control->geometry()));
  }
  return problems;
}

std::vector<std::string> StatusBarLayoutProblems(UI::RibbonStatusBar& bar) {
  std::vector<std::string> problems;
  std::vector<UI::StatusBarElement*> shown;
  for (int i = 0; i < bar.GetCount(); ++i) shown.push_back(bar.GetElement(i));
  for (int i = 0; i < bar.GetExCount(); ++i) shown.push_back(bar.GetExElement(i));
  std::erase_if(shown, [](const UI::StatusBarElement* e) { return !e->IsVisible() || e->Rect().isEmpty(); });
  const auto name = [](const UI::StatusBarElement& e) {
    return "status bar element \"" + (e.Text().empty() ? e.Label() : e.Text()) + "\" at " + Text(e.Rect());
  };
  for (std::size_t i = 0; i < shown.size(); ++i) {
    if (!bar.rect().contains(shown[i]->Rect()))
      problems.push_back(name(*shown[i]) + " lies outside the bar " + Text(bar.rect()));
    for (std::size_t j = i + 1; j < shown.size(); ++j)
      if (shown[i]->Rect().intersects(shown[j]->Rect()))
        problems.push_back(name(*shown[i]) + " overlaps " + name(*shown[j]));
  }
  return problems;
}

std::vector<std::string> MainWindowLayoutProblems(QMainWindow& window) {
  std::vector<std::string> problems;
  const QWidget* ribbon = window.menuWidget();
  const QWidget* status = window.statusBar();
  const int top = ribbon && ribbon->isVisible() ? ribbon->geometry().bottom() + 1 : 0;
  const int bottom = status && status->isVisible() ? status->geometry().top() : window.height();
  const QRect room(0, top, window.width(), bottom - top);

  if (status && !window.rect().contains(status->geometry()))
    problems.push_back("the status bar at " + Text(status->geometry()) + " lies outside the window " +
                       Text(window.rect()));
  for (const QScrollArea* tab : window.findChildren<QScrollArea*>(QStringLiteral("RibbonPageScroller"))) {
    if (!Shown(*tab) || !tab->widget()) continue;
    const QWidget* page = tab->widget();
    if (page->width() < page->minimumSizeHint().width())
      problems.push_back("the ribbon's tab is squeezed to " + std::to_string(page->width()) + " of " +
                         std::to_string(page->minimumSizeHint().width()));
    if (page->width() > tab->viewport()->width() && !tab->horizontalScrollBar()->isVisible())
      problems.push_back("the ribbon's tab is cut at the right with no scroll bar to reach it");
  }

  std::vector<QDockWidget*> docks;
  for (QDockWidget* dock : window.findChildren<QDockWidget*>()) {
    if (dock->isFloating() || dock->parentWidget() != &window || !Shown(*dock)) continue;
    docks.push_back(dock);
    if (!room.contains(dock->geometry()))
      problems.push_back(PaneName(*dock) + " at " + Text(dock->geometry()) +
                         " leaves the room between the ribbon "
                         "and the status bar " +
                         Text(room));
    if (const QWidget* centre = window.centralWidget();
        centre && Shown(*centre) && dock->geometry().intersects(centre->geometry()))
      problems.push_back(PaneName(*dock) + " at " + Text(dock->geometry()) + " lies on the document area at " +
                         Text(centre->geometry()));
    if (auto* pane = dynamic_cast<UI::DockingPane*>(dock)) {
      const std::vector<std::string> own = PaneLayoutProblems(*pane);
      problems.insert(problems.end(), own.begin(), own.end());
    }
  }
  // A pane that scrolls while its column has room left below its last pane
  // was not given the room there is.
  for (const Qt::DockWidgetArea side : {Qt::LeftDockWidgetArea, Qt::RightDockWidgetArea}) {
    int lowest = room.top();
    for (QDockWidget* dock : docks)
      if (window.dockWidgetArea(dock) == side) lowest = std::max(lowest, dock->geometry().bottom());
    const int unused = room.bottom() - lowest;
    constexpr int kSeparatorRoom = 10;
    if (unused <= kSeparatorRoom) continue;
    for (QDockWidget* dock : docks) {
      auto* pane = dynamic_cast<UI::DockingPane*>(dock);
      if (pane && window.dockWidgetArea(dock) == side && pane->ClientScroller()->verticalScrollBar()->isVisible())
        problems.push_back(PaneName(*dock) + " scrolls while its column has " + std::to_string(unused) +
                           " pixels left unused");
    }
  }
  for (std::size_t i = 0; i < docks.size(); ++i)
    for (std::size_t j = i + 1; j < docks.size(); ++j)
      if (docks[i]->geometry().intersects(docks[j]->geometry()))
        problems.push_back(PaneName(*docks[i]) + " at " + Text(docks[i]->geometry()) + " overlaps " +
                           PaneName(*docks[j]) + " at " + Text(docks[j]->geometry()));
  // (The bar has no meta-object of its own: Qt's search cannot tell it.)
  for (QWidget* widget : window.findChildren<QWidget*>()) {
    auto* bar = dynamic_cast<UI::RibbonStatusBar*>(widget);
    if (!bar || !Shown(*bar)) continue;
    const std::vector<std::string> own = StatusBarLayoutProblems(*bar);
    problems.insert(problems.end(), own.begin(), own.end());
  }
  return problems;
}

void LayOut(QWidget& window, const QSize& size) {
  window.setWindowState(Qt::WindowNoState);
  window.resize(size);
  // Dock layouts and scroll areas settle over a few rounds of posted
  // layout requests.
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
  (void)window.grab();  // paints every part, which records the painted labels
}

}  // namespace ORV::Test
