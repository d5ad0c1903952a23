#pragma once
// Helpers of the GUI test suites.
#include <QImage>
#include <QPoint>
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

// The widget painted at one pixel per widget unit, whatever the screen's
// scale (a grab gives device pixels: half as many again at a scale of 1.5).
QImage RenderAtUnitScale(QWidget& widget);

// Mouse input delivered straight to `widget` at exactly `at`, in its own
// coordinates. QTest's mouse functions pass through the window system in
// device pixels, which moves a point by a pixel on a screen scaled by 1.5;
// these do not. A click is a press and a release; a double click, as QTest
// sends it, a press and the double click.
void MouseMove(QWidget& widget, QPoint at, Qt::MouseButtons held = Qt::NoButton,
               Qt::KeyboardModifiers modifiers = Qt::NoModifier);
void MousePress(QWidget& widget, Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint at);
void MouseRelease(QWidget& widget, Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint at);
void MouseClick(QWidget& widget, Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint at);
void MouseDClick(QWidget& widget, Qt::MouseButton button, Qt::KeyboardModifiers modifiers, QPoint at);

// Renders the widget, saves it as <build>/artifacts/ui/<name>.png (as the
// screen shows it) and returns the picture at one pixel per widget unit,
// whatever the screen's scale, for the tests to probe.
QImage SaveUiArtifact(QWidget& widget, const std::string& name);

}  // namespace ORV::Test
