#pragma once
// The video recorder of the analysis control.
//
// While recording, every frame handed over becomes one JPEG frame of a
// "Record_" AVI file, and its analysis record is appended to the "Analysis_"
// ".dta" file beside it: the n-th record belongs to the n-th video frame.
// The capture thread only queues the frame (a frame from a FramePool is
// shared, any other is copied) and its record; shrinking to the
// recording size and JPEG compression run on the task pool, in any order.
// The compression tasks also write: the one that finishes the next frame to
// be written appends it and every frame after it that is compressed, in
// hand-over order, while the others go on compressing. So a frame handed
// over alone wakes one task, which compresses and writes it. A watch task
// wakes now and then while frames come, to bring the AVI header up to date
// in a pause.
//
// Both files stay consistent whatever happens: every frame handed over before
// Stop is written; when a file cannot be written, or the video would pass the
// 4 GiB that the AVI format can address, the recording ends at once with
// both files closed at the same frame count, and the event log says why.
// While recording, the AVI file's sizes and frame count are brought up to
// date every few seconds, so a file cut short by a crash still plays.
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <opencv2/core.hpp>
#include <string>
#include <thread>
#include <vector>

#include "analysis_control/analysis_data.h"
#include "analysis_control/avi_writer.h"
#include "analysis_control/frame_pool.h"
#include "core/threading/event.h"
#include "core/threading/task.h"

namespace ORV {

// One frame handed over, shared by the queue and its compression job.
struct VIDEOBUFFER_DATA {
  AnalysisData Record;  // copied at hand-over
  cv::Mat Image;        // the camera image (pooled, or a pooled copy); released once compressed
  int Width = 0;        // the recording size when the frame was handed over
  int Height = 0;
  Utils::Sync::Event Ready;  // set when compression has ended, successfully or not
  std::vector<unsigned char> JpegData;
  std::uint64_t JpegSize = 0;  // 0 when compression failed
};

class CVideoBuffer : public Threading::AsyncTask {
 public:
  // How often the AVI header is brought up to date while frames keep coming.
  static constexpr std::uint32_t kHeaderUpdateIntervalMs = 2000;
  // A pause in the frames: none handed over for this long. The watch looks
  // this often, and ends after a pause.
  static constexpr int kWriterIdleMs = 100;

  CVideoBuffer() = default;
  // Stops a recording.
  ~CVideoBuffer() override;
  CVideoBuffer(const CVideoBuffer&) = delete;
  CVideoBuffer& operator=(const CVideoBuffer&) = delete;

  // Stops any recording, then takes the recording size from the camera size
  // and the factor (see RecordingSize) and the frame rate written into the
  // AVI header.
  void SetSize(int cameraWidth, int cameraHeight, int factor, int frameRate);
  // Starts a new recording into `fileName` and its ".dta" file (a recording
  // still running is stopped first). False, with no file left behind and the
  // reason in the event log, when either file cannot be made or the size or
  // frame rate is 0.
  bool Start(const std::string& fileName);
  // Hands a frame and its analysis record over; dropped unless recording.
  // An image from a FramePool is kept by reference, not copied: the caller
  // does not write into it again. Any other image is copied.
  void AddFrame(const AnalysisData& record, const cv::Mat& image);
  // Writes every frame handed over so far, then completes and closes both
  // files.
  void Stop();
  // Stop, with the AVI file stamped with the frame rate measured over the
  // recording's `elapsedMs` (see MeasuredFrameRate) in place of the one it
  // was opened with.
  void Stop(std::uint32_t elapsedMs);

  // True from a successful Start until Stop, or until the recording ended on
  // its own (a file that cannot be written, the size limit).
  bool IsRecording() const { return recording_.load(); }
  std::uint32_t GetFramesWritten() const { return FramesWritten.load(); }
  int GetWidth() const;
  int GetHeight() const;

  // The recording size of a camera size at a factor: 1280 x 960 and
  // 1032 x 772 use a fixed table (factor 2, 4, 6; any other factor keeps the
  // size), every other camera size is divided by the factor. A factor below 1
  // gives 0 x 0: nothing can be recorded.
  static cv::Size RecordingSize(int cameraWidth, int cameraHeight, int factor);
  // The frame rate of `frames` written in `elapsedMs`: frames x 1000 /
  // elapsed ms in integer division. 0 (keep the opening rate) for a
  // recording shorter than a second or one that gives less than a frame a
  // second.
  static std::uint32_t MeasuredFrameRate(std::uint64_t frames, std::uint32_t elapsedMs);
  // The ".dta" file beside a recording: in the file name, "Record_" becomes
  // "Analysis_" and ".avi" becomes ".dta"; the folders stay as they are.
  static std::string DtaPathFor(const std::string& aviPath);

