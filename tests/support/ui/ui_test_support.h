#pragma once
// Helpers of the GUI test suites.
#include <QImage>
#include <functional>
#include <string>

class QWidget;

namespace ORV::UI {
class Dialog;
}

namespace ORV::Test {

// Handles the GUI thread's events until `done` holds; false when it still
// does not after `limitMs` (a guard against a hanging test, not a timing
// check).
bool ProcessEventsUntil(const std::function<bool()>& done, int limitMs = 10000);

// Runs dialog.DoModal() with `script` running inside its modal loop. The
// script must end the dialog; one it leaves open fails the test and gives -1.
int RunModal(UI::Dialog& dialog, const std::function<void()>& script);

// Holds the process's DPI at a value while it exists; the screen's DPI
// afterwards.
class ScopedDpi {
 public:
  explicit ScopedDpi(int dpi);
  ~ScopedDpi();
  ScopedDpi(const ScopedDpi&) = delete;
  ScopedDpi& operator=(const ScopedDpi&) = delete;
};

// Renders the widget, saves it as <build>/artifacts/ui/<name>.png and
// returns the picture (at one device pixel per pixel).
QImage SaveUiArtifact(QWidget& widget, const std::string& name);

}  // namespace ORV::Test
