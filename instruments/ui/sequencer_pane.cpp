#include "instruments/ui/sequencer_pane.h"

#include <QContextMenuEvent>
#include <QCursor>
#include <QHeaderView>
#include <QMenu>
#include <QPainter>
#include <QResizeEvent>
#include <QTimer>
#include <QTreeWidget>

#include "core/base/configuration.h"
#include "core/experiment/experiment_data.h"
#include "instruments/interface_manager.h"
#include "instruments/sequencer.h"
#include "instruments/ui/task_dialog.h"
#include "platform/ui/app_services.h"
#include "platform/ui/icon_button.h"
#include "platform/ui/icons.h"
#include "platform/ui/message_box.h"
#include "platform/ui/painting.h"
#include "platform/ui/string_table.h"
#include "platform/ui/window_styles.h"

using namespace ORV::UI;
using PaneLogic = ORV::SequencerPaneLogic;

namespace {

constexpr int kUpdateMs = 500;  // how often the buttons and the progress are brought up to date
constexpr const char* kFilter = "Sequencer Files (*.seq)|*.seq|All Files (*.*)|*.*||";

}  // namespace

SequencerWnd::SequencerWnd(const ORV::InstrumentPaneContext& context, const QString& title, QWidget* parent)
    : DockingPane(context.configuration, QString::fromLatin1(kObjectName), title, parent),
      sequencer_(*context.sequencer),
      logic_(
          std::make_unique<PaneLogic>(*context.sequencer, context.experiment, context.devices, context.configuration)) {
  runTaskDialog = [](CTaskDialog& dialog) { return dialog.DoModal(); };
}

SequencerWnd::~SequencerWnd() = default;

int SequencerWnd::OnCreate() {
  sequencer_.LoadLastSequence();
  list_ = new QTreeWidget(Client());
  list_->setObjectName(QStringLiteral("list%1").arg(kList));
  list_->setFont(PanelFont());
  list_->setRootIsDecorated(false);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setAllColumnsShowFocus(true);
  list_->setUniformRowHeights(true);
  list_->header()->setSectionsClickable(false);
  list_->header()->setSectionsMovable(false);
  list_->header()->setStretchLastSection(false);
  list_->setStyleSheet(QStringLiteral("QTreeView::item { border-right: 1px solid palette(mid); }"));
  QStringList titles;
  for (PaneLogic::Column c : logic_->Columns()) titles << PaneLogic::Title(c);
  list_->setHeaderLabels(titles);
  for (int i = 1; i < titles.size(); ++i) list_->headerItem()->setTextAlignment(i, Qt::AlignCenter);
  list_->setContextMenuPolicy(Qt::NoContextMenu);
  QObject::connect(list_, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int column) {
    if (filling_ || column != 0) return;
    logic_->SetTaskEnabled(list_->indexOfTopLevelItem(item), item->checkState(0) == Qt::Checked);
  });
  QObject::connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] { OnCommand(PaneLogic::kEditTask); });

  const auto button = [this](const QString& text, const QRect& rect, int id, const QFont& font) {
    auto* b = new CIconButton(Client());
    b->Create(text, WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, rect, Client(), id);
    b->setObjectName(QStringLiteral("button%1").arg(id));
    b->setFont(font);
    return b;
  };
  menuButton_ = button(QString(), Rect96(0, 0, 17, 15), kMenuButton, HeaderFont());
  menuButton_->SetIcon(kIconMenu);
  QObject::connect(menuButton_, &QPushButton::clicked, this, [this] { ShowMenu(); });
  startStop_ = button(QStringLiteral("Start"), Rect96(13, 22, 58, 41), kStartStopButton, PanelFont());
  QObject::connect(startStop_, &QPushButton::clicked, this, [this] { OnCommand(PaneLogic::kStartStop); });
  pause_ = button(QStringLiteral("Pause"), Rect96(61, 22, 106, 41), kPauseButton, PanelFont());
  QObject::connect(pause_, &QPushButton::clicked, this, [this] {
    logic_->PauseContinue();
    UpdateButtons();
  });

  Client()->installEventFilter(this);
  Client()->setContextMenuPolicy(Qt::DefaultContextMenu);
  list_->viewport()->installEventFilter(this);
  FillList();
  OnSize();
  list_->show();
  auto* timer = new QTimer(this);
  QObject::connect(timer, &QTimer::timeout, this, [this] { UpdateButtons(); });
  timer->start(kUpdateMs);
  UpdateButtons();
  return 0;
}

