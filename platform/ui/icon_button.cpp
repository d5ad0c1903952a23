#include "platform/ui/icon_button.h"

#include <QApplication>
#include <QEnterEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyleOptionFocusRect>
#include <QSvgRenderer>

#include "platform/ui/icons.h"
#include "platform/ui/painting.h"
#include "platform/ui/window_styles.h"

using namespace ORV::UI;

CIconButton::CIconButton(QWidget* parent) : QPushButton(parent) {
  setMouseTracking(true);
  LoadDefaultColors();
}

CIconButton::~CIconButton() = default;

bool CIconButton::Create(const QString& text, std::uint32_t style, const QRect& rect, QWidget* parent, int id) {
  if (parent && parent != parentWidget()) setParent(parent);
  setText(text);
  setGeometry(rect);
  commandId_ = id;
  checkBoxMode_ = (style & 0x2) != 0;
  setCheckable(checkBoxMode_);
  SetButtonStyle(style);
  setFocusPolicy((style & WS_TABSTOP) ? Qt::StrongFocus : Qt::ClickFocus);
  setEnabled((style & WS_DISABLED) == 0);
  setVisible((style & WS_VISIBLE) != 0);
  return true;
}

void CIconButton::SetButtonStyle(std::uint32_t style) {
  defaultButton_ = (style & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
  setAutoDefault(false);
  setDefault(defaultButton_);
  update();
}

void CIconButton::LoadDefaultColors() {
  const QColor face = GetSysColor(SystemColor::ButtonFace);
  const QColor text = GetSysColor(SystemColor::ButtonText);
  inBack_ = outBack_ = focusBack_ = face;
  inText_ = outText_ = focusText_ = text;
}

int CIconButton::SetIcon(int resourceId) {
  icon_.reset();
  iconSize_ = QSize();
  const QByteArray svg = LoadIconResource(resourceId);
  int result = 1;
  if (!svg.isEmpty()) {
    auto renderer = std::make_unique<QSvgRenderer>(svg);
    if (renderer->isValid() && !renderer->defaultSize().isEmpty()) {
      iconSize_ = renderer->defaultSize();
      icon_ = std::move(renderer);
      result = 0;
    }
  }
  update();
  return result;
}

void CIconButton::SetIconAlign(IconAlign align) {
  align_ = align;
  update();
}

void CIconButton::SetTooltipText(const QString& text) {
  if (text.isNull()) return;
  setToolTip(text);
}

void CIconButton::SetCheck(bool checked) {
  if (!checkBoxMode_) return;
  setChecked(checked);
  update();
}

bool CIconButton::GetCheck() const { return checkBoxMode_ && isChecked(); }

void CIconButton::TrackHover(const QPoint& pos, Qt::MouseButtons buttons) {
  if (!flat_) return;
  if (rect().contains(pos) && QApplication::activeWindow()) {
    // Dragging in from elsewhere with the left button down does not light it.
    if ((buttons & Qt::LeftButton) && !hover_) return;
    if (!hover_) {
      hover_ = true;
      update();
    }
  } else {
    ClearHover();
  }
}

void CIconButton::ClearHover() {
  if (!flat_ || !hover_) return;
  hover_ = false;
  update();
}

void CIconButton::enterEvent(QEnterEvent* e) {
  TrackHover(e->position().toPoint(), QApplication::mouseButtons());
  QPushButton::enterEvent(e);
}

void CIconButton::leaveEvent(QEvent* e) {
  ClearHover();
  QPushButton::leaveEvent(e);
}

void CIconButton::mouseMoveEvent(QMouseEvent* e) {
  TrackHover(e->position().toPoint(), e->buttons());
  QPushButton::mouseMoveEvent(e);
}

void CIconButton::focusOutEvent(QFocusEvent* e) {
  ClearHover();
  QPushButton::focusOutEvent(e);
}

void CIconButton::changeEvent(QEvent* e) {
  switch (e->type()) {
    case QEvent::EnabledChange:
      if (!isEnabled()) {
        // A disabled button hands the focus on to the next control.
        if (hasFocus()) {
          QWidget* parent = parentWidget();
          if (!parent || !focusNextChild()) {
            if (parent)
              parent->setFocus();
            else
              clearFocus();
          }
        }
        hover_ = false;
        update();
      }
      break;
    case QEvent::ActivationChange:
      if (!isActiveWindow()) ClearHover();
      break;
    case QEvent::PaletteChange:
      LoadDefaultColors();
      update();
      break;
    default:
      break;
  }
  QPushButton::changeEvent(e);
}

void CIconButton::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setBackgroundMode(Qt::TransparentMode);
  const bool pressed = isDown() || (checkBoxMode_ && isChecked());
  const bool focused = hasFocus();
  const bool disabled = !isEnabled();
  QRect r = rect();

  // Face.
  if (!flat_ && (focused || defaultButton_)) {
    Draw3dRect(p, r, Qt::black, Qt::black);
    r.adjust(1, 1, -1, -1);
  }
  const QColor back = (hover_ || pressed) ? inBack_ : focused ? focusBack_ : outBack_;
  p.fillRect(r, back);

  // Edge.
  const QColor hilight = GetSysColor(SystemColor::ButtonHighlight);
  const QColor shadow = GetSysColor(SystemColor::ButtonShadow);
  if (pressed) {
    if (flat_) {
      if (drawBorder_) Draw3dRect(p, r, shadow, hilight);
    } else {
      Draw3dRect(p, r, shadow, shadow);
    }
  } else if (!flat_) {
    DrawEdge(p, r, Edge::Raised);
  } else if (hover_ && drawBorder_) {
    Draw3dRect(p, r, hilight, shadow);
  }

  // Icon, and the room it leaves for the caption.
  const QString caption = text();
  const QPoint offset = (pressed && !checkBoxMode_) ? kPressedOffset : QPoint(0, 0);
  QRect captionRect = r;
  if (icon_) {
    const int w = iconSize_.width(), h = iconSize_.height();
    QRect iconRect;
    if (caption.isEmpty()) {
      iconRect = QRect(r.left() + (r.width() - w) / 2, r.top() + (r.height() - h) / 2, w, h);
    } else if (align_ == kIconAbove) {
      iconRect = QRect(r.left() + (r.width() - w) / 2, r.top() + kMarginY, w, h);
      captionRect.setTop(iconRect.bottom() + 1);
    } else if (align_ == kIconRight) {
      iconRect = QRect(r.right() - kMarginX - w + 1, r.top() + (r.height() - h) / 2, w, h);
      captionRect.setRight(iconRect.left() - 1);
    } else {
      iconRect = QRect(r.left() + kMarginX, r.top() + (r.height() - h) / 2, w, h);
      captionRect.setLeft(iconRect.right() + 1);
    }
    icon_->render(&p, QRectF(iconRect.translated(offset)));
  }

  // Caption.
  if (!caption.isEmpty()) {
    p.setFont(font());
    const int flags = Qt::AlignCenter | Qt::TextWordWrap | Qt::TextShowMnemonic;
    const QRect textRect = captionRect.translated(offset);
    if (disabled) {
      p.setPen(hilight);
      p.drawText(textRect.translated(1, 1), flags, caption);
      p.setPen(shadow);
      p.drawText(textRect, flags, caption);
    } else {
      p.setPen((hover_ || pressed) ? inText_ : focused ? focusText_ : outText_);
      p.drawText(textRect, flags, caption);
    }
  }

  // Focus.
  if (focused && (!flat_ || drawFlatFocus_)) {
    QStyleOptionFocusRect option;
    option.initFrom(this);
    option.rect = r.adjusted(3, 3, -3, -3);
    option.backgroundColor = back;
    style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &p, this);
  }
}
