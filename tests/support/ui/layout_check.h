#pragma once
// Checks of how a window lays its parts out, from the widgets' geometry
// (never from pixels), so that a font or a scale that pushes one part onto
// another fails a test wherever it happens. Each check returns what it found
// wrong, one line per fault, naming the part; nothing when all is well.
//
// The main window:
//   - every shown pane lies between the ribbon and the status bar, inside
//     the window, on no other pane and not over the document area;
//   - no pane of a side column scrolls while the column has room unused;
//   - the ribbon's open tab is never squeezed: when it is wider than the
//     window its scroll bar is shown;
//   - the status bar's elements lie inside it, none on another;
//   - every pane passes the pane checks.
// A pane:
//   - a client larger than the room the pane has shows the scroll bar that
//     reaches the rest (nothing is cut off out of reach);
//   - every control lies inside the client, none on another control;
//   - every painted label lies inside the client, on no other label and on
//     no control; a label control shows its whole text.
// The layout must be current: resize, then let the events run and paint
// (LayOut below) before checking.
#include <QSize>
#include <string>
#include <vector>

class QMainWindow;
class QWidget;

namespace ORV::UI {
class DockingPane;
class RibbonStatusBar;
}  // namespace ORV::UI

namespace ORV::Test {

std::vector<std::string> MainWindowLayoutProblems(QMainWindow& window);
std::vector<std::string> PaneLayoutProblems(UI::DockingPane& pane);
std::vector<std::string> StatusBarLayoutProblems(UI::RibbonStatusBar& bar);

// Resizes `window` (out of any maximised state), lets the layout settle and
// paints it once, so that the painted labels are those of the new size.
void LayOut(QWidget& window, const QSize& size);

}  // namespace ORV::Test
