#include "xlsx/styles.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>

#include "tests/support/test_support.h"
#include "tests/xlsx/writer/xlsx_test_util.h"
#include "xlsx/xml_writer.h"

// glibc's newlocale loses its copy of $LOCPATH, which the test locale needs;
// the program itself runs without LOCPATH.
extern "C" const char* __lsan_default_suppressions() { return "leak:__argz_add_sep\n"; }

namespace Xlsx {
namespace {

using XlsxTest::kDeclaration;
using XlsxTest::ReadFile;

const std::string kStyleSheet =
    "<styleSheet xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
    "xmlns:mc=\"http://schemas.openxmlformats.org/markup-compatibility/2006\" mc:Ignorable=\"x14ac\" "
    "xmlns:x14ac=\"http://schemas.microsoft.com/office/spreadsheetml/2009/9/ac\">";
const std::string kDefaultFont =
    "<font><sz val=\"11\"/><name val=\"Calibri\"/><charset val=\"204\"/><color theme=\"1\"/></font>";
const std::string kStylesTail =
    "<cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/></cellStyles>"
    "<dxfs count=\"0\"/>"
    "<tableStyles count=\"0\" defaultTableStyle=\"TableStyleMedium2\" defaultPivotStyle=\"PivotStyleLight16\"/>"
    "<extLst><ext uri=\"{EB79DEF2-80B8-43e5-95BD-54CBDDF9020C}\" "
    "xmlns:x14=\"http://schemas.microsoft.com/office/spreadsheetml/2009/9/main\">"
    "<x14:slicerStyles defaultSlicerStyle=\"SlicerStyleLight1\"/></ext></extLst></styleSheet>";

// A new workbook's style registry and a package tree to save it into.
class StylesTest : public ::testing::Test {
 protected:
  StylesTest() {
    styles_.AddWorkbookDefaults();
    styles_.SetCurrencySymbol("\xE2\x82\xAC");  // €
  }

  std::string SavedPart() {
    EXPECT_TRUE(SaveStyles(registry_, styles_));
    const std::string path = registry_.Root() + "/xl/styles.xml";
    XlsxTest::ExpectWellFormed(path);
    const std::string text = ReadFile(path);
    EXPECT_EQ(text.rfind(kDeclaration, 0), 0u);
    return text.substr(std::min(text.size(), std::string(kDeclaration).size()));
  }

  // The text of one element of the part, from its start tag to its end tag.
  static std::string Section(const std::string& part, const std::string& element) {
    const auto begin = part.find("<" + element);
    const auto end = part.find("</" + element + ">");
    if (begin == std::string::npos || end == std::string::npos) return {};
    return part.substr(begin, end + element.size() + 3 - begin);
  }

