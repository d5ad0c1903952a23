#pragma once
// Locks that stand for the program's named cross-process objects (the restart
// mutex, the main window's class that a second instance looks for): one lock
// file per name in the user's runtime folder, locked with flock(2).
//
// A lock belongs to the open file, so two NamedLock objects conflict with
// each other also inside one process, and the kernel releases a lock when its
// process ends, however it ends. The descriptor is closed on exec, so a
// program started by the holder never inherits the lock.
#include <string>

namespace ORV::OS {

// $XDG_RUNTIME_DIR when it is a folder of the user that no one else may
// write to, else a private folder "orvanta-<uid>" in the temporary folder
// (made when missing). A folder of that name that is not the user's own (made
// by another user, or a link) is left alone, and the private folder "run" in
// the user's state folder serves instead. Empty when none can be had.
std::string UserRuntimeDir();

class NamedLock {
 public:
  // The lock file "<UserRuntimeDir()>/<name>.lock".
  explicit NamedLock(std::string name);
  ~NamedLock();
  NamedLock(const NamedLock&) = delete;
  NamedLock& operator=(const NamedLock&) = delete;

  enum class TryResult { Acquired, HeldElsewhere, Failed };
  // Takes the lock when no one holds it; never blocks. Acquired also when
  // this object holds it already.
  TryResult TryAcquire();
  // Waits without a limit until the lock is ours; false when the lock file
  // cannot be opened.
  bool Acquire();
  // Gives the lock up (nothing when not held).
  void Release();
  bool Held() const { return held_; }

  // True when someone else holds the lock called `name` (tested by taking
  // and giving it up at once).
  static bool IsHeldElsewhere(const std::string& name);

  const std::string& Path() const { return path_; }

 private:
  bool Open();
  std::string path_;
  int fd_ = -1;
  bool held_ = false;
};

}  // namespace ORV::OS
