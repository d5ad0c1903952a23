#include "platform/ui/picture_drag_data.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>
#include <cmath>

namespace ORV::UI {

namespace {

std::string Bytes(const QByteArray& a) { return std::string(a.constData(), static_cast<std::size_t>(a.size())); }

}  // namespace

std::shared_ptr<Com::DragDataObject> PictureDragData(QSize size, int dpi,
                                                     const std::function<void(QPainter&, const QRect&)>& paint) {
  auto data = std::make_shared<Com::DragDataObject>();
  if (size.isEmpty()) return data;
  const QRect bounds(QPoint(0, 0), size);
  QImage image(size, QImage::Format_RGB32);
  image.fill(Qt::white);
  const int dpm = static_cast<int>(std::lround(dpi / 0.0254));
  image.setDotsPerMeterX(dpm);
  image.setDotsPerMeterY(dpm);
  {
    QPainter p(&image);
    paint(p, bounds);
  }
  QByteArray png;
  QBuffer pngBuffer(&png);
  pngBuffer.open(QIODevice::WriteOnly);
  image.save(&pngBuffer, "PNG");
  data->SetData(kPngMime, Bytes(png));

  QByteArray svg;
  QBuffer svgBuffer(&svg);
  QSvgGenerator generator;
  generator.setOutputDevice(&svgBuffer);
  generator.setSize(size);
  generator.setViewBox(bounds);
  generator.setResolution(dpi);
  generator.setTitle(QStringLiteral("ImageName"));
  {
    QPainter p(&generator);
    paint(p, bounds);
  }
  data->SetData(kSvgMime, Bytes(svg));
  return data;
}

}  // namespace ORV::UI
