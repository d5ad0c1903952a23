#include "platform/ui/buffer_dc.h"

#include <QFontMetricsF>
#include <cmath>

namespace ORV::Video {

namespace {

QImage& Shared() {
  static QImage image;
  return image;
}

QRect& LastCopyRect() {
  static QRect rect;
  return rect;
}

}  // namespace

CBufferDC::CBufferDC(BufferTarget* target, bool notXor) : target_(target) {
  LastCopyRect() = {};
  if (!target_ || !target_->image || target_->image->isNull()) {
    target_ = nullptr;
    return;
  }
  clip_ = target_->clipBox.normalized();
  QImage& shared = Shared();
  if (shared.isNull() || shared.width() < clip_.width() || shared.height() < clip_.height()) {
    shared = QImage();
    if (!clip_.isEmpty()) shared = QImage(clip_.size(), QImage::Format_RGB32);
  }
  if (shared.isNull()) {
    // No back image: draw straight onto the target.
    direct_ = true;
    painter_.begin(target_->image);
    painter_.setTransform(target_->mapping);
  } else {
    painter_.begin(&shared);
    painter_.setTransform(target_->mapping * QTransform::fromTranslate(-clip_.left(), -clip_.top()));
    // The clip box, two device pixels more outside text mode, in the background.
    const QRect fill = target_->textMode ? clip_ : clip_.adjusted(-2, -2, 2, 2);
    painter_.save();
    painter_.resetTransform();
    painter_.fillRect(fill.translated(-clip_.topLeft()), target_->background);
    painter_.restore();
  }
  painter_.setRenderHint(QPainter::Antialiasing, false);
  if (notXor) painter_.setCompositionMode(QPainter::RasterOp_NotSourceXorDestination);
}

CBufferDC::~CBufferDC() {
  if (!target_) return;
  painter_.end();
  if (direct_) return;
  QRect copy = bounds_.intersected(clip_);
  if (copy.isEmpty()) return;
  if (!target_->textMode) copy = copy.adjusted(-2, -2, 2, 2).intersected(clip_);
  QPainter out(target_->image);
  out.setCompositionMode(QPainter::RasterOp_NotSourceXorDestination);
  out.drawImage(copy.topLeft(), Shared(), copy.translated(-clip_.topLeft()));
  LastCopyRect() = copy;
}

void CBufferDC::Account(const QRectF& logical, const QPen& pen) {
  const double grow = std::max(1.0, pen.widthF()) / 2.0 + 1.0;
  const QRectF device = target_->mapping.mapRect(logical).adjusted(-grow, -grow, grow, grow);
  bounds_ |= device.toAlignedRect();
}

void CBufferDC::DrawLine(QPointF a, QPointF b, const QPen& pen) {
  if (!target_) return;
  painter_.setPen(pen);
  painter_.drawLine(a, b);
  Account(QRectF(a, b).normalized(), pen);
}

void CBufferDC::DrawPolygon(const QPolygonF& polygon, const QPen& pen) {
  if (!target_) return;
  painter_.setPen(pen);
  painter_.setBrush(Qt::NoBrush);
  painter_.drawPolygon(polygon);
  Account(polygon.boundingRect(), pen);
}

void CBufferDC::DrawRect(const QRectF& rect, const QPen& pen) {
  if (!target_) return;
  painter_.setPen(pen);
  painter_.setBrush(Qt::NoBrush);
  painter_.drawRect(rect);
  Account(rect, pen);
}

void CBufferDC::DrawEllipse(const QRectF& rect, const QPen& pen) {
  if (!target_) return;
  painter_.setPen(pen);
  painter_.setBrush(Qt::NoBrush);
  painter_.drawEllipse(rect);
  Account(rect, pen);
}

void CBufferDC::DrawPath(const QPainterPath& path, const QPen& pen) {
  if (!target_) return;
  painter_.setPen(pen);
  painter_.setBrush(Qt::NoBrush);
  painter_.drawPath(path);
  Account(path.boundingRect(), pen);
}

void CBufferDC::DrawText(QPointF at, const QString& text, const QFont& font, const QColor& colour) {
  if (!target_) return;
  painter_.setFont(font);
  painter_.setPen(colour);
  painter_.drawText(at, text);
  Account(QFontMetricsF(font).boundingRect(text).translated(at), QPen());
}

QRect CBufferDC::LastCopy() { return LastCopyRect(); }
QSize CBufferDC::SharedSize() { return Shared().size(); }
void CBufferDC::ReleaseShared() { Shared() = QImage(); }

}  // namespace ORV::Video
