#pragma once
// The controls every instrument pane makes the same way.
#include <QRect>
#include <QString>

#include "instruments/ui/target_entry.h"

class CFocusEdit;
class CIconButton;
class QLineEdit;

namespace ORV::UI {

class DockingPane;

// A pane's focus edit as its logic sees it.
class FocusEditEntry final : public TargetEntry {
 public:
  CFocusEdit* edit = nullptr;  // set when the pane creates its controls
  QString Text() const override;
  bool Editing() const override;
  void SetText(const QString& text) override;
  void EndEditing() override;
};

// A read-only, centred edit with the text "0" and the panel font, named
// "edit<id>".
QLineEdit* MakeValueEdit(DockingPane& pane, const QRect& rect, int id, QLineEdit* edit = nullptr);
// A push button with the panel font and the panes' "change" icon, named
// "button<id>". The icon stands above a caption where the button is tall
// enough for both, beside it otherwise.
CIconButton* MakeIconButton(DockingPane& pane, const QString& text, const QRect& rect, int id, bool icon = true);
// Docking or floating a pane leaves traces of it behind in the main window;
// repaint all of it.
void RepaintOwnerWhenMoved(DockingPane& pane);
// The message of a target temperature outside the configured range, with
// the range's bounds in it.
QString TemperatureRangeText(double minimum, double maximum);

}  // namespace ORV::UI
