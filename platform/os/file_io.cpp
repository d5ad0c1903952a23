#include "platform/os/file_io.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <map>
#include <mutex>

namespace ORV::OS {

namespace {

std::atomic<bool> g_faultsSet{false};
std::mutex g_faultsMutex;
std::map<std::string, int>& Faults() {
  static std::map<std::string, int> faults;
  return faults;
}

// The path with its links resolved as far as it exists, so that a folder and
// the files found open in it compare alike.
std::string Canonical(const std::string& path) {
  std::error_code ec;
  std::string canonical = std::filesystem::weakly_canonical(path, ec).string();
  if (ec || canonical.empty()) canonical = path;
  while (canonical.size() > 1 && canonical.back() == '/') canonical.pop_back();
  return canonical;
}

// The fault of the innermost faulted folder that holds `path`.
int FaultOfPath(const std::string& path) {
  std::lock_guard lock(g_faultsMutex);
  int found = 0;
  std::size_t depth = 0;
  for (const auto& [folder, error] : Faults()) {
    const bool inside = path == folder || (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
                                           (folder == "/" || path[folder.size()] == '/'));
    if (inside && folder.size() >= depth) {
      found = error;
      depth = folder.size();
    }
  }
  return found;
}

bool Refused(int fd) {
  if (!g_faultsSet.load(std::memory_order_relaxed)) return false;
  const int error = WriteFaultOf(fd);
  if (error == 0) return false;
  errno = error;
  return true;
}

}  // namespace

void SetWriteFault(const std::string& folder, int error) {
  std::lock_guard lock(g_faultsMutex);
  const std::string key = Canonical(folder);
  if (error == 0) {
    Faults().erase(key);
  } else {
    Faults()[key] = error;
  }
  g_faultsSet = !Faults().empty();
}

void ClearWriteFaults() {
  std::lock_guard lock(g_faultsMutex);
  Faults().clear();
  g_faultsSet = false;
}

int WriteFaultAt(const std::string& path) {
  if (!g_faultsSet.load(std::memory_order_relaxed) || path.empty()) return 0;
  return FaultOfPath(Canonical(path));
}

int WriteFaultOf(int fd) {
  if (!g_faultsSet.load(std::memory_order_relaxed) || fd < 0) return 0;
  char target[4096];
  const std::string link = "/proc/self/fd/" + std::to_string(fd);
  const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
  if (n <= 0) return 0;
  return FaultOfPath(std::string(target, static_cast<std::size_t>(n)));
}

std::size_t WriteAll(int fd, const void* data, std::size_t size) {
  if (size > 0 && Refused(fd)) return 0;
  const auto* p = static_cast<const std::uint8_t*>(data);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd, p + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

bool WriteAllAt(int fd, const void* data, std::size_t size, std::uint64_t offset) {
  if (size > 0 && Refused(fd)) return false;
  const auto* p = static_cast<const std::uint8_t*>(data);
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pwrite(fd, p + done, size - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace ORV::OS
