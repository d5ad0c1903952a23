#include "xlsx/worksheet.h"

#include <algorithm>
#include <cmath>

#include "platform/os/number_text.h"
#include "xlsx/drawing.h"
#include "xlsx/namespaces.h"

namespace Xlsx {

std::string CellReference(std::uint32_t row, std::uint32_t column) {
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  char letters[8];
  char* p = letters + sizeof letters;
  *--p = kAlphabet[column % 26];
  for (std::uint32_t n = column / 26; n != 0; n = (n - 1) / 26) *--p = kAlphabet[(n - 1) % 26];
  std::string reference(p, letters + sizeof letters);
  reference += std::to_string(row);
  return reference;
}

namespace {

// The dimension element for a range; the widest range ("A1:XFD1048576")
// fixes the room reserved for it.
std::string DimensionElement(std::string_view range) { return "<dimension ref=\"" + std::string(range) + "\"/>"; }
const std::size_t kDimensionRoom = DimensionElement("A1:XFD1048576").size();

}  // namespace

CWorksheet::CWorksheet(std::uint64_t number, const std::vector<ColumnWidth>& columnWidths, const CDrawing& drawing,
                       TempFileRegistry& registry, SharedStringTable& sharedStrings)
    : number_(number), drawing_(drawing), registry_(registry), sharedStrings_(sharedStrings) {
  Init(columnWidths);
}

CWorksheet::~CWorksheet() = default;

void CWorksheet::Init(const std::vector<ColumnWidth>& columnWidths) {
  title_ = XlsxTextRecord("Sheet 1");
  hasFormulas_ = false;
  formulaCells_.clear();
  hasComments_ = false;
  rowNumber_ = 0;
  lastUsedRow_ = 0;
  usedColumns_ = 0;
  rowOpen_ = false;
  column_ = 0;

  writer_ = std::make_unique<XmlWriter>(
      registry_.RegisterPartFile("/xl/worksheets/sheet" + std::to_string(number_) + ".xml"));
  if (!writer_->IsOpen()) return;
  XmlWriter& w = *writer_;
  OpenTag(w, "worksheet",
          {{"xmlns", Ns::kSpreadsheetMain},
           {"xmlns:r", Ns::kDocumentRelationships},
           {"xmlns:mc", Ns::kMarkupCompatibility},
           {"mc:Ignorable", "x14ac"},
           {"xmlns:x14ac", Ns::kSpreadsheetAc}});
  // The used range is known only at the end: room for the widest is kept
  // here with white space after the element, and filled in by Save.
  WriteLeaf(w, "dimension", {{"ref", "A1"}});
  dimensionEnd_ = w.Position();
  w.Content(std::string(kDimensionRoom - DimensionElement("A1").size(), ' '));
  OpenTag(w, "sheetViews");
  WriteLeaf(w, "sheetView", {{"tabSelected", "0"}, {"workbookViewId", "0"}});
  w.End();
  WriteLeaf(w, "sheetFormatPr", {{"defaultRowHeight", "15"}, {"x14ac:dyDescent", "0.25"}});
  if (!columnWidths.empty()) {
    w.Tag("cols");
    for (const ColumnWidth& c : columnWidths) {
      if (!std::isfinite(c.width)) continue;  // no width to give; the columns keep the default
      w.BeginLeaf("col");
      w.Attr("min", std::uint64_t{c.first} + 1);
      w.Attr("max", std::uint64_t{c.last} + 1);
      w.Attr("width", c.width);
      w.EndLeaf();
    }
    w.End();
  }
  w.Tag("sheetData");
}

void CWorksheet::BeginRow(double height) {
  if (!writer_) return;
  EndRow();
  if (rowNumber_ >= kMaxRows) {
    beyondLimits_ = true;
    return;
  }
  ++rowNumber_;
  writer_->Tag("row");
  writer_->Attr("r", rowNumber_);
  writer_->AttrRaw("x14ac:dyDescent", "0.25");
  if (std::isfinite(height) && height > 0) {
    writer_->Attr("ht", height);
    writer_->AttrRaw("customHeight", "1");
  }
  column_ = 0;
  rowOpen_ = true;
}

void CWorksheet::EndRow() {
  if (!writer_ || !rowOpen_) return;
  writer_->End();
  rowOpen_ = false;
}

bool CWorksheet::NextCell(std::string& reference) {
  if (!writer_) return false;
  if (!rowOpen_) BeginRow(0.0);  // a cell needs a row
  if (!rowOpen_ || column_ >= kMaxColumns) {
    beyondLimits_ = true;
    return false;
  }
  reference = CellReference(rowNumber_, column_++);
  lastUsedRow_ = rowNumber_;
  usedColumns_ = std::max(usedColumns_, column_);
  return true;
}

void CWorksheet::BeginCell(const std::string& reference, std::uint64_t style) {
  writer_->Tag("c");
  writer_->AttrRaw("r", reference);
  if (style != 0) writer_->Attr("s", style);
}

void CWorksheet::AddCell(std::int32_t value, std::uint64_t style) {
  std::string reference;
  if (!NextCell(reference)) return;
  BeginCell(reference, style);
  writer_->TagOnlyContentRaw("v", std::to_string(value));
  writer_->End();
}

void CWorksheet::AddCell(float value, std::uint64_t style) {
  std::string reference;
  if (!NextCell(reference)) return;
  BeginCell(reference, style);
  if (std::isfinite(value)) {
    // The float's own shortest digits: its double value would carry the
    // single precision's noise (37.9 as 37.90000152587891).
    writer_->TagOnlyContentRaw("v", ORV::OS::FormatShortestFloat(value));
  } else {
    // A cell value must be a number; readers refuse "inf" and "nan".
    writer_->AttrRaw("t", "e");
    writer_->TagOnlyContentRaw("v", "#NUM!");
  }
  writer_->End();
}

void CWorksheet::AddCell(std::string_view text, std::uint64_t style) {
  std::string reference;
  if (!NextCell(reference)) return;
  if (text.empty()) {
    if (style == 0) return;  // the column stays empty
    BeginCell(reference, style);
    writer_->End();
    return;
  }
  auto it = sharedStrings_.find(text);
  if (it == sharedStrings_.end()) it = sharedStrings_.emplace(std::string(text), sharedStrings_.size()).first;
  BeginCell(reference, style);
  writer_->AttrRaw("t", "s");
  writer_->TagOnlyContent("v", it->second);
  writer_->End();
}

void CWorksheet::AddFormula(std::string_view formula, std::uint64_t style) {
  std::string reference;
  if (!NextCell(reference)) return;
  if (!formula.empty() && formula.front() == '=') formula.remove_prefix(1);
  BeginCell(reference, style);
  writer_->TagOnlyContent("f", formula);
  writer_->End();
  formulaCells_.push_back(std::move(reference));
  hasFormulas_ = true;
}

bool CWorksheet::Save() {
  if (saved_ || !writer_) return false;
  saved_ = true;
  if (!writer_->IsOpen()) {
    writer_.reset();
    return false;
  }
  EndRow();
  XmlWriter& w = *writer_;
  w.End();  // sheetData
  w.BeginLeaf("pageMargins");
  w.Attr("left", 0.7);
  w.Attr("right", 0.7);
  w.Attr("top", 0.75);
  w.Attr("bottom", 0.75);
  w.Attr("header", 0.3);
  w.Attr("footer", 0.3);
  w.EndLeaf();
  WriteLeaf(w, "pageSetup", {{"paperSize", "9"}, {"orientation", "portrait"}});
  const bool drawing = drawing_.HasItems();
  if (drawing) WriteLeaf(w, "drawing", {{"r:id", "rId1"}});
  if (hasComments_) WriteLeaf(w, "legacyDrawing", {{"r:id", drawing ? "rId2" : "rId1"}});
  w.End();  // worksheet
  const std::string used =
      lastUsedRow_ == 0 ? std::string("A1") : "A1:" + CellReference(lastUsedRow_, usedColumns_ - 1);
  std::string dimension = DimensionElement(used);
  dimension.resize(kDimensionRoom, ' ');
  bool ok = w.Patch(dimensionEnd_ - DimensionElement("A1").size(), dimension);
  ok = w.Close() && ok;
  writer_.reset();
  if (drawing || hasComments_) ok = SaveRelationships(drawing) && ok;
  return ok && !beyondLimits_;
}

bool CWorksheet::SaveRelationships(bool drawing) {
  const std::string n = std::to_string(number_);
  XmlWriter w(registry_.RegisterPartFile("/xl/worksheets/_rels/sheet" + n + ".xml.rels"));
  w.Tag("Relationships");
  w.AttrRaw("xmlns", Ns::kPackageRelationships);
  unsigned k = 1;
  auto relationship = [&](std::string_view type, const std::string& target) {
    w.BeginLeaf("Relationship");
    w.Attr("Id", "rId" + std::to_string(k++));
    w.Attr("Type", type);
    w.Attr("Target", target);
    w.EndLeaf();
  };
  // The drawing's own number: drawings are numbered apart from sheets.
  if (drawing) relationship(Ns::kRelDrawing, "../drawings/drawing" + std::to_string(drawing_.GetNumber()) + ".xml");
  if (hasComments_) {
    relationship(Ns::kRelVmlDrawing, "../drawings/vmlDrawing" + n + ".vml");
    relationship(Ns::kRelComments, "../comments" + n + ".xml");
  }
  return w.Close();
}

}  // namespace Xlsx
