#pragma once
// A chartsheet: a sheet without cells whose only content is its drawing,
// written as "/xl/chartsheets/sheetN.xml" with its relationships part.
#include <cstdint>

#include "xlsx/part_files.h"
#include "xlsx/worksheet.h"

namespace Xlsx {

class CDrawing;

class CChartsheet : public CSheet {
 public:
  // The number comes from the workbook's sheet counter, which worksheets
  // share; the drawing is the chartsheet's own, owned by the workbook.
  CChartsheet(std::uint64_t number, const CDrawing& drawing, TempFileRegistry& registry)
      : number_(number), drawing_(drawing), registry_(registry) {}

  const XlsxTextRecord& GetTitle() const override { return title_; }
  void SetTitle(const XlsxTextRecord& title) { title_ = title; }
  std::uint64_t GetNumber() const { return number_; }

  // Writes the relationships part, then the chartsheet part. False when a
  // part could not be written completely.
  bool Save();

 private:
  std::uint64_t number_;
  const CDrawing& drawing_;
  TempFileRegistry& registry_;
  XlsxTextRecord title_;
};

}  // namespace Xlsx
