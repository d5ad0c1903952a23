#pragma once
// Shared test fixtures.
#include <sys/resource.h>

#include <csignal>
#include <string>

#include "platform/os/event_log_backend.h"

namespace ORV::Test {

// A fresh private folder, removed with everything in it at destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// The permission bits of a path (symbolic links not followed); 0 when it is missing.
unsigned FileMode(const std::string& path);

// The whole content of a file; empty when it cannot be read.
std::string FileText(const std::string& path);

// Points HOME, XDG_CONFIG_HOME, XDG_DATA_HOME, XDG_STATE_HOME and TMPDIR at
// folders inside a temporary folder for the lifetime of the object, and
// restores them afterwards.
class SandboxedHome {
 public:
  SandboxedHome();
  ~SandboxedHome();
  const std::string& root() const { return dir_.path(); }

 private:
  TempDir dir_;
  std::string saved_[5];
  bool had_[5] = {};
};

// Registers the process event log with an in-memory backend and restores an
// unregistered log at destruction.
class MemoryEventLog {
 public:
  MemoryEventLog();
  ~MemoryEventLog();
  OS::MemoryEventLogBackend& backend() { return backend_; }
  std::string Dump() const { return backend_.Dump(); }

 private:
  OS::MemoryEventLogBackend backend_;
};

// Switches the process to a locale whose decimal point is "," (de_DE.UTF-8,
// compiled with localedef when the system lacks it: once per build into
// $ORV_TEST_LOCALE_DIR, else into a private folder), and back to "C" at
// destruction. Fails the test (never skips) when no such
// locale can be made.
class CommaLocale {
 public:
  CommaLocale();
  ~CommaLocale();
  bool active() const { return active_; }

 private:
  bool active_ = false;
};

// Makes every file write of this process fail beyond `bytes`, as a full disk
// would, for as long as it lives (SIGXFSZ is ignored meanwhile, so the write
// fails with EFBIG instead of ending the process).
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &saved_);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, previousHandler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit saved_{};
  void (*previousHandler_)(int) = nullptr;
};

}  // namespace ORV::Test
