// The real file system under the experiment file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <vector>

#include "core/experiment/experiment_file.h"
#include "platform/os/file_io.h"
#include "platform/os/file_replace.h"
#include "platform/os/user_file.h"

namespace ORV {
namespace {

// The reason of the last failed operation on this thread.
thread_local int t_lastError = 0;

bool Failed() {
  t_lastError = errno;
  return false;
}

// Writes through a buffer of its own into a descriptor.
class PosixOutputFile final : public OutputFile {
 public:
  explicit PosixOutputFile(const std::string& target) : replacement_(target), fd_(replacement_.Descriptor()) {
    if (IsOpen()) buffer_.reserve(kBufferSize);
  }

  bool IsOpen() const { return replacement_.IsOpen(); }

  bool Write(const void* data, std::size_t size) override {
    if (failed_) return false;
    const auto* p = static_cast<const std::uint8_t*>(data);
    if (buffer_.size() + size > kBufferSize) {
      if (!Drain()) return false;
      if (size >= kBufferSize) {
        failed_ = OS::WriteAll(fd_, p, size) != size;
        return failed_ ? Failed() : true;
      }
    }
    buffer_.insert(buffer_.end(), p, p + size);
    return true;
  }

  bool WriteAt(std::uint64_t offset, const void* data, std::size_t size) override {
    if (failed_ || !Drain()) return false;
    if (!OS::WriteAllAt(fd_, data, size, offset)) {
      failed_ = true;
      return Failed();
    }
    return true;
  }

  bool Commit() override {
    if (failed_ || !Drain()) {
      replacement_.Abandon();
      return false;
    }
    return replacement_.Flush() || Failed();
  }

  bool Replace() override { return replacement_.Commit() || Failed(); }

 private:
  static constexpr std::size_t kBufferSize = 1 << 20;

  bool Drain() {
    if (failed_) return false;
    const bool ok = OS::WriteAll(fd_, buffer_.data(), buffer_.size()) == buffer_.size();
    if (!ok) Failed();
    buffer_.clear();
    failed_ = !ok;
    return ok;
  }
  OS::FileReplacement replacement_;
  int fd_;
  bool failed_ = false;
  std::vector<std::uint8_t> buffer_;
};

class PosixFileSystem final : public ExperimentFileSystem {
 public:
  std::unique_ptr<OutputFile> CreateReplacement(const std::string& target) override {
    auto file = std::make_unique<PosixOutputFile>(target);
    if (!file->IsOpen()) {
      Failed();
      return nullptr;
    }
    return file;
  }

  std::unique_ptr<std::istream> OpenRead(const std::string& path) override {
    // Opened without waiting on what is no regular file (a named pipe would
    // hold the open forever), then read through that very file.
    OS::FileCheck check;
    const int fd = OS::OpenUserFile(path, 0, check);
    if (fd < 0 && check.problem != OS::FileProblem::Empty) {
      t_lastError = check.error;
      return nullptr;
    }
    auto in = std::make_unique<std::ifstream>(fd >= 0 ? OS::DescriptorPath(fd) : path, std::ios::binary);
    if (fd >= 0) ::close(fd);
    if (!*in) return nullptr;
    return in;
  }

  bool Exists(const std::string& path) override {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
  }

  bool Remove(const std::string& path) override { return ::unlink(path.c_str()) == 0; }

  bool SameFile(const std::string& a, const std::string& b) override {
    struct stat sa {
    }, sb{};
    if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
  }

  // Copies into a temporary file beside `to` and renames it over `to`.
  bool Copy(const std::string& from, const std::string& to,
            const std::function<void(std::uint64_t, std::uint64_t)>& progress) override {
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return Failed();
    struct stat st {};
    if (::fstat(in, &st) != 0) {
      Failed();
      ::close(in);
      return false;
    }
    const std::uint64_t total = static_cast<std::uint64_t>(st.st_size);
    auto out = CreateReplacement(to);
    if (!out) {
      ::close(in);
      return false;
    }
    std::vector<std::uint8_t> chunk(1 << 20);
    std::uint64_t copied = 0;
    bool ok = true;
    for (;;) {
      const ssize_t n = ::read(in, chunk.data(), chunk.size());
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) ok = Failed();
      if (n <= 0) break;
      if (!out->Write(chunk.data(), static_cast<std::size_t>(n))) {
        ok = false;
        break;
      }
      copied += static_cast<std::uint64_t>(n);
      if (progress) progress(copied, total);
    }
    ::close(in);
    if (ok && copied != total) {
      // The video changed while it was copied: no call failed to say why.
      t_lastError = 0;
      ok = false;
    }
    return ok && out->Commit() && out->Replace();
  }

  int LastError() const override { return t_lastError; }
};

}  // namespace

ExperimentFileSystem& DefaultExperimentFileSystem() {
  static PosixFileSystem files;
  return files;
}

}  // namespace ORV
