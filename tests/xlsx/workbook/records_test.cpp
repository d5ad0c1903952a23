// Comments, charts, drawings and chartsheets written from their records.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>

#include "tests/xlsx/workbook/records_fixture.h"
#include "tests/xlsx/workbook/workbook_fixture.h"

namespace XlsxTest {
namespace {

using Xlsx::CWorkbook;
using Xlsx::XlsxTextRecord;

TEST_F(WorkbookTest, CommentsAreWrittenPerSheetWithShapeIdsOverTheWorkbook) {
  const std::string path = out_ / "comments.xlsx";
  {
    CWorkbook book(XlsxTextRecord("R&D"));
    Xlsx::CWorksheet& first = book.AddSheet(XlsxTextRecord("One"), {});
    book.AddSheet(XlsxTextRecord("Two"), {});
    Xlsx::CWorksheet& third = book.AddSheet(XlsxTextRecord("Three"), {});
    first.AddCell(std::int32_t{1}, 0);
    // Added out of sheet order: sheet 1's parts still come first.
    Xlsx::CommentRecord& onThird = AddComment(book, third, 3, 1, "zero box");
    onThird.hidden = true;
    Xlsx::CommentRecord& boxed = AddComment(book, first, 1, 0, "a <b>\nsecond line");
    boxed.left = 10;
    boxed.top = 20;
    boxed.width = 96;
    boxed.height = 55;
    AddComment(book, first, 2, 27, "plain");
    ASSERT_TRUE(book.Save(path));
  }
  const std::vector<std::string> entries = EntryNames(path);
  const auto at = [&](const std::string& name) {
    return std::find(entries.begin(), entries.end(), name) - entries.begin();
  };
  EXPECT_LT(at("xl/theme/theme1.xml"), at("xl/comments1.xml"));
  EXPECT_EQ(at("xl/comments1.xml") + 1, at("xl/drawings/vmlDrawing1.vml"));
  EXPECT_EQ(at("xl/drawings/vmlDrawing1.vml") + 1, at("xl/comments3.xml"));
  EXPECT_EQ(at("xl/comments3.xml") + 1, at("xl/drawings/vmlDrawing3.vml"));
  EXPECT_EQ(at("xl/drawings/vmlDrawing3.vml") + 1, at("xl/styles.xml"));  // no shared strings
  EXPECT_EQ(std::count(entries.begin(), entries.end(), "xl/comments2.xml"), 0);

  const std::string folder = Unpack(path);
  std::vector<std::string> parts;
  for (const std::string& entry : entries) parts.push_back(folder + "/" + entry);
  ExpectWellFormed(parts);

  const std::string comments1 = Part(folder, "xl/comments1.xml");
  EXPECT_NE(comments1.find("<authors><author>R&amp;D</author></authors>"), std::string::npos) << comments1;
  EXPECT_NE(comments1.find("<comment ref=\"A1\" authorId=\"0\"><text><r><rPr><sz val=\"11\"/><rFont val=\"Calibri\"/>"
                           "<charset val=\"204\"/><color theme=\"1\"/></rPr><t>a &lt;b&gt;\nsecond line</t></r></text>"
                           "</comment><comment ref=\"AB2\""),
            std::string::npos)
      << comments1;
  EXPECT_NE(Part(folder, "xl/comments3.xml").find("<comment ref=\"B3\" authorId=\"0\">"), std::string::npos);

  const std::string vml1 = Part(folder, "xl/drawings/vmlDrawing1.vml");
  EXPECT_NE(vml1.find("<v:shape id=\"_x0000_s1001\" type=\"#_x0000_t202\" style=\"position:absolute; margin-left:10pt;"
                      "margin-top:20pt;width:96pt;height:55pt; z-index:2;mso-wrap-style:tight\" fillcolor=\"#ffffe1\" "
                      "o:insetmode=\"auto\"><v:fill color2=\"#ffffe1\"/>"),
            std::string::npos)
      << vml1;
  EXPECT_NE(vml1.find("<v:shape id=\"_x0000_s1002\" type=\"#_x0000_t202\" style=\"\""), std::string::npos) << vml1;
  EXPECT_NE(vml1.find("<x:ClientData ObjectType=\"Note\"><x:MoveWithCells/><x:SizeWithCells/><x:AutoFill>False"
                      "</x:AutoFill><x:Row>1</x:Row><x:Column>27</x:Column></x:ClientData>"),
            std::string::npos)
      << vml1;
  const std::string vml3 = Part(folder, "xl/drawings/vmlDrawing3.vml");
  EXPECT_NE(vml3.find("id=\"_x0000_s1003\" type=\"#_x0000_t202\" style=\";visibility:hidden\""), std::string::npos)
      << vml3;
  EXPECT_NE(vml3.find("<x:Row>2</x:Row><x:Column>1</x:Column>"), std::string::npos) << vml3;
  EXPECT_NE(vml3.find("<o:shapelayout v:ext=\"edit\"><o:idmap v:ext=\"edit\" data=\"1\"/></o:shapelayout>"),
            std::string::npos);

  const std::string types = Part(folder, "[Content_Types].xml");
  EXPECT_NE(types.find("<Default Extension=\"vml\" ContentType=\"application/vnd.openxmlformats-officedocument."
                       "vmlDrawing\"/><Override PartName=\"/xl/comments1.xml\" ContentType=\"application/vnd."
                       "openxmlformats-officedocument.spreadsheetml.comments+xml\"/><Override PartName=\"/xl/"
                       "comments3.xml\""),
            std::string::npos)
      << types;
  EXPECT_NE(Part(folder, "xl/worksheets/sheet3.xml").find("<legacyDrawing r:id=\"rId1\"/>"), std::string::npos);
  const std::string rels3 = Part(folder, "xl/worksheets/_rels/sheet3.xml.rels");
  EXPECT_NE(rels3.find("Target=\"../drawings/vmlDrawing3.vml\""), std::string::npos);
  EXPECT_NE(rels3.find("Target=\"../comments3.xml\""), std::string::npos);
}

}  // namespace
}  // namespace XlsxTest

