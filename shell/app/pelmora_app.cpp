#include "shell/app/pelmora_app.h"

#include <pwd.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string_view>

#include "core/base/configuration.h"
#include "core/base/event_log.h"
#include "core/experiment/experiment_data.h"
#include "core/threading/worker_pool.h"
#include "platform/os/registry_store.h"
#include "platform/ui/message_box.h"
#include "platform/ui/string_table.h"
#include "platform/ui/wait_for_event_dialog.h"
#include "shell/app/about_dialog.h"
#include "shell/app/end_request.h"
#include "shell/app/session_experiment.h"
#include "shell/app/splash_screen.h"
#include "shell/app/update_check.h"
#include "shell/program_controls.h"

namespace ORV::Shell {
namespace {

// Start-up steps that only the desktop of the program's first platform needs;
// here each has nothing to do, and they keep their places in the order.
void EnableDpiAwareness() {}                  // Qt scales by the screen itself
void InitCommonControls() {}                  // Qt's widgets need no registration
void StartDrawingLibrary() {}                 // QPainter needs no start
bool InitComponentRuntime() { return true; }  // the dispatch layer needs no start
void SwitchOffTaskbarInteraction() {}         // no task-bar tabs to switch off
// Controls are hosted by the dispatch layer; the program's own control
// libraries are registered where their registration is missing or stale.
void EnableControlContainer(OS::RegistryStore& store) {
  RegisterProgramControls(Com::ControlFactory(store, Com::ControlFactory::DefaultLibraryFolders()));
}
void InitMenuKeyboardAndTooltipManagers() {}  // menus, keys and tooltips follow the Qt style and palette
void InitRichText() {}                        // Qt's rich text needs no start

// The nice value that stands for "above normal" priority.
constexpr int kAboveNormalNice = -5;

bool HasSettingsExtension(const std::string& path) {
  static constexpr std::string_view kExtension = ".orvsettings";
  if (path.size() < kExtension.size()) return false;
  const std::string_view tail = std::string_view(path).substr(path.size() - kExtension.size());
  return std::equal(tail.begin(), tail.end(), kExtension.begin(),
                    [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
}

std::string UserName() {
  if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_name) return pw->pw_name;
  if (const char* user = std::getenv("USER")) return user;
  return {};
}

}  // namespace

// Construction: the priority, the AppID, the looks. The GUI thread's identity
// was fixed when the application services were set up on it.
CPelmoraApp::CPelmoraApp(AppWorld world, AppOptions options) : world_(world), options_(std::move(options)) {
  if (::setpriority(PRIO_PROCESS, 0, kAboveNormalNice) != 0) {
    std::cerr << "Error setting ABOVE_NORMAL_PRIORITY_CLASS: " << errno << std::endl;
  }
  // The AppID is kAppIdName; it is written only on a register request.
  themes_.RegisterProgramThemes();
  // The program's theme; Fusion lets the palette reach every dialog and
  // control, which is all the presentation options are for.
  themes_.SetVisualTheme(kCustomThemeValue, std::make_unique<CORVCustomTheme>());
}

CPelmoraApp::~CPelmoraApp() {
  if (hooked_ && hooked_->Hooks() == this) hooked_->SetApplicationHooks(nullptr);
  // The source registered at start-up goes with the application.
  if (eventLogRegistered_) EventLog().Deregister();
}

QWidget* CPelmoraApp::MainWindow() const { return frame_ ? frame_->Window() : nullptr; }

OS::RegistryStore& CPelmoraApp::SettingsStore() const {
  return options_.settingsStore ? *options_.settingsStore : OS::RegistryStore::User();
}

int CPelmoraApp::Run() {
  int code = 0;
  // Told to end during start-up: the frame has closed already.
  if (InitInstance() && !EndRequested()) code = QApplication::exec();
  return ExitInstance(code);
}

bool CPelmoraApp::InitInstance() {
  // Restart handshake: a copy started by Restart waits until the old
  // instance has ended.
  WaitForRestartingInstance(options_.args);

  eventLogRegistered_ = EventLog().Register(kEventSourceName, options_.eventLog);
  EnableDpiAwareness();
  WriteStartEvent();
  InitCommonControls();
  StartDrawingLibrary();
  if (!InitComponentRuntime()) {
    UI::MessageBox(nullptr, UI::LoadQString(UI::kOLEInitializationFailedMakeString), QString(), UI::MB_OK);
    return false;
  }
  SwitchOffTaskbarInteraction();
  EnableControlContainer(SettingsStore());
  // The settings live under "Orvanta" in the settings store; the recent-file
  // list (six entries) is the workspace's, read when the file commands use it.
  CreateMenuFont();
  InitMenuKeyboardAndTooltipManagers();

  // The templates are ready; the frame's document area takes them once the
  // main window exists.
  if (!StartSplash()) {
    UI::MessageBox(nullptr, QStringLiteral("Failed to create splash screen"), QString(), UI::MB_OK | UI::MB_ICONERROR);
    return false;
  }

  frame_ = options_.frameFactory ? options_.frameFactory(*this) : MakePlaceholderFrame();
  // Load and save go through one store, else what the user changes is lost.
  if (frame_) frame_->UseSettingsStore(SettingsStore());
  if (frame_) frame_->UseDocumentTemplates(templates_);
  if (frame_ && options_.glueHost && Experiment()) {
    glueHost_ = options_.glueHost(templates_, *frame_);
    glue_ = std::make_unique<TraceGlue>(*Experiment(), *glueHost_, [](std::uint32_t id) { return UI::LoadString(id); });
    frame_->UseTraceGlue(*glue_);
  }

  // A running instance of this or an earlier version ends the start.
  if (const std::uint32_t found = FindRunningInstance(); found != 0) {
    ReportRunningInstance(found);
    return false;
  }

  if (options_.loadConfiguration) {
    options_.loadConfiguration();
  } else {
    world_.configuration.Load(SettingsStore());
  }

  if (!frame_ || !frame_->Create()) {
    frame_.reset();
    return false;
  }
  // The main window exists: a second instance finds it from now on. Two
  // instances started together may both have passed the check above; only
  // the first to mark itself goes on.
  if (!marker_.Take()) {
    ReportRunningInstance(UI::kOneInstanceApplicationAlreadyString);
    return false;
  }
  if (UI::DocumentArea* area = frame_->Documents()) templates_.RegisterWith(*area);
  if (FileCommandsHost* host = frame_->FileHost(); host && Experiment()) {
    experimentAccess_ =
        std::make_unique<SessionExperiment>(*Experiment(), world_.configuration, world_.clock, frame_->TraceWindows());
    fileCommands_ = std::make_unique<ExperimentFileCommands>(*experimentAccess_, *host);
    frame_->UseFileCommands(fileCommands_.get());
  }

  command_ = ParseShellCommand(options_.args);
  switch (command_) {
    case ShellCommand::Embedded:
    case ShellCommand::Automation:
      return true;  // the window stays hidden
    case ShellCommand::AppUnregister:
      CPelmoraModule::UnregisterAppId(SettingsStore());
      CPelmoraModule::UnregisterTypeLib(SettingsStore());
      return false;
    case ShellCommand::AppRegister:
      CPelmoraModule::RegisterAppId(SettingsStore());
      CPelmoraModule::RegisterTypeLib(SettingsStore());
      return false;
    case ShellCommand::FileNothing:
    case ShellCommand::FileOpen:
      break;  // the file is opened once the window shows
  }

  QWidget* window = frame_->Window();
  window->show();
  window->update();

  frame_->SetCommandText(ID_FILE_SAVE, UI::LoadQString(UI::kSaveExperimentString));
  frame_->SetCommandText(ID_FILE_OPEN, UI::LoadQString(UI::kOpenExperimentString));
  frame_->SetCommandText(ID_FILE_NEW, UI::LoadQString(UI::kOpenNewTraceWindowString));
  frame_->SetCommandText(ID_FILE_CLOSE, UI::LoadQString(UI::kCloseExperimentString));
  // The cursor-position label stays with the frame, which the views ask.

  CloseSplash();

  if (ExperimentData* experiment = Experiment()) {
    experiment->SetApplicationHooks(this);
    hooked_ = experiment;
    if (experiment->CheckBackupAtStartup() == 1) frame_->OnBackupImported();
  }
  // Told to end meanwhile: nothing more is opened or asked.
  if (EndRequested()) return true;
  if (command_ == ShellCommand::FileOpen) OpenCommandLine(options_.args);
  InitRichText();
  return true;
}

void CPelmoraApp::OpenCommandLine(const std::vector<std::string>& args) {
  const std::vector<std::string> files = ShellFiles(args);
  if (files.empty()) return;
  if (!fileCommands_) {
    LogWarning("The file named on the command line was not opened: the program has no file commands.");
    return;
  }
  // One experiment is shown at a time: the first file named. The file
  // commands refuse while a collection runs and ask to save a changed
  // experiment first, as for any open.
  if (files.size() > 1) LogWarning("Several files were named on the command line; only the first is opened.");
  // A settings archive (the desktop opens one with the program) is loaded
  // as Load User Config loads it; anything else is opened as an experiment.
  if (HasSettingsExtension(files.front()) && frame_) {
    frame_->OpenSettingsArchive(files.front());
    return;
  }
  fileCommands_->OpenExperimentCommand(files.front());
}

int CPelmoraApp::ExitInstance(int exitCode) {
  CloseSplash();
  const bool drained = Threading::ExitSharedWorkerPool(Threading::kPoolExitWait);
  if (!drained) {
    // A task still runs and may reach the frame, the settings and the
    // session: nothing of them is destroyed. What the user set is written,
    // this instance stops being found, a restarting copy may go on, and the
    // process ends here.
    LogWarning("Tasks were still running at exit; the program ended without waiting for them.");
    SettingsStore().Flush();
    marker_.Drop();
    restartLock_.Close();
    std::fflush(nullptr);
    if (options_.endProcess) {
      options_.endProcess(exitCode);
      return exitCode;
    }
    std::quick_exit(exitCode);
  }
  // The configuration was saved by the frame's close handler; it stays
  // until the process ends.
  if (frame_) frame_->UseFileCommands(nullptr);
  fileCommands_.reset();
  experimentAccess_.reset();
  frame_.reset();
  glue_.reset();
  glueHost_.reset();
  marker_.Drop();
  restartLock_.Close();
  return exitCode;
}

bool CPelmoraApp::Restart() {
  std::string error;
  if (restartLock_.TakeForRestart()) {
    if (RestartLock::StartSuccessor(&error)) {
      if (frame_) frame_->OnClose();
      return true;
    }
    restartLock_.Close();
    LogErrorFormat("The program could not start itself again: %s", error.c_str());
  }
  UI::MessageBox(MainWindow(), UI::LoadQString(UI::kFailedRestartApplicationPleaseString), UI::ApplicationTitle(),
                 UI::MB_OK | UI::MB_ICONERROR);
  return false;
}

void CPelmoraApp::CheckForUpdates(bool manual) { Shell::CheckForUpdates(manual); }

bool CPelmoraApp::CheckForUpdatesAtStartup() {
  if (startupCheckDone_ || !world_.configuration.FreshetCheckEnabled) return false;
  startupCheckDone_ = true;
  CheckForUpdates(false);
  return true;
}

void CPelmoraApp::OnAppAbout() {
  CAboutDlg about(
      ProgramVersionInfo(), [this] { CheckForUpdates(true); }, world_.configuration.FreshetCheckEnabled, MainWindow());
  about.DoModal();
}

bool CPelmoraApp::StartSplash() {
  splash_ = std::make_unique<CSplashWnd>();
  splash_->loadFromFile = 0;
  splash_->bitmapId = kSplashBitmapId;
  splash_->bitmapIdHighDpi = kSplashBitmapIdHighDpi;
  splash_->Create();
  // Paint it now: the frame's creation keeps the GUI thread busy next.
  QApplication::processEvents();
  return true;
}

void CPelmoraApp::CloseSplash() {
  if (!splash_) return;
  splash_->allowClose = 1;
  splash_->close();
  splash_.reset();
}

void CPelmoraApp::ReportRunningInstance(std::uint32_t textId) {
  const QString text = UI::LoadQString(textId);
  EventLog().Write(OS::kEventInformation, kLogCategory, kLogEventId, {text.toStdString()});
  CloseSplash();
  UI::MessageBox(nullptr, text, UI::LoadQString(UI::kProductNameString), UI::MB_OK | UI::MB_ICONINFORMATION);
}

void CPelmoraApp::WriteStartEvent() {
  EventLog().Write(OS::kEventInformation, kLogCategory, kStartEventId,
                   {UI::ApplicationTitle().toStdString(), UserName()});
}

void CPelmoraApp::CreateMenuFont() {
  const Configuration& config = world_.configuration;
  menuFont_ = QFont(QString::fromStdString(config.FontName));
  menuFont_.setPointSizeF(config.HeaderFontSize / 10.0);
  QApplication::setFont(menuFont_, "QMenu");
}

void CPelmoraApp::AddAction(std::uint32_t time, const std::string& text) {
  if (actionSheet_) actionSheet_->Add(time, text);
  // The action is part of the experiment the record holds (being recorded,
  // stopped or read from a file): it is kept in the action store, which
  // lives beside the running backup, and saved with the experiment.
  ExperimentData* experiment = Experiment();
  if (experiment && experiment->HoldsExperiment()) {
    const int rc = experiment->WithStores([&](MarkerStore&, ActionStore& actions) {
      return actions.Put(actions.Count(), ActionData{time, text}, false);
    });
    if (rc != 0)
      LogError("CPelmoraApp::AddAction() - unable to store action '" + text + "' (error " + std::to_string(rc) + ")");
  }
}

ActionViewRows* CPelmoraApp::ActionView() { return actionSheet_ ? actionSheet_->Rows() : nullptr; }

void CPelmoraApp::ExportToDataSheet(std::int32_t method) {
  if (glue_) glue_->ExportToDataSheet(method);
}

std::string CPelmoraApp::AppTitle() const { return UI::ApplicationTitle().toStdString(); }

ApplicationHooks::Answer CPelmoraApp::AskYesNo(const std::string& caption, const std::string& text) {
  if (EndRequested()) return Answer::None;
  const int answer = UI::MessageBox(MainWindow(), QString::fromStdString(text), QString::fromStdString(caption),
                                    UI::MB_YESNO | UI::MB_ICONQUESTION);
  // A box closed because the process is ending was answered by no one.
  if (EndRequested()) return Answer::None;
  return answer == UI::IDYES ? Answer::Yes : Answer::No;
}

void CPelmoraApp::ShowInformation(const std::string& caption, const std::string& text) {
  UI::MessageBox(MainWindow(), QString::fromStdString(text), QString::fromStdString(caption),
                 UI::MB_OK | UI::MB_ICONINFORMATION);
}

void CPelmoraApp::WaitForEvent(const Utils::Sync::Event& event, const std::string& text) {
  if (event.IsSet()) return;
  UI::CWaitForEvent wait(MainWindow());
  wait.State().waitHandle = [&event] { return event.IsSet(); };
  wait.SetMessage(text);
  wait.DoModal();
}

}  // namespace ORV::Shell
