// The main frame's ribbon commands: the update rules as one table, and what
// the commands ask of the camera windows and the frame, against fakes that
// write down every call in order.
#include "shell/frame/main_frame_commands.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "core/base/configuration.h"
#include "core/settings/settings_archive.h"
#include "tests/support/test_support.h"

namespace ORV {
namespace {

using namespace FrameCommand;
using Log = std::vector<std::string>;

class FakeCamera final : public CommandCamera {
 public:
  FakeCamera(int index, Log& log, bool control = true) : index_(index), log_(log), control_(control) {}
  int playAnswer = 1;
  bool playing = false;
  bool paused = false;

  bool HasControl() const override { return control_; }
  void SetAutoThreshold(bool on) override { Note("auto", on); }
  void InvertThreshold(bool on) override { Note("invert", on); }
  void IgnoreLumen(bool on) override { Note("lumen", on); }
  void SetVideoScaleFactor(int factor) override { Note("factor", factor); }
  int PlayVideoFile(const std::string& path) override {
    log_.push_back(Name() + " play '" + path + "'");
    return playAnswer;
  }
  bool IsVideoPlaying() override { return playing; }
  bool IsVideoPause() override { return paused; }
  void PauseCapture() override { log_.push_back(Name() + " pause"); }
  void ResumeCapture() override { log_.push_back(Name() + " resume"); }
  void VideoBackward() override { log_.push_back(Name() + " backward"); }
  void VideoForward() override { log_.push_back(Name() + " forward"); }
  void SeekFramesFromCurrentPosition(int frames) override { Note("seek", frames); }
  void SetCurrentVideoTimeInSeconds(std::int64_t seconds) override { Note("time", static_cast<int>(seconds)); }
  void ApplyZoneColors() override { log_.push_back(Name() + " colors"); }
  void ClosePane() override { log_.push_back(Name() + " close"); }

 private:
  std::string Name() const { return "cam" + std::to_string(index_); }
  void Note(const char* what, int value) { log_.push_back(Name() + " " + what + " " + std::to_string(value)); }
  int index_;
  Log& log_;
  bool control_;
};

class FakeHost final : public FrameCommandHost {
 public:
  explicit FakeHost(Log& log) : log_(log) {}
  FrameCommandState state;
  int recordCameras = 0;
  std::vector<CommandCamera*> windows;
  int current = 0;
  bool recordVideo = false;
  std::optional<std::string> openAnswer;
  std::optional<std::string> saveAnswer;
  std::optional<std::uint32_t> colorAnswer;
  std::optional<std::string> nameAnswer;
  bool yes = false;
  bool cancel = false;  // the answer to a "save changes?" question
  bool saveOk = true;
  bool attachOk = true;
  int comboSelection = 0;
  std::string gotoText;
  int quality = -1;
  int importResult = 0;
  bool ok = true;
  std::vector<std::string> recent;

