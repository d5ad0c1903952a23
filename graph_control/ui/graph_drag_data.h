#pragma once
// The data the graph puts on the clipboard and drags out: the whole graph as
// a picture (PNG and SVG), the selected points as text, and the CSV file of
// the selected points as a file list.
#include <QSize>
#include <memory>
#include <string>

#include "graph_control/graph_model.h"
#include "platform/com/drag_data.h"
#include "platform/ui/picture_drag_data.h"

namespace ORV::Graph {

inline constexpr const char* kPngMime = UI::kPngMime;
inline constexpr const char* kSvgMime = UI::kSvgMime;
inline constexpr const char* kTextMime = "text/plain";
inline constexpr const char* kUriListMime = "text/uri-list";

// The graph drawn at `size` pixels and `dpi`, as PNG and as SVG (titled
// "ImageName").
std::shared_ptr<Com::DragDataObject> GraphPictureData(GraphModel& model, QSize size, int dpi);
std::shared_ptr<Com::DragDataObject> TextDragData(const std::string& text);
// The file as a one-entry URI list ("file:///...\r\n").
std::shared_ptr<Com::DragDataObject> FileDragData(const std::string& path);

}  // namespace ORV::Graph
