#include "instruments/ui/instrument_pane_parts.h"

#include <QLineEdit>

#include "platform/ui/docking_pane.h"
#include "platform/ui/icon_button.h"
#include "platform/ui/window_styles.h"

namespace ORV::UI {

namespace {
constexpr int kChangeIcon = 325;
}

QLineEdit* MakeValueEdit(DockingPane& pane, const QRect& rect, int id, QLineEdit* edit) {
  if (edit == nullptr) edit = new QLineEdit(pane.Client());
  edit->setParent(pane.Client());
  edit->setObjectName(QStringLiteral("edit%1").arg(id));
  edit->setGeometry(rect);
  edit->setFont(pane.PanelFont());
  edit->setAlignment(Qt::AlignCenter);
  edit->setText(QStringLiteral("0"));
  edit->setReadOnly(true);
  edit->show();
  return edit;
}

CIconButton* MakeIconButton(DockingPane& pane, const QString& text, const QRect& rect, int id, bool icon) {
  auto* button = new CIconButton(pane.Client());
  button->Create(text, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, rect, pane.Client(), id);
  button->setObjectName(QStringLiteral("button%1").arg(id));
  button->setFont(pane.PanelFont());
  if (icon) button->SetIcon(kChangeIcon);
  return button;
}

void RepaintOwnerWhenMoved(DockingPane& pane) {
  QObject::connect(&pane, &QDockWidget::topLevelChanged, &pane, [&pane] {
    if (QWidget* owner = pane.parentWidget()) owner->window()->update();
  });
}

}  // namespace ORV::UI
