#pragma once
// The commands that act on the experiment as a whole: a new trace window,
// open (menu, recent files, dropped files), save, save as and close, with
// their questions, messages and the order in which views, panes and stores
// are reset. Free of widgets: the frame, the views and the dialogs are
// reached through FileCommandsHost, the experiment record through
// ExperimentAccess, so tests drive the commands against fakes.
//
// What the user chose to keep is never lost: a "Yes" to "save first?"
// followed by a failed or cancelled save abandons the open or close, and a
// file that cannot be opened leaves the experiment shown as it was (the file
// is read into a record of its own before anything is closed). Every open
// path refuses while data are being collected and asks when the experiment
// has changed. A path that is no readable file (a folder, a pipe, an empty
// file ...) is refused with a message that names it and says why, before
// anything is asked or closed; a file the reader refuses, and a save that
// fails, are told the same way.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/experiment/progress_hooks.h"
#include "platform/os/user_file.h"
#include "platform/ui/file_problem_text.h"
#include "platform/ui/string_ids.h"
#include "shell/save_answer.h"

namespace ORV::Shell {

inline constexpr const char* kExperimentExtension = ".tvx";
inline constexpr const char* kExperimentFilter = "Tarvix Files (*.tvx)|*.tvx|All Files (*.*)|*.*||";
inline constexpr const char* kClosingText = "Closing experiment..";

// Results of ExperimentAccess::Open, as the experiment file reports them.
inline constexpr int kOpenProductTypeMismatch = -1;

// The experiment record as the commands use it.
class ExperimentAccess {
 public:
  virtual ~ExperimentAccess() = default;
  virtual std::string FileName() const = 0;
  virtual std::string FilePath() const = 0;
  virtual void SetFileName(const std::string& name) = 0;
  virtual void SetFilePath(const std::string& path) = 0;
  virtual bool Modified() const = 0;
  // The experiment's title (what the save dialog's file name is made of).
  virtual std::string Title() const = 0;
  // The version of the file last opened and the version the program writes.
  virtual std::uint16_t FileVersion() const = 0;
  virtual std::uint16_t CurrentVersion() const = 0;
  // 0 collecting, 1 loaded from a file or backup, 2 new.
  virtual std::uint32_t Mode() const = 0;
  virtual void SetMode(std::uint32_t mode) = 0;
  virtual bool HasAnalysisRecords() const = 0;
  virtual bool FileExists(const std::string& path) const = 0;
  // Whether `path` can be read as a file at all (no pipe, folder, empty
  // file ...), looked at without blocking and without reading it.
  virtual OS::FileCheck CheckFile(const std::string& path) const = 0;
  // Reads a file into the record (the experiment file's result codes).
  // May run on a worker; `progress` may be null.
  virtual int Open(const std::string& path, ProgressHook* progress) = 0;
  // The parts of the file that the last Open could not read and left out,
  // in words; empty when it read everything.
  virtual std::vector<std::string> UnreadParts() const = 0;
  // Reads the file into a fresh record of its own and gives the result Open
  // would give; the record, its clock and its views stay as they are. May
  // run on a worker; `progress` may be null.
  virtual int CheckOpens(const std::string& path, ProgressHook* progress) = 0;
  // Writes the record; true when saved. May run on a worker.
  virtual bool Save(const std::string& path, const std::string& name, bool withVideo, ProgressHook* progress) = 0;
  // The system's reason (an errno) why the last Save failed; 0 when unknown.
  virtual int LastSaveError() const = 0;
  virtual void Clear() = 0;
  // Pauses the experiment clock and stores its current time in the record.
  virtual void PauseClock() = 0;
  virtual void ResetStores() = 0;
  // Empties and remakes the running backup's folder.
  virtual void DiscardBackupBuffer() = 0;
  // The experiment was saved: its running backup is no longer offered at
  // the next start, while the open experiment keeps its markers, actions,
  // clock and videos.
  virtual void RetireBackup() = 0;
  // The folder the last save went to (kept in the settings).
  virtual std::string LastUsedFolder() const = 0;
  virtual void SetLastUsedFolder(const std::string& folder) = 0;
};

// What the commands need of the frame, the views and the dialogs.
class FileCommandsHost {
 public:
  virtual ~FileCommandsHost() = default;

  // ---- questions, messages, dialogs ----
  // A "save changes?" question: Yes, No or Cancel.
  virtual SaveAnswer AskSaveChanges(std::uint32_t textId) = 0;
  enum class Icon { Error, Warning };
  virtual void ShowMessage(std::uint32_t textId, Icon icon) = 0;
  // A message about a file: the text `textId` with the file's path and the
  // reason in its two "%s".
  virtual void ShowFileMessage(std::uint32_t textId, const std::string& path, const UI::FileReason& reason,
                               Icon icon) = 0;
  // The file dialogs; nothing when cancelled. `folder` may be empty.
  virtual std::optional<std::string> AskOpenPath(const std::string& folder) = 0;
  // `fileName` is the name the save dialog offers.
  virtual std::optional<std::string> AskSavePath(const std::string& folder, const std::string& fileName) = 0;
  // The "Save Experiment" dialog (title and description); true for Save.
  virtual bool AskExperimentDetails() = 0;

