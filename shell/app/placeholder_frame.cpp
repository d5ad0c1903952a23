#include <QCloseEvent>
#include <QMainWindow>

#include "platform/ui/document_area.h"
#include "platform/ui/string_table.h"
#include "shell/app/app_frame.h"

namespace ORV::Shell {
namespace {

class PlaceholderFrame : public AppFrame {
 public:
  bool Create() override {
    window_ = std::make_unique<QMainWindow>();
    window_->setWindowTitle(UI::ApplicationTitle());
    window_->setMinimumSize(800, 600);
    area_ = new UI::DocumentArea(window_.get());
    window_->setCentralWidget(area_);
    return true;
  }
  QWidget* Window() override { return window_.get(); }
  UI::DocumentArea* Documents() override { return area_; }
  bool SetCommandText(UI::CommandId, const QString&) override { return false; }
  void OnClose() override {
    if (window_) window_->close();
  }
  void OnBackupImported() override {}

 private:
  std::unique_ptr<QMainWindow> window_;
  UI::DocumentArea* area_ = nullptr;
};

}  // namespace

std::unique_ptr<AppFrame> MakePlaceholderFrame() { return std::make_unique<PlaceholderFrame>(); }

}  // namespace ORV::Shell