  FrameCommandState Snapshot() override { return state; }
  int RecordCameraCount() override { return recordCameras; }
  std::vector<CommandCamera*> CameraWindows() override { return windows; }
  int CurrentCamera() override { return current; }
  bool RecordVideoEnabled() const override { return recordVideo; }
  void SetRecordVideoEnabled(bool on) override {
    recordVideo = on;
    Note("record video " + std::to_string(on));
  }
  std::optional<std::string> AskOpenFile(const std::string& ext, const std::string&) override {
    Note("open dialog " + ext);
    return openAnswer;
  }
  std::optional<std::string> AskSaveFile(const std::string& ext, const std::string&) override {
    Note("save dialog " + ext);
    return saveAnswer;
  }
  std::optional<std::uint32_t> AskColor(std::uint32_t initial) override {
    Note("color dialog " + std::to_string(initial));
    return colorAnswer;
  }
  std::optional<std::string> AskWorkspaceName(const std::string& initial) override {
    Note("name dialog '" + initial + "'");
    return nameAnswer;
  }
  bool AskYesNo(const std::string& text) override {
    Note("ask " + text);
    return yes;
  }
  bool AskOkCancel(const std::string& text) override {
    Note("ok? " + text);
    return ok;
  }
  SaveAnswer AskSaveChanges(const std::string& text) override {
    Note("ask " + text);
    return cancel ? SaveAnswer::Cancel : yes ? SaveAnswer::Yes : SaveAnswer::No;
  }
  void ShowError(const std::string& text) override { Note("error " + text); }
  std::uint32_t RibbonZoneColor(ZoneEdge edge) override { return 0x100 + static_cast<std::uint32_t>(edge); }
  void ShowRibbonZoneColor(ZoneEdge edge, std::uint32_t color) override {
    Note("ribbon color " + std::to_string(static_cast<int>(edge)) + " " + std::to_string(color));
  }
  int CameraComboSelection() override { return comboSelection; }
  std::string CameraComboText() override { return "Camera X"; }
  void SelectCameraComboName(const std::string& name) override { Note("combo select " + name); }
  std::string GotoText() override { return gotoText; }
  void ClearGotoText() override {
    gotoText.clear();
    Note("goto cleared");
  }
  int QualityComboSelection() override { return quality; }
  int TraceExportSelection() override { return 3; }
  void ReloadRibbonBackground() override { Note("ribbon background"); }
  bool AttachCameraWindow(int index, const std::string& name) override {
    Note("attach " + std::to_string(index) + " " + name);
    return attachOk;
  }
  std::string CurrentCameraName() override { return "Camera A"; }
  void RefreshVideoPaneColors(int camera) override { Note("pane colors " + std::to_string(camera)); }
  void ResetVideoPane(int index) override { Note("reset pane " + std::to_string(index)); }
  void ClearVideoPane(int index) override { Note("clear pane " + std::to_string(index)); }
  void SetVideoEnabled(bool on) override { Note("video enabled " + std::to_string(on)); }
  void PrepareCameras() override { Note("prepare cameras"); }
  void RestartSynchronisedSampling() override { Note("restart sampling"); }
  void AddMarker(int camera, const std::string& text) override {
    Note("marker " + std::to_string(camera) + " " + text);
  }
  void SetLiveTrace(bool on) override { Note("live " + std::to_string(on)); }
  void SetViewsSelectAll(bool on) override { Note("select all " + std::to_string(on)); }
  void ExportToDataSheet(int index) override { Note("export " + std::to_string(index)); }
  void ShowDataSheet() override { Note("data sheet"); }
  void ShowActionSheet() override { Note("action sheet"); }
  void RunAdvancedExport() override { Note("advanced export"); }
  void CopyActiveViewToClipboard() override { Note("clipboard"); }
  void RunCustomTraceDialog() override { Note("scripts"); }
  void SetMainAutoRange(bool enabled, bool active) override {
    Note("autorange " + std::to_string(enabled) + std::to_string(active));
  }
  void ReloadCustomTraces() override { Note("reload custom"); }
  void ReconfigureViewsShowing(int kind) override { Note("reconfigure " + std::to_string(kind)); }
  void InitCustomTraces() override { Note("init custom"); }
  bool SaveExperiment(bool askName) override {
    Note(askName ? "save experiment as" : "save experiment");
    return saveOk;
  }
  void OpenDocument(const std::string& path) override { Note("open " + path); }
  std::vector<std::string> RecentFiles() override { return recent; }
  void CloseDocument() override { Note("close doc"); }
  void ResetTimeSlider() override { Note("slider reset"); }
  // A sound archive (result 0) asks before it is applied.
  int ImportSettingsArchive(const std::string& path, const std::function<bool()>& beforeChange) override {
    Note("import " + path);
    if (importResult == kSettingsOk && !beforeChange()) return kImportDeclined;
    return importResult;
  }
  void MarkSettingsImported() override { Note("imported flag"); }
  void RestartProgram() override { Note("restart"); }
  void WriteWorkspaceName(const std::string& name) override { Note("write name " + name); }
  void SaveWorkspaceState() override { Note("workspace saved"); }
  void SaveConfiguration() override { Note("config saved"); }
  bool ExportSettingsArchive(const std::string& path) override {
    Note("archive " + path);
    return true;
  }

