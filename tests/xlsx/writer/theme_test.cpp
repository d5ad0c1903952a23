#include "xlsx/theme.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/support/test_support.h"
#include "tests/xlsx/writer/xlsx_test_util.h"

namespace Xlsx {
namespace {

using XlsxTest::CountOf;
using XlsxTest::ReadFile;

std::string SavedTheme() {
  TempFileRegistry registry;
  EXPECT_TRUE(SaveTheme(registry));
  EXPECT_EQ(registry.Files(), std::vector<std::string>{"/xl/theme/theme1.xml"});
  const std::string path = registry.Root() + "/xl/theme/theme1.xml";
  XlsxTest::ExpectWellFormed(path);
  return ReadFile(path);
}

TEST(Theme, FixedDocument) {
  ORV::Test::SandboxedHome home;
  const std::string theme = SavedTheme();
  EXPECT_EQ(SavedTheme(), theme) << "the same bytes for every workbook";

  EXPECT_EQ(theme.rfind(std::string(XlsxTest::kDeclaration) +
                            "<a:theme xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" "
                            "name=\"Office Theme\"><a:themeElements>",
                        0),
            0u);
  EXPECT_NE(theme.find("<a:clrScheme name=\"Office\">"
                       "<a:dk1><a:sysClr val=\"windowText\" lastClr=\"000000\"/></a:dk1>"
                       "<a:lt1><a:sysClr val=\"window\" lastClr=\"FFFFFF\"/></a:lt1>"
                       "<a:dk2><a:srgbClr val=\"1F497D\"/></a:dk2><a:lt2><a:srgbClr val=\"EEECE1\"/></a:lt2>"
                       "<a:accent1><a:srgbClr val=\"4F81BD\"/></a:accent1>"
                       "<a:accent2><a:srgbClr val=\"C0504D\"/></a:accent2>"
                       "<a:accent3><a:srgbClr val=\"9BBB59\"/></a:accent3>"
                       "<a:accent4><a:srgbClr val=\"8064A2\"/></a:accent4>"
                       "<a:accent5><a:srgbClr val=\"4BACC6\"/></a:accent5>"
                       "<a:accent6><a:srgbClr val=\"F79646\"/></a:accent6>"
                       "<a:hlink><a:srgbClr val=\"0000FF\"/></a:hlink>"
                       "<a:folHlink><a:srgbClr val=\"800080\"/></a:folHlink></a:clrScheme>"),
            std::string::npos);

  // Both fonts are the same: Cambria, 26 scripts, no East Asian ones.
  const std::string font =
      "<a:latin typeface=\"Cambria\"/><a:ea typeface=\"\"/><a:cs typeface=\"\"/>"
      "<a:font script=\"Arab\" typeface=\"Times New Roman\"/>";
  EXPECT_NE(theme.find("<a:majorFont>" + font), std::string::npos);
  EXPECT_NE(theme.find("<a:minorFont>" + font), std::string::npos);
  EXPECT_EQ(CountOf(theme, "<a:font "), 52u);
  EXPECT_NE(theme.find("<a:font script=\"Yiii\" typeface=\"Microsoft Yi Baiti\"/>"
                       "<a:font script=\"Tibt\" typeface=\"Microsoft Himalaya\"/>"),
            std::string::npos);
  EXPECT_NE(theme.find("<a:font script=\"Geor\" typeface=\"Sylfaen\"/></a:minorFont></a:fontScheme>"),
            std::string::npos);
  for (const char* script : {"Jpan", "Hang", "Hans", "Hant"}) EXPECT_EQ(theme.find(script), std::string::npos);

  EXPECT_NE(theme.find("<a:fmtScheme name=\"Office\"><a:fillStyleLst><a:solidFill><a:schemeClr val=\"phClr\"/>"
                       "</a:solidFill><a:gradFill rotWithShape=\"1\"><a:gsLst>"
                       "<a:gs pos=\"0\"><a:schemeClr val=\"phClr\"><a:tint val=\"50000\"/><a:satMod val=\"300000\"/>"
                       "</a:schemeClr></a:gs>"),
            std::string::npos);
  EXPECT_NE(theme.find("<a:lnStyleLst><a:ln w=\"9525\" cap=\"flat\" cmpd=\"sng\" algn=\"ctr\"><a:solidFill>"
                       "<a:schemeClr val=\"phClr\"><a:shade val=\"95000\"/><a:satMod val=\"105000\"/></a:schemeClr>"
                       "</a:solidFill><a:prstDash val=\"solid\"/></a:ln>"
                       "<a:ln w=\"25400\" cap=\"flat\" cmpd=\"sng\" algn=\"ctr\"><a:solidFill>"
                       "<a:schemeClr val=\"phClr\"/></a:solidFill><a:prstDash val=\"solid\"/></a:ln>"),
            std::string::npos);
  EXPECT_NE(theme.find("<a:effectStyle><a:effectLst><a:outerShdw blurRad=\"40000\" dist=\"23000\" dir=\"5400000\" "
                       "rotWithShape=\"0\"><a:srgbClr val=\"000000\"><a:alpha val=\"35000\"/></a:srgbClr>"
                       "</a:outerShdw></a:effectLst><a:scene3d><a:camera prst=\"orthographicFront\">"
                       "<a:rot lat=\"0\" lon=\"0\" rev=\"0\"/></a:camera><a:lightRig rig=\"threePt\" dir=\"t\">"
                       "<a:rot lat=\"0\" lon=\"0\" rev=\"1200000\"/></a:lightRig></a:scene3d>"
                       "<a:sp3d><a:bevelT w=\"63500\" h=\"25400\"/></a:sp3d></a:effectStyle></a:effectStyleLst>"),
            std::string::npos);
  EXPECT_NE(theme.find("<a:gs pos=\"40000\"><a:schemeClr val=\"phClr\"><a:tint val=\"45000\"/>"
                       "<a:shade val=\"99000\"/><a:satMod val=\"350000\"/></a:schemeClr></a:gs>"),
            std::string::npos);
  EXPECT_NE(theme.find("<a:path path=\"circle\"><a:fillToRect l=\"50000\" t=\"50000\" r=\"50000\" b=\"50000\"/>"
                       "</a:path></a:gradFill></a:bgFillStyleLst></a:fmtScheme></a:themeElements>"
                       "<a:objectDefaults/><a:extraClrSchemeLst/></a:theme>"),
            std::string::npos);
  EXPECT_EQ(theme.substr(theme.size() - 10), "</a:theme>") << "nothing follows the root";
  EXPECT_EQ(CountOf(theme, "<a:effectStyle>"), 3u);
  EXPECT_EQ(CountOf(theme, "<a:gradFill rotWithShape=\"1\">"), 4u);
}

TEST(Theme, APartThatCannotBeWrittenFails) {
  ORV::Test::SandboxedHome home;
  TempFileRegistry registry;
  registry.RegisterPartFile("/xl/theme/placeholder.xml");
  ASSERT_EQ(::mkdir((registry.Root() + "/xl/theme/theme1.xml").c_str(), 0700), 0);
  EXPECT_FALSE(SaveTheme(registry));
}

}  // namespace
}  // namespace Xlsx
