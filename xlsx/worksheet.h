#pragma once
// A worksheet, filled row by row and cell by cell. Nothing of the sheet is
// kept in memory: the part file "/xl/worksheets/sheetN.xml" is opened when the
// sheet is made, and every row and cell goes straight into it.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "xlsx/part_files.h"
#include "xlsx/xml_writer.h"

namespace Xlsx {

class CDrawing;

// Abstract base of the sheets of a workbook.
class CSheet {
 public:
  virtual ~CSheet() = default;
  virtual const XlsxTextRecord& GetTitle() const = 0;
};

// Width of the columns first..last (0-based, inclusive), in character widths.
struct ColumnWidth {
  std::uint32_t first = 0;
  std::uint32_t last = 0;
  float width = 0.0f;
};

// The sheet's limits: rows and cells beyond them are not written.
inline constexpr std::uint32_t kMaxRows = 1048576;
inline constexpr std::uint32_t kMaxColumns = 16384;

// "A1"-style reference of a 1-based row and a 0-based column
// (columns 0, 25, 26, 701, 702 are A, Z, AA, ZZ, AAA).
std::string CellReference(std::uint32_t row, std::uint32_t column);

class CWorksheet : public CSheet {
 public:
  // Registers and opens the sheet part and writes the sheet head. The sheet
  // refers to the drawing, the registry and the workbook's shared-string
  // table for its whole life.
  CWorksheet(std::uint64_t number, const std::vector<ColumnWidth>& columnWidths, const CDrawing& drawing,
             TempFileRegistry& registry, SharedStringTable& sharedStrings);
  ~CWorksheet() override;
  CWorksheet(const CWorksheet&) = delete;
  CWorksheet& operator=(const CWorksheet&) = delete;

  // Starts the next row (ending an open one); a height that is not a
  // positive number means the default height.
  void BeginRow(double height);
  // Cells go to the columns of the current row from A onwards. Style 0 is
  // the workbook's default format.
  void AddCell(std::int32_t value, std::uint64_t style);
  // Written as the shortest decimal that reads back to the same float; a
  // value that is not finite as the error cell "#NUM!".
  void AddCell(float value, std::uint64_t style);
  // Text is always a text cell, also when it begins with "=". An empty text
  // with style 0 writes nothing and only skips the column.
  void AddCell(std::string_view text, std::uint64_t style);
  // A formula cell; a leading "=" of the formula is dropped. The cell is
  // listed for the calculation chain.
  void AddFormula(std::string_view formula, std::uint64_t style);
  void EndRow();

  // Writes the sheet tail, closes the part and, when the sheet has a drawing
  // or comments, writes its relationships part. False when a part could not
  // be written completely, when rows or columns went beyond the sheet's
  // limits, or when the sheet was saved before.
  bool Save();

  const XlsxTextRecord& GetTitle() const override { return title_; }
  void SetTitle(const XlsxTextRecord& title) { title_ = title; }

  std::uint64_t GetNumber() const { return number_; }
  bool HasFormulas() const { return hasFormulas_; }
  // References of the formula cells, in the order they were written.
  const std::vector<std::string>& GetFormulaCells() const { return formulaCells_; }
  bool HasComments() const { return hasComments_; }
  // Set by whatever adds a comment to this sheet.
  void SetHasComments(bool hasComments) { hasComments_ = hasComments; }

 private:
  void Init(const std::vector<ColumnWidth>& columnWidths);
  // The reference of the next cell, or false when it lies beyond the limits.
  bool NextCell(std::string& reference);
  void BeginCell(const std::string& reference, std::uint64_t style);
  bool SaveRelationships(bool drawing);

  std::uint64_t number_;
  const CDrawing& drawing_;
  TempFileRegistry& registry_;
  SharedStringTable& sharedStrings_;
  std::unique_ptr<XmlWriter> writer_;
  XlsxTextRecord title_;
  std::vector<std::string> formulaCells_;
  bool hasFormulas_ = false;
  bool hasComments_ = false;
  bool saved_ = false;
  bool beyondLimits_ = false;
  std::uint32_t rowNumber_ = 0;
  // The used range: the last row and the number of columns that hold a
  // cell; the sheet's dimension is written over the place reserved for it
  // (dimensionEnd_ is where its first form ends) when the sheet is saved.
  std::uint32_t lastUsedRow_ = 0;
  std::uint32_t usedColumns_ = 0;
  std::uint64_t dimensionEnd_ = 0;
  bool rowOpen_ = false;
  std::uint32_t column_ = 0;
};

}  // namespace Xlsx
