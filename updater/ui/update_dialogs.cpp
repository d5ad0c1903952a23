#include "updater/ui/update_dialogs.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTextBrowser>
#include <QTimerEvent>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <mutex>

#include "platform/ui/dpi.h"
#include "platform/ui/message_box.h"
#include "updater/rich_text.h"
#include "updater/update_query.h"

namespace ORV::Freshet {

namespace {
constexpr int kStepMs = 25;
constexpr int kPollMs = 10;
const char* const kCaption = "Program Update";
}  // namespace

std::vector<UpdateEntry> EntriesOf(const FreshetSettings& settings) {
  std::lock_guard lock(UpdateStateMutex());
  std::vector<UpdateEntry> entries;
  for (const FreshetUpdate& u : settings.updates) {
    entries.push_back({QString::fromStdString(u.productName),
                       QString::fromStdString(RtfToHtml(Base64Decode(u.description))), u.major, u.minor, u.revision,
                       u.build});
  }
  return entries;
}

UpdateCheckDialog::UpdateCheckDialog(UpdateTasks& tasks, bool afterCheck, UpdateCheckModel::AskFn ask)
    : UI::Dialog({QString(), false, false, 220, 62}), model_(tasks, afterCheck, std::move(ask)) {}

bool UpdateCheckDialog::OnInitDialog() {
  auto* layout = new QVBoxLayout(this);
  text_ = new QLabel(this);
  progress_ = new QProgressBar(this);
  progress_->setRange(0, 100);
  progress_->setTextVisible(false);
  cancel_ = new QPushButton(tr("Cancel update check"), this);
  connect(cancel_, &QPushButton::clicked, this, [this] { OnCancel(); });
  layout->addWidget(text_);
  layout->addWidget(progress_);
  auto* row = new QHBoxLayout;
  row->addStretch();
  row->addWidget(cancel_);
  layout->addLayout(row);
  model_.Start();
  Sync();
  stepTimer_ = startTimer(kStepMs);
  pollTimer_ = startTimer(kPollMs);
  return true;
}

void UpdateCheckDialog::OnCancel() {
  model_.Cancel();
  Sync();
}

void UpdateCheckDialog::timerEvent(QTimerEvent* e) {
  if (e->timerId() == stepTimer_) {
    progress_->setValue(model_.Step());
  } else if (e->timerId() == pollTimer_) {
    model_.Poll();
    Sync();
  }
}

void UpdateCheckDialog::Sync() {
  text_->setText(QString::fromUtf8(model_.Text()));
  cancel_->setEnabled(model_.CancelEnabled());
  if (model_.Ended() && isVisible()) EndDialog(model_.Result());
}

UpdatesAvailableDialog::UpdatesAvailableDialog(QString headerHtml, std::vector<UpdateEntry> entries)
    : UI::Dialog({kCaption, true, true, 240, 80}), headerHtml_(std::move(headerHtml)), entries_(std::move(entries)) {}

bool UpdatesAvailableDialog::OnInitDialog() {
  auto* layout = new QVBoxLayout(this);
  header_ = new QTextBrowser(this);
  header_->setFrameShape(QFrame::NoFrame);
  // The header is a text to read, not a control: it takes no keys (a
  // selection in it would swallow Return).
  header_->setFocusPolicy(Qt::NoFocus);
  header_->setHtml(headerHtml_);
  QPalette palette = header_->palette();
  palette.setColor(QPalette::Base, palette.color(QPalette::Button));
  header_->setPalette(palette);
  layout->addWidget(header_);
  auto* row = new QHBoxLayout;
  list_ = new QPushButton(this);
  list_->setIcon(style()->standardIcon(QStyle::SP_FileDialogDetailedView));
  constexpr int kListIcon = 16;  // pixels at 96 DPI
  const int icon = ScaleByDpi(kListIcon, QueryDpi());
  list_->setIconSize(QSize(icon, icon));
  list_->setToolTip(tr("Show the updates"));
  // Return answers Yes even while the list button has the focus (after the
  // list was looked at); Space still opens the list.
  list_->setAutoDefault(false);
  yes_ = new QPushButton(tr("&Yes"), this);
  no_ = new QPushButton(tr("&No"), this);
  yes_->setDefault(true);
  // As tall as the answers beside it, at every DPI.
  list_->setMinimumHeight(yes_->sizeHint().height());
  row->addWidget(list_);
  row->addStretch();
  row->addWidget(yes_);
  row->addWidget(no_);
  layout->addLayout(row);
  connect(yes_, &QPushButton::clicked, this, [this] { EndDialog(UI::IDYES); });
  connect(no_, &QPushButton::clicked, this, [this] { EndDialog(UI::IDNO); });
  connect(list_, &QPushButton::clicked, this, [this] {
    // The list opens over the question, and when it closes the question
    // has the keyboard again (the desktop need not give it back).
    UpdateListDialog details(entries_, this);
    details.DoModal();
    activateWindow();
  });
  yes_->setFocus(Qt::OtherFocusReason);
  return false;
}

void UpdatesAvailableDialog::keyPressEvent(QKeyEvent* e) {
  // As in the program's message boxes, the answer's underlined letter alone
  // answers too (with Alt it is the button's own shortcut).
  if ((e->modifiers() & (Qt::AltModifier | Qt::ControlModifier | Qt::MetaModifier)) == 0) {
    for (QPushButton* answer : {yes_, no_}) {
      if (!answer->shortcut().isEmpty() && e->key() == answer->shortcut()[0].key()) {
        answer->animateClick();
        return;
      }
    }
  }
  UI::Dialog::keyPressEvent(e);
}

UpdateListDialog::UpdateListDialog(const std::vector<UpdateEntry>& entries, QWidget* parent)
    : UI::Dialog({"Updates", true, true, 300, 200}, parent), entries_(entries) {}

bool UpdateListDialog::OnInitDialog() {
  auto* layout = new QVBoxLayout(this);
  list_ = new QTreeWidget(this);
  list_->setRootIsDecorated(false);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setHeaderLabels({tr("Name"), tr("Update version")});
  list_->header()->setMinimumSectionSize(100);
  for (const UpdateEntry& e : entries_) {
    new QTreeWidgetItem(list_,
                        {e.name, QStringLiteral("%1.%2.%3.%4").arg(e.major).arg(e.minor).arg(e.revision).arg(e.build)});
  }
  list_->header()->resizeSection(0, MapDialogRect(0, 0, 190, 0).width());
  description_ = new QTextBrowser(this);
  auto* close = new QPushButton(tr("Close"), this);
  close->setDefault(true);
  connect(close, &QPushButton::clicked, this, [this] { EndDialog(UI::IDOK); });
  connect(list_, &QTreeWidget::itemClicked, this,
          [this](QTreeWidgetItem* item) { ShowDescription(list_->indexOfTopLevelItem(item)); });
  layout->addWidget(list_, 1);
  layout->addWidget(description_, 1);
  auto* row = new QHBoxLayout;
  row->addStretch();
  row->addWidget(close);
  layout->addLayout(row);
  ShowDescription(0);
  return true;
}

void UpdateListDialog::ShowDescription(int index) {
  if (index == shown_ || index < 0 || index >= static_cast<int>(entries_.size())) return;
  shown_ = index;
  list_->setCurrentItem(list_->topLevelItem(index));
  description_->setHtml(entries_[static_cast<std::size_t>(index)].descriptionHtml);
  description_->moveCursor(QTextCursor::Start);
}

int DialogPresenter::RunUpdateCheckDialog(UpdateTasks& tasks, bool afterCheck) {
  UpdateCheckDialog dialog(tasks, afterCheck, [this] { return AskUpdatesAvailable(ProcessSettings()); });
  return dialog.DoModal();
}

bool DialogPresenter::AskUpdatesAvailable(const FreshetSettings& settings) {
  std::vector<UpdateEntry> entries = EntriesOf(settings);
  if (entries.empty()) return false;
  std::string ownName;
  {
    std::lock_guard lock(UpdateStateMutex());
    ownName = settings.ownProduct.productName;
  }
  UpdatesAvailableDialog dialog(QString::fromStdString(RtfToHtml(UpdateHeaderRtf(ownName))), std::move(entries));
  return dialog.DoModal() == UI::IDYES;
}

void DialogPresenter::ShowMessage(const std::string& text) {
  UI::MessageBox(nullptr, QString::fromStdString(text),
                 QString::fromStdString(ProcessSettings().ownProduct.productName),
                 UI::MB_TASKMODAL | UI::MB_ICONINFORMATION);
}

}  // namespace ORV::Freshet
