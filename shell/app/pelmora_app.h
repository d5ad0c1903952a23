#pragma once
// The program's application object: it brings the program up in a fixed
// order behind the splash screen, restarts it on request, and takes it down
// in a fixed order with a bounded wait for the shared worker pool.
//
// Start-up (InitInstance): the restart handshake, the event log and the
// start event, the menu font, the document templates, the splash screen,
// the main frame's construction, the check for a running instance, the
// settings, the main window, the command line, showing the window and the
// offer to import a running backup. Steps the desktop does not need here
// (common controls, the drawing library, the component runtime, DPI
// awareness, tooltip managers) are kept as named steps that do nothing.
//
// Exit (ExitInstance): the shared worker pool gets up to 5 s to finish its
// tasks. When a task is still running then, nothing it may reach is
// destroyed: the settings store is flushed and the process ends at once.
//
// The QApplication must exist and ORV::UI::InitApplicationServices() must
// have run on the GUI thread before the application object is made.
#include <QFont>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/experiment/app_hooks.h"
#include "shell/app/app_frame.h"
#include "shell/app/document_templates.h"
#include "shell/app/file_commands.h"
#include "shell/app/instance_markers.h"
#include "shell/app/pelmora_module.h"
#include "shell/app/restart.h"
#include "shell/app/visual_theme.h"
#include "shell/glue/trace_glue.h"

namespace ORV {
class Configuration;
class ExperimentData;
namespace RelativeTime {
class RelativeTime;
}
namespace OS {
class EventLogBackend;
class RegistryStore;
}  // namespace OS
}  // namespace ORV

namespace ORV::Shell {

class CSplashWnd;

// The ribbon buttons whose texts start-up sets.
inline constexpr UI::CommandId ID_FILE_NEW = 57600;
inline constexpr UI::CommandId ID_FILE_OPEN = 57601;
inline constexpr UI::CommandId ID_FILE_CLOSE = 57602;
inline constexpr UI::CommandId ID_FILE_SAVE = 57603;
inline constexpr UI::CommandId ID_APP_ABOUT = 57664;

// The start event's id in the event log.
inline constexpr std::uint32_t kStartEventId = 3;

// What the application works on. The program's owner makes these, and they
// outlive the application.
struct AppWorld {
  Configuration& configuration;
  // The experiment clock, whose segments the file commands save and reopen.
  RelativeTime::RelativeTime& clock;
  // The experiment record whose running backup start-up offers for import
  // and which asks its questions through the application; null: the
  // application has none (no trace glue, no file commands).
  ExperimentData* experiment = nullptr;
};

struct AppOptions {
  // The command line after the program's name.
  std::vector<std::string> args;
  // Makes the main frame; the placeholder frame when empty.
  AppFrameFactory frameFactory;
  // The event log's backend; the system log when null.
  OS::EventLogBackend* eventLog = nullptr;
  // The settings store (registration, the flush at a forced exit); the
  // user's store when null.
  OS::RegistryStore* settingsStore = nullptr;
  // Loads the settings; the configuration's Load from the settings store
  // when empty.
  std::function<void()> loadConfiguration;
  // Makes the trace glue's host (the data sheet among the documents, the
  // frame's ribbon texts); without it the application has no trace glue.
  std::function<std::unique_ptr<TraceGlueHost>(DocumentTemplates&, AppFrame&)> glueHost;
  // Ends the process when tasks outlive the exit's wait; std::quick_exit
  // when empty.
  std::function<void(int)> endProcess;
};

class CPelmoraApp : public ApplicationHooks, public AppCommands {
 public:
  CPelmoraApp(AppWorld world, AppOptions options);
  ~CPelmoraApp() override;
  CPelmoraApp(const CPelmoraApp&) = delete;
  CPelmoraApp& operator=(const CPelmoraApp&) = delete;

  // InitInstance, the event loop when it succeeded, then ExitInstance;
  // returns the exit code.
  int Run();
  bool InitInstance();
  int ExitInstance(int exitCode);

  // Starts a fresh copy of the program and closes this one; false (after
  // telling the user) when that could not be done.
  bool Restart() override;

  // One update check; `manual` when the user asked for it.
  void CheckForUpdates(bool manual);
  // The automatic check, for the frame's start-up timer: runs when the
  // user allows it ("FreshetCheckEnabled"), at most once per run. True when
  // it ran.
  bool CheckForUpdatesAtStartup() override;
  // The about box, modal.
  void OnAppAbout() override;
  void UseActionSheet(ActionSheet* sheet) override { actionSheet_ = sheet; }

  // The experiment file commands, once the frame gave them a host; null
  // before. The frame routes ID_FILE_NEW, ID_FILE_OPEN (also recent and
  // dropped files), ID_FILE_SAVE, ID_FILE_SAVE_AS and ID_FILE_CLOSE here.
  ExperimentFileCommands* FileCommands() const override { return fileCommands_.get(); }

  AppFrame* Frame() const { return frame_.get(); }
  // The one trace glue of the program; null without a glue host.
  TraceGlue* Glue() const { return glue_.get(); }
  QWidget* MainWindow() const;
  DocumentTemplates& Templates() { return templates_; }
  VisualThemes& Themes() { return themes_; }
  CPelmoraModule& Module() { return module_; }
  const QFont& MenuFont() const { return menuFont_; }
  // The splash window while it is shown.
  CSplashWnd* Splash() const { return splash_.get(); }
  // How the command line was read at start-up.
  ShellCommand Command() const { return command_; }
  // Opens the file a command line names (start-up does it with its own
  // command line, as the desktop passes a file): a settings archive is
  // loaded as Load User Config loads it, anything else opened as an
  // experiment; a file that cannot be opened is told by name.
  void OpenCommandLine(const std::vector<std::string>& args);

  // ApplicationHooks: the questions and waits of the experiment record.
  // The actions go to the sheet the frame handed in.
  void AddAction(std::uint32_t time, const std::string& text) override;
  ActionViewRows* ActionView() override;
  // The data pad's measurements (method 4) into the data sheet.
  void ExportToDataSheet(std::int32_t method) override;
  std::string AppTitle() const override;
  Answer AskYesNo(const std::string& caption, const std::string& text) override;
  void ShowInformation(const std::string& caption, const std::string& text) override;
  void WaitForEvent(const Utils::Sync::Event& event, const std::string& text) override;

 private:
  bool StartSplash();
  void CloseSplash();
  void WriteStartEvent();
  // The message, event and box of a running instance found at start-up.
  void ReportRunningInstance(std::uint32_t textId);
  void CreateMenuFont();

  OS::RegistryStore& SettingsStore() const;
  ExperimentData* Experiment() const { return world_.experiment; }

  AppWorld world_;
  AppOptions options_;
  ActionSheet* actionSheet_ = nullptr;
  VisualThemes themes_;
  CPelmoraModule module_;
  DocumentTemplates templates_;
  RestartLock restartLock_;
  InstanceMarker marker_;
  QFont menuFont_;
  std::unique_ptr<CSplashWnd> splash_;
  // Declared before the frame, which uses them: they go after it.
  std::unique_ptr<TraceGlueHost> glueHost_;
  std::unique_ptr<TraceGlue> glue_;
  std::unique_ptr<AppFrame> frame_;
  ShellCommand command_ = ShellCommand::FileNothing;
  ExperimentData* hooked_ = nullptr;
  std::unique_ptr<ExperimentAccess> experimentAccess_;
  std::unique_ptr<ExperimentFileCommands> fileCommands_;
  bool eventLogRegistered_ = false;
  bool startupCheckDone_ = false;
};

}  // namespace ORV::Shell