bool SequencerWnd::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Client() && event->type() == QEvent::Resize) OnSize();
  if (event->type() == QEvent::ContextMenu && (watched == Client() || watched == list_->viewport())) {
    // Guarded: the menu runs a loop of its own.
    if (!menuOpen_) ShowMenu();
    return true;
  }
  return DockingPane::eventFilter(watched, event);
}

QRect SequencerWnd::Frame() const {
  const QRect client = Client()->rect();
  return client.adjusted(Scale(9), Scale(19), -Scale(11), -Scale(21));
}

void SequencerWnd::OnSize() {
  if (list_ == nullptr) return;
  const QRect client = Client()->rect();
  const int left = Scale(110), top = Scale(20);
  list_->setGeometry(left, top, std::max(client.width() - 40 - left, 0), std::max(client.height() - 40 - top, 0));
  const int width96 = client.width() * 96 / std::max(Dpi(), 1);
  const std::vector<int> widths = logic_->ColumnWidths(width96);
  for (std::size_t i = 0; i < widths.size(); ++i) {
    list_->setColumnHidden(static_cast<int>(i), widths[i] == 0);
    list_->setColumnWidth(static_cast<int>(i), Scale(widths[i]));
  }
  const QRect frame = Frame();
  menuButton_->setGeometry(frame.left() + Scale(80), Scale(4), Scale(17), Scale(15));
  Client()->update();
}

void SequencerWnd::OnPaint(QPainter& painter) {
  const QRect frame = Frame();
  DrawLabel(painter, QRect(QPoint(frame.left(), Scale(5)), QPoint(frame.left() + Scale(60), Scale(20))),
            LoadQString(kSequencerString), Qt::AlignLeft | Qt::AlignVCenter);
  const QColor border = GetSysColor(SystemColor::ActiveBorder);
  const QColor shadow = GetSysColor(SystemColor::ButtonShadow);
  Draw3dRect(painter, frame, border, shadow);
  Draw3dRect(painter, frame.adjusted(Scale(100), 0, 0, 0), border, shadow);

  // The running task and its progress, under the buttons.
  const QRect bar = Rect96(13, 50, 106, 60);
  if (bar.bottom() < frame.bottom()) {
    DrawEdge(painter, bar, Edge::Sunken);
    const int percent = logic_->ProgressPercent();
    if (percent > 0) {
      const QRect inside = bar.adjusted(2, 2, -2, -2);
      painter.fillRect(QRect(inside.topLeft(), QSize(inside.width() * percent / 100, inside.height())),
                       GetSysColor(SystemColor::Highlight));
    }
    painter.setFont(PanelFont());
    painter.setPen(GetSysColor(SystemColor::WindowText));
    const QRect text(QPoint(bar.left(), bar.bottom() + Scale(4)), QPoint(bar.right(), frame.bottom() - Scale(2)));
    painter.drawText(text, Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap, logic_->ProgressText());
  }
}

CIconButton* SequencerWnd::Button(int id) const {
  switch (id) {
    case kMenuButton:
      return menuButton_;
    case kStartStopButton:
      return startStop_;
    case kPauseButton:
      return pause_;
    default:
      return nullptr;
  }
}

int SequencerWnd::SelectedRow() const {
  const QList<QTreeWidgetItem*> selected = list_->selectedItems();
  return selected.size() == 1 ? list_->indexOfTopLevelItem(selected.front()) : -1;
}

void SequencerWnd::ShowMenu() {
  const std::vector<PaneLogic::MenuItem> items = logic_->Menu(SelectedRow(), zones_);
  if (items.empty()) return;
  QMenu menu(this);
  for (const PaneLogic::MenuItem& item : items) {
    if (item.text.isEmpty()) {
      menu.addSeparator();
      continue;
    }
    QAction* action = menu.addAction(item.text);
    action->setData(item.id);
    action->setEnabled(item.enabled);
    action->setCheckable(item.checked);
    action->setChecked(item.checked);
  }
  menuOpen_ = true;
  QAction* chosen = menu.exec(QCursor::pos());
  menuOpen_ = false;
  if (chosen != nullptr) OnCommand(chosen->data().toInt());
}

