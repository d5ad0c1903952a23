#pragma once
// Builders of the workbook records that no operation of the writer adds:
// comments, charts, chartsheets, pictures and drawing items.
#include <memory>
#include <string>

#include "xlsx/workbook.h"

namespace XlsxTest {

inline Xlsx::CommentRecord& AddComment(Xlsx::CWorkbook& book, Xlsx::CWorksheet& sheet, std::uint32_t row,
                                       std::uint32_t column, const std::string& text) {
  sheet.SetHasComments(true);
  Xlsx::CommentRecord record;
  record.sheetNumber = sheet.GetNumber();
  record.row = row;
  record.column = column;
  record.fillColour = "#ffffe1";
  record.runs.push_back({Xlsx::StyleFont(), Xlsx::XlsxTextRecord(text)});
  book.Comments().push_back(record);
  return book.Comments().back();
}

// A chart numbered after those already made, with distinct axis ids.
inline Xlsx::CChart& AddChart(Xlsx::CWorkbook& book) {
  auto& charts = book.Charts();
  charts.push_back(std::make_unique<Xlsx::CChart>(charts.size() + 1, book.Registry()));
  Xlsx::CChart& chart = *charts.back();
  chart.primaryX.id = 101;
  chart.primaryY.id = 102;
  chart.secondaryX.id = 103;
  chart.secondaryY.id = 104;
  return chart;
}

inline Xlsx::ChartSeries Series(const Xlsx::CSheet& sheet, std::uint32_t valueColumn, const std::string& title) {
  Xlsx::ChartSeries series;
  series.categorySheet = &sheet;
  series.categoryRange = {2, 0, 6, 0};
  series.valueSheet = &sheet;
  series.valueRange = {2, valueColumn, 6, valueColumn};
  series.title = Xlsx::XlsxTextRecord(title);
  series.colour = "1F77B4";
  return series;
}

// A chartsheet with its own drawing, showing `chart` at the absolute anchor.
inline Xlsx::CChartsheet& AddChartsheet(Xlsx::CWorkbook& book, const std::string& title, const Xlsx::CChart& chart) {
  Xlsx::CDrawing& drawing = book.CreateDrawing();
  Xlsx::DrawingItem item;
  item.chart = &chart;
  item.kind = Xlsx::kChartAbsolute;
  drawing.items.push_back(item);
  auto& sheets = book.Chartsheets();
  sheets.push_back(std::make_unique<Xlsx::CChartsheet>(book.NewSheetNumber(), drawing, book.Registry()));
  sheets.back()->SetTitle(Xlsx::XlsxTextRecord(title));
  return *sheets.back();
}

}  // namespace XlsxTest
