#pragma once
// Append-only files of binary records: the streams of the running backup.
//
// Each stream has its own lock, so the sampling thread can append while
// another thread opens or closes the stream, and every record is appended
// whole. A stream receives data only while it is open; a stream whose open
// failed stays closed and every append to it is skipped.
//
// A write that fails (a full disk, a disk gone read-only) ends the stream:
// the file is cut back to the whole records written before the failure, is
// closed, and takes nothing more, so a later write can never follow half a
// record. Error() then tells why.
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "core/experiment/session_records.h"

namespace ORV {

class RecordFileStream {
 public:
  RecordFileStream() = default;
  ~RecordFileStream();
  RecordFileStream(const RecordFileStream&) = delete;
  RecordFileStream& operator=(const RecordFileStream&) = delete;

  // Creates or truncates the file and keeps it open for appending; closes
  // what was open before. False when the file cannot be created.
  bool Open(const std::string& path);
  // Writes out what is buffered and closes the file. False when a write
  // failed on the way.
  bool Close();
  bool IsOpen() const;
  // Appends one record; false when the stream is closed or the write failed.
  bool Append(std::span<const std::uint8_t> record);
  bool Append(const SerializationStream& record) { return Append({record.Data(), record.Size()}); }
  bool Flush();
  // The errno of the write or open that ended the stream; 0 while none did.
  int Error() const;
  // The file of the stream (also after it ended).
  std::string Path() const;
  // Flush, then asks the disk to keep the file's data (fdatasync), so that
  // a power cut loses none of it. The append lock is held only for the
  // flush: appends go on while the disk writes. False when the stream is
  // closed or either step failed.
  bool Sync();

 private:
  // With mutex_ held: writes the buffer out; on a failure cuts the file
  // back to `written_` and ends the stream.
  bool Drain();
  void Fail(int error);

  static constexpr std::size_t kBufferSize = 64 * 1024;
  mutable std::mutex mutex_;
  int fd_ = -1;
  std::string path_;
  std::vector<std::uint8_t> buffer_;
  std::uint64_t written_ = 0;  // bytes in the file, all whole records
  int error_ = 0;
};

// The running backup's streams, members of the experiment record.
struct BackupStreams {
  RecordFileStream index;                                // "ExperimentBackup.idx"
  std::array<RecordFileStream, kMaxCameras> zone;        // "ZoneData_<camera>"
  RecordFileStream marker;                               // "Marker_0"
  RecordFileStream action;                               // "Action_0"
  RecordFileStream flow;                                 // "Flow_0"
  RecordFileStream pressure;                             // "Pressure_0"
  std::array<RecordFileStream, kMaxCameras> microscope;  // "Microscope_<camera>"
  RecordFileStream calculation;                          // "DataPadV2_0"
  RecordFileStream indexImage;                           // "ImageIndex_0"

  void CloseAll();
  // The first stream that ended on a failed write: its errno (0: none) and
  // its file.
  int Error(std::string* path = nullptr) const;
  // Hands what every open stream has buffered to the system, so that a
  // crash of the program loses none of it.
  void FlushAll();
  // FlushAll, and each open stream's data is written to the disk.
  void SyncAll();
};

// Flushes a set of backup streams at a fixed period on a thread of its own,
// so that a crash of the program loses at most the records of the last
// period, and every `syncEvery`-th time also syncs them to the disk, so
// that a power cut loses little more (the sampling thread never waits for
// the disk).
class PeriodicFlusher {
 public:
  PeriodicFlusher() = default;
  ~PeriodicFlusher() { Stop(); }
  PeriodicFlusher(const PeriodicFlusher&) = delete;
  PeriodicFlusher& operator=(const PeriodicFlusher&) = delete;

  // Starts flushing `streams` every `period` (restarts when running).
  void Start(BackupStreams& streams, std::chrono::milliseconds period, int syncEvery);
  // Stops the thread after one last flush and sync.
  void Stop();
  bool IsRunning() const { return thread_.joinable(); }
  // What the thread has done since it was started.
  int Flushes() const { return flushes_.load(); }
  int Syncs() const { return syncs_.load(); }

 private:
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
  std::thread thread_;
  std::atomic<int> flushes_{0};
  std::atomic<int> syncs_{0};
};

}  // namespace ORV
