#pragma once
// The main frame as the application object makes it (shell/app/app_frame.h):
// set MakeMainAppFrame as the application's frame factory.
#include <memory>

#include "shell/app/app_frame.h"

namespace ORV {

std::unique_ptr<Shell::AppFrame> MakeMainAppFrame();

}  // namespace ORV
