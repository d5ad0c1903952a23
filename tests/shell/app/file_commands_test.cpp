// The experiment file commands against a fake experiment and a fake frame
// that record what the commands do, in order.
#include "shell/app/file_commands.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <optional>
#include <set>

#include "platform/ui/string_ids.h"

using namespace ORV;
using namespace ORV::Shell;

namespace {

using Calls = std::vector<std::string>;

class FakeExperiment : public ExperimentAccess {
 public:
  explicit FakeExperiment(Calls& calls) : calls_(calls) {}
  std::string FileName() const override { return name; }
  std::string FilePath() const override { return path; }
  void SetFileName(const std::string& n) override { name = n; }
  void SetFilePath(const std::string& p) override { path = p; }
  bool Modified() const override { return modified; }
  std::string Title() const override { return title; }
  std::uint16_t FileVersion() const override { return fileVersion; }
  std::uint16_t CurrentVersion() const override { return 5; }
  std::uint32_t Mode() const override { return mode; }
  void SetMode(std::uint32_t m) override {
    mode = m;
    calls_.push_back("mode " + std::to_string(m));
  }
  bool HasAnalysisRecords() const override { return analysis; }
  bool FileExists(const std::string& p) const override { return existing.count(p) > 0; }
  OS::FileCheck CheckFile(const std::string& p) const override {
    const auto found = problems.find(p);
    return found != problems.end() ? found->second : OS::FileCheck{};
  }
  int LastSaveError() const override { return saveError; }
  int Open(const std::string& p, ProgressHook*) override {
    calls_.push_back("Open " + p);
    if (openResult >= 1) mode = 1;
    return openResult;
  }
  int CheckOpens(const std::string& p, ProgressHook*) override {
    calls_.push_back("Check " + p);
    return checkResult.value_or(openResult);
  }
  bool Save(const std::string& p, const std::string& n, bool withVideo, ProgressHook*) override {
    calls_.push_back("Save " + p + " " + n + (withVideo ? " video" : ""));
    if (saveSucceeds) modified = false;
    return saveSucceeds;
  }
  void Clear() override { calls_.push_back("Clear"); }
  void PauseClock() override { calls_.push_back("PauseClock"); }
  void ResetStores() override { calls_.push_back("ResetStores"); }
  void DiscardBackupBuffer() override { calls_.push_back("DiscardBackupBuffer"); }
  void RetireBackup() override { calls_.push_back("RetireBackup"); }
  std::vector<std::string> UnreadParts() const override { return unread; }
  std::string LastUsedFolder() const override { return lastFolder; }
  void SetLastUsedFolder(const std::string& f) override { lastFolder = f; }

  std::string name, path, lastFolder, title;
  bool modified = false;
  std::uint16_t fileVersion = 5;
  std::uint32_t mode = 2;
  bool analysis = false;
  std::set<std::string> existing;
  int openResult = 1;
  std::optional<int> checkResult;  // what the trial read gives; as the open when unset
  bool saveSucceeds = true;
  int saveError = ENOSPC;
  std::map<std::string, OS::FileCheck> problems;  // paths that are no readable file
  std::vector<std::string> unread;                // parts the open left out

