#pragma once
// The data sheet, free of widgets: the experiment's calculations as rows of
// one table per method (mean, maximum, minimum, average slope, video
// measurement), stacked in the order their first rows came. Each table has
// its method's fixed columns and, for methods 0-3, one column per trace and
// zone that gave a value. Every cell is the text the sheet shows; the
// exports write those texts.
//
// Rows follow the experiment's CalculationData list: a record with row -1
// opens a row of its method and the records right after it with a row field
// (same method) fill further cells of that row; a video measurement is one
// row, its row field the camera. Editing a comment, deleting rows and
// clearing the sheet change the list the same way, so a refresh from it
// shows the sheet again.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/experiment/session_records.h"

namespace ORV {
class ExperimentData;
}

namespace ORV::Views {

struct DataSheetTable {
  std::int32_t method = 0;
  std::vector<std::string> captions;  // column captions, fixed columns first
  // Trace key (zone × 100 + trace kind) -> column.
  std::map<std::int32_t, int> columns;
  std::vector<std::vector<std::string>> rows;  // each as wide as the captions

  int FixedColumnCount() const;
  int TraceColumnCount() const { return static_cast<int>(captions.size()) - FixedColumnCount(); }
};

class DataSheetModel {
 public:
  static constexpr int kMethods = 5;

  explicit DataSheetModel(ExperimentData& experiment);
  ~DataSheetModel();

  // The caption of a method's table ("Mean Value" ...); empty for others.
  static std::string MethodCaption(std::int32_t method);
  // The fixed column captions of a method's table.
  static std::vector<std::string> FixedCaptions(std::int32_t method);
  // The caption of a trace column.
  std::string TraceCaption(std::int32_t traceKind, std::int32_t zone) const;

  // Shows one record. Method 4 appends a row and returns `row` (the camera).
  // Methods 0-3: row -1 appends a row and returns its index; a row of 0 or
  // more sets that row's cell of the trace and returns `row` (an index
  // without a row changes nothing). A method outside 0-4 gives -1.
  int AddMeasurementRow(std::int32_t method, std::int32_t traceKind, std::int32_t zone, double value, double start,
                        double end, int row, std::string_view comment, std::int32_t count, double sd, double se);
  int AddMeasurementRow(const CalculationData& record);

  // Empties the sheet: every table goes.
  void DestroyCameraTables();
  // Shows every calculation of the experiment again: each record that
  // continues a row fills the last row its method opened, whatever row it
  // names, and every record's count, SD and SE are shown.
  void Refresh();

  // Stores one calculation of one or more traces: its first record opens a
  // row, the others fill that row; each is added to the experiment and
  // shown. Returns the row.
  int AddCalculation(std::vector<CalculationData> records);
  // Moves the experiment's data pad into the sheet: each measurement is
  // stored and shown as a video-measurement row.
  void AddVideoMeasurements();

  const std::vector<std::int32_t>& MethodOrder() const { return order_; }
  const DataSheetTable* Table(std::int32_t method) const;
  bool HasTables() const { return !order_.empty(); }
  // The largest number of trace columns of any table.
  int MaxTraceColumns() const;

  // A row's comment edited: the cell shows it and the records of the row
  // take it (cut to 252 UTF-16 units with "..." as stored).
  void SetComment(std::int32_t method, int row, std::string_view text);
  // Deletes rows of a table and their records: a video measurement's record,
  // or the record that opened the row with those that continue it. Later
  // records that continue rows of the method name their rows' new indexes.
  // The experiment is marked modified.
  void DeleteRows(std::int32_t method, std::vector<int> rows);
  // Empties the sheet and erases every calculation of the experiment; the
  // experiment is marked modified when there was any.
  void Clear();

 private:
  DataSheetTable& TableFor(std::int32_t method);

  ExperimentData& experiment_;
  std::map<std::int32_t, std::unique_ptr<DataSheetTable>> tables_;
  std::vector<std::int32_t> order_;
};

}  // namespace ORV::Views
