#include "shell/app/splash_screen.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QSvgRenderer>
#include <QWindow>

#include "core/base/dpi.h"
#include "platform/ui/resources.h"

namespace ORV::Shell {
namespace {

// Both pictures are drawn from one document: the normal one at its own size,
// the high-DPI one at one and a half times that (144 DPI).
constexpr std::string_view kSplashDocument = "icons/splash.svg";

}  // namespace

QImage LoadSplashResource(int id) {
  if (id != kSplashBitmapId && id != kSplashBitmapIdHighDpi) return {};
  const auto data = UI::FindResource(kSplashDocument);
  if (!data) return {};
  QSvgRenderer renderer(QByteArray(data->data(), static_cast<qsizetype>(data->size())));
  if (!renderer.isValid()) return {};
  QSize size = renderer.defaultSize();
  if (id == kSplashBitmapIdHighDpi) size = size * 3 / 2;
  QImage image(size, QImage::Format_RGB32);
  image.fill(Qt::white);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  renderer.render(&painter);
  return image;
}

std::string SplashFileName(const std::string& fileName, bool highDpi) {
  const std::string suffix = highDpi ? "@2.bmp" : "@1.bmp";
  const std::size_t dot = fileName.rfind(".bmp");
  if (dot == std::string::npos) return fileName;
  return fileName.substr(0, dot) + suffix + fileName.substr(dot + 4);
}

CSplashWnd::CSplashWnd() : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint) {
  // Qt::SplashScreen keeps the picture off the task bar, which an invisible
  // owner window does elsewhere.
  setAttribute(Qt::WA_NoSystemBackground);
  setCursor(Qt::ArrowCursor);
}

void CSplashWnd::Create() {
  const bool highDpi = QueryDpi() > 96;
  if (loadFromFile) {
    picture_.load(QString::fromStdString(SplashFileName(fileName, highDpi)));
    pictureId_ = 0;
  } else {
    pictureId_ = highDpi ? bitmapIdHighDpi : bitmapId;
    picture_ = LoadSplashResource(pictureId_);
  }
  width_ = picture_.isNull() ? 0 : picture_.width();
  height_ = picture_.isNull() ? 0 : picture_.height();
  // Screens take colours as they are: no palette is chosen or realized.
  setFixedSize(width_, height_);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width_ / 2, height_ / 2));
  }
  show();
}

void CSplashWnd::paintEvent(QPaintEvent*) {
  if (picture_.isNull()) return;
  QPainter painter(this);
  painter.drawImage(QPoint(0, 0), picture_);
}

// A click and drag moves the splash, by the window system where it can.
void CSplashWnd::mousePressEvent(QMouseEvent* e) {
  if (e->button() != Qt::LeftButton) return;
  if (windowHandle() && windowHandle()->startSystemMove()) return;
  dragging_ = true;
  dragOffset_ = e->globalPosition().toPoint() - pos();
}

void CSplashWnd::mouseMoveEvent(QMouseEvent* e) {
  if (dragging_ && (e->buttons() & Qt::LeftButton)) move(e->globalPosition().toPoint() - dragOffset_);
}

void CSplashWnd::mouseReleaseEvent(QMouseEvent*) { dragging_ = false; }

void CSplashWnd::closeEvent(QCloseEvent* e) {
  if (allowClose) {
    e->accept();
  } else {
    e->ignore();
  }
}

}  // namespace ORV::Shell
