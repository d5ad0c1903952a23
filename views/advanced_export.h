#pragma once
// The advanced CSV export: chosen traces of the experiment side by side in
// one semicolon-separated file, a time column (seconds from the start) and a
// value column per trace. Headless: the dialog that chooses the traces and
// the progress it shows are the window's; this collects the samples (on a
// worker) and writes the file.
//
// File: line 1 holds "<label> (Time);<label> (Value);" per entry; then as
// many lines as the longest entry has samples, each "<t>;<v>;" per entry
// (three decimals, "." as decimal point), or ";;" where an entry has no
// sample of that line. Lines end with a line feed. The file is replaced
// only once it is complete.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/experiment/trace_values.h"

namespace ORV {
class ExperimentData;
}

namespace ORV::Views {

// One chosen trace.
struct AdvancedExportEntry {
  std::int32_t camera = -1;  // -1: the trace belongs to no camera
  std::int32_t zone = -1;    // 0-3 for the video analysis' kinds, else -1
  std::int32_t kind = 0;     // 1-19 built-in, 220 + n custom trace n
  std::string label;
  std::vector<TracePoint> samples;
};

// Called after each step: the step done and the steps in all.
using ExportProgress = std::function<void(std::size_t done, std::size_t total)>;

// Fills every entry's samples from the experiment (an entry whose series
// the experiment lacks gets none; a sample that cannot be had is left out).
// Returns the largest sample count.
std::size_t CollectAdvancedExport(ExperimentData& experiment, std::vector<AdvancedExportEntry>& entries,
                                  const ExportProgress& progress = {});

// The file's text for the entries; times relative to `startTime` (ms).
std::string FormatAdvancedExport(const std::vector<AdvancedExportEntry>& entries, std::uint32_t startTime);

// Collects and writes the file. False, with the reason in `error`, when
// the file cannot be written (the previous file then stays as it was).
bool RunAdvancedExport(ExperimentData& experiment, std::vector<AdvancedExportEntry>& entries, const std::string& path,
                       std::string& error, const ExportProgress& progress = {});

}  // namespace ORV::Views
