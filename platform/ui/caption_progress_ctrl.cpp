#include "platform/ui/caption_progress_ctrl.h"

#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <algorithm>
#include <climits>
#include <cmath>

#include "platform/ui/window_styles.h"

using namespace ORV::UI;

int CCaptionProgressCtrl::bounceDirection_ = +1;

namespace {

QColor Resolve(COLORREF c, SystemColor fallback) { return c == CLR_DEFAULT ? GetSysColor(fallback) : FromColorRef(c); }

std::uint32_t PackRange(int lower, int upper) {
  return (static_cast<std::uint32_t>(static_cast<std::uint16_t>(upper)) << 16) | static_cast<std::uint16_t>(lower);
}

// A pixel coordinate from a double that may lie far outside the control.
int ToPixel(double v, int low, int high) { return static_cast<int>(std::clamp(v, double(low), double(high))); }

}  // namespace

CCaptionProgressCtrl::CCaptionProgressCtrl(QWidget* parent) : QWidget(parent) {
  SetHandler(WM_TIMER, [this](WPARAM id, LPARAM) -> LRESULT {
    if (id == kMarqueeTimer) OnMarqueeTick();
    return 0;
  });
}

bool CCaptionProgressCtrl::Create(std::uint32_t style, const QRect& rect, QWidget* parent, int id) {
  if (parent && parent != parentWidget()) setParent(parent);
  style_ = style;
  commandId_ = id;
  setGeometry(rect);
  setEnabled((style & WS_DISABLED) == 0);
  setVisible((style & WS_VISIBLE) != 0);
  return true;
}

void CCaptionProgressCtrl::Redraw() { repaint(); }

std::uint32_t CCaptionProgressCtrl::ReplaceRange(int lower, int upper) {
  const std::uint32_t old = PackRange(lower_, upper_);
  lower_ = lower;
  upper_ = upper;
  Redraw();
  return old;
}

std::uint32_t CCaptionProgressCtrl::SetRange(std::uint16_t lower, std::uint16_t upper) {
  return ReplaceRange(lower, upper);
}

std::uint32_t CCaptionProgressCtrl::SetRange32(int lower, int upper) { return ReplaceRange(lower, upper); }

int CCaptionProgressCtrl::GetRange(bool wantLower, Range* range) const {
  if (range) *range = {lower_, upper_};
  return wantLower ? lower_ : upper_;
}

int CCaptionProgressCtrl::MarqueeLimit() const {
  const double limit = std::round((marqueeSize_ + 100.0) * upper_ / 100.0);
  return static_cast<int>(std::clamp(limit, double(INT32_MIN), double(INT32_MAX)));
}

int CCaptionProgressCtrl::SetPos(int position) {
  const int old = position_;
  const int limit = (style_ & PBS_MARQUEE) ? MarqueeLimit() : upper_;
  position_ = position < lower_ ? lower_ : position > limit ? limit : position;
  Redraw();
  return old;
}

int CCaptionProgressCtrl::DeltaPos(int delta) { return SetPos(position_ + delta); }

int CCaptionProgressCtrl::SetStep(int step) {
  const int old = step_;
  step_ = step;
  Redraw();
  return old;
}

int CCaptionProgressCtrl::StepIt() {
  long long p = static_cast<long long>(position_) + step_;
  if (p < lower_) p = upper_ - (lower_ - p);
  if (p > upper_) p = lower_ + (p - upper_);
  return SetPos(static_cast<int>(std::clamp<long long>(p, INT32_MIN, INT32_MAX)));
}

void CCaptionProgressCtrl::OnMarqueeTick() {
  const int position = position_;
  if (bounceDirection_ > 0 && position >= MarqueeLimit()) bounceDirection_ = -1;
  if (bounceDirection_ < 0 && position <= lower_) bounceDirection_ = +1;
  SetPos(position + bounceDirection_);
}

COLORREF CCaptionProgressCtrl::ReplaceColor(COLORREF& slot, COLORREF c) {
  std::swap(slot, c);
  Redraw();
  return c;
}

COLORREF CCaptionProgressCtrl::SetBarColor(COLORREF c) { return ReplaceColor(barColor_, c); }
COLORREF CCaptionProgressCtrl::GetBarColor() const { return ToColorRef(Resolve(barColor_, SystemColor::Highlight)); }

COLORREF CCaptionProgressCtrl::SetBkColor(COLORREF c) { return ReplaceColor(bkColor_, c); }
COLORREF CCaptionProgressCtrl::GetBkColor() const { return ToColorRef(Resolve(bkColor_, SystemColor::ButtonFace)); }

COLORREF CCaptionProgressCtrl::SetTextColor(COLORREF c) { return ReplaceColor(textColor_, c); }
COLORREF CCaptionProgressCtrl::GetTextColor() const { return ToColorRef(Resolve(textColor_, SystemColor::WindowText)); }

