#pragma once
// Whether the program can open its windows: Qt ends the process when the
// window system it is told to use is not there, so the program checks first
// and says what is missing.
#include <functional>
#include <string>

namespace ORV::Shell {

// Reads one environment variable (empty when unset).
using EnvironmentReader = std::function<std::string(const char* name)>;

// Empty when a display is there for the Qt platform chosen by
// QT_QPA_PLATFORM (xcb needs DISPLAY, wayland needs WAYLAND_DISPLAY, the
// default needs either, platforms without a screen need nothing); else the
// message for the user.
std::string DisplayProblem(const EnvironmentReader& env);
// The same for this process's environment.
std::string DisplayProblem();

}  // namespace ORV::Shell
