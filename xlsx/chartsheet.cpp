#include "xlsx/chartsheet.h"

#include "xlsx/drawing.h"
#include "xlsx/namespaces.h"
#include "xlsx/xml_writer.h"

namespace Xlsx {

bool CChartsheet::Save() {
  const std::string n = std::to_string(number_);
  XmlWriter rels(registry_.RegisterPartFile("/xl/chartsheets/_rels/sheet" + n + ".xml.rels"));
  OpenTag(rels, "Relationships", {{"xmlns", Ns::kPackageRelationships}});
  rels.BeginLeaf("Relationship");
  rels.AttrRaw("Id", "rId1");
  rels.AttrRaw("Type", Ns::kRelDrawing);
  // The drawing's own number, which need not be the sheet's.
  rels.Attr("Target", "../drawings/drawing" + std::to_string(drawing_.GetNumber()) + ".xml");
  rels.EndLeaf();
  bool ok = rels.Close();

  XmlWriter w(registry_.RegisterPartFile("/xl/chartsheets/sheet" + n + ".xml"));
  OpenTag(w, "chartsheet", {{"xmlns", Ns::kSpreadsheetMain}, {"xmlns:r", Ns::kDocumentRelationships}});
  WriteLeaf(w, "sheetPr");
  w.Tag("sheetViews");
  WriteLeaf(w, "sheetView", {{"zoomScale", "85"}, {"workbookViewId", "0"}, {"zoomToFit", "1"}});
  w.End();
  WriteLeaf(
      w, "pageMargins",
      {{"left", "0.7"}, {"right", "0.7"}, {"top", "0.75"}, {"bottom", "0.75"}, {"header", "0.3"}, {"footer", "0.3"}});
  WriteLeaf(w, "drawing", {{"r:id", "rId1"}});
  return w.Close() && ok;
}

}  // namespace Xlsx
