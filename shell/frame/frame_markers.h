#pragma once
// The marker commands of the main frame besides the function keys: "Markers"
// edits the texts of F1 to F12 in the "Marker strings" dialog (CMarkerDlg),
// "Add" puts a marker with a typed text at the current time through the
// first trace view. GUI thread.
#include <functional>
#include <vector>

#include "platform/ui/command_router.h"
#include "platform/ui/dialog.h"
#include "shell/marker_strings.h"

class QComboBox;
class QLineEdit;
class QPushButton;

namespace ORV {
class Configuration;
namespace Shell {
class GlueTraceView;
class TraceGlue;
}  // namespace Shell

inline constexpr UI::CommandId ID_MARKER_SETTINGS_BUTTON = 32784;
inline constexpr UI::CommandId IDC_ADD_MARKER_BUTTON = 1169;

// The "Marker strings" dialog over the configuration's twelve texts; OK
// stores them, Cancel (the default button) leaves them.
class CMarkerDlg : public UI::Dialog {
 public:
  static constexpr int kIdKey = 1019;
  static constexpr int kIdText = 1005;

  explicit CMarkerDlg(Configuration& configuration, QWidget* owner = nullptr);
  QComboBox* Key() const { return key_; }
  QLineEdit* Text() const { return text_; }

 protected:
  bool OnInitDialog() override;
  void OnOK() override;

 private:
  void OnSelChangeKey(int index);

  Configuration& configuration_;
  MarkerStrings strings_;
  QComboBox* key_;
  QLineEdit* text_;
  QPushButton* ok_;
  QPushButton* cancel_;
};

// The trace view "Add" marks the experiment from: the active view when it
// shows a trace and has a graph, else the first view that does; null when
// no view shows a trace.
Shell::GlueTraceView* MarkerView(const std::vector<Shell::GlueTraceView*>& views, Shell::GlueTraceView* active);

// "Add": a marker at the current time of that view, whose text the view
// then asks for: while the record collects the experiment clock's time,
// otherwise the time at the right edge of the view's graph. False when no
// view shows a trace.
bool AddMarkerOnView(const std::vector<Shell::GlueTraceView*>& views, Shell::GlueTraceView* active);

// Registers "Markers" (always enabled; `updateButtons` runs after OK) and
// "Add" (enabled while a trace view shows a trace) on the router;
// `activeView` gives the trace view the user works in (null when the
// active document is none).
void AddMarkerCommands(UI::CommandRouter& router, QWidget* owner, Configuration& configuration, Shell::TraceGlue* glue,
                       std::function<void()> updateButtons, std::function<Shell::GlueTraceView*()> activeView = {});

}  // namespace ORV
