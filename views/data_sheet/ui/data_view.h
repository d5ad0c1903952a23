#pragma once
// The data sheet's view: one captioned table per calculation method, stacked
// in a scrolling area, showing what DataSheetModel holds. The comment column
// is edited in place; the Delete key deletes the selected rows (after asking)
// and the view's commands export a table to CSV, the sheet to a workbook, or
// clear the sheet.
#include <QScrollArea>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "views/data_sheet/data_sheet_model.h"

class QLabel;
class QTableWidget;

namespace ORV {
class Configuration;
class ExperimentData;
}  // namespace ORV

namespace ORV::UI {
class CommandRouter;
}

namespace ORV::Views {

// True when the desktop has an application for workbooks (xdg-mime knows a
// default one for the xlsx type).
bool DesktopHasSpreadsheetApplication();

class CDataView : public QScrollArea {
 public:
  enum : int {
    kExportExcelCommand = 32804,
    kExportCsvCommand = 32805,
    kClearCommand = 32806,
    kListId = 33368,
  };

  // `spreadsheetProbe` is asked once, now: whether a saved workbook can be
  // opened in the desktop's spreadsheet application.
  CDataView(ExperimentData& experiment, const Configuration& config,
            std::function<bool()> spreadsheetProbe = DesktopHasSpreadsheetApplication, QWidget* parent = nullptr);
  ~CDataView() override;

  DataSheetModel& Model() { return model_; }
  const DataSheetModel& Model() const { return model_; }
  bool SpreadsheetApplicationPresent() const { return spreadsheetPresent_; }

  // ---- what the application calls ----
  int AddMeasurementRow(std::int32_t method, std::int32_t traceKind, std::int32_t zone, double value, double start,
                        double end, int row, const std::string& comment, std::int32_t count, std::int32_t camera,
                        double sd, double se);
  void DestroyCameraTables();
  // Shows every calculation of the experiment again.
  void Refresh();
  // Stores a new calculation (its records) and shows it; returns its row.
  int AddCalculation(std::vector<CalculationData> records);
  // Moves the experiment's video measurements into the sheet.
  void AddVideoMeasurements();

  // ---- commands ----
  // Writes one table; an error is shown to the user. True when written.
  bool ExportToCsv(const std::string& path, std::int32_t method);
  // Asks for a file, writes the workbook and opens it in the spreadsheet
  // application when there is one. True when written.
  bool ExportToExcel();
  // Asks, then empties the sheet and the experiment's calculations.
  void ClearSheet();
  // Asks, then deletes the selected rows of the last table (in the sheet's
  // order) that has a selection. False when no row is selected.
  bool DeleteSelectedRows();
  // Routes the sheet's three commands to this view: the workbook export and
  // clearing, and the CSV export, which runs `openCsvDialog` (the shell's
  // dialog that picks the method and the file and calls ExportToCsv); each
  // enabled as its Can* says. UnregisterCommands takes them back.
  void RegisterCommands(UI::CommandRouter& router, std::function<void()> openCsvDialog);
  static void UnregisterCommands(UI::CommandRouter& router);
  bool CanExportToExcel() const { return model_.HasTables(); }
  bool CanExportToCsv() const;
  bool CanClear() const { return model_.HasTables(); }

  // Where the sheet's save dialogs open (the last used experiment folder)
  // and the file name they offer (from the experiment's title, with
  // `extension`).
  std::string SaveFolder() const;
  std::string SaveFileName(std::string_view extension) const;
  // The file chooser of ExportToExcel (a save dialog unless replaced);
  // nothing when the user cancels.
  std::function<std::optional<std::string>()> chooseWorkbookPath;
  // Opens a saved workbook (the desktop's application unless replaced).
  std::function<void(const std::string& path)> openWorkbook;

  QTableWidget* TableWidget(std::int32_t method) const;
  QLabel* CaptionLabel(std::int32_t method) const;

 protected:
  bool eventFilter(QObject* watched, QEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;

 private:
  struct TableWindows {
    QLabel* caption = nullptr;
    QTableWidget* list = nullptr;
  };
  // Makes the windows match the model: one table per method, in order.
  void Sync();
  void SyncTable(const DataSheetTable& table, TableWindows& windows);
  void Layout();
  void OnCommentEdited(std::int32_t method, int row, int column);
  std::optional<std::string> AskWorkbookPath();
  int Scale(int value96) const;

  ExperimentData& experiment_;
  const Configuration& config_;
  DataSheetModel model_;
  const bool spreadsheetPresent_;
  QWidget* canvas_;
  std::map<std::int32_t, TableWindows> windows_;
  bool syncing_ = false;
};

}  // namespace ORV::Views