 private:
  Calls& calls_;
};

class FakeHost : public FileCommandsHost {
 public:
  explicit FakeHost(Calls& calls) : calls_(calls) {}
  SaveAnswer AskSaveChanges(std::uint32_t id) override {
    calls_.push_back("ask " + std::to_string(id));
    return answer;
  }
  void ShowMessage(std::uint32_t id, Icon icon) override {
    calls_.push_back("message " + std::to_string(id) + (icon == Icon::Error ? " error" : " warning"));
  }
  void ShowFileMessage(std::uint32_t id, const std::string& p, const UI::FileReason& reason, Icon icon) override {
    calls_.push_back("file message " + std::to_string(id) + " " + p + " " + std::to_string(reason.textId) +
                     (reason.detail.empty() ? "" : " (" + reason.detail + ")") +
                     (icon == Icon::Error ? " error" : " warning"));
  }
  std::optional<std::string> AskOpenPath(const std::string& folder) override {
    calls_.push_back("open dialog in '" + folder + "'");
    return pickedPath;
  }
  std::optional<std::string> AskSavePath(const std::string& folder, const std::string& fileName) override {
    calls_.push_back("save dialog in '" + folder + "' offering '" + fileName + "'");
    return pickedPath;
  }
  bool AskExperimentDetails() override {
    calls_.push_back("details");
    return detailsOk;
  }
  int RunWithProgress(const std::string& caption, const std::function<int(ProgressHook*)>& work) override {
    calls_.push_back("progress " + caption);
    return work(nullptr);
  }
  void ShowClosingProgress(bool on) override { calls_.push_back(on ? "closing progress on" : "closing progress off"); }
  void OpenTraceWindow() override { calls_.push_back("OpenTraceWindow"); }
  int TraceViewCount() const override { return traceViews; }
  void CloseLastTraceView() override {
    calls_.push_back("CloseLastTraceView");
    if (viewsClose) --traceViews;
  }
  void ClearDataSheet() override { calls_.push_back("ClearDataSheet"); }
  void ClearActionSheet() override { calls_.push_back("ClearActionSheet"); }
  void SetDrawNoSaveDataOnViews(bool v) override { calls_.push_back(std::string("NoSaveData ") + (v ? "on" : "off")); }
  bool IsDataSheetOpen() const override { return dataSheet; }
  void CloseDataSheet() override {
    calls_.push_back("CloseDataSheet");
    dataSheet = false;
  }
  bool IsActionSheetOpen() const override { return actionSheet; }
  void OpenActionSheet() override {
    calls_.push_back("OpenActionSheet");
    actionSheet = true;
  }
  void RefreshActionSheet() override { calls_.push_back("RefreshActionSheet"); }
  void RefreshDataSheet() override { calls_.push_back("RefreshDataSheet"); }
  void StopVideoPlayback() override { calls_.push_back("StopVideoPlayback"); }
  void UpdatePaneLayout() override { calls_.push_back("UpdatePaneLayout"); }
  bool LiveTrace() const override { return liveTrace; }
  void SetLiveTrace(bool on) override {
    liveTrace = on;
    calls_.push_back(std::string("LiveTrace ") + (on ? "on" : "off"));
  }
  void SetTimeSliderForLoaded() override { calls_.push_back("SetTimeSliderForLoaded"); }
  void ResetVideoPanes() override { calls_.push_back("ResetVideoPanes"); }
  void ClearVideoPanes() override { calls_.push_back("ClearVideoPanes"); }
  bool VideoRecordingEnabled() const override { return recordingEnabled; }
  void AddRecentFile(const std::string& p) override { calls_.push_back("recent " + p); }

  SaveAnswer answer = SaveAnswer::No;
  std::optional<std::string> pickedPath;
  bool detailsOk = true;
  int traceViews = 0;
  bool viewsClose = true;
  bool dataSheet = false;
  bool actionSheet = false;
  bool liveTrace = true;
  bool recordingEnabled = false;

 private:
  Calls& calls_;
};

class FileCommands : public ::testing::Test {
 protected:
  Calls calls_;
  FakeExperiment experiment_{calls_};
  FakeHost host_{calls_};
  ExperimentFileCommands commands_{experiment_, host_};

  bool Called(const std::string& call) const { return std::find(calls_.begin(), calls_.end(), call) != calls_.end(); }
};

std::string Id(std::uint32_t id) { return std::to_string(id); }

// The message of a failed save to `path` on a full disk (the fake's reason).
std::string SaveFailed(const std::string& path) {
  return "file message " + Id(UI::kSaveFailedNamedString) + " " + path + " " + Id(UI::kFileReasonSystemString) + " (" +
         std::strerror(ENOSPC) + ") error";
}

}  // namespace

