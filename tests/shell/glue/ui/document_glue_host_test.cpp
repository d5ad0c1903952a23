// The export into the program's data sheet: the sheet's document opens on
// demand through its template, shows the stored calculations, takes the new
// rows, and opens anew once its window was closed.
#include "shell/glue/ui/document_glue_host.h"

#include <gtest/gtest.h>

#include "core/base/configuration.h"
#include "core/experiment/experiment_data.h"
#include "platform/ui/document_area.h"
#include "shell/app/document_templates.h"
#include "tests/shell/glue/glue_fakes.h"
#include "tests/support/test_support.h"
#include "tests/support/test_world.h"
#include "views/data_sheet/ui/data_view.h"

namespace ORV::Shell::Test {
namespace {

TEST(DocumentGlueHost, ExportOpensTheDataSheetDocumentAndFillsItsView) {
  ORV::Test::SandboxedHome home;
  ORV::Test::MemoryEventLog log;
  ExperimentData experiment{ORV::Test::SharedConfiguration(), ORV::Test::SharedClock()};
  experiment.mode = kModeFile;
  CalculationData stored;
  stored.kind = CalculationData::kMean;
  stored.traceKind = 4;
  stored.zone = 1;
  stored.value = 1.5;
  experiment.AddCalculationData(stored);

  Configuration config;
  UI::DocumentArea area;
  DocumentTemplates templates;
  templates.RegisterWith(area);
  templates.SetViewMaker(DocumentKind::DataSheet, [&](UI::CChildFrame&) {
    return new Views::CDataView(experiment, config, [] { return false; });
  });
  std::map<std::uint32_t, std::string> texts;
  DocumentGlueHost host(templates, [&](std::uint32_t id, const std::string& text) {
    texts[id] = text;
    return true;
  });
  TraceGlue glue(experiment, host, Text);
  FakeView view;
  view.graph.selStart = 2.0, view.graph.selStop = 4.0, view.graph.points = 3, view.graph.value = 7.25;
  glue.RegisterView(view);

  EXPECT_EQ(host.DataSheet(), nullptr);
  glue.ExportToDataSheet(CalculationData::kMean);
  UI::CChildFrame* frame = templates.DataSheetDocument();
  ASSERT_NE(frame, nullptr);
  auto* sheet = dynamic_cast<Views::CDataView*>(frame->widget());
  ASSERT_NE(sheet, nullptr);
  const Views::DataSheetTable* table = sheet->Model().Table(CalculationData::kMean);
  ASSERT_NE(table, nullptr);
  ASSERT_EQ(table->rows.size(), 2u) << "the stored calculation, then the new one";

  glue.ExportToDataSheet(CalculationData::kMean);
  EXPECT_EQ(templates.DataSheetDocument(), frame) << "one data sheet";
  EXPECT_EQ(table->rows.size(), 3u);
  EXPECT_EQ(experiment.Read([](const ExperimentContents& c) { return c.calculations.size(); }), 3u);

  frame->close();
  EXPECT_EQ(host.DataSheet(), nullptr);
  glue.ExportToDataSheet(CalculationData::kMean);
  ASSERT_NE(templates.DataSheetDocument(), nullptr);
  EXPECT_NE(templates.DataSheetDocument(), frame);

  glue.SetLiveTrace(false);
  EXPECT_EQ(texts[ID_TRACE_START_STOP_BUTTON], "Start Live Trace");
}

}  // namespace
}  // namespace ORV::Shell::Test
