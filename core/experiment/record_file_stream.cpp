#include "core/experiment/record_file_stream.h"

#include <unistd.h>

#include <algorithm>

namespace ORV {

RecordFileStream::~RecordFileStream() { Close(); }

bool RecordFileStream::Open(const std::string& path) {
  std::lock_guard lock(mutex_);
  if (file_ != nullptr) std::fclose(file_);
  file_ = std::fopen(path.c_str(), "wbe");
  return file_ != nullptr;
}

bool RecordFileStream::Close() {
  std::lock_guard lock(mutex_);
  if (file_ == nullptr) return true;
  const bool ok = std::fclose(file_) == 0;
  file_ = nullptr;
  return ok;
}

bool RecordFileStream::IsOpen() const {
  std::lock_guard lock(mutex_);
  return file_ != nullptr;
}

bool RecordFileStream::Append(std::span<const std::uint8_t> record) {
  std::lock_guard lock(mutex_);
  if (file_ == nullptr) return false;
  return record.empty() || std::fwrite(record.data(), 1, record.size(), file_) == record.size();
}

bool RecordFileStream::Flush() {
  std::lock_guard lock(mutex_);
  return file_ != nullptr && std::fflush(file_) == 0;
}

bool RecordFileStream::Sync() {
  int fd = -1;
  {
    std::lock_guard lock(mutex_);
    if (file_ == nullptr || std::fflush(file_) != 0) return false;
    // A descriptor of its own: the stream may close meanwhile.
    fd = ::dup(::fileno(file_));
  }
  if (fd < 0) return false;
  const bool ok = ::fdatasync(fd) == 0;
  ::close(fd);
  return ok;
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