TEST_F(FileCommands, OpenResultsGiveTheirMessagesAndARefusedFileLeavesTheExperimentAsItWas) {
  // A refused file's message names it and the reason; `message` is then the
  // reason's text.
  const std::string damaged = "file message " + Id(UI::kFileCannotOpenNamedString) + " /data/a.tvx " +
                              Id(UI::kFileReasonDamagedExperimentString);
  const struct {
    int result;
    std::string message;  // empty: none
    bool error;
    bool opened;
  } cases[] = {
      {0, damaged, true, false},
      {-4, damaged, true, false},
      {-15, damaged, true, false},
      {-1, "message " + Id(UI::kSelectedFileMadeDifferentString), true, false},
      {-2, damaged, true, false},
      {-3,
       "file message " + Id(UI::kFileCannotOpenNamedString) + " /data/a.tvx " +
           Id(UI::kFileReasonNewerExperimentString),
       true, false},
      {2, "message " + Id(UI::kSelectedExperimentFileMadeString), false, true},
      {1, "", false, true},
  };
  for (const auto& c : cases) {
    calls_.clear();
    experiment_.mode = 2;
    experiment_.openResult = c.result;
    host_.traceViews = 2;
    host_.liveTrace = false;
    host_.actionSheet = false;
    const bool opened = commands_.OpenExperimentCommand("/data/a.tvx");
    EXPECT_EQ(opened, c.opened) << c.result;
    if (!c.message.empty()) {
      EXPECT_TRUE(Called(c.message + (c.error ? " error" : " warning"))) << c.result;
    }
    EXPECT_EQ(Called("recent /data/a.tvx"), c.opened) << c.result;
    EXPECT_EQ(Called("OpenActionSheet"), c.opened) << c.result;
    if (c.opened) {
      EXPECT_EQ(host_.traceViews, 0) << "the trace windows close before the file is read: " << c.result;
      const Calls after(std::find(calls_.begin(), calls_.end(), "Open /data/a.tvx"), calls_.end());
      const Calls expected = {"Open /data/a.tvx",   "LiveTrace off",          "NoSaveData off",
                              "UpdatePaneLayout",   "OpenActionSheet",        "RefreshActionSheet",
                              "recent /data/a.tvx", "SetTimeSliderForLoaded", "ResetVideoPanes"};
      Calls rest = after;
      rest.erase(std::remove_if(rest.begin(), rest.end(),
                                [](const std::string& s) {
                                  return s.rfind("message", 0) == 0 || s.rfind("file message", 0) == 0;
                                }),
                 rest.end());
      EXPECT_EQ(rest, expected) << c.result;
    } else {
      // The file was read on trial only: the experiment, its views and its
      // video stay as they were.
      EXPECT_EQ(host_.traceViews, 2) << c.result;
      EXPECT_EQ(calls_, (Calls{"progress Loading from file..", "Check /data/a.tvx", c.message + " error"})) << c.result;
    }
  }

  // A file that passed its trial and then fails (changed meanwhile): told.
  calls_.clear();
  experiment_.checkResult = 1;
  experiment_.openResult = -2;
  EXPECT_FALSE(commands_.OpenExperimentCommand("/data/a.tvx"));
  EXPECT_TRUE(Called("Open /data/a.tvx"));
  EXPECT_TRUE(Called(damaged + " error"));
  EXPECT_FALSE(Called("recent /data/a.tvx"));

  // A file that opened in part says which parts it left out.
  calls_.clear();
  experiment_.checkResult.reset();
  experiment_.openResult = 1;
  experiment_.unread = {"the last 2 of 5 actions", "the calibration"};
  ASSERT_TRUE(commands_.OpenExperimentCommand("/data/a.tvx"));
  EXPECT_TRUE(Called("file message " + Id(UI::kExperimentOpenedPartlyString) + " /data/a.tvx " +
                     Id(UI::kFileReasonUnreadPartsString) + " (the last 2 of 5 actions; the calibration) warning"));
}