  // ---- long work ----
  // Runs `work` on a worker while the GUI thread shows its progress, and
  // returns its result.
  virtual int RunWithProgress(const std::string& caption, const std::function<int(ProgressHook*)>& work) = 0;
  // Shows or ends the marquee "Closing experiment.." progress.
  virtual void ShowClosingProgress(bool on) = 0;

  // ---- views ----
  virtual void OpenTraceWindow() = 0;
  virtual int TraceViewCount() const = 0;
  virtual void CloseLastTraceView() = 0;
  virtual void ClearDataSheet() = 0;
  virtual void ClearActionSheet() = 0;
  virtual void SetDrawNoSaveDataOnViews(bool value) = 0;
  virtual bool IsDataSheetOpen() const = 0;
  virtual void CloseDataSheet() = 0;
  virtual bool IsActionSheetOpen() const = 0;
  virtual void OpenActionSheet() = 0;
  virtual void RefreshActionSheet() = 0;
  virtual void RefreshDataSheet() = 0;

  // ---- frame ----
  virtual void StopVideoPlayback() = 0;
  virtual void UpdatePaneLayout() = 0;
  virtual bool LiveTrace() const = 0;
  virtual void SetLiveTrace(bool on) = 0;
  virtual void SetTimeSliderForLoaded() = 0;
  virtual void ResetVideoPanes() = 0;
  // Every video pane: no camera, laid out again, hidden.
  virtual void ClearVideoPanes() = 0;
  virtual bool VideoRecordingEnabled() const = 0;
  virtual void AddRecentFile(const std::string& path) = 0;
};

class ExperimentFileCommands {
 public:
  ExperimentFileCommands(ExperimentAccess& experiment, FileCommandsHost& host) : experiment_(experiment), host_(host) {}

  // ID_FILE_NEW: a new, visible trace window.
  void OnFileNew();
  // ID_FILE_OPEN (no path: asks for one), a recent file or a dropped file.
  // Refused while collecting; asks to save a changed experiment first (a
  // Cancel leaves it open as it was). True when the experiment was opened.
  bool OpenExperimentCommand(std::optional<std::string> path);
  // Opens `path` (no questions) and sets the frame up for it; false when
  // it was not opened.
  bool OpenDocumentFile(const std::string& path);
  // Loads the file and resets the views; false when it was not opened, the
  // experiment shown then left as it was.
  bool OpenExperimentFile(const std::string& path);

  // ID_FILE_SAVE: in place when the experiment has its own current-version
  // file, else as Save As. True when saved.
  bool SaveExperiment();
  // ID_FILE_SAVE_AS. False when cancelled or failed.
  bool SaveExperimentAs();
  // Writes the file; `savedPath` gets the path written (".tvx" added when
  // the path lacks it). True when saved; the experiment then keeps all it
  // holds, so it can be saved again, changed or not.
  bool SaveExperimentToFile(const std::string& path, const std::string& name, std::string* savedPath = nullptr);

  // ID_FILE_CLOSE. False when the user cancelled the "save first?" question
  // or the save it asked for could not be done; the experiment then stays.
  bool CloseExperiment();
  void CloseAllTraceViews();
  void ClearSheets();
  void SetDrawNoSaveData(bool value);
  bool DrawNoSaveData() const { return drawNoSaveData_; }
  void DiscardBackupBuffer();
  bool Closing() const { return closing_; }

  // The path with ".tvx" appended unless ".tvx" occurs anywhere in it.
  static std::string WithExtension(const std::string& path);
  // The folder of a saved file, with its trailing separator.
  static std::string ParentFolder(const std::string& path);

 private:
  // The "save first?" question: true to go on (No, or Yes and saved);
  // false for Cancel or a save that did not happen.
  bool SaveFirstIfChanged();
  // Whether `path` is a file that can be read; when not, the user is told.
  bool Readable(const std::string& path);
  // True for a result of an open of `path` that read the file; otherwise
  // tells the refusal (a file of an older version is told by the caller).
  bool Opens(const std::string& path, int result);
  // Tells the user that `path` could not be opened, and why.
  void TellNotOpened(const std::string& path, const UI::FileReason& reason);
  // Writes the record to `targetPath` on a worker while the progress is
  // shown; true when it was saved.
  bool SaveExperimentWithProgress(const std::string& targetPath, const std::string& fileName, bool withVideo);

  ExperimentAccess& experiment_;
  FileCommandsHost& host_;
  bool drawNoSaveData_ = false;
  bool closing_ = false;
};

}  // namespace ORV::Shell
