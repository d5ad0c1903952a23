#include "xlsx/worksheet.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <memory>

#include "tests/support/test_support.h"
#include "tests/xlsx/writer/xlsx_test_util.h"
#include "xlsx/drawing.h"

namespace Xlsx {
namespace {

using XlsxTest::kDeclaration;
using XlsxTest::ReadFile;

// The head of a sheet whose used range is `range`: the dimension element
// stands in the room of the widest range, white space after it.
std::string Head(const std::string& range = "A1") {
  std::string dimension = "<dimension ref=\"" + range + "\"/>";
  dimension.resize(std::string("<dimension ref=\"A1:XFD1048576\"/>").size(), ' ');
  return "<worksheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
         "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\" "
         "xmlns:mc=\"http://schemas.openxmlformats.org/markup-compatibility/2006\" mc:Ignorable=\"x14ac\" "
         "xmlns:x14ac=\"http://schemas.microsoft.com/office/spreadsheetml/2009/9/ac\">" +
         dimension +
         "<sheetViews><sheetView tabSelected=\"0\" workbookViewId=\"0\"/></sheetViews>"
         "<sheetFormatPr defaultRowHeight=\"15\" x14ac:dyDescent=\"0.25\"/>";
}
const std::string kTail =
    "<pageMargins left=\"0.7\" right=\"0.7\" top=\"0.75\" bottom=\"0.75\" header=\"0.3\" footer=\"0.3\"/>"
    "<pageSetup paperSize=\"9\" orientation=\"portrait\"/>";

// The workbook's side of a sheet: the package tree, the shared strings and one
// drawing per sheet.
class WorksheetTest : public ::testing::Test {
 protected:
  CWorksheet& AddSheet(const std::vector<ColumnWidth>& widths = {}) {
    const std::uint64_t n = sheets_.size() + 1;
    drawings_.push_back(std::make_unique<CDrawing>(n, registry_));
    sheets_.push_back(std::make_unique<CWorksheet>(n, widths, *drawings_.back(), registry_, strings_));
    return *sheets_.back();
  }

  // The saved part of sheet n, without the declaration line; checked for
  // well-formedness on the way.
  std::string SavedPart(std::uint64_t n, bool expectSaved = true) {
    EXPECT_EQ(sheets_.at(n - 1)->Save(), expectSaved);
    return Part("/xl/worksheets/sheet" + std::to_string(n) + ".xml");
  }

  std::string Part(const std::string& name) {
    const std::string path = registry_.Root() + name;
    XlsxTest::ExpectWellFormed(path);
    const std::string text = ReadFile(path);
    EXPECT_EQ(text.rfind(kDeclaration, 0), 0u);
    return text.substr(std::min(text.size(), std::string(kDeclaration).size()));
  }

