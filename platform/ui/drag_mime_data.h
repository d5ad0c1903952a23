#pragma once
// Drag-out and clipboard data for Qt: a QMimeData that answers from a
// DragDataObject (platform/com/drag_data.h), so what the drop target or the
// clipboard reader asks for is what the object offers.
//
//   auto data = std::make_shared<Com::DragDataObject>();
//   data->SetData("text/plain", text);
//   auto* drag = new QDrag(widget);
//   drag->setMimeData(new DragMimeData(data));
//   drag->exec(Qt::CopyAction | Qt::MoveAction);
#include <QMimeData>
#include <memory>

#include "platform/com/drag_data.h"

namespace ORV::UI {

class DragMimeData final : public QMimeData {
 public:
  explicit DragMimeData(std::shared_ptr<const Com::DragDataObject> data) : data_(std::move(data)) {}
  const Com::DragDataObject& object() const { return *data_; }

  // A plain QMimeData holding a copy of every format, for the clipboard: the
  // clipboard keeps its data after the copying control (and the library
  // whose code a DragMimeData runs) is gone.
  static QMimeData* Snapshot(const Com::DragDataObject& data);

  QStringList formats() const override;
  bool hasFormat(const QString& mimeType) const override;

 protected:
  QVariant retrieveData(const QString& mimeType, QMetaType type) const override;

 private:
  std::shared_ptr<const Com::DragDataObject> data_;
};

}  // namespace ORV::UI
