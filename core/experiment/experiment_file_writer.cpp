// Saving the experiment to an experiment file.
#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <iterator>

#include "core/base/configuration.h"
#include "core/base/event_log.h"
#include "core/experiment/backup_files.h"
#include "core/experiment/experiment_data.h"
#include "core/experiment/experiment_file.h"
#include "core/storage/relative_time.h"
#include "custom_traces/custom_trace_context.h"

namespace ORV {
namespace {

// The bytes of a save go straight into the output file; the sink counts them
// and remembers the first failed write.
class FileSink final : public SerializationStream {
 public:
  explicit FileSink(OutputFile& file) : file_(file) {}
  void Write(const void* data, std::size_t size) override {
    if (failed_) return;
    if (!file_.Write(data, size)) {
      failed_ = true;
      return;
    }
    size_ += size;
  }
  const std::uint8_t* Data() const override { return nullptr; }
  std::size_t Size() const override { return size_; }
  bool Failed() const { return failed_; }

 private:
  OutputFile& file_;
  std::size_t size_ = 0;
  bool failed_ = false;
};

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

void Report(const std::string& target, const char* what) {
  LogError("Unable to save experiment to file '" + target + "' (" + what + ")");
}

class Progress {
 public:
  explicit Progress(ProgressHook* hook) : hook_(hook) {}
  void BeginStage(const std::string& text, int steps) {
    if (hook_) hook_->BeginStage(text, steps);
  }
  void SetPosition(int position) {
    if (hook_) hook_->SetPosition(position);
  }
  void EndStage() {
    if (hook_) hook_->EndStage();
  }
  void Step() {
    if (hook_) hook_->Step();
  }

 private:
  ProgressHook* hook_;
};

class Writer {
 public:
  Writer(ExperimentData& data, SerializationStream& out, bool withVideo, const ExperimentFileContext& context,
         const std::array<bool, kMaxCameras>& unrecorded)
      : data_(data),
        out_(out),
        withVideo_(withVideo),
        context_(context),
        mode_(data.mode.load()),
        unrecorded_(unrecorded) {}

  std::uint32_t Offset() const { return static_cast<std::uint32_t>(out_.Size()); }

  void Header(std::size_t cameras, const std::vector<std::string>& names) {
    WriteU16(out_, kExperimentFileVersion);
    WriteU32(out_, context_.productType);
    for (std::size_t i = 0; i < kBlockTableEntries; ++i) WriteU32(out_, 0);
    WriteU32(out_, data_.startTick.load());
    WriteU32(out_, data_.lastSampleTime.load());
    WriteU32(out_, static_cast<std::uint32_t>(cameras));
    data_.Read([&](const ExperimentContents& c) {
      for (std::size_t i = 0; i < cameras; ++i) WriteU32(out_, c.zoneCount[i]);
      // Title and description are kept within what a reader accepts.
      WriteLengthPrefixedString(out_, c.title);
      WriteLengthPrefixedString(out_, c.description);
      return 0;
    });
    for (std::size_t i = 0; i < cameras; ++i) WriteLengthPrefixedString(out_, i < names.size() ? names[i] : "");
  }

  void Actions() {
    data_.WithStores([&](MarkerStore&, ActionStore& actions) {
      const std::size_t count = actions.Count();
      WriteU32(out_, static_cast<std::uint32_t>(count * 16));
      WriteU32(out_, 16);
      for (std::size_t i = 0; i < count; ++i) {
        const ActionData action = actions.Get(i);
        WriteU32(out_, action.time);
        WriteLengthPrefixedString(out_, action.text);
      }
      return 0;
    });
  }

  void Calculations() {
    data_.Read([&](const ExperimentContents& c) {
      WriteU32(out_, static_cast<std::uint32_t>(c.calculations.size()));
      WriteU32(out_, 80);
      for (const CalculationData& record : c.calculations) WriteCalculationData(out_, record);
      return 0;
    });
  }

  void Markers() {
    data_.WithStores([&](MarkerStore& markers, ActionStore&) {
      const std::size_t count = markers.Count();
      WriteU32(out_, static_cast<std::uint32_t>(count * 16));
      WriteU32(out_, 16);
      for (std::size_t i = 0; i < count; ++i) {
        const MarkerData2 marker = markers.Get(i);
        WriteU32(out_, marker.time);
        WriteLengthPrefixedString(out_, marker.text);
        WriteU32(out_, marker.camera);
      }
      return 0;
    });
  }

