#include "test_support.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <mutex>

#include "core/base/event_log.h"
#include "platform/os/folders.h"

namespace ORV::Test {

unsigned FileMode(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

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
  const std::string dirs[5] = {r + "/home", r + "/home/.config", r + "/home/.local/share", r + "/home/.local/state",
                               r + "/tmp"};
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
constexpr const char* kCommaLocale = "de_DE.UTF-8";

bool CommaLocaleWorks() {
  const bool ok = std::setlocale(LC_NUMERIC, kCommaLocale) != nullptr;
  std::setlocale(LC_NUMERIC, "C");
  return ok;
}

// Compiles the locale into <folder>/de_DE.UTF-8. It is built in a private
// folder beside it and renamed into place, so test processes running side by
// side never see half a locale.
bool CompileCommaLocale(const std::string& folder) {
  const std::string target = folder + "/" + kCommaLocale;
  if (OS::IsDirectory(target)) return true;
  if (!OS::EnsureDir(folder)) return false;
  std::string scratch = folder + "/build-XXXXXX";
  if (!::mkdtemp(scratch.data())) return false;
  const std::string built = scratch + "/" + kCommaLocale;
  const std::string cmd = "localedef -i de_DE -f UTF-8 '" + built + "' >/dev/null 2>&1";
  // localedef may warn (non-zero exit) and still write a usable locale.
  if (std::system(cmd.c_str()) != 0 && !OS::IsDirectory(built)) {
    OS::RemoveTree(scratch);
    return false;
  }
  // Losing the race to another process is fine: its locale is as good.
  std::rename(built.c_str(), target.c_str());
  OS::RemoveTree(scratch);
  return OS::IsDirectory(target);
}

// Makes de_DE.UTF-8 available once per process: the system's own, else one
// compiled into ORV_TEST_LOCALE_DIR (shared by the test runs of a build), else
// into a private folder that lives as long as the process.
bool PrepareCommaLocale() {
  static std::once_flag once;
  static bool ok = false;
  std::call_once(once, [] {
    if (CommaLocaleWorks()) {
      ok = true;
      return;
    }
    std::string folder;
    if (const char* shared = std::getenv("ORV_TEST_LOCALE_DIR"); shared && *shared) folder = shared;
    if (folder.empty() || !CompileCommaLocale(folder)) {
      static const std::string own = OS::MakePrivateWorkingDir("orv-locale-");
      std::atexit([] { OS::RemoveTree(own); });
      folder = own;
      if (folder.empty() || !CompileCommaLocale(folder)) return;
    }
    setenv("LOCPATH", folder.c_str(), 1);
    ok = CommaLocaleWorks();
  });
  return ok;
}
}  // namespace

CommaLocale::CommaLocale() {
  if (!PrepareCommaLocale()) {
    ADD_FAILURE() << "no locale with a decimal comma could be made (needs the 'locales' package)";
    return;
  }
  active_ = std::setlocale(LC_ALL, kCommaLocale) != nullptr;
  if (!active_ || std::localeconv()->decimal_point[0] != ',') {
    ADD_FAILURE() << "de_DE.UTF-8 does not use a decimal comma";
    active_ = false;
  }
}

CommaLocale::~CommaLocale() { std::setlocale(LC_ALL, "C"); }

}  // namespace ORV::Test
