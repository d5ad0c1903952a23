#include "instruments/ui/set_value_dialog.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <algorithm>

#include "platform/os/number_text.h"
#include "platform/ui/message_box.h"

using namespace ORV::UI;

namespace {

// The template: no caption bar, a thin border, 155 x 27 dialog units,
// opened under the mouse.
DialogFrame Frame() {
  DialogFrame frame;
  frame.captionBar = false;
  frame.widthDlu = 155;
  frame.heightDlu = 27;
  frame.centerOnMouse = true;
  return frame;
}

}  // namespace

CSetValueDialog::CSetValueDialog(QWidget* owner)
    : Dialog(Frame(), owner),
      ownerWindow(owner),
      label_(new QLabel(QStringLiteral("Static"), this)),
      edit_(new QLineEdit(this)) {
  label_->setGeometry(MapDialogRect(7, 9, 115, 8));
  edit_->setGeometry(MapDialogRect(123, 7, 25, 12));
  edit_->setAlignment(Qt::AlignRight);
  edit_->setFocusPolicy(Qt::StrongFocus);
  QObject::connect(edit_, &QLineEdit::textChanged, edit_, [this] { OnEditChanged(); });
  // A close request keeps what the edit holds.
  SetHandler(WM_CLOSE, [this](WPARAM, LPARAM) -> LRESULT {
    resultText = edit_->text();
    return 0;
  });
}

bool CSetValueDialog::OnInitDialog() {
  edit_->setText(initialText);
  label_->setText(labelText);
  // A label longer than the template's field widens the dialog; the edit
  // moves along so that the whole text shows before it.
  const int extra = std::max(0, label_->sizeHint().width() - label_->width());
  if (extra > 0) {
    label_->resize(label_->width() + extra, label_->height());
    edit_->move(edit_->x() + extra, edit_->y());
    setFixedSize(width() + extra, height());
  }
  return true;
}

void CSetValueDialog::OnEditChanged() {
  // Only digits, and points with the decimal flag, are kept: the text is cut
  // at its first other character.
  const QString text = edit_->text();
  qsizetype keep = text.size();
  for (qsizetype i = text.size(); i-- > 0;) {
    const QChar c = text[i];
    const bool admitted = (c >= u'0' && c <= u'9') || (decimalFlag == 1 && c == u'.');
    if (!admitted) keep = i;
  }
  if (keep < text.size()) {
    // Changes the text again; that pass checks the range.
    edit_->setText(text.left(keep));
    return;
  }
  const float value = static_cast<float>(ORV::OS::LeadingDouble(text.toStdString()));
  if (minimum > value || value > maximum) ShowBalloonTip(edit_, balloonTitle, balloonText, BalloonIcon::Error);
}

bool CSetValueDialog::PreTranslateKey(QWidget*, QKeyEvent* key) {
  if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) SendMessage(WM_CLOSE);
  return false;  // the dialog turns Enter into OK
}

void CSetValueDialog::OnClose() {
  SendMessage(WM_CLOSE);
  OnCancel();
}
