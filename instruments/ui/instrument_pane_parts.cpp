#include "instruments/ui/instrument_pane_parts.h"

#include <QFontMetrics>
#include <QLineEdit>
#include <QRegularExpression>

#include "platform/ui/docking_pane.h"
#include "platform/ui/focus_edit.h"
#include "platform/ui/icon_button.h"
#include "platform/ui/string_table.h"
#include "platform/ui/window_styles.h"

namespace ORV::UI {

namespace {
constexpr int kChangeIcon = 325;
}

QString FocusEditEntry::Text() const { return edit != nullptr ? edit->text() : QString(); }
bool FocusEditEntry::Editing() const { return edit != nullptr && !edit->isReadOnly(); }
void FocusEditEntry::SetText(const QString& text) {
  if (edit != nullptr) edit->setText(text);
}
void FocusEditEntry::EndEditing() {
  if (edit != nullptr) edit->setReadOnly(true);
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
  if (icon && button->SetIcon(kChangeIcon) == 0 && !text.isEmpty()) {
    const int captionHeight = QFontMetrics(pane.PanelFont()).height();
    if (rect.height() >= button->IconSize().height() + captionHeight + 4) button->SetIconAlign(CIconButton::kIconAbove);
  }
  return button;
}

void RepaintOwnerWhenMoved(DockingPane& pane) {
  QObject::connect(&pane, &QDockWidget::topLevelChanged, &pane, [&pane] {
    if (QWidget* owner = pane.parentWidget()) owner->window()->update();
  });
}

QString TemperatureRangeText(double minimum, double maximum) {
  // The text names the bounds as two numbers; put the configured ones there.
  QString text = LoadQString(kTemperatureRangeString);
  static const QRegularExpression number(QStringLiteral("\\d+(\\.\\d+)?"));
  const double bounds[] = {minimum, maximum};
  qsizetype from = 0;
  for (const double bound : bounds) {
    const QRegularExpressionMatch m = number.match(text, from);
    if (!m.hasMatch()) break;
    const QString value = QString::number(bound, 'f', 1);
    text.replace(m.capturedStart(), m.capturedLength(), value);
    from = m.capturedStart() + value.size();
  }
  return text;
}

}  // namespace ORV::UI
