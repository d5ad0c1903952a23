#pragma once
// The main frame as the application object makes it (shell/app/app_frame.h):
// set MakeMainAppFrame as the application's frame factory and
// MakeProgramGlueHost as its trace glue's host.
#include <memory>

#include "shell/app/app_frame.h"
#include "shell/glue/trace_glue.h"

namespace ORV::Shell {
class DocumentTemplates;
}

namespace ORV {

std::unique_ptr<Shell::AppFrame> MakeMainAppFrame();
std::unique_ptr<Shell::TraceGlueHost> MakeProgramGlueHost(Shell::DocumentTemplates& templates, Shell::AppFrame& frame);

}  // namespace ORV
