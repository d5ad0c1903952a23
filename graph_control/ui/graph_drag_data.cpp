#include "graph_control/ui/graph_drag_data.h"

#include <QPainter>
#include <QUrl>

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
  // so the first picture is painted twice, as the window's first paint lays
  // the graph out; each paint covers the whole picture.
  bool laidOut = false;
  return UI::PictureDragData(size, dpi, [&](QPainter& p, const QRect& r) {
    if (!laidOut) {
      painter.DrawGraph(p, r);
      laidOut = true;
    }
    painter.DrawGraph(p, r);
  });
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
