#pragma once
// The experiment record of the session as the file commands see it: opening
// and saving through the experiment file, the clock, the stores and the
// running backup, the last used folder in the settings.
//
// Open and Save may run on a worker: the trace windows are then reached
// through the user-interface thread, which keeps its event loop running
// under the progress dialog.
#include "core/experiment/trace_window_host.h"
#include "shell/app/file_commands.h"

namespace ORV {
class ExperimentData;
class Configuration;
namespace RelativeTime {
class RelativeTime;
}
}  // namespace ORV

namespace ORV::Shell {

class SessionExperiment : public ExperimentAccess {
 public:
  // `clock` is the experiment clock whose segments are saved and reopened;
  // `windows` may be null (no trace windows to save or reopen).
  SessionExperiment(ExperimentData& data, Configuration& configuration, RelativeTime::RelativeTime& clock,
                    TraceWindowHost* windows = nullptr);

  std::string FileName() const override;
  std::string FilePath() const override;
  void SetFileName(const std::string& name) override;
  void SetFilePath(const std::string& path) override;
  bool Modified() const override;
  std::string Title() const override;
  std::uint16_t FileVersion() const override;
  std::uint16_t CurrentVersion() const override;
  std::uint32_t Mode() const override;
  void SetMode(std::uint32_t mode) override;
  bool HasAnalysisRecords() const override;
  bool FileExists(const std::string& path) const override;
  OS::FileCheck CheckFile(const std::string& path) const override;
  int Open(const std::string& path, ProgressHook* progress) override;
  std::vector<std::string> UnreadParts() const override { return unread_; }
  // Reads the file into a record of its own (stores in a private working
  // folder, a clock of its own, no windows) and puts the configuration's
  // experiment values back afterwards.
  int CheckOpens(const std::string& path, ProgressHook* progress) override;
  bool Save(const std::string& path, const std::string& name, bool withVideo, ProgressHook* progress) override;
  int LastSaveError() const override { return saveError_; }
  void Clear() override;
  void PauseClock() override;
  void ResetStores() override;
  void DiscardBackupBuffer() override;
  void RetireBackup() override;
  std::string LastUsedFolder() const override;
  void SetLastUsedFolder(const std::string& folder) override;

 private:
  ExperimentData& data_;
  Configuration& configuration_;
  TraceWindowHost* windows_;
  RelativeTime::RelativeTime& clock_;
  int saveError_ = 0;
  std::vector<std::string> unread_;  // of the last Open
};

}  // namespace ORV::Shell
