#include "platform/os/file_replace.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <vector>

#include "platform/os/file_io.h"
#include "platform/os/folders.h"

namespace ORV::OS {

namespace {

std::atomic<bool> g_interruptReplacement{false};

constexpr std::string_view kTempPrefix = ".";
constexpr std::string_view kTempSuffix = ".tmpXXXXXX";

}  // namespace

void SetAtomicWriteInterruptForTesting(bool interrupt) { g_interruptReplacement = interrupt; }

std::string ReplacementTempName(std::string_view targetName) {
  constexpr std::size_t kRoom = NAME_MAX - kTempPrefix.size() - kTempSuffix.size();
  std::size_t keep = std::min(targetName.size(), kRoom);
  // Step back over UTF-8 continuation bytes so no character is split.
  while (keep > 0 && keep < targetName.size() && (static_cast<unsigned char>(targetName[keep]) & 0xC0) == 0x80) --keep;
  std::string name(kTempPrefix);
  name.append(targetName.substr(0, keep));
  name.append(kTempSuffix);
  return name;
}

FileReplacement::FileReplacement(std::string target) : target_(std::move(target)) {
  const std::size_t slash = target_.find_last_of('/');
  folder_ = slash == std::string::npos ? std::string(".") : target_.substr(0, slash == 0 ? 1 : slash);
  const std::string_view name =
      slash == std::string::npos ? std::string_view(target_) : std::string_view(target_).substr(slash + 1);
  if (name.empty()) return;
  // A folder on a read-only disk takes no new file.
  if (WriteFaultAt(folder_) == EROFS) {
    errno = EROFS;
    return;
  }
  std::string path = folder_ + "/" + ReplacementTempName(name);
  std::vector<char> buf(path.begin(), path.end());
  buf.push_back('\0');
  fd_ = ::mkostemp(buf.data(), O_CLOEXEC);
  if (fd_ < 0) return;
  temp_ = buf.data();
  struct stat st {};
  ::fchmod(fd_, ::stat(target_.c_str(), &st) == 0 ? (st.st_mode & 07777) : kNewFileMode);
}

FileReplacement::~FileReplacement() { Abandon(); }

void FileReplacement::Abandon() {
  // The clean-up keeps the reason of the step that failed.
  const int error = errno;
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temp_.empty()) ::unlink(temp_.c_str());
  temp_.clear();
  flushed_ = false;
  errno = error;
}

bool FileReplacement::Flush() {
  if (flushed_) return true;
  if (fd_ < 0) return false;
  // A disk that takes the bytes into memory may refuse them only here: the
  // first failed step's reason is the one kept.
  int error = FlushToDisk(fd_) ? 0 : errno;
  if (::close(fd_) != 0 && error == 0) error = errno;
  fd_ = -1;
  if (error != 0) {
    errno = error;
    Abandon();
    return false;
  }
  flushed_ = true;
  return true;
}

bool FileReplacement::Commit() {
  if (!Flush()) return false;
  if (g_interruptReplacement) {
    temp_.clear();  // left behind, as after a crash
    flushed_ = false;
    return false;
  }
  if (::rename(temp_.c_str(), target_.c_str()) != 0) {
    Abandon();
    return false;
  }
  temp_.clear();
  flushed_ = false;
  SyncPath(folder_);
  return true;
}

bool AtomicWriteFile(const std::string& path, std::span<const std::uint8_t> data) {
  FileReplacement replacement(path);
  if (!replacement.IsOpen()) return false;
  if (WriteAll(replacement.Descriptor(), data.data(), data.size()) != data.size()) return false;
  return replacement.Commit();
}

bool AtomicWriteFile(const std::string& path, std::string_view data) {
  return AtomicWriteFile(
      path, std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(data.data()), data.size()));
}

}  // namespace ORV::OS
