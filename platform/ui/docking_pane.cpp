#include "platform/ui/docking_pane.h"

#include <QPaintEvent>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QWidget>
#include <algorithm>

#include "core/base/configuration.h"
#include "platform/ui/dpi.h"
#include "platform/ui/painting.h"

namespace ORV::UI {
namespace {

// The least of a pane's client that stays in view when the pane is made
// small, and the narrowest a pane that may be resized becomes (96 DPI).
constexpr int kLeastVisibleHeight96 = 48;
constexpr int kLeastVisibleWidth96 = 120;

}  // namespace

class DockingPane::ClientArea : public QWidget {
 public:
  explicit ClientArea(DockingPane* pane) : QWidget(pane), pane_(pane) {}

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setFont(pane_->HeaderFont());
    painter.setBackgroundMode(Qt::TransparentMode);
    pane_->paintedLabels_.clear();
    pane_->OnPaint(painter);
  }

 private:
  DockingPane* pane_;
};

// Shows the client at its size when there is room, with scroll bars when
// there is not. It asks for the client's whole size and makes do with much
// less.
class DockingPane::Scroller : public QScrollArea {
 public:
  explicit Scroller(DockingPane* pane) : QScrollArea(pane), pane_(pane) {
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    viewport()->setAutoFillBackground(false);
  }

  QSize sizeHint() const override {
    const QSize content = Content();
    if (content.isEmpty()) return QScrollArea::sizeHint();
    return {std::max(content.width(), minimumSizeHint().width()), content.height()};
  }

  QSize minimumSizeHint() const override {
    const QSize content = Content();
    if (content.isEmpty()) return QScrollArea::minimumSizeHint();
    const int bar = verticalScrollBar()->sizeHint().width();
    const int height = std::min(content.height(), pane_->Scale(kLeastVisibleHeight96) + bar);
    // A fixed pane keeps its width and room for the scroll bar beside it.
    if (!pane_->CalcFixedLayout().isEmpty()) return {content.width() + bar, height};
    return {std::min(content.width(), pane_->Scale(kLeastVisibleWidth96) + bar), height};
  }

 private:
  // What the client needs: its fixed layout, else its minimum size.
  QSize Content() const {
    const QSize fixed = pane_->CalcFixedLayout();
    if (!fixed.isEmpty()) return fixed;
    const QWidget* client = widget();
    return client ? client->minimumSize() : QSize();
  }

  DockingPane* pane_;
};

QFont MakePointFont(const std::string& face, int tenthsOfPoint) {
  QFont font(QString::fromStdString(face));
  font.setPointSizeF(tenthsOfPoint > 0 ? tenthsOfPoint / 10.0 : 8.0);
  // At the DPI the pane's sizes are scaled with, so text grows with the
  // controls on a high-DPI screen (and in renders held at 144 DPI).
  return ScaleFontToDpi(font);
}

DockingPane::DockingPane(const Configuration& configuration, const QString& objectName, const QString& title,
                         QWidget* parent)
    : QDockWidget(title, parent),
      configuration_(configuration),
      client_(new ClientArea(this)),
      scroller_(new Scroller(this)) {
  setObjectName(objectName);
  client_->setAutoFillBackground(false);
  scroller_->setWidget(client_);
  setWidget(scroller_);
}

int DockingPane::Create() {
  headerFont_ = MakePointFont(configuration_.FontName, configuration_.HeaderFontSize);
  panelFont_ = MakePointFont(configuration_.FontName, configuration_.PanelFontSize);
  setFont(headerFont_);
  if (OnCreate() != 0) return -1;
  const QSize fixed = CalcFixedLayout();
  if (!fixed.isEmpty()) {
    client_->setFixedSize(fixed);
    // The pane grows no taller than its client; it takes its column's width.
    scroller_->setMaximumHeight(fixed.height());
    scroller_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  }
  scroller_->updateGeometry();
  return 0;
}

QSize DockingPane::CalcFixedLayout() const {
  const QSize size = FixedSize96();
  if (size.isEmpty()) return {};
  return ScaleSize(size.width(), size.height(), Dpi());
}

QWidget* DockingPane::Client() const { return client_; }

QScrollArea* DockingPane::ClientScroller() const { return scroller_; }

int DockingPane::Dpi() const { return QueryDpi(); }

int DockingPane::Scale(int value96) const { return ScaleByDpi(value96, Dpi()); }

QRect DockingPane::Rect96(int left, int top, int right, int bottom) const {
  return ScaleRect(left, top, right, bottom, Dpi());
}

void DockingPane::OnPaint(QPainter&) {}

void DockingPane::DrawLabel(QPainter& painter, const QRect& rect, const QString& text, int alignment) {
  paintedLabels_.push_back({text, rect, painter.boundingRect(rect, alignment, text)});
  DrawTransparentText(painter, rect, text, alignment);
}

}  // namespace ORV::UI