TEST_F(FileCommands, EveryOpenPathRefusesDuringCollectionAndAsksWhenChanged) {
  // Collecting: nothing happens on any path (menu, recent file, drop).
  experiment_.mode = 0;
  experiment_.modified = true;
  EXPECT_FALSE(commands_.OpenExperimentCommand(std::nullopt));
  EXPECT_FALSE(commands_.OpenExperimentCommand("/data/recent.tvx"));
  EXPECT_TRUE(calls_.empty());

  // Changed, "No": opens without saving.
  experiment_.mode = 2;
  host_.answer = SaveAnswer::No;
  EXPECT_TRUE(commands_.OpenExperimentCommand("/data/dropped.tvx"));
  EXPECT_EQ(calls_.front(), "ask " + Id(UI::kCurrentExperimentHasChangedString));
  EXPECT_FALSE(Called("details"));

  // Changed, "Yes", and the save is cancelled: the open is abandoned.
  calls_.clear();
  experiment_.mode = 2;
  experiment_.modified = true;
  host_.answer = SaveAnswer::Yes;
  host_.detailsOk = false;
  EXPECT_FALSE(commands_.OpenExperimentCommand("/data/dropped.tvx"));
  EXPECT_FALSE(Called("Open /data/dropped.tvx"));

  // Changed, "Yes", and the save fails: abandoned too.
  calls_.clear();
  host_.detailsOk = true;
  host_.pickedPath = "/data/keep";
  experiment_.saveSucceeds = false;
  EXPECT_FALSE(commands_.OpenExperimentCommand(std::nullopt));
  EXPECT_TRUE(Called("Save /data/keep.tvx keep"));
  EXPECT_TRUE(Called(SaveFailed("/data/keep.tvx")));
  EXPECT_FALSE(Called("open dialog in ''"));
  EXPECT_FALSE(Called("DiscardBackupBuffer"));

  // The menu's open asks for the file in the last used folder.
  calls_.clear();
  experiment_.modified = false;
  experiment_.lastFolder = "/data/";
  experiment_.existing = {"/data/"};
  host_.pickedPath = std::nullopt;
  EXPECT_FALSE(commands_.OpenExperimentCommand(std::nullopt));
  EXPECT_EQ(calls_, Calls{"open dialog in '/data/'"});
}

TEST_F(FileCommands, SaveNamesAndFoldersFollowTheRules) {
  const struct {
    std::string picked;
    std::string written;
    std::string folder;
  } cases[] = {
      {"/data/exp", "/data/exp.tvx", "/data/"},
      {"/data/exp.tvx", "/data/exp.tvx", "/data/"},
      {"/data/a.TVX", "/data/a.TVX.tvx", "/data/"},                  // capitals are not the extension
      {"/data/old.tvx/exp", "/data/old.tvx/exp", "/data/old.tvx/"},  // the whole path is searched
      {"/data/exp.tv", "/data/exp.tv.tvx", "/data/"},                // the folder is the parent, not a trimmed name
  };
  for (const auto& c : cases) {
    calls_.clear();
    host_.pickedPath = c.picked;
    EXPECT_TRUE(commands_.SaveExperimentAs()) << c.picked;
    EXPECT_TRUE(Called("Save " + c.written + " " + c.picked.substr(c.picked.find_last_of('/') + 1))) << c.picked;
    EXPECT_TRUE(Called("RetireBackup")) << c.picked;
    EXPECT_FALSE(Called("DiscardBackupBuffer")) << "the saved experiment stays whole: " << c.picked;
    EXPECT_EQ(experiment_.lastFolder, c.folder) << c.picked;
    EXPECT_EQ(experiment_.path, c.written) << "the next save goes to the file written";
  }
}

TEST_F(FileCommands, SaveAsOpensInTheLastFolderOfferingTheTitleAsName) {
  const struct {
    std::string title;
    std::string lastFolder;
    bool folderExists;
    std::string dialog;
  } cases[] = {
      {"Rat aorta 3", "/data/", true, "save dialog in '/data/' offering 'Rat aorta 3.tvx'"},
      {"", "/data/", true, "save dialog in '/data/' offering 'Untitled.tvx'"},
      {"a/b: 37.5 C?", "/gone/", false, "save dialog in '' offering 'a_b_ 37.5 C_.tvx'"},
  };
  for (const auto& c : cases) {
    calls_.clear();
    experiment_.title = c.title;
    experiment_.lastFolder = c.lastFolder;
    experiment_.existing.clear();
    if (c.folderExists) experiment_.existing.insert(c.lastFolder);
    host_.pickedPath = std::nullopt;
    EXPECT_FALSE(commands_.SaveExperimentAs()) << "cancelled in the file dialog";
    EXPECT_EQ(calls_, (Calls{"details", c.dialog})) << c.title;
  }
}

