// The parts of the package that the workbook itself writes: the content-type
// map, the package relationships, the document properties, the workbook part
// with its relationships, the shared strings and the calculation chain.
#include <algorithm>
#include <ctime>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "xlsx/namespaces.h"
#include "xlsx/workbook.h"
#include "xlsx/xml_writer.h"

namespace Xlsx {

namespace {

// The current UTC time to the second, as "2024-03-05T14:07:09Z".
std::string UtcTimestamp() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  ::gmtime_r(&now, &utc);
  char text[32];
  const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return std::string(text, n);
}

void Relationship(XmlWriter& w, std::string_view id, std::string_view type, std::string_view target) {
  w.BeginLeaf("Relationship");
  w.Attr("Id", id);
  w.AttrRaw("Type", type);
  w.Attr("Target", target);
  w.EndLeaf();
}

std::string RelationshipId(std::uint64_t n) { return "rId" + std::to_string(n); }

void Default(XmlWriter& w, std::string_view extension, std::string_view contentType) {
  WriteLeaf(w, "Default", {{"Extension", extension}, {"ContentType", contentType}});
}

void Override(XmlWriter& w, std::string_view partName, std::string_view contentType) {
  w.BeginLeaf("Override");
  w.Attr("PartName", partName);
  w.AttrRaw("ContentType", contentType);
  w.EndLeaf();
}

// An element holding text, written with an opening and a closing tag also
// when the text is empty.
void TextElement(XmlWriter& w, std::string_view name, std::string_view text) {
  w.Tag(name);
  w.Content(text);
  w.End();
}

bool IsXmlSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

}  // namespace

bool CWorkbook::HasFormulas() const {
  for (const auto& sheet : sheets_) {
    if (sheet->HasFormulas()) return true;
  }
  return false;
}

bool CWorkbook::SaveCore() {
  const std::string stamp = UtcTimestamp();
  XmlWriter core(registry_.RegisterPartFile("/docProps/core.xml"));
  OpenTag(core, "cp:coreProperties",
          {{"xmlns:cp", Ns::kCoreProperties},
           {"xmlns:dc", Ns::kDublinCore},
           {"xmlns:dcterms", Ns::kDublinCoreTerms},
           {"xmlns:dcmitype", Ns::kDublinCoreTypes},
           {"xmlns:xsi", Ns::kSchemaInstance}});
  TextElement(core, "dc:creator", author_.utf8);
  for (const std::string_view element : {"dcterms:created", "dcterms:modified"}) {
    OpenTag(core, element, {{"xsi:type", "dcterms:W3CDTF"}});
    core.Content(stamp);
    core.End();
  }
  if (!core.Close()) return false;

  XmlWriter rels(registry_.RegisterPartFile("/_rels/.rels"));
  OpenTag(rels, "Relationships", {{"xmlns", Ns::kPackageRelationships}});
  Relationship(rels, "rId3", Ns::kRelExtendedProperties, "docProps/app.xml");
  Relationship(rels, "rId2", Ns::kRelCoreProperties, "docProps/core.xml");
  Relationship(rels, "rId1", Ns::kRelOfficeDocument, "xl/workbook.xml");
  return rels.Close();
}

bool CWorkbook::SaveApp() {
  XmlWriter w(registry_.RegisterPartFile("/docProps/app.xml"));
  OpenTag(w, "Properties", {{"xmlns", Ns::kExtendedProperties}, {"xmlns:vt", Ns::kDocPropsVTypes}});
  w.TagOnlyContentRaw("Application", "Microsoft Excel");
  w.TagOnlyContent("DocSecurity", std::uint64_t{0});
  w.TagOnlyContentRaw("ScaleCrop", "false");

  const std::uint64_t worksheets = sheets_.size();
  const std::uint64_t chartsheets = chartsheets_.size();
  w.Tag("HeadingPairs");
  OpenTag(w, "vt:vector", {{"size", chartsheets != 0 ? "4" : "2"}, {"baseType", "variant"}});
  const auto pair = [&w](std::string_view heading, std::uint64_t count) {
    w.Tag("vt:variant");
    w.TagOnlyContentRaw("vt:lpstr", heading);
    w.End();
    w.Tag("vt:variant");
    w.TagOnlyContent("vt:i4", count);
    w.End();
  };
  pair("Worksheets", worksheets);
  if (chartsheets != 0) pair("Diagramms", chartsheets);
  w.End();  // vt:vector
  w.End();  // HeadingPairs

  w.Tag("TitlesOfParts");
  w.Tag("vt:vector");
  w.Attr("size", worksheets + chartsheets);
  w.AttrRaw("baseType", "lpstr");
  for (const auto& sheet : sheets_) w.TagOnlyContent("vt:lpstr", sheet->GetTitle().utf8);
  for (const auto& sheet : chartsheets_) w.TagOnlyContent("vt:lpstr", sheet->GetTitle().utf8);
  w.End();  // vt:vector
  w.End();  // TitlesOfParts

  TextElement(w, "Company", {});
  w.TagOnlyContentRaw("LinksUpToDate", "false");
  w.TagOnlyContentRaw("SharedDoc", "false");
  w.TagOnlyContentRaw("HyperlinksChanged", "false");
  w.TagOnlyContentRaw("AppVersion", "14.03");
  return w.Close();
}

