#include "xlsx/workbook.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "platform/os/file_replace.h"
#include "platform/os/folders.h"
#include "xlsx/theme.h"
#include "xlsx/zip_packager.h"

namespace Xlsx {

namespace fs = std::filesystem;

CWorkbook::CWorkbook(const XlsxTextRecord& author) : author_(author) { styles_.AddWorkbookDefaults(); }

CWorkbook::~CWorkbook() {
  sheets_.clear();
  chartsheets_.clear();
  charts_.clear();
  drawings_.clear();
  registry_.RemoveAll();
}

CDrawing& CWorkbook::CreateDrawing() {
  drawings_.push_back(std::make_unique<CDrawing>(drawings_.size() + 1, registry_));
  return *drawings_.back();
}

CWorksheet& CWorkbook::AddSheet(const XlsxTextRecord& title, const std::vector<ColumnWidth>& columnWidths) {
  const std::uint64_t number = nextSheetNumber_++;
  const CDrawing& drawing = CreateDrawing();
  return AppendSheet(std::make_unique<CWorksheet>(number, columnWidths, drawing, registry_, sharedStrings_), title);
}

CWorksheet& CWorkbook::AppendSheet(std::unique_ptr<CWorksheet> sheet, const XlsxTextRecord& title) {
  // Sheet names must differ within a workbook, so untitled sheets are told
  // apart by their numbers.
  if (!title.IsEmpty())
    sheet->SetTitle(title);
  else
    sheet->SetTitle(XlsxTextRecord("Sheet " + std::to_string(sheet->GetNumber())));
  sheets_.push_back(std::move(sheet));
  return *sheets_.back();
}

std::uint64_t CWorkbook::AddStyle(Style& style) { return styles_.AddStyle(style); }

bool CWorkbook::Save(const std::string& fileName) {
  if (saveCalled_) return false;
  saveCalled_ = true;
  const bool saved = SaveParts() && ReplaceWithArchive(fileName);
  // The sheets' parts are ended, so a failed save cannot be repeated: the
  // part files go at once. The reason of a failure (errno) stays for the
  // caller's message.
  const int error = errno;
  registry_.RemoveAll();
  if (!saved) errno = error;
  return saved;
}

bool CWorkbook::SaveParts() {
  MatchCommentFlags();
  if (!SaveCore() || !SaveApp() || !SaveContentTypes() || !SaveTheme(registry_) || !SaveCommentParts() ||
      !SaveSharedStrings() || !SaveStyles(registry_, styles_) || !SaveWorkbook())
    return false;
  for (const auto& sheet : sheets_) {
    if (!sheet->Save()) return false;
  }
  for (const auto& chartsheet : chartsheets_) {
    if (!chartsheet->Save()) return false;
  }
  for (const auto& chart : charts_) {
    if (!chart->Save()) return false;
  }
  for (const auto& drawing : drawings_) {
    if (!drawing->Save()) return false;
  }
  return true;
}

bool CWorkbook::AddPartsToZip(const std::string& archivePath) {
  ZipHandle* archive = ZipWriter::Create(archivePath);
  if (!archive) return false;
  bool ok = true;
  for (const std::string& name : registry_.Files()) {
    // The entry is the part name without its leading "/".
    if (ZipWriter::AddFile(archive, name.substr(1), registry_.Root() + name) != kZipOk) {
      ok = false;
      break;
    }
  }
  // Closing writes the central directory: the archive is complete only
  // when that succeeds too.
  if (ZipWriter::Close(archive) != kZipOk) ok = false;
  return ok;
}

bool CWorkbook::ReplaceWithArchive(const std::string& fileName) {
  ORV::OS::FileReplacement replacement(fileName);
  if (!replacement.IsOpen()) return false;  // no such folder, or not writable
  // The archive is written by name into the temporary file.
  return AddPartsToZip(replacement.TempPath()) && replacement.Commit();
}

}  // namespace Xlsx
