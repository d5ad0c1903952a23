// Built into libFreshet.so only: a host that runs a Qt application gets the
// update dialogs; the installer program and hosts without one keep the
// windowless flow.
#include <QApplication>
#include <QThread>

#include "updater/ui/update_dialogs.h"

namespace ORV::Freshet {
namespace {

FlowPresenter* DialogsWhenQtRuns() {
  const QCoreApplication* app = QCoreApplication::instance();
  if (qobject_cast<const QApplication*>(app) == nullptr || QThread::currentThread() != app->thread()) return nullptr;
  static DialogPresenter dialogs;
  return &dialogs;
}

// Registered when the library is loaded.
const bool g_registered = (SetPresenterProvider(&DialogsWhenQtRuns), true);

}  // namespace
}  // namespace ORV::Freshet
