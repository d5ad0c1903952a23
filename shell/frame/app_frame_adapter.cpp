#include "shell/frame/app_frame_adapter.h"

#include "core/base/configuration.h"
#include "core/experiment/session.h"
#include "instruments/interface_manager.h"
#include "platform/ui/ribbon_bar.h"
#include "shell/frame/program_frame.h"
#include "shell/frame/termination.h"

namespace ORV {
namespace {

class MainAppFrame final : public Shell::AppFrame {
 public:
  bool Create() override {
    frame_ = CreateMainFrame(Configuration::Instance(), Session::Instance().Experiment(), InterfaceManager::Instance());
    if (frame_->OnCreate() != 0) {
      frame_.reset();
      return false;
    }
    termination_ = std::make_unique<TerminationWatch>(*frame_);
    return true;
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
    if (frame_) frame_->UpdatePaneLayout(false, false);
  }

 private:
  // Declared after the frame: goes before it.
  std::unique_ptr<CMainFrame> frame_;
  std::unique_ptr<TerminationWatch> termination_;
};

}  // namespace

std::unique_ptr<Shell::AppFrame> MakeMainAppFrame() { return std::make_unique<MainAppFrame>(); }

}  // namespace ORV