 private:
  void Note(std::string text) { log_.push_back(std::move(text)); }
  Log& log_;
};

class FrameCommandsTest : public ::testing::Test {
 protected:
  FrameCommandsTest() : host(log), commands(config, host) {}

  // `created` camera windows (the window of `noControl` has no control) for
  // a record of `recordCameras`.
  void MakeCameras(int created, int recordCameras, int noControl = -1) {
    for (int i = 0; i < created; ++i) cameras.push_back(std::make_unique<FakeCamera>(i, log, i != noControl));
    for (auto& camera : cameras) host.windows.push_back(camera.get());
    host.recordCameras = recordCameras;
  }

  Log log;
  Configuration config;
  FakeHost host;
  MainFrameCommands commands;
  std::vector<std::unique_ptr<FakeCamera>> cameras;
};

// One row: a state, a command, and the enabled and checked state expected.
struct UpdateCase {
  const char* name;
  FrameCommandState state;
  UI::CommandId id;
  bool enabled;
  bool checked;
};

FrameCommandState With(void (*change)(FrameCommandState&)) {
  FrameCommandState s;
  change(s);
  return s;
}

TEST(FrameCommandUpdate, TableOfRules) {
  const std::vector<UpdateCase> cases{
      {"auto threshold checked", With([](auto& s) { s.autoThreshold = true; }), kAutoThreshold, true, true},
      {"invert unchecked", {}, kInvertImage, true, false},
      {"lumen checked", With([](auto& s) { s.ignoreLumen = true; }), kIgnoreLumen, true, true},
      {"zone wheel always", With([](auto& s) { s.collecting = true; }), kZoneInnerWheel, true, false},
      {"play video, live", {}, kPlayVideo, true, false},
      {"play video, file record", With([](auto& s) { s.recordFromFile = true; }), kPlayVideo, false, false},
      {"camera combo, one camera", With([](auto& s) { s.detectedCameras = 1; }), kCameraCombo, false, false},
      {"camera combo, two cameras", With([](auto& s) { s.detectedCameras = 2; }), kCameraCombo, true, false},
      {"pause, playing", With([](auto& s) { s.currentPlaysFile = true; }), kVideoPause, true, false},
      {"pause, paused", With([](auto& s) { s.currentPlaysFile = s.currentPaused = true; }), kVideoPause, false, false},
      {"resume, paused", With([](auto& s) { s.currentPlaysFile = s.currentPaused = true; }), kVideoResume, true, false},
      {"resume, no file", With([](auto& s) { s.currentPaused = true; }), kVideoResume, false, false},
      {"step, playing", With([](auto& s) { s.currentPlaysFile = true; }), kVideoStep, false, false},
      {"forward, window allows", With([](auto& s) { s.currentSeekable = true; }), kVideoForward, true, false},
      {"backward, window refuses", {}, kVideoBackward, false, false},
      {"goto, file", With([](auto& s) { s.currentPlaysFile = true; }), kVideoGoto, true, false},
      {"record video, no camera", With([](auto& s) { s.recordVideo = true; }), kRecordVideo, false, true},
      {"record video, camera", With([](auto& s) { s.detectedCameras = 1; }), kRecordVideo, true, false},
      {"record video, camera 0 plays", With([](auto& s) { s.detectedCameras = 1, s.camera0PlaysFile = true; }),
       kRecordVideo, false, false},
      {"record video, collecting", With([](auto& s) { s.detectedCameras = 2, s.collecting = true; }), kRecordVideo,
       false, false},
      {"quality, no camera", {}, kRecordQuality, true, false},
      {"quality, collecting", With([](auto& s) { s.collecting = true; }), kRecordQuality, false, false},
      {"quality, capturing", With([](auto& s) { s.detectedCameras = 1, s.anyCapturing = true; }), kRecordQuality, false,
       false},
      {"quality, idle camera plays", With([](auto& s) { s.detectedCameras = 2, s.anyIdlePlaysFile = true; }),
       kRecordQuality, false, false},
      {"quality, idle cameras", With([](auto& s) { s.detectedCameras = 2; }), kRecordQuality, true, false},
      {"live trace, no view", {}, kLiveTrace, false, false},
      {"live trace, view", With([](auto& s) { s.views = 1; }), kLiveTrace, true, false},
      {"select all checked", With([](auto& s) { s.selectAllTraces = true; }), kSelectAllTraces, true, true},
      {"export, selection and view", With([](auto& s) { s.views = 2, s.selectionStop = 4.5; }), kDataExport, true,
       false},
      {"export, no selection", With([](auto& s) { s.views = 2; }), kDataExport, false, false},
      {"export, no view", With([](auto& s) { s.selectionStop = 4.5; }), kDataExport, false, false},
      {"data sheet open", With([](auto& s) { s.dataSheetOpen = true; }), kShowDataSheet, false, false},
      {"action sheet closed", {}, kShowActionSheet, true, false},
      {"advanced export, empty", {}, kAdvancedExport, false, false},
      {"advanced export, data", With([](auto& s) { s.recordHoldsData = true; }), kAdvancedExport, true, false},
      {"clipboard, view not active", With([](auto& s) { s.views = 1; }), kCopyClipboard, false, false},
      {"clipboard, trace view active", With([](auto& s) { s.views = 1, s.activeIsTraceView = true; }), kCopyClipboard,
       true, false},
      {"sync, live", With([](auto& s) { s.synchronise = true; }), kSyncData, true, true},
      {"sync, review", With([](auto& s) { s.reviewShown = true; }), kSyncData, false, false},
      {"sync, master device", With([](auto& s) { s.masterSampleDevice = 2; }), kSyncData, false, false},
      {"open, idle", {}, kFileOpen, true, false},
      {"open, collecting", With([](auto& s) { s.collecting = true; }), kFileOpen, false, false},
      {"close, live", {}, kFileClose, false, false},
      {"close, review", With([](auto& s) { s.reviewShown = true; }), kFileClose, true, false},
      {"save, modified", With([](auto& s) { s.recordModified = true; }), kFileSave, true, false},
      {"save, versions differ", With([](auto& s) { s.recordModified = true, s.recordVersionsEqual = false; }),
       kFileSave, false, false},
      {"save, recording", With([](auto& s) { s.recordModified = s.camera0Recording = true; }), kFileSave, false, false},
      {"save as, data", With([](auto& s) { s.recordHoldsData = true, s.recordVersionsEqual = false; }), kFileSaveAs,
       true, false},
      {"save as, empty", {}, kFileSaveAs, false, false},
      {"save as, recording", With([](auto& s) { s.recordHoldsData = s.camera0Recording = true; }), kFileSaveAs, false,
       false},
      {"auto range, no main view", {}, kAutoRange, false, false},
      {"auto range, on", With([](auto& s) { s.hasMainView = s.mainAutoRangeEnabled = s.mainAutoRangeActive = true; }),
       kAutoRange, true, true},
      {"auto range, inactive", With([](auto& s) { s.hasMainView = s.mainAutoRangeEnabled = true; }), kAutoRange, true,
       false},
      {"first recent file, listed", With([](auto& s) { s.recentFiles = 1; }), kRecentFileFirst, true, false},
      {"second recent file, one listed", With([](auto& s) { s.recentFiles = 1; }), kRecentFileFirst + 1, false, false},
      {"last recent file, all listed", With([](auto& s) { s.recentFiles = 6; }), kRecentFileFirst + 5, true, false},
      {"recent file, collecting", With([](auto& s) { s.recentFiles = 6, s.collecting = true; }), kRecentFileFirst,
       false, false},
  };
  for (const UpdateCase& c : cases) {
    const auto state = FrameCommandUpdate(c.id, c.state);
    ASSERT_TRUE(state) << c.name;
    EXPECT_EQ(state->enabled, c.enabled) << c.name;
    EXPECT_EQ(state->checked, c.checked) << c.name;
  }
  EXPECT_FALSE(FrameCommandUpdate(32819, {})) << "start/stop is not this table's";
  EXPECT_FALSE(FrameCommandUpdate(kRecentFileFirst + kRecentFileCount, {})) << "six recent files";
  for (const UI::CommandId id : FrameCommandIds()) EXPECT_TRUE(FrameCommandUpdate(id, {})) << id;
  // One row per command: a second row of an id would take over the first's
  // handler and rule on the router.
  const std::vector<UI::CommandId>& ids = FrameCommandIds();
  EXPECT_EQ(std::set<UI::CommandId>(ids.begin(), ids.end()).size(), ids.size()) << "an id with two rows";
  EXPECT_EQ(ids.size(), 40u + kRecentFileCount);
}

TEST(FrameCommandUpdate, AutoRangeShowsItsText) {
  FrameCommandState s;
  s.hasMainView = s.mainAutoRangeEnabled = s.mainAutoRangeActive = true;
  EXPECT_EQ(FrameCommandUpdate(kAutoRange, s)->text, "Enabled");
  s.mainAutoRangeActive = false;
  EXPECT_EQ(FrameCommandUpdate(kAutoRange, s)->text, "Disabled");
}

TEST_F(FrameCommandsTest, RouterShowsTheRulesAndRunsTheCommands) {
  UI::CommandRouter router;
  commands.Register(router);
  host.state.views = 1;
  config.SelectAllTraces = true;
  EXPECT_TRUE(router.QueryState(kSelectAllTraces).checked);
  EXPECT_FALSE(router.QueryState(kDataExport).enabled);
  EXPECT_FALSE(router.Execute(kDataExport));
  EXPECT_FALSE(commands.Run(32819)) << "start/stop is not this table's";
  host.state.selectionStop = 2.0;
  EXPECT_TRUE(router.Execute(kDataExport));
  EXPECT_TRUE(router.Execute(kSelectAllTraces));
  EXPECT_FALSE(config.SelectAllTraces);
  EXPECT_EQ(log, (Log{"export 3", "select all 0"}));
}

// Per-camera loops stop at the created windows, at four and at the record's
// cameras, and skip a window without a control.
TEST_F(FrameCommandsTest, CameraLoopsStayWithinCreatedWindows) {
  MakeCameras(3, 6, 1);
  commands.Run(kInvertImage);
  EXPECT_TRUE(config.InvertImage);
  EXPECT_EQ(log, (Log{"cam0 invert 1", "cam2 invert 1"}));

  log.clear();
  host.recordCameras = 1;
  commands.Run(kIgnoreLumen);
  commands.Run(kAutoThreshold);
  EXPECT_EQ(log, (Log{"cam0 lumen 1", "cam0 auto 1"}));
  EXPECT_TRUE(config.AutoThreshold);
}

TEST_F(FrameCommandsTest, AutoThresholdReachesWindowZeroForAVideoWithoutCameras) {
  MakeCameras(1, 0);
  host.state.camera0PlaysFile = true;
  commands.Run(kAutoThreshold);
  EXPECT_EQ(log, (Log{"cam0 auto 1"}));
}

TEST_F(FrameCommandsTest, VideoQualityPicksTheFactor) {
  MakeCameras(2, 2);
  const std::vector<std::pair<int, int>> cases{{0, 6}, {1, 4}, {2, 2}, {3, 1}};
  for (const auto& [selection, factor] : cases) {
    log.clear();
    host.quality = selection;
    commands.Run(kRecordQuality);
    EXPECT_EQ(config.VideoRecordFactor, factor);
    const std::string f = std::to_string(factor);
    EXPECT_EQ(log, (Log{"cam0 factor " + f, "cam1 factor " + f}));
  }
  log.clear();
  host.quality = 4;
  commands.Run(kRecordQuality);
  host.quality = -1;
  commands.Run(kRecordQuality);
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(config.VideoRecordFactor, 1);
}

TEST_F(FrameCommandsTest, ZoneColoursGoToEveryCameraAndItsVideoPane) {
  MakeCameras(2, 2);
  commands.Run(kZoneOuterColor);
  EXPECT_EQ(config.ZoneOuterEdgeColor, 0x101u);
  EXPECT_EQ(log, (Log{"cam0 colors", "pane colors 0", "cam1 colors", "pane colors 1"}));

  log.clear();
  commands.Run(kZoneInnerWheel);  // cancelled
  EXPECT_EQ(log, (Log{"color dialog " + std::to_string(config.ZoneInnerEdgeColor)}));
  log.clear();
  host.colorAnswer = 0x123456;
  commands.Run(kZoneBorderWheel);
  EXPECT_EQ(config.ZoneBorderColor, 0x123456u);
  EXPECT_EQ(log[1], "ribbon color 0 " + std::to_string(0x123456));

  log.clear();
  commands.Run(kZoneBorderDefault);
  EXPECT_EQ(config.ZoneBorderColor, config.DefaultZoneColors[0]);
  EXPECT_EQ(log.back(), "ribbon color 0 " + std::to_string(config.DefaultZoneColors[0]));
}

TEST_F(FrameCommandsTest, PlayVideoFromFile) {
  MakeCameras(1, 1);
  host.openAnswer = "/data/run.avi";
  cameras[0]->playAnswer = 0;
  commands.Run(kPlayVideo);
  EXPECT_EQ(log, (Log{"open dialog .avi", "cam0 play '/data/run.avi'"}));

  log.clear();
  cameras[0]->playAnswer = 1;
  host.recordVideo = true;
  config.AutoThreshold = true;
  commands.Run(kPlayVideo);
  EXPECT_EQ(log, (Log{"open dialog .avi", "cam0 play '/data/run.avi'", "video enabled 1", "cam0 auto 1",
                      "record video 0", "prepare cameras"}));
  EXPECT_FALSE(config.VideoRecordingEnabled);
}

TEST_F(FrameCommandsTest, GoToTime) {
  MakeCameras(2, 2);
  host.current = 1;
  host.gotoText = "1:2x";
  commands.Run(kVideoGoto);
  EXPECT_EQ(log, (Log{"error Invalid time"}));
  EXPECT_EQ(host.gotoText, "1:2x");

  log.clear();
  host.gotoText = "1:02";
  host.state.collecting = true;
  cameras[1]->paused = true;
  commands.Run(kVideoGoto);
  EXPECT_EQ(log, (Log{"marker 1 Go to time 01:02.00 in video", "cam1 time 62", "cam1 seek 1", "goto cleared"}));

  log.clear();
  host.gotoText = "-5";
  commands.Run(kVideoGoto);
  EXPECT_EQ(log, (Log{"error Invalid time"}));
}

TEST_F(FrameCommandsTest, TransportActsOnTheCurrentCameraOnly) {
  MakeCameras(2, 2);
  host.current = 1;
  cameras[1]->paused = true;
  commands.Run(kVideoForward);
  commands.Run(kVideoPause);
  host.current = 5;
  commands.Run(kVideoBackward);
  commands.Run(kVideoResume);
  EXPECT_EQ(log, (Log{"cam1 forward", "cam1 seek 1", "cam1 pause"}));
}

TEST_F(FrameCommandsTest, CameraListAttachesOrRestoresTheCombo) {
  MakeCameras(2, 2);
  host.state.detectedCameras = 2;
  host.comboSelection = 7;
  commands.Run(kCameraCombo);
  host.comboSelection = 1;
  host.attachOk = false;
  commands.Run(kCameraCombo);
  EXPECT_EQ(log, (Log{"attach 0 Camera X", "attach 1 Camera X", "combo select Camera A"}));
}

TEST_F(FrameCommandsTest, SyncToggleStoresAndRestartsOnce) {
  commands.Run(kSyncData);
  EXPECT_TRUE(config.SynchroniseDataCollection);
  EXPECT_EQ(log, (Log{"restart sampling"}));
}

TEST_F(FrameCommandsTest, SettingsImportAndExport) {
  ORV::Test::TempDir dir;
  const std::string archive = dir / "a.orvsettings";
  std::ofstream(archive) << "an archive's bytes";
  commands.Run(kLoadSettings);  // cancelled
  host.openAnswer = archive;
  host.importResult = 3;
  commands.Run(kLoadSettings);
  const std::string question = "ok? The settings in " + archive +
                               " replace the current settings, and Tarvix 5 restarts to apply them.\n\nContinue?";
  EXPECT_EQ(log, (Log{"open dialog .orvsettings", "open dialog .orvsettings", "import " + archive,
                      "error The settings archive \"" + archive +
                          "\" could not be loaded: it is damaged or is not a settings archive."}));
  log.clear();
  host.importResult = 0;
  commands.Run(kLoadSettings);
  EXPECT_EQ(log, (Log{"open dialog .orvsettings", "import " + archive, question, "imported flag", "restart"}));
  // Cancel to the restart: nothing is imported.
  log.clear();
  host.ok = false;
  commands.Run(kLoadSettings);
  EXPECT_EQ(log, (Log{"open dialog .orvsettings", "import " + archive, question}));
  host.ok = true;
  // A path that is no file is not handed to the import at all, nor asked about.
  log.clear();
  host.openAnswer = dir.path();
  commands.Run(kLoadSettings);
  EXPECT_EQ(log, (Log{"open dialog .orvsettings", "error The settings archive \"" + dir.path() +
                                                      "\" could not be loaded: it is a folder, not a file."}));

  log.clear();
  config.CustomUserWorkSpaceName = "old";
  host.nameAnswer = "bench 2";
  commands.Run(kSaveSettings);  // file dialog cancelled
  EXPECT_EQ(config.CustomUserWorkSpaceName, "old");
  host.saveAnswer = "/tmp/b.orvsettings";
  log.clear();
  commands.Run(kSaveSettings);
  EXPECT_EQ(log, (Log{"name dialog 'old'", "save dialog .orvsettings", "write name bench 2", "workspace saved",
                      "config saved", "archive /tmp/b.orvsettings"}));
  EXPECT_EQ(config.CustomUserWorkSpaceName, "bench 2");
}

TEST_F(FrameCommandsTest, OpenAsksToSaveAndStopsWhenTheSaveFailsOrIsCancelled) {
  host.state.recordModified = true;
  host.yes = true;
  host.saveOk = false;
  host.openAnswer = "/data/e.tvx";
  commands.Run(kFileOpen);
  const std::string ask = "ask Current experiment has changed. Save before closing?";
  EXPECT_EQ(log, (Log{ask, "save experiment"}));

  log.clear();
  host.saveOk = true;
  commands.Run(kFileOpen);
  EXPECT_EQ(log, (Log{ask, "save experiment", "open dialog .tvx", "open /data/e.tvx"}));

  log.clear();
  host.yes = false;
  host.state.liveTrace = false;
  commands.OnDropFiles({"/data/a.tvx"});
  EXPECT_EQ(log, (Log{ask, "open /data/a.tvx", "slider reset"}));

  // Cancel: nothing saved, nothing opened.
  log.clear();
  host.cancel = true;
  commands.Run(kFileOpen);
  commands.OnDropFiles({"/data/a.tvx"});
  EXPECT_EQ(log, (Log{ask, ask}));
  host.cancel = false;

  log.clear();
  host.state.collecting = true;
  commands.OnDropFiles({"/data/a.tvx"});
  commands.Run(kFileOpen);
  EXPECT_TRUE(log.empty()) << "nothing replaces the record of a running collection";
}

// Save and Save As are the one save of the experiment, Save As with the name
// asked; neither asks "save first?".
TEST_F(FrameCommandsTest, SaveAndSaveAsAreTheExperimentsSave) {
  host.state.recordModified = true;
  EXPECT_TRUE(commands.Run(kFileSave));
  EXPECT_TRUE(commands.Run(kFileSaveAs));
  EXPECT_EQ(log, (Log{"save experiment", "save experiment as"}));
}

TEST_F(FrameCommandsTest, ARecentFileOpensAfterOpensSaveQuestion) {
  host.recent = {"/data/new.tvx", "/data/old.tvx"};
  commands.Run(kRecentFileFirst + 1);
  EXPECT_EQ(log, (Log{"open /data/old.tvx"}));

  log.clear();
  host.state.recordModified = true;
  host.yes = true;
  host.saveOk = false;
  commands.Run(kRecentFileFirst);
  EXPECT_EQ(log, (Log{"ask Current experiment has changed. Save before closing?", "save experiment"}))
      << "the save failed: nothing is opened";

  log.clear();
  host.state.recordModified = false;
  commands.Run(kRecentFileFirst + 2);  // not listed
  host.state.collecting = true;
  commands.Run(kRecentFileFirst);
  EXPECT_TRUE(log.empty());
}

TEST_F(FrameCommandsTest, StopFilePlaybackAndResetAndClearVideoPanes) {
  MakeCameras(3, 6, 2);
  cameras[1]->playing = true;
  cameras[2]->playing = true;  // no control: skipped
  commands.StopFilePlayback();
  commands.ResetVideoPanes();
  EXPECT_EQ(log, (Log{"cam1 play ''", "cam1 close", "reset pane 0", "reset pane 1", "reset pane 2", "reset pane 3"}));
  log.clear();
  host.recordCameras = 0;  // every pane, whatever the record holds
  commands.ClearVideoPanes();
  EXPECT_EQ(log, (Log{"clear pane 0", "clear pane 1", "clear pane 2", "clear pane 3"}));
}

TEST_F(FrameCommandsTest, TheTraceExportChoiceIsKeptForTheNextStart) {
  config.LastUsedAnalysisExportType = 0;
  commands.Run(kTraceExportCombo);
  EXPECT_EQ(config.LastUsedAnalysisExportType, 3);
}

TEST_F(FrameCommandsTest, MessagesAndSheets) {
  commands.OnCustomTraceChanged(2);
  commands.OnCustomTracesChanged();
  commands.OnSysColorChange();
  commands.Run(kShowDataSheet);
  commands.Run(kShowActionSheet);
  host.state.hasMainView = true;
  commands.Run(kAutoRange);
  host.state.mainAutoRangeEnabled = host.state.mainAutoRangeActive = true;
  commands.Run(kAutoRange);
  host.state.liveTrace = true;
  commands.Run(kLiveTrace);
  EXPECT_EQ(log, (Log{"reload custom", "reconfigure 222", "init custom", "ribbon background", "data sheet",
                      "action sheet", "autorange 11", "autorange 10", "live 0"}));
  EXPECT_TRUE(config.DataViewShown);
  EXPECT_TRUE(config.ActionViewShown);
}

}  // namespace
}  // namespace ORV
