// Frames whose walls were not found are gaps in every statistic: a record
// with such frames is shown in a trace view (the real graph control), a
// range of it goes to the data sheet and from there to a text file and a
// workbook, and the whole trace to the advanced export. Each holds the mean
// and the count of the measured frames only.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/base/shear_stress.h"
#include "core/base/trace_kinds.h"
#include "platform/com/control_loader.h"
#include "platform/os/number_text.h"
#include "shell/glue/trace_view_link.h"
#include "tests/shell/glue/glue_fakes.h"
#include "tests/views/view_fixture.h"
#include "tests/xlsx/writer/xlsx_test_util.h"
#include "views/advanced_export.h"
#include "views/data_sheet/data_sheet_export.h"
#include "views/ui/trace_view_window.h"

namespace ORV::Views::Test {
namespace {

// Every fourth frame found nothing and every fourth found the outer walls
// only; the others found the lumen too.
enum class Found { Everything, Nothing, OuterOnly };

struct Frame {
  std::uint32_t time;
  Found found;
  float outerLeft, outerRight, innerLeft, innerRight;
};

std::vector<Frame> Frames() {
  std::vector<Frame> frames;
  for (std::uint32_t i = 0; i < 40; ++i) {
    const std::uint32_t time = 1000 + 250 * i;
    switch (i % 4) {
      case 0:
        frames.push_back({time, Found::Everything, 100.0f, 400.0f, 150.0f, 350.0f});
        break;
      case 1:
        frames.push_back({time, Found::Everything, 100.0f, 404.0f, 152.0f, 352.0f});
        break;
      case 2:
        frames.push_back({time, Found::Nothing, 0.0f, 0.0f, 0.0f, 0.0f});
        break;
      default:
        frames.push_back({time, Found::OuterOnly, 100.0f, 402.0f, 0.0f, 0.0f});
        break;
    }
  }
  return frames;
}

constexpr std::int16_t kFlow = 60;

// The value a frame gives a trace kind, worked out here from the walls;
// nothing where the walls it needs were not found.
std::optional<double> Expected(int kind, const Frame& f) {
  const bool outer = f.found != Found::Nothing;
  const bool lumen = f.found == Found::Everything;
  switch (kind) {
    case kTraceVesselDiameter:
      if (outer) return f.outerRight - f.outerLeft;
      break;
    case kTraceLumenDiameter:
      if (lumen) return f.innerRight - f.innerLeft;
      break;
    case kTraceAverageWallThickness:
      if (lumen) return ((f.innerLeft - f.outerLeft) + (f.outerRight - f.innerRight)) / 2.0;
      break;
    case kTraceShearStress:
      if (lumen) return ShearStress(f.innerLeft, f.innerRight, kFlow);
      break;
    default:
      break;
  }
  return std::nullopt;
}

std::string Fixed3(double value) { return OS::FormatFixed(value, 3); }

// The semicolon-separated fields of a line.
std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  std::size_t from = 0;
  for (std::size_t at = line.find(';'); at != std::string::npos; at = line.find(';', from = at + 1))
    fields.push_back(line.substr(from, at - from));
  return fields;
}

class GapStatistics : public ViewFixture {
 protected:
  GapStatistics() {
    data().mode = kModeFile;
    data().Update([](ExperimentContents& c) {
      c.fileCameraNames = {"Camera 1"};
      for (const Frame& f : Frames()) {
        ZoneData z;
        z.time = f.time;
        z.zoneCount = 1;
        z.outerLeft[0] = f.outerLeft;
        z.outerRight[0] = f.outerRight;
        z.innerLeft[0] = f.innerLeft;
        z.innerRight[0] = f.innerRight;
        z.valid = 1;
        c.zoneData[0].push_back(z);
        FMASL1600Data flow;
        flow.time = f.time;
        flow.flow = kFlow;
        c.flowSamples.push_back(flow);
      }
      c.zoneCount[0] = 1;
      return 0;
    });
  }

  std::unique_ptr<TraceViewWindow> MakeWindow() {
    TraceViewWindow::Params p;
    p.experiment = &data();
    p.registry = &registry_;
    p.devices = devices_;
    p.factory = &factory_;
    auto w = std::make_unique<TraceViewWindow>(p);
    w->resize(640, 360);
    w->show();
    return w;
  }

