#pragma once
// The splash screen: a borderless picture in the middle of the screen while
// the program starts. The picture is chosen by the DPI (the high-DPI one
// above 96) from the program's resources or from a file; the user may drag
// it anywhere; it closes only once the application allows it.
//
// It lives on the GUI thread with every other window; the application shows
// it and lets it paint before the main frame's creation takes the thread.
#include <QImage>
#include <QPoint>
#include <QWidget>
#include <string>

namespace ORV::Shell {

// The splash pictures among the program's resources.
inline constexpr int kSplashBitmapId = 361;
inline constexpr int kSplashBitmapIdHighDpi = 373;

// The picture of resource `id`; a null image when there is none.
QImage LoadSplashResource(int id);
// "<name>@2.bmp" (high DPI) or "<name>@1.bmp" for "<name>.bmp".
std::string SplashFileName(const std::string& fileName, bool highDpi);

class CSplashWnd : public QWidget {
 public:
  CSplashWnd();

  // The start values, set before Create.
  int loadFromFile = 0;
  int bitmapId = 0;
  int bitmapIdHighDpi = 0;
  std::string fileName;
  // The closing flag: a close request is honoured only when it is set.
  int allowClose = 0;

  // Picks and loads the picture for the current DPI, sizes the window to it
  // (0 x 0 without a picture), centres it on the screen and shows it.
  void Create();

  // The picture shown and where it came from (the resource id, or 0 for a
  // file).
  const QImage& Picture() const { return picture_; }
  int PictureId() const { return pictureId_; }
  int PictureWidth() const { return width_; }
  int PictureHeight() const { return height_; }

 protected:
  void paintEvent(QPaintEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void mouseReleaseEvent(QMouseEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

 private:
  QImage picture_;
  int pictureId_ = 0;
  int width_ = 0;
  int height_ = 0;
  bool dragging_ = false;
  QPoint dragOffset_;
};

}  // namespace ORV::Shell