TEST_F(FileCommands, CancelOnTheSaveQuestionLeavesEverythingAsItWas) {
  experiment_.mode = 1;
  experiment_.modified = true;
  host_.traceViews = 1;
  host_.answer = SaveAnswer::Cancel;
  const std::string question = "ask " + Id(UI::kCurrentExperimentHasChangedString);
  // Open from the menu, a recent file or a drop; and close.
  EXPECT_FALSE(commands_.OpenExperimentCommand(std::nullopt));
  EXPECT_FALSE(commands_.OpenExperimentCommand("/data/other.tvx"));
  EXPECT_FALSE(commands_.CloseExperiment());
  EXPECT_EQ(calls_, (Calls{question, question, question})) << "nothing saved, opened, closed or discarded";
  EXPECT_TRUE(experiment_.modified);
  EXPECT_EQ(experiment_.mode, 1u);
  EXPECT_EQ(host_.traceViews, 1);
}

TEST_F(FileCommands, SaveGoesInPlaceOnlyForTheProgramsOwnExistingFile) {
  const struct {
    std::string name;
    bool exists;
    std::uint16_t version;
    bool inPlace;
  } cases[] = {
      {"exp.tvx", true, 5, true},
      {"exp.tvx", true, 3, false},  // read in an older format: Save As
      {"exp.tvx", false, 5, false},
      {"", true, 5, false},
  };
  for (const auto& c : cases) {
    calls_.clear();
    experiment_.name = c.name;
    experiment_.path = "/data/exp.tvx";
    experiment_.existing.clear();
    if (c.exists) experiment_.existing.insert("/data/exp.tvx");
    experiment_.fileVersion = c.version;
    host_.detailsOk = false;
    commands_.SaveExperiment();
    EXPECT_EQ(Called("details"), !c.inPlace) << c.name << " " << c.exists << " " << c.version;
    EXPECT_EQ(Called("Save /data/exp.tvx exp.tvx"), c.inPlace);
  }
  // Videos go along: live or new by the recording switch, loaded by its
  // analysis records.
  experiment_.existing.insert("/data/exp.tvx");
  experiment_.fileVersion = 5;
  experiment_.name = "exp.tvx";
  const struct {
    std::uint32_t mode;
    bool recording;
    bool analysis;
    bool video;
  } videos[] = {{0, true, false, true},
                {2, true, false, true},
                {0, false, true, false},
                {1, false, true, true},
                {1, true, false, false}};
  for (const auto& v : videos) {
    calls_.clear();
    experiment_.mode = v.mode;
    host_.recordingEnabled = v.recording;
    experiment_.analysis = v.analysis;
    commands_.SaveExperiment();
    EXPECT_TRUE(Called(std::string("Save /data/exp.tvx exp.tvx") + (v.video ? " video" : ""))) << v.mode;
  }
}

TEST_F(FileCommands, AFailedSaveKeepsTheBackupAndTheFolder) {
  experiment_.lastFolder = "/before/";
  experiment_.saveSucceeds = false;
  EXPECT_FALSE(commands_.SaveExperimentToFile("/ro/exp.tvx", "exp.tvx"));
  EXPECT_EQ(calls_, (Calls{"progress Saving experiment...", "Save /ro/exp.tvx exp.tvx", SaveFailed("/ro/exp.tvx")}));
  EXPECT_EQ(experiment_.lastFolder, "/before/");
  EXPECT_FALSE(commands_.SaveExperimentToFile("", "x")) << "an empty path does nothing";

  // Save As that fails leaves the record naming the file it named before,
  // changed.
  experiment_.name = "old.tvx";
  experiment_.path = "/data/old.tvx";
  experiment_.modified = true;
  host_.pickedPath = "/full/new";
  EXPECT_FALSE(commands_.SaveExperimentAs());
  EXPECT_TRUE(Called(SaveFailed("/full/new.tvx")));
  EXPECT_EQ(experiment_.name, "old.tvx");
  EXPECT_EQ(experiment_.path, "/data/old.tvx");
  EXPECT_TRUE(experiment_.modified);
}

