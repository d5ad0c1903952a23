#include "platform/ui/ribbon_status_bar.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>

#include "platform/ui/dpi.h"

namespace ORV::UI {
namespace {

constexpr int kBarHeight = 24;
constexpr int kElementHeight = 22;
constexpr int kPadding = 6;
constexpr int kSeparatorWidth = 9;
// Room between the left row and the shaded right-hand group.
constexpr int kExtendedMargin = 6;

const QColor kBarTop(0xf3, 0xf5, 0xf6);
const QColor kBarBottom(0xe4, 0xe9, 0xeb);
const QColor kExtended(0xd9, 0xe0, 0xe3);
const QColor kBorder(0xc4, 0xcc, 0xd0);
const QColor kText(0x1f, 0x2a, 0x2e);
const QColor kGrayText(0x94, 0x9f, 0xa4);

// The text as drawn: a tab holds the room of four blanks.
QString Shown(const std::string& text) {
  QString s = QString::fromStdString(text);
  s.replace(u'\t', QStringLiteral("    "));
  return s;
}

}  // namespace

// ---- elements -------------------------------------------------------------

StatusBarElement::StatusBarElement(Kind kind, CommandId id, std::string text)
    : kind_(kind), id_(id), text_(std::move(text)) {}

StatusBarElement::~StatusBarElement() = default;

void StatusBarElement::SetText(std::string text) {
  if (text_ == text) return;
  const bool resize = Shown(text).size() != Shown(text_).size();
  text_ = std::move(text);
  if (resize)
    Relayout();
  else
    Redraw();
}

void StatusBarElement::SetToolTipText(std::string text) { toolTip_ = std::move(text); }
void StatusBarElement::SetDescription(std::string text) { description_ = std::move(text); }

void StatusBarElement::SetVisible(bool visible) {
  if (visible_ == visible) return;
  visible_ = visible;
  Relayout();
}

void StatusBarElement::SetEnabled(bool enabled) {
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  Redraw();
}

void StatusBarElement::SetChecked(bool checked) {
  if (checked_ == checked) return;
  checked_ = checked;
  Redraw();
}

void StatusBarElement::Redraw() {
  if (bar_ && !rect_.isEmpty()) bar_->update(rect_);
}

void StatusBarElement::Relayout() {
  if (bar_) bar_->RecalcLayout();
}

void StatusBarElement::RunCommand() {
  if (bar_ && bar_->Router() && id_ != 0) bar_->Router()->Execute(id_);
}

QSize StatusBarElement::SizeHint(const QFontMetrics& metrics, int dpi) const {
  if (kind_ == Kind::Separator) return {ScaleByDpi(kSeparatorWidth, dpi), ScaleByDpi(kElementHeight, dpi)};
  return {metrics.horizontalAdvance(Shown(text_)) + 2 * ScaleByDpi(kPadding, dpi), ScaleByDpi(kElementHeight, dpi)};
}

void StatusBarElement::Draw(QPainter& painter, const QRect& rect) {
  if (kind_ == Kind::Separator) {
    const int x = rect.center().x();
    painter.setPen(kBorder);
    painter.drawLine(x, rect.top() + rect.height() / 6, x, rect.bottom() - rect.height() / 6);
    return;
  }
  if (kind_ == Kind::Button && enabled_ && (highlighted_ || pressed_ || checked_)) {
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor accent(84, 107, 115);
    painter.setPen(pressed_ || checked_ ? accent : accent.lighter(150));
    painter.setBrush(pressed_ || checked_ ? accent.lighter(150) : accent.lighter(185));
    painter.drawRoundedRect(QRectF(rect).adjusted(0.5, 0.5, -0.5, -0.5), 3, 3);
    painter.setRenderHint(QPainter::Antialiasing, false);
  }
  painter.setPen(enabled_ ? kText : kGrayText);
  const int pad = bar_ ? ScaleByDpi(kPadding, bar_->Dpi()) : kPadding;
  painter.drawText(rect.adjusted(pad, 0, -pad, 0),
                   (kind_ == Kind::Button ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignVCenter, Shown(text_));
}

void StatusBarElement::OnMouseMove(const QPoint&) {
  if (kind_ != Kind::Button || highlighted_) return;
  highlighted_ = true;
  Redraw();
}

void StatusBarElement::OnLButtonDown(const QPoint&) {
  if (kind_ != Kind::Button || !enabled_) return;
  pressed_ = true;
  Redraw();
}

void StatusBarElement::OnLButtonUp(const QPoint& point) {
  if (!pressed_) return;
  pressed_ = false;
  Redraw();
  if (rect_.contains(point)) RunCommand();
}

void StatusBarElement::OnLButtonDblClk(const QPoint& point) { OnLButtonDown(point); }

void StatusBarElement::OnMouseLeave() {
  if (!highlighted_ && !pressed_) return;
  highlighted_ = pressed_ = false;
  Redraw();
}

RibbonStatusProgressBar::RibbonStatusProgressBar(CommandId id, int width, int height)
    : StatusBarElement(Kind::Custom, id), width_(width), height_(height) {}

QSize RibbonStatusProgressBar::SizeHint(const QFontMetrics&, int dpi) const {
  return {ScaleByDpi(width_, dpi), ScaleByDpi(height_, dpi)};
}

void RibbonStatusProgressBar::SetRange(int minimum, int maximum) {
  if (minimum > maximum) std::swap(minimum, maximum);
  min_ = minimum;
  max_ = maximum;
  SetPos(pos_);
}

void RibbonStatusProgressBar::SetPos(int pos) {
  if (infinite_ && max_ > min_)
    pos_ = min_ + ((pos - min_) % (max_ - min_ + 1) + (max_ - min_ + 1)) % (max_ - min_ + 1);
  else
    pos_ = std::clamp(pos, min_, max_);
  Redraw();
}

void RibbonStatusProgressBar::Draw(QPainter& painter, const QRect& rect) {
  const QRect frame = rect.adjusted(1, 2, -1, -2);
  painter.setPen(kBorder);
  painter.setBrush(Qt::white);
  painter.drawRect(frame.adjusted(0, 0, -1, -1));
  if (max_ > min_ && pos_ > min_) {
    QRect fill = frame.adjusted(2, 2, -2, -2);
    fill.setWidth(static_cast<int>(static_cast<long long>(fill.width()) * (pos_ - min_) / (max_ - min_)));
    painter.fillRect(fill, QColor(84, 107, 115).lighter(140));
  }
  if (!Text().empty()) {
    painter.setPen(kText);
    painter.drawText(frame, Qt::AlignCenter, Shown(Text()));
  }
}

// ---- the bar --------------------------------------------------------------

RibbonStatusBar::RibbonStatusBar(QWidget* parent) : QWidget(parent), dpi_(QueryDpi()) {
  setMouseTracking(true);
  QFont f = font();
  f.setPixelSize(ScaleByDpi(12, dpi_));
  setFont(f);
  setFixedHeight(ScaleByDpi(kBarHeight, dpi_));
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

RibbonStatusBar::~RibbonStatusBar() { Unsubscribe(); }

void RibbonStatusBar::SetRouter(CommandRouter* router) {
  Unsubscribe();
  router_ = router;
  for (auto* list : {&elements_, &extended_})
    for (auto& element : *list) Subscribe(*element);
}

void RibbonStatusBar::Subscribe(StatusBarElement& element) {
  if (!router_ || element.GetKind() != StatusBarElement::Kind::Button || element.Id() == 0) return;
  tokens_.push_back(router_->Subscribe(element.Id(), [&element](CommandId, const CommandState& state) {
    element.SetEnabled(state.enabled);
    element.SetChecked(state.checked);
    if (state.text) element.SetText(*state.text);
  }));
}

void RibbonStatusBar::Unsubscribe() {
  if (router_)
    for (int token : tokens_) router_->Unsubscribe(token);
  tokens_.clear();
}

StatusBarElement* RibbonStatusBar::Adopt(std::vector<std::unique_ptr<StatusBarElement>>& list,
                                         std::unique_ptr<StatusBarElement> element, std::string label, bool visible) {
  if (!element) return nullptr;
  element->bar_ = this;
  element->visible_ = visible;
  if (!label.empty()) element->label_ = std::move(label);
  Subscribe(*element);
  list.push_back(std::move(element));
  RecalcLayout();
  return list.back().get();
}

StatusBarElement* RibbonStatusBar::AddElement(std::unique_ptr<StatusBarElement> element, std::string label,
                                              bool visible) {
  return Adopt(elements_, std::move(element), std::move(label), visible);
}

StatusBarElement* RibbonStatusBar::AddExtendedElement(std::unique_ptr<StatusBarElement> element, std::string label,
                                                      bool visible) {
  return Adopt(extended_, std::move(element), std::move(label), visible);
}

void RibbonStatusBar::AddSeparator() { AddElement(std::make_unique<StatusBarSeparator>()); }
void RibbonStatusBar::AddExtendedSeparator() { AddExtendedElement(std::make_unique<StatusBarSeparator>(), {}); }

void RibbonStatusBar::RemoveAll() {
  Unsubscribe();
  hover_ = captured_ = nullptr;
  elements_.clear();
  extended_.clear();
  update();
}

StatusBarElement* RibbonStatusBar::FindElement(CommandId id) const {
  if (id == 0) return nullptr;
  for (const auto* list : {&elements_, &extended_})
    for (const auto& element : *list)
      if (element->Id() == id) return element.get();
  return nullptr;
}

StatusBarElement* RibbonStatusBar::FindLabelled(const std::string& label) const {
  for (const auto* list : {&elements_, &extended_})
    for (const auto& element : *list)
      if (element->Label() == label) return element.get();
  return nullptr;
}

StatusBarElement* RibbonStatusBar::GetElement(int index) const {
  return index >= 0 && index < GetCount() ? elements_[static_cast<std::size_t>(index)].get() : nullptr;
}

StatusBarElement* RibbonStatusBar::GetExElement(int index) const {
  return index >= 0 && index < GetExCount() ? extended_[static_cast<std::size_t>(index)].get() : nullptr;
}

StatusBarElement* RibbonStatusBar::HitTest(const QPoint& point) const {
  for (const auto* list : {&elements_, &extended_})
    for (const auto& element : *list)
      if (element->IsVisible() && element->GetKind() != StatusBarElement::Kind::Separator &&
          element->Rect().contains(point))
        return element.get();
  return nullptr;
}

QSize RibbonStatusBar::sizeHint() const { return {ScaleByDpi(600, dpi_), ScaleByDpi(kBarHeight, dpi_)}; }

void RibbonStatusBar::RecalcLayout() {
  const QFontMetrics metrics(font());
  const int gap = ScaleByDpi(2, dpi_);
  // Places the shown elements from `x` on; those that would reach past
  // `limit` are left out (an empty rectangle) until the bar is wider.
  const auto place = [&](std::vector<std::unique_ptr<StatusBarElement>>& list, int x, int limit) {
    bool full = false;
    for (auto& element : list) {
      element->rect_ = QRect();
      if (!element->IsVisible() || full) continue;
      const QSize size = element->SizeHint(metrics, dpi_);
      if (x + size.width() > limit) {
        full = true;
        continue;
      }
      element->rect_ = QRect(x, (height() - size.height()) / 2, size.width(), size.height());
      x += size.width() + gap;
    }
  };
  const int left = ScaleByDpi(4, dpi_);
  int extendedWidth = 0;
  for (auto& element : extended_)
    if (element->IsVisible()) extendedWidth += element->SizeHint(metrics, dpi_).width() + gap;
  // The right-hand group keeps its place; the left row ends before it.
  extendedLeft_ = extendedWidth > 0 ? std::max(left, width() - extendedWidth - ScaleByDpi(4, dpi_)) : width();
  place(elements_, left, extendedLeft_ - ScaleByDpi(kExtendedMargin, dpi_));
  place(extended_, extendedLeft_, width());
  update();
}

void RibbonStatusBar::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  RecalcLayout();
}

void RibbonStatusBar::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QLinearGradient shade(0, 0, 0, height());
  shade.setColorAt(0, kBarTop);
  shade.setColorAt(1, kBarBottom);
  painter.fillRect(rect(), shade);
  if (extendedLeft_ < width()) {
    const int x = extendedLeft_ - ScaleByDpi(3, dpi_);
    painter.fillRect(QRect(x, 0, width() - x, height()), kExtended);
    painter.setPen(kBorder);
    painter.drawLine(x, 0, x, height());
  }
  painter.setPen(kBorder);
  painter.drawLine(0, 0, width(), 0);
  painter.setFont(font());
  for (const auto* list : {&elements_, &extended_})
    for (const auto& element : *list) {
      if (!element->IsVisible() || element->Rect().isEmpty()) continue;
      painter.save();
      element->Draw(painter, element->Rect());
      painter.restore();
    }
}

void RibbonStatusBar::OnMouseMove(const QPoint& point) {
  StatusBarElement* element = captured_ ? captured_ : HitTest(point);
  if (hover_ != element && hover_) hover_->OnMouseLeave();
  hover_ = element;
  if (element) element->OnMouseMove(point);
}

void RibbonStatusBar::OnLButtonDown(const QPoint& point) {
  captured_ = HitTest(point);
  if (captured_) captured_->OnLButtonDown(point);
}

void RibbonStatusBar::OnLButtonUp(const QPoint& point) {
  StatusBarElement* element = captured_ ? captured_ : HitTest(point);
  captured_ = nullptr;
  if (element) element->OnLButtonUp(point);
}

void RibbonStatusBar::OnLButtonDblClk(const QPoint& point) {
  captured_ = HitTest(point);
  if (captured_) captured_->OnLButtonDblClk(point);
}

void RibbonStatusBar::mouseMoveEvent(QMouseEvent* event) {
  // A press whose release never came holds nothing any more.
  if (!(event->buttons() & Qt::LeftButton)) captured_ = nullptr;
  OnMouseMove(event->position().toPoint());
}

void RibbonStatusBar::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) OnLButtonDown(event->position().toPoint());
}

void RibbonStatusBar::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) OnLButtonUp(event->position().toPoint());
}

void RibbonStatusBar::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) OnLButtonDblClk(event->position().toPoint());
}

void RibbonStatusBar::leaveEvent(QEvent* event) {
  if (hover_ && !captured_) hover_->OnMouseLeave();
  if (!captured_) hover_ = nullptr;
  QWidget::leaveEvent(event);
}

bool RibbonStatusBar::event(QEvent* event) {
  if (event->type() == QEvent::ToolTip) {
    auto* help = static_cast<QHelpEvent*>(event);
    const StatusBarElement* element = HitTest(help->pos());
    QString tip;
    if (element) {
      const QString title = QString::fromStdString(element->ToolTipText()).toHtmlEscaped();
      const QString description = QString::fromStdString(element->Description()).toHtmlEscaped();
      tip = description.isEmpty() || title.isEmpty() ? title + description
                                                     : QStringLiteral("<b>%1</b><br>%2").arg(title, description);
    }
    if (tip.isEmpty())
      QToolTip::hideText();
    else
      QToolTip::showText(help->globalPos(), tip, this, element->Rect());
    return true;
  }
  return QWidget::event(event);
}

}  // namespace ORV::UI