namespace XlsxTest {
namespace {

// A chart written on its own; returns its part without the declaration.
std::string SaveChart(Xlsx::CChart& chart, Xlsx::TempFileRegistry& registry, bool expected = true) {
  EXPECT_EQ(chart.Save(), expected);
  const std::string file = registry.Root() + "/xl/charts/chart" + std::to_string(chart.GetNumber()) + ".xml";
  ExpectWellFormed(file);
  return ReadFile(file).substr(std::string(kDeclaration).size());
}

// A golden part, stored one element a line for reading: the line breaks
// (and any indentation after them) are dropped.
std::string Golden(const std::string& name) {
  const char* source = std::getenv("ORV_TEST_SOURCE_DIR");
  EXPECT_NE(source, nullptr);
  const std::string text = ReadFile(std::string(source ? source : "") + "/tests/xlsx/workbook/golden/" + name);
  std::string compact;
  for (std::size_t i = text.find('\n') + 1; i < text.size(); ++i) {  // after the declaration
    if (text[i] == '\n') {
      while (i + 1 < text.size() && text[i + 1] == ' ') ++i;
      continue;
    }
    compact += text[i];
  }
  return compact;
}

class ChartTest : public WorkbookTest {
 protected:
  Xlsx::CSheet& Data() {
    if (!data_) data_ = &book_.AddSheet(XlsxTextRecord("Data"), {});
    return *data_;
  }
  CWorkbook book_{XlsxTextRecord("ORV")};
  Xlsx::CWorksheet* data_ = nullptr;
};

TEST_F(ChartTest, LineChartWithSecondarySeries) {
  Xlsx::CChart& chart = AddChart(book_);
  chart.title = XlsxTextRecord("Diameter & pressure");
  chart.legend = 6;
  chart.mainSeries.push_back(Series(Data(), 1, "Inner"));
  chart.mainSeries.back().lineWidth = 1.5;
  chart.mainSeries.back().markerSymbol = 2;
  chart.mainSeries.back().markerFillColour = "FF0000";
  chart.mainSeries.back().markerLineColour = "#00FF00";  // not six characters: no line
  chart.mainSeries.push_back(Series(Data(), 2, "Outer"));
  chart.mainSeries.back().lineStyle = 2;
  chart.mainSeries.back().dash = 2;
  chart.secondaryDiagram = Xlsx::kLineDiagram;
  chart.secondarySeries.push_back(Series(Data(), 3, "Pressure"));
  chart.secondarySeries.back().categoryRange = {0, 0, 0, 0};  // no categories
  chart.secondarySeries.back().markerSymbol = 4;
  chart.secondarySeries.back().markerLineColour = "000000";
  chart.primaryX.id = 11;
  chart.primaryX.position = 4;
  chart.primaryX.kind = 2;
  chart.primaryX.title = XlsxTextRecord("Time");
  chart.primaryY.id = 12;
  chart.primaryY.position = 1;
  chart.primaryY.gridlines = 1;
  chart.primaryY.title = XlsxTextRecord("µm");
  chart.secondaryX.id = 13;
  chart.secondaryX.kind = 2;  // hidden
  chart.secondaryY.id = 14;
  chart.secondaryY.position = 2;
  chart.secondaryY.crosses = 2;
  chart.secondaryY.minimum = "0";
  chart.secondaryY.maximum = "120";
  chart.secondaryY.majorTicks.mark = 3;
  chart.secondaryY.majorTicks.unit = 20.0;
  EXPECT_EQ(SaveChart(chart, book_.Registry()), Golden("line_chart.xml"));
}

TEST_F(ChartTest, PieWritesNoAxes) {
  Xlsx::CChart& chart = AddChart(book_);
  chart.mainDiagram = Xlsx::kPieDiagram;
  chart.mainSeries.push_back(Series(Data(), 1, "Share"));
  chart.mainSeries.back().dataLabels = {0, 1, 0, 0, 1, 0, 1};
  chart.firstSliceAngle = 90;
  chart.dataTable = 2;
  chart.legend = 1;
  chart.blanks = 1;
  const std::string part = SaveChart(chart, book_.Registry());
  for (const char* axis : {"<c:valAx", "<c:catAx", "<c:dateAx", "<c:axId"})
    EXPECT_EQ(part.find(axis), std::string::npos);
  EXPECT_NE(
      part.find("<c:pieChart><c:varyColors val=\"1\"/><c:ser><c:idx val=\"0\"/><c:order val=\"0\"/><c:tx><c:v>Share"
                "</c:v></c:tx><c:dLbls><c:showLegendKey val=\"0\"/><c:showVal val=\"1\"/><c:showCatName val=\"0\"/>"
                "<c:showSerName val=\"0\"/><c:showPercent val=\"1\"/><c:showBubbleSize val=\"0\"/>"
                "<c:showLeaderLines val=\"1\"/></c:dLbls><c:cat>"),
      std::string::npos)
      << part;
  EXPECT_NE(part.find("<c:showLeaderLines val=\"0\"/></c:dLbls><c:firstSliceAng val=\"90\"/></c:pieChart><c:dTable>"
                      "<c:showHorzBorder val=\"1\"/><c:showVertBorder val=\"1\"/><c:showOutline val=\"1\"/>"
                      "<c:showKeys val=\"1\"/></c:dTable></c:plotArea><c:legend><c:legendPos val=\"l\"/><c:layout/>"
                      "<c:overlay val=\"1\"/></c:legend><c:plotVisOnly val=\"1\"/><c:dispBlanksAs val=\"zero\"/>"),
            std::string::npos)
      << part;
}

TEST_F(ChartTest, ChartWithoutSeriesOrDiagramFails) {
  Xlsx::CChart& empty = AddChart(book_);
  EXPECT_FALSE(empty.Save());
  EXPECT_TRUE(book_.Registry().Files().empty() || book_.Registry().Files().back() != "/xl/charts/chart1.xml");

  Xlsx::CChart& none = AddChart(book_);
  none.mainDiagram = Xlsx::kNoDiagram;
  none.mainSeries.push_back(Series(Data(), 1, "x"));
  none.title = XlsxTextRecord("T");
  const std::string part = SaveChart(none, book_.Registry(), false);
  EXPECT_NE(part.find("<c:autoTitleDeleted val=\"0\"/><c:plotArea><c:layout/></c:plotArea></c:chart></c:chartSpace>"),
            std::string::npos)
      << part;
  EXPECT_NE(part.find("<c:title>"), std::string::npos);

  // The workbook is not saved with such a chart.
  const std::string path = out_ / "broken.xlsx";
  EXPECT_FALSE(book_.Save(path));
  EXPECT_FALSE(std::filesystem::exists(path));
}

// One case per rule, each on a fresh line chart of one series.
TEST_F(ChartTest, FillsLegendsAndRanges) {
  struct Case {
    const char* name;
    std::function<void(Xlsx::CChart&)> set;
    std::vector<std::string> present;
    std::vector<std::string> absent;
  };
  const std::vector<Case> cases = {
      {"solid fill with a seven-character colour",
       [](Xlsx::CChart& c) {
         c.plotAreaFill.kind = 1;
         c.plotAreaFill.colour = "#FFFFFF";
       },
       {},
       {"<a:srgbClr val=\"#FFFFFF\"", "</c:spPr></c:plotArea>"}},
      {"solid chart-space fill",
       [](Xlsx::CChart& c) {
         c.chartSpaceFill.kind = 1;
         c.chartSpaceFill.colour = "FFFFFF";
       },
       {"</c:chart><c:spPr><a:solidFill><a:srgbClr val=\"FFFFFF\"/></a:solidFill></c:spPr></c:chartSpace>"},
       {}},
      {"linear gradient at angle 0",
       [](Xlsx::CChart& c) {
         c.plotAreaFill.kind = 2;
         c.plotAreaFill.gradientStops = {{100, "0000FF"}, {0, "FFFFFF"}};
       },
       {"<a:gradFill flip=\"none\" rotWithShape=\"1\"><a:gsLst><a:gs pos=\"0\"><a:srgbClr val=\"FFFFFF\"/></a:gs>"
        "<a:gs pos=\"100000\"><a:srgbClr val=\"0000FF\"/></a:gs></a:gsLst></a:gradFill>"},
       {"<a:lin"}},
      {"linear gradient at 45 degrees",
       [](Xlsx::CChart& c) {
         c.plotAreaFill.kind = 2;
         c.plotAreaFill.angle = 45.5;
         c.plotAreaFill.scaled = true;
       },
       {"<a:gsLst/><a:lin ang=\"2730000\" scaled=\"1\"/>"},
       {}},
      {"circle gradient with focus 3",
       [](Xlsx::CChart& c) {
         c.plotAreaFill.kind = 2;
         c.plotAreaFill.gradientPath = 1;
         c.plotAreaFill.focus = 3;
       },
       {"<a:path path=\"circle\"><a:fillToRect l=\"100000\" b=\"100000\"/><a:tileRect t=\"-100000\" r=\"-100000\"/>"
        "</a:path>"},
       {}},
      {"shape gradient is centred",
       [](Xlsx::CChart& c) {
         c.plotAreaFill.kind = 2;
         c.plotAreaFill.gradientPath = 3;
       },
       {"<a:path path=\"shape\"><a:fillToRect l=\"50000\" t=\"50000\" r=\"50000\" b=\"50000\"/><a:tileRect/>"},
       {}},
      {"pattern fill",
       [](Xlsx::CChart& c) {
         c.plotAreaFill.kind = 3;
         c.plotAreaFill.pattern = 47;
         c.plotAreaFill.foreground = "000000";
         c.plotAreaFill.background = "FFFFFF";
       },
       {"<a:pattFill prst=\"solidDmnd\"><a:fgClr><a:srgbClr val=\"000000\"/></a:fgClr><a:bgClr>"},
       {}},
      {"legend 5 beside the plot",
       [](Xlsx::CChart& c) { c.legend = 5; },
       {"<c:legend><c:legendPos val=\"l\"/><c:layout/><c:overlay val=\"0\"/></c:legend>"},
       {}},
      {"unset category range",
       [](Xlsx::CChart& c) {
         c.mainSeries[0].categoryRange = {0, 0, 0, 0};
       },
       {},
       {"<c:cat>"}},
      {"no line",
       [](Xlsx::CChart& c) { c.mainSeries[0].lineStyle = 0; },
       {"<c:spPr><a:ln w=\"28000\"><a:noFill/></a:ln></c:spPr>"},
       {}},
      {"marker without valid colours",
       [](Xlsx::CChart& c) {
         c.mainSeries[0].markerFillColour = "12345";
         c.mainSeries[0].markerLineColour = "1234567";
       },
       {"<c:marker><c:symbol val=\"none\"/><c:size val=\"5\"/></c:marker>"},
       {}},
      {"scatter keeps an unset range as x values",
       [](Xlsx::CChart& c) {
         c.mainDiagram = Xlsx::kScatterDiagram;
         c.scatterStyle = 0;
         c.mainSeries[0].markerSymbol = 1;
         c.mainSeries[0].categoryRange = {0, 0, 0, 0};
       },
       {"<c:scatterChart><c:scatterStyle val=\"smoothMarker\"/>", "<c:symbol val=\"none\"/>",
        "<c:xVal><c:numRef><c:f>&apos;Data&apos;!$A0:$A0</c:f></c:numRef></c:xVal><c:yVal>"},
       {}},
      {"bar with inverted negative bars",
       [](Xlsx::CChart& c) {
         c.mainDiagram = Xlsx::kBarDiagram;
         c.barDirection = 1;
         c.barGrouping = 7;
         c.mainSeries[0].invertIfNegative = true;
         c.mainSeries[0].invertColour = "FF0000";
       },
       {"<c:barChart><c:barDir val=\"bar\"/><c:varyColors val=\"1\"/>",
        "<c:tx><c:v>S</c:v></c:tx><c:spPr><a:solidFill><a:srgbClr val=\"1F77B4\"/></a:solidFill></c:spPr>"
        "<c:invertIfNegative val=\"1\"/><c:cat>",
        "<c:ext uri=\"{6F2FDCE9-48DA-4B69-8628-5D25D57E5C99}\" xmlns:c14=\"http://schemas.microsoft.com/office/drawing/"
        "2007/8/2/chart\"><c14:invertSolidFillFmt><c14:spPr xmlns:c14=\"http://schemas.microsoft.com/office/drawing/"
        "2007/8/2/chart\"><a:solidFill><a:srgbClr val=\"FF0000\"/>"},
       {"<c:grouping", "<c:smooth val=\"0\"/></c:ser>"}},
      {"date axis with units and skips",
       [](Xlsx::CChart& c) {
         c.primaryX.kind = 1;
         c.primaryX.position = 4;
         c.primaryX.labelRotation = -45;
         c.primaryX.majorTicks.unit = 2;
         c.primaryX.majorTicks.timeUnit = 1;
         c.primaryX.tickLabelSkip = 3;
       },
       {"<c:tickLblPos val=\"nextTo\"/><c:txPr><a:bodyPr rot=\"-2700000\"/><a:lstStyle/><a:p><a:pPr><a:defRPr/>"
        "</a:pPr><a:endParaRPr lang=\"en-US\"/></a:p></c:txPr><c:crossAx val=\"102\"/><c:crosses val=\"autoZero\"/>"
        "<c:auto val=\"1\"/><c:lblOffset val=\"100\"/><c:majorUnit val=\"2\"/><c:majorTimeUnit val=\"months\"/>"
        "<c:minorTimeUnit val=\"days\"/></c:dateAx>"},
       {"<c:tickLblSkip"}},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    Xlsx::CChart& chart = AddChart(book_);
    chart.mainSeries.push_back(Series(Data(), 1, "S"));
    test.set(chart);
    const std::string part = SaveChart(chart, book_.Registry());
    for (const std::string& text : test.present) EXPECT_NE(part.find(text), std::string::npos) << text << "\n" << part;
    for (const std::string& text : test.absent) EXPECT_EQ(part.find(text), std::string::npos) << text << "\n" << part;
  }
}

// A part a drawing or chartsheet wrote, checked and without its declaration.
std::string RegisteredPart(const Xlsx::TempFileRegistry& registry, const std::string& name) {
  const std::string file = registry.Root() + name;
  ExpectWellFormed(file);
  return ReadFile(file).substr(std::string(kDeclaration).size());
}

TEST_F(ChartTest, DrawingLinksChartsAndPicturesByItemNumber) {
  Xlsx::CChart& chart = AddChart(book_);
  AddChart(book_);
  Xlsx::CChart& second = *book_.Charts().back();
  second.name = XlsxTextRecord("Chart & more");
  Xlsx::WorkbookImage logo{4, "logo.png"};
  Xlsx::CDrawing drawing(7, book_.Registry());
  Xlsx::DrawingItem framed;
  framed.chart = &second;
  framed.kind = Xlsx::kChartTwoCell;
  framed.from = {1, 10, 2, 20};
  framed.to = {8, 0, 18, 5};
  drawing.items.push_back(framed);
  Xlsx::DrawingItem picture;
  picture.image = &logo;
  picture.kind = Xlsx::kPictureOneCell;
  picture.from = {0, 0, 3, 0};
  picture.to = {952500, 99, 476250, 99};  // width and height in EMU; offsets unused
  drawing.items.push_back(picture);
  Xlsx::DrawingItem filling;
  filling.chart = &chart;
  filling.kind = Xlsx::kChartAbsolute;
  drawing.items.push_back(filling);
  ASSERT_TRUE(drawing.Save());

  const std::vector<std::string>& files = book_.Registry().Files();
  ASSERT_GE(files.size(), 2u);
  EXPECT_EQ(files[files.size() - 2], "/xl/drawings/_rels/drawing7.xml.rels");
  EXPECT_EQ(files.back(), "/xl/drawings/drawing7.xml");
  const std::string rels = RegisteredPart(book_.Registry(), "/xl/drawings/_rels/drawing7.xml.rels");
  EXPECT_EQ(
      rels,
      "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
      "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/chart\" "
      "Target=\"../charts/chart2.xml\"/>"
      "<Relationship Id=\"rId2\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/image\" "
      "Target=\"../media/logo.png\"/>"
      "<Relationship Id=\"rId3\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/chart\" "
      "Target=\"../charts/chart1.xml\"/></Relationships>");
  const std::string part = RegisteredPart(book_.Registry(), "/xl/drawings/drawing7.xml");
  EXPECT_NE(part.find("<xdr:twoCellAnchor><xdr:from><xdr:col>1</xdr:col><xdr:colOff>10</xdr:colOff><xdr:row>2</xdr:row>"
                      "<xdr:rowOff>20</xdr:rowOff></xdr:from><xdr:to><xdr:col>8</xdr:col><xdr:colOff>0</xdr:colOff>"
                      "<xdr:row>18</xdr:row><xdr:rowOff>5</xdr:rowOff></xdr:to><xdr:graphicFrame macro=\"\">"
                      "<xdr:nvGraphicFramePr><xdr:cNvPr id=\"1\" name=\"Chart &amp; more\"/>"),
            std::string::npos)
      << part;
  EXPECT_NE(
      part.find("<xdr:xfrm><a:off x=\"0\" y=\"0\"/><a:ext cx=\"0\" cy=\"0\"/></xdr:xfrm><a:graphic>"
                "<a:graphicData uri=\"http://schemas.openxmlformats.org/drawingml/2006/chart\"><c:chart "
                "xmlns:c=\"http://schemas.openxmlformats.org/drawingml/2006/chart\" xmlns:r=\"http://schemas."
                "openxmlformats.org/officeDocument/2006/relationships\" r:id=\"rId1\"/></a:graphicData></a:graphic>"
                "</xdr:graphicFrame><xdr:clientData/></xdr:twoCellAnchor>"),
      std::string::npos)
      << part;
  EXPECT_NE(
      part.find("<xdr:oneCellAnchor editAs=\"oneCell\"><xdr:from><xdr:col>0</xdr:col><xdr:colOff>0</xdr:colOff>"
                "<xdr:row>3</xdr:row><xdr:rowOff>0</xdr:rowOff></xdr:from><xdr:ext cx=\"952500\" cy=\"476250\"/>"
                "<xdr:pic><xdr:nvPicPr><xdr:cNvPr id=\"2\" name=\"logo.png\"/><xdr:cNvPicPr><a:picLocks "
                "noChangeAspect=\"1\"/></xdr:cNvPicPr></xdr:nvPicPr><xdr:blipFill><a:blip xmlns:r=\"http://schemas."
                "openxmlformats.org/officeDocument/2006/relationships\" r:embed=\"rId2\"/><a:stretch><a:fillRect/>"
                "</a:stretch></xdr:blipFill><xdr:spPr><a:prstGeom prst=\"rect\"><a:avLst/></a:prstGeom></xdr:spPr>"
                "</xdr:pic><xdr:clientData/></xdr:oneCellAnchor>"),
      std::string::npos)
      << part;
  EXPECT_NE(part.find("<xdr:absoluteAnchor><xdr:pos x=\"0\" y=\"0\"/><xdr:ext cx=\"9312088\" cy=\"6084794\"/>"
                      "<xdr:graphicFrame macro=\"\"><xdr:nvGraphicFramePr><xdr:cNvPr id=\"3\" name=\"\"/>"),
            std::string::npos)
      << part;

  // An empty drawing writes nothing and still succeeds.
  const std::size_t registered = files.size();
  Xlsx::CDrawing empty(8, book_.Registry());
  EXPECT_TRUE(empty.Save());
  EXPECT_EQ(book_.Registry().Files().size(), registered);
}

TEST_F(ChartTest, ChartsheetTargetsItsDrawingsNumber) {
  Xlsx::CDrawing drawing(4, book_.Registry());  // empty: its part is not written, the reference is
  Xlsx::CChartsheet sheet(2, drawing, book_.Registry());
  ASSERT_TRUE(sheet.Save());
  EXPECT_EQ(RegisteredPart(book_.Registry(), "/xl/chartsheets/_rels/sheet2.xml.rels"),
            "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"><Relationship "
            "Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/drawing\" "
            "Target=\"../drawings/drawing4.xml\"/></Relationships>");
  EXPECT_EQ(RegisteredPart(book_.Registry(), "/xl/chartsheets/sheet2.xml"),
            "<chartsheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" xmlns:r=\"http://schemas."
            "openxmlformats.org/officeDocument/2006/relationships\"><sheetPr/><sheetViews><sheetView zoomScale=\"85\" "
            "workbookViewId=\"0\" zoomToFit=\"1\"/></sheetViews><pageMargins left=\"0.7\" right=\"0.7\" top=\"0.75\" "
            "bottom=\"0.75\" header=\"0.3\" footer=\"0.3\"/><drawing r:id=\"rId1\"/></chartsheet>");
  EXPECT_FALSE(std::filesystem::exists(book_.Registry().Root() + "/xl/drawings/drawing4.xml"));
}

}  // namespace
}  // namespace XlsxTest

