#include "video/ui/video_pane.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

#include "core/base/configuration.h"
#include "platform/ui/dpi.h"
#include "video/ui/add_measurement_dialog.h"

namespace ORV::Video {

namespace {

// A configuration colour (0x00BBGGRR) as an opaque colour.
QColor FromColorRef(std::uint32_t c) { return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)); }

const QColor kDiscFill = QColor(0xFA, 0xEB, 0xD7);        // the zone numbers' and the time text's background
const QColor kLineColor = QColor(0xA9, 0xA9, 0xA9, 200);  // the measuring line and its label box
const QColor kLabelPressed = QColor(0xA9, 0xA9, 0xA9);

// Arial (or the sans-serif face standing in for it) of a size in pixels.
QFont ArialPixels(double pixels, bool bold) {
  QFont font(QStringLiteral("Arial"));
  font.setStyleHint(QFont::SansSerif);
  font.setPixelSize(std::max(1, int(std::lround(pixels))));
  font.setBold(bold);
  return font;
}

// A point size at the process's DPI, in pixels, so that it scales with the pane.
double PointsToPixels(double points) { return points * QueryDpi() / 72.0; }

}  // namespace

VideoPaneImages::VideoPaneImages(ExperimentData& experiment, const Configuration& config, int camera,
                                 std::unique_ptr<StillImageLoader> loader, QWidget* parent)
    : QWidget(parent), config_(config), model_(experiment, config, std::move(loader), camera) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(false);
  resize(100, 100);
  model_.SetWindowSize(100, 100);
  ApplyZoneColors();
  askLabel = [this](double time, float value) { return RunDataPadDialog(time, value); };
  dragTimer_.setInterval(10);
  QObject::connect(&dragTimer_, &QTimer::timeout, this, [this] {
    if (model_.Dragging()) update();
  });
}

VideoPaneImages::~VideoPaneImages() = default;

void VideoPaneImages::ShowFrameAt(std::uint32_t position, bool inSeconds) {
  if (!model_.VideoLoaded()) return;
  model_.ShowFrameAt(position, inSeconds);
  update();
}

void VideoPaneImages::ApplyZoneColors() {
  border_ = FromColorRef(config_.ZoneBorderColor);
  outer_ = FromColorRef(config_.ZoneOuterEdgeColor);
  inner_ = FromColorRef(config_.ZoneInnerEdgeColor);
  update();
}

std::optional<std::string> VideoPaneImages::RunDataPadDialog(double time, float value) {
  AddMeasurementToDataPad dialog(this);
  dialog.time = time;
  dialog.value = value;
  if (dialog.DoModal() != UI::IDOK) return std::nullopt;
  return dialog.resultText.toStdString();
}

QImage VideoPaneImages::Render() {
  const int w = std::max(1, width());
  const int h = std::max(1, height());
  // A hidden window hears of its new size only when shown.
  model_.SetWindowSize(w, h);
  QImage image(w, h, QImage::Format_RGB32);
  image.fill(Qt::white);
  if (!model_.VideoLoaded()) return image;
  QPainter p(&image);
  if (model_.FrameValid()) {
    const std::vector<std::uint8_t>& frame = model_.FrameBuffer();
    const QImage picture(frame.data(), model_.VideoWidth(), model_.VideoHeight(), model_.VideoWidth() * 3,
                         QImage::Format_BGR888);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(QRectF(0, 0, model_.WindowWidth(), model_.WindowHeight()), picture);
    p.setRenderHint(QPainter::Antialiasing);
    PaintOverlays(p);
  }
  PaintMeasuringLine(p);
  return image;
}

void VideoPaneImages::PaintOverlays(QPainter& p) {
  const QPen borderPen(border_, 1.0);
  const QPen outerPen(outer_, 2.0);
  const QPen innerPen(inner_, 1.0);
  const double f = model_.MarkerSize();
  const QFont numberFont = ArialPixels(f, true);
  for (const ZoneOverlay& z : model_.Zones()) {
    p.setPen(borderPen);
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(QPointF(z.left, z.top), QPointF(z.right, z.bottom)));
    if (z.outer) {
      p.setPen(outerPen);
      p.drawLine(QPointF(z.outerLeft, z.top), QPointF(z.outerLeft, z.bottom));
      p.drawLine(QPointF(z.outerRight, z.top), QPointF(z.outerRight, z.bottom));
    }
    if (z.lumen) {
      p.setPen(innerPen);
      p.drawLine(QPointF(z.lumenLeft, z.top), QPointF(z.lumenLeft, z.bottom));
      p.drawLine(QPointF(z.lumenRight, z.top), QPointF(z.lumenRight, z.bottom));
    }
    const QRectF disc(z.left - f / 2, z.top - f / 2, f, f);
    p.setPen(borderPen);
    p.setBrush(kDiscFill);
    p.drawEllipse(disc);
    p.setPen(Qt::black);
    p.setFont(numberFont);
    p.drawText(disc, Qt::AlignCenter, QString::number(z.number));
  }
  // The video time, bottom left.
  const QFont timeFont = ArialPixels(std::max(8.0, f * 1.2), false);
  p.setFont(timeFont);
  const QString text = QString::fromStdString(model_.TimeText());
  const QSizeF size = QFontMetricsF(timeFont).size(Qt::TextSingleLine, text);
  const QRectF box(5, model_.WindowHeight() - model_.TimeTextRise(), size.width(), size.height());
  p.fillRect(box, kDiscFill);
  p.setPen(Qt::black);
  p.drawText(box, Qt::AlignLeft | Qt::AlignVCenter, text);
}

