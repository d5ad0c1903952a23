#pragma once
// Instance markers: a running main window of this program, or of one of its
// earlier versions, is found by a per-user marker named after its window
// class ("Tarvix 5"; the earlier versions "Tarvix 4", "Tarvix" and
// "Tarvix II"). A marker is a lock its instance holds while its main window
// exists; the kernel drops it when the process ends.
#include <cstdint>
#include <string>

#include "platform/os/named_lock.h"

namespace ORV::Shell {

inline constexpr const char* kMainWindowClass = "Tarvix 5";
inline constexpr const char* kEarlierWindowClasses[] = {"Tarvix 4", "Tarvix", "Tarvix II"};

// The lock name of a window class's marker.
std::string InstanceMarkerName(const std::string& windowClass);

// What start-up finds: nothing (0), this version running (the id of the
// message "One instance of the application is already running "), or an
// earlier version (the id of "An instance of an earlier version ...").
std::uint32_t FindRunningInstance();

// Held by the instance whose main window exists.
class InstanceMarker {
 public:
  explicit InstanceMarker(const std::string& windowClass = kMainWindowClass);
  // False when another instance holds the marker. A marker that cannot be
  // made at all (no runtime folder) does not stop the program: true, with
  // a warning in the event log.
  bool Take();
  void Drop() { lock_.Release(); }
  bool Held() const { return lock_.Held(); }

 private:
  OS::NamedLock lock_;
};

}  // namespace ORV::Shell
