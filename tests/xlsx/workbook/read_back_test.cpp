// A saved workbook read back by an independent reader of the format.
#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/xlsx/workbook/workbook_fixture.h"
#include "xlsx/workbook.h"

namespace XlsxTest {
namespace {

using Xlsx::CWorkbook;
using Xlsx::XlsxTextRecord;

TEST_F(WorkbookTest, ReaderFindsValuesStylesAndWidths) {
  const std::string path = out_ / "read back.xlsx";
  {
    CWorkbook book(XlsxTextRecord("Lab"));
    Xlsx::Style header;
    header.font.attributes = Xlsx::kFontBold;
    header.alignment.horizontal = 2;  // center
    header.alignment.vertical = 2;
    const std::uint64_t headerStyle = book.AddStyle(header);
    Xlsx::Style right;
    right.alignment.horizontal = 3;
    const std::uint64_t rightStyle = book.AddStyle(right);

    Xlsx::CWorksheet& data = book.AddSheet(XlsxTextRecord("Data"), {{0, 0, 30.0f}, {1, 3, 12.5f}});
    data.BeginRow(0.0);
    data.AddCell("Name", headerStyle);
    data.AddCell("Value", headerStyle);
    data.BeginRow(0.0);
    data.AddCell("  leading", 0);
    data.AddCell(0.25f, rightStyle);
    data.AddCell(std::int32_t{7}, 0);
    data.BeginRow(0.0);
    data.AddCell("Gefäß µm", 0);
    data.AddCell(-3.5f, rightStyle);
    data.AddCell(12345.5f, 0);
    data.AddFormula("=SUM(B2:B3)", 0);
    data.EndRow();
    book.AddSheet(XlsxTextRecord(), {}).AddCell(std::int32_t{-1}, 0);
    ASSERT_TRUE(book.Save(path));
  }

  const std::string folder = Unpack(path);
  std::vector<std::string> parts;
  for (const std::string& entry : EntryNames(path)) parts.push_back(folder + "/" + entry);
  ExpectWellFormed(parts);

  const char* source = std::getenv("ORV_TEST_SOURCE_DIR");
  ASSERT_NE(source, nullptr);
  // The system's interpreter, for which the distribution installs openpyxl.
  int status = 0;
  const std::string dump = RunCommand("PYTHONIOENCODING=utf-8 /usr/bin/python3 " +
                                          ShellQuote(std::string(source) + "/tests/xlsx/workbook/read_back.py") + " " +
                                          ShellQuote(path) + " 2>&1",
                                      status);
  ASSERT_EQ(status, 0) << dump;
  EXPECT_EQ(dump,
            "sheet Data\n"
            "A1 'Name' bold center center\n"
            "B1 'Value' bold center center\n"
            "A2 '  leading' - - -\n"
            "B2 0.25 - right -\n"
            "C2 7 - - -\n"
            "A3 'Gefäß µm' - - -\n"
            "B3 -3.5 - right -\n"
            "C3 12345.5 - - -\n"
            "D3 '=SUM(B2:B3)' - - -\n"
            "col A 1 1 30.0\n"
            "col B 2 4 12.5\n"
            "sheet Sheet 2\n"
            "A1 -1 - - -\n");

  // A streaming reader sees each sheet's real used range, not one cell.
  const std::string streamed = RunCommand("PYTHONIOENCODING=utf-8 /usr/bin/python3 " +
                                              ShellQuote(std::string(source) + "/tests/xlsx/workbook/read_back.py") +
                                              " --read-only " + ShellQuote(path) + " 2>&1",
                                          status);
  ASSERT_EQ(status, 0) << streamed;
  EXPECT_EQ(streamed,
            "sheet Data A1:D3\n"
            "A1 'Name'\n"
            "B1 'Value'\n"
            "A2 '  leading'\n"
            "B2 0.25\n"
            "C2 7\n"
            "A3 'Gefäß µm'\n"
            "B3 -3.5\n"
            "C3 12345.5\n"
            "D3 '=SUM(B2:B3)'\n"
            "sheet Sheet 2 A1:A1\n"
            "A1 -1\n");
}

}  // namespace
}  // namespace XlsxTest
