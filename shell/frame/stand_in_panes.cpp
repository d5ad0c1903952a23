#include "shell/frame/stand_in_panes.h"

#include <QPainter>

#include "core/base/configuration.h"

namespace ORV {

StandInPane::StandInPane(const Configuration& configuration, const QString& objectName, const QString& title,
                         QString note)
    : DockingPane(configuration, objectName, title), note_(std::move(note)) {}

void StandInPane::OnPaint(QPainter& painter) {
  const QRect area = Client()->rect().adjusted(Scale(8), Scale(8), -Scale(8), -Scale(8));
  painter.setPen(palette().color(QPalette::Disabled, QPalette::Text));
  painter.setFont(PanelFont());
  painter.drawText(area, Qt::AlignCenter | Qt::TextWordWrap, note_);
}

CameraPreviewWindow::CameraPreviewWindow(const Configuration& configuration, const CameraWindowSpec& spec,
                                         std::unique_ptr<CameraInterface> camera, const QString& title)
    : DockingPane(configuration, QString("CameraWindow%1").arg(spec.index), title),
      spec_(spec),
      camera_(std::move(camera)) {
  SetHandler(WM_PREVIEW_FRAME, [this](OS::WPARAM, OS::LPARAM) -> OS::LRESULT {
    pending_ = false;
    {
      std::lock_guard lock(mutex_);
      if (incoming_.empty() || width_ <= 0 || height_ <= 0) return 0;
      QImage image(incoming_.data(), width_, height_, width_, QImage::Format_Grayscale8);
      picture_ = image.copy();
    }
    ++framesShown_;
    Client()->update();
    return 0;
  });
  // Lumenera cameras announce frames by message, the others by callback.
  SetHandler(WM_CAMERA_FRAME_READY, [this](OS::WPARAM, OS::LPARAM) -> OS::LRESULT {
    OnFrameReady();
    return 0;
  });
  if (!camera_ || spec_.deviceName.empty()) return;
  if (!camera_->Open(spec_.deviceName)) return;
  camera_->SetNotifyWindow(Target());
  camera_->SetFrameCallback(this);
  started_ = camera_->Start();
}

CameraPreviewWindow::~CameraPreviewWindow() {
  StopCamera();
  CloseMessageWindow();
}

void CameraPreviewWindow::StopCamera() {
  if (!camera_) return;
  camera_->SetFrameCallback(nullptr);
  if (started_) camera_->Stop();
  camera_->SetNotifyWindow(nullptr);
  started_ = false;
}

void CameraPreviewWindow::OnFrameReady() {
  const int width = camera_->GetWidth();
  const int height = camera_->GetHeight();
  if (!IsUsableFrameSize(width, height)) return;
  {
    std::lock_guard lock(mutex_);
    incoming_.resize(static_cast<std::size_t>(width) * height);
    if (!camera_->CopyFrame(incoming_.data())) return;
    width_ = width;
    height_ = height;
  }
  // One repaint waits at a time; newer frames replace the picture it shows.
  if (!pending_.exchange(true)) PostMessage(WM_PREVIEW_FRAME);
}

void CameraPreviewWindow::OnPaint(QPainter& painter) {
  const QRect area = Client()->rect();
  painter.fillRect(area, QColor(32, 32, 32));
  if (picture_.isNull()) {
    painter.setPen(QColor(200, 200, 200));
    painter.setFont(PanelFont());
    painter.drawText(area, Qt::AlignCenter,
                     spec_.deviceName.empty() ? QString("No camera") : QString("Waiting for the camera..."));
    return;
  }
  QSize size = picture_.size();
  size.scale(area.size(), Qt::KeepAspectRatio);
  const QRect target(
      QPoint(area.x() + (area.width() - size.width()) / 2, area.y() + (area.height() - size.height()) / 2), size);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(target, picture_);
  painter.setPen(QColor(255, 255, 160));
  painter.setFont(PanelFont());
  painter.drawText(target.adjusted(Scale(6), Scale(4), -Scale(6), -Scale(4)), Qt::AlignLeft | Qt::AlignTop,
                   QString::fromStdString(spec_.deviceName));
}

}  // namespace ORV
