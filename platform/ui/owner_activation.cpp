#include "platform/ui/owner_activation.h"

#include <QApplication>

namespace ORV::UI {

OwnerActivation::~OwnerActivation() {
  if (!window_ || !window_->isVisible() || QApplication::activeModalWidget() != nullptr) return;
  if (QApplication::activeWindow() == nullptr) window_->activateWindow();
}

}  // namespace ORV::UI
