#include "shell/frame/status_elements.h"

#include <QApplication>
#include <QBitmap>
#include <QMetaObject>
#include <QPainter>
#include <QPainterPath>
#include <chrono>

#include "core/experiment/experiment_data.h"
#include "platform/ui/painting.h"

namespace ORV {

namespace {
const QColor kFill(255, 255, 128);
const QColor kBackground(Qt::lightGray);

std::uint64_t SteadyMs() {
  using namespace std::chrono;
  return static_cast<std::uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// The element's frame: an etched edge, 1 in on the left and 2 at the top.
QRect EtchedFrame(QPainter& painter, const QRect& rect) {
  const QRect frame = rect.adjusted(1, 2, 0, 0);
  painter.setPen(QColor(160, 160, 160));
  painter.setBrush(Qt::NoBrush);
  painter.drawRect(frame.adjusted(0, 0, -1, -1));
  painter.setPen(Qt::white);
  painter.drawRect(frame.adjusted(1, 1, -2, -2));
  return frame;
}

void EtchedSeparator(QPainter& painter, int x, int top, int bottom) {
  painter.setPen(QColor(160, 160, 160));
  painter.drawLine(x, top, x, bottom);
  painter.setPen(Qt::white);
  painter.drawLine(x + 1, top, x + 1, bottom);
}
}  // namespace

// ---- sequencer progress ----------------------------------------------------

CORVRibbonProgressBar::CORVRibbonProgressBar(std::string idleText)
    : RibbonStatusProgressBar(kId, 200, 22), idleText_(std::move(idleText)) {
  SetInfiniteMode(true);
  SetRange(0, 100);
  SetPos(0);
  statusText = idleText_;
  state_.text = idleText_;
}

void CORVRibbonProgressBar::Redraw() {
  {
    std::lock_guard lock(mutex_);
    state_.running = shown != 0;
    state_.taskCount = taskCount;
    state_.taskIndex = currentTask;
    state_.percent = position;
    // The running task's name over the cells; the status ("Sequencer
    // ended") once the run is over.
    state_.text = shown != 0 ? taskName : statusText;
  }
  if (UI::RibbonStatusBar* bar = Bar()) {
    QMetaObject::invokeMethod(
        bar, [bar] { bar->update(); }, Qt::QueuedConnection);
  }
}

SequencerProgressState CORVRibbonProgressBar::State() const {
  std::lock_guard lock(mutex_);
  return state_;
}

void CORVRibbonProgressBar::Draw(QPainter& painter, const QRect& rect) {
  const QRect frame = EtchedFrame(painter, rect);
  const SequencerProgressState state = State();
  const SequencerProgressView view =
      SequencerProgressLayout(state, frame.width(), state.running ? idleText_ : state.text);
  painter.fillRect(frame.adjusted(2, 2, -2, -2), kBackground);
  if (view.showsTasks) {
    if (view.fillRight > view.fillLeft) {
      painter.fillRect(QRect(QPoint(frame.left() + view.fillLeft, frame.top() + 3),
                             QPoint(frame.left() + view.fillRight, frame.bottom() - 3)),
                       kFill);
    }
    for (int i = 1; i < state.taskCount && view.cellWidth > 0; ++i)
      EtchedSeparator(painter, frame.left() + 2 + i * view.cellWidth, frame.top() + 3, frame.bottom() - 3);
  }
  // White, over a dark shadow so that it reads on the light fill too.
  const QString text = QString::fromStdString(view.text);
  painter.setPen(QColor(64, 64, 64));
  painter.drawText(frame.translated(1, 1), Qt::AlignCenter, text);
  painter.setPen(Qt::white);
  painter.drawText(frame, Qt::AlignCenter, text);
}

// ---- heat controller -------------------------------------------------------

CORVRibbonHeatControllerBar::CORVRibbonHeatControllerBar(std::string offText)
    : RibbonStatusProgressBar(kId, 200, 22), offText_(std::move(offText)) {
  state_.connected = true;
}

void CORVRibbonHeatControllerBar::SetState(const HeatBarState& state) {
  state_ = state;
  StatusBarElement::Redraw();
}

void CORVRibbonHeatControllerBar::Draw(QPainter& painter, const QRect& rect) {
  const QRect frame = EtchedFrame(painter, rect);
  if (!state_.connected) return;
  const int cell = HeatBarCellWidth(frame.width());
  const std::array<std::string, 4> texts = HeatBarTexts(state_, offText_);
  for (int i = 0; i < 4; ++i) {
    const QRect box(frame.left() + 3 + i * cell, frame.top() + 4, cell, frame.height() - 8);
    painter.setPen(QColor(32, 32, 32));
    painter.drawText(box, Qt::AlignCenter, QString::fromStdString(texts[i]));
    if (i < 3) EtchedSeparator(painter, box.right(), box.top(), box.bottom());
  }
}

// ---- navigation pop-up -----------------------------------------------------

CNavigationControllerDialog::CNavigationControllerDialog(QWidget* parent, Clock clock)
    : QWidget(parent, Qt::ToolTip | Qt::FramelessWindowHint), clock_(clock ? std::move(clock) : Clock(SteadyMs)) {
  setAttribute(Qt::WA_ShowWithoutActivating);
  setFixedSize(140, 120);
  // The pop-up takes its shape: a rounded box with a pointer below.
  QPainterPath shape;
  shape.addRoundedRect(QRectF(0, 0, 140, 108), 10, 10);
  QPolygonF pointer;
  pointer << QPointF(60, 107) << QPointF(70, 120) << QPointF(80, 107);
  shape.addPolygon(pointer);
  QBitmap mask(size());
  mask.fill(Qt::color0);
  QPainter maskPainter(&mask);
  maskPainter.setBrush(Qt::color1);
  maskPainter.setPen(Qt::NoPen);
  maskPainter.drawPath(shape.simplified());
  maskPainter.end();
  setMask(mask);
  timer_.setInterval(static_cast<int>(kNavigationPopupTimerMs));
  QObject::connect(&timer_, &QTimer::timeout, this, [this] { OnTimer(); });
}

void CNavigationControllerDialog::ShowAt(std::int32_t position, const QPoint& globalPoint) {
  std::optional<QImage> picture = source_ ? source_(position) : std::nullopt;
  picture_ = picture ? picture->convertToFormat(QImage::Format_Grayscale8) : QImage();
  if (!isVisible()) show();
  move(globalPoint - QPoint(width() / 2, height() + 4));
  hide_.Touch(clock_());
  update();
}

void CNavigationControllerDialog::OnTimer() {
  if (hide_.ShouldHide(clock_(), isVisible())) hide();
}

void CNavigationControllerDialog::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), QColor(64, 72, 76));
  const QRect area(20, 14, 100, 80);
  if (picture_.isNull()) {
    painter.fillRect(area, QColor(110, 110, 110));
    painter.setPen(QColor(220, 220, 220));
    painter.drawText(area, Qt::AlignCenter, QStringLiteral("No picture"));
    return;
  }
  QSize size = picture_.size();
  size.scale(area.size(), Qt::KeepAspectRatio);
  const QRect target(area.center() - QPoint(size.width() / 2, size.height() / 2 + 5), size);
  painter.drawImage(target, picture_);
}

