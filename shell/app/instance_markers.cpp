#include "shell/app/instance_markers.h"

#include "core/base/event_log.h"
#include "platform/ui/string_table.h"

namespace ORV::Shell {

std::string InstanceMarkerName(const std::string& windowClass) { return "window-class " + windowClass; }

std::uint32_t FindRunningInstance() {
  if (OS::NamedLock::IsHeldElsewhere(InstanceMarkerName(kMainWindowClass))) {
    return UI::kOneInstanceApplicationAlreadyString;
  }
  for (const char* earlier : kEarlierWindowClasses) {
    if (OS::NamedLock::IsHeldElsewhere(InstanceMarkerName(earlier))) return UI::kInstanceEarlierVersionTarvixString;
  }
  return 0;
}

InstanceMarker::InstanceMarker(const std::string& windowClass) : lock_(InstanceMarkerName(windowClass)) {}

bool InstanceMarker::Take() {
  switch (lock_.TryAcquire()) {
    case OS::NamedLock::TryResult::Acquired:
      return true;
    case OS::NamedLock::TryResult::HeldElsewhere:
      return false;
    case OS::NamedLock::TryResult::Failed:
      break;
  }
  // No folder for the marker: the program runs, only a second instance
  // would not be found.
  LogWarning("The instance marker '" + lock_.Path() + "' cannot be made; a second instance would not be noticed.");
  return true;
}

}  // namespace ORV::Shell
