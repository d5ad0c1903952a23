#pragma once
// The workbook: one .xlsx file. It owns the sheets, the shared-string table,
// the style registry and a private temporary folder in which every part of
// the package is written as a file; Save packs those files into the archive
// and removes them again.
//
// Calling order: constructor; any number of AddStyle and AddSheet calls, with
// rows written into the sheets; Save, once; destructor.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "xlsx/drawing.h"
#include "xlsx/part_files.h"
#include "xlsx/styles.h"
#include "xlsx/worksheet.h"

namespace Xlsx {

struct ZipHandle;
class XmlWriter;

class CWorkbook {
 public:
  // Registers the two styles every workbook starts with (indices 0 and 1).
  explicit CWorkbook(const XlsxTextRecord& author);
  // Deletes the sheets, and every temporary file and folder still there.
  virtual ~CWorkbook();
  CWorkbook(const CWorkbook&) = delete;
  CWorkbook& operator=(const CWorkbook&) = delete;

  // A new sheet, owned by the workbook, numbered 1, 2, 3 ... in the order
  // of the calls. A title with empty UTF-8 text gives "Sheet " and the
  // sheet's number. The column widths are handed to the sheet unchanged.
  CWorksheet& AddSheet(const XlsxTextRecord& title, const std::vector<ColumnWidth>& columnWidths);

  // Registers a cell format and returns the style index the sheets' cells
  // use (Style::numberFormat.id is set when the format gets a new id).
  std::uint64_t AddStyle(Style& style);

  // Writes every part, packs the parts into the archive `fileName` and
  // removes the temporary files. The archive is built as a temporary file
  // in the target's folder, flushed to disk, and renamed over the target
  // only when complete: whatever fails, an existing file of that name stays
  // as it was and no temporary file remains. False when the workbook has no
  // sheet, a part or the archive could not be written completely, the
  // target's folder does not exist or cannot be written, or Save was called
  // before (the sheets' parts end with the first call).
  bool Save(const std::string& fileName);

 private:
  CDrawing& CreateDrawing();
  CWorksheet& AppendSheet(std::unique_ptr<CWorksheet> sheet, const XlsxTextRecord& title);
  // The part writers, in the order of the package; each returns false when
  // its part could not be written completely.
  bool SaveParts();
  bool SaveCore();
  bool SaveApp();
  bool SaveContentTypes();
  bool SaveCalcChain();
  bool SaveSharedStrings();
  bool SaveWorkbook();
  bool HasFormulas() const;
  // Packs the registered parts into the archive at `archivePath`.
  bool AddPartsToZip(const std::string& archivePath);
  // Builds the archive next to `fileName` and renames it over the target.
  bool ReplaceWithArchive(const std::string& fileName);

  TempFileRegistry registry_;
  SharedStringTable sharedStrings_;
  StyleRegistry styles_;
  XlsxTextRecord author_;
  std::uint64_t nextSheetNumber_ = 1;
  // 0-based index of the sheet shown first.
  std::uint64_t activeSheet_ = 0;
  bool saveCalled_ = false;
  // A sheet refers to its drawing, so the sheets go first.
  std::vector<std::unique_ptr<CDrawing>> drawings_;
  std::vector<std::unique_ptr<CWorksheet>> sheets_;
};

}  // namespace Xlsx
