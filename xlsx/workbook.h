#pragma once
// The workbook: one .xlsx file. It owns the sheets, the shared-string table,
// the style registry and a private temporary folder in which every part of
// the package is written as a file; Save packs those files into the archive
// and removes them again.
//
// Calling order: constructor; any number of AddStyle and AddSheet calls, with
// rows written into the sheets; Save, once; destructor.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "xlsx/chart.h"
#include "xlsx/chartsheet.h"
#include "xlsx/comments.h"
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
  // before (the sheets' parts end with the first call); errno then says why
  // a write failed.
  bool Save(const std::string& fileName);

  // The workbook's records beside its worksheets: cell comments, charts,
  // chartsheets, pictures and the drawings that anchor charts and pictures
  // on sheets. Save writes the parts from them. Whoever fills them keeps
  // them consistent: a chart is numbered from 1 in creation order and its axes get distinct
  // ids other than 0, a chartsheet takes its number from NewSheetNumber and
  // gets a drawing of its own from CreateDrawing, and a picture's media file
  // is part of the package. Save itself sets each worksheet's has-comments
  // flag from the comment records and writes no comments for a number that
  // is not a worksheet's.
  std::vector<CommentRecord>& Comments() { return comments_; }
  std::vector<std::unique_ptr<CChart>>& Charts() { return charts_; }
  std::vector<std::unique_ptr<CChartsheet>>& Chartsheets() { return chartsheets_; }
  std::vector<std::unique_ptr<WorkbookImage>>& Images() { return images_; }
  const std::vector<std::unique_ptr<CDrawing>>& Drawings() const { return drawings_; }
  // A new drawing, numbered after those already made (one per sheet).
  CDrawing& CreateDrawing();
  // Takes the next number from the counter that worksheets and chartsheets share.
  std::uint64_t NewSheetNumber() { return nextSheetNumber_++; }
  // Where charts and chartsheets register their part files.
  TempFileRegistry& Registry() { return registry_; }

 private:
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
  // Sets each worksheet's has-comments flag from the comment records.
  void MatchCommentFlags();
  bool SaveCommentParts();
  bool SaveSheetComments(const std::vector<std::reference_wrapper<const CommentRecord>>& group);
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
  // Note shapes are numbered over the whole workbook and all its saves.
  std::uint64_t noteShapeCounter_ = 0;
  std::vector<CommentRecord> comments_;
  std::vector<std::unique_ptr<WorkbookImage>> images_;
  // Sheets refer to drawings, and drawings to charts and images: the
  // referring objects are declared later, so they go first.
  std::vector<std::unique_ptr<CChart>> charts_;
  std::vector<std::unique_ptr<CDrawing>> drawings_;
  std::vector<std::unique_ptr<CWorksheet>> sheets_;
  std::vector<std::unique_ptr<CChartsheet>> chartsheets_;
};

}  // namespace Xlsx
