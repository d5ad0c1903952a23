// The drawing part of a sheet and its relationships part.
#include "xlsx/drawing.h"

#include "xlsx/chart.h"
#include "xlsx/namespaces.h"
#include "xlsx/xml_writer.h"

namespace Xlsx {

namespace {

bool IsChart(const DrawingItem& item) { return item.kind == kChartAbsolute || item.kind == kChartTwoCell; }

std::string RelationshipId(std::size_t i) { return "rId" + std::to_string(i); }

void CellPosition(XmlWriter& w, std::string_view element, const DrawingAnchor& anchor) {
  w.Tag(element);
  w.TagOnlyContent("xdr:col", std::uint64_t{anchor.column});
  w.TagOnlyContent("xdr:colOff", std::uint64_t{anchor.columnOffset});
  w.TagOnlyContent("xdr:row", std::uint64_t{anchor.row});
  w.TagOnlyContent("xdr:rowOff", std::uint64_t{anchor.rowOffset});
  w.End();
}

void ChartFrame(XmlWriter& w, const DrawingItem& item, std::size_t i) {
  OpenTag(w, "xdr:graphicFrame", {{"macro", ""}});
  w.Tag("xdr:nvGraphicFramePr");
  w.BeginLeaf("xdr:cNvPr");
  w.Attr("id", std::uint64_t{i});
  w.Attr("name", item.chart ? item.chart->name.utf8 : std::string());
  w.EndLeaf();
  w.Tag("xdr:cNvGraphicFramePr");
  WriteLeaf(w, "a:graphicFrameLocks", {{"noGrp", "1"}});
  w.End();
  w.End();  // xdr:nvGraphicFramePr
  w.Tag("xdr:xfrm");
  WriteLeaf(w, "a:off", {{"x", "0"}, {"y", "0"}});
  WriteLeaf(w, "a:ext", {{"cx", "0"}, {"cy", "0"}});
  w.End();
  w.Tag("a:graphic");
  OpenTag(w, "a:graphicData", {{"uri", Ns::kDrawingChart}});
  w.BeginLeaf("c:chart");
  w.AttrRaw("xmlns:c", Ns::kDrawingChart);
  w.AttrRaw("xmlns:r", Ns::kDocumentRelationships);
  w.Attr("r:id", RelationshipId(i));
  w.EndLeaf();
  w.End();  // a:graphicData
  w.End();  // a:graphic
  w.End();  // xdr:graphicFrame
  WriteLeaf(w, "xdr:clientData");
}

void Picture(XmlWriter& w, const DrawingItem& item, std::size_t i) {
  w.Tag("xdr:pic");
  w.Tag("xdr:nvPicPr");
  w.BeginLeaf("xdr:cNvPr");
  w.Attr("id", std::uint64_t{i});
  w.Attr("name", item.image ? item.image->mediaName : std::string());
  w.EndLeaf();
  w.Tag("xdr:cNvPicPr");
  WriteLeaf(w, "a:picLocks", {{"noChangeAspect", "1"}});
  w.End();
  w.End();  // xdr:nvPicPr
  w.Tag("xdr:blipFill");
  w.BeginLeaf("a:blip");
  w.AttrRaw("xmlns:r", Ns::kDocumentRelationships);
  w.Attr("r:embed", RelationshipId(i));
  w.EndLeaf();
  w.Tag("a:stretch");
  WriteLeaf(w, "a:fillRect");
  w.End();
  w.End();  // xdr:blipFill
  w.Tag("xdr:spPr");
  OpenTag(w, "a:prstGeom", {{"prst", "rect"}});
  WriteLeaf(w, "a:avLst");
  w.End();
  w.End();  // xdr:spPr
  w.End();  // xdr:pic
  WriteLeaf(w, "xdr:clientData");
}

}  // namespace

bool CDrawing::Save() {
  if (items.empty()) return true;
  const std::string n = std::to_string(number_);

  XmlWriter rels(registry_.RegisterPartFile("/xl/drawings/_rels/drawing" + n + ".xml.rels"));
  OpenTag(rels, "Relationships", {{"xmlns", Ns::kPackageRelationships}});
  for (std::size_t i = 1; i <= items.size(); ++i) {
    const DrawingItem& item = items[i - 1];
    rels.BeginLeaf("Relationship");
    rels.Attr("Id", RelationshipId(i));
    if (IsChart(item)) {
      rels.AttrRaw("Type", Ns::kRelChart);
      rels.Attr("Target", "../charts/chart" + std::to_string(item.chart ? item.chart->GetNumber() : 0) + ".xml");
    } else {
      rels.AttrRaw("Type", Ns::kRelImage);
      rels.Attr("Target", "../media/" + (item.image ? item.image->mediaName : std::string()));
    }
    rels.EndLeaf();
  }
  bool ok = rels.Close();

  XmlWriter w(registry_.RegisterPartFile("/xl/drawings/drawing" + n + ".xml"));
  OpenTag(w, "xdr:wsDr", {{"xmlns:xdr", Ns::kSpreadsheetDrawing}, {"xmlns:a", Ns::kDrawingMain}});
  for (std::size_t i = 1; i <= items.size(); ++i) {
    const DrawingItem& item = items[i - 1];
    switch (item.kind) {
      case kChartAbsolute:
        w.Tag("xdr:absoluteAnchor");
        WriteLeaf(w, "xdr:pos", {{"x", "0"}, {"y", "0"}});
        // The extent of a chart that fills a chartsheet.
        WriteLeaf(w, "xdr:ext", {{"cx", "9312088"}, {"cy", "6084794"}});
        ChartFrame(w, item, i);
        break;
      case kPictureOneCell:
        OpenTag(w, "xdr:oneCellAnchor", {{"editAs", "oneCell"}});
        CellPosition(w, "xdr:from", item.from);
        w.BeginLeaf("xdr:ext");
        w.Attr("cx", std::uint64_t{item.to.column});
        w.Attr("cy", std::uint64_t{item.to.row});
        w.EndLeaf();
        Picture(w, item, i);
        break;
      default:  // the two-cell anchors
        w.Tag("xdr:twoCellAnchor");
        CellPosition(w, "xdr:from", item.from);
        CellPosition(w, "xdr:to", item.to);
        if (IsChart(item))
          ChartFrame(w, item, i);
        else
          Picture(w, item, i);
        break;
    }
    w.End();  // the anchor
  }
  return w.Close() && ok;
}

}  // namespace Xlsx
