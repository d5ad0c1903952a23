// A control with a window, for the tests of the Qt side of controls: it shows
// its caption and posts a message to its host on request.
#include <QPainter>

#include "platform/com/control.h"
#include "platform/ui/control_host.h"

namespace ORV::Test {
namespace {

class CaptionWindow final : public UI::ControlWindow {
 public:
  using ControlWindow::ControlWindow;
  QString caption;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), QColor(0xF0, 0xF4, 0xFF));
    p.setPen(Qt::black);
    p.drawText(rect(), Qt::AlignCenter, caption);
  }
};

class QtTestControl final : public Com::ControlImpl<QtTestControl> {
 public:
  explicit QtTestControl(const Com::CreateParams& p) : window_(new CaptionWindow(p)) { SetWindow(window_.data()); }
  ~QtTestControl() override { delete window_.data(); }

  static const Com::DispatchTable<QtTestControl>& Table() {
    static const Com::DispatchTable<QtTestControl> table = [] {
      Com::DispatchTable<QtTestControl> t;
      t.Property(1, "Caption", &QtTestControl::GetCaption, &QtTestControl::SetCaption);
      t.ReadOnlyProperty(2, "ChildId", &QtTestControl::ChildId);
      t.Method(3, "Notify", &QtTestControl::Notify);
      return t;
    }();
    return table;
  }

 private:
  std::string GetCaption() const { return window_ ? window_->caption.toStdString() : std::string(); }
  void SetCaption(const std::string& text) {
    if (!window_) return;
    window_->caption = QString::fromStdString(text);
    window_->update();
  }
  std::int32_t ChildId() const { return window_ ? window_->childId() : 0; }
  bool Notify(std::int32_t wParam, std::int64_t lParam) {
    return window_ && window_->PostToParent(0x7FC, static_cast<OS::WPARAM>(wParam), static_cast<OS::LPARAM>(lParam));
  }

  QPointer<CaptionWindow> window_;
};

const Com::ControlClass kClasses[] = {
    {"ORVQTTESTCONTROL.QtTestControl.1", &Com::CreateControlOf<QtTestControl>},
};

}  // namespace
}  // namespace ORV::Test

ORV_CONTROL_MODULE(ORV::Test::kClasses)