void SequencerWnd::OnCommand(int id) {
  switch (id) {
    case PaneLogic::kAddTask:
      AddTask();
      break;
    case PaneLogic::kEditTask:
      EditTask();
      break;
    case PaneLogic::kDeleteTask:
      logic_->DeleteTask(SelectedRow());
      FillList();
      break;
    case PaneLogic::kLoadSequence:
      LoadSequence();
      break;
    case PaneLogic::kSaveSequence:
      SaveSequence();
      break;
    case PaneLogic::kStartStop:
      logic_->StartStop();
      break;
    case PaneLogic::kToggleLoop:
      logic_->ToggleLoop();
      break;
    case PaneLogic::kClearSequence:
      logic_->ClearSequence();
      FillList();
      break;
    default:
      break;
  }
  UpdateButtons();
}

void SequencerWnd::AddTask() {
  const bool pulsation = logic_->PulseColumn();
  CTaskDialog dialog(this, logic_->NewTask(), logic_->P2Column(), pulsation, false);
  if (runTaskDialog(dialog) != IDOK) return;
  logic_->AddTask(dialog.Task());
  FillList();
}

void SequencerWnd::EditTask() {
  const int row = SelectedRow();
  const std::optional<ORV::SequencerTask> task = logic_->TaskToEdit(row);
  if (!task) return;
  CTaskDialog dialog(this, *task, true, logic_->PulseColumn(), true);
  if (runTaskDialog(dialog) != IDOK) return;
  logic_->ReplaceTask(row, dialog.Task());
  FillList();
}

FileDialogRequest SequencerWnd::FileRequest(bool save) const {
  FileDialogRequest request;
  request.save = save;
  request.filter = kFilter;
  request.folder = logic_->InitialFolder();
  return request;
}

void SequencerWnd::LoadSequence() {
  FileDialogRequest request = FileRequest(false);
  request.defaultExtension = ".seq";
  const std::optional<std::string> path = AskForFile(this, request);
  if (!path) return;
  if (!logic_->Load(*path)) {
    MessageBox(this, QString::fromStdString(logic_->LoadProblemText(*path)), QString(), MB_OK | MB_ICONERROR);
    return;
  }
  FillList();
}

bool SequencerWnd::SaveSequence() {
  // The extension is added by the sequence's own rule.
  const std::optional<std::string> path = AskForFile(this, FileRequest(true));
  if (!path) return false;
  if (!logic_->Save(*path)) {
    MessageBox(this, QStringLiteral("Unable to save sequence file"), QString(), MB_OK | MB_ICONERROR);
    return false;
  }
  return true;
}

void SequencerWnd::FillList() {
  filling_ = true;
  const int selected = SelectedRow();
  list_->clear();
  for (int i = 0; i < logic_->TaskCount(); ++i) {
    auto* item = new QTreeWidgetItem(logic_->RowTexts(i));
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(0, logic_->TaskEnabled(i) ? Qt::Checked : Qt::Unchecked);
    for (int c = 1; c < item->columnCount(); ++c) item->setTextAlignment(c, Qt::AlignCenter);
    list_->addTopLevelItem(item);
  }
  if (selected >= 0 && selected < list_->topLevelItemCount()) list_->topLevelItem(selected)->setSelected(true);
  filling_ = false;
  UpdateButtons();
}

void SequencerWnd::UpdateButtons() {
  if (startStop_ == nullptr) return;
  startStop_->setText(logic_->StartStopText());
  startStop_->setEnabled(logic_->StartStopEnabled());
  pause_->setText(logic_->PauseText());
  pause_->setEnabled(logic_->PauseEnabled());
  // The running task's row in bold, and its checks as the engine left them.
  filling_ = true;
  const int running = logic_->RunningTask();
  for (int i = 0; i < list_->topLevelItemCount(); ++i) {
    QTreeWidgetItem* item = list_->topLevelItem(i);
    if (item->font(0).bold() == (i == running)) continue;
    QFont font = PanelFont();
    font.setBold(i == running);
    for (int c = 0; c < item->columnCount(); ++c) item->setFont(c, font);
  }
  filling_ = false;
  Client()->update();
}
