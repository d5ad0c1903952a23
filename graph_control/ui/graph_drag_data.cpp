#include "graph_control/ui/graph_drag_data.h"

#include <QImage>
#include <QPainter>
#include <QUrl>
#include <cmath>

#include "graph_control/ui/graph_painter.h"
#include "platform/ui/picture_drag_data.h"

namespace ORV::Graph {

namespace {

std::string Bytes(const QByteArray& a) { return std::string(a.constData(), static_cast<std::size_t>(a.size())); }

}  // namespace

std::shared_ptr<Com::DragDataObject> GraphPictureData(GraphModel& model, QSize size, int dpi) {
  if (size.isEmpty()) return std::make_shared<Com::DragDataObject>();
  GraphPainter painter(model);
  // The layout of a paint follows whether the previous one showed labels,
  // so the picture is laid out once first, as the window's first paint is.
  {
    QImage scratch(size, QImage::Format_RGB32);
    const int dpm = static_cast<int>(std::lround(dpi / 0.0254));
    scratch.setDotsPerMeterX(dpm);
    scratch.setDotsPerMeterY(dpm);
    QPainter p(&scratch);
    painter.DrawGraph(p, scratch.rect());
  }
  return UI::PictureDragData(size, dpi, [&](QPainter& p, const QRect& r) { painter.DrawGraph(p, r); });
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
