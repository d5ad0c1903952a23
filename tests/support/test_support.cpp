#include "test_support.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <mutex>

#include "core/base/event_log.h"
#include "platform/os/folders.h"

namespace ORV::Test {

TempDir::TempDir() { path_ = OS::MakePrivateWorkingDir("orv-test-"); }
TempDir::~TempDir() { OS::RemoveTree(path_); }

namespace {
const char* kVars[5] = {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME", "TMPDIR"};
}

SandboxedHome::SandboxedHome() {
  for (int i = 0; i < 5; ++i) {
    const char* v = std::getenv(kVars[i]);
    had_[i] = v != nullptr;
    if (v) saved_[i] = v;
  }
  const std::string r = dir_.path();
  const std::string dirs[5] = {r + "/home", r + "/home/.config", r + "/home/.local/share", r + "/home/.local/state", r + "/tmp"};
  for (int i = 0; i < 5; ++i) {
    OS::EnsureDir(dirs[i], 0700);
    setenv(kVars[i], dirs[i].c_str(), 1);
  }
}

SandboxedHome::~SandboxedHome() {
  for (int i = 0; i < 5; ++i) {
    if (had_[i])
      setenv(kVars[i], saved_[i].c_str(), 1);
    else
      unsetenv(kVars[i]);
  }
}

MemoryEventLog::MemoryEventLog() { EventLog().Register(kEventSourceName, &backend_); }
MemoryEventLog::~MemoryEventLog() { EventLog().Deregister(); }

namespace {
// Compiles de_DE.UTF-8 once into a folder that lives as long as the process.
bool PrepareCommaLocale() {
  static std::once_flag once;
  static bool ok = false;
  std::call_once(once, [] {
    if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8")) {
      std::setlocale(LC_NUMERIC, "C");
      ok = true;
      return;
    }
    static std::string dir = OS::MakePrivateWorkingDir("orv-locale-");
    const std::string cmd = "localedef -i de_DE -f UTF-8 '" + dir + "/de_DE.UTF-8' >/dev/null 2>&1";
    if (std::system(cmd.c_str()) != 0 && !OS::IsDirectory(dir + "/de_DE.UTF-8")) return;
    setenv("LOCPATH", dir.c_str(), 1);
    ok = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
    std::setlocale(LC_NUMERIC, "C");
  });
  return ok;
}
}  // namespace

CommaLocale::CommaLocale() {
  if (!PrepareCommaLocale()) {
    ADD_FAILURE() << "no locale with a decimal comma could be made (needs the 'locales' package)";
    return;
  }
  active_ = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
  if (!active_ || std::localeconv()->decimal_point[0] != ',') {
    ADD_FAILURE() << "de_DE.UTF-8 does not use a decimal comma";
    active_ = false;
  }
}

CommaLocale::~CommaLocale() { std::setlocale(LC_ALL, "C"); }

}  // namespace ORV::Test
