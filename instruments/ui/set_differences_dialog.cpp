#include "instruments/ui/set_differences_dialog.h"

#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <algorithm>

#include "platform/os/number_text.h"

using namespace ORV::UI;

namespace {

// The template: caption "Set differences", a modal frame without a close
// box, 107 x 104 dialog units, opened under the mouse.
DialogFrame Frame() {
  DialogFrame frame;
  frame.caption = QStringLiteral("Set differences");
  frame.systemMenu = false;
  frame.widthDlu = 107;
  frame.heightDlu = 104;
  frame.centerOnMouse = true;
  return frame;
}

}  // namespace

CSetDifferencesDialog::CSetDifferencesDialog(QWidget* parent) : Dialog(Frame(), parent) {
  auto* group = new QGroupBox(this);
  group->setGeometry(MapDialogRect(7, 7, 93, 73));
  for (int i = 0; i < kChambers; ++i) {
    auto* label = new QLabel(QStringLiteral("Chamber %1").arg(i + 1), this);
    label->setGeometry(MapDialogRect(15, 17 + 16 * i, 44, 8));
  }
  for (int i = 0; i < kChambers; ++i) {
    edits_[i] = new QLineEdit(this);
    edits_[i]->setGeometry(MapDialogRect(68, 14 + 16 * i, 26, 14));
    edits_[i]->setAlignment(Qt::AlignRight);
  }
  auto* save = new QPushButton(QStringLiteral("Save"), this);
  save->setGeometry(MapDialogRect(50, 83, 50, 14));
  save->setDefault(true);
  QObject::connect(save, &QPushButton::clicked, this, [this] { OnOK(); });
}

bool CSetDifferencesDialog::OnInitDialog() {
  for (int i = 0; i < kChambers; ++i) edits_[i]->setText(QString::fromStdString(ORV::OS::FormatFixed(values[i], 1)));
  return true;
}

bool CSetDifferencesDialog::PreTranslateKey(QWidget* target, QKeyEvent* key) {
  const auto edit = std::find(edits_.begin(), edits_.end(), target);
  if (edit == edits_.end()) return false;
  if (key->modifiers() & Qt::KeypadModifier) return true;
  switch (key->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Backspace:
    case Qt::Key_Left:
    case Qt::Key_Up:
    case Qt::Key_Right:
    case Qt::Key_Down:
    case Qt::Key_Delete:
      return false;
    case Qt::Key_Period:
      // One point, and not in front of everything.
      return (*edit)->text().contains(u'.') || (*edit)->cursorPosition() == 0;
    default:
      return !(key->key() >= Qt::Key_0 && key->key() <= Qt::Key_9);
  }
}

void CSetDifferencesDialog::OnOK() {
  for (int i = 0; i < kChambers; ++i)
    values[i] = static_cast<float>(ORV::OS::LeadingDouble(edits_[i]->text().toStdString()));
  EndDialog(IDOK);
}
