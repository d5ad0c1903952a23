// The backup import: at start-up a backup that an earlier run left behind
// is offered to the user and, on Yes, rebuilt into the experiment record on
// a worker thread while the wait dialog is shown.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string_view>
#include <thread>

#include "core/base/configuration.h"
#include "core/base/event_log.h"
#include "core/base/paths.h"
#include "core/experiment/backup_files.h"
#include "core/experiment/experiment_data.h"
#include "core/experiment/experiment_file.h"
#include "core/storage/relative_time.h"
#include "core/threading/event.h"

namespace ORV {

namespace {

constexpr const char* kImportQuestion = "Experiment data found in backup - Import data from backup?";
constexpr const char* kImportWaitText = "Importing backup";
constexpr const char* kImportedFileName = "Record";

bool FileExists(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

// True when the folder holds a whole backup index that can be read.
bool HoldsBackupIndex(const std::string& folder) {
  const std::string index = JoinPath(folder, kBackupIndexName);
  std::error_code ec;
  return FileExists(index) && std::filesystem::file_size(index, ec) >= kBackupIndexSize && !ec &&
         std::ifstream(index, std::ios::binary).good();
}

// A backup folder's name: its number, 0 to 9999.
bool IsBackupName(std::string_view name) {
  return !name.empty() && name.size() <= 4 &&
         std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The backup start-up offers: the one the settings name when it holds its
// index, else the backup folder of the base whose index was written last
// (the settings that named it may be missing or damaged); empty when the
// base holds none.
std::string FindBackup(const std::string& base, const std::string& named) {
  if (IsBackupName(named) && HoldsBackupIndex(JoinPath(base, named))) return named;
  std::string newest;
  std::filesystem::file_time_type newestTime{};
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(base, ec)) {
    std::error_code entryError;
    if (entry.is_symlink(entryError) || !entry.is_directory(entryError)) continue;
    const std::string name = entry.path().filename().string();
    if (!IsBackupName(name) || !HoldsBackupIndex(entry.path().string())) continue;
    const auto written =
        std::filesystem::last_write_time(JoinPath(entry.path().string(), kBackupIndexName), entryError);
    if (entryError) continue;
    if (newest.empty() || written > newestTime) {
      newest = name;
      newestTime = written;
    }
  }
  return newest;
}

// The marker stream's records (time, text) up to the first one cut short or
// with a text longer than the longest stored string (logged).
std::vector<ActionData> ReadMarkerStream(const std::string& path) {
  std::vector<ActionData> records;
  std::ifstream in(path, std::ios::binary);
  ActionData record;
  while (in && ReadLE(in, record.time) && ReadLengthPrefixedString(in, record.text)) records.push_back(record);
  return records;
}

}  // namespace

std::int32_t ExperimentData::CheckBackupAtStartup() {
  const std::string base = configuration->GetTempWorkingDirectory();
  backupEnabled = configuration->AutoBackup;
  OpenStores(base);
  Clock().OpenStore(JoinPath(base, kClockStoreName));

  // A backup found is offered even when automatic backups have been switched
  // off since it was made: it is the only copy of that experiment. It is
  // looked for in the base folder whatever the settings say, and only a
  // backup the user declined is wiped.
  const std::string name = base.empty() ? std::string() : FindBackup(base, configuration->RunningBackupDirectory);
  if (!name.empty()) {
    if (name != configuration->RunningBackupDirectory) {
      // The settings lost the name: they get it back, so that the import,
      // a later save and a discard find this backup.
      configuration->RunningBackupDirectory = name;
      configuration->SetSettingsString(kRunningBackupDirectoryValue, name);
    }
    const std::string folder = JoinPath(base, name);
    const ApplicationHooks::Answer answer =
        hooks_ != nullptr ? hooks_->AskYesNo(hooks_->AppTitle(), kImportQuestion) : ApplicationHooks::Answer::None;
    if (answer == ApplicationHooks::Answer::None) {
      LogError("ExperimentData::CheckBackupAtStartup() - a backup was found in '" + folder +
               "' but no one could be asked to import it; it is kept");
      return 0;
    }
    if (answer == ApplicationHooks::Answer::Yes) {
      Utils::Sync::Event done;
      std::uint32_t result = 0;
      std::thread worker([&] {
        result = ImportBackup(folder + "/");
        done.Set();
      });
      hooks_->WaitForEvent(done, kImportWaitText);
      worker.join();
      if (result != 0) {
        mode = kModeFile;
        return 1;
      }
      LogError("ExperimentData::CheckBackupAtStartup() - unable to import the backup in '" + folder +
               "': its index cannot be read; the backup is kept");
      return 0;
    }
  }
  CleanTempBackupBuffer(base);
  return 0;
}

std::uint32_t ExperimentData::ImportBackup(const std::string& folder) {
  std::array<std::uint8_t, kBackupIndexSize> index{};
  {
    std::ifstream in(JoinPath(folder, kBackupIndexName), std::ios::binary);
    if (!in || !in.read(reinterpret_cast<char*>(index.data()), index.size())) return 0;
  }
  const std::uint32_t indexStart = Bytes::GetLE<std::uint32_t>(index.data() + 4);
  const std::uint32_t indexLast = Bytes::GetLE<std::uint32_t>(index.data() + 8);
  startTick = indexStart;
  lastSampleTime = indexLast;

  Update([](ExperimentContents& c) {
    for (int camera = 0; camera < kMaxCameras; ++camera) {
      c.zoneData[camera].clear();
      c.microscopeData[camera].clear();
    }
    c.flowSamples.clear();
    c.pressureSamples.clear();
    c.indexImages.clear();
    return 0;
  });

  // Zone data, camera by camera up to the first camera without a file.
  std::size_t zoneCameras = 0;
  for (int camera = 0; camera < kMaxCameras; ++camera) {
    const std::string path = BackupStreamPath(folder, kZoneStreamPrefix, camera);
    if (!FileExists(path)) break;
    zoneCameras = static_cast<std::size_t>(camera) + 1;
    RecordList<ZoneData> zones;
    ForEachRecord<ZoneData::kStoredSize>(path, [&](auto record) {
      ZoneData z = ZoneData::Parse(record);
      z.valid = 1;
      zones.push_back(z);
    });
    Update([&](ExperimentContents& c) {
      if (!zones.empty()) c.zoneCount[camera] = static_cast<std::uint32_t>(zones.back().zoneCount);
      c.zoneData[camera] = std::move(zones);
      return 0;
    });
  }
  mode = kModeFile;
  modified = true;

  // Markers: the marker store outlives a crash; the marker stream is read
  // only when the store holds nothing of this backup.
  const std::string backupName = configuration->RunningBackupDirectory;
  // The marker stream feeds both empty stores; it is read once, when the
  // first of them needs it.
  std::optional<std::vector<ActionData>> markerStream;
  const auto markerRecords = [&]() -> const std::vector<ActionData>& {
    if (!markerStream) markerStream = ReadMarkerStream(BackupStreamPath(folder, kMarkerStreamPrefix, 0));
    return *markerStream;
  };
  UniqueRecord identity;
  WithStores([&](MarkerStore& markers, ActionStore&) { return markers.ReadUnique(identity); });
  if (identity.text != backupName) {
    WithStores([&](MarkerStore& markers, ActionStore& actions) {
      markers.Close();
      markers.Open();
      actions.Close();
      actions.Open();
      if (markers.Count() == 0) {
        for (const ActionData& r : markerRecords()) {
          markers.Put(markers.Count(), MarkerData2{r.text, r.time, 0, r.time}, false);
        }
      }
      UniqueRecord written;
      written.text = backupName;
      markers.WriteUnique(written);
      return 0;
    });
  }

  // Calculations: the older fixed-size form, then the serialised one.
  std::vector<CalculationData> calculations;
  ForEachRecord<CalculationData::kLegacySize>(
      BackupStreamPath(folder, kLegacyCalculationStreamPrefix, 0),
      [&](auto record) { calculations.push_back(ParseLegacyCalculationData(record)); });
  {
    std::ifstream in(BackupStreamPath(folder, kCalculationStreamPrefix, 0), std::ios::binary);
    while (in && in.peek() != std::ifstream::traits_type::eof()) {
      CalculationData record;
      if (!ReadCalculationData(in, record)) break;
      calculations.push_back(std::move(record));
    }
  }

  // Actions, from the marker stream when the action store is empty.
  WithStores([&](MarkerStore&, ActionStore& actions) {
    if (actions.Count() == 0) {
      for (const ActionData& r : markerRecords()) actions.Put(actions.Count(), r, false);
    }
    return 0;
  });

  std::array<RecordList<MicroscopeData2>, kMaxCameras> microscope;
  for (int camera = 0; camera < kMaxCameras; ++camera) {
    ForEachRecord<MicroscopeData2::kShortSize>(BackupStreamPath(folder, kMicroscopeStreamPrefix, camera), [&](auto r) {
      microscope[camera].push_back(MicroscopeData2::ParseShort(r));
    });
  }
  RecordList<FMASL1600Data> flow;
  ForEachRecord<FMASL1600Data::kSize>(BackupStreamPath(folder, kFlowStreamPrefix, 0),
                                      [&](auto r) { flow.push_back(FMASL1600Data::Parse(r)); });
  RecordList<PMK4xData3> pressure;
  ForEachRecord<PMK4xData3::kSize>(BackupStreamPath(folder, kPressureStreamPrefix, 0),
                                   [&](auto r) { pressure.push_back(PMK4xData3::Parse(r)); });

  // Experiment values: the last whole block wins.
  ForEachRecord<kExtraDataSize>(BackupStreamPath(folder, kExtraDataStreamPrefix, 0), [&](auto r) {
    configuration->ExperimentValues[kExperimentMagnification] = Bytes::GetLE<float>(r.data());
    for (int k = 0; k < 4; ++k) configuration->ExperimentValues[k] = Bytes::GetLE<float>(r.data() + 4 + 4 * k);
  });

  std::vector<ImageIndexRecord> images;
  {
    std::ifstream in(BackupStreamPath(folder, kImageIndexStreamPrefix, 0), std::ios::binary);
    ImageIndexRecord record;
    while (in && ReadImageIndexRecord(in, record)) images.push_back(record);
  }

  // Videos, and the cameras of the imported experiment: as many as there are
  // videos or cameras with zone or microscope streams, so that measurements
  // recorded without video are kept.
  std::vector<std::string> videos;
  for (int n = 0;; ++n) {
    const std::string path = JoinPath(folder, kVideoFilePrefix + std::to_string(n) + ".avi");
    if (!FileExists(path)) break;
    videos.push_back(path);
  }
  std::size_t cameras = std::max(videos.size(), zoneCameras);
  for (int c = 0; c < kMaxCameras; ++c) {
    if (FileExists(BackupStreamPath(folder, kMicroscopeStreamPrefix, c))) {
      cameras = std::max<std::size_t>(cameras, static_cast<std::size_t>(c) + 1);
    }
  }
  cameras = std::min<std::size_t>(cameras, kMaxCameras);

  std::vector<std::string> analysisFiles;
  std::array<RecordList<AnalysisData>, kMaxCameras> analysis;
  for (int n = 0; n < kMaxCameras; ++n) {
    const std::string path = BackupStreamPath(folder, kAnalysisFilePrefix, n);
    if (!FileExists(path)) break;
    analysisFiles.push_back(path);
    ForEachRecord<AnalysisData::kSize>(path, [&](auto r) { analysis[n].push_back(AnalysisData::Parse(r)); });
  }

  Update([&](ExperimentContents& c) {
    c.calculations.insert(c.calculations.end(), calculations.begin(), calculations.end());
    for (int camera = 0; camera < kMaxCameras; ++camera) {
      c.microscopeData[camera] = std::move(microscope[camera]);
      for (auto& a : analysis[camera]) c.analysisData[camera].push_back(a);
    }
    c.flowSamples = std::move(flow);
    c.pressureSamples = std::move(pressure);
    c.indexImages = std::move(images);
    c.fileCameraNames.clear();
    for (std::size_t n = 0; n < cameras; ++n) c.fileCameraNames.push_back("Camera " + std::to_string(n + 1));
    c.sourceVideoFiles.insert(c.sourceVideoFiles.end(), videos.begin(), videos.end());
    c.analysisFiles.insert(c.analysisFiles.end(), analysisFiles.begin(), analysisFiles.end());

    // The newest data's time when the index did not carry one.
    if (lastSampleTime <= startTick) {
      if (!c.zoneData[0].empty())
        lastSampleTime = c.zoneData[0].back().time;
      else if (!c.pressureSamples.empty())
        lastSampleTime = c.pressureSamples.back().time;
      else if (!c.flowSamples.empty())
        lastSampleTime = c.flowSamples.back().time;
      else if (!c.indexImages.empty())
        lastSampleTime = c.indexImages.back().time;
    }
    c.filePath = JoinPath(folder, std::string(kImportedFileName) + ".tvx");
    return 0;
  });

  ReadTitleAndDescription();
  return 1;
}

}  // namespace ORV
