#pragma once
// The controls every instrument pane makes the same way.
#include <QRect>
#include <QString>

class CIconButton;
class QLineEdit;

namespace ORV::UI {

class DockingPane;

// A read-only, centred edit with the text "0" and the panel font, named
// "edit<id>".
QLineEdit* MakeValueEdit(DockingPane& pane, const QRect& rect, int id, QLineEdit* edit = nullptr);
// A push button with the panel font and the panes' "change" icon, named
// "button<id>".
CIconButton* MakeIconButton(DockingPane& pane, const QString& text, const QRect& rect, int id, bool icon = true);
// Docking or floating a pane leaves traces of it behind in the main window;
// repaint all of it.
void RepaintOwnerWhenMoved(DockingPane& pane);

}  // namespace ORV::UI
