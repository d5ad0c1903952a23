#include "views/advanced_export.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <stdexcept>

#include "core/base/trace_kinds.h"
#include "core/experiment/experiment_data.h"
#include "platform/os/file_io.h"
#include "platform/os/file_replace.h"
#include "platform/os/number_text.h"
#include "views/csv_field.h"
#include "views/trace_settings.h"

namespace ORV::Views {

namespace {
constexpr std::uint32_t kZoneTextBase = 142;  // "Zone 1" .. "Zone 4"
}

AdvancedExportChooser::AdvancedExportChooser(ExperimentData& experiment, std::uint32_t interfaceType, TraceTexts texts)
    : experiment_(experiment), texts_(std::move(texts)) {
  const bool fromFile = experiment_.mode == kModeFile;
  const auto leftOut = [&](int kind) {
    if (fromFile) return false;
    if (interfaceType == kInterfaceWithoutForce) return kind == kTraceForce;
    if (interfaceType == kInterfaceWithoutOutletFlowForce)
      return kind == kTraceForce || kind == kTraceOutlet || kind == kTraceFlow;
    return false;
  };
  for (int kind = 1; kind < kTracePuller; ++kind)
    if (!leftOut(kind)) rows_.push_back({kind, texts_(kTraceKindNameBase + static_cast<std::uint32_t>(kind))});
  for (const auto& [identity, name] : experiment_.GetCustomTraces()) rows_.push_back({identity, name});
  const std::size_t count = experiment_.CameraCount();
  experiment_.Read([&](const ExperimentContents& c) {
    const auto& names = fromFile ? c.fileCameraNames : c.cameraNames;
    for (std::size_t i = 0; i < count; ++i) {
      cameras_.push_back(i < names.size() ? names[i] : std::string());
      zoneCounts_.push_back(static_cast<int>(std::min<std::uint32_t>(c.zoneCount[i], kMaxZones)));
    }
    return 0;
  });
}

std::vector<std::string> AdvancedExportChooser::Zones(int camera) const {
  std::vector<std::string> zones;
  if (camera < 0 || camera >= static_cast<int>(zoneCounts_.size())) return zones;
  for (int z = 0; z < zoneCounts_[static_cast<std::size_t>(camera)]; ++z)
    zones.push_back(texts_(kZoneTextBase + static_cast<std::uint32_t>(z)));
  return zones;
}

bool AdvancedExportChooser::Add(int row, int camera, int zone) {
  if (row < 0 || row >= static_cast<int>(rows_.size())) return false;
  const Row& r = rows_[static_cast<std::size_t>(row)];
  AdvancedExportEntry e;
  e.kind = r.kind;
  if (IsVesselTraceKind(r.kind)) {
    const std::vector<std::string> zones = Zones(camera);
    if (zone < 0 || zone >= static_cast<int>(zones.size())) return false;
    e.camera = camera;
    e.zone = zone;
    e.label = cameras_[static_cast<std::size_t>(camera)] + ":" + zones[static_cast<std::size_t>(zone)] + ":" + r.name;
  } else {
    e.label = r.name;
  }
  entries_.push_back(std::move(e));
  return true;
}

void AdvancedExportChooser::Remove(std::size_t entry) {
  if (entry < entries_.size()) entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(entry));
}

namespace {
bool Cancelled(const ExportCancel* cancel) { return cancel && cancel->load(std::memory_order_relaxed); }

// Like printf("%.3f") with the locale's decimal point (no grouping).
void AppendNumber(std::string& out, double v, char point) {
  std::string text = OS::FormatFixed(v, 3);
  if (point != '.')
    if (const auto dot = text.find('.'); dot != std::string::npos) text[dot] = point;
  out += text;
  out += ';';
}
}  // namespace

std::size_t CollectAdvancedExport(ExperimentData& experiment, std::vector<AdvancedExportEntry>& entries,
                                  const ExportProgress& progress, const ExportCancel* cancel) {
  std::size_t longest = 0;
  for (std::size_t i = 0; i < entries.size() && !Cancelled(cancel); ++i) {
    AdvancedExportEntry& e = entries[i];
    e.samples.clear();
    int count = 0;
    if (experiment.GetSampleCount(e.kind, e.camera, e.zone, count) && count > 0) {
      e.samples.reserve(static_cast<std::size_t>(count));
      for (int n = 0; n < count; ++n) {
        if ((n & 0xFFFF) == 0 && Cancelled(cancel)) break;
        TracePoint p;
        // A point with no value (walls not found, no flow) is left out.
        if (experiment.GetTraceValue(n, e.kind, e.camera, e.zone, p) && std::isfinite(p.value)) e.samples.push_back(p);
      }
      longest = std::max(longest, static_cast<std::size_t>(count));
    }
    if (progress) progress(i + 1, entries.size());
  }
  return longest;
}

std::string FormatAdvancedExport(const std::vector<AdvancedExportEntry>& entries, std::uint32_t startTime,
                                 const std::locale& numbers) {
  const char point = std::use_facet<std::numpunct<char>>(numbers).decimal_point();
  std::string out;
  for (const AdvancedExportEntry& e : entries)
    out += CsvField(e.label + " (Time)") + ";" + CsvField(e.label + " (Value)") + ";";
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
      // In double: a float has lost milliseconds after 4.66 hours.
      AppendNumber(out, static_cast<double>(p.time - startTime) / 1000.0, point);
      AppendNumber(out, p.value, point);
    }
    out += '\n';
  }
  return out;
}

std::locale UserLocale() {
  try {
    return std::locale("");
  } catch (const std::runtime_error&) {
    // LANG or LC_* names a locale that was never generated here.
    return std::locale::classic();
  }
}

bool RunAdvancedExport(ExperimentData& experiment, std::vector<AdvancedExportEntry>& entries, const std::string& path,
                       std::string& error, const ExportProgress& progress, const std::locale& numbers,
                       const ExportCancel* cancel) {
  error.clear();
  CollectAdvancedExport(experiment, entries, progress, cancel);
  if (Cancelled(cancel)) return false;
  std::string text = FormatAdvancedExport(entries, experiment.startTick, numbers);
  if (Cancelled(cancel)) return false;
  if (!OS::AtomicWriteFile(path, text)) {
    error = "The file " + path + " could not be written: " + OS::WriteErrorText(errno) + ".";
    return false;
  }
  return true;
}

}  // namespace ORV::Views
