#pragma once
// The data sheet's exports: one table as a semicolon-separated text file,
// the whole sheet as a workbook. Both write the texts the sheet shows, and
// both replace the target only with a complete file.
#include <cstdint>
#include <string>
#include <string_view>

#include "views/csv_field.h"
#include "views/data_sheet/data_sheet_model.h"

namespace ORV::Views {

// A table as CSV: a line of the column captions, then one line per row;
// every field followed by ";", every line ended by CR LF; UTF-8 without a
// byte-order mark.
std::string CsvText(const DataSheetTable& table);
// Writes the table of a method to `path`. False with the user's message in
// `error` (also written to the event log) when the sheet has no such table
// or the file cannot be written.
bool ExportToCsv(const DataSheetModel& sheet, const std::string& path, std::int32_t method, std::string& error);

// The path a workbook is saved to: as chosen when it holds ".xlsx" in any
// case, else with ".xlsx" appended.
std::string WorkbookPath(const std::string& chosen);
// A sheet title as spreadsheet programs accept it: each of * / : ? [ \ ]
// becomes "_", and the title is cut to 31 characters.
std::string SheetName(std::string_view title);
// Writes the whole sheet as a workbook of one sheet "Orvanta": an empty row,
// then per table in the sheet's order its caption (bold), its column
// headings (italic, underlined, centred), its rows and two empty rows.
// Comments are text cells whatever they begin with; times are right-aligned
// text as shown; other cells are numbers, and an empty cell writes nothing.
// False with the user's message in `error` when the workbook cannot be
// saved (an existing file then stays as it was).
bool ExportToExcel(const DataSheetModel& sheet, const std::string& path, std::string& error);

}  // namespace ORV::Views
