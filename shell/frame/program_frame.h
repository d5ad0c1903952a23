#pragma once
// The main frame on the program's own services: the interface manager and
// its sampling workers, the instrument panes, the camera back-ends, the
// synchronised sampler over the experiment record, the udev hot-plug monitor
// and application-wide function keys.
//
// The application object makes the frame with CreateMainFrame, then calls
// OnCreate (a -1 ends its start-up) and shows it. When the program started
// the simulated lab (ORV_SIMLAB=1), the platform's device lists offer the
// lab's devices, and the frame finds them as it finds hardware.
#include <functional>
#include <memory>

#include "shell/frame/main_frame.h"

namespace ORV {
class FrameViews;
class InterfaceManager;
namespace Shell {
class TraceGlue;
}
namespace OS {
class RegistryStore;
}

struct ProgramFrameOptions {
  // Whether a settings archive was imported during this run.
  std::function<bool()> settingsImported;
  // Where the settings are written at close: the store the application
  // loaded them from. The user's store when null.
  OS::RegistryStore* settingsStore = nullptr;
  // The application's automatic update check at start-up; true when it ran.
  std::function<bool()> checkForUpdates;
  // The application's trace glue, for the frame's time window.
  Shell::TraceGlue* glue = nullptr;
  // The application's documents: the cameras open the main trace view and
  // switch live trace; a collection empties the sheets, marks the views and
  // switches live trace.
  FrameViews* views = nullptr;
};

// The frame on the program's objects, which outlive it (the record carries
// its own experiment clock).
std::unique_ptr<CMainFrame> CreateMainFrame(Configuration& configuration, ExperimentData& experiment,
                                            InterfaceManager& instruments, ProgramFrameOptions options = {});

}  // namespace ORV
