#pragma once
// A drawing surface that stands in for a target: everything drawn into it goes
// to an off-screen image, and when it is destroyed the part that was drawn on
// is copied onto the target in one step, combined as destination XNOR source.
// Drawn in not-XOR mode on the white background, lines drawn twice cancel and
// what is copied back inverts the target where the lines lie: the trackers
// erase and redraw their feedback through one surface per mouse message, so
// the screen never shows the half-way state.
//
// The back image is one for the whole process; it grows only, so a drag
// allocates nothing after its first move.
#include <QColor>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QRect>
#include <QTransform>

namespace ORV::Video {

// What the surface draws for.
struct BufferTarget {
  QImage* image = nullptr;
  QRect clipBox;         // device pixels
  QTransform mapping;    // logical units to device pixels
  bool textMode = true;  // one logical unit is one device pixel: copy the drawn bounds exactly
  QColor background = Qt::white;
};

class CBufferDC {
 public:
  // A null target gives a surface that draws nothing.
  explicit CBufferDC(BufferTarget* target, bool notXor = true);
  ~CBufferDC();
  CBufferDC(const CBufferDC&) = delete;
  CBufferDC& operator=(const CBufferDC&) = delete;

  // Drawing in logical units; each adds what it covers to the drawn bounds.
  void DrawLine(QPointF a, QPointF b, const QPen& pen);
  void DrawPolygon(const QPolygonF& polygon, const QPen& pen);
  void DrawRect(const QRectF& rect, const QPen& pen);
  void DrawEllipse(const QRectF& rect, const QPen& pen);
  void DrawPath(const QPainterPath& path, const QPen& pen);
  void DrawText(QPointF at, const QString& text, const QFont& font, const QColor& colour);

  // What was drawn so far, in device pixels.
  QRect DrawnBounds() const { return bounds_; }
  // Whether the surface draws straight onto the target (no back image).
  bool Direct() const { return direct_; }
  // The rectangle copied back by the last surface destroyed (device pixels;
  // empty when nothing was drawn).
  static QRect LastCopy();
  static QSize SharedSize();
  // Gives the back image up (a test starts from none).
  static void ReleaseShared();

 private:
  void Account(const QRectF& logical, const QPen& pen);

  BufferTarget* target_ = nullptr;
  QPainter painter_;
  QRect clip_;
  QRect bounds_;
  bool direct_ = false;
};

}  // namespace ORV::Video
