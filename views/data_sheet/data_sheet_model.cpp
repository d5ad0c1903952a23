#include "views/data_sheet/data_sheet_model.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "core/base/time_text.h"
#include "core/base/trace_kinds.h"
#include "core/experiment/experiment_data.h"
#include "platform/ui/string_table.h"

namespace ORV::Views {

namespace {

std::string Format(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

// Values are shown at single precision, as they were measured.
std::string FormatValue(const char* format, double value) { return Format(format, double(float(value))); }

bool IsStatistic(std::int32_t method) { return method >= CalculationData::kMean && method <= CalculationData::kSlope; }

// Columns of a statistic row.
enum : int { kComment = 0, kStart = 1, kEnd = 2, kDuration = 3, kCount = 4, kSd = 5, kSe = 6 };

}  // namespace

int DataSheetTable::FixedColumnCount() const { return static_cast<int>(DataSheetModel::FixedCaptions(method).size()); }

DataSheetModel::DataSheetModel(ExperimentData& experiment) : experiment_(experiment) {}

DataSheetModel::~DataSheetModel() = default;

std::string DataSheetModel::MethodCaption(std::int32_t method) {
  if (method < 0 || method >= kMethods) return {};
  return UI::LoadString(UI::kMeanValueString + std::uint32_t(method));
}

std::vector<std::string> DataSheetModel::FixedCaptions(std::int32_t method) {
  if (method == CalculationData::kVideoMeasurement) return {"Comment", "Time", "Measurement", "Camera"};
  std::vector<std::string> captions = {UI::LoadString(UI::kSheetCommentString), UI::LoadString(UI::kSheetStartString),
                                       UI::LoadString(UI::kSheetEndString), UI::LoadString(UI::kSheetDurationString),
                                       UI::LoadString(UI::kCountString)};
  if (method == CalculationData::kMean) {
    captions.push_back(UI::LoadString(UI::kSDString));
    captions.push_back(UI::LoadString(UI::kSEString));
  }
  return captions;
}

std::string DataSheetModel::TraceCaption(std::int32_t traceKind, std::int32_t zone) const {
  if (traceKind >= kFirstCustomTraceIdentity) {
    for (const auto& [identity, name] : experiment_.GetCustomTraces()) {
      if (identity == traceKind) return name;
    }
    return {};
  }
  if (traceKind < 0 || traceKind > kTracePuller) return {};
  const std::string name = UI::LoadString(UI::kNoneString + std::uint32_t(traceKind));
  if (zone == -1 || traceKind == 0 || traceKind > kTracePH) return name;
  return name + " ( " + std::to_string(zone) + " )";
}

const DataSheetTable* DataSheetModel::Table(std::int32_t method) const {
  const auto it = tables_.find(method);
  return it == tables_.end() ? nullptr : it->second.get();
}

DataSheetTable& DataSheetModel::TableFor(std::int32_t method) {
  auto& table = tables_[method];
  if (!table) {
    table = std::make_unique<DataSheetTable>();
    table->method = method;
    table->captions = FixedCaptions(method);
    order_.push_back(method);
  }
  return *table;
}

int DataSheetModel::MaxTraceColumns() const {
  int most = 0;
  for (const auto& [method, table] : tables_) most = std::max(most, table->TraceColumnCount());
  return most;
}

int DataSheetModel::AddMeasurementRow(std::int32_t method, std::int32_t traceKind, std::int32_t zone, double value,
                                      double start, double end, int row, std::string_view comment, std::int32_t count,
                                      double sd, double se) {
  if (method < 0 || method >= kMethods) return -1;
  DataSheetTable& table = TableFor(method);
  if (method == CalculationData::kVideoMeasurement) {
    table.rows.push_back(
        {std::string(comment), FormatTimeSecondsFraction(start), FormatValue("%.2f", value), std::to_string(row)});
    return row;
  }
  const std::int32_t key = zone * 100 + traceKind;
  auto column = table.columns.find(key);
  if (column == table.columns.end()) {
    column = table.columns.emplace(key, static_cast<int>(table.captions.size())).first;
    table.captions.push_back(TraceCaption(traceKind, zone));
    for (auto& cells : table.rows) cells.resize(table.captions.size());
  }
  if (row >= 0) {
    if (std::size_t(row) < table.rows.size())
      table.rows[std::size_t(row)][std::size_t(column->second)] = FormatValue("%.3f", value);
    return row;
  }
  std::vector<std::string> cells(table.captions.size());
  cells[kComment] = comment;
  cells[kStart] = FormatTimeSecondsFraction(start);
  cells[kEnd] = FormatTimeSecondsFraction(end);
  cells[kDuration] = Format("%.1f", end - start);
  cells[std::size_t(column->second)] = FormatValue("%.3f", value);
  if (count >= 0) cells[kCount] = std::to_string(count);
  if (method == CalculationData::kMean) {
    if (sd >= 0.0) cells[kSd] = Format("%.4f", sd);
    if (se >= 0.0) cells[kSe] = Format("%.4f", se);
  }
  table.rows.push_back(std::move(cells));
  return static_cast<int>(table.rows.size()) - 1;
}

int DataSheetModel::AddMeasurementRow(const CalculationData& r) {
  return AddMeasurementRow(r.kind, r.traceKind, r.zone, r.value, r.selectionStart, r.selectionEnd, r.group, r.comment,
                           r.count, r.sd, r.standardError);
}

void DataSheetModel::DestroyCameraTables() {
  tables_.clear();
  order_.clear();
}

void DataSheetModel::Refresh() {
  DestroyCameraTables();
  const std::vector<CalculationData> records =
      experiment_.Read([](const ExperimentContents& c) { return c.calculations; });
  // The row each statistic method opened last: its continuations fill it.
  std::map<std::int32_t, int> lastRow;
  for (CalculationData r : records) {
    if (IsStatistic(r.kind)) {
      if (r.IsGroupHead()) {
        lastRow[r.kind] = AddMeasurementRow(r);
        continue;
      }
      const auto opened = lastRow.find(r.kind);
      if (opened == lastRow.end()) continue;  // a cell without its row
      r.group = opened->second;
    }
    AddMeasurementRow(r);
  }
}

int DataSheetModel::AddCalculation(std::vector<CalculationData> records) {
  int row = -1;
  for (std::size_t i = 0; i < records.size(); ++i) {
    CalculationData& r = records[i];
    r.comment = CutCalculationComment(r.comment);
    if (r.kind == CalculationData::kVideoMeasurement) {
      experiment_.AddCalculationData(r);
      row = AddMeasurementRow(r);
      continue;
    }
    r.group = i == 0 ? CalculationData::kGroupHead : row;
    experiment_.AddCalculationData(r);
    const int shown = AddMeasurementRow(r);
    if (i == 0) row = shown;
  }
  return row;
}

void DataSheetModel::AddVideoMeasurements() {
  for (const CalculationData& r : experiment_.DataPad().TakeRows()) {
    experiment_.AddCalculationData(r);
    AddMeasurementRow(r);
  }
}

void DataSheetModel::SetComment(std::int32_t method, int row, std::string_view text) {
  const auto it = tables_.find(method);
  if (it == tables_.end() || row < 0 || std::size_t(row) >= it->second->rows.size()) return;
  it->second->rows[std::size_t(row)][kComment] = CutCalculationComment(text);
  experiment_.SetCalculationComment(method, row, text);
  experiment_.modified = true;
}

void DataSheetModel::DeleteRows(std::int32_t method, std::vector<int> rows) {
  const auto it = tables_.find(method);
  if (it == tables_.end()) return;
  DataSheetTable& table = *it->second;
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  const bool video = method == CalculationData::kVideoMeasurement;
  for (auto r = rows.rbegin(); r != rows.rend(); ++r) {
    const int n = *r;
    if (n < 0 || std::size_t(n) >= table.rows.size()) continue;
    experiment_.Update([&](ExperimentContents& c) {
      std::vector<CalculationData>& list = c.calculations;
      // The n-th record that opened a row of the table.
      int seen = 0;
      std::size_t at = 0;
      for (; at < list.size(); ++at) {
        const bool opens = list[at].kind == method && (video || list[at].IsGroupHead());
        if (opens && seen++ == n) break;
      }
      if (at == list.size()) return 0;
      std::size_t end = at + 1;
      while (end < list.size() && list[end].ContinuesRowOf(method)) ++end;
      list.erase(list.begin() + std::ptrdiff_t(at), list.begin() + std::ptrdiff_t(end));
      // The rows after the deleted one move up by one.
      if (!video) {
        for (std::size_t i = at; i < list.size(); ++i) {
          if (list[i].ContinuesRowOf(method) && list[i].group > n) --list[i].group;
        }
      }
      return 0;
    });
    table.rows.erase(table.rows.begin() + n);
  }
  experiment_.modified = true;
}

void DataSheetModel::Clear() {
  DestroyCameraTables();
  const bool had = experiment_.Update([](ExperimentContents& c) {
    const bool any = !c.calculations.empty();
    c.calculations.clear();
    return any;
  });
  if (had) experiment_.modified = true;
}

}  // namespace ORV::Views