void CNavigationControllerDialog::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  hide_.Touch(clock_());
  timer_.start();
}

void CNavigationControllerDialog::hideEvent(QHideEvent* event) {
  timer_.stop();
  QWidget::hideEvent(event);
}

void CNavigationControllerDialog::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  hide_.Touch(clock_());
}

CNavigationControllerDialog::PictureSource IndexImagePictures(const ExperimentData& experiment) {
  return [&experiment](std::int32_t position) {
    return experiment.Read([position](const ExperimentContents& c) -> std::optional<QImage> {
      const std::optional<std::size_t> at = IndexImageAt(c.indexImages, position);
      if (!at) return std::nullopt;
      const ImageIndexRecord& record = c.indexImages[*at];
      const std::optional<std::size_t> stride = IndexImageStride(record);
      if (!stride) return std::nullopt;
      QImage picture(static_cast<int>(record.width), static_cast<int>(record.height), QImage::Format_Grayscale8);
      for (std::uint32_t y = 0; y < record.height; ++y)
        std::copy_n(record.image.data() + y * *stride, record.width, picture.scanLine(static_cast<int>(y)));
      return picture;
    });
  };
}

// ---- navigation bar --------------------------------------------------------

CNavigationControllerBar::CNavigationControllerBar() : RibbonStatusProgressBar(kId, 300, 22) {}

