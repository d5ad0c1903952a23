#include "shell/frame/app_frame_adapter.h"

#include "core/base/configuration.h"
#include "core/experiment/session.h"
#include "instruments/interface_manager.h"
#include "platform/ui/ribbon_bar.h"
#include "shell/app/pelmora_app.h"
#include "shell/frame/frame_application.h"
#include "shell/frame/program_frame.h"
#include "shell/frame/termination.h"
#include "shell/glue/ui/document_glue_host.h"

namespace ORV {
namespace {

class MainAppFrame final : public Shell::AppFrame {
 public:
  ~MainAppFrame() override {
    if (frame_ && frame_->Commands()) frame_->Commands()->SetApplication(nullptr);
  }
  void UseSettingsStore(OS::RegistryStore& store) override { settingsStore_ = &store; }
  void UseTraceGlue(Shell::TraceGlue& glue) override { glue_ = &glue; }
  bool Create() override {
    ProgramFrameOptions options;
    options.settingsStore = settingsStore_;
    options.glue = glue_;
    options.checkForUpdates = [] {
      Shell::CPelmoraApp* app = Shell::CPelmoraApp::Instance();
      return app != nullptr && app->CheckForUpdatesAtStartup();
    };
    frame_ = CreateMainFrame(Configuration::Instance(), Session::Instance().Experiment(), InterfaceManager::Instance(),
                             std::move(options));
    if (frame_->OnCreate() != 0) {
      frame_.reset();
      return false;
    }
    termination_ = std::make_unique<TerminationWatch>(*frame_);
    fileHost_ = std::make_unique<FrameFileHost>(*frame_, Configuration::Instance(), Session::Instance().Experiment());
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
    return true;
  }
  Shell::FileCommandsHost* FileHost() override { return fileHost_.get(); }
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
    if (frame_) frame_->UpdatePaneLayout(false, false);
  }

 private:
  // Declared after the frame: go before it.
  std::unique_ptr<CMainFrame> frame_;
  std::unique_ptr<TerminationWatch> termination_;
  std::unique_ptr<FrameFileHost> fileHost_;
  std::unique_ptr<FrameApplicationLink> application_;
  OS::RegistryStore* settingsStore_ = nullptr;
  Shell::TraceGlue* glue_ = nullptr;
};

}  // namespace

std::unique_ptr<Shell::AppFrame> MakeMainAppFrame() { return std::make_unique<MainAppFrame>(); }

std::unique_ptr<Shell::TraceGlueHost> MakeProgramGlueHost(Shell::DocumentTemplates& templates, Shell::AppFrame& frame) {
  return std::make_unique<Shell::DocumentGlueHost>(templates, [&frame](std::uint32_t id, const std::string& text) {
    return frame.SetCommandText(id, QString::fromStdString(text));
  });
}

}  // namespace ORV
