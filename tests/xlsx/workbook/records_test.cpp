// Comments, charts, drawings and chartsheets written from their records.
#include <gtest/gtest.h>

#include <cstdlib>

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
