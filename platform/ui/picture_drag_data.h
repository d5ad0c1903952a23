#pragma once
// A picture as a control drags it out or copies it: PNG and SVG (the
// vector picture, titled "ImageName") of one painting at a size and DPI.
//
//   auto data = PictureDragData(window->size(), QueryDpi(),
//                               [&](QPainter& p, const QRect& r) { DrawView(p, r); });
//   drag->setMimeData(new DragMimeData(data));
#include <QRect>
#include <QSize>
#include <functional>
#include <memory>

#include "platform/com/drag_data.h"

class QPainter;

namespace ORV::UI {

inline constexpr const char* kPngMime = "image/png";
inline constexpr const char* kSvgMime = "image/svg+xml";

// `paint` draws the picture into the rectangle (0, 0, size) once for the PNG
// and once for the SVG. Nothing is offered for an empty size.
std::shared_ptr<Com::DragDataObject> PictureDragData(QSize size, int dpi,
                                                     const std::function<void(QPainter&, const QRect&)>& paint);

}  // namespace ORV::UI