  ORV::Test::SandboxedHome home_;
  TempFileRegistry registry_;
  StyleRegistry styles_;
};

TEST_F(StylesTest, NewWorkbook) {
  EXPECT_EQ(registry_.Files().size(), 0u);
  EXPECT_EQ(SavedPart(), kStyleSheet + "<fonts count=\"1\">" + kDefaultFont +
                             "</fonts>"
                             "<fills count=\"2\"><fill><patternFill patternType=\"none\"/></fill>"
                             "<fill><patternFill patternType=\"gray125\"/></fill></fills>"
                             "<borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border></borders>"
                             "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/>"
                             "</cellStyleXfs>"
                             "<cellXfs count=\"2\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/>"
                             "<xf numFmtId=\"0\" fontId=\"0\" fillId=\"1\" borderId=\"0\" applyFill=\"1\"/></cellXfs>" +
                             kStylesTail);
  EXPECT_EQ(registry_.Files(), std::vector<std::string>{"/xl/styles.xml"});
}

TEST_F(StylesTest, FontsAndAlignmentGetTheirOwnCellFormats) {
  Style plain;
  EXPECT_EQ(styles_.AddStyle(plain), 0u) << "the default style is the workbook's first";
  Style bold;
  bold.font.attributes = kFontBold;
  EXPECT_EQ(styles_.AddStyle(bold), 2u);
  EXPECT_EQ(styles_.AddStyle(bold), 2u);
  Style italicUnderline;
  italicUnderline.font.attributes = kFontItalic | kFontUnderline;
  EXPECT_EQ(styles_.AddStyle(italicUnderline), 3u);
  Style right;
  right.alignment.horizontal = 3;
  EXPECT_EQ(styles_.AddStyle(right), 4u);
  Style boldCentre = bold;
  boldCentre.alignment.horizontal = 2;
  boldCentre.alignment.vertical = 1;
  boldCentre.alignment.wrapText = true;
  boldCentre.alignment.textRotation = 90;
  EXPECT_EQ(styles_.AddStyle(boldCentre), 5u);
  Style otherFormatId = bold;
  otherFormatId.numberFormat.id = 3;  // differs only in the id: the same style
  EXPECT_EQ(styles_.AddStyle(otherFormatId), 2u);

  const std::string part = SavedPart();
  EXPECT_EQ(Section(part, "fonts"),
            "<fonts count=\"3\">" + kDefaultFont +
                "<font><b/><sz val=\"11\"/><name val=\"Calibri\"/><charset val=\"204\"/><color theme=\"1\"/></font>"
                "<font><i/><u/><sz val=\"11\"/><name val=\"Calibri\"/><charset val=\"204\"/><color theme=\"1\"/>"
                "</font></fonts>");
  EXPECT_EQ(Section(part, "cellXfs"),
            "<cellXfs count=\"6\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/>"
            "<xf numFmtId=\"0\" fontId=\"0\" fillId=\"1\" borderId=\"0\" applyFill=\"1\"/>"
            "<xf numFmtId=\"0\" fontId=\"1\" fillId=\"0\" borderId=\"0\" applyFont=\"1\"/>"
            "<xf numFmtId=\"0\" fontId=\"2\" fillId=\"0\" borderId=\"0\" applyFont=\"1\"/>"
            "<xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" applyAlignment=\"1\">"
            "<alignment horizontal=\"right\"/></xf>"
            "<xf numFmtId=\"0\" fontId=\"1\" fillId=\"0\" borderId=\"0\" applyFont=\"1\" applyAlignment=\"1\">"
            "<alignment horizontal=\"center\" vertical=\"top\" wrapText=\"1\" textRotation=\"90\"/></xf></cellXfs>");
  EXPECT_EQ(Section(part, "numFmts"), "") << "only built-in formats so far";
}

TEST_F(StylesTest, NumberFormatIds) {
  Style threeDecimals;
  threeDecimals.numberFormat.code = "0.000";
  EXPECT_EQ(styles_.AddStyle(threeDecimals), 2u);
  EXPECT_EQ(threeDecimals.numberFormat.id, 164u) << "the assigned id is written back";
  Style again;
  again.numberFormat.code = "0.000";
  again.font.attributes = kFontBold;
  EXPECT_EQ(styles_.AddStyle(again), 3u);
  EXPECT_EQ(again.numberFormat.id, 164u) << "an equal format is found, not numbered again";
  Style four;
  four.numberFormat.code = "0.0000";
  EXPECT_EQ(styles_.AddStyle(four), 4u);
  EXPECT_EQ(four.numberFormat.id, 165u);
  Style date;
  date.numberFormat.id = 14;
  date.numberFormat.kind = kDate;
  EXPECT_EQ(styles_.AddStyle(date), 5u);
  EXPECT_EQ(date.numberFormat.id, 14u) << "built-in ids stay";
  Style builtInDefault;
  builtInDefault.numberFormat.id = 14;
  EXPECT_EQ(styles_.AddStyle(builtInDefault), 0u) << "same fields as the workbook's format 0";
  Style accounting;
  accounting.numberFormat.kind = kAccounting;
  accounting.numberFormat.thousandsSeparator = true;
  EXPECT_EQ(styles_.AddStyle(accounting), 6u);
  EXPECT_EQ(accounting.numberFormat.id, 166u);

  const std::string part = SavedPart();
  EXPECT_EQ(Section(part, "numFmts"),
            "<numFmts count=\"3\"><numFmt numFmtId=\"164\" formatCode=\"0.000\"/>"
            "<numFmt numFmtId=\"165\" formatCode=\"0.0000\"/>"
            "<numFmt numFmtId=\"166\" formatCode=\"_-* #,##0.00\xE2\x82\xAC_-;\\-* #,##0.00\xE2\x82\xAC_-;"
            "_-* &quot;-&quot;??\xE2\x82\xAC_-;_-@_-\"/></numFmts>");
  EXPECT_NE(part.find("<xf numFmtId=\"14\" fontId=\"0\" fillId=\"0\" borderId=\"0\" applyNumberFormat=\"1\"/>"),
            std::string::npos);
  EXPECT_NE(part.find("<xf numFmtId=\"164\" fontId=\"1\" fillId=\"0\" borderId=\"0\" applyFont=\"1\" "
                      "applyNumberFormat=\"1\"/>"),
            std::string::npos);
}

TEST(BuildFormatCode, CodesFromFields) {
  const std::string euro = "\xE2\x82\xAC";
  const auto format = [](std::uint32_t kind, std::uint64_t decimals, bool thousands = false, std::uint32_t positive = 0,
                         std::uint32_t negative = 0, std::uint32_t zero = 0) {
    NumberFormat f;
    f.kind = kind;
    f.decimals = decimals;
    f.thousandsSeparator = thousands;
    f.positiveColour = positive;
    f.negativeColour = negative;
    f.zeroColour = zero;
    return f;
  };
  NumberFormat coded = format(kDate, 0);
  coded.code = "#,##0 \"pcs\"";
  const struct {
    NumberFormat format;
    std::string code;
  } cases[] = {
      {format(kNumber, 2, true), "#,##0.00"},
      {format(1, 0), "0"},
      {format(kNumber, 1, false, 4, 8), "[Blue]0.0;[Red]\\-0.0;0"},
      {format(kNumber, 1, false, 0, 8), "0.0;[Red]\\-0.0"},
      {format(kNumber, 0, false, 0, 0, 2), "0;;[Green]0"},
      {format(kNumber, 0, false, 9, 1, 3), "0;[BLACK]\\-0;[White]0"},
      {format(kPercent, 0), "0%"},
      {format(kPercent, 1, false, 0, 5), "0.0%;[Magenta]\\-0.0%"},
      {format(kScientific, 2), "0.00E+00"},
      {format(kCurrency, 2, true, 0, 0, 6), "#,##0.00 " + euro + ";;[Yellow]0 " + euro},
      {format(kAccounting, 2, true),
       "_-* #,##0.00" + euro + "_-;\\-* #,##0.00" + euro + "_-;_-* \"-\"??" + euro + "_-;_-@_-"},
      {format(kAccounting, 0, false, 7, 8),
       "[Cyan]_-* 0" + euro + "_-;[Red]\\-* 0" + euro + "_-;_-* \"-\"??" + euro + "_-;_-@_-"},
      {format(kDate, 3, true, 4), "yyyy.mm.dd"},
      {format(kTime, 0), "hh:mm:ss"},
      {format(kDateTime, 0), "yyyy.mm.dd hh:mm:ss"},
      {format(9, 2), ""},
      {coded, "#,##0 \"pcs\""},
  };
  for (const auto& c : cases) EXPECT_EQ(BuildFormatCode(c.format, euro), c.code) << c.code;
}

TEST_F(StylesTest, FillsBordersAndFontDetails) {
  Style style;
  style.fill.pattern = 1;
  style.fill.foreground = "FFFF0000";
  style.fill.background = "FF00FF00";
  style.border.left.style = 1;
  style.border.right.style = 13;
  style.border.right.colour = "FF0000FF";
  style.border.bottom.style = 14;  // no such line style: an empty side
  style.border.diagonalUp = true;
  style.font.name = XlsxTextRecord(std::string_view("Black & White"));
  style.font.colour = "FF123456";
  style.font.theme = false;
  EXPECT_EQ(styles_.AddStyle(style), 2u);

  Style otherDiagonal = style;
  otherDiagonal.border.diagonal.style = 2;
  EXPECT_EQ(styles_.AddStyle(otherDiagonal), 3u);
  Style unnamedPattern;
  unnamedPattern.fill.pattern = 19;
  unnamedPattern.font.colour = "FF654321";  // ignored while the theme colour is used
  unnamedPattern.border.diagonalDown = true;
  EXPECT_EQ(styles_.AddStyle(unnamedPattern), 4u);

  const std::string part = SavedPart();
  EXPECT_EQ(Section(part, "fills"),
            "<fills count=\"4\"><fill><patternFill patternType=\"none\"/></fill>"
            "<fill><patternFill patternType=\"gray125\"/></fill>"
            "<fill><patternFill patternType=\"solid\"><bgColor rgb=\"FF00FF00\"/><fgColor rgb=\"FFFF0000\"/>"
            "</patternFill></fill>"
            "<fill><patternFill patternType=\"none\"/></fill></fills>");
  EXPECT_EQ(Section(part, "borders"),
            "<borders count=\"4\"><border><left/><right/><top/><bottom/><diagonal/></border>"
            "<border diagonalUp=\"1\"><left style=\"thin\"><color indexed=\"64\"/></left>"
            "<right style=\"slantDashDot\"><color rgb=\"FF0000FF\"/></right><top/><bottom/><diagonal/></border>"
            "<border diagonalUp=\"1\"><left style=\"thin\"><color indexed=\"64\"/></left>"
            "<right style=\"slantDashDot\"><color rgb=\"FF0000FF\"/></right><top/><bottom/>"
            "<diagonal style=\"medium\"><color indexed=\"64\"/></diagonal></border>"
            "<border diagonalDown=\"1\"><left/><right/><top/><bottom/><diagonal/></border></borders>");
  EXPECT_EQ(Section(part, "fonts"),
            "<fonts count=\"3\">" + kDefaultFont +
                "<font><sz val=\"11\"/><name val=\"Black &amp; White\"/><charset val=\"204\"/>"
                "<color rgb=\"FF123456\"/></font>"
                "<font><sz val=\"11\"/><name val=\"Calibri\"/><charset val=\"204\"/><color theme=\"1\"/></font>"
                "</fonts>");
}

TEST(WriteFontProperties, EveryAttributeInBitOrder) {
  ORV::Test::TempDir dir;
  const std::string path = dir / "font.xml";
  {
    XmlWriter w(path);
    StyleFont font;
    font.attributes = 0xFF;
    font.size = 9;
    font.name = XlsxTextRecord(std::string_view("Tahoma"));
    w.Tag("rPr");
    WriteFontProperties(w, font, "rFont", 1);
  }
  EXPECT_EQ(ReadFile(path), std::string(kDeclaration) +
                                "<rPr><b/><i/><u/><strike/><outline/><shadow/><condense/><extend/><sz val=\"9\"/>"
                                "<rFont val=\"Tahoma\"/><charset val=\"1\"/><color theme=\"1\"/></rPr>");
}

TEST(LocaleCurrencySymbol, FromTheUsersMonetaryLocale) {
  const char* saved = std::getenv("LC_ALL");
  const std::string savedAll = saved ? saved : "";
  ORV::Test::CommaLocale german;  // makes de_DE.UTF-8 available
  ::setenv("LC_ALL", "C", 1);
  EXPECT_EQ(LocaleCurrencySymbol(), "?") << "the C locale has no currency";
  ::setenv("LC_ALL", "de_DE.UTF-8", 1);
  EXPECT_EQ(LocaleCurrencySymbol(), "\xE2\x82\xAC");
  ::setenv("LC_ALL", "xx_NOWHERE.UTF-8", 1);
  EXPECT_EQ(LocaleCurrencySymbol(), "?");
  if (saved)
    ::setenv("LC_ALL", savedAll.c_str(), 1);
  else
    ::unsetenv("LC_ALL");
}

TEST_F(StylesTest, APartThatCannotBeWrittenFails) {
  registry_.RegisterPartFile("/xl/placeholder.xml");
  ASSERT_EQ(::mkdir((registry_.Root() + "/xl/styles.xml").c_str(), 0700), 0);
  EXPECT_FALSE(SaveStyles(registry_, styles_));
}

}  // namespace
}  // namespace Xlsx
