#include "platform/os/file_io.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>

namespace ORV::OS {

namespace {

std::atomic<bool> g_faultsSet{false};
std::mutex g_faultsMutex;

struct Fault {
  int error = 0;
  std::uint64_t room = 0;  // bytes still taken before the writes fail
  bool atFlush = false;    // the writes go in; the flush to disk fails
};

std::map<std::string, Fault>& Faults() {
  static std::map<std::string, Fault> faults;
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

// The fault of the innermost faulted folder that holds `path`; nullptr when
// none. Called with the faults locked.
Fault* FaultOfPath(const std::string& path) {
  Fault* found = nullptr;
  std::size_t depth = 0;
  for (auto& [folder, fault] : Faults()) {
    const bool inside = path == folder || (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
                                           (folder == "/" || path[folder.size()] == '/'));
    if (inside && folder.size() >= depth) {
      found = &fault;
      depth = folder.size();
    }
  }
  return found;
}

// The file open as `fd`, by its name.
std::string PathOf(int fd) {
  char target[4096];
  const std::string link = "/proc/self/fd/" + std::to_string(fd);
  const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
  return n > 0 ? std::string(target, static_cast<std::size_t>(n)) : std::string();
}

// How many of `size` bytes a write into `fd` may put into its file; they are
// taken from the room of the folder's fault. `error` is the fault met by the
// rest, 0 when all may go.
std::size_t Room(int fd, std::size_t size, int& error) {
  error = 0;
  if (!g_faultsSet.load(std::memory_order_relaxed) || size == 0) return size;
  const std::string path = PathOf(fd);
  if (path.empty()) return size;
  std::lock_guard lock(g_faultsMutex);
  Fault* fault = FaultOfPath(path);
  if (fault == nullptr || fault->atFlush) return size;
  const std::size_t room = static_cast<std::size_t>(std::min<std::uint64_t>(fault->room, size));
  fault->room -= room;
  if (room < size) error = fault->error;
  return room;
}

int ErrorOf(const std::string& path) {
  std::lock_guard lock(g_faultsMutex);
  const Fault* fault = FaultOfPath(path);
  return fault != nullptr && !fault->atFlush && fault->room == 0 ? fault->error : 0;
}

}  // namespace

void SetWriteFault(const std::string& folder, int error, std::uint64_t after) {
  std::lock_guard lock(g_faultsMutex);
  const std::string key = Canonical(folder);
  if (error == 0) {
    Faults().erase(key);
  } else {
    Faults()[key] = Fault{error, after};
  }
  g_faultsSet = !Faults().empty();
}

void SetFlushFault(const std::string& folder, int error) {
  std::lock_guard lock(g_faultsMutex);
  const std::string key = Canonical(folder);
  if (error == 0) {
    Faults().erase(key);
  } else {
    Faults()[key] = Fault{error, 0, true};
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
  return ErrorOf(Canonical(path));
}

std::optional<std::uint64_t> FreeBytes(const std::string& folder) {
  std::error_code ec;
  const std::filesystem::space_info space = std::filesystem::space(folder, ec);
  if (ec) return std::nullopt;
  std::uint64_t free = space.available;
  if (g_faultsSet.load(std::memory_order_relaxed)) {
    std::lock_guard lock(g_faultsMutex);
    // A read-only disk keeps its free space: it refuses the files instead.
    const Fault* fault = FaultOfPath(Canonical(folder));
    if (fault != nullptr && fault->error == ENOSPC && !fault->atFlush) free = std::min(free, fault->room);
  }
  return free;
}

int WriteFaultOf(int fd) {
  if (!g_faultsSet.load(std::memory_order_relaxed) || fd < 0) return 0;
  const std::string path = PathOf(fd);
  return path.empty() ? 0 : ErrorOf(path);
}

std::string WriteErrorText(int error) { return error != 0 ? std::strerror(error) : "the reason is not known"; }

bool FlushToDisk(int fd, bool dataOnly) {
  if (g_faultsSet.load(std::memory_order_relaxed)) {
    const std::string path = PathOf(fd);
    std::lock_guard lock(g_faultsMutex);
    const Fault* fault = path.empty() ? nullptr : FaultOfPath(path);
    if (fault != nullptr && fault->atFlush) {
      errno = fault->error;
      return false;
    }
  }
  return (dataOnly ? ::fdatasync(fd) : ::fsync(fd)) == 0;
}

std::size_t WriteAll(int fd, const void* data, std::size_t size) {
  int fault = 0;
  const std::size_t allowed = Room(fd, size, fault);
  const auto* p = static_cast<const std::uint8_t*>(data);
  std::size_t done = 0;
  while (done < allowed) {
    const ssize_t n = ::write(fd, p + done, allowed - done);
    if (n < 0 && errno == EINTR) continue;
    if (n == 0) errno = EIO;  // no progress, and no call said why
    if (n <= 0) return done;
    done += static_cast<std::size_t>(n);
  }
  if (done < size) errno = fault;
  return done;
}

bool WriteAllAt(int fd, const void* data, std::size_t size, std::uint64_t offset) {
  int fault = 0;
  const std::size_t allowed = Room(fd, size, fault);
  const auto* p = static_cast<const std::uint8_t*>(data);
  std::size_t done = 0;
  while (done < allowed) {
    const ssize_t n = ::pwrite(fd, p + done, allowed - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n == 0) errno = EIO;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  if (done < size) {
    errno = fault;
    return false;
  }
  return true;
}

}  // namespace ORV::OS