  // The watch task: every kWriterIdleMs, when no frame was handed over
  // meanwhile and none waits to be written, brings the AVI header up to date
  // and ends; it ends too when the recording stops.
  std::int32_t Run() override;

  // Test hooks. The file size limit applies to recordings started after it
  // is set. A compression runner takes each frame's compression job (which
  // writes as the task pool's do) in place of the task pool. The idle hook
  // runs on the watch each time it found a pause, just before it decides
  // whether to end. The write-end hook runs on a thread that writes, once it
  // has written the frames compressed so far, before it lets others write.
  void SetFileSizeLimitForTesting(std::uint64_t bytes) { sizeLimit_ = bytes; }
  void SetCompressionRunnerForTesting(std::function<void(std::function<void()>)> runner) {
    runner_ = std::move(runner);
  }
  void SetWriterIdleHookForTesting(std::function<void()> hook) { idleHook_ = std::move(hook); }
  void SetWriteEndHookForTesting(std::function<void()> hook) { writeEndHook_ = std::move(hook); }

 private:
  void StopLocked(std::uint32_t elapsedMs, bool measure);
  void WaitForWatch();
  void StartWatch();
  // Appends one frame to both files, once it is compressed. The caller holds
  // writeMutex_.
  void WriteFrame(VIDEOBUFFER_DATA& frame);
  // Writes the frames at the front of the queue in order: those compressed
  // already, or with `wait` every one, waiting for each. The caller holds
  // writeMutex_.
  void WriteQueued(bool wait);
  // Called once a frame is compressed: writes what can be written, unless
  // another thread is writing (which then writes that frame too).
  void WriteCompressed();
  // Writes what the queue still holds on the calling thread.
  void Drain();
  bool UpdateHeader();
  void EndRecording(const std::string& why, bool error);
  void CloseFiles();
  // Shrinks the frame to its recording size and compresses it; JpegSize
  // stays 0 when that fails. The caller sets Ready.
  static void Compress(VIDEOBUFFER_DATA& frame);
  // Compresses the frame, lets go of its image and sets Ready.
  static void CompressAndRelease(VIDEOBUFFER_DATA& frame);
  // A compression task: compresses and writes waiting frames until none is
  // left.
  void CompressQueued();
  void WaitForCompressors();

  // Recording size, factor and rate; guarded by mutex_.
  int Width = 0;
  int Height = 0;
  int ScaleFactor = 0;
  int FrameRate = 0;

  // The open files and what goes with them; touched by Start while nothing
  // else runs, and otherwise under writeMutex_.
  std::mutex writeMutex_;
  avi_writer* Avi = nullptr;
  int DtaFile = -1;
  std::string AviPath;
  std::string DtaPath;
  std::atomic<std::uint32_t> FramesWritten{0};
  std::uint32_t lastHeaderUpdate_ = 0;
  bool headerBehind_ = false;
  std::uint64_t sizeLimit_ = kAviMaxFileLength;

  // Hand-over between the capture thread, the compression tasks and the
  // watch. Never locked before writeMutex_.
  mutable std::mutex mutex_;
  std::condition_variable watchIdle_;
  std::deque<std::shared_ptr<VIDEOBUFFER_DATA>> Queue;
  // Frames waiting for compression, in hand-over order. At most one
  // compression task per processor takes them, so that compression never
  // runs on more threads than there are processors and crowds out the
  // capture thread.
  std::deque<std::shared_ptr<VIDEOBUFFER_DATA>> toCompress_;
  unsigned compressors_ = 0;
  const unsigned maxCompressors_ = std::max(1u, std::thread::hardware_concurrency());
  std::condition_variable compressorsIdle_;
  std::uint64_t handedOver_ = 0;  // frames queued so far, for the watch
  bool watchRunning_ = false;     // a watch was started and has not yet decided to end
  int watchesStarting_ = 0;       // watches whose futures are not yet in Watches
  // The futures of the watches that may not have returned yet; a watch that
  // has decided to end may still be on its way out when the next one starts.
  std::vector<std::shared_ptr<Threading::TaskFuture>> Watches;
  Utils::Sync::Event Stopped;
  std::atomic<bool> recording_{false};

  // Start and Stop, one at a time.
  std::mutex controlMutex_;

  FramePool images_;
  // The memory of JPEGs written, handed back to the compression tasks: a
  // new frame's JPEG is copied into memory already in use instead of into
  // memory taken from (and soon given back to) the system for every frame.
  static constexpr std::size_t kSpareJpegs = 32;
  std::vector<std::vector<unsigned char>> spareJpegs_;  // guarded by mutex_
  std::function<void(std::function<void()>)> runner_;
  std::function<void()> idleHook_;
  std::function<void()> writeEndHook_;
};

}  // namespace ORV
