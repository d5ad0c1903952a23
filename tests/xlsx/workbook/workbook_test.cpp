#include "xlsx/workbook.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <ctime>
#include <functional>
#include <memory>

#include "platform/os/folders.h"
#include "tests/support/test_support.h"
#include "tests/xlsx/workbook/workbook_fixture.h"

namespace XlsxTest {
namespace {

using Xlsx::CWorkbook;
using Xlsx::XlsxTextRecord;

const std::string kPackageNs = "http://schemas.openxmlformats.org/package/2006/";
const std::string kOfficeRel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
const std::string kSpreadsheetMl = "application/vnd.openxmlformats-officedocument.spreadsheetml.";

std::string Rel(int id, const std::string& kind, const std::string& target) {
  return "<Relationship Id=\"rId" + std::to_string(id) + "\" Type=\"" + kOfficeRel + kind + "\" Target=\"" + target +
         "\"/>";
}

std::string WorkbookRels(const std::string& relationships) {
  return "<Relationships xmlns=\"" + kPackageNs + "relationships\">" + relationships + "</Relationships>";
}

std::string SheetOverride(int n) {
  return "<Override PartName=\"/xl/worksheets/sheet" + std::to_string(n) + ".xml\" ContentType=\"" + kSpreadsheetMl +
         "worksheet+xml\"/>";
}

// The content-type map around the sheet entries (with what may follow them)
// and the optional shared-strings entry.
std::string ContentTypes(const std::string& sheetEntries, bool sharedStrings) {
  return "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
         "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
         "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
         "<Override PartName=\"/xl/workbook.xml\" ContentType=\"" +
         kSpreadsheetMl + "sheet.main+xml\"/>" + sheetEntries +
         "<Override PartName=\"/xl/theme/theme1.xml\" "
         "ContentType=\"application/vnd.openxmlformats-officedocument.theme+xml\"/>"
         "<Override PartName=\"/xl/styles.xml\" ContentType=\"" +
         kSpreadsheetMl + "styles+xml\"/>" +
         (sharedStrings
              ? "<Override PartName=\"/xl/sharedStrings.xml\" ContentType=\"" + kSpreadsheetMl + "sharedStrings+xml\"/>"
              : std::string()) +
         "<Override PartName=\"/docProps/core.xml\" "
         "ContentType=\"application/vnd.openxmlformats-package.core-properties+xml\"/>"
         "<Override PartName=\"/docProps/app.xml\" "
         "ContentType=\"application/vnd.openxmlformats-officedocument.extended-properties+xml\"/>"
         "</Types>";
}

const std::string kWorkbookHead =
    "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
    "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\">"
    "<fileVersion appName=\"xl\" lastEdited=\"5\" lowestEdited=\"5\" rupBuild=\"9303\"/>"
    "<workbookPr codeName=\"ThisWorkbook\" defaultThemeVersion=\"124226\"/>"
    "<bookViews><workbookView xWindow=\"270\" yWindow=\"630\" windowWidth=\"24615\" windowHeight=\"11445\" "
    "activeTab=\"0\"/></bookViews>";

TEST_F(WorkbookTest, OneSheetWithTextCells) {
  const std::string path = out_ / "book.xlsx";
  {
    CWorkbook book(XlsxTextRecord("Lab"));
    Xlsx::CWorksheet& sheet = book.AddSheet(XlsxTextRecord("Results"), {});
    sheet.BeginRow(0.0);
    for (const char* text : {"b", "a", "b", " padded", "tab\t", "x < y & z", "a"}) sheet.AddCell(text, 0);
    sheet.AddCell(std::int32_t{7}, 0);
    EXPECT_EQ(WorkbookTempFolders().size(), 1u);
    ASSERT_TRUE(book.Save(path));
    EXPECT_TRUE(WorkbookTempFolders().empty()) << "the part files go as soon as the archive is saved";
  }
  EXPECT_EQ(OutputFolderNames(), std::vector<std::string>{"book.xlsx"}) << "no temporary archive is left";

  const std::vector<std::string> entries = {
      "xl/worksheets/sheet1.xml",   "docProps/core.xml",   "_rels/.rels",          "docProps/app.xml",
      "[Content_Types].xml",        "xl/theme/theme1.xml", "xl/sharedStrings.xml", "xl/styles.xml",
      "xl/_rels/workbook.xml.rels", "xl/workbook.xml"};
  EXPECT_EQ(EntryNames(path), entries);

  const std::string folder = Unpack(path);
  std::vector<std::string> files;
  for (const std::string& entry : entries) files.push_back(folder + "/" + entry);
  ExpectWellFormed(files);

  // Strings in order of first use, each once; white space at either end kept.
  EXPECT_EQ(Part(folder, "xl/sharedStrings.xml"),
            "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" count=\"5\" uniqueCount=\"5\">"
            "<si><t>b</t></si><si><t>a</t></si><si><t xml:space=\"preserve\"> padded</t></si>"
            "<si><t xml:space=\"preserve\">tab\t</t></si><si><t>x &lt; y &amp; z</t></si></sst>");
  EXPECT_EQ(CountOf(Part(folder, "xl/worksheets/sheet1.xml"), "t=\"s\""), 7u);
  EXPECT_EQ(Part(folder, "[Content_Types].xml"), ContentTypes(SheetOverride(1), true));
  EXPECT_EQ(Part(folder, "xl/_rels/workbook.xml.rels"),
            WorkbookRels(Rel(1, "worksheet", "worksheets/sheet1.xml") + Rel(2, "sharedStrings", "sharedStrings.xml") +
                         Rel(3, "styles", "styles.xml") + Rel(4, "theme", "theme/theme1.xml")));
  EXPECT_EQ(Part(folder, "xl/workbook.xml"),
            kWorkbookHead +
                "<sheets><sheet name=\"Results\" sheetId=\"1\" r:id=\"rId1\"/></sheets>"
                "<calcPr calcId=\"124519\"/></workbook>");
}

// The relationship ids, the content-type map and the package order follow
// what the sheets hold.
TEST_F(WorkbookTest, RelationshipsFollowTheContent) {
  struct Case {
    const char* name;
    int sheets;
    std::function<void(std::vector<Xlsx::CWorksheet*>&)> fill;
    std::string relationships;
    std::string contentTypeSheets;
    bool sharedStrings;
    std::vector<std::string> entries;
    std::string calcChain;  // empty: no calculation chain
  };
  const std::vector<Case> cases = {
      {"numbers only",
       1,
       [](auto& s) {
         s[0]->AddCell(std::int32_t{1}, 0);
         s[0]->AddCell(2.5f, 0);
       },
       Rel(1, "worksheet", "worksheets/sheet1.xml") + Rel(2, "styles", "styles.xml") +
           Rel(3, "theme", "theme/theme1.xml"),
       SheetOverride(1),
       false,
       {"xl/worksheets/sheet1.xml", "docProps/core.xml", "_rels/.rels", "docProps/app.xml", "[Content_Types].xml",
        "xl/theme/theme1.xml", "xl/styles.xml", "xl/_rels/workbook.xml.rels", "xl/workbook.xml"},
       ""},
      {"two sheets with text",
       2,
       [](auto& s) {
         s[0]->AddCell("a", 0);
         s[1]->AddCell("b", 0);
       },
       Rel(1, "worksheet", "worksheets/sheet1.xml") + Rel(2, "worksheet", "worksheets/sheet2.xml") +
           Rel(3, "sharedStrings", "sharedStrings.xml") + Rel(4, "styles", "styles.xml") +
           Rel(5, "theme", "theme/theme1.xml"),
       SheetOverride(1) + SheetOverride(2),
       true,
       {"xl/worksheets/sheet1.xml", "xl/worksheets/sheet2.xml", "docProps/core.xml", "_rels/.rels", "docProps/app.xml",
        "[Content_Types].xml", "xl/theme/theme1.xml", "xl/sharedStrings.xml", "xl/styles.xml",
        "xl/_rels/workbook.xml.rels", "xl/workbook.xml"},
       ""},
      {"formulas on the second sheet, text on the first",
       2,
       [](auto& s) {
         s[0]->AddCell("a", 0);
         s[1]->AddFormula("=1+1", 0);
         s[1]->AddFormula("A1*2", 0);
       },
       Rel(1, "worksheet", "worksheets/sheet1.xml") + Rel(2, "worksheet", "worksheets/sheet2.xml") +
           Rel(3, "calcChain", "calcChain.xml") + Rel(4, "sharedStrings", "sharedStrings.xml") +
           Rel(5, "styles", "styles.xml") + Rel(6, "theme", "theme/theme1.xml"),
       SheetOverride(1) + SheetOverride(2) + "<Override PartName=\"/xl/calcChain.xml\" ContentType=\"" +
           kSpreadsheetMl + "calcChain+xml\"/>",
       true,
       {"xl/worksheets/sheet1.xml", "xl/worksheets/sheet2.xml", "docProps/core.xml", "_rels/.rels", "docProps/app.xml",
        "[Content_Types].xml", "xl/calcChain.xml", "xl/theme/theme1.xml", "xl/sharedStrings.xml", "xl/styles.xml",
        "xl/_rels/workbook.xml.rels", "xl/workbook.xml"},
       "<calcChain xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
       "<c r=\"A1\" i=\"2\"/><c r=\"B1\"/></calcChain>"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CWorkbook book(XlsxTextRecord("Lab"));
    std::vector<Xlsx::CWorksheet*> sheets;
    for (int i = 0; i < c.sheets; ++i) sheets.push_back(&book.AddSheet(XlsxTextRecord(), {}));
    c.fill(sheets);
    const std::string name = std::string(c.name) + ".xlsx";
    const std::string folder = SaveAndUnpack(book, name);
    EXPECT_EQ(EntryNames(out_ / name), c.entries);
    EXPECT_EQ(Part(folder, "xl/_rels/workbook.xml.rels"), WorkbookRels(c.relationships));
    EXPECT_EQ(Part(folder, "[Content_Types].xml"), ContentTypes(c.contentTypeSheets, c.sharedStrings));
    if (!c.calcChain.empty()) {
      EXPECT_EQ(Part(folder, "xl/calcChain.xml"), c.calcChain);
    }
  }
}

TEST_F(WorkbookTest, DocumentPropertiesOfThreeSheets) {
  CWorkbook book(XlsxTextRecord("Dr. A & B <lab>"));
  book.AddSheet(XlsxTextRecord("Data & Results"), {});
  book.AddSheet(XlsxTextRecord(u""), {});
  book.AddSheet(XlsxTextRecord("<raw>"), {});
  const std::time_t before = std::time(nullptr);
  const std::string folder = SaveAndUnpack(book);
  const std::time_t after = std::time(nullptr);

  EXPECT_EQ(Part(folder, "docProps/app.xml"),
            "<Properties xmlns=\"http://schemas.openxmlformats.org/officeDocument/2006/extended-properties\" "
            "xmlns:vt=\"http://schemas.openxmlformats.org/officeDocument/2006/docPropsVTypes\">"
            "<Application>Microsoft Excel</Application><DocSecurity>0</DocSecurity><ScaleCrop>false</ScaleCrop>"
            "<HeadingPairs><vt:vector size=\"2\" baseType=\"variant\">"
            "<vt:variant><vt:lpstr>Worksheets</vt:lpstr></vt:variant><vt:variant><vt:i4>3</vt:i4></vt:variant>"
            "</vt:vector></HeadingPairs>"
            "<TitlesOfParts><vt:vector size=\"3\" baseType=\"lpstr\"><vt:lpstr>Data &amp; Results</vt:lpstr>"
            "<vt:lpstr>Sheet 2</vt:lpstr><vt:lpstr>&lt;raw&gt;</vt:lpstr></vt:vector></TitlesOfParts>"
            "<Company></Company><LinksUpToDate>false</LinksUpToDate><SharedDoc>false</SharedDoc>"
            "<HyperlinksChanged>false</HyperlinksChanged><AppVersion>14.03</AppVersion></Properties>");
  EXPECT_EQ(
      Part(folder, "xl/workbook.xml"),
      kWorkbookHead +
          "<sheets><sheet name=\"Data &amp; Results\" sheetId=\"1\" r:id=\"rId1\"/>"
          "<sheet name=\"Sheet 2\" sheetId=\"2\" r:id=\"rId2\"/>"
          "<sheet name=\"&lt;raw&gt;\" sheetId=\"3\" r:id=\"rId3\"/></sheets><calcPr calcId=\"124519\"/></workbook>");

  const std::string core = Part(folder, "docProps/core.xml");
  const std::string created = "<dcterms:created xsi:type=\"dcterms:W3CDTF\">";
  const std::size_t at = core.find(created);
  ASSERT_NE(at, std::string::npos) << core;
  const std::string stamp = core.substr(at + created.size(), 20);
  EXPECT_EQ(core,
            "<cp:coreProperties xmlns:cp=\"http://schemas.openxmlformats.org/package/2006/metadata/core-properties\" "
            "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" xmlns:dcterms=\"http://purl.org/dc/terms/\" "
            "xmlns:dcmitype=\"http://purl.org/dc/dcmitype/\" xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">"
            "<dc:creator>Dr. A &amp; B &lt;lab&gt;</dc:creator>" +
                created + stamp + "</dcterms:created><dcterms:modified xsi:type=\"dcterms:W3CDTF\">" + stamp +
                "</dcterms:modified></cp:coreProperties>")
      << "one stamp for both";
  std::tm utc{};
  const char* end = ::strptime(stamp.c_str(), "%Y-%m-%dT%H:%M:%SZ", &utc);
  ASSERT_TRUE(end != nullptr && *end == '\0') << stamp;
  const std::time_t parsed = ::timegm(&utc);
  EXPECT_GE(parsed, before);
  EXPECT_LE(parsed, after) << "the stamp is the current UTC time";

  // The package relationships are the same for every workbook.
  EXPECT_EQ(Part(folder, "_rels/.rels"),
            "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
            "<Relationship Id=\"rId3\" "
            "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/extended-properties\" "
            "Target=\"docProps/app.xml\"/>"
            "<Relationship Id=\"rId2\" "
            "Type=\"http://schemas.openxmlformats.org/package/2006/relationships/metadata/core-properties\" "
            "Target=\"docProps/core.xml\"/>"
            "<Relationship Id=\"rId1\" "
            "Type=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument\" "
            "Target=\"xl/workbook.xml\"/></Relationships>");

  CWorkbook anonymous{XlsxTextRecord()};
  anonymous.AddSheet(XlsxTextRecord(), {});
  EXPECT_NE(Part(SaveAndUnpack(anonymous, "anonymous.xlsx"), "docProps/core.xml").find("<dc:creator></dc:creator>"),
            std::string::npos);
}

// Whatever makes a save fail, it leaves neither part files nor a temporary
// archive behind, and a file of the target's name keeps its contents.
TEST_F(WorkbookTest, FailedSaveLeavesNothingBehind) {
  struct Case {
    const char* name;
    bool addSheet;
    std::function<bool(CWorkbook&, const std::string& target)> save;
    std::string target;
  };
  const std::string sentinel = "the previous workbook";
  const std::vector<Case> cases = {
      {"folder of the target missing", true, [](CWorkbook& b, const std::string& t) { return b.Save(t); },
       "missing/book.xlsx"},
      {"workbook without sheets", false, [](CWorkbook& b, const std::string& t) { return b.Save(t); }, "book.xlsx"},
      {"a part cannot be written", true,
       [](CWorkbook& b, const std::string& t) {
         ORV::Test::FileSizeLimit limit(1024);
         return b.Save(t);
       },
       "book.xlsx"},
      {"archive cannot be written completely", true,
       [](CWorkbook& b, const std::string& t) {
         // Twenty parts of about 10 kB each: every part fits, the archive
         // of them all does not.
         for (int n = 0; n < 20; ++n) {
           Xlsx::CWorksheet& sheet = b.AddSheet(XlsxTextRecord(), {});
           for (int r = 0; r < 40; ++r) {
             sheet.BeginRow(0.0);
             for (int c = 0; c < 5; ++c) sheet.AddCell(static_cast<float>((r * 7919 + c * 104729 + n) % 100003) / 7, 0);
           }
         }
         ORV::Test::FileSizeLimit limit(20000);
         return b.Save(t);
       },
       "book.xlsx"},
      {"target is a folder", true, [](CWorkbook& b, const std::string& t) { return b.Save(t); }, "folder.xlsx"},
      {"second save", true,
       [this](CWorkbook& b, const std::string& t) {
         EXPECT_TRUE(b.Save(out_ / "first.xlsx"));
         return b.Save(t);
       },
       "book.xlsx"},
  };
  ASSERT_TRUE(ORV::OS::EnsureDir(out_ / "folder.xlsx"));
  ASSERT_TRUE(ORV::OS::AtomicWriteFile(out_ / "folder.xlsx/inside", sentinel));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ORV::OS::RemoveTree(out_ / "first.xlsx");
    ASSERT_TRUE(ORV::OS::AtomicWriteFile(out_ / "book.xlsx", sentinel));
    {
      CWorkbook book(XlsxTextRecord("Lab"));
      if (c.addSheet) book.AddSheet(XlsxTextRecord("Data"), {}).AddCell("text", 0);
      EXPECT_FALSE(c.save(book, out_ / c.target));
      EXPECT_TRUE(WorkbookTempFolders().empty());
    }
    EXPECT_TRUE(ReadFile(out_ / "book.xlsx") == sentinel) << "the existing file was changed";
    EXPECT_TRUE(ReadFile(out_ / "folder.xlsx/inside") == sentinel) << "the folder's file was changed";
    std::vector<std::string> expected = {"book.xlsx", "folder.xlsx"};
    if (std::string(c.name) == "second save") expected.insert(expected.begin() + 1, "first.xlsx");
    EXPECT_EQ(OutputFolderNames(), expected);
  }
}

TEST_F(WorkbookTest, TemporaryFolderLastsUntilSaveOrDestruction) {
  auto book = std::make_unique<CWorkbook>(XlsxTextRecord("Lab"));
  EXPECT_TRUE(WorkbookTempFolders().empty()) << "made by the first sheet";
  book->AddSheet(XlsxTextRecord(), {}).AddCell("text", 0);
  book->AddSheet(XlsxTextRecord(), {});
  EXPECT_EQ(WorkbookTempFolders().size(), 1u);
  book.reset();
  EXPECT_TRUE(WorkbookTempFolders().empty()) << "an unsaved workbook removes its files too";
}

// A saved workbook replaces the file of its name and keeps that file's
// permissions; a new file is readable by others. The name is used exactly as
// given.
TEST_F(WorkbookTest, ReplacesTheTargetUnderItsExactName) {
  const std::string existing = out_ / "existing.xlsx";
  ASSERT_TRUE(ORV::OS::AtomicWriteFile(existing, "old"));
  ASSERT_EQ(::chmod(existing.c_str(), 0640), 0);
  const std::string fresh = out_ / "Messung µm – Gefäß 1.xlsx";
  for (const std::string& path : {existing, fresh}) {
    CWorkbook book(XlsxTextRecord("Lab"));
    book.AddSheet(XlsxTextRecord(), {}).AddCell(std::int32_t{1}, 0);
    EXPECT_TRUE(book.Save(path));
    EXPECT_EQ(ReadFile(path).rfind("PK\x03\x04", 0), 0u) << path;
  }
  EXPECT_EQ(ORV::Test::FileMode(existing), 0640u);
  EXPECT_EQ(ORV::Test::FileMode(fresh), 0644u);
  EXPECT_EQ(OutputFolderNames(), (std::vector<std::string>{"Messung µm – Gefäß 1.xlsx", "existing.xlsx"}));
}

}  // namespace
}  // namespace XlsxTest
