#include "shell/app/file_commands.h"

#include <filesystem>

#include "core/base/paths.h"

namespace ORV::Shell {

std::string ExperimentFileCommands::WithExtension(const std::string& path) {
  return path.find(kExperimentExtension) == std::string::npos ? path + kExperimentExtension : path;
}

std::string ExperimentFileCommands::ParentFolder(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

void ExperimentFileCommands::OnFileNew() { host_.OpenTraceWindow(); }

bool ExperimentFileCommands::SaveFirstIfChanged() {
  if (!experiment_.Modified()) return true;
  switch (host_.AskSaveChanges(UI::kCurrentExperimentHasChangedString)) {
    case SaveAnswer::Yes:
      return SaveExperiment();
    case SaveAnswer::No:
      return true;
    case SaveAnswer::Cancel:
      break;
  }
  return false;
}

bool ExperimentFileCommands::Readable(const std::string& path) {
  const OS::FileCheck check = experiment_.CheckFile(path);
  if (check.problem == OS::FileProblem::None) return true;
  TellNotOpened(path, UI::FileReasonOf(check));
  return false;
}

void ExperimentFileCommands::TellNotOpened(const std::string& path, const UI::FileReason& reason) {
  host_.ShowFileMessage(UI::kFileCannotOpenNamedString, path, reason, FileCommandsHost::Icon::Error);
}

bool ExperimentFileCommands::OpenExperimentCommand(std::optional<std::string> path) {
  // Opening replaces the record under a running collection: never.
  if (experiment_.Mode() == 0) return false;
  // A named path that is no file is told at once: nothing to save for it.
  if (path && !Readable(*path)) return false;
  if (!SaveFirstIfChanged()) return false;
  if (!path) {
    const std::string folder = experiment_.LastUsedFolder();
    path = host_.AskOpenPath(experiment_.FileExists(folder) ? folder : std::string());
    if (!path) return false;
  }
  return OpenDocumentFile(*path);
}

bool ExperimentFileCommands::OpenDocumentFile(const std::string& path) {
  if (!OpenExperimentFile(path)) return false;
  if (experiment_.Mode() == 1) {
    if (!host_.LiveTrace()) host_.SetTimeSliderForLoaded();
    host_.ResetVideoPanes();
  }
  return true;
}

bool ExperimentFileCommands::Opens(const std::string& path, int result) {
  switch (result) {
    case kOpenProductTypeMismatch:
      host_.ShowMessage(UI::kSelectedFileMadeDifferentString, FileCommandsHost::Icon::Error);
      return false;
    case -2: {
      // The file went between the check and the read.
      const UI::FileReason reason = UI::FileReasonOf(experiment_.CheckFile(path));
      TellNotOpened(path, reason.textId != 0 ? reason : UI::FileReason{UI::kFileReasonDamagedExperimentString, {}});
      return false;
    }
    case -3:
      TellNotOpened(path, {UI::kFileReasonNewerExperimentString, {}});
      return false;
    default:
      if (result < 1) {
        TellNotOpened(path, {UI::kFileReasonDamagedExperimentString, {}});
        return false;
      }
      return true;
  }
}

bool ExperimentFileCommands::OpenExperimentFile(const std::string& path) {
  // Checked before anything closes: a path that is no file leaves the open
  // experiment as it is. The file is then read once into a record of its
  // own: one that is refused leaves the experiment shown, its views and
  // sheets as they were.
  if (!Readable(path)) return false;
  const int checked = host_.RunWithProgress(
      "Loading from file..", [this, &path](ProgressHook* progress) { return experiment_.CheckOpens(path, progress); });
  if (!Opens(path, checked)) return false;
  CloseAllTraceViews();
  host_.StopVideoPlayback();
  const int result = host_.RunWithProgress(
      "Loading from file..", [this, &path](ProgressHook* progress) { return experiment_.Open(path, progress); });
  if (!Opens(path, result)) return false;
  if (result == 2) host_.ShowMessage(UI::kSelectedExperimentFileMadeString, FileCommandsHost::Icon::Warning);
  host_.SetLiveTrace(false);
  SetDrawNoSaveData(false);
  host_.UpdatePaneLayout();
  if (!host_.IsActionSheetOpen()) host_.OpenActionSheet();
  host_.RefreshActionSheet();
  if (host_.IsDataSheetOpen()) host_.RefreshDataSheet();
  // A file that opened only in part says what is missing, so nothing is
  // lost unseen (and the damaged file is not overwritten unawares).
  if (const std::vector<std::string> unread = experiment_.UnreadParts(); !unread.empty()) {
    std::string parts;
    for (const std::string& part : unread) parts += (parts.empty() ? "" : "; ") + part;
    host_.ShowFileMessage(UI::kExperimentOpenedPartlyString, path, {UI::kFileReasonUnreadPartsString, parts},
                          FileCommandsHost::Icon::Warning);
  }
  host_.AddRecentFile(path);
  return true;
}

bool ExperimentFileCommands::SaveExperiment() {
  const std::string name = experiment_.FileName();
  const std::string path = experiment_.FilePath();
  if (!name.empty() && experiment_.FileExists(path) && experiment_.FileVersion() == experiment_.CurrentVersion()) {
    return SaveExperimentToFile(path, name);
  }
  return SaveExperimentAs();
}

bool ExperimentFileCommands::SaveExperimentToFile(const std::string& path, const std::string& name,
                                                  std::string* savedPath) {
  if (path.empty()) return false;
  const std::string target = WithExtension(path);
  if (savedPath) *savedPath = target;
  // A recorded or new experiment takes its videos along when recording is
  // on; a loaded one when it has analysis records of its videos.
  const bool withVideo = experiment_.Mode() != 1 ? host_.VideoRecordingEnabled() : experiment_.HasAnalysisRecords();
  if (!SaveExperimentWithProgress(target, name, withVideo)) {
    // The running backup stays: it is all that holds the data now.
    host_.ShowFileMessage(UI::kSaveFailedNamedString, target, UI::SystemErrorReason(experiment_.LastSaveError()),
                          FileCommandsHost::Icon::Error);
    return false;
  }
  // The file holds the experiment now, so its backup is not offered again;
  // the experiment stays open with everything it holds (the backup's
  // markers, actions, clock and videos), ready for the next save.
  experiment_.RetireBackup();
  experiment_.SetLastUsedFolder(ParentFolder(target));
  return true;
}

bool ExperimentFileCommands::SaveExperimentWithProgress(const std::string& targetPath, const std::string& fileName,
                                                        bool withVideo) {
  return host_.RunWithProgress("Saving experiment...", [&](ProgressHook* progress) {
    return experiment_.Save(targetPath, fileName, withVideo, progress) ? 1 : 0;
  }) == 1;
}

bool ExperimentFileCommands::SaveExperimentAs() {
  if (!host_.AskExperimentDetails()) return false;
  const std::string folder = experiment_.LastUsedFolder();
  const std::optional<std::string> path =
      host_.AskSavePath(experiment_.FileExists(folder) ? folder : std::string(),
                        FileNameFromTitle(experiment_.Title(), kExperimentExtension));
  if (!path) return false;
  const std::string name = std::filesystem::path(*path).filename().string();
  std::string written;
  const bool saved = SaveExperimentToFile(*path, name, &written);
  // The record names the file it was saved to, so the next save goes there;
  // a save that failed leaves it naming what it named before.
  if (saved) {
    experiment_.SetFileName(std::filesystem::path(written).filename().string());
    experiment_.SetFilePath(written);
  }
  return saved;
}

bool ExperimentFileCommands::CloseExperiment() {
  // The question comes first, so "Yes" and a save that did not happen leave
  // everything as it was.
  bool discard = false;
  if (experiment_.Modified()) {
    switch (host_.AskSaveChanges(UI::kCurrentExperimentHasChangedString)) {
      case SaveAnswer::Yes:
        if (!SaveExperiment()) return false;
        break;
      case SaveAnswer::No:
        discard = true;
        break;
      case SaveAnswer::Cancel:
        return false;
    }
  }
  closing_ = true;
  host_.ShowClosingProgress(true);
  experiment_.Clear();
  experiment_.PauseClock();
  experiment_.ResetStores();
  experiment_.SetMode(2);
  CloseAllTraceViews();
  host_.UpdatePaneLayout();
  SetDrawNoSaveData(true);
  if (host_.IsDataSheetOpen()) host_.CloseDataSheet();
  if (!host_.IsActionSheetOpen()) host_.OpenActionSheet();
  host_.RefreshActionSheet();
  host_.ClearVideoPanes();
  host_.SetLiveTrace(false);
  host_.ShowClosingProgress(false);
  closing_ = false;
  if (discard) DiscardBackupBuffer();
  return true;
}

void ExperimentFileCommands::CloseAllTraceViews() {
  // A closing view leaves the list; a view that does not close ends the loop.
  for (int n = host_.TraceViewCount(); n > 0 && host_.TraceViewCount() > 0; --n) host_.CloseLastTraceView();
  ClearSheets();
}

void ExperimentFileCommands::ClearSheets() {
  if (host_.IsDataSheetOpen()) host_.ClearDataSheet();
  if (host_.IsActionSheetOpen()) host_.ClearActionSheet();
}

void ExperimentFileCommands::SetDrawNoSaveData(bool value) {
  drawNoSaveData_ = value;
  host_.SetDrawNoSaveDataOnViews(value);
}

void ExperimentFileCommands::DiscardBackupBuffer() { experiment_.DiscardBackupBuffer(); }

}  // namespace ORV::Shell
