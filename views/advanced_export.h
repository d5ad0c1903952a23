#pragma once
// The advanced CSV export: chosen traces of the experiment side by side in
// one semicolon-separated file, a time column (seconds from the start) and a
// value column per trace. Headless: the dialog that chooses the traces and
// the progress it shows are the window's; this collects the samples (on a
// worker) and writes the file.
//
// File: line 1 holds "<label> (Time);<label> (Value);" per entry; then as
// many lines as the longest entry has samples, each "<t>;<v>;" per entry
// (three decimals with the decimal point of the locale given, the user's
// for the dialog), or ";;" where an entry has no sample of that line. Lines
// end with a line feed. The file is replaced only once it is complete.
#include <atomic>
#include <cstdint>
#include <functional>
#include <locale>
#include <string>
#include <vector>

#include "core/experiment/trace_values.h"
#include "views/trace_texts.h"

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

// The choosing of the traces: the traces offered, the experiment's cameras
// and their zones, and the list of chosen entries.
class AdvancedExportChooser {
 public:
  struct Row {
    std::int32_t kind = 0;  // 1-19 built-in, 220 + n custom
    std::string name;
  };
  // The built-in kinds 1-19 but those a connected interface of the type
  // lacks (none for an experiment read from a file), then the experiment's
  // custom traces.
  AdvancedExportChooser(ExperimentData& experiment, std::uint32_t interfaceType, TraceTexts texts);

  const std::vector<Row>& Rows() const { return rows_; }
  const std::vector<std::string>& Cameras() const { return cameras_; }
  // "Zone 1" up to the camera's zone count.
  std::vector<std::string> Zones(int camera) const;
  bool CameraBoxEnabled() const { return cameras_.size() > 1; }
  bool ZoneBoxEnabled(int camera) const { return Zones(camera).size() > 1; }

  // Adds row `row` for a camera and zone (used by the video analysis'
  // kinds 1-10 only, which need both); false when nothing was added.
  bool Add(int row, int camera, int zone);
  void Remove(std::size_t entry);
  void RemoveAll() { entries_.clear(); }
  std::vector<AdvancedExportEntry>& Entries() { return entries_; }

 private:
  ExperimentData& experiment_;
  TraceTexts texts_;
  std::vector<Row> rows_;
  std::vector<std::string> cameras_;
  std::vector<int> zoneCounts_;
  std::vector<AdvancedExportEntry> entries_;
};

// Called after each step: the step done and the steps in all.
using ExportProgress = std::function<void(std::size_t done, std::size_t total)>;

// Set from another thread to stop an export early; nothing is written then.
using ExportCancel = std::atomic<bool>;

// Fills every entry's samples from the experiment (an entry whose series
// the experiment lacks gets none; a sample that cannot be had, or has no
// value, as a frame whose walls were not found, is left out).
// Returns the largest sample count.
std::size_t CollectAdvancedExport(ExperimentData& experiment, std::vector<AdvancedExportEntry>& entries,
                                  const ExportProgress& progress = {}, const ExportCancel* cancel = nullptr);

// The file's text for the entries; times relative to `startTime` (ms),
// numbers with the decimal point of `numbers`.
std::string FormatAdvancedExport(const std::vector<AdvancedExportEntry>& entries, std::uint32_t startTime,
                                 const std::locale& numbers = std::locale::classic());

// The user's locale as the environment names it; the classic one when the
// name is one this system cannot build.
std::locale UserLocale();

// Collects and writes the file. False, with the reason in `error`, when
// the file cannot be written (the previous file then stays as it was);
// false with `error` empty when cancelled (nothing is written).
bool RunAdvancedExport(ExperimentData& experiment, std::vector<AdvancedExportEntry>& entries, const std::string& path,
                       std::string& error, const ExportProgress& progress = {},
                       const std::locale& numbers = std::locale::classic(), const ExportCancel* cancel = nullptr);

}  // namespace ORV::Views
