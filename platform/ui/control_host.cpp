#include "platform/ui/control_host.h"

#include <QVBoxLayout>

#include "core/base/dpi.h"
#include "platform/os/stand_in_devices.h"

namespace ORV::UI {

Com::CreateParams ControlCreateParams(QWidget* host, std::int32_t childId,
                                      std::shared_ptr<OS::MessageTarget> parentMessages) {
  Com::CreateParams params;
  params.parent = host;
  params.childId = childId;
  params.parentMessages = std::move(parentMessages);
  params.hostDpi = &QueryDpi;
  params.standIns = OS::OfferedStandInDevices();
  return params;
}

QWidget* ControlParentWidget(const Com::CreateParams& params) { return static_cast<QWidget*>(params.parent); }

QWidget* ControlWidget(const Com::Control& control) { return static_cast<QWidget*>(control.Window()); }

ControlWindow::ControlWindow(const Com::CreateParams& params)
    : QWidget(ControlParentWidget(params)), childId_(params.childId), parentMessages_(params.parentMessages) {
  setObjectName(QStringLiteral("control-%1").arg(childId_));
  show();
}

bool ControlWindow::PostToParent(std::uint32_t message, OS::WPARAM wParam, OS::LPARAM lParam) const {
  return parentMessages_ && parentMessages_->PostMessage(message, wParam, lParam);
}

Com::HRESULT ControlSite::Create(QWidget* host, std::string_view progId, std::int32_t childId,
                                 std::shared_ptr<OS::MessageTarget> parentMessages,
                                 const Com::ControlFactory& factory) {
  Destroy();
  const Com::HRESULT hr =
      factory.Create(progId, ControlCreateParams(host, childId, std::move(parentMessages)), control_);
  if (Com::Failed(hr)) return hr;
  QWidget* w = widget();
  if (!w || !host) return hr;
  if (!host->layout()) {
    layout_ = new QVBoxLayout(host);
    layout_->setContentsMargins(0, 0, 0, 0);
  }
  if (host->layout() == layout_) layout_->addWidget(w);
  return hr;
}

void ControlSite::Destroy() { control_.reset(); }

}  // namespace ORV::UI