  // A fixed-size record block: u32 total, u32 size, the records.
  template <class Record, std::size_t Size, class List, class Serialize>
  void RecordBlock(const List& list, Serialize&& serialize) {
    WriteU32(out_, static_cast<std::uint32_t>(list.size() * Size));
    WriteU32(out_, static_cast<std::uint32_t>(Size));
    Records<Record, Size>(list, serialize);
  }

  // The records alone, written in chunks.
  template <class Record, std::size_t Size, class List, class Serialize>
  void Records(const List& list, Serialize&& serialize) {
    std::vector<std::uint8_t> chunk;
    chunk.reserve(std::min<std::size_t>(list.size(), 4096) * Size);
    std::array<std::uint8_t, Size> raw{};
    for (const Record& record : list) {
      serialize(record, std::span<std::uint8_t, Size>(raw));
      chunk.insert(chunk.end(), raw.begin(), raw.end());
      if (chunk.size() >= 4096 * Size) {
        out_.Write(chunk.data(), chunk.size());
        chunk.clear();
      }
    }
    if (!chunk.empty()) out_.Write(chunk.data(), chunk.size());
  }

  void Flow() {
    data_.Read([&](const ExperimentContents& c) {
      RecordBlock<FMASL1600Data, FMASL1600Data::kSize>(c.flowSamples,
                                                       [](const FMASL1600Data& r, auto out) { r.Serialize(out); });
      return 0;
    });
  }

  void Pressure() {
    data_.Read([&](const ExperimentContents& c) {
      RecordBlock<PMK4xData3, PMK4xData3::kSize>(c.pressureSamples,
                                                 [](const PMK4xData3& r, auto out) { r.Serialize(out); });
      return 0;
    });
  }

  void Zones(std::size_t cameras) {
    data_.Read([&](const ExperimentContents& c) {
      for (std::size_t i = 0; i < cameras; ++i)
        RecordBlock<ZoneData, ZoneData::kStoredSize>(c.zoneData[i],
                                                     [](const ZoneData& r, auto out) { r.Serialize(out); });
      return 0;
    });
  }

  void Microscope(std::size_t cameras) {
    data_.Read([&](const ExperimentContents& c) {
      for (std::size_t i = 0; i < cameras; ++i)
        RecordBlock<MicroscopeData2, MicroscopeData2::kSize>(
            c.microscopeData[i], [](const MicroscopeData2& r, auto out) { r.Serialize(out); });
      return 0;
    });
  }

  // One entry per window; a custom trace's definition follows its entry.
  // False when a custom trace's definition cannot be written.
  bool OpenTraces(const std::vector<TraceWindowState>& windows) {
    VectorSerializationStream block;
    WriteU32(block, static_cast<std::uint32_t>(windows.size()));
    for (const TraceWindowState& w : windows) {
      WriteU32(block, static_cast<std::uint32_t>(w.traceCode));
      // A window without a camera of its own (or zone) is stored as camera
      // (zone) 0: the reader refuses entries outside 0..3.
      const std::int32_t camera = IsCameraIndex(w.camera) ? w.camera : 0;
      const bool hasZone = static_cast<std::size_t>(camera) < w.zones.size();
      const std::int32_t zone = hasZone ? w.zones[static_cast<std::size_t>(camera)] : 0;
      WriteU32(block, static_cast<std::uint32_t>(camera));
      WriteU32(block, zone >= 0 && zone < kMaxZones ? static_cast<std::uint32_t>(zone) : 0);
      WriteLE<double>(block, w.visibleStart);
      WriteLE<double>(block, w.visibleEnd);
      if (w.traceCode >= kFirstCustomTraceIdentity) {
        const auto trace = data_.GetCustomTrace(w.traceCode);
        const auto definition = trace ? trace->GetTrace() : nullptr;
        if (!definition || !WriteCustomTraceDefinition(block, *definition)) return false;
      }
    }
    out_.Write(block.Data(), block.Size());
    return true;
  }

