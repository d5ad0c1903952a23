#pragma once
// Services of the application object for the rest of the program.
//
//   - InitApplicationServices, called right after the QApplication is made:
//     numbers are formatted and parsed with "." whatever the user's locale
//     (Qt sets every locale category from the environment), sizes follow the
//     screen's DPI, and the core's user-interface dispatcher runs its calls
//     on this GUI thread (RunOnUiThread: inline on the GUI thread, waited for
//     from a worker);
//   - file dialogs from the filter strings the program keeps
//     ("AVI Files (*.avi)|*.avi|All Files (*.*)||"), with the default
//     extension added to a name typed without one;
//   - the wait cursor while a command runs.
//
// Message boxes are message_box.h; timers by id are MessageWindow's.
#include <QString>
#include <QWidget>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ORV::UI {

void InitApplicationServices();

// The Qt filter list of a "description|patterns|...||" filter string:
// descriptions joined by ";;", each ending in its patterns in parentheses
// ("*.*" and an empty pattern list stand for every file, "*").
QString QtFileFilter(std::string_view filter);

// `path` with ".ext" added when its file name has no extension; unchanged
// when `defaultExtension` is empty. The extension may be given with or
// without its dot.
std::string AppendDefaultExtension(const std::string& path, std::string_view defaultExtension);

// The folder a file dialog opens in: `folder` when it exists, else the
// user's documents folder when that exists, else the home folder.
QString DialogStartFolder(const std::string& folder);

struct FileDialogRequest {
  bool save = false;  // a save dialog (asks before replacing a file)
  QString title;
  std::string filter;            // "description|patterns|...||"
  std::string defaultExtension;  // "tvx" or ".tvx"; may be empty
  std::string folder;            // initial folder (see DialogStartFolder); may be empty
  std::string fileName;          // initial file name; may be empty
};

// Asks for a file; nothing when the user cancels. GUI thread.
std::optional<std::string> AskForFile(QWidget* owner, const FileDialogRequest& request);

// While one exists (tests), AskForFile shows nothing: each request is
// recorded and answered from the script (a missing answer cancels).
class ScriptedFileDialogs {
 public:
  ScriptedFileDialogs();
  ~ScriptedFileDialogs();
  ScriptedFileDialogs(const ScriptedFileDialogs&) = delete;
  ScriptedFileDialogs& operator=(const ScriptedFileDialogs&) = delete;

  // The path the user picks or types in the next dialog; nothing cancels.
  void Answer(std::optional<std::string> path) { answers_.push_back(std::move(path)); }
  const std::vector<FileDialogRequest>& Asked() const { return asked_; }

 private:
  friend std::optional<std::string> AskForFile(QWidget*, const FileDialogRequest&);
  std::deque<std::optional<std::string>> answers_;
  std::vector<FileDialogRequest> asked_;
};

// Shows the wait cursor over the whole application while it exists.
class CWaitCursor {
 public:
  CWaitCursor();
  ~CWaitCursor();
  CWaitCursor(const CWaitCursor&) = delete;
  CWaitCursor& operator=(const CWaitCursor&) = delete;
};

}  // namespace ORV::UI
