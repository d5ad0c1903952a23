#include "views/data_sheet/ui/data_view.h"

#include <QDesktopServices>
#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QProcess>
#include <QTableWidget>
#include <QUrl>
#include <algorithm>

#include "core/base/configuration.h"
#include "core/base/paths.h"
#include "core/experiment/experiment_data.h"
#include "platform/ui/app_services.h"
#include "platform/ui/command_router.h"
#include "platform/ui/docking_pane.h"
#include "platform/ui/dpi.h"
#include "platform/ui/message_box.h"
#include "platform/ui/string_table.h"
#include "views/data_sheet/data_sheet_export.h"

namespace ORV::Views {

namespace {

constexpr const char* kXlsxType = "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet";

// Pixel widths of the fixed columns of a method's table.
std::vector<int> FixedWidths(std::int32_t method) {
  if (method == CalculationData::kVideoMeasurement) return {200, 100, 120, 80};
  std::vector<int> widths = {200, 100, 100, 110, 110};
  if (method == CalculationData::kMean) widths.insert(widths.end(), {110, 110});
  return widths;
}

}  // namespace

bool DesktopHasSpreadsheetApplication() {
  QProcess probe;
  probe.start(QStringLiteral("xdg-mime"), {QStringLiteral("query"), QStringLiteral("default"), kXlsxType});
  if (!probe.waitForFinished(3000)) {
    probe.kill();
    probe.waitForFinished(1000);
    return false;
  }
  return probe.exitStatus() == QProcess::NormalExit && probe.exitCode() == 0 &&
         !probe.readAllStandardOutput().trimmed().isEmpty();
}

CDataView::CDataView(ExperimentData& experiment, const Configuration& config, std::function<bool()> spreadsheetProbe,
                     QWidget* parent)
    : QScrollArea(parent),
      experiment_(experiment),
      config_(config),
      model_(experiment),
      spreadsheetPresent_(spreadsheetProbe ? spreadsheetProbe() : false),
      canvas_(new QWidget) {
  setWindowTitle(UI::LoadQString(UI::kDataSheetString));
  setWidget(canvas_);
  setWidgetResizable(false);
  setBackgroundRole(QPalette::Base);
  canvas_->setFont(UI::MakePointFont(config_.FontName, config_.HeaderFontSize));
  chooseWorkbookPath = [this] { return AskWorkbookPath(); };
  openWorkbook = [](const std::string& path) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
  };
}

CDataView::~CDataView() = default;

int CDataView::Scale(int value96) const { return ScaleByDpi(value96, QueryDpi()); }

QTableWidget* CDataView::TableWidget(std::int32_t method) const {
  const auto it = windows_.find(method);
  return it == windows_.end() ? nullptr : it->second.list;
}

QLabel* CDataView::CaptionLabel(std::int32_t method) const {
  const auto it = windows_.find(method);
  return it == windows_.end() ? nullptr : it->second.caption;
}

int CDataView::AddMeasurementRow(std::int32_t method, std::int32_t traceKind, std::int32_t zone, double value,
                                 double start, double end, int row, const std::string& comment, std::int32_t count,
                                 std::int32_t /*camera*/, double sd, double se) {
  const int result = model_.AddMeasurementRow(method, traceKind, zone, value, start, end, row, comment, count, sd, se);
  Sync();
  return result;
}

void CDataView::DestroyCameraTables() {
  model_.DestroyCameraTables();
  Sync();
}

void CDataView::Refresh() {
  model_.Refresh();
  Sync();
}

int CDataView::AddCalculation(std::vector<CalculationData> records) {
  const int row = model_.AddCalculation(std::move(records));
  Sync();
  return row;
}

void CDataView::AddVideoMeasurements() {
  model_.AddVideoMeasurements();
  Sync();
}