bool CWorkbook::SaveContentTypes() {
  static constexpr std::string_view kType = "application/vnd.openxmlformats-officedocument.";
  const auto type = [](std::string_view kind) { return std::string(kType) + std::string(kind); };

  XmlWriter w(registry_.RegisterPartFile("/[Content_Types].xml"));
  OpenTag(w, "Types", {{"xmlns", Ns::kContentTypes}});
  Default(w, "rels", "application/vnd.openxmlformats-package.relationships+xml");
  Default(w, "xml", "application/xml");
  static constexpr std::pair<std::string_view, std::string_view> kImageTypes[] = {
      {"gif", "image/gif"}, {"jpg", "image/jpeg"}, {"jpeg", "image/jpeg"},
      {"png", "image/png"}, {"tif", "image/tiff"}, {"tiff", "image/tiff"}};
  for (std::uint32_t code = 1; code <= std::size(kImageTypes); ++code) {
    if (std::any_of(images_.begin(), images_.end(), [code](const auto& image) { return image->typeCode == code; }))
      Default(w, kImageTypes[code - 1].first, kImageTypes[code - 1].second);
  }
  Override(w, "/xl/workbook.xml", type("spreadsheetml.sheet.main+xml"));
  for (const auto& sheet : sheets_)
    Override(w, "/xl/worksheets/sheet" + std::to_string(sheet->GetNumber()) + ".xml",
             type("spreadsheetml.worksheet+xml"));
  // The calculation chain is written while this map is still open, so that
  // it follows the map in the package.
  if (HasFormulas()) {
    Override(w, "/xl/calcChain.xml", type("spreadsheetml.calcChain+xml"));
    if (!SaveCalcChain()) {
      w.Close();
      return false;
    }
  }
  for (const auto& sheet : chartsheets_)
    Override(w, "/xl/chartsheets/sheet" + std::to_string(sheet->GetNumber()) + ".xml",
             type("spreadsheetml.chartsheet+xml"));
  Override(w, "/xl/theme/theme1.xml", type("theme+xml"));
  Override(w, "/xl/styles.xml", type("spreadsheetml.styles+xml"));
  if (!sharedStrings_.empty()) Override(w, "/xl/sharedStrings.xml", type("spreadsheetml.sharedStrings+xml"));
  // Exactly the parts the drawings, charts and comment writers make.
  for (const auto& drawing : drawings_) {
    if (drawing->HasItems())
      Override(w, "/xl/drawings/drawing" + std::to_string(drawing->GetNumber()) + ".xml", type("drawing+xml"));
  }
  for (const auto& chart : charts_)
    Override(w, "/xl/charts/chart" + std::to_string(chart->GetNumber()) + ".xml", type("drawingml.chart+xml"));
  if (!comments_.empty()) {
    Default(w, "vml", type("vmlDrawing"));
    for (const auto& sheet : sheets_) {
      if (sheet->HasComments())
        Override(w, "/xl/comments" + std::to_string(sheet->GetNumber()) + ".xml", type("spreadsheetml.comments+xml"));
    }
  }
  Override(w, "/docProps/core.xml", "application/vnd.openxmlformats-package.core-properties+xml");
  Override(w, "/docProps/app.xml", type("extended-properties+xml"));
  return w.Close();
}

bool CWorkbook::SaveCalcChain() {
  XmlWriter w(registry_.RegisterPartFile("/xl/calcChain.xml"));
  OpenTag(w, "calcChain", {{"xmlns", Ns::kSpreadsheetMain}});
  for (const auto& sheet : sheets_) {
    bool first = true;
    for (const std::string& reference : sheet->GetFormulaCells()) {
      w.BeginLeaf("c");
      w.Attr("r", reference);
      if (first) w.Attr("i", sheet->GetNumber());
      first = false;
      w.EndLeaf();
    }
  }
  return w.Close();
}