  Com::ControlFactory factory_{store_, {ORV_GRAPH_CONTROL_DIR}};
};

TEST_F(GapStatistics, FramesWithoutWallsAreLeftOutOfTheDataSheetItsExportsAndTheAdvancedExport) {
  const int kinds[] = {kTraceVesselDiameter, kTraceLumenDiameter, kTraceAverageWallThickness, kTraceShearStress};
  Shell::Test::FakeGlueHost host;
  Shell::TraceGlue glue(data(), host, Shell::Test::Text);
  std::vector<std::unique_ptr<TraceViewWindow>> windows;
  std::vector<std::unique_ptr<Shell::TraceViewLink>> links;
  for (int kind : kinds) {
    windows.push_back(MakeWindow());
    ASSERT_NE(windows.back()->GraphWidget(), nullptr) << "the graph control is there";
    windows.back()->View().ShowTrace(kind);
    windows.back()->View().SelectRange(0.5, 11.0);
    links.push_back(std::make_unique<Shell::TraceViewLink>(glue, windows.back()->View(), false));
  }

  // Every view's range goes to the data sheet as one row of the mean.
  glue.ExportToDataSheet(CalculationData::kMean);
  ASSERT_EQ(host.sheet.rows.size(), std::size(kinds));
  DataSheetModel sheet(data());
  sheet.Refresh();
  const std::string csv = dir_ / "mean.csv";
  const std::string workbook = dir_ / "sheet.xlsx";
  std::string error;
  ASSERT_TRUE(ExportToCsv(sheet, csv, CalculationData::kMean, error)) << error;
  ASSERT_TRUE(ExportToExcel(sheet, workbook, error)) << error;
  std::ifstream csvLines(csv);
  std::string captions;
  ASSERT_TRUE(std::getline(csvLines, captions));
  int status = 0;
  const std::string cells =
      XlsxTest::RunCommand("PYTHONIOENCODING=utf-8 /usr/bin/python3 " +
                               XlsxTest::ShellQuote(std::string(std::getenv("ORV_TEST_SOURCE_DIR")) +
                                                    "/tests/views/data_sheet/read_sheet.py") +
                               " " + XlsxTest::ShellQuote(workbook) + " 2>&1",
                           status);
  ASSERT_EQ(status, 0) << cells;

  // The advanced export of each whole trace.
  std::vector<AdvancedExportEntry> entries;
  for (int kind : kinds) entries.push_back({0, 0, kind, "trace " + std::to_string(kind), {}});
  CollectAdvancedExport(data(), entries);

  for (std::size_t k = 0; k < std::size(kinds); ++k) {
    const int kind = kinds[k];
    SCOPED_TRACE("trace kind " + std::to_string(kind));
    double sum = 0.0;
    int n = 0;
    std::vector<double> measured;
    for (const Frame& f : Frames()) {
      if (const std::optional<double> v = Expected(kind, f)) {
        sum += *v;
        ++n;
        measured.push_back(*v);
      }
    }
    const double mean = sum / n;
    ASSERT_LT(n, 40) << "the record has frames without these walls";

    // The data sheet's row: the statistic over the measured frames only.
    const CalculationData& row = host.sheet.rows[k];
    EXPECT_EQ(row.count, n);
    EXPECT_NEAR(row.value, mean, 1e-6 * std::fabs(mean));

    // The text file and the workbook hold that row: its count, and its
    // value in the trace's column.
    std::string line;
    ASSERT_TRUE(std::getline(csvLines, line));
    const std::vector<std::string> fields = Fields(line);
    ASSERT_EQ(fields.size(), 7 + std::size(kinds)) << line;
    EXPECT_EQ(fields[4], std::to_string(n)) << line;
    EXPECT_EQ(fields[7 + k], Fixed3(mean)) << line;
    const std::string rowNumber = std::to_string(4 + k);
    EXPECT_NE(cells.find("E" + rowNumber + " " + std::to_string(n) + " n"), std::string::npos) << cells;

    // The advanced export: one line per measured frame, never a 0.
    const std::vector<TracePoint>& samples = entries[k].samples;
    ASSERT_EQ(samples.size(), measured.size());
    for (std::size_t i = 0; i < samples.size(); ++i) EXPECT_NEAR(samples[i].value, measured[i], 1e-3) << i;
  }
  // The file's value columns hold numbers of measured frames only.
  std::istringstream file(FormatAdvancedExport(entries, 0));
  std::string line;
  ASSERT_TRUE(std::getline(file, line));  // the captions
  while (std::getline(file, line)) {
    const std::vector<std::string> fields = Fields(line);
    for (std::size_t i = 1; i < fields.size(); i += 2) {
      EXPECT_NE(fields[i], "0.000") << "a frame without walls written as 0: " << line;
      EXPECT_EQ(fields[i].find("nan"), std::string::npos) << line;
    }
  }
}

}  // namespace
}  // namespace ORV::Views::Test