COLORREF CCaptionProgressCtrl::SetTextBkColor(COLORREF c) { return ReplaceColor(textBkColor_, c); }
COLORREF CCaptionProgressCtrl::GetTextBkColor() const { return ToColorRef(Resolve(textBkColor_, SystemColor::Window)); }

bool CCaptionProgressCtrl::SetShowPercent(bool show) {
  std::swap(showPercent_, show);
  Redraw();
  return show;
}

int CCaptionProgressCtrl::SetTextAlign(int align) {
  std::swap(textAlign_, align);
  Redraw();
  return align;
}

void CCaptionProgressCtrl::SetMarqueeSize(int percent) {
  marqueeSize_ = percent;
  Redraw();
}

void CCaptionProgressCtrl::SetMarquee(bool on, int periodMs) {
  showPercent_ = false;
  if (on) {
    style_ |= PBS_MARQUEE;
    SetTimer(kMarqueeTimer, static_cast<unsigned>(std::max(periodMs, 0)));
  } else {
    KillTimer(kMarqueeTimer);
    style_ &= ~PBS_MARQUEE;
  }
  Redraw();
}

void CCaptionProgressCtrl::SetWindowText(const QString& text) {
  text_ = text;
  Redraw();
}

double CCaptionProgressCtrl::Fraction() const {
  // A range of no width (a stage of no steps) is simply empty.
  if (upper_ <= lower_) return 0.0;
  return (static_cast<double>(position_) - lower_) / (static_cast<double>(upper_) - lower_);
}

QString CCaptionProgressCtrl::Caption() const {
  QString caption = text_;
  if (showPercent_) {
    const double f = std::clamp(Fraction(), 0.0, 1.0);
    caption += QString::number(static_cast<int>(f * 100 + 0.5)) + u'%';
  }
  return caption;
}

void CCaptionProgressCtrl::paintEvent(QPaintEvent*) {
  QPainter p(this);
  QRect r = DrawEdge(p, rect(), Edge::FlatSunken);
  if (r.isEmpty()) return;
  const bool vertical = style_ & PBS_VERTICAL;
  const bool marquee = style_ & PBS_MARQUEE;
  // A marquee segment slides past the end of the range; a plain bar never
  // shows more than the whole range or less than none.
  const double f = marquee ? std::clamp(Fraction(), -1.0, 100.0) : std::clamp(Fraction(), 0.0, 1.0);
  const int span = vertical ? r.height() : r.width();

  // The bar's extent along the control, clipped to it.
  const double end = span * f;
  const double start = marquee ? end - std::round(span * marqueeSize_ / 100.0) : 0.0;
  const int from = ToPixel(start, 0, span);
  const int to = ToPixel(end, 0, span);
  QRect bar;
  if (to > from)
    bar = vertical ? QRect(r.left(), r.bottom() + 1 - to, r.width(), to - from)
                   : QRect(r.left() + from, r.top(), to - from, r.height());

  const QColor barColor = FromColorRef(GetBarColor());
  const QColor bkColor = FromColorRef(GetBkColor());
  p.fillRect(r, bkColor);
  if (!bar.isEmpty()) p.fillRect(bar, barColor);

  const QString caption = Caption();
  if (caption.isEmpty()) return;
  p.setFont(font());
  const QFontMetrics fm(font());
  const int textLength = fm.horizontalAdvance(caption);
  // Where the caption starts along the control, and the box it is centred
  // across.
  int along = 0;
  if (!vertical) {
    along = textAlign_ == kAlignStart ? r.left() + 2
            : textAlign_ == kAlignEnd ? r.right() + 1 - 3 - textLength
                                      : r.left() + (r.width() - textLength) / 2;
  } else {
    // Turned text runs upwards: its start lies at the bottom.
    along = textAlign_ == kAlignStart ? r.bottom() + 1 - 3
            : textAlign_ == kAlignEnd ? r.top() + 2 + textLength
                                      : r.top() + (r.height() + textLength) / 2;
  }
  const QRegion whole(r);
  const QRegion rest = whole.subtracted(QRegion(bar));
  const auto drawCaption = [&](const QRegion& clip, const QColor& color) {
    if (clip.isEmpty()) return;
    p.save();
    p.setClipRegion(clip);
    p.setPen(color);
    if (!vertical) {
      p.drawText(QRect(along, r.top(), textLength, r.height()), Qt::AlignVCenter | Qt::AlignLeft, caption);
    } else {
      p.translate(r.left(), along);
      p.rotate(-90);
      p.drawText(QRect(0, 0, textLength, r.width()), Qt::AlignVCenter | Qt::AlignLeft, caption);
    }
    p.restore();
  };
  drawCaption(QRegion(bar).intersected(whole), FromColorRef(GetTextBkColor()));
  drawCaption(rest, FromColorRef(GetTextColor()));
}