void CDataView::RegisterCommands(UI::CommandRouter& router, std::function<void()> openCsvDialog) {
  router.OnCommand(kExportExcelCommand, [this] { ExportToExcel(); });
  router.OnUpdate(kExportExcelCommand, [this](UI::CmdUI& ui) { ui.Enable(CanExportToExcel()); });
  router.OnCommand(kExportCsvCommand, std::move(openCsvDialog));
  router.OnUpdate(kExportCsvCommand, [this](UI::CmdUI& ui) { ui.Enable(CanExportToCsv()); });
  router.OnCommand(kClearCommand, [this] { ClearSheet(); });
  router.OnUpdate(kClearCommand, [this](UI::CmdUI& ui) { ui.Enable(CanClear()); });
}

void CDataView::UnregisterCommands(UI::CommandRouter& router) {
  for (const UI::CommandId id : {kExportExcelCommand, kExportCsvCommand, kClearCommand}) {
    router.OnCommand(id, {});
    router.OnUpdate(id, {});
  }
}

bool CDataView::CanExportToCsv() const {
  return experiment_.Read([](const ExperimentContents& c) { return !c.calculations.empty(); });
}

void CDataView::Sync() {
  syncing_ = true;
  // Tables whose method left the sheet go.
  for (auto it = windows_.begin(); it != windows_.end();) {
    if (model_.Table(it->first) == nullptr) {
      delete it->second.caption;
      delete it->second.list;
      it = windows_.erase(it);
    } else {
      ++it;
    }
  }
  for (const std::int32_t method : model_.MethodOrder()) {
    TableWindows& w = windows_[method];
    if (w.list == nullptr) {
      w.caption = new QLabel(QString::fromStdString(DataSheetModel::MethodCaption(method)), canvas_);
      w.caption->setFont(canvas_->font());
      w.list = new QTableWidget(canvas_);
      w.list->setObjectName(QStringLiteral("DataSheetList%1").arg(kListId));
      w.list->setFont(UI::MakePointFont(config_.FontName, config_.PanelFontSize));
      w.list->setSelectionBehavior(QAbstractItemView::SelectRows);
      w.list->setSelectionMode(QAbstractItemView::ExtendedSelection);
      w.list->setShowGrid(true);
      w.list->verticalHeader()->hide();
      w.list->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
      w.list->installEventFilter(this);
      QObject::connect(w.list, &QTableWidget::cellChanged, w.list,
                       [this, method](int row, int column) { OnCommentEdited(method, row, column); });
      w.caption->show();
      w.list->show();
    }
    SyncTable(*model_.Table(method), w);
  }
  Layout();
  syncing_ = false;
}

void CDataView::SyncTable(const DataSheetTable& table, TableWindows& w) {
  QTableWidget& list = *w.list;
  const int columns = static_cast<int>(table.captions.size());
  if (list.columnCount() != columns) {
    list.setColumnCount(columns);
    const std::vector<int> fixed = FixedWidths(table.method);
    const QFontMetrics metrics(canvas_->font());
    for (int c = 0; c < columns; ++c) {
      const QString caption = QString::fromStdString(table.captions[std::size_t(c)]);
      list.setHorizontalHeaderItem(c, new QTableWidgetItem(caption));
      const int width = std::size_t(c) < fixed.size() ? Scale(fixed[std::size_t(c)])
                                                      : std::max(Scale(100), metrics.horizontalAdvance(caption) + 5);
      list.setColumnWidth(c, width);
    }
  }
  list.setRowCount(static_cast<int>(table.rows.size()));
  for (int r = 0; r < list.rowCount(); ++r) {
    for (int c = 0; c < columns; ++c) {
      const QString text = QString::fromStdString(table.rows[std::size_t(r)][std::size_t(c)]);
      QTableWidgetItem* item = list.item(r, c);
      if (item == nullptr) {
        item = new QTableWidgetItem;
        item->setTextAlignment(Qt::AlignCenter);
        // Only the comment is edited.
        if (c != 0) item->setFlags(item->flags() & ~Qt::ItemIsEditable);
        list.setItem(r, c, item);
      }
      if (item->text() != text) item->setText(text);
    }
  }
}

