#include "core/experiment/record_file_stream.h"

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

bool RecordFileStream::WriteLocked(std::span<const std::uint8_t> record) {
  if (file_ == nullptr) return false;
  return record.empty() || std::fwrite(record.data(), 1, record.size(), file_) == record.size();
}

bool RecordFileStream::Append(std::span<const std::uint8_t> record) {
  std::lock_guard lock(mutex_);
  return WriteLocked(record);
}

bool RecordFileStream::AppendAndFlush(std::span<const std::uint8_t> record) {
  std::lock_guard lock(mutex_);
  const bool written = WriteLocked(record);
  return written && std::fflush(file_) == 0;
}

bool RecordFileStream::Flush() {
  std::lock_guard lock(mutex_);
  return file_ != nullptr && std::fflush(file_) == 0;
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

}  // namespace ORV
