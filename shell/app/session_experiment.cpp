#include "shell/app/session_experiment.h"

#include <filesystem>
#include <optional>

#include "core/base/configuration.h"
#include "core/experiment/experiment_data.h"
#include "core/experiment/experiment_file.h"
#include "core/storage/relative_time.h"
#include "core/threading/ui_dispatcher.h"
#include "platform/os/folders.h"

namespace ORV::Shell {
namespace {

// The trace windows of the views, each call run on the user-interface
// thread (at once when the caller is that thread).
class UiThreadWindows : public TraceWindowHost {
 public:
  explicit UiThreadWindows(TraceWindowHost& inner) : inner_(inner) {}
  std::vector<TraceWindowState> TraceWindows() const override {
    std::vector<TraceWindowState> out;
    Threading::CallOnUiThread([&] { out = inner_.TraceWindows(); });
    return out;
  }
  int OpenTraceWindow() override {
    int window = -1;
    Threading::CallOnUiThread([&] { window = inner_.OpenTraceWindow(); });
    return window;
  }
  void ShowTrace(int w, std::int32_t code) override {
    Threading::CallOnUiThread([&] { inner_.ShowTrace(w, code); });
  }
  void SetCamera(int w, std::int32_t camera) override {
    Threading::CallOnUiThread([&] { inner_.SetCamera(w, camera); });
  }
  void SetZone(int w, std::int32_t camera, std::int32_t zone) override {
    Threading::CallOnUiThread([&] { inner_.SetZone(w, camera, zone); });
  }
  void ConfigureGraphForTrace(int w, std::int32_t code) override {
    Threading::CallOnUiThread([&] { inner_.ConfigureGraphForTrace(w, code); });
  }
  void SetVisibleRange(int w, double start, double end) override {
    Threading::CallOnUiThread([&] { inner_.SetVisibleRange(w, start, end); });
  }
  void Redraw(int w) override {
    Threading::CallOnUiThread([&] { inner_.Redraw(w); });
  }
  bool IsSheetOpen(SheetKind sheet) const override {
    bool open = false;
    Threading::CallOnUiThread([&] { open = inner_.IsSheetOpen(sheet); });
    return open;
  }
  void OpenSheet(SheetKind sheet) override {
    Threading::CallOnUiThread([&] { inner_.OpenSheet(sheet); });
  }

 private:
  TraceWindowHost& inner_;
};

}  // namespace

SessionExperiment::SessionExperiment(ExperimentData& data, Configuration& configuration,
                                     RelativeTime::RelativeTime& clock, TraceWindowHost* windows)
    : data_(data), configuration_(configuration), windows_(windows), clock_(clock) {}

std::string SessionExperiment::FileName() const {
  return data_.Read([](const ExperimentContents& c) { return c.name; });
}
std::string SessionExperiment::Title() const {
  return data_.Read([](const ExperimentContents& c) { return c.title; });
}
std::string SessionExperiment::FilePath() const {
  return data_.Read([](const ExperimentContents& c) { return c.filePath; });
}
void SessionExperiment::SetFileName(const std::string& name) {
  data_.Update([&](ExperimentContents& c) { return (c.name = name, 0); });
}
void SessionExperiment::SetFilePath(const std::string& path) {
  data_.Update([&](ExperimentContents& c) { return (c.filePath = path, 0); });
}
bool SessionExperiment::Modified() const { return data_.modified.load(); }
std::uint16_t SessionExperiment::FileVersion() const { return data_.fileVersion.load(); }
std::uint16_t SessionExperiment::CurrentVersion() const { return data_.currentVersion; }
std::uint32_t SessionExperiment::Mode() const { return data_.mode.load(); }
void SessionExperiment::SetMode(std::uint32_t mode) { data_.mode = mode; }

bool SessionExperiment::HasAnalysisRecords() const {
  return data_.Read([](const ExperimentContents& c) {
    for (const auto& list : c.analysisData) {
      if (list.size() > 0) return true;
    }
    return false;
  });
}

bool SessionExperiment::FileExists(const std::string& path) const {
  std::error_code ec;
  return !path.empty() && std::filesystem::exists(path, ec);
}

OS::FileCheck SessionExperiment::CheckFile(const std::string& path) const { return OS::CheckUserFile(path); }

int SessionExperiment::Open(const std::string& path, ProgressHook* progress) {
  std::optional<UiThreadWindows> windows;
  if (windows_) windows.emplace(*windows_);
  ExperimentFileContext context(clock_);
  context.windows = windows ? &*windows : nullptr;
  context.progress = progress;
  context.productType = static_cast<std::uint32_t>(configuration_.ProductType);
  unread_.clear();
  context.unread = &unread_;
  return OpenExperiment(data_, path, context);
}

int SessionExperiment::CheckOpens(const std::string& path, ProgressHook* progress) {
  const std::string folder = OS::MakePrivateWorkingDir("tarvix5-open-");
  if (folder.empty()) return kOpenFailed;
  int result = kOpenFailed;
  {
    RelativeTime::RelativeTime clock;
    ExperimentData trial(configuration_, clock);
    // The reader sets the file's calibration in the configuration; the
    // experiment shown keeps its own.
    const auto experimentValues = trial.configuration->ExperimentValues;
    if (trial.OpenStores(folder)) {
      ExperimentFileContext context(clock);
      context.progress = progress;
      context.productType = static_cast<std::uint32_t>(configuration_.ProductType);
      result = OpenExperiment(trial, path, context);
    }
    trial.CloseStores();
    trial.configuration->ExperimentValues = experimentValues;
  }
  OS::RemoveTree(folder);
  return result;
}

bool SessionExperiment::Save(const std::string& path, const std::string& name, bool withVideo, ProgressHook* progress) {
  std::vector<TraceWindowState> windowStates;
  if (windows_) windowStates = UiThreadWindows(*windows_).TraceWindows();
  ExperimentFileContext context(clock_);
  context.progress = progress;
  context.productType = static_cast<std::uint32_t>(configuration_.ProductType);
  context.error = &saveError_;
  return SaveExperiment(data_, path, name, withVideo, windowStates, context) == 1;
}

void SessionExperiment::Clear() { data_.Clear(); }

void SessionExperiment::PauseClock() {
  clock_.Pause();
  data_.startTick = clock_.Now();
}

void SessionExperiment::ResetStores() { data_.ResetStores(); }

void SessionExperiment::DiscardBackupBuffer() {
  const std::string folder = configuration_.GetTempWorkingDirectory();
  if (!folder.empty()) data_.CleanTempBackupBuffer(folder);
}

void SessionExperiment::RetireBackup() { data_.RetireRunningBackup(); }

std::string SessionExperiment::LastUsedFolder() const { return configuration_.LastUsedExperimentPath; }
void SessionExperiment::SetLastUsedFolder(const std::string& folder) { configuration_.LastUsedExperimentPath = folder; }

}  // namespace ORV::Shell