void CDataView::Layout() {
  const int left = Scale(10);
  const int right = std::max(left + Scale(100), viewport()->width() - 20);
  int top = 0;
  for (const std::int32_t method : model_.MethodOrder()) {
    TableWindows& w = windows_[method];
    top += Scale(30);
    w.caption->setGeometry(left, top - Scale(20), right - left, Scale(20));
    w.list->setGeometry(left, top, right - left, Scale(100));
    top += Scale(100);
  }
  canvas_->resize(viewport()->width(), top + Scale(30));
}

void CDataView::resizeEvent(QResizeEvent* e) {
  QScrollArea::resizeEvent(e);
  Layout();
}

void CDataView::OnCommentEdited(std::int32_t method, int row, int column) {
  if (syncing_ || column != 0) return;
  QTableWidget* list = TableWidget(method);
  if (list == nullptr || list->item(row, 0) == nullptr) return;
  model_.SetComment(method, row, list->item(row, 0)->text().toStdString());
  Sync();  // the cell shows the comment as stored
}

bool CDataView::eventFilter(QObject* watched, QEvent* e) {
  if (e->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(e)->key() == Qt::Key_Delete) {
    for (const auto& [method, w] : windows_) {
      if (w.list == watched) {  // an open editor takes its own keys
        if (DeleteSelectedRows()) return true;
      }
    }
  }
  return QScrollArea::eventFilter(watched, e);
}

bool CDataView::DeleteSelectedRows() {
  // The last table in the sheet's order with a selection.
  std::int32_t chosen = -1;
  std::vector<int> rows;
  for (const std::int32_t method : model_.MethodOrder()) {
    QTableWidget* list = TableWidget(method);
    std::vector<int> selected;
    for (const QModelIndex& index : list->selectionModel()->selectedRows()) selected.push_back(index.row());
    if (!selected.empty()) {
      chosen = method;
      rows = std::move(selected);
    }
  }
  if (chosen < 0) return false;
  if (UI::MessageBox(this, UI::LoadQString(UI::kDeleteSelectedItemsExperimentString), QString(),
                     UI::MB_YESNO | UI::MB_ICONQUESTION) != UI::IDYES) {
    return true;
  }
  model_.DeleteRows(chosen, std::move(rows));
  TableWidget(chosen)->clearSelection();
  Sync();
  return true;
}

void CDataView::ClearSheet() {
  if (!model_.HasTables()) return;
  if (UI::MessageBox(this, UI::LoadQString(UI::kAllCollectedDataDataString), UI::ApplicationTitle(),
                     UI::MB_YESNO | UI::MB_ICONQUESTION) != UI::IDYES) {
    return;
  }
  model_.Clear();
  Sync();
}

bool CDataView::ExportToCsv(const std::string& path, std::int32_t method) {
  std::string error;
  if (Views::ExportToCsv(model_, path, method, error)) return true;
  UI::MessageBox(this, QString::fromStdString(error), QString(), UI::MB_OK | UI::MB_ICONERROR);
  return false;
}

std::string CDataView::SaveFolder() const { return config_.LastUsedExperimentPath; }

std::string CDataView::SaveFileName(std::string_view extension) const {
  return FileNameFromTitle(experiment_.Read([](const ExperimentContents& c) { return c.title; }), extension);
}

std::optional<std::string> CDataView::AskWorkbookPath() {
  UI::FileDialogRequest request;
  request.save = true;
  request.filter = "Microsoft Excel (*.xlsx)|*.xlsx|All Files (*.*)|*.*||";
  request.defaultExtension = "xlsx";
  request.folder = SaveFolder();
  request.fileName = SaveFileName(".xlsx");
  return UI::AskForFile(this, request);
}

bool CDataView::ExportToExcel() {
  if (!chooseWorkbookPath) return false;
  const std::optional<std::string> chosen = chooseWorkbookPath();
  if (!chosen || chosen->empty()) return false;
  const std::string path = WorkbookPath(*chosen);
  std::string error;
  if (!Views::ExportToExcel(model_, path, error)) {
    UI::MessageBox(this, QString::fromStdString(error), QString(), UI::MB_OK | UI::MB_ICONERROR);
    return false;
  }
  if (spreadsheetPresent_ && openWorkbook) openWorkbook(path);
  return true;
}

}  // namespace ORV::Views
