#include "analysis_control/ui/analysis_painter.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainterPath>
#include <opencv2/imgproc.hpp>

namespace ORV::AnalysisView {

namespace {

QColor ColorOf(std::uint32_t argb) { return QColor::fromRgba(argb); }

QFont BoldFont(int pixels) {
  QFont font("Arial");
  font.setStyleHint(QFont::SansSerif);
  font.setBold(true);
  font.setPixelSize(std::max(pixels, 1));
  return font;
}

// The idle picture: the program's name in a framed box of the idle
// picture's size, centred.
void PaintIdle(QPainter& p, const QRect& client) {
  p.fillRect(client, Qt::white);
  const int which = AnalysisViewModel::IdlePicture(client.width());
  if (which == 0) return;
  const QSize size = which == AnalysisViewModel::kIdleLarge ? QSize(300, 111) : QSize(150, 56);
  const QRect box(client.left() + (client.width() - size.width()) / 2,
                  client.top() + (client.height() - size.height()) / 2, size.width(), size.height());
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(QColor(0x8B, 0x00, 0x00).darker(120), 1));
  p.setBrush(QColor(0xF4, 0xF6, 0xFA));
  p.drawRoundedRect(box.adjusted(0, 0, -1, -1), 6, 6);
  p.setPen(QColor(0x00, 0x00, 0x8B));
  p.setFont(BoldFont(size.height() / 3));
  p.drawText(box, Qt::AlignCenter, "Tarvix 5");
}

// The camera picture stretched to `size` device pixels as a 32-bit image,
// valid until the next call on this thread. OpenCV's stretch and expansion
// cost a fraction of Qt's smooth scaling of an 8-bit picture, which a
// window repainting every frame of several cameras cannot afford.
QImage StretchedPicture(const cv::Mat& frame, QSize size) {
  thread_local cv::Mat stretched, expanded;
  const cv::Mat* source = &frame;
  if (frame.cols != size.width() || frame.rows != size.height()) {
    cv::resize(frame, stretched, cv::Size(size.width(), size.height()), 0, 0, cv::INTER_LINEAR);
    source = &stretched;
  }
  cv::cvtColor(*source, expanded, source->channels() == 1 ? cv::COLOR_GRAY2BGRA : cv::COLOR_BGR2BGRA);
  return QImage(expanded.data, expanded.cols, expanded.rows, static_cast<qsizetype>(expanded.step),
                QImage::Format_RGB32);
}

// Draws the picture over `client`: where the painter only scales and moves,
// stretched to the device pixels it covers, so that drawing it maps it 1:1.
void DrawPicture(QPainter& p, const QRect& client, const cv::Mat& frame) {
  const QTransform& toDevice = p.deviceTransform();
  const bool channelsKnown = frame.depth() == CV_8U && (frame.channels() == 1 || frame.channels() == 3);
  if (toDevice.type() <= QTransform::TxScale && toDevice.m11() > 0 && toDevice.m22() > 0 && channelsKnown) {
    const QRect device = toDevice.mapRect(QRectF(client)).toAlignedRect();
    if (device.isEmpty()) return;
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    p.drawImage(QRectF(client), StretchedPicture(frame, device.size()));
    return;
  }
  // Rotated, sheared or mirrored painters (none of the program's): Qt stretches.
  const QImage picture = FrameImage(frame);
  p.setRenderHint(QPainter::SmoothPixmapTransform, picture.size() != client.size());
  p.drawImage(client, picture);
}

}  // namespace

QImage FrameImage(const cv::Mat& frame) {
  if (frame.empty() || frame.depth() != CV_8U) return {};
  if (frame.channels() == 1)
    return QImage(frame.data, frame.cols, frame.rows, static_cast<qsizetype>(frame.step), QImage::Format_Grayscale8);
  if (frame.channels() == 3)
    return QImage(frame.data, frame.cols, frame.rows, static_cast<qsizetype>(frame.step), QImage::Format_BGR888);
  return {};
}

void PaintAnalysisView(QPainter& p, const QRect& client, const cv::Mat* frame, const Overlay& overlay,
                       const AnalysisViewModel& model) {
  if (frame == nullptr || frame->empty()) {
    PaintIdle(p, client);
    return;
  }
  DrawPicture(p, client, *frame);
  p.setRenderHint(QPainter::Antialiasing);

  auto pen = [&](OverlayPen which) { return QPen(ColorOf(model.ColorOf(which)), which == OverlayPen::kWall ? 2 : 1); };
  for (const OverlayLine& line : overlay.edges) {
    p.setPen(pen(line.pen));
    p.drawLine(QPointF(line.a.x, line.a.y), QPointF(line.b.x, line.b.y));
  }
  p.setPen(Qt::NoPen);
  for (const OverlayMark& mark : overlay.marks) {
    p.setBrush(ColorOf(model.ColorOf(mark.brush)));
    const float half = AnalysisViewModel::kMarkSize / 2;
    p.drawRect(
        QRectF(mark.centre.x - half, mark.centre.y - half, AnalysisViewModel::kMarkSize, AnalysisViewModel::kMarkSize));
  }
  p.setBrush(Qt::NoBrush);
  p.setPen(pen(OverlayPen::kOutline));
  for (const auto& outline : overlay.outlines) {
    QPolygonF polygon;
    for (const ViewPoint& v : outline) polygon << QPointF(v.x, v.y);
    p.drawPolygon(polygon);
  }
  const QFont font = BoldFont(overlay.fontPixels);
  p.setFont(font);
  for (const OverlayNumber& number : overlay.numbers) {
    const QRectF circle(number.centre.x - number.diameter / 2, number.centre.y - number.diameter / 2, number.diameter,
                        number.diameter);
    p.setPen(pen(OverlayPen::kOutline));
    p.setBrush(ColorOf(kZoneNumberFill));
    p.drawEllipse(circle);
    p.setPen(Qt::black);
    p.drawText(circle, Qt::AlignCenter, QString::fromStdString(number.text));
  }
  if (!overlay.label.empty()) {
    QFont labelFont = font;
    if (!overlay.recordingLabel) labelFont.setPointSize(10);
    p.setFont(labelFont);
    const QString text = QString::fromStdString(overlay.label);
    const QSize size = QFontMetrics(labelFont).size(Qt::TextSingleLine, text);
    const QRect box(client.right() - 5 - size.width(), client.bottom() - 5 - size.height(), size.width(),
                    size.height());
    p.fillRect(box, ColorOf(kZoneNumberFill));
    p.setPen(Qt::black);
    p.drawText(box, Qt::AlignCenter, text);
  }
}

}  // namespace ORV::AnalysisView
