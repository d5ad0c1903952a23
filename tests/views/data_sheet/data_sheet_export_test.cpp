#include "views/data_sheet/data_sheet_export.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>

#include "core/base/trace_kinds.h"
#include "platform/os/file_io.h"
#include "platform/os/folders.h"
#include "tests/views/data_sheet/data_sheet_fixture.h"
#include "tests/xlsx/writer/xlsx_test_util.h"

namespace ORV::Views {
namespace {

using DataSheetExportTest = Test::DataSheetFixture;
using Test::Stat;

using XlsxTest::ReadFile;

// The cells of a workbook as the test reader prints them; `status` is the
// reader's exit status.
std::string DumpWorkbook(const std::string& path, int& status) {
  return XlsxTest::RunCommand("PYTHONIOENCODING=utf-8 /usr/bin/python3 " +
                                  XlsxTest::ShellQuote(std::string(std::getenv("ORV_TEST_SOURCE_DIR")) +
                                                       "/tests/views/data_sheet/read_sheet.py") +
                                  " " + XlsxTest::ShellQuote(path) + " 2>&1",
                              status);
}

TEST(CsvField, QuotesOnlyWhatWouldShiftTheColumns) {
  struct Case {
    const char* text;
    const char* field;
  } cases[] = {
      {"", ""},
      {"plain text, with a comma", "plain text, with a comma"},
      {"a;b", "\"a;b\""},
      {"two\nlines", "\"two\nlines\""},
      {"cr\r", "\"cr\r\""},
      {"say \"hi\"", "\"say \"\"hi\"\"\""},
      {"=x", "=x"},
  };
  for (const Case& c : cases) EXPECT_EQ(CsvField(c.text), c.field) << c.text;
}

TEST_F(DataSheetExportTest, OneTableToSemicolonCsv) {
  DataSheetModel sheet(*experiment_);
  sheet.AddCalculation({Stat(0, 4, 1, 12.3456, ""), Stat(0, 5, 2, 7.0, "")});
  sheet.AddCalculation({Stat(0, 4, 1, 1.0, "a;b\r\nc", 3725.25, 3730.0, -1, -1.0, -1.0)});
  const std::string path = dir_ / "mean.csv";
  std::string error;
  ASSERT_TRUE(ExportToCsv(sheet, path, 0, error)) << error;
  EXPECT_EQ(ReadFile(path),
            "Comment;Start;End;Duration;Count;SD;SE;Outer Diameter ( 1 );Inner Diameter ( 2 );\r\n"
            ";05.25;01:05.25;60.0;120;0.5000;0.1250;12.346;7.000;\r\n"
            "\"a;b\r\nc\";1:02:05.25;1:02:10.00;4.8;;;;1.000;;\r\n");

  // A table that is not there, a folder that is not there: told, nothing written.
  EXPECT_FALSE(ExportToCsv(sheet, dir_ / "slope.csv", 3, error));
  EXPECT_NE(error.find("Average Slope"), std::string::npos);
  EXPECT_FALSE(ExportToCsv(sheet, dir_ / "missing/mean.csv", 0, error));
  EXPECT_EQ(error, "Unable to save analysis data to CSV file '" + (dir_ / "missing/mean.csv") +
                       "': No such file or directory.");
  EXPECT_NE(log_.Dump().find("(save file failed)"), std::string::npos);
}

TEST(WorkbookPath, KeepsAnXlsxNameAndCompletesOthers) {
  EXPECT_EQ(WorkbookPath("/d/sheet.XLSX"), "/d/sheet.XLSX");
  EXPECT_EQ(WorkbookPath("/d/sheet.xlsx"), "/d/sheet.xlsx");
  EXPECT_EQ(WorkbookPath("/d/sheet"), "/d/sheet.xlsx");
  EXPECT_EQ(WorkbookPath("/d/sheet.xls"), "/d/sheet.xls.xlsx");
  EXPECT_EQ(SheetName("Orvanta"), "Orvanta");
  EXPECT_EQ(SheetName("a*b/c:d?e[f\\g]h"), "a_b_c_d_e_f_g_h");
  EXPECT_EQ(SheetName(std::string(40, 'n')), std::string(31, 'n'));
}

TEST_F(DataSheetExportTest, TheWholeSheetToAWorkbookThatASpreadsheetReaderOpens) {
  DataSheetModel sheet(*experiment_);
  sheet.AddCalculation({Stat(0, 4, 1, 0.1, "=x"), Stat(0, 4, 2, 7.0, "=x")});
  sheet.AddCalculation({Stat(0, 4, 2, 2.5, "", 30.0, 40.0, -1, -1.0, -1.0)});
  CalculationData video = Stat(4, 0, 0, 12.3456, "lumen", 65.25, 65.25, -1, -1.0, -1.0);
  video.group = 2;
  sheet.AddCalculation({video});

  const std::string path = dir_ / "sheet.xlsx";
  std::string error;
  ASSERT_TRUE(ExportToExcel(sheet, path, error)) << error;
  int status = 0;
  const std::string dump = DumpWorkbook(path, status);
  ASSERT_EQ(status, 0) << dump;
  EXPECT_EQ(dump,
            "sheet Orvanta\n"
            // Row 1 is empty; the caption in bold.
            "A2 'Mean Value' s b-- -\n"
            // Column headings italic, underlined, centred.
            "A3 'Comment' s -iu center\n"
            "B3 'Start' s -iu center\n"
            "C3 'End' s -iu center\n"
            "D3 'Duration' s -iu center\n"
            "E3 'Count' s -iu center\n"
            "F3 'SD' s -iu center\n"
            "G3 'SE' s -iu center\n"
            "H3 'Outer Diameter ( 1 )' s -iu center\n"
            "I3 'Outer Diameter ( 2 )' s -iu center\n"
            // "=x" is text, not a formula; times are right-aligned text.
            "A4 '=x' s --- -\n"
            "B4 '05.25' s --- right\n"
            "C4 '01:05.25' s --- right\n"
            "D4 60 n --- -\n"
            "E4 120 n --- -\n"
            "F4 0.5 n --- -\n"
            "G4 0.125 n --- -\n"
            "H4 0.1 n --- -\n"
            "I4 7 n --- -\n"
            // An empty comment, count, SD, SE and cell write no cell.
            "B5 '30.00' s --- right\n"
            "C5 '40.00' s --- right\n"
            "D5 10 n --- -\n"
            "I5 2.5 n --- -\n"
            "A8 'Video Measurement' s b-- -\n"
            "A9 'Comment' s -iu center\n"
            "B9 'Time' s -iu center\n"
            "C9 'Measurement' s -iu center\n"
            "D9 'Camera' s -iu center\n"
            "A10 'lumen' s --- -\n"
            "B10 '01:05.25' s --- right\n"
            "C10 12.35 n --- -\n"
            "D10 2 n --- -\n"
            "col A 1 1 50.0\n"
            "col B 2 5 20.0\n"
            "col F 6 10 30.0\n");
}

// Values held as single-precision floats reach both exports without the
// float's noise: the text file holds what the sheet shows, the workbook the
// shortest decimal of the same float, and both read back to that float.
TEST_F(DataSheetExportTest, NumbersReachTheTextFileAndTheWorkbookWithoutSinglePrecisionNoise) {
  const struct {
    double value;
    const char* csv;
    const char* workbook;
  } cases[] = {
      {37.9, "37.900", "37.9"},      {0.1, "0.100", "0.1"},    {12.35, "12.350", "12.35"},
      {1.0 / 3.0, "0.333", "0.333"}, {-4.2, "-4.200", "-4.2"},
  };
  DataSheetModel sheet(*experiment_);
  for (const auto& c : cases) sheet.AddCalculation({Stat(0, kTraceTemperature, -1, c.value, "", 5.0, 6.0, -1)});
  const std::string csv = dir_ / "mean.csv";
  const std::string workbook = dir_ / "mean.xlsx";
  std::string error;
  ASSERT_TRUE(ExportToCsv(sheet, csv, 0, error)) << error;
  ASSERT_TRUE(ExportToExcel(sheet, workbook, error)) << error;
  int status = 0;
  const std::string dump = DumpWorkbook(workbook, status);
  ASSERT_EQ(status, 0) << dump;
  std::ifstream lines(csv);
  std::string line;
  ASSERT_TRUE(std::getline(lines, line));  // the captions
  int row = 4;                             // the workbook's first row of values
  for (const auto& c : cases) {
    SCOPED_TRACE(c.csv);
    ASSERT_TRUE(std::getline(lines, line));
    // The temperature column follows the seven fixed ones.
    std::size_t field = 0;
    for (int i = 0; i < 7; ++i) field = line.find(';', field) + 1;
    const std::string shown = line.substr(field, line.find(';', field) - field);
    EXPECT_EQ(shown, c.csv);
    const std::string cell = "H" + std::to_string(row++) + " " + c.workbook + " n";
    EXPECT_NE(dump.find(cell), std::string::npos) << cell << " in\n" << dump;
    EXPECT_EQ(std::strtof(shown.c_str(), nullptr), std::strtof(c.workbook, nullptr));
  }
}

TEST_F(DataSheetExportTest, AWorkbookThatCannotBeSavedIsReportedAndAnOldFileStays) {
  DataSheetModel sheet(*experiment_);
  sheet.AddCalculation({Stat(1, 4, 1, 1.0, "x")});
  std::string error;
  EXPECT_FALSE(ExportToExcel(sheet, dir_ / "no/such/folder/sheet.xlsx", error));
  EXPECT_NE(error.find("Unable to save the data sheet"), std::string::npos);

  const std::string path = dir_ / "old.xlsx";
  { std::ofstream(path) << "old"; }
  ASSERT_EQ(::chmod(dir_.path().c_str(), 0500), 0);
  const bool saved = ExportToExcel(sheet, path, error);
  ::chmod(dir_.path().c_str(), 0700);
  if (::geteuid() != 0) {  // root writes anywhere
    EXPECT_FALSE(saved);
    EXPECT_EQ(ReadFile(path), "old");
  }
}

// A full or read-only disk: each export says which file and why, and an
// earlier file of that name stays as it was.
TEST_F(DataSheetExportTest, ExportsOntoAFullOrReadOnlyDiskSayWhy) {
  DataSheetModel sheet(*experiment_);
  sheet.AddCalculation({Stat(0, 4, 1, 1.0, "x")});
  const std::string disk = dir_ / "disk";
  ASSERT_TRUE(OS::EnsureDir(disk));
  const struct {
    const char* name;
    std::function<bool(const std::string&, std::string&)> run;
    std::string file;
    std::string told;  // the message before the file's name
  } exports[] = {
      {"text file", [&](const std::string& p, std::string& e) { return ExportToCsv(sheet, p, 0, e); },
       disk + "/mean.csv", "Unable to save analysis data to CSV file '"},
      {"workbook", [&](const std::string& p, std::string& e) { return ExportToExcel(sheet, p, e); },
       disk + "/sheet.xlsx", "Unable to save the data sheet to '"},
  };
  for (int fault : {ENOSPC, EROFS}) {
    for (const auto& x : exports) {
      SCOPED_TRACE(std::string(x.name) + " " + std::strerror(fault));
      { std::ofstream(x.file) << "old"; }
      OS::SetWriteFault(disk, fault);
      std::string error;
      const bool written = x.run(x.file, error);
      OS::ClearWriteFaults();
      EXPECT_FALSE(written);
      EXPECT_EQ(error, x.told + x.file + "': " + std::strerror(fault) + ".");
      EXPECT_EQ(ReadFile(x.file), "old");
    }
  }
}

}  // namespace
}  // namespace ORV::Views
