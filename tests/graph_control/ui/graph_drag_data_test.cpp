// The data the graph drags out and copies: the picture as PNG and SVG of the
// window's size, and the CSV file as a URI a file manager opens, whatever
// characters the temporary folder's path holds.
#include "graph_control/ui/graph_drag_data.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QUrl>
#include <cmath>

#include "platform/ui/drag_mime_data.h"

namespace ORV::Graph {
namespace {

TEST(GraphDragData, PictureIsOfferedAsPngAndSvg) {
  GraphModel g;
  g.PlotXY(1, 1, 0);
  auto data = GraphPictureData(g, QSize(320, 180), 96);
  EXPECT_EQ(data->EnumFormats(), (std::vector<std::string>{kPngMime, kSvgMime}));
  std::string png, svg;
  ASSERT_EQ(data->GetData(kPngMime, &png), Com::S_OK);
  ASSERT_EQ(data->GetData(kSvgMime, &svg), Com::S_OK);
  QImage image;
  ASSERT_TRUE(image.loadFromData(reinterpret_cast<const uchar*>(png.data()), static_cast<int>(png.size()), "PNG"));
  EXPECT_EQ(image.size(), QSize(320, 180));
  EXPECT_NE(svg.find("<title>ImageName</title>"), std::string::npos);
  EXPECT_TRUE(GraphPictureData(g, QSize(), 96)->EnumFormats().empty());
}

TEST(GraphDragData, PictureRendersForReview) {
  GraphModel g;
  g.SetDrawNoSaveData(false);
  g.SetPlotAreaColor(0x202020);
  g.SetElementLineColor(0x40C0FF);
  for (int i = 0; i <= 400; ++i) g.PlotXY(i * 0.25, 60 + 25 * std::sin(i / 20.0), 0);
  g.SetRange(0, 100, 20, 100, false);
  g.SelectTrace(30, 45);
  g.AddAnnotation();
  g.SetAnnoLabelCaption("Washout");
  g.SetAnnoLabelX(70);
  g.SetAnnoLabelY(90);
  for (int dpi : {96, 144}) {
    const QSize size = QSize(480, 240) * dpi / 96;
    std::string png;
    ASSERT_EQ(GraphPictureData(g, size, dpi)->GetData(kPngMime, &png), Com::S_OK);
    QFile out(QStringLiteral(ORV_UI_ARTIFACT_DIR "/graph_drag_picture_%1dpi.png").arg(dpi));
    QDir().mkpath(QStringLiteral(ORV_UI_ARTIFACT_DIR));
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(png.data(), static_cast<qint64>(png.size()));
  }
}

TEST(GraphDragData, FileAndTextDrags) {
  const std::string path = "/tmp/my data \xC3\xA9t\xC3\xA9/ORVa1B2c3.csv";
  UI::DragMimeData file(FileDragData(path));
  EXPECT_EQ(file.formats(), QStringList{kUriListMime});
  ASSERT_EQ(file.urls().size(), 1);
  EXPECT_EQ(file.urls()[0].toLocalFile().toStdString(), path);
  std::string raw;
  ASSERT_EQ(file.object().GetData(kUriListMime, &raw), Com::S_OK);
  EXPECT_EQ(raw, "file:///tmp/my%20data%20%C3%A9t%C3%A9/ORVa1B2c3.csv\r\n");

  UI::DragMimeData text(TextDragData("1.000\t2.000\n"));
  EXPECT_EQ(text.text(), QStringLiteral("1.000\t2.000\n"));
}

}  // namespace
}  // namespace ORV::Graph