  ORV::Test::SandboxedHome home_;
  TempFileRegistry registry_;
  SharedStringTable strings_;
  std::vector<std::unique_ptr<CDrawing>> drawings_;
  std::vector<std::unique_ptr<CWorksheet>> sheets_;
};

TEST_F(WorksheetTest, EmptySheet) {
  CWorksheet& sheet = AddSheet();
  EXPECT_EQ(sheet.GetTitle().utf8, "Sheet 1");
  EXPECT_EQ(sheet.GetTitle().wide, u"Sheet 1");
  EXPECT_EQ(registry_.Files(), std::vector<std::string>{"/xl/worksheets/sheet1.xml"})
      << "the part is registered when the sheet is made";
  EXPECT_EQ(SavedPart(1), Head() + "<sheetData/>" + kTail + "</worksheet>");
  EXPECT_FALSE(sheet.Save()) << "a sheet is saved once";
  EXPECT_EQ(registry_.Files().size(), 1u) << "no relationships part without drawing or comments";
}

TEST_F(WorksheetTest, ColumnWidthsAndRowHeights) {
  CWorksheet& sheet =
      AddSheet({{0, 1, 50.0f}, {1, 4, 20.0f}, {5, 5, 8.43f}, {6, 6, std::numeric_limits<float>::quiet_NaN()}});
  sheet.BeginRow(0.0);
  sheet.EndRow();
  sheet.BeginRow(20.5);
  sheet.EndRow();
  sheet.BeginRow(-3.0);
  sheet.BeginRow(std::numeric_limits<double>::infinity());  // ends the open row first
  sheet.EndRow();
  sheet.EndRow();  // no row open: nothing happens
  EXPECT_EQ(SavedPart(1), Head() +
                              "<cols><col min=\"1\" max=\"2\" width=\"50\"/><col min=\"2\" max=\"5\" width=\"20\"/>"
                              "<col min=\"6\" max=\"6\" width=\"8.430000305175781\"/></cols>"
                              "<sheetData><row r=\"1\" x14ac:dyDescent=\"0.25\"/>"
                              "<row r=\"2\" x14ac:dyDescent=\"0.25\" ht=\"20.5\" customHeight=\"1\"/>"
                              "<row r=\"3\" x14ac:dyDescent=\"0.25\"/><row r=\"4\" x14ac:dyDescent=\"0.25\"/>"
                              "</sheetData>" +
                              kTail + "</worksheet>");
}

TEST(CellReference, LettersThenRow) {
  const struct {
    std::uint32_t row, column;
    const char* text;
  } cases[] = {{1, 0, "A1"},
               {7, 25, "Z7"},
               {10, 26, "AA10"},
               {1, 701, "ZZ1"},
               {1, 702, "AAA1"},
               {3, 27, "AB3"},
               {1048576, 16383, "XFD1048576"},
               {4294967295u, 4294967295u, "MWLQKWV4294967295"}};
  for (const auto& c : cases) EXPECT_EQ(CellReference(c.row, c.column), c.text);
}

TEST_F(WorksheetTest, CellsOfEveryKind) {
  CWorksheet& sheet = AddSheet();
  sheet.BeginRow(0);
  sheet.AddCell("", 0);  // skips column A
  sheet.AddCell(5, 0);
  sheet.AddCell(-7, 2);
  sheet.AddCell(0.1f, 0);
  sheet.AddCell(std::numeric_limits<float>::infinity(), 3);
  sheet.AddCell(std::numeric_limits<float>::quiet_NaN(), 0);
  sheet.AddCell("", 4);  // a styled empty cell
  sheet.AddCell("a<b", 1);
  sheet.EndRow();
  sheet.BeginRow(0);
  sheet.AddCell(1.5f, 0);
  sheet.EndRow();
  EXPECT_EQ(SavedPart(1), Head("A1:H2") +
                              "<sheetData><row r=\"1\" x14ac:dyDescent=\"0.25\">"
                              "<c r=\"B1\"><v>5</v></c><c r=\"C1\" s=\"2\"><v>-7</v></c>"
                              "<c r=\"D1\"><v>0.1</v></c>"
                              "<c r=\"E1\" s=\"3\" t=\"e\"><v>#NUM!</v></c><c r=\"F1\" t=\"e\"><v>#NUM!</v></c>"
                              "<c r=\"G1\" s=\"4\"/><c r=\"H1\" s=\"1\" t=\"s\"><v>0</v></c></row>"
                              "<row r=\"2\" x14ac:dyDescent=\"0.25\"><c r=\"A2\"><v>1.5</v></c></row></sheetData>" +
                              kTail + "</worksheet>");
  EXPECT_EQ(strings_, (SharedStringTable{{"a<b", 0}})) << "kept unescaped; escaped when written";
}

// A float cell holds the shortest decimal that reads back to the same float,
// never the digits of the float's double value.
TEST_F(WorksheetTest, FloatCellsAreTheShortestDecimalThatReadsBackToTheFloat) {
  const struct {
    float value;
    const char* text;
  } cases[] = {
      {37.9f, "37.9"},
      {0.1f, "0.1"},
      {12.35f, "12.35"},
      {-273.15f, "-273.15"},
      {1.0f / 3.0f, "0.33333334"},
      {16777216.0f, "16777216"},
      {1e-7f, "1e-07"},
      {3.4028235e38f, "3.4028235e+38"},
      {0.0f, "0"},
  };
  CWorksheet& sheet = AddSheet();
  sheet.BeginRow(0);
  for (const auto& c : cases) sheet.AddCell(c.value, 0);
  sheet.EndRow();
  const std::string part = SavedPart(1);
  std::size_t at = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    at = part.find("<v>", at);
    ASSERT_NE(at, std::string::npos);
    at += 3;
    const std::string written = part.substr(at, part.find("</v>", at) - at);
    EXPECT_EQ(written, c.text);
    EXPECT_EQ(std::strtof(written.c_str(), nullptr), c.value) << "reads back to the same float";
  }
}

TEST_F(WorksheetTest, SharedStringsNumberedByFirstUseAcrossSheets) {
  CWorksheet& first = AddSheet();
  CWorksheet& second = AddSheet();
  first.BeginRow(0);
  first.AddCell("b", 0);
  first.AddCell("a", 0);
  first.AddCell("b", 0);
  first.EndRow();
  second.BeginRow(0);
  second.AddCell("a", 0);
  second.AddCell("c", 0);
  second.EndRow();
  EXPECT_EQ(strings_, (SharedStringTable{{"b", 0}, {"a", 1}, {"c", 2}}));
  EXPECT_NE(SavedPart(1).find("<c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"s\"><v>1</v></c>"
                              "<c r=\"C1\" t=\"s\"><v>0</v></c>"),
            std::string::npos);
  EXPECT_NE(SavedPart(2).find("<c r=\"A1\" t=\"s\"><v>1</v></c><c r=\"B1\" t=\"s\"><v>2</v></c>"), std::string::npos);
  EXPECT_EQ(registry_.Files(), (std::vector<std::string>{"/xl/worksheets/sheet1.xml", "/xl/worksheets/sheet2.xml"}));
}

TEST_F(WorksheetTest, FormulasOnlyWhenAskedFor) {
  CWorksheet& sheet = AddSheet();
  sheet.BeginRow(0);
  sheet.AddCell("=A1+1", 0);  // a text that looks like a formula stays text
  sheet.AddCell(2, 0);
  sheet.EndRow();
  EXPECT_FALSE(sheet.HasFormulas());
  sheet.BeginRow(0);
  sheet.AddCell(1, 0);
  sheet.AddFormula("=A1+1", 0);
  sheet.AddFormula("SUM(A1:B2)&\"<\"", 5);
  sheet.EndRow();
  EXPECT_TRUE(sheet.HasFormulas());
  EXPECT_EQ(sheet.GetFormulaCells(), (std::vector<std::string>{"B2", "C2"}));
  EXPECT_EQ(strings_, (SharedStringTable{{"=A1+1", 0}}));
  EXPECT_NE(SavedPart(1).find("<row r=\"1\" x14ac:dyDescent=\"0.25\"><c r=\"A1\" t=\"s\"><v>0</v></c>"
                              "<c r=\"B1\"><v>2</v></c></row>"
                              "<row r=\"2\" x14ac:dyDescent=\"0.25\"><c r=\"A2\"><v>1</v></c>"
                              "<c r=\"B2\"><f>A1+1</f></c>"
                              "<c r=\"C2\" s=\"5\"><f>SUM(A1:B2)&amp;&quot;&lt;&quot;</f></c></row>"),
            std::string::npos);
}

TEST_F(WorksheetTest, DrawingAndCommentsAreReferenced) {
  const std::string relationships =
      "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
  const std::string drawingRel =
      "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/drawing\" "
      "Target=\"../drawings/drawing";
  const std::string vmlRel =
      "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/vmlDrawing\" "
      "Target=\"../drawings/vmlDrawing";
  const std::string commentsRel =
      "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/comments\" "
      "Target=\"../comments";

  AddSheet();
  AddSheet().SetHasComments(true);
  AddSheet().SetHasComments(true);
  drawings_[0]->items.push_back(DrawingItem{});
  drawings_[2]->items.push_back(DrawingItem{});

  EXPECT_EQ(SavedPart(1), Head() + "<sheetData/>" + kTail + "<drawing r:id=\"rId1\"/></worksheet>");
  EXPECT_EQ(Part("/xl/worksheets/_rels/sheet1.xml.rels"),
            relationships + "<Relationship Id=\"rId1\" " + drawingRel + "1.xml\"/></Relationships>");

  EXPECT_EQ(SavedPart(2), Head() + "<sheetData/>" + kTail + "<legacyDrawing r:id=\"rId1\"/></worksheet>");
  EXPECT_EQ(Part("/xl/worksheets/_rels/sheet2.xml.rels"), relationships + "<Relationship Id=\"rId1\" " + vmlRel +
                                                              "2.vml\"/><Relationship Id=\"rId2\" " + commentsRel +
                                                              "2.xml\"/></Relationships>");

  EXPECT_EQ(SavedPart(3),
            Head() + "<sheetData/>" + kTail + "<drawing r:id=\"rId1\"/><legacyDrawing r:id=\"rId2\"/></worksheet>");
  EXPECT_EQ(Part("/xl/worksheets/_rels/sheet3.xml.rels"),
            relationships + "<Relationship Id=\"rId1\" " + drawingRel + "3.xml\"/><Relationship Id=\"rId2\" " + vmlRel +
                "3.vml\"/><Relationship Id=\"rId3\" " + commentsRel + "3.xml\"/></Relationships>");
}

TEST_F(WorksheetTest, SaveEndsAnOpenRowAndCellsNeedNoBeginRow) {
  CWorksheet& sheet = AddSheet();
  sheet.AddCell(1, 0);
  sheet.BeginRow(0);
  sheet.AddCell(2, 0);
  EXPECT_EQ(SavedPart(1), Head("A1:A2") +
                              "<sheetData><row r=\"1\" x14ac:dyDescent=\"0.25\"><c r=\"A1\"><v>1</v></c></row>"
                              "<row r=\"2\" x14ac:dyDescent=\"0.25\"><c r=\"A2\"><v>2</v></c></row></sheetData>" +
                              kTail + "</worksheet>");
  sheet.AddCell(3, 0);  // after Save the sheet writes nothing
  EXPECT_EQ(registry_.Files().size(), 1u);
}

TEST_F(WorksheetTest, CellsBeyondTheLastColumnFailTheSave) {
  CWorksheet& sheet = AddSheet();
  sheet.BeginRow(0);
  for (std::uint32_t c = 0; c <= kMaxColumns; ++c) sheet.AddCell(1, 0);
  sheet.EndRow();
  const std::string part = SavedPart(1, false);
  EXPECT_NE(part.find("<c r=\"XFD1\"><v>1</v></c></row>"), std::string::npos);
  EXPECT_EQ(part.find("XFE1"), std::string::npos);
}

TEST_F(WorksheetTest, RowsBeyondTheLastRowFailTheSave) {
  CWorksheet& sheet = AddSheet();
  for (std::uint32_t r = 0; r <= kMaxRows; ++r) {
    sheet.BeginRow(0);
    sheet.EndRow();
  }
  const std::string part = SavedPart(1, false);
  EXPECT_NE(part.find("<row r=\"1048576\" x14ac:dyDescent=\"0.25\"/></sheetData>"), std::string::npos);
}

TEST_F(WorksheetTest, APartThatCannotBeOpenedFailsTheSave) {
  registry_.RegisterPartFile("/xl/worksheets/placeholder.xml");
  ASSERT_EQ(::mkdir((registry_.Root() + "/xl/worksheets/sheet1.xml").c_str(), 0700), 0);  // blocks the file
  CWorksheet& sheet = AddSheet();
  sheet.BeginRow(0);
  sheet.AddCell("kept", 0);
  sheet.EndRow();
  EXPECT_EQ(strings_.size(), 1u);
  EXPECT_FALSE(sheet.Save());
  EXPECT_FALSE(sheet.Save());
}

TEST_F(WorksheetTest, NumbersIgnoreTheUserLocale) {
  ORV::Test::CommaLocale comma;
  CWorksheet& sheet = AddSheet({{0, 0, 12.5f}});
  sheet.BeginRow(20.25);
  sheet.AddCell(0.5f, 0);
  sheet.EndRow();
  const std::string part = SavedPart(1);
  EXPECT_NE(part.find("width=\"12.5\""), std::string::npos);
  EXPECT_NE(part.find("ht=\"20.25\""), std::string::npos);
  EXPECT_NE(part.find("<v>0.5</v>"), std::string::npos);
  EXPECT_NE(part.find("left=\"0.7\""), std::string::npos);
}

}  // namespace
}  // namespace Xlsx
