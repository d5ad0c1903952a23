#include "graph_control/ui/graph_drag_data.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QSvgGenerator>
#include <QUrl>
#include <cmath>

#include "graph_control/ui/graph_painter.h"

namespace ORV::Graph {

namespace {

std::string Bytes(const QByteArray& a) { return std::string(a.constData(), static_cast<std::size_t>(a.size())); }

}  // namespace

std::shared_ptr<Com::DragDataObject> GraphPictureData(GraphModel& model, QSize size, int dpi) {
  auto data = std::make_shared<Com::DragDataObject>();
  if (size.isEmpty()) return data;
  GraphPainter painter(model);
  QImage image(size, QImage::Format_RGB32);
  const int dpm = static_cast<int>(std::lround(dpi / 0.0254));
  image.setDotsPerMeterX(dpm);
  image.setDotsPerMeterY(dpm);
  // The layout of a paint follows whether the previous one showed labels,
  // so the picture is painted twice, as the window is.
  for (int i = 0; i < 2; ++i) {
    QPainter p(&image);
    painter.DrawGraph(p, image.rect());
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
  generator.setViewBox(QRect(QPoint(0, 0), size));
  generator.setResolution(dpi);
  generator.setTitle(QStringLiteral("ImageName"));
  {
    QPainter p(&generator);
    painter.DrawGraph(p, QRect(QPoint(0, 0), size));
  }
  data->SetData(kSvgMime, Bytes(svg));
  return data;
}

std::shared_ptr<Com::DragDataObject> TextDragData(const std::string& text) {
  auto data = std::make_shared<Com::DragDataObject>();
  data->SetData(kTextMime, text);
  return data;
}

std::shared_ptr<Com::DragDataObject> FileDragData(const std::string& path) {
  auto data = std::make_shared<Com::DragDataObject>();
  const QByteArray uri = QUrl::fromLocalFile(QString::fromStdString(path)).toEncoded();
  data->SetData(kUriListMime, Bytes(uri) + "\r\n");
  return data;
}

}  // namespace ORV::Graph