  // One camera's video entry; false (nothing written) when it cannot be made.
  bool VideoEntry(std::size_t camera) {
    struct Entry {
      bool ok = false;
      bool present = false;
      std::string video;
      std::string analysisFile;
      std::vector<AnalysisData> records;
    };
    Entry e = data_.Read([&](const ExperimentContents& c) {
      Entry entry;
      if (mode_ != kModeFile && c.sourceVideoFiles.size() != c.analysisFiles.size()) return entry;
      if (!withVideo_) return entry.ok = true, entry;
      if (camera >= c.sourceVideoFiles.size()) return entry;
      entry.ok = entry.present = true;
      entry.video = c.videoFiles[camera];
      if (mode_ == kModeFile)
        entry.records.assign(c.analysisData[camera].begin(), c.analysisData[camera].end());
      else
        entry.analysisFile = c.analysisFiles[camera];
      return entry;
    });
    if (!e.ok) return false;
    if (!e.present || (camera < kMaxCameras && unrecorded_[camera])) {
      WriteU32(out_, 0);
      return true;
    }
    // A live camera's analysis records are in its analysis file.
    if (!e.analysisFile.empty())
      ForEachRecord<AnalysisData::kSize>(e.analysisFile,
                                         [&](auto raw) { e.records.push_back(AnalysisData::Parse(raw)); });
    WriteU32(out_, 1);
    WriteLengthPrefixedString(out_, e.video);
    WriteU32(out_, static_cast<std::uint32_t>(e.records.size() * AnalysisData::kSize));
    Records<AnalysisData, AnalysisData::kSize>(e.records, [](const AnalysisData& r, auto out) { r.Serialize(out); });
    return true;
  }

  bool IndexImages() {
    return data_.Read([&](const ExperimentContents& c) {
      WriteU32(out_, static_cast<std::uint32_t>(c.indexImages.size()));
      for (const ImageIndexRecord& record : c.indexImages)
        if (!WriteImageIndexRecord(out_, record)) return false;
      return true;
    });
  }

  void ClockSegments() {
    RelativeTime::RelativeTime& clock = *context_.clock;
    auto lock = clock.Lock();
    ClockSegmentStore& store = clock.Store();
    WriteU32(out_, static_cast<std::uint32_t>(store.Count()));
    for (std::size_t i = 0; i < store.Count(); ++i) WriteClockSegment(out_, store.Get(i));
  }

  // The block holds the magnification, then the scales of cameras 1 to 4;
  // the experiment values hold the scales first and the magnification last.
  void Calibration() {
    const Configuration& config = *data_.configuration;
    const auto& ev = config.ExperimentValues;
    WriteLE<std::uint64_t>(out_, 20);
    // The magnification follows the choice made for camera 4's scale.
    WriteLE<float>(out_, ev[kCameraScale4] >= 0.0f ? ev[kExperimentMagnification] : config.Magnification);
    for (std::size_t camera = 0; camera < 4; ++camera)
      WriteLE<float>(out_, ev[camera] >= 0.0f ? ev[camera] : config.Calibration[camera]);
  }

