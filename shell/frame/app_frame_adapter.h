#pragma once
// The main frame as the application object makes it (shell/app/app_frame.h):
// the program's owner sets, as the application's frame factory, a call of
// MakeMainAppFrame on the objects it owns, and MakeProgramGlueHost as its
// trace glue's host.
#include <memory>

#include "shell/app/app_frame.h"
#include "shell/glue/trace_glue.h"

namespace ORV {
class Configuration;
class ExperimentData;
class InterfaceManager;
namespace Shell {
class DocumentTemplates;
}

// What the main frame works on; the program's owner makes these, and they
// outlive the frame.
struct MainFrameWorld {
  Configuration& configuration;
  ExperimentData& experiment;
  InterfaceManager& instruments;
};

// The frame on `world`, for `app`, which outlives it.
std::unique_ptr<Shell::AppFrame> MakeMainAppFrame(const MainFrameWorld& world, Shell::AppCommands& app);
std::unique_ptr<Shell::TraceGlueHost> MakeProgramGlueHost(Shell::DocumentTemplates& templates, Shell::AppFrame& frame);

}  // namespace ORV
