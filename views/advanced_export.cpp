#include "views/advanced_export.h"

#include <algorithm>

#include "core/experiment/experiment_data.h"
#include "platform/os/file_replace.h"
#include "platform/os/number_text.h"

namespace ORV::Views {

std::size_t CollectAdvancedExport(ExperimentData& experiment, std::vector<AdvancedExportEntry>& entries,
                                  const ExportProgress& progress) {
  std::size_t longest = 0;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    AdvancedExportEntry& e = entries[i];
    e.samples.clear();
    int count = 0;
    if (experiment.GetSampleCount(e.kind, e.camera, e.zone, count) && count > 0) {
      e.samples.reserve(static_cast<std::size_t>(count));
      for (int n = 0; n < count; ++n) {
        TracePoint p;
        if (experiment.GetTraceValue(n, e.kind, e.camera, e.zone, p)) e.samples.push_back(p);
      }
      longest = std::max(longest, static_cast<std::size_t>(count));
    }
    if (progress) progress(i + 1, entries.size());
  }
  return longest;
}

std::string FormatAdvancedExport(const std::vector<AdvancedExportEntry>& entries, std::uint32_t startTime) {
  std::string out;
  for (const AdvancedExportEntry& e : entries) out += e.label + " (Time);" + e.label + " (Value);";
  out += '\n';
  std::size_t rows = 0;
  for (const AdvancedExportEntry& e : entries) rows = std::max(rows, e.samples.size());
  for (std::size_t r = 0; r < rows; ++r) {
    for (const AdvancedExportEntry& e : entries) {
      if (r >= e.samples.size()) {
        out += ";;";
        continue;
      }
      const TracePoint& p = e.samples[r];
      // The offset in single precision, as the time column always had it.
      const float seconds = static_cast<float>(p.time - startTime) / 1000.0f;
      out += OS::FormatFixed(seconds, 3) + ';' + OS::FormatFixed(p.value, 3) + ';';
    }
    out += '\n';
  }
  return out;
}

bool RunAdvancedExport(ExperimentData& experiment, std::vector<AdvancedExportEntry>& entries, const std::string& path,
                       std::string& error, const ExportProgress& progress) {
  CollectAdvancedExport(experiment, entries, progress);
  if (!OS::AtomicWriteFile(path, FormatAdvancedExport(entries, experiment.startTick))) {
    error = "The file " + path + " could not be written.";
    return false;
  }
  return true;
}

}  // namespace ORV::Views