 private:
  ExperimentData& data_;
  SerializationStream& out_;
  bool withVideo_;
  const ExperimentFileContext& context_;
  std::uint32_t mode_;
  const std::array<bool, kMaxCameras>& unrecorded_;
};

// Copies the experiment's videos beside the target and points the cameras'
// video entries at the copies. False when a copy failed. A live camera
// whose recording never began (refused for want of disk space) has no video
// to copy: it is marked in `unrecorded` and saved without one.
bool CopyVideos(ExperimentData& data, const std::string& targetPath, const std::string& fileName, bool withVideo,
                ExperimentFileSystem& files, Progress& progress, std::array<bool, kMaxCameras>& unrecorded) {
  const std::uint32_t mode = data.mode.load();
  std::string baseName;
  const std::size_t ext = fileName.find(".tvx");
  if (withVideo && ext != std::string::npos && ext > 0) baseName = fileName.substr(0, ext);

  const std::vector<std::string> sources = data.Update([&](ExperimentContents& c) {
    if (mode == kModeFile && c.sourceVideoFiles.empty()) {
      for (std::size_t i = 0; i < kMaxCameras; ++i) {
        if (c.videoFiles[i].size() <= 5 || !files.Exists(c.videoFiles[i])) break;
        c.sourceVideoFiles.push_back(c.videoFiles[i]);
      }
    }
    return c.sourceVideoFiles;
  });
  if (sources.empty() || !(withVideo || mode == kModeFile)) return true;

  progress.BeginStage("Handling video file(s)...", static_cast<int>(sources.size()));
  const std::size_t copies = std::min<std::size_t>(sources.size(), kMaxCameras);
  for (std::size_t i = 0; i < copies; ++i) {
    progress.BeginStage("Copying video file...", 100);
    const std::string destination = FolderOf(targetPath) + baseName + "_" + std::to_string(i) + ".avi";
    if (mode != kModeFile && !files.Exists(sources[i])) {
      unrecorded[i] = true;
      LogError("Camera " + std::to_string(i + 1) + ": no video was recorded; the experiment is saved without it");
      progress.EndStage();
      progress.Step();
      continue;
    }
    // A video that already lies at its destination is kept as it is.
    if (!files.SameFile(sources[i], destination)) {
      const bool copied = files.Copy(sources[i], destination, [&](std::uint64_t done, std::uint64_t total) {
        if (total > 0) progress.SetPosition(static_cast<int>(done * 100 / total));
      });
      if (!copied) {
        progress.EndStage();
        progress.EndStage();
        return false;
      }
    }
    data.Update([&](ExperimentContents& c) { return c.videoFiles[i] = destination, 0; });
    progress.EndStage();
    progress.Step();
  }
  progress.EndStage();
  return true;
}

}  // namespace

int SaveExperiment(ExperimentData& data, const std::string& targetPath, const std::string& fileName, bool withVideo,
                   const std::vector<TraceWindowState>& windows, const ExperimentFileContext& context) {
  ExperimentFileSystem& files = context.files ? *context.files : DefaultExperimentFileSystem();
  if (context.error) *context.error = 0;
  // The file system's reason for the failure, for the caller's message.
  const auto noteError = [&] {
    if (context.error) *context.error = files.LastError();
  };
  Progress progress(context.progress);
  progress.SetPosition(0);
  progress.BeginStage("Saving experiment...", 16);

  std::array<bool, kMaxCameras> unrecorded{};
  if (!CopyVideos(data, targetPath, fileName, withVideo, files, progress, unrecorded)) {
    noteError();
    Report(targetPath, "unable to export video file data");
    return 0;
  }

  progress.Step();
  std::unique_ptr<OutputFile> file = files.CreateReplacement(targetPath);
  if (!file) {
    noteError();
    Report(targetPath, "save file failed");
    return 0;
  }
  FileSink sink(*file);
  Writer writer(data, sink, withVideo, context, unrecorded);
  const std::uint32_t mode = data.mode.load();
  const auto [cameras, names] = data.Read([mode](const ExperimentContents& c) {
    const std::size_t n = c.CameraCount(mode);
    std::vector<std::string> list = mode == kModeFile ? c.fileCameraNames : c.cameraLabels;
    list.resize(std::min(list.size(), n));
    return std::pair{n, list};
  });

  // Ends a failed save: the temporary file goes, the target stays as it was.
  const auto fail = [&](const char* what) {
    noteError();
    if (what) Report(targetPath, what);
    file.reset();
    return 0;
  };

  writer.Header(cameras, names);
  progress.Step();
  std::array<std::uint32_t, kBlocksUsed> table{};
  table[kActionsSlot] = writer.Offset();
  writer.Actions();
  progress.Step();
  table[kCalculationsSlot] = writer.Offset();
  writer.Calculations();
  progress.Step();
  table[kMarkersSlot] = writer.Offset();
  writer.Markers();
  progress.Step();
  table[kFlowSlot] = writer.Offset();
  writer.Flow();
  progress.Step();
  table[kPressureSlot] = writer.Offset();
  writer.Pressure();
  progress.Step();
  table[kZonesSlot] = writer.Offset();
  writer.Zones(cameras);
  progress.Step();
  table[kMicroscopeSlot] = writer.Offset();
  writer.Microscope(cameras);
  progress.Step();
  table[kOpenTracesSlot] = writer.Offset();
  if (!writer.OpenTraces(windows)) return fail("unable to export open traces data");
  progress.Step();
  table[kVideosSlot] = writer.Offset();
  // Every camera gets an entry: after a failed one the rest are empty.
  bool videoFailed = false;
  for (std::size_t camera = 0; camera < cameras; ++camera) {
    if (!videoFailed && writer.VideoEntry(camera)) continue;
    if (!videoFailed) Report(targetPath, "unable to export video file data");
    videoFailed = true;
    WriteU32(sink, 0);
  }
  progress.Step();
  table[kImageIndexSlot] = writer.Offset();
  if (!writer.IndexImages()) return fail("save file failed");
  progress.Step();
  table[kClockSegmentsSlot] = writer.Offset();
  writer.ClockSegments();
  progress.Step();
  table[kCalibrationSlot] = writer.Offset();
  writer.Calibration();
  progress.Step();

  if (sink.Failed()) return fail("save file failed");
  std::array<std::uint8_t, kBlocksUsed * 4> tableBytes{};
  for (std::size_t k = 0; k < kBlocksUsed; ++k) Bytes::PutLE<std::uint32_t>(tableBytes.data() + k * 4, table[k]);
  if (!file->WriteAt(6, tableBytes.data(), tableBytes.size()) || !file->Commit()) return fail("save file failed");
  if (!file->Replace()) return fail(nullptr);
  file.reset();
  progress.Step();
  progress.EndStage();
  data.modified = false;
  return 1;
}

}  // namespace ORV
