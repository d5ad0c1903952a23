#include "views/data_sheet/data_sheet_export.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>

#include "core/base/event_log.h"
#include "core/experiment/session_records.h"
#include "platform/os/file_io.h"
#include "platform/os/file_replace.h"
#include "platform/os/number_text.h"
#include "xlsx/workbook.h"

namespace ORV::Views {

namespace {

// Cells of the workbook: an integer from its leading digits, a number from
// the text (locale-independent), nothing for an empty text.
void AddNumber(Xlsx::CWorksheet& sheet, const std::string& text) {
  if (text.empty()) {
    sheet.AddCell(std::string_view(), 0);  // skips the column
    return;
  }
  sheet.AddCell(static_cast<float>(OS::LeadingDouble(text)), 0);
}

void AddInteger(Xlsx::CWorksheet& sheet, const std::string& text) {
  if (text.empty()) {
    sheet.AddCell(std::string_view(), 0);
    return;
  }
  sheet.AddCell(static_cast<std::int32_t>(OS::LeadingInt(text)), 0);
}

}  // namespace

std::string CsvText(const DataSheetTable& table) {
  std::string out;
  auto line = [&out](const std::vector<std::string>& fields) {
    for (const std::string& f : fields) out += CsvField(f) + ";";
    out += "\r\n";
  };
  line(table.captions);
  for (const auto& row : table.rows) line(row);
  return out;
}

bool ExportToCsv(const DataSheetModel& sheet, const std::string& path, std::int32_t method, std::string& error) {
  const DataSheetTable* table = sheet.Table(method);
  if (table == nullptr) {
    error = "The data sheet has no table \"" + DataSheetModel::MethodCaption(method) + "\" to export.";
    return false;
  }
  if (!OS::AtomicWriteFile(path, CsvText(*table))) {
    const std::string reason = OS::WriteErrorText(errno);
    LogError("Unable to save analysis data to CSV file '" + path + "' (save file failed): " + reason);
    error = "Unable to save analysis data to CSV file '" + path + "': " + reason + ".";
    return false;
  }
  return true;
}

std::string WorkbookPath(const std::string& chosen) {
  std::string lower = chosen;
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  return lower.find(".xlsx") != std::string::npos ? chosen : chosen + ".xlsx";
}

std::string SheetName(std::string_view title) {
  std::string name(title);
  for (char& c : name) {
    if (std::string_view("*/:?[\\]").find(c) != std::string_view::npos) c = '_';
  }
  // Cut at 31 characters, not inside one.
  std::size_t characters = 0, at = 0;
  for (; at < name.size(); ++at) {
    if ((static_cast<unsigned char>(name[at]) & 0xC0) != 0x80 && characters++ == 31) break;
  }
  name.resize(at);
  return name;
}

bool ExportToExcel(const DataSheetModel& sheet, const std::string& path, std::string& error) {
  Xlsx::CWorkbook book(Xlsx::XlsxTextRecord(std::string_view("ORV")));
  const std::uint32_t traceColumns = static_cast<std::uint32_t>(sheet.MaxTraceColumns());
  // Comments 50 wide, the fixed columns 20, the trace columns 30. The ranges
  // must not overlap: spreadsheet programs refuse or "repair" such a file.
  Xlsx::CWorksheet& out = book.AddSheet(Xlsx::XlsxTextRecord(std::string_view(SheetName("Orvanta"))),
                                        {{0, 0, 50.0f}, {1, 4, 20.0f}, {5, traceColumns + 7, 30.0f}});
  Xlsx::Style heading;
  heading.font.attributes = Xlsx::kFontBold;
  Xlsx::Style columnHeading;
  columnHeading.font.attributes = Xlsx::kFontItalic | Xlsx::kFontUnderline;
  columnHeading.alignment.horizontal = 2;
  Xlsx::Style plain;
  Xlsx::Style time;
  time.alignment.horizontal = 3;
  const std::uint64_t headingStyle = book.AddStyle(heading);
  const std::uint64_t columnHeadingStyle = book.AddStyle(columnHeading);
  book.AddStyle(plain);
  const std::uint64_t timeStyle = book.AddStyle(time);

  auto emptyRow = [&out] {
    out.BeginRow(0.0);
    out.EndRow();
  };
  // A time as shown, right-aligned ("05.25", "01:05.25"); an empty one skips
  // the column.
  auto addTime = [&](const std::string& text) { out.AddCell(text, text.empty() ? 0 : timeStyle); };

  emptyRow();
  for (const std::int32_t method : sheet.MethodOrder()) {
    const DataSheetTable* table = sheet.Table(method);
    if (table == nullptr) continue;
    out.BeginRow(0.0);
    out.AddCell(DataSheetModel::MethodCaption(method), headingStyle);
    out.EndRow();
    out.BeginRow(0.0);
    for (const std::string& caption : table->captions) out.AddCell(caption, columnHeadingStyle);
    out.EndRow();
    for (const auto& row : table->rows) {
      out.BeginRow(0.0);
      out.AddCell(row[0], 0);
      addTime(row[1]);
      if (method == CalculationData::kVideoMeasurement) {
        AddNumber(out, row[2]);
        AddInteger(out, row[3]);
      } else {
        addTime(row[2]);
        for (std::size_t c = 3; c < row.size(); ++c) AddNumber(out, row[c]);
      }
      out.EndRow();
    }
    emptyRow();
    emptyRow();
  }
  if (!book.Save(path)) {
    const std::string reason = OS::WriteErrorText(errno);
    LogError("Unable to save the data sheet to the workbook '" + path + "': " + reason);
    error = "Unable to save the data sheet to '" + path + "': " + reason + ".";
    return false;
  }
  return true;
}

}  // namespace ORV::Views
