#include "platform/os/named_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/os/folders.h"

namespace ORV::OS {

namespace {

// A folder only this user can put files into: the user's own, and writable
// by no one else.
bool IsPrivateToUser(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
         (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

}  // namespace

std::string UserRuntimeDir() {
  const char* xdg = std::getenv("XDG_RUNTIME_DIR");
  if (xdg && *xdg && IsPrivateToUser(xdg)) return xdg;
  // The shared temporary folder: anyone may have made the folder of this
  // name first (or a link by that name). Such a folder is refused, never
  // used or changed, and the user's own state folder serves instead.
  const std::string shared = TempDir() + "/orvanta-" + std::to_string(::getuid());
  if (EnsurePrivateDir(shared)) return shared;
  const std::string own = ProductStateDir() + "/run";
  return EnsurePrivateDir(own) ? own : std::string();
}

NamedLock::NamedLock(std::string name) {
  const std::string dir = UserRuntimeDir();
  if (!dir.empty()) path_ = dir + "/" + name + ".lock";
}

NamedLock::~NamedLock() {
  if (fd_ >= 0) ::close(fd_);  // also gives the lock up
}

bool NamedLock::Open() {
  if (fd_ >= 0) return true;
  if (path_.empty()) return false;
  fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  return fd_ >= 0;
}

NamedLock::TryResult NamedLock::TryAcquire() {
  if (held_) return TryResult::Acquired;
  if (!Open()) return TryResult::Failed;
  if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) {
    held_ = true;
    return TryResult::Acquired;
  }
  return errno == EWOULDBLOCK ? TryResult::HeldElsewhere : TryResult::Failed;
}

bool NamedLock::Acquire() {
  if (held_) return true;
  if (!Open()) return false;
  int rc;
  do {
    rc = ::flock(fd_, LOCK_EX);
  } while (rc != 0 && errno == EINTR);
  held_ = rc == 0;
  return held_;
}

void NamedLock::Release() {
  if (!held_) return;
  ::flock(fd_, LOCK_UN);
  held_ = false;
}

bool NamedLock::IsHeldElsewhere(const std::string& name) {
  NamedLock probe(name);
  return probe.TryAcquire() == TryResult::HeldElsewhere;
}

}  // namespace ORV::OS
