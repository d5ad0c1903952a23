#include "shell/frame/app_frame_adapter.h"

#include <QGuiApplication>
#include <QScreen>

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

// The frame's action sheet as the application adds its actions to it.
class ViewsActionSheet final : public Shell::ActionSheet {
 public:
  explicit ViewsActionSheet(FrameViews& views) : views_(views) {}
  ActionViewRows* Rows() override { return views_.ActionSheet(); }
  void Add(std::uint32_t time, const std::string& text) override { views_.AddAction(time, text); }

 private:
  FrameViews& views_;
};

class MainAppFrame final : public Shell::AppFrame {
 public:
  MainAppFrame(const MainFrameWorld& world, Shell::AppCommands& app) : world_(world), app_(app) {}
  ~MainAppFrame() override {
    if (frame_ && frame_->Commands()) frame_->Commands()->SetApplication(nullptr);
    if (actionSheet_) app_.UseActionSheet(nullptr);
  }
  void UseSettingsStore(OS::RegistryStore& store) override { settingsStore_ = &store; }
  void UseTraceGlue(Shell::TraceGlue& glue) override { glue_ = &glue; }
  void UseDocumentTemplates(Shell::DocumentTemplates& templates) override { templates_ = &templates; }
  bool Create() override {
    Configuration& config = world_.configuration;
    ExperimentData& experiment = world_.experiment;
    if (glue_ && templates_) {
      views_ = std::make_unique<FrameViews>(FrameViews::Setup{
          config, experiment, *glue_, *templates_, settingsStore_ ? *settingsStore_ : OS::RegistryStore::User()});
    }
    ProgramFrameOptions options;
    options.settingsStore = settingsStore_;
    options.glue = glue_;
    options.checkForUpdates = [&app = app_] { return app.CheckForUpdatesAtStartup(); };
    options.views = views_.get();
    frame_ = CreateMainFrame(config, experiment, world_.instruments, std::move(options));
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
        *fileHost_, [&app = app_] { return app.FileCommands(); }, [&app = app_] { app.Restart(); });
    if (FrameCommands* commands = frame_->Commands()) commands->SetApplication(application_.get());
    frame_->Router().OnCommand(Shell::ID_FILE_NEW, [this] { application_->NewTraceView(); });
    frame_->Router().OnCommand(Shell::ID_APP_ABOUT, [&app = app_] { app.OnAppAbout(); });
    if (views_) {
      actionSheet_ = std::make_unique<ViewsActionSheet>(*views_);
      app_.UseActionSheet(actionSheet_.get());
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
  MainFrameWorld world_;
  Shell::AppCommands& app_;
  // The documents outlive the frame, whose services use them.
  std::unique_ptr<FrameViews> views_;
  std::unique_ptr<ViewsActionSheet> actionSheet_;
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

std::unique_ptr<Shell::AppFrame> MakeMainAppFrame(const MainFrameWorld& world, Shell::AppCommands& app) {
  return std::make_unique<MainAppFrame>(world, app);
}

std::unique_ptr<Shell::TraceGlueHost> MakeProgramGlueHost(Shell::DocumentTemplates& templates, Shell::AppFrame& frame) {
  return std::make_unique<Shell::DocumentGlueHost>(templates, [&frame](std::uint32_t id, const std::string& text) {
    return frame.SetCommandText(id, QString::fromStdString(text));
  });
}

}  // namespace ORV