TEST_F(FileCommands, APathThatIsNoReadableFileIsToldBeforeAnythingIsAskedOrClosed) {
  const struct {
    OS::FileProblem problem;
    std::uint32_t reason;
  } cases[] = {
      {OS::FileProblem::Missing, UI::kFileReasonMissingString},
      {OS::FileProblem::Folder, UI::kFileReasonFolderString},
      {OS::FileProblem::NotAFile, UI::kFileReasonNotAFileString},
      {OS::FileProblem::LinkLoop, UI::kFileReasonLinkLoopString},
      {OS::FileProblem::Empty, UI::kFileReasonEmptyString},
      {OS::FileProblem::NotAllowed, UI::kFileReasonNotAllowedString},
  };
  for (const auto& c : cases) {
    calls_.clear();
    experiment_.mode = 1;
    experiment_.modified = true;
    host_.traceViews = 2;
    experiment_.problems["/data/x.tvx"] = OS::FileCheck{c.problem, 0, 0};
    // Named (command line, recent file, drop) and chosen in the dialog.
    EXPECT_FALSE(commands_.OpenExperimentCommand("/data/x.tvx"));
    host_.pickedPath = "/data/x.tvx";
    host_.answer = SaveAnswer::No;
    EXPECT_FALSE(commands_.OpenExperimentCommand(std::nullopt));
    const std::string told =
        "file message " + Id(UI::kFileCannotOpenNamedString) + " /data/x.tvx " + Id(c.reason) + " error";
    EXPECT_EQ(std::count(calls_.begin(), calls_.end(), told), 2) << told;
    EXPECT_FALSE(Called("Open /data/x.tvx"));
    EXPECT_FALSE(Called("Clear"));
    EXPECT_EQ(host_.traceViews, 2) << "the open experiment's views stay";
    EXPECT_EQ(experiment_.mode, 1u);
    EXPECT_TRUE(experiment_.modified);
    // The named path is told before the save question; the dialog comes
    // after it.
    EXPECT_EQ(calls_.front(), told);
  }
}

TEST_F(FileCommands, CloseResetsInOrderAndKeepsDataTheUserChoseToKeep) {
  host_.traceViews = 2;
  host_.dataSheet = true;
  host_.actionSheet = false;
  experiment_.mode = 1;
  ASSERT_TRUE(commands_.CloseExperiment());
  EXPECT_EQ(calls_, (Calls{"closing progress on", "Clear", "PauseClock", "ResetStores", "mode 2", "CloseLastTraceView",
                           "CloseLastTraceView", "ClearDataSheet", "UpdatePaneLayout", "NoSaveData on",
                           "CloseDataSheet", "OpenActionSheet", "RefreshActionSheet", "ClearVideoPanes",
                           "LiveTrace off", "closing progress off"}))
      << "nothing changed: no question, no discard";
  EXPECT_TRUE(commands_.DrawNoSaveData());

  // No: closes, then discards the running backup.
  calls_.clear();
  experiment_.modified = true;
  host_.answer = SaveAnswer::No;
  ASSERT_TRUE(commands_.CloseExperiment());
  EXPECT_EQ(calls_.front(), "ask " + Id(UI::kCurrentExperimentHasChangedString));
  EXPECT_EQ(calls_.back(), "DiscardBackupBuffer");

  // Yes and a failed save: nothing is cleared, the backup stays.
  calls_.clear();
  experiment_.modified = true;
  experiment_.name = "exp.tvx";
  experiment_.path = "/data/exp.tvx";
  experiment_.existing = {"/data/exp.tvx"};
  experiment_.saveSucceeds = false;
  host_.answer = SaveAnswer::Yes;
  EXPECT_FALSE(commands_.CloseExperiment());
  EXPECT_FALSE(Called("Clear"));
  EXPECT_FALSE(Called("DiscardBackupBuffer"));
  EXPECT_TRUE(experiment_.modified);

  // Yes and a save: saved (its backup retired), then closed.
  calls_.clear();
  experiment_.saveSucceeds = true;
  EXPECT_TRUE(commands_.CloseExperiment());
  EXPECT_TRUE(Called("Save /data/exp.tvx exp.tvx"));
  EXPECT_TRUE(Called("RetireBackup"));
  EXPECT_TRUE(Called("Clear"));
}

TEST_F(FileCommands, TraceViewsCloseFromTheLastAndAStuckViewEndsTheLoop) {
  host_.traceViews = 3;
  host_.viewsClose = false;
  host_.actionSheet = true;
  commands_.CloseAllTraceViews();
  EXPECT_EQ(std::count(calls_.begin(), calls_.end(), "CloseLastTraceView"), 3);
  EXPECT_EQ(calls_.back(), "ClearActionSheet");

  calls_.clear();
  commands_.OnFileNew();
  EXPECT_EQ(calls_, Calls{"OpenTraceWindow"});
}
