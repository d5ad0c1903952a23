// The running backup: the record's data appended to a folder of record
// streams while a collection records (see experiment_data.h).
#include <ctime>
#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>

#include "core/base/configuration.h"
#include "core/base/event_log.h"
#include "core/base/paths.h"
#include "core/experiment/backup_files.h"
#include "core/experiment/experiment_data.h"
#include "core/storage/relative_time.h"
#include "platform/os/folders.h"

namespace ORV {

namespace {

// How often the running backup's streams are handed to the system, and
// every how many of those they are synced to the disk (once a second).
constexpr std::chrono::milliseconds kFlushPeriod{250};
constexpr int kSyncEveryFlushes = 4;

// The experiment values at the backup's start: per camera the experiment's
// calibration when one is set (0 or more), else the configured one; the
// magnification follows the choice made for camera 4.
std::array<float, 5> ExperimentValuesBlock(const Configuration& config) {
  std::array<float, 5> block{-1.0f, -1.0f, -1.0f, -1.0f, -1.0f};
  const auto& ev = config.ExperimentValues;
  for (std::size_t k = 0; k < 4; ++k) {
    block[1 + k] = ev[k] >= 0.0f ? ev[k] : config.Calibration[k];
  }
  block[0] = ev[kCameraScale4] >= 0.0f ? ev[kExperimentMagnification] : config.Magnification;
  return block;
}

}  // namespace

bool IsBackupBase(const std::string& folder) {
  const std::string_view name = kBackupBaseName;
  if (folder.size() < name.size() + 3) return false;
  const std::size_t at = folder.find(name);
  return at != std::string::npos && at > 0;
}

std::string BackupStreamPath(const std::string& folder, std::string_view prefix, int n) {
  return JoinPath(folder, std::string(prefix) + std::to_string(n) + ".dta");
}

void ExperimentData::SetBackupRandomSource(std::function<std::uint32_t()> draw) { backupRandom_ = std::move(draw); }

std::string ExperimentData::BackupFolder() {
  const std::string base = configuration->GetTempWorkingDirectory();
  const std::string name = configuration->RunningBackupDirectory;
  if (base.empty() || name.empty()) return {};
  return JoinPath(base, name);
}

void ExperimentData::ResetStores() {
  flusher_.Stop();
  opened = false;
  fileVersion = currentVersion;
  streams_.CloseAll();
  {
    std::lock_guard lock(storeLock_);
    markers_.Close();
    if (!markers_.Path().empty()) markers_.Open();
  }
  InitCustomTraces();
  configuration->ExperimentValues.fill(-1.0f);
}

void ExperimentData::RetireRunningBackup() {
  if (mode == kModeLive) return;
  const std::string folder = BackupFolder();
  if (folder.empty()) return;
  const std::string index = JoinPath(folder, kBackupIndexName);
  std::error_code ec;
  if (!std::filesystem::exists(index, ec)) return;
  if (!std::filesystem::remove(index, ec) || ec) {
    LogError("ExperimentData::RetireRunningBackup() - cannot remove '" + index + "': " + ec.message() +
             "; the saved experiment's backup will be offered at the next start");
    return;
  }
  backupRetired_ = true;
}

void ExperimentData::RemoveRetiredBackup() {
  if (!backupRetired_.exchange(false)) return;
  const std::string folder = BackupFolder();
  if (folder.empty() || !IsBackupBase(folder)) return;
  if (!OS::RemoveTree(folder)) LogError("ExperimentData::RemoveRetiredBackup() - cannot delete '" + folder + "'");
}

void ExperimentData::CleanTempBackupBuffer(const std::string& folder) {
  if (!IsBackupBase(folder)) return;
  backupRetired_ = false;
  std::error_code ec;
  if (std::filesystem::is_symlink(folder, ec)) {
    LogError("ExperimentData::CleanTempBackupBuffer() - '" + folder + "' is a link, not emptied");
    return;
  }
  ResetStores();
  CloseStores();
  Clock().CloseStore();
  // The folder's whole path, never a shortened one: a cut path could name
  // another folder.
  std::filesystem::remove_all(folder, ec);
  if (ec) {
    LogError("ExperimentData::CleanTempBackupBuffer() - cannot delete '" + folder + "': " + ec.message());
  }
  OS::EnsurePrivateDir(folder);
  OpenStores(folder);
  Clock().Stop();
}

void ExperimentData::StartRunningBackup() {
  ResetStores();
  const std::string base = configuration->GetTempWorkingDirectory();
  CleanTempBackupBuffer(base);

  if (!backupRandom_) {
    backupRandom_ = [engine = std::mt19937(static_cast<std::uint32_t>(std::time(nullptr)))]() mutable {
      return static_cast<std::uint32_t>(engine());
    };
  }
  const std::string name = std::to_string(backupRandom_() % 10000);
  configuration->RunningBackupDirectory = name;
  configuration->SetSettingsString(kRunningBackupDirectoryValue, name);

  const std::string folder = JoinPath(base, name);
  if (!OS::EnsurePrivateDir(folder)) {
    LogError("ExperimentData::StartRunningBackup() - cannot make the backup folder '" + folder + "'");
  }

  std::array<std::uint8_t, kBackupIndexSize> index{};
  Bytes::PutLE<std::uint32_t>(index.data(), static_cast<std::uint32_t>(configuration->ProductType));
  Bytes::PutLE<std::uint32_t>(index.data() + 4, startTick);
  Bytes::PutLE<std::uint32_t>(index.data() + 8, lastSampleTime);
  if (streams_.index.Open(JoinPath(folder, kBackupIndexName))) {
    streams_.index.Append(index);
    streams_.index.Close();
  }

  const std::size_t cameras = Read([](const ExperimentContents& c) { return c.CameraCount(kModeLive); });
  for (std::size_t c = 0; c < cameras; ++c) {
    const int n = static_cast<int>(c);
    streams_.zone[c].Open(BackupStreamPath(folder, kZoneStreamPrefix, n));
    streams_.microscope[c].Open(BackupStreamPath(folder, kMicroscopeStreamPrefix, n));
  }
  streams_.action.Open(BackupStreamPath(folder, kActionStreamPrefix, 0));
  streams_.flow.Open(BackupStreamPath(folder, kFlowStreamPrefix, 0));
  streams_.pressure.Open(BackupStreamPath(folder, kPressureStreamPrefix, 0));
  streams_.marker.Open(BackupStreamPath(folder, kMarkerStreamPrefix, 0));
  streams_.calculation.Open(BackupStreamPath(folder, kCalculationStreamPrefix, 0));
  streams_.indexImage.Open(BackupStreamPath(folder, kImageIndexStreamPrefix, 0));

  const std::array<float, 5> block = ExperimentValuesBlock(*configuration);
  std::array<std::uint8_t, kExtraDataSize> values{};
  for (std::size_t k = 0; k < block.size(); ++k) Bytes::PutLE<float>(values.data() + 4 * k, block[k]);
  {
    RecordFileStream extra;
    if (extra.Open(BackupStreamPath(folder, kExtraDataStreamPrefix, 0))) {
      extra.Append(values);
      extra.Close();
    }
  }

  OpenStores(base);
  Clock().Stop();
  Clock().OpenStore(JoinPath(base, kClockStoreName));
  flusher_.Start(streams_, kFlushPeriod, kSyncEveryFlushes);
}

std::string ExperimentData::AddRecordingFiles(std::uint32_t camera) {
  const std::string folder = BackupFolder();
  const std::string video = JoinPath(folder, kVideoFilePrefix + std::to_string(camera) + ".avi");
  const std::string analysis = BackupStreamPath(folder, kAnalysisFilePrefix, static_cast<int>(camera));
  Update([&](ExperimentContents& c) {
    c.sourceVideoFiles.push_back(video);
    c.analysisFiles.push_back(analysis);
    return 0;
  });
  return video;
}

void ExperimentData::WriteTitleAndDescription() {
  const std::string folder = BackupFolder();
  std::error_code ec;
  if (folder.empty() || !std::filesystem::is_directory(folder, ec)) return;
  VectorSerializationStream bytes;
  Read([&](const ExperimentContents& c) {
    WriteSerialString(bytes, c.title);
    WriteSerialString(bytes, c.description);
    return 0;
  });
  if (!OS::AtomicWriteFile(JoinPath(folder, kTitleFileName), bytes.Bytes())) {
    LogError("ExperimentData::WriteTitleAndDescription() - cannot write the title to '" + folder + "'");
  }
}

void ExperimentData::ReadTitleAndDescription() {
  const std::string folder = BackupFolder();
  std::error_code ec;
  if (folder.empty() || !std::filesystem::is_directory(folder, ec)) return;
  std::ifstream in(JoinPath(folder, kTitleFileName), std::ios::binary);
  if (!in) return;
  std::vector<char> bytes(kMaxTitleFileBytes);
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  const auto got = static_cast<std::size_t>(in.gcount());
  if (got < 5) return;
  ByteArrayStreamBuf buf(bytes.data(), got);
  std::istream text(&buf);
  std::string title;
  std::string description;
  const bool haveTitle = ReadSerialString(text, title);
  const bool haveDescription = haveTitle && ReadSerialString(text, description);
  Update([&](ExperimentContents& c) {
    if (haveTitle) c.title = title;
    if (haveDescription) c.description = description;
    return 0;
  });
}

}  // namespace ORV