void CNavigationControllerBar::SetRange(const NavigationRange& range) {
  range_ = range;
  StatusBarElement::Redraw();
}

NavigationGeometry CNavigationControllerBar::Geometry() const {
  return ComputeNavigationGeometry(range_, Rect().isEmpty() ? Width() : Rect().width());
}

std::optional<std::int32_t> CNavigationControllerBar::PositionAt(const QPoint& point) const {
  return NavigationPositionAt(range_, Geometry(), point.x() - Rect().left());
}

bool CNavigationControllerBar::NavigateTo(const QPoint& point) {
  const std::optional<std::int32_t> position = PositionAt(point);
  if (!position) return false;
  range_.position = *position;
  if (navigate_) navigate_(*position);
  StatusBarElement::Redraw();
  return true;
}

void CNavigationControllerBar::OnDragMove(const QPoint& point, bool leftButton) {
  if (!leftButton) {
    dragging_ = false;
    return;
  }
  const NavigationGeometry g = Geometry();
  const int x = point.x() - Rect().left();
  if (!dragging_ && x >= g.thumbLeft && x <= g.thumbRight) dragging_ = true;
  if (dragging_) NavigateTo(point);
}

void CNavigationControllerBar::Draw(QPainter& painter, const QRect& rect) {
  const QRect frame = EtchedFrame(painter, rect);
  const NavigationGeometry g = ComputeNavigationGeometry(range_, rect.width());
  if (g.span < 2) return;
  const QRect thumb(QPoint(rect.left() + g.thumbLeft, frame.top() + 5),
                    QPoint(rect.left() + g.thumbRight, frame.bottom() - 3));
  painter.fillRect(thumb, kFill);
  painter.setPen(Qt::white);
  painter.drawLine(thumb.topLeft(), thumb.topRight());
  painter.drawLine(thumb.topLeft(), thumb.bottomLeft());
  painter.setPen(QColor(100, 100, 100));
  painter.drawLine(thumb.bottomLeft(), thumb.bottomRight());
  painter.drawLine(thumb.topRight(), thumb.bottomRight());
}

// ---- the status bar --------------------------------------------------------

CORVStatusbar::CORVStatusbar(QWidget* parent)
    : RibbonStatusBar(parent), popup_(std::make_unique<CNavigationControllerDialog>(nullptr)) {}

bool CORVStatusbar::OverNavigation(const QPoint& point) const {
  return navigation_ != nullptr && navigation_->IsVisible() && navigation_->Rect().contains(point);
}

void CORVStatusbar::OnMouseMove(const QPoint& point) {
  if (last_ && *last_ == point) return;
  last_ = point;
  if (OverNavigation(point)) {
    navigation_->OnDragMove(point, (QApplication::mouseButtons() & Qt::LeftButton) != 0);
    if (std::optional<std::int32_t> position = navigation_->PositionAt(point))
      popup_->ShowAt(*position, mapToGlobal(point));
    return;
  }
  if (popup_->isVisible()) popup_->hide();
  RibbonStatusBar::OnMouseMove(point);
}

void CORVStatusbar::OnLButtonDown(const QPoint& point) {
  if (OverNavigation(point)) return;
  RibbonStatusBar::OnLButtonDown(point);
}

void CORVStatusbar::OnLButtonUp(const QPoint& point) {
  if (OverNavigation(point)) return;
  RibbonStatusBar::OnLButtonUp(point);
}

void CORVStatusbar::OnLButtonDblClk(const QPoint& point) {
  if (OverNavigation(point)) {
    navigation_->NavigateTo(point);
    return;
  }
  RibbonStatusBar::OnLButtonDblClk(point);
}

}  // namespace ORV
