#include "shell/app/restart.h"

#include <filesystem>
#include <system_error>

#include "platform/os/child_process.h"

namespace ORV::Shell {

bool HasRestartSwitch(const std::vector<std::string>& args) {
  std::string line;
  for (const std::string& arg : args) {
    line += arg;
    line += ' ';
  }
  return line.find(kRestartSwitch) != std::string::npos;
}

bool WaitForRestartingInstance(const std::vector<std::string>& args) {
  if (!HasRestartSwitch(args)) return false;
  OS::NamedLock lock(kRestartLockName);
  if (!lock.Acquire()) return false;
  lock.Release();
  return true;
}

bool RestartLock::TakeForRestart() {
  switch (lock_.TryAcquire()) {
    case OS::NamedLock::TryResult::Acquired:
      return true;
    case OS::NamedLock::TryResult::HeldElsewhere:
      lock_.Acquire();
      lock_.Release();
      return false;
    case OS::NamedLock::TryResult::Failed:
      return false;
  }
  return false;
}

bool RestartLock::StartSuccessor(std::string* error) {
  std::error_code ec;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) {
    if (error) *error = "the program's own path is unknown: " + ec.message();
    return false;
  }
  OS::ChildProcess child;
  // The child runs on after this object (and this process) has gone.
  return child.Start(self.string(), {kRestartSwitch}, "", error);
}

}  // namespace ORV::Shell