namespace XlsxTest {
namespace {

TEST_F(WorkbookTest, ReaderOpensChartsCommentsAndChartsheets) {
  const std::string path = out_ / "records.xlsx";
  {
    CWorkbook book(XlsxTextRecord("Lab"));
    Xlsx::CWorksheet& data = book.AddSheet(XlsxTextRecord("Data"), {});
    data.BeginRow(0.0);
    data.AddCell("t", 0);
    data.AddCell("a", 0);
    data.AddCell("b", 0);
    for (std::int32_t i = 1; i <= 5; ++i) {
      data.BeginRow(0.0);
      data.AddCell(i, 0);
      data.AddCell(static_cast<float>(i * i), 0);
      data.AddCell(static_cast<float>(10 - i), 0);
    }
    data.EndRow();
    AddComment(book, data, 1, 1, "squares\nof t");

    Xlsx::CChart& line = AddChart(book);
    line.title = XlsxTextRecord("Line");
    line.legend = 6;
    line.primaryX.kind = 2;
    line.primaryX.position = 4;
    line.primaryY.position = 1;
    line.mainSeries.push_back(Series(data, 1, "a"));
    line.secondaryDiagram = Xlsx::kLineDiagram;
    line.secondarySeries.push_back(Series(data, 2, "b"));
    line.secondaryX.kind = 2;
    line.secondaryY.position = 2;
    line.secondaryY.crosses = 2;
    Xlsx::DrawingItem item;
    item.chart = &line;
    item.kind = Xlsx::kChartTwoCell;
    item.from = {4, 0, 1, 0};
    item.to = {12, 0, 16, 0};
    book.Drawings().front()->items.push_back(item);

    Xlsx::CChart& pie = AddChart(book);
    pie.mainDiagram = Xlsx::kPieDiagram;
    pie.mainSeries.push_back(Series(data, 1, "a"));
    AddChartsheet(book, "Pie chart", pie);
    book.AddSheet(XlsxTextRecord("After"), {}).AddCell(std::int32_t{3}, 0);
    ASSERT_TRUE(book.Save(path));
  }
  const std::vector<std::string> entries = EntryNames(path);
  const std::vector<std::string> tail(entries.end() - 9, entries.end());
  EXPECT_EQ(tail,
            (std::vector<std::string>{"xl/worksheets/_rels/sheet1.xml.rels", "xl/chartsheets/_rels/sheet2.xml.rels",
                                      "xl/chartsheets/sheet2.xml", "xl/charts/chart1.xml", "xl/charts/chart2.xml",
                                      "xl/drawings/_rels/drawing1.xml.rels", "xl/drawings/drawing1.xml",
                                      "xl/drawings/_rels/drawing2.xml.rels", "xl/drawings/drawing2.xml"}));
  const std::string folder = Unpack(path);
  std::vector<std::string> parts;
  for (const std::string& entry : entries) parts.push_back(folder + "/" + entry);
  ExpectWellFormed(parts);

  const std::string types = Part(folder, "[Content_Types].xml");
  for (const char* name : {"/xl/chartsheets/sheet2.xml", "/xl/drawings/drawing1.xml", "/xl/drawings/drawing2.xml",
                           "/xl/charts/chart1.xml", "/xl/charts/chart2.xml", "/xl/comments1.xml"})
    EXPECT_NE(types.find(std::string("PartName=\"") + name + "\""), std::string::npos) << name;
  EXPECT_EQ(types.find("drawing3.xml"), std::string::npos);  // the last sheet's drawing is empty
  EXPECT_NE(
      Part(folder, "xl/workbook.xml")
          .find("<sheets><sheet name=\"Data\" sheetId=\"1\" r:id=\"rId1\"/><sheet name=\"Pie chart\" sheetId=\"2\" "
                "r:id=\"rId2\"/><sheet name=\"After\" sheetId=\"3\" r:id=\"rId3\"/></sheets>"),
      std::string::npos);
  const std::string app = Part(folder, "docProps/app.xml");
  EXPECT_NE(
      app.find("<vt:vector size=\"4\" baseType=\"variant\"><vt:variant><vt:lpstr>Worksheets</vt:lpstr></vt:variant>"
               "<vt:variant><vt:i4>2</vt:i4></vt:variant><vt:variant><vt:lpstr>Diagramms</vt:lpstr></vt:variant>"
               "<vt:variant><vt:i4>1</vt:i4></vt:variant></vt:vector>"),
      std::string::npos)
      << app;
  EXPECT_NE(app.find("<vt:lpstr>Data</vt:lpstr><vt:lpstr>After</vt:lpstr><vt:lpstr>Pie chart</vt:lpstr>"),
            std::string::npos);

  const char* source = std::getenv("ORV_TEST_SOURCE_DIR");
  ASSERT_NE(source, nullptr);
  int status = 0;
  const std::string dump = RunCommand("PYTHONIOENCODING=utf-8 /usr/bin/python3 " +
                                          ShellQuote(std::string(source) + "/tests/xlsx/workbook/read_records.py") +
                                          " " + ShellQuote(path) + " 2>&1",
                                      status);
  ASSERT_EQ(status, 0) << dump;
  EXPECT_EQ(dump,
            "sheets ['Data', 'Pie chart', 'After']\n"
            "comment Data B1 'squares\\nof t' Lab\n"
            "chart Data LineChart 1\n"
            "chartsheet Pie chart PieChart 1\n");
}

// Records and flags that disagree, and a drawing whose number is not its
// sheet's, still give a package whose references all resolve.
TEST_F(WorkbookTest, ReferencesFollowTheRecordsThatExist) {
  const std::string path = out_ / "consistent.xlsx";
  {
    CWorkbook book(XlsxTextRecord("Lab"));
    book.CreateDrawing();  // drawing 1 belongs to no sheet
    Xlsx::CWorksheet& first = book.AddSheet(XlsxTextRecord("First"), {});
    Xlsx::CWorksheet& second = book.AddSheet(XlsxTextRecord("Second"), {});
    first.AddCell(std::int32_t{1}, 0);
    Xlsx::CommentRecord record;
    record.sheetNumber = first.GetNumber();  // flag not set
    record.runs.push_back({Xlsx::StyleFont(), XlsxTextRecord("note")});
    book.Comments().push_back(record);
    record.sheetNumber = 9;  // no such sheet
    book.Comments().push_back(record);
    second.SetHasComments(true);  // no record
    Xlsx::CChart& chart = AddChart(book);
    chart.mainSeries.push_back(Series(first, 0, "s"));
    Xlsx::DrawingItem item;
    item.chart = &chart;
    item.kind = Xlsx::kChartTwoCell;
    item.to = {5, 0, 10, 0};
    book.Drawings()[1]->items.push_back(item);  // the first sheet's, number 2
    ASSERT_TRUE(book.Save(path));
  }
  const std::vector<std::string> entries = EntryNames(path);
  for (const char* name : {"xl/comments1.xml", "xl/drawings/vmlDrawing1.vml", "xl/drawings/drawing2.xml"})
    EXPECT_EQ(std::count(entries.begin(), entries.end(), name), 1) << name;
  for (const char* name : {"xl/comments2.xml", "xl/comments9.xml", "xl/worksheets/_rels/sheet2.xml.rels"})
    EXPECT_EQ(std::count(entries.begin(), entries.end(), name), 0) << name;
  const std::string folder = Unpack(path);
  const std::string rels = Part(folder, "xl/worksheets/_rels/sheet1.xml.rels");
  EXPECT_NE(rels.find("Target=\"../drawings/drawing2.xml\""), std::string::npos) << rels;
  EXPECT_NE(rels.find("Target=\"../comments1.xml\""), std::string::npos) << rels;
  EXPECT_EQ(Part(folder, "xl/worksheets/sheet2.xml").find("legacyDrawing"), std::string::npos);
  const std::string types = Part(folder, "[Content_Types].xml");
  EXPECT_NE(types.find("PartName=\"/xl/comments1.xml\""), std::string::npos);
  EXPECT_EQ(types.find("PartName=\"/xl/comments2.xml\""), std::string::npos);

  int status = 0;
  const std::string dump = RunCommand(
      "/usr/bin/python3 " +
          ShellQuote(std::string(std::getenv("ORV_TEST_SOURCE_DIR")) + "/tests/xlsx/workbook/read_records.py") + " " +
          ShellQuote(path) + " 2>&1",
      status);
  ASSERT_EQ(status, 0) << dump;
  EXPECT_EQ(dump, "sheets ['First', 'Second']\ncomment First A1 'note' Lab\nchart First LineChart 1\n");
}

}  // namespace
}  // namespace XlsxTest
