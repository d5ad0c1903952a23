#include "core/experiment/record_file_stream.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/os/file_io.h"

namespace ORV {

RecordFileStream::~RecordFileStream() { Close(); }

bool RecordFileStream::Open(const std::string& path) {
  std::lock_guard lock(mutex_);
  if (fd_ >= 0) {
    Drain();
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  path_ = path;
  buffer_.clear();
  written_ = 0;
  error_ = 0;
  if (OS::WriteFaultAt(path) == EROFS) {
    error_ = EROFS;
    return false;
  }
  fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd_ < 0) {
    error_ = errno;
    return false;
  }
  buffer_.reserve(kBufferSize);
  return true;
}

bool RecordFileStream::Close() {
  std::lock_guard lock(mutex_);
  if (fd_ < 0) return error_ == 0;
  const bool drained = Drain();
  if (fd_ < 0) return false;
  const bool closed = ::close(fd_) == 0;
  fd_ = -1;
  return drained && closed;
}

bool RecordFileStream::IsOpen() const {
  std::lock_guard lock(mutex_);
  return fd_ >= 0;
}

int RecordFileStream::Error() const {
  std::lock_guard lock(mutex_);
  return error_;
}

std::string RecordFileStream::Path() const {
  std::lock_guard lock(mutex_);
  return path_;
}

void RecordFileStream::Fail(int error) {
  error_ = error != 0 ? error : EIO;
  // Whatever part of a record reached the file goes again: the file ends
  // with the last whole record.
  [[maybe_unused]] const int cut = ::ftruncate(fd_, static_cast<off_t>(written_));
  ::close(fd_);
  fd_ = -1;
  buffer_.clear();
}

bool RecordFileStream::Drain() {
  if (fd_ < 0) return false;
  if (buffer_.empty()) return true;
  const std::size_t done = OS::WriteAll(fd_, buffer_.data(), buffer_.size());
  if (done != buffer_.size()) {
    Fail(errno);
    return false;
  }
  written_ += done;
  buffer_.clear();
  return true;
}

bool RecordFileStream::Append(std::span<const std::uint8_t> record) {
  std::lock_guard lock(mutex_);
  if (fd_ < 0) return false;
  if (record.empty()) return true;
  if (buffer_.size() + record.size() > kBufferSize && !Drain()) return false;
  buffer_.insert(buffer_.end(), record.begin(), record.end());
  return true;
}

bool RecordFileStream::Flush() {
  std::lock_guard lock(mutex_);
  return Drain();
}

bool RecordFileStream::Sync() {
  int fd = -1;
  std::string path;
  {
    std::lock_guard lock(mutex_);
    if (!Drain()) return false;
    // A descriptor of its own: the stream may close meanwhile.
    fd = ::dup(fd_);
    path = path_;
  }
  if (fd < 0) return false;
  const bool ok = OS::FlushToDisk(fd, true);
  const int error = errno;
  ::close(fd);
  if (!ok) {
    // A disk that refuses the data only as it writes them out has lost them
    // as surely as a failed write: the stream ends and says why.
    std::lock_guard lock(mutex_);
    if (fd_ >= 0 && path_ == path) Fail(error);
  }
  return ok;
}

int BackupStreams::Error(std::string* path) const {
  std::vector<const RecordFileStream*> all = {&index, &marker, &action, &flow, &pressure, &calculation, &indexImage};
  for (const auto& s : zone) all.push_back(&s);
  for (const auto& s : microscope) all.push_back(&s);
  for (const RecordFileStream* stream : all) {
    if (const int error = stream->Error(); error != 0) {
      if (path) *path = stream->Path();
      return error;
    }
  }
  return 0;
}

void BackupStreams::CloseAll() {
  index.Close();
  for (auto& s : zone) s.Close();
  marker.Close();
  action.Close();
  flow.Close();
  pressure.Close();
  for (auto& s : microscope) s.Close();
  calculation.Close();
  indexImage.Close();
}

void BackupStreams::FlushAll() {
  index.Flush();
  for (auto& s : zone) s.Flush();
  marker.Flush();
  action.Flush();
  flow.Flush();
  pressure.Flush();
  for (auto& s : microscope) s.Flush();
  calculation.Flush();
  indexImage.Flush();
}

void BackupStreams::SyncAll() {
  index.Sync();
  for (auto& s : zone) s.Sync();
  marker.Sync();
  action.Sync();
  flow.Sync();
  pressure.Sync();
  for (auto& s : microscope) s.Sync();
  calculation.Sync();
  indexImage.Sync();
}

void PeriodicFlusher::Start(BackupStreams& streams, std::chrono::milliseconds period, int syncEvery) {
  Stop();
  {
    std::lock_guard lock(mutex_);
    stop_ = false;
  }
  flushes_ = 0;
  syncs_ = 0;
  thread_ = std::thread([this, &streams, period, syncEvery] {
    std::unique_lock lock(mutex_);
    // The round that sees the stop is always a sync, even when the stop arrives while an ordinary
    // flush runs unlocked: the loop ends only after a round that began with stop_ set.
    for (int round = 1;; ++round) {
      wake_.wait_for(lock, period, [this] { return stop_; });
      const bool stopping = stop_;
      const bool sync = stopping || round % std::max(syncEvery, 1) == 0;
      lock.unlock();
      if (sync) {
        streams.SyncAll();
        ++syncs_;
      } else {
        streams.FlushAll();
      }
      ++flushes_;
      lock.lock();
      if (stopping) break;
    }
  });
}

void PeriodicFlusher::Stop() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

}  // namespace ORV
