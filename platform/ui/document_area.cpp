#include "platform/ui/document_area.h"

#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTabBar>
#include <QVBoxLayout>

namespace ORV::UI {

CChildFrame::CChildFrame(QWidget* parent) : QMdiSubWindow(parent) { setAttribute(Qt::WA_DeleteOnClose); }

void CChildFrame::closeEvent(QCloseEvent* e) {
  QMdiSubWindow::closeEvent(e);
  if (!e->isAccepted()) return;
  closed_ = true;
  if (onClosed) {
    // Once only, however often the close is asked for.
    auto closed = std::move(onClosed);
    onClosed = nullptr;
    closed(*this);
  }
}

DocumentArea::DocumentArea(QWidget* parent) : QMdiArea(parent) {
  setViewMode(QMdiArea::TabbedView);
  setTabsClosable(true);
  setTabsMovable(true);
  setDocumentMode(true);
}

int DocumentArea::AddDocTemplate(DocTemplate docTemplate) {
  templates_.push_back(std::move(docTemplate));
  return static_cast<int>(templates_.size()) - 1;
}

CChildFrame* DocumentArea::OpenDocument(int index, bool visible) {
  if (index < 0 || index >= static_cast<int>(templates_.size()) || !templates_[index].makeView) return nullptr;
  auto* frame = new CChildFrame;
  QWidget* view = templates_[index].makeView(*frame);
  if (!view) {
    delete frame;
    return nullptr;
  }
  frame->setWidget(view);
  if (frame->windowTitle().isEmpty()) frame->setWindowTitle(view->windowTitle());
  addSubWindow(frame);
  if (visible) {
    frame->show();
    setActiveSubWindow(frame);
  }
  return frame;
}

std::vector<CChildFrame*> DocumentArea::Frames() const {
  std::vector<CChildFrame*> frames;
  for (QMdiSubWindow* window : subWindowList(QMdiArea::CreationOrder)) {
    // A closed frame is deleted a little later; it is no longer open.
    auto* frame = dynamic_cast<CChildFrame*>(window);
    if (frame && !frame->IsClosed()) frames.push_back(frame);
  }
  return frames;
}

void DocumentArea::ShowWindowsDialog() {
  WindowsDialog dialog(*this, window());
  dialog.exec();
}

void DocumentArea::EnableWindowsDialog(CommandRouter& router, CommandId id, std::string text) {
  router.OnCommand(id, [this] { ShowWindowsDialog(); });
  router.OnUpdate(id, [text = std::move(text)](CmdUI& cmd) { cmd.SetText(text); });
}

WindowsDialog::WindowsDialog(DocumentArea& area, QWidget* parent)
    : QDialog(parent), area_(area), list_(new QListWidget(this)) {
  setWindowTitle(QStringLiteral("Windows"));
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  auto* activate = new QPushButton(QStringLiteral("&Activate"), this);
  auto* close = new QPushButton(QStringLiteral("&Close Window(s)"), this);
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  connect(activate, &QPushButton::clicked, this, &WindowsDialog::ActivateSelected);
  connect(close, &QPushButton::clicked, this, &WindowsDialog::CloseSelected);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
  connect(list_, &QListWidget::itemDoubleClicked, this, &WindowsDialog::ActivateSelected);
  auto* buttons = new QVBoxLayout;
  buttons->addWidget(activate);
  buttons->addWidget(close);
  buttons->addStretch();
  buttons->addWidget(ok);
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(list_, 1);
  layout->addLayout(buttons);
  Fill();
}

void WindowsDialog::Fill() {
  list_->clear();
  QMdiSubWindow* active = area_.activeSubWindow();
  for (CChildFrame* frame : area_.Frames()) {
    auto* item = new QListWidgetItem(frame->windowTitle(), list_);
    item->setData(Qt::UserRole, QVariant::fromValue(QPointer<QObject>(frame)));
    if (frame == active) list_->setCurrentItem(item);
  }
}

namespace {
CChildFrame* FrameOf(const QListWidgetItem* item) {
  return dynamic_cast<CChildFrame*>(item->data(Qt::UserRole).value<QPointer<QObject>>().data());
}
}  // namespace

void WindowsDialog::ActivateSelected() {
  const QList<QListWidgetItem*> selected = list_->selectedItems();
  if (selected.isEmpty()) return;
  if (CChildFrame* frame = FrameOf(selected.front())) area_.setActiveSubWindow(frame);
  accept();
}

void WindowsDialog::CloseSelected() {
  for (QListWidgetItem* item : list_->selectedItems()) {
    if (CChildFrame* frame = FrameOf(item)) frame->close();
  }
  Fill();
}

}  // namespace ORV::UI
