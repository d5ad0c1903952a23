#include "platform/os/folders.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "platform/os/file_io.h"
#include "platform/os/user_file.h"

#ifndef ORV_INSTALLED_DATA_DIR
#define ORV_INSTALLED_DATA_DIR "/usr/local/share/tarvix5"
#endif

namespace ORV::OS {

namespace fs = std::filesystem;

namespace {
std::string EnvOr(const char* name, const std::string& fallback) {
  const char* v = std::getenv(name);
  // The XDG specification says relative values are to be ignored.
  if (v && *v == '/') return v;
  return fallback;
}

std::string StripSlash(std::string s) {
  while (s.size() > 1 && s.back() == '/') s.pop_back();
  return s;
}
}  // namespace

std::string HomeDir() {
  const char* h = std::getenv("HOME");
  if (h && *h) return StripSlash(h);
  if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return StripSlash(pw->pw_dir);
  return "/tmp";
}

std::string ConfigHome() { return StripSlash(EnvOr("XDG_CONFIG_HOME", HomeDir() + "/.config")); }
std::string DataHome() { return StripSlash(EnvOr("XDG_DATA_HOME", HomeDir() + "/.local/share")); }
std::string StateHome() { return StripSlash(EnvOr("XDG_STATE_HOME", HomeDir() + "/.local/state")); }
std::string TempDir() { return StripSlash(EnvOr("TMPDIR", "/tmp")); }

std::string DocumentsDir() {
  // user-dirs.dirs holds lines such as XDG_DOCUMENTS_DIR="$HOME/Documents".
  std::ifstream in(ConfigHome() + "/user-dirs.dirs");
  std::string line;
  const std::string key = "XDG_DOCUMENTS_DIR=\"";
  while (std::getline(in, line)) {
    if (line.rfind(key, 0) != 0) continue;
    std::string v = line.substr(key.size());
    if (auto q = v.find('"'); q != std::string::npos) v.resize(q);
    if (v.rfind("$HOME", 0) == 0) v = HomeDir() + v.substr(5);
    if (!v.empty() && v.front() == '/' && IsDirectory(v)) return StripSlash(v);
  }
  const std::string docs = HomeDir() + "/Documents";
  if (IsDirectory(docs)) return docs;
  return HomeDir();
}

std::string MakerConfigDir() { return ConfigHome() + "/Orvanta"; }
std::string ProductConfigDir() { return MakerConfigDir() + "/Tarvix 5"; }
std::string ProductDataDir() { return DataHome() + "/Orvanta/Tarvix 5"; }
std::string ProductStateDir() { return StateHome() + "/Orvanta/Tarvix 5"; }

std::string ProgramDir() {
  std::error_code ec;
  auto p = fs::read_symlink("/proc/self/exe", ec);
  if (ec) return {};
  return p.parent_path().string();
}

std::string InstalledDataDirOf(const std::string& programDir) {
  const fs::path program(programDir);
  if (program.filename() == "bin" && program.has_parent_path()) {
    return (program.parent_path() / "share" / "tarvix5").string();
  }
  return ORV_INSTALLED_DATA_DIR;
}

std::string InstalledDataDir() { return InstalledDataDirOf(ProgramDir()); }

bool EnsureDir(const std::string& path, unsigned mode) {
  if (path.empty()) return false;
  if (IsDirectory(path)) return true;
  const fs::path p(path);
  if (p.has_parent_path() && p.parent_path() != p) {
    if (!EnsureDir(p.parent_path().string(), mode)) return false;
  }
  if (WriteFaultAt(path) == EROFS) {
    errno = EROFS;
    return false;
  }
  if (::mkdir(path.c_str(), mode) == 0) return true;
  return errno == EEXIST && IsDirectory(path);
}

bool EnsurePrivateDir(const std::string& path) {
  if (path.empty()) return false;
  const fs::path p(path);
  if (p.has_parent_path() && p.parent_path() != p && !EnsureDir(p.parent_path().string(), 0700)) return false;
  if (!IsDirectory(path) && WriteFaultAt(path) == EROFS) {
    errno = EROFS;
    return false;
  }
  if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) return false;
  if ((st.st_mode & 0777) != 0700 && ::chmod(path.c_str(), 0700) != 0) return false;
  return true;
}

bool IsBareFileName(std::string_view name) {
  if (name.empty() || name.size() > 255 || name == "." || name == "..") return false;
  return name.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos;
}

bool IsOwnedDirectory(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid();
}

std::string MakePrivateWorkingDir(std::string_view prefix) {
  const std::string base = TempDir();
  EnsureDir(base, 0700);
  std::string tmpl = base + "/" + std::string(prefix) + "XXXXXX";
  std::vector<char> buf(tmpl.begin(), tmpl.end());
  buf.push_back('\0');
  if (!::mkdtemp(buf.data())) return {};
  return std::string(buf.data());
}

bool RemoveTree(const std::string& path) {
  if (path.empty()) return false;
  std::error_code ec;
  fs::remove_all(fs::path(path), ec);  // does not follow symbolic links
  return !ec;
}

bool PathExists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

bool IsDirectory(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool SyncPath(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

bool ReadFile(const std::string& path, std::string& out, std::uint64_t maxBytes) {
  out.clear();
  FileCheck check;
  const int fd = OpenUserFile(path, maxBytes, check);
  if (fd < 0) return check.problem == FileProblem::Empty;
  bool ok = true;
  try {
    out.resize(static_cast<std::size_t>(check.size));
  } catch (const std::exception&) {
    ok = false;
  }
  std::size_t done = 0;
  while (ok && done < out.size()) {
    const ssize_t n = ::read(fd, out.data() + done, out.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  ::close(fd);
  // A file that shrank meanwhile gives what it still held.
  out.resize(done);
  return ok;
}

}  // namespace ORV::OS
