#include "shell/frame/app_frame_adapter.h"

#include <QGuiApplication>
#include <QScreen>

#include "core/base/configuration.h"
#include "core/experiment/session.h"
#include "instruments/interface_manager.h"
#include "platform/ui/ribbon_bar.h"
#include "shell/app/pelmora_app.h"
#include "shell/frame/frame_application.h"
#include "shell/frame/frame_application_views.h"
#include "shell/frame/program_frame.h"
#include "shell/frame/termination.h"
#include "shell/glue/ui/document_glue_host.h"
#include "views/ui/action_view.h"

namespace ORV {
namespace {

class MainAppFrame final : public Shell::AppFrame {
 public:
  ~MainAppFrame() override {
    if (frame_ && frame_->Commands()) frame_->Commands()->SetApplication(nullptr);
    if (Shell::CPelmoraApp* app = Shell::CPelmoraApp::Instance(); app && views_) {
      app->actionView = nullptr;
      app->addAction = nullptr;
    }
  }
  void UseSettingsStore(OS::RegistryStore& store) override { settingsStore_ = &store; }
  void UseTraceGlue(Shell::TraceGlue& glue) override { glue_ = &glue; }
  void UseDocumentTemplates(Shell::DocumentTemplates& templates) override { templates_ = &templates; }
  bool Create() override {
    Configuration& config = Configuration::Instance();
    ExperimentData& experiment = Session::Instance().Experiment();
    if (glue_ && templates_) {
      views_ = std::make_unique<FrameViews>(FrameViews::Setup{
          config, experiment, *glue_, *templates_, settingsStore_ ? *settingsStore_ : OS::RegistryStore::User()});
    }
    ProgramFrameOptions options;
    options.settingsStore = settingsStore_;
    options.glue = glue_;
    options.checkForUpdates = [] {
      Shell::CPelmoraApp* app = Shell::CPelmoraApp::Instance();
      return app != nullptr && app->CheckForUpdatesAtStartup();
    };
    options.views = views_.get();
    frame_ = CreateMainFrame(config, experiment, InterfaceManager::Instance(), std::move(options));
    if (views_) views_->SetFrame(frame_.get());
    if (frame_->OnCreate() != 0) {
      if (views_) views_->SetFrame(nullptr);
      frame_.reset();
      return false;
    }
    // Nothing kept from an earlier run: the window takes the screen.
    if (!frame_->LayoutRestored()) {
      if (const QScreen* screen = QGuiApplication::primaryScreen())
        frame_->PlaceForFirstStart(screen->availableGeometry());
    }
    termination_ = std::make_unique<TerminationWatch>(*frame_);
    fileHost_ = std::make_unique<FrameFileHost>(*frame_, config, experiment, views_.get());
    application_ = std::make_unique<FrameApplicationLink>(
        *fileHost_,
        [] {
          Shell::CPelmoraApp* app = Shell::CPelmoraApp::Instance();
          return app ? app->FileCommands() : nullptr;
        },
        [] {
          if (Shell::CPelmoraApp* app = Shell::CPelmoraApp::Instance()) app->Restart();
        });
    if (FrameCommands* commands = frame_->Commands()) commands->SetApplication(application_.get());
    frame_->Router().OnCommand(Shell::ID_FILE_NEW, [this] { application_->NewTraceView(); });
    frame_->Router().OnCommand(Shell::ID_APP_ABOUT, [] {
      if (Shell::CPelmoraApp* app = Shell::CPelmoraApp::Instance()) app->OnAppAbout();
    });
    if (Shell::CPelmoraApp* app = Shell::CPelmoraApp::Instance(); app && views_) {
      FrameViews* views = views_.get();
      app->actionView = [views]() -> ActionViewRows* { return views->ActionSheet(); };
      app->addAction = [views](std::uint32_t time, const std::string& text) { views->AddAction(time, text); };
    }
    return true;
  }
  TraceWindowHost* TraceWindows() override { return views_.get(); }
  bool OpenSettingsArchive(const std::string& path) override {
    FrameCommands* commands = frame_ ? frame_->Commands() : nullptr;
    return commands != nullptr && commands->Commands().ImportSettingsFrom(path);
  }
  Shell::FileCommandsHost* FileHost() override { return fileHost_.get(); }
  void UseFileCommands(Shell::ExperimentFileCommands* commands) override {
    if (frame_) frame_->UseFileCommands(commands);
  }
  QWidget* Window() override { return frame_.get(); }
  UI::DocumentArea* Documents() override { return frame_ ? frame_->Documents() : nullptr; }
  bool SetCommandText(UI::CommandId id, const QString& text) override {
    UI::RibbonElement* element = frame_ && frame_->Ribbon() ? frame_->Ribbon()->FindByID(id) : nullptr;
    if (!element) return false;
    element->SetText(text.toStdString());
    return true;
  }
  void OnClose() override {
    if (frame_) frame_->close();
  }
  void OnBackupImported() override {
    if (!frame_) return;
    if (views_) {
      views_->SetLiveTrace(false);
      views_->ShowActionSheet();
    }
    if (FrameCommands* commands = frame_->Commands()) commands->Commands().ResetVideoPanes();
    frame_->UpdatePaneLayout(false, false);
    frame_->ResetTimeSlider();
  }

 private:
  // The documents outlive the frame, whose services use them.
  std::unique_ptr<FrameViews> views_;
  // Declared after the frame: go before it.
  std::unique_ptr<CMainFrame> frame_;
  std::unique_ptr<TerminationWatch> termination_;
  std::unique_ptr<FrameFileHost> fileHost_;
  std::unique_ptr<FrameApplicationLink> application_;
  OS::RegistryStore* settingsStore_ = nullptr;
  Shell::TraceGlue* glue_ = nullptr;
  Shell::DocumentTemplates* templates_ = nullptr;
};

}  // namespace

std::unique_ptr<Shell::AppFrame> MakeMainAppFrame() { return std::make_unique<MainAppFrame>(); }

std::unique_ptr<Shell::TraceGlueHost> MakeProgramGlueHost(Shell::DocumentTemplates& templates, Shell::AppFrame& frame) {
  return std::make_unique<Shell::DocumentGlueHost>(templates, [&frame](std::uint32_t id, const std::string& text) {
    return frame.SetCommandText(id, QString::fromStdString(text));
  });
}

}  // namespace ORV
