#include "shell/app/instance_markers.h"

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

bool InstanceMarker::Take() { return lock_.TryAcquire() == OS::NamedLock::TryResult::Acquired; }

}  // namespace ORV::Shell
