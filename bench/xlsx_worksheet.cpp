// Streaming a large worksheet part: rows of numbers and repeated texts, as the
// data sheet export writes them.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "wall_clock_counters.h"
#include "xlsx/drawing.h"
#include "xlsx/worksheet.h"

namespace {

void WriteSheet(benchmark::State& state) {
  const auto rows = static_cast<std::uint32_t>(state.range(0));
  const std::vector<std::string> labels = {"Baseline", "Drug 1 µM", "Drug 10 µM", "Washout"};
  std::uint64_t cells = 0;
  const ORV::Bench::RunClock run;
  for (auto _ : state) {
    Xlsx::TempFileRegistry registry;
    Xlsx::SharedStringTable strings;
    Xlsx::CDrawing drawing(1, registry);
    Xlsx::CWorksheet sheet(1, {{0, 0, 50.0f}, {1, 9, 20.0f}}, drawing, registry, strings);
    for (std::uint32_t r = 0; r < rows; ++r) {
      sheet.BeginRow(0.0);
      sheet.AddCell(labels[r % labels.size()], 2);
      sheet.AddCell(static_cast<std::int32_t>(r), 0);
      for (int c = 0; c < 8; ++c) sheet.AddCell(static_cast<float>(r) * 0.37f + static_cast<float>(c) / 7.0f, 0);
      sheet.EndRow();
    }
    if (!sheet.Save()) state.SkipWithError("save failed");
    cells += static_cast<std::uint64_t>(rows) * 10;
  }
  run.CountPerWallSecond(state, "cells", static_cast<double>(cells));
  run.CountCpuShare(state);
}
BENCHMARK(WriteSheet)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
