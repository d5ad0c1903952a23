#include "platform/ui/dialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QWindow>
#include <algorithm>

#include "platform/ui/dpi.h"
#include "platform/ui/owner_activation.h"
#include "platform/ui/painting.h"

namespace ORV::UI {
namespace {

// The templates' dialog font: the desktop's sans-serif face at 8 points, at
// the DPI that sizes are scaled with.
QFont TemplateFont() {
  QFont font = QApplication::font();
  font.setPointSizeF(8.0);
  return ScaleFontToDpi(font);
}

// round(a * b / c), as dialog-unit conversion rounds.
int MulDiv(int a, int b, int c) {
  const long long p = static_cast<long long>(a) * b;
  return static_cast<int>(p >= 0 ? (p + c / 2) / c : -((-p + c / 2) / c));
}

bool IsEnter(const QKeyEvent* k) { return k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter; }

}  // namespace

Dialog::Dialog(const DialogFrame& frame, QWidget* parent) : QDialog(parent), frame_(frame) {
  Qt::WindowFlags flags = Qt::Dialog;
  if (!frame_.captionBar)
    flags |= Qt::FramelessWindowHint;
  else if (!frame_.systemMenu)
    flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint;
  setWindowFlags(flags);
  setWindowTitle(frame_.caption);
  setFont(TemplateFont());
  // The dialog base units: the average width of the letters (rounded the
  // way the templates were measured) and the line height.
  const QFontMetrics fm(font());
  const int letters = fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  baseUnitX_ = (letters / 26 + 1) / 2;
  baseUnitY_ = fm.height();
  if (frame_.widthDlu > 0 && frame_.heightDlu > 0)
    setFixedSize(MapDialogRect(0, 0, frame_.widthDlu, frame_.heightDlu).size());
}

QRect Dialog::MapDialogRect(int x, int y, int width, int height) const {
  return {MulDiv(x, baseUnitX_, 4), MulDiv(y, baseUnitY_, 8), MulDiv(width, baseUnitX_, 4),
          MulDiv(height, baseUnitY_, 8)};
}

void Dialog::Initialise() {
  if (initialised_) return;
  initialised_ = true;
  const bool focusFirst = OnInitDialog();
  installEventFilter(this);
  for (QWidget* child : findChildren<QWidget*>()) child->installEventFilter(this);
  if (focusFirst) {
    for (QWidget* w = nextInFocusChain(); w && w != this; w = w->nextInFocusChain()) {
      if ((w->focusPolicy() & Qt::TabFocus) && w->isEnabled() && !w->isHidden()) {
        w->setFocus(Qt::TabFocusReason);
        break;
      }
    }
  }
}

QPoint PlaceBeside(const QRect& anchor, const QSize& size, const QRect& area) {
  // The position along one edge, kept inside the area where it fits.
  const auto along = [](int start, int extent, int areaStart, int areaExtent) {
    return std::max(areaStart, std::min(start, areaStart + areaExtent - extent));
  };
  const int x = along(anchor.left(), size.width(), area.left(), area.width());
  const int y = along(anchor.top(), size.height(), area.top(), area.height());
  const QPoint candidates[] = {
      {x, anchor.bottom() + 1},           // below
      {x, anchor.top() - size.height()},  // above
      {anchor.right() + 1, y},            // right
      {anchor.left() - size.width(), y},  // left
  };
  for (const QPoint& corner : candidates) {
    if (area.contains(QRect(corner, size))) return corner;
  }
  return {x, along(anchor.bottom() + 1, size.height(), area.top(), area.height())};
}

void Dialog::Place() {
  if (anchor_.isValid()) {
    const QScreen* screen = QGuiApplication::screenAt(anchor_.center());
    if (!screen) screen = QGuiApplication::primaryScreen();
    if (!screen) return;
    // The window's frame counts: a dialog above its anchor would reach over
    // it by the frame. Before the window is shown the desktop may not have
    // said how wide its frame is; then a title bar and a border are assumed.
    create();
    QMargins frame = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    if (frame.isNull() && frame_.captionBar) {
      const int border = style()->pixelMetric(QStyle::PM_DefaultFrameWidth) + 2;
      frame = QMargins(border, style()->pixelMetric(QStyle::PM_TitleBarHeight) + border, border, border);
    }
    const QSize outer = size().grownBy(frame);
    move(PlaceBeside(anchor_, outer, screen->availableGeometry()));
    return;
  }
  if (frame_.centerOnMouse) {
    QRect r(QPoint(0, 0), size());
    r.moveCenter(QCursor::pos());
    if (const QScreen* screen = QGuiApplication::screenAt(QCursor::pos())) {
      const QRect area = screen->availableGeometry();
      r.moveLeft(std::max(area.left(), std::min(r.left(), area.right() - r.width())));
      r.moveTop(std::max(area.top(), std::min(r.top(), area.bottom() - r.height())));
    }
    move(r.topLeft());
  }
}

int Dialog::DoModal() {
  Initialise();
  Place();
  const OwnerActivation giveBack(parentWidget());
  return exec();
}

void Dialog::Create() {
  Initialise();
  show();
}

void Dialog::EndDialog(int result) { done(result); }

void Dialog::accept() { OnOK(); }
void Dialog::reject() { OnCancel(); }

bool Dialog::PreTranslateKey(QWidget*, QKeyEvent*) { return false; }

void Dialog::keyPressEvent(QKeyEvent* e) {
  const Qt::KeyboardModifiers mods = e->modifiers() & ~Qt::KeypadModifier;
  if (IsEnter(e) && mods == Qt::NoModifier) {
    // Enter presses the default button; without one it is the OK command.
    for (QPushButton* b : findChildren<QPushButton*>()) {
      if (b->isDefault() && b->isVisible()) {
        if (b->isEnabled()) b->click();
        return;
      }
    }
    OnOK();
    return;
  }
  if (e->key() == Qt::Key_Escape && e->modifiers() == Qt::NoModifier) {
    OnCancel();
    return;
  }
  QDialog::keyPressEvent(e);
}

void Dialog::closeEvent(QCloseEvent* e) {
  // The dialog decides itself whether and how a close request ends it.
  e->ignore();
  OnClose();
}

bool Dialog::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() == QEvent::KeyPress) {
    // A key goes to the control with the focus first and may travel on to
    // its parents; it is pre-translated once, at the control it was aimed at.
    QWidget* target = focusWidget() ? focusWidget() : this;
    if (watched == target) return PreTranslateKey(target, static_cast<QKeyEvent*>(e));
  }
  return QDialog::eventFilter(watched, e);
}

void Dialog::paintEvent(QPaintEvent* e) {
  QDialog::paintEvent(e);
  if (frame_.captionBar) return;
  QPainter p(this);
  Draw3dRect(p, rect(), GetSysColor(SystemColor::ButtonShadow), GetSysColor(SystemColor::ButtonShadow));
}

}  // namespace ORV::UI
