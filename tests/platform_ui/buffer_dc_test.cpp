// The double-buffered drawing surface: the shared back image, the copied
// bounds and the inverting combination.
#include "platform/ui/buffer_dc.h"

#include <gtest/gtest.h>

namespace ORV::Video {
namespace {

struct Surface {
  QImage image;
  BufferTarget target;
  explicit Surface(QSize size, QColor fill = Qt::white) : image(size, QImage::Format_RGB32) {
    image.fill(fill);
    target.image = &image;
    target.clipBox = QRect(QPoint(0, 0), size);
  }
};

TEST(BufferDcTest, SharedImageGrowsOnlyWhenATargetDoesNotFit) {
  CBufferDC::ReleaseShared();
  const struct {
    QSize target, shared;
  } table[] = {{{200, 100}, {200, 100}}, {{150, 80}, {200, 100}}, {{150, 120}, {150, 120}}, {{300, 50}, {300, 50}}};
  for (const auto& row : table) {
    Surface s(row.target);
    { CBufferDC dc(&s.target); }
    EXPECT_EQ(CBufferDC::SharedSize(), row.shared);
  }
}

TEST(BufferDcTest, CopiesBackOnlyWhatWasDrawnInverting) {
  Surface s({100, 100});
  s.image.setPixel(50, 20, qRgb(0, 0, 0));
  const QImage before = s.image;
  { CBufferDC dc(&s.target); }
  EXPECT_TRUE(CBufferDC::LastCopy().isEmpty());
  EXPECT_EQ(s.image, before);

  {
    CBufferDC dc(&s.target);
    dc.DrawLine({10, 20}, {80, 20}, QPen(Qt::black, 1));
  }
  EXPECT_EQ(s.image.pixel(30, 20), qRgb(0, 0, 0));
  EXPECT_EQ(s.image.pixel(50, 20), qRgb(255, 255, 255));  // black under the line turns white
  EXPECT_EQ(s.image.pixel(30, 30), qRgb(255, 255, 255));
  {
    CBufferDC dc(&s.target);
    dc.DrawLine({10, 20}, {80, 20}, QPen(Qt::black, 1));
  }
  EXPECT_EQ(s.image, before);  // the same line again erases it

  {
    CBufferDC dc(&s.target);  // drawn twice in one surface: nothing shows
    dc.DrawRect({20, 20, 30, 30}, QPen(Qt::black, 1));
    dc.DrawRect({20, 20, 30, 30}, QPen(Qt::black, 1));
  }
  EXPECT_EQ(s.image, before);
}

TEST(BufferDcTest, CopiedBoundsGrowOutsideTextMode) {
  for (bool textMode : {true, false}) {
    Surface s({100, 100});
    s.target.textMode = textMode;
    QRect drawn;
    {
      CBufferDC dc(&s.target);
      dc.DrawLine({30, 40}, {60, 40}, QPen(Qt::black, 1));
      drawn = dc.DrawnBounds();
    }
    EXPECT_EQ(CBufferDC::LastCopy(), textMode ? drawn : drawn.adjusted(-2, -2, 2, 2)) << textMode;
  }
}

TEST(BufferDcTest, MappingAndNullTarget) {
  Surface s({100, 100});
  s.target.mapping = QTransform::fromScale(2, 2);
  {
    CBufferDC dc(&s.target);
    dc.DrawLine({10, 10}, {20, 10}, QPen(Qt::black, 0));
  }
  EXPECT_EQ(s.image.pixel(30, 20), qRgb(0, 0, 0));
  CBufferDC none(nullptr);
  none.DrawLine({0, 0}, {10, 10}, QPen(Qt::black));
  EXPECT_TRUE(none.DrawnBounds().isEmpty());
}

}  // namespace
}  // namespace ORV::Video
