#pragma once
// What the application object needs of the program's main frame. The frame
// is made by a factory the program sets before the application runs, so the
// application does not depend on the frame's own code.
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/ui/command_router.h"

class QWidget;

namespace ORV {
class ActionViewRows;
class TraceWindowHost;
namespace OS {
class RegistryStore;
}
namespace UI {
class DocumentArea;
}
}  // namespace ORV

namespace ORV::Shell {

class DocumentTemplates;
class ExperimentFileCommands;
class FileCommandsHost;
class TraceGlue;

// The sheet the experiment's actions are listed on (the frame's action
// sheet), which the frame hands the application while it has one.
class ActionSheet {
 public:
  virtual ~ActionSheet() = default;
  // The sheet's rows; null while the sheet is not open.
  virtual ActionViewRows* Rows() = 0;
  virtual void Add(std::uint32_t time, const std::string& text) = 0;
};

// What the main frame asks of the application object, which hands itself
// to the frame's factory.
class AppCommands {
 public:
  virtual ~AppCommands() = default;
  // The automatic update check at start-up; true when it ran.
  virtual bool CheckForUpdatesAtStartup() = 0;
  // The experiment file commands; null before the frame gave them a host.
  virtual ExperimentFileCommands* FileCommands() const = 0;
  // Starts a fresh copy of the program and closes this one.
  virtual bool Restart() = 0;
  // The about box, modal.
  virtual void OnAppAbout() = 0;
  // Where the actions go from now on; null: to no sheet.
  virtual void UseActionSheet(ActionSheet* sheet) = 0;
};

class AppFrame {
 public:
  virtual ~AppFrame() = default;

  // The settings store the application loads the configuration from; the
  // frame saves the configuration there. Called before Create.
  virtual void UseSettingsStore(OS::RegistryStore& store) { (void)store; }
  // The application's trace glue, which the frame's time window drives the
  // trace views through. Called before Create when the application has one.
  virtual void UseTraceGlue(TraceGlue& glue) { (void)glue; }
  // The application's document templates, whose views the frame makes.
  // Called before Create.
  virtual void UseDocumentTemplates(DocumentTemplates& templates) { (void)templates; }
  // Creates the main window: instruments, cameras, ribbon, panes. False when
  // the creation did not complete; the application then ends.
  virtual bool Create() = 0;
  // The main window, once created.
  virtual QWidget* Window() = 0;
  // Where documents open (trace windows and sheets); null when the frame
  // has no document area.
  virtual UI::DocumentArea* Documents() = 0;
  // Sets the text of a ribbon button; false when there is no such button.
  virtual bool SetCommandText(UI::CommandId id, const QString& text) = 0;
  // The frame's close handler: stops what the frame started, asks the save
  // questions, saves the settings and closes the window, which ends the
  // application's event loop.
  virtual void OnClose() = 0;
  // A running backup was imported at start-up: live trace off, the action
  // sheet opened and filled, the video panes at their first frame, the panes
  // laid out, the time slider, time window and navigation bar set for the
  // imported data.
  virtual void OnBackupImported() = 0;
  // What the experiment file commands need of the frame and its views
  // (usually a QtFileCommandsHost); null while the frame has none, and
  // then the application has no file commands.
  virtual FileCommandsHost* FileHost() { return nullptr; }
  // The experiment file commands the application made on FileHost, once
  // made (null before they go): every save of the experiment the frame
  // starts is theirs.
  virtual void UseFileCommands(ExperimentFileCommands* commands) { (void)commands; }
  // The open trace windows that a save records and an open restores; null
  // when there are none to keep.
  virtual TraceWindowHost* TraceWindows() { return nullptr; }
  // A settings archive named on the command line (the desktop's open of
  // one): loaded as Load User Config loads it; false when it was not.
  virtual bool OpenSettingsArchive(const std::string& path) {
    (void)path;
    return false;
  }
};

// Makes the main frame for the application handed in, which outlives it.
using AppFrameFactory = std::function<std::unique_ptr<AppFrame>(AppCommands& app)>;

// The frame used when the program has none set: a plain main window with
// the document area.
std::unique_ptr<AppFrame> MakePlaceholderFrame();

}  // namespace ORV::Shell