bool CWorkbook::SaveSharedStrings() {
  if (sharedStrings_.empty()) return true;  // no part at all
  // In order of first use, which is the order of the indices.
  std::vector<std::string_view> texts(sharedStrings_.size());
  for (const auto& [text, index] : sharedStrings_) {
    if (index < texts.size()) texts[index] = text;
  }
  XmlWriter w(registry_.RegisterPartFile("/xl/sharedStrings.xml"));
  OpenTag(w, "sst", {{"xmlns", Ns::kSpreadsheetMain}});
  w.Attr("count", std::uint64_t{texts.size()});
  w.Attr("uniqueCount", std::uint64_t{texts.size()});
  for (const std::string_view text : texts) {
    w.Tag("si");
    w.Tag("t");
    // Readers drop white space at either end unless told to keep it.
    if (!text.empty() && (IsXmlSpace(text.front()) || IsXmlSpace(text.back()))) w.AttrRaw("xml:space", "preserve");
    w.Content(text);
    w.End();  // t
    w.End();  // si
  }
  return w.Close();
}

bool CWorkbook::SaveWorkbook() {
  XmlWriter rels(registry_.RegisterPartFile("/xl/_rels/workbook.xml.rels"));
  OpenTag(rels, "Relationships", {{"xmlns", Ns::kPackageRelationships}});
  for (const auto& sheet : sheets_) {
    const std::uint64_t n = sheet->GetNumber();
    Relationship(rels, RelationshipId(n), Ns::kRelWorksheet, "worksheets/sheet" + std::to_string(n) + ".xml");
  }
  for (const auto& sheet : chartsheets_) {
    const std::uint64_t n = sheet->GetNumber();
    Relationship(rels, RelationshipId(n), Ns::kRelChartsheet, "chartsheets/sheet" + std::to_string(n) + ".xml");
  }
  std::uint64_t k = nextSheetNumber_;
  if (HasFormulas()) Relationship(rels, RelationshipId(k++), Ns::kRelCalcChain, "calcChain.xml");
  if (!sharedStrings_.empty()) Relationship(rels, RelationshipId(k++), Ns::kRelSharedStrings, "sharedStrings.xml");
  Relationship(rels, RelationshipId(k), Ns::kRelStyles, "styles.xml");
  Relationship(rels, RelationshipId(k + 1), Ns::kRelTheme, "theme/theme1.xml");
  if (!rels.Close()) return false;

  XmlWriter w(registry_.RegisterPartFile("/xl/workbook.xml"));
  OpenTag(w, "workbook", {{"xmlns", Ns::kSpreadsheetMain}, {"xmlns:r", Ns::kDocumentRelationships}});
  WriteLeaf(w, "fileVersion", {{"appName", "xl"}, {"lastEdited", "5"}, {"lowestEdited", "5"}, {"rupBuild", "9303"}});
  WriteLeaf(w, "workbookPr", {{"codeName", "ThisWorkbook"}, {"defaultThemeVersion", "124226"}});
  w.Tag("bookViews");
  w.BeginLeaf("workbookView");
  for (const auto& [name, value] :
       {RawAttribute{"xWindow", "270"}, {"yWindow", "630"}, {"windowWidth", "24615"}, {"windowHeight", "11445"}})
    w.AttrRaw(name, value);
  w.Attr("activeTab", activeSheet_ < sheets_.size() ? activeSheet_ : std::uint64_t{0});
  w.EndLeaf();
  w.End();  // bookViews
  if (sheets_.empty() && chartsheets_.empty()) {
    w.Close();
    return false;  // a workbook needs at least one sheet
  }
  // In number order, worksheets and chartsheets mixed as they were made.
  w.Tag("sheets");
  for (std::uint64_t n = 1; n < nextSheetNumber_; ++n) {
    const CSheet* sheet = nullptr;
    for (const auto& s : sheets_) {
      if (s->GetNumber() == n) sheet = s.get();
    }
    for (const auto& s : chartsheets_) {
      if (!sheet && s->GetNumber() == n) sheet = s.get();
    }
    if (!sheet) continue;
    w.BeginLeaf("sheet");
    w.Attr("name", sheet->GetTitle().utf8);
    w.Attr("sheetId", n);
    w.Attr("r:id", RelationshipId(n));
    w.EndLeaf();
  }
  w.End();  // sheets
  WriteLeaf(w, "calcPr", {{"calcId", "124519"}});
  return w.Close();
}

}  // namespace Xlsx
