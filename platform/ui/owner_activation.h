#pragma once
// After a modal dialog or message box closes, the window it belonged to
// takes the keyboard again. Desktops that give the focus back by themselves
// make this a no-op; without one (a bare X server, some minimal window
// managers) no window of the program would be active, and the main
// window's keys (Ctrl+S, the function keys' markers) would do nothing until
// the user clicked into it.
#include <QPointer>
#include <QWidget>

namespace ORV::UI {

class OwnerActivation {
 public:
  // `owner` may be null (nothing is done then).
  explicit OwnerActivation(QWidget* owner) : window_(owner ? owner->window() : nullptr) {}
  ~OwnerActivation();
  OwnerActivation(const OwnerActivation&) = delete;
  OwnerActivation& operator=(const OwnerActivation&) = delete;

 private:
  QPointer<QWidget> window_;
};

}  // namespace ORV::UI
