#include "platform/ui/docking_pane.h"

#include <QPaintEvent>
#include <QPainter>
#include <QWidget>

#include "core/base/configuration.h"
#include "platform/ui/dpi.h"

namespace ORV::UI {

class DockingPane::ClientArea : public QWidget {
 public:
  explicit ClientArea(DockingPane* pane) : QWidget(pane), pane_(pane) {}

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setFont(pane_->HeaderFont());
    painter.setBackgroundMode(Qt::TransparentMode);
    pane_->OnPaint(painter);
  }

 private:
  DockingPane* pane_;
};

QFont MakePointFont(const std::string& face, int tenthsOfPoint) {
  QFont font(QString::fromStdString(face));
  font.setPointSizeF(tenthsOfPoint > 0 ? tenthsOfPoint / 10.0 : 8.0);
  // At the DPI the pane's sizes are scaled with, so text grows with the
  // controls on a high-DPI screen (and in renders held at 144 DPI).
  return ScaleFontToDpi(font);
}

QFont MakePointFont(int tenthsOfPoint) { return MakePointFont(Configuration::Instance().FontName, tenthsOfPoint); }

DockingPane::DockingPane(const Configuration& configuration, const QString& objectName, const QString& title,
                         QWidget* parent)
    : QDockWidget(title, parent), configuration_(configuration), client_(new ClientArea(this)) {
  setObjectName(objectName);
  setWidget(client_);
}

DockingPane::DockingPane(const QString& title, QWidget* parent)
    : DockingPane(Configuration::Instance(), QString(), title, parent) {}

DockingPane::~DockingPane() { CloseMessageWindow(); }

int DockingPane::Create() {
  headerFont_ = MakePointFont(configuration_.FontName, configuration_.HeaderFontSize);
  panelFont_ = MakePointFont(configuration_.FontName, configuration_.PanelFontSize);
  setFont(headerFont_);
  if (OnCreate() != 0) return -1;
  const QSize fixed = CalcFixedLayout();
  if (!fixed.isEmpty()) client_->setFixedSize(fixed);
  return 0;
}

QSize DockingPane::CalcFixedLayout() const {
  const QSize size = FixedSize96();
  if (size.isEmpty()) return {};
  return ScaleSize(size.width(), size.height(), Dpi());
}

QWidget* DockingPane::Client() const { return client_; }

int DockingPane::Dpi() const { return QueryDpi(); }

int DockingPane::Scale(int value96) const { return ScaleByDpi(value96, Dpi()); }

QRect DockingPane::Rect96(int left, int top, int right, int bottom) const {
  return ScaleRect(left, top, right, bottom, Dpi());
}

void DockingPane::OnPaint(QPainter&) {}

}  // namespace ORV::UI