void VideoPaneImages::PaintMeasuringLine(QPainter& p) {
  if (!model_.LineVisible()) return;
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(kLineColor, 4.0, Qt::SolidLine, Qt::RoundCap));
  p.drawLine(QPointF(model_.StartX(), model_.StartY()), QPointF(model_.EndX(), model_.EndY()));
  const QFont font = ArialPixels(PointsToPixels(6), false);
  const QString text = QString::fromStdString(model_.LineLabel());
  const QSizeF size = QFontMetricsF(font).size(Qt::TextSingleLine, text);
  const QRectF box(model_.LabelLeft(), model_.LabelTop(), size.width() * 1.5, size.height() * 1.5);
  p.fillRect(box, model_.LabelClicked() ? kLabelPressed : kLineColor);
  p.setFont(font);
  p.setPen(Qt::black);
  p.drawText(box, Qt::AlignCenter, text);
  const QRect r = box.toAlignedRect();
  model_.SetLabelRect({r.left(), r.top(), r.right() + 1, r.bottom() + 1});
}

void VideoPaneImages::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.drawImage(QPoint(1, 1), Render(), QRect(0, 0, width() - 2, height() - 2));
  // The window's border.
  p.setPen(palette().color(QPalette::Dark));
  p.drawRect(rect().adjusted(0, 0, -1, -1));
}

void VideoPaneImages::resizeEvent(QResizeEvent* e) {
  QWidget::resizeEvent(e);
  model_.SetWindowSize(width(), height());
  update();
}

void VideoPaneImages::mousePressEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return QWidget::mousePressEvent(e);
  const QPoint at = e->position().toPoint();
  model_.SetWindowSize(width(), height());
  model_.ButtonDown(at.x(), at.y());
  if (model_.Dragging()) dragTimer_.start();
  update();
}

void VideoPaneImages::mouseMoveEvent(QMouseEvent* e) {
  const QPoint at = e->position().toPoint();
  model_.MouseMove(at.x(), at.y());
}

void VideoPaneImages::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return QWidget::mouseReleaseEvent(e);
  const QPoint at = e->position().toPoint();
  model_.ButtonUp(at.x(), at.y(), askLabel);
  dragTimer_.stop();
  update();
}

// ---- the pane ----

CVideoPane::CVideoPane(ExperimentData& experiment, const Configuration& config, int camera,
                       std::unique_ptr<StillImageLoader> loader, QWidget* parent)
    : DockingPane(config, QStringLiteral("VideoPane%1").arg(camera + 1), QStringLiteral("Camera: %1").arg(camera + 1),
                  parent),
      images_(new VideoPaneImages(experiment, config, camera, std::move(loader), Client())) {
  images_->setGeometry(0, 0, 100, 100);
  Client()->installEventFilter(this);
}

CVideoPane::~CVideoPane() { Client()->removeEventFilter(this); }

int CVideoPane::OnCreate() {
  Client()->resize(Scale(405), Scale(300));
  return 0;
}

void CVideoPane::SetCameraIndex(int camera) { images_->Model().SetCamera(camera); }

bool CVideoPane::LoadVideo() {
  const bool loaded = images_->Model().LoadVideo();
  if (images_->VideoLoaded()) ResizeImageWindow();
  images_->update();
  return loaded;
}

void CVideoPane::ResizeImageWindow() {
  const double aspect = images_->Model().Aspect() > 0.0f ? double(images_->Model().Aspect()) : 1.0;
  int h = std::max(0, Client()->height() - 20);
  int w = static_cast<int>(h * aspect);
  // A pane narrower than the picture at full height fits it to its width.
  const int widest = std::max(0, Client()->width() - 20);
  if (w > widest) {
    w = widest;
    h = static_cast<int>(w / aspect);
  }
  images_->setGeometry(9, 9, w + 2, h + 2);
  images_->update();
}

bool CVideoPane::eventFilter(QObject* watched, QEvent* e) {
  if (watched == Client() && e->type() == QEvent::Resize) ResizeImageWindow();
  return DockingPane::eventFilter(watched, e);
}

}  // namespace ORV::Video
