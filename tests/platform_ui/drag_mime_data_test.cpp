// Drag and clipboard data through Qt: what a reader of the QMimeData sees is
// what the data object offers, also after the object's holder is gone.
#include "platform/ui/drag_mime_data.h"

#include <gtest/gtest.h>

#include <QUrl>
#include <memory>
#include <vector>

namespace ORV::UI {
namespace {

TEST(DragMimeDataTest, ReadersSeeTheObjectsFormatsAndBytes) {
  auto object = std::make_shared<Com::DragDataObject>();
  object->SetData("text/plain", "4.000\t1.500\n\xC2\xB5m\n");
  object->SetData("text/uri-list", "file:///tmp/ORVabc123.csv\r\n");
  DragMimeData mime(object);
  const std::unique_ptr<QMimeData> snapshot(DragMimeData::Snapshot(*object));
  object.reset();  // the drag keeps its own reference

  for (const QMimeData* m : std::vector<const QMimeData*>{&mime, snapshot.get()}) {
    EXPECT_EQ(m->formats(), (QStringList{"text/plain", "text/uri-list"}));
    EXPECT_TRUE(m->hasText());
    EXPECT_EQ(m->text(), QString::fromUtf8("4.000\t1.500\n\xC2\xB5m\n"));
    EXPECT_EQ(m->urls(), QList<QUrl>{QUrl::fromLocalFile("/tmp/ORVabc123.csv")});
    EXPECT_FALSE(m->hasImage());
    EXPECT_TRUE(m->data("image/png").isEmpty());
  }
}

}  // namespace
}  // namespace ORV::UI
