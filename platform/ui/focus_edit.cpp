#include "platform/ui/focus_edit.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>

using ORV::UI::LPARAM;
using ORV::UI::LRESULT;
using ORV::UI::WPARAM;

CFocusEdit::CFocusEdit(QWidget* parent) : QLineEdit(parent) {
  SetHandler(ORV::UI::WM_TIMER, [this](WPARAM id, LPARAM) -> LRESULT {
    if (id == kTimerId) OnTimer();
    return 0;
  });
  SetTimer(kTimerId, kTimerPeriodMs);
}

void CFocusEdit::OnTimer() {
  if (countdown_ > 0) --countdown_;
  if (countdown_ == 0 && !isReadOnly()) setReadOnly(true);
}

bool CFocusEdit::event(QEvent* e) {
  if (e->type() == QEvent::KeyPress && PreTranslateKey(static_cast<QKeyEvent*>(e))) return true;
  return QLineEdit::event(e);
}

bool CFocusEdit::PreTranslateKey(QKeyEvent* key) {
  const int k = key->key();
  const bool shift = key->modifiers() & Qt::ShiftModifier;
  if (k == Qt::Key_Return || k == Qt::Key_Enter) {
    if (enterHandler) enterHandler->OnEnterKey(key);
    return false;
  }
  if (k == Qt::Key_Escape) {
    if (escapeHandler) escapeHandler->OnEnterKey(key);
    return false;
  }
  if (k == Qt::Key_Backtab || (k == Qt::Key_Tab && shift)) {
    if (previousWindow) {
      previousWindow->setFocus(Qt::BacktabFocusReason);
      return true;
    }
  } else if (k == Qt::Key_Tab) {
    if (nextWindow) {
      nextWindow->setFocus(Qt::TabFocusReason);
      return true;
    }
  }
  return numericOnly && !NumericKeyAllowed(key);
}

bool CFocusEdit::NumericKeyAllowed(const QKeyEvent* key) const {
  const int k = key->key();
  const bool keypad = key->modifiers() & Qt::KeypadModifier;
  switch (k) {
    case Qt::Key_Backspace:
    case Qt::Key_End:
    case Qt::Key_Home:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Delete:
      return true;
    case Qt::Key_Comma:
    case Qt::Key_Period:
      return !keypad && decimalAllowed && !text().contains(u',') && !text().contains(u'.');
    case Qt::Key_Minus:
      return !keypad && !text().contains(u'-');
    default:
      // The digit keys, of the main keyboard and of the keypad.
      return k >= Qt::Key_0 && k <= Qt::Key_9;
  }
}

void CFocusEdit::keyPressEvent(QKeyEvent* e) {
  countdown_ = reload;
  QLineEdit::keyPressEvent(e);
}

void CFocusEdit::mousePressEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) {
    QLineEdit::mousePressEvent(e);
    return;
  }
  const bool wasSelected = selected_;
  if (isReadOnly()) setReadOnly(false);
  QLineEdit::mousePressEvent(e);
  if (!wasSelected) selectAll();  // selectAll also scrolls the caret into view
  countdown_ = reload;
  selected_ = true;
}

void CFocusEdit::focusInEvent(QFocusEvent* e) {
  countdown_ = reload;
  if (isReadOnly()) setReadOnly(false);
  // A click marks the field as entered itself, after it selected the text.
  if (e->reason() != Qt::MouseFocusReason) selected_ = true;
  QLineEdit::focusInEvent(e);
}

void CFocusEdit::focusOutEvent(QFocusEvent* e) {
  selected_ = false;
  QLineEdit::focusOutEvent(e);
}

void CFocusEdit::changeEvent(QEvent* e) {
  if (e->type() == QEvent::ReadOnlyChange) {
    // Display mode shows the value on the window's colour, entry mode on the
    // field colour, as read-only and editable fields look on the desktop.
    QPalette p = palette();
    p.setColor(QPalette::Base, QApplication::palette().color(isReadOnly() ? QPalette::Window : QPalette::Base));
    setPalette(p);
  }
  QLineEdit::changeEvent(e);
}
