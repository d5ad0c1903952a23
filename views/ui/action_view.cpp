#include "views/ui/action_view.h"

#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <algorithm>

#include "core/experiment/experiment_data.h"
#include "platform/ui/message_box.h"
#include "platform/ui/string_table.h"
#include "views/trace_view.h"

namespace ORV::Views {

namespace {
constexpr std::uint32_t kActionSheetTitle = 132;
constexpr std::uint32_t kClearQuestion = 133;
constexpr std::uint32_t kDeleteQuestion = 209;
}  // namespace

CActionView::CActionView(ExperimentData& experiment, int traceTimeSpan, std::shared_ptr<OS::MessageTarget> mainWindow,
                         std::function<std::vector<CPelmoraView*>()> views, QWidget* parent)
    : QWidget(parent),
      experiment_(experiment),
      traceTimeSpan_(traceTimeSpan),
      mainWindow_(std::move(mainWindow)),
      views_(std::move(views)),
      model_(experiment),
      title_(new QLineEdit(this)),
      description_(new QPlainTextEdit(this)),
      list_(new QTableWidget(0, 2, this)) {
  setWindowTitle(UI::LoadQString(kActionSheetTitle));
  auto* grid = new QGridLayout(this);
  grid->addWidget(new QLabel(QStringLiteral("Title:"), this), 0, 0);
  grid->addWidget(title_, 0, 1);
  grid->addWidget(new QLabel(QStringLiteral("Description:"), this), 1, 0, Qt::AlignTop);
  description_->setFixedHeight(60);
  description_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  grid->addWidget(description_, 1, 1);
  grid->addWidget(list_, 2, 0, 1, 2);
  grid->setRowStretch(2, 1);

  list_->setHorizontalHeaderLabels({QStringLiteral("Action Description"), QStringLiteral("Time")});
  list_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
  list_->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Fixed);
  list_->setColumnWidth(1, 120);
  list_->verticalHeader()->hide();
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
  list_->installEventFilter(this);
  connect(list_, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { GoTo(row); });
  connect(list_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
    if (filling_ || item->column() != 0) return;
    model_.EditDescription(static_cast<std::size_t>(item->row()), item->text().toStdString(), views_());
  });
  title_->installEventFilter(this);
  description_->installEventFilter(this);
}

void CActionView::OnInitialUpdate() {
  const auto [title, description] =
      experiment_.Read([](const ExperimentContents& c) { return std::pair(c.title, c.description); });
  title_->setText(QString::fromStdString(title));
  description_->setPlainText(QString::fromStdString(description));
}

void CActionView::InsertAction(const ActionData& action) {
  const std::size_t row = model_.InsertAction(action);
  filling_ = true;
  list_->insertRow(static_cast<int>(row));
  list_->setItem(static_cast<int>(row), 0, new QTableWidgetItem(QString::fromStdString(action.text)));
  auto* time = new QTableWidgetItem(QString::fromStdString(model_.TimeText(row)));
  time->setTextAlignment(Qt::AlignCenter);
  time->setFlags(time->flags() & ~Qt::ItemIsEditable);
  list_->setItem(static_cast<int>(row), 1, time);
  filling_ = false;
}

void CActionView::StoreTitleAndDescription() {
  const std::string title = title_->text().toStdString();
  const std::string description = description_->toPlainText().toStdString();
  experiment_.Update([&](ExperimentContents& c) {
    c.title = title;
    c.description = description;
    return 0;
  });
  experiment_.WriteTitleAndDescription();
}

bool CActionView::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusOut && (watched == title_ || watched == description_)) StoreTitleAndDescription();
  if (event->type() == QEvent::KeyPress && watched == list_ &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete && !list_->selectionModel()->selectedRows().isEmpty()) {
    DeleteSelected();
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void CActionView::DeleteSelected() {
  std::vector<std::size_t> rows;
  for (const QModelIndex& i : list_->selectionModel()->selectedRows())
    rows.push_back(static_cast<std::size_t>(i.row()));
  if (rows.empty()) return;
  if (UI::MessageBox(this, UI::LoadQString(kDeleteQuestion), UI::ApplicationTitle(),
                     UI::MB_YESNO | UI::MB_ICONQUESTION) != UI::IDYES)
    return;
  std::sort(rows.begin(), rows.end());
  model_.DeleteRows(rows, views_());
  for (auto it = rows.rbegin(); it != rows.rend(); ++it) list_->removeRow(static_cast<int>(*it));
}

void CActionView::DeleteRow(std::size_t row) {
  if (row >= model_.RowCount()) return;
  model_.DeleteRow(row);
  list_->removeRow(static_cast<int>(row));
}

void CActionView::ClearRows() {
  while (model_.RowCount() > 0) model_.DeleteRow(model_.RowCount() - 1);
  list_->setRowCount(0);
}

bool CActionView::OnCommand(int command) {
  if (command != kClearCommand) return false;
  if (!CanClear()) return true;
  if (UI::MessageBox(this, UI::LoadQString(kClearQuestion), UI::ApplicationTitle(),
                     UI::MB_YESNO | UI::MB_ICONQUESTION) != UI::IDYES)
    return true;
  model_.Clear();
  list_->setRowCount(0);
  return true;
}

void CActionView::GoTo(int row) {
  if (row < 0) return;
  if (const auto seconds = model_.GoToSeconds(static_cast<std::size_t>(row), traceTimeSpan_); seconds && mainWindow_)
    mainWindow_->PostMessage(WM_TRACE_NAVIGATE, 1, static_cast<OS::LPARAM>(*seconds));
}

}  // namespace ORV::Views
