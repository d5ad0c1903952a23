#pragma once
// Restarting the program: the old instance holds the restart lock from the
// moment it starts its successor until its process ends; the successor,
// started with "--Restart", waits for that lock before it goes on, so it
// never meets the old instance's window, settings or devices.
#include <string>
#include <vector>

#include "platform/os/named_lock.h"

namespace ORV::Shell {

inline constexpr const char* kRestartSwitch = "--Restart";
inline constexpr const char* kRestartLockName = "YOUR_RESTART-MUTEX_NAME";

// True when the command line holds "--Restart" anywhere, also inside another
// argument ("--Restartx"): the arguments are searched as one line.
bool HasRestartSwitch(const std::vector<std::string>& args);

// Start-up: with the switch, waits without a limit until no other instance
// holds the restart lock, and gives it up again at once. True when it waited
// (or found the lock free); false without the switch or when the lock file
// could not be opened.
bool WaitForRestartingInstance(const std::vector<std::string>& args);

// The old instance's side.
class RestartLock {
 public:
  RestartLock() : lock_(kRestartLockName) {}

  // Takes the lock for a restart. When another instance holds it (a restart
  // is already under way), waits for it, gives it up and returns false.
  bool TakeForRestart();
  // Starts this program again with "--Restart"; false with the reason in
  // `error` when it could not be started.
  static bool StartSuccessor(std::string* error = nullptr);
  // The exit: the lock is given up here; the process's end would release it
  // as well.
  void Close() { lock_.Release(); }
  bool Held() const { return lock_.Held(); }

 private:
  OS::NamedLock lock_;
};

}  // namespace ORV::Shell
