#include "shell/app/display_check.h"

#include <cstdlib>

namespace ORV::Shell {
namespace {

const char* const kAdvice =
    " Start it from a desktop session, or set QT_QPA_PLATFORM=offscreen to run it without a screen.\n";

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

}  // namespace

std::string DisplayProblem(const EnvironmentReader& env) {
  std::string platform = env("QT_QPA_PLATFORM");
  // "xcb:option=..." and "wayland;xcb" name the first platform tried first.
  platform = platform.substr(0, platform.find_first_of(":;"));
  const bool x11 = !env("DISPLAY").empty();
  const bool wayland = !env("WAYLAND_DISPLAY").empty();
  if (platform.empty()) {
    if (x11 || wayland) return {};
    return std::string(
               "Tarvix 5 cannot open its window: no display is set (DISPLAY and WAYLAND_DISPLAY are "
               "empty, QT_QPA_PLATFORM is not set).") +
           kAdvice;
  }
  if (StartsWith(platform, "xcb") && !x11) {
    return std::string("Tarvix 5 cannot open its window: QT_QPA_PLATFORM is \"") + platform +
           "\" but DISPLAY is not set." + kAdvice;
  }
  if (StartsWith(platform, "wayland") && !wayland) {
    return std::string("Tarvix 5 cannot open its window: QT_QPA_PLATFORM is \"") + platform +
           "\" but WAYLAND_DISPLAY is not set." + kAdvice;
  }
  return {};
}

std::string DisplayProblem() {
  return DisplayProblem([](const char* name) {
    const char* value = std::getenv(name);
    return std::string(value ? value : "");
  });
}

}  // namespace ORV::Shell
