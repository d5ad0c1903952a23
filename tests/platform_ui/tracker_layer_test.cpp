// The trackers on a widget: a drag through the grab and the nested loop, and
// the inverted feedback on the widget's screen image.
#include "platform/ui/tracker_layer.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QWidget>

#include "tests/support/ui/ui_test_support.h"

namespace ORV::Video {
namespace {

class ScreenWidget : public QWidget {
 public:
  ScreenWidget() : image(400, 300, QImage::Format_RGB32) {
    image.fill(Qt::white);
    QPainter p(&image);
    p.fillRect(QRect(200, 0, 200, 300), QColor(40, 90, 140));
    p.end();
    screen.image = &image;
    screen.clipBox = image.rect();
    resize(400, 300);
  }
  QImage image;
  BufferTarget screen;

 protected:
  void paintEvent(QPaintEvent*) override { QPainter(this).drawImage(0, 0, image); }
};

void Post(QWidget& w, QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::KeyboardModifiers mods = {}) {
  const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(Qt::LeftButton);
  QCoreApplication::postEvent(&w, new QMouseEvent(type, at, w.mapToGlobal(at), button, held, mods));
}

ShapePath Rectangle() {
  ShapePath p;
  p.AddRectangle(100, 100, 200, 100);
  return p;
}

TEST(TrackerLayerTest, DragThroughTheGrabLeavesTheScreenAsItWas) {
  ScreenWidget w;
  w.show();
  QtTransformTracker tracker(&w);
  tracker.SetPath(Rectangle(), true);
  const QImage before = w.image;
  WidgetTrackSource source(&w, &w.screen);
  Post(w, QEvent::MouseMove, {200, 160}, Qt::NoButton);
  Post(w, QEvent::MouseMove, {230, 170}, Qt::NoButton);
  Post(w, QEvent::MouseButtonRelease, {230, 170}, Qt::LeftButton);
  EXPECT_EQ(tracker.Track(source, kMouseLeft, {150, 150}), kTrackDone);
  EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
  EXPECT_EQ(tracker.DragMatrix().Map({0, 0}).x, 80);
  EXPECT_EQ(w.image, before);  // begin, each step and the end cancel out

  // Esc cancels; the right button too.
  QCoreApplication::postEvent(&w, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
  EXPECT_EQ(tracker.Track(source, kMouseLeft, {150, 150}), kTrackCancelled);
  EXPECT_EQ(w.image, before);
}

TEST(TrackerLayerTest, FeedbackRender) {
  ScreenWidget w;
  QtTransformTracker tracker(&w);
  tracker.style = 0xBF | CTransformTracker::kDottedPath;
  tracker.SetPath(Rectangle(), true);
  ScreenCanvas canvas(&w.screen);
  tracker.DrawFrame(&canvas);
  const QImage framed = w.image;
  // A scale from the bottom-right corner, drawn as the drag shows it.
  tracker.OnBeginTrack(kMouseControl, {306, 206});
  tracker.SetKeyState({});
  tracker.OnMouseMessage(TrackMouse::Move, 0, {330, 250});
  tracker.DrawTrackerFeedback(&canvas, kFeedbackRedraw);
  EXPECT_NE(w.image, framed);
  EXPECT_EQ(tracker.LastCursor(), 7);
  EXPECT_EQ(w.cursor().shape(), Qt::CrossCursor);
  ORV::Test::SaveUiArtifact(w, "tracker_feedback");
  tracker.DrawTrackerFeedback(&canvas, 0);  // drawn again: erased
  EXPECT_EQ(w.image, framed);
}

}  // namespace
}  // namespace ORV::Video
