#include "platform/ui/drag_mime_data.h"

#include <QByteArray>
#include <QString>
#include <string>

namespace ORV::UI {

QMimeData* DragMimeData::Snapshot(const Com::DragDataObject& data) {
  auto* mime = new QMimeData;
  std::string bytes;
  for (const std::string& f : data.EnumFormats()) {
    if (data.GetData(f, &bytes) == Com::S_OK)
      mime->setData(QString::fromStdString(f), QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
  }
  return mime;
}

QStringList DragMimeData::formats() const {
  QStringList list;
  for (const std::string& f : data_->EnumFormats()) list << QString::fromStdString(f);
  return list;
}

bool DragMimeData::hasFormat(const QString& mimeType) const {
  return data_->QueryGetData(mimeType.toStdString()) == Com::S_OK;
}

QVariant DragMimeData::retrieveData(const QString& mimeType, QMetaType type) const {
  std::string bytes;
  if (data_->GetData(mimeType.toStdString(), &bytes) != Com::S_OK) return {};
  QByteArray array(bytes.data(), static_cast<qsizetype>(bytes.size()));
  // Text asked for as a string (text()) is UTF-8; anything else goes as bytes
  // and QMimeData converts it (urls(), imageData()).
  if (type.id() == QMetaType::QString) return QString::fromUtf8(array);
  return array;
}

}  // namespace ORV::UI
