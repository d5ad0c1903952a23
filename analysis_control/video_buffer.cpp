#include "analysis_control/video_buffer.h"

#include <fcntl.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <limits>
#include <opencv2/imgproc.hpp>
#include <span>
#include <vector>

#include "analysis_control/frame_shrink.h"
#include "analysis_control/task_launcher.h"
#include "core/base/event_log.h"
#include "platform/os/file_io.h"
#include "platform/os/tick_source.h"

namespace ORV {

namespace {

constexpr int kJpegQuality = 75;

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

std::string SystemError(int error) { return std::strerror(error); }

// Takes the analysis file back to `length` bytes after a failed write. When
// even that fails the file keeps a partial record beyond the last whole one;
// the logged frame count says where the whole records end.
void CutBack(int fd, off_t length) {
  if (ftruncate(fd, length) != 0) return;
}

// One JPEG compressor, output buffer and shrunk frame per thread, kept for
// the thread's life: making them anew for every frame costs more than
// compressing a small frame.
class ThreadCompressor {
 public:
  ThreadCompressor() : handle_(tjInitCompress()) {}
  ~ThreadCompressor() {
    if (handle_) tjDestroy(handle_);
  }
  ThreadCompressor(const ThreadCompressor&) = delete;
  ThreadCompressor& operator=(const ThreadCompressor&) = delete;

  // Brings an 8-bit grey or colour image to grey at `size` and compresses it
  // (grey subsampling, fast DCT) into `out`. False for any other image and
  // when the library fails.
  bool Compress(const cv::Mat& image, cv::Size size, std::vector<unsigned char>& out) {
    if (!handle_ || image.empty() || image.depth() != CV_8U || size.width <= 0 || size.height <= 0) return false;
    const cv::Mat* grey = &image;
    switch (image.channels()) {
      case 1:
        break;
      case 3:
        cv::cvtColor(image, grey_, cv::COLOR_BGR2GRAY);
        grey = &grey_;
        break;
      case 4:
        cv::cvtColor(image, grey_, cv::COLOR_BGRA2GRAY);
        grey = &grey_;
        break;
      default:
        return false;
    }
    if (grey->size() != size) {
      ShrinkGrey(*grey, size, small_);
      grey = &small_;
    }
    return Encode(*grey, out);
  }

 private:
  bool Encode(const cv::Mat& grey, std::vector<unsigned char>& out) {
    const unsigned long bound = tjBufSize(grey.cols, grey.rows, TJSAMP_GRAY);
    if (bound == static_cast<unsigned long>(-1)) return false;
    if (buffer_.size() < bound) buffer_.resize(bound);
    if (grey.step[0] > static_cast<std::size_t>(std::numeric_limits<int>::max())) return false;
    // The grey image is handed over as the JPEG's one plane: the library
    // compresses it as it stands, where a grey pixel format would first be
    // copied pixel by pixel into the library's own buffer. The JPEG is the
    // same byte for byte.
    const unsigned char* planes[1] = {grey.data};
    const int strides[1] = {static_cast<int>(grey.step[0])};
    unsigned char* data = buffer_.data();
    unsigned long size = bound;
    if (tjCompressFromYUVPlanes(handle_, planes, grey.cols, strides, grey.rows, TJSAMP_GRAY, &data, &size, kJpegQuality,
                                TJFLAG_FASTDCT | TJFLAG_NOREALLOC) != 0) {
      return false;
    }
    out.assign(buffer_.data(), buffer_.data() + size);
    return true;
  }

  tjhandle handle_;
  std::vector<unsigned char> buffer_;
  cv::Mat grey_;   // a colour frame brought to grey
  cv::Mat small_;  // the frame at its recording size
};

}  // namespace

CVideoBuffer::~CVideoBuffer() { Stop(); }

cv::Size CVideoBuffer::RecordingSize(int cameraWidth, int cameraHeight, int factor) {
  if (factor < 1 || cameraWidth <= 0 || cameraHeight <= 0) return {0, 0};
  const bool large = cameraWidth == 1280 && cameraHeight == 960;
  const bool medium = cameraWidth == 1032 && cameraHeight == 772;
  if (large || medium) {
    switch (factor) {
      case 2:
        return large ? cv::Size(640, 480) : cv::Size(516, 386);
      case 4:
        return {320, 240};
      case 6:
        return {172, 128};
      default:
        return {cameraWidth, cameraHeight};
    }
  }
  return {cameraWidth / factor, cameraHeight / factor};
}

std::string CVideoBuffer::DtaPathFor(const std::string& aviPath) {
  const std::size_t slash = aviPath.rfind('/');
  const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  std::string name = aviPath.substr(nameStart);
  const auto replaceAll = [&name](const std::string& from, const std::string& to) {
    for (std::size_t at = name.find(from); at != std::string::npos; at = name.find(from, at + to.size())) {
      name.replace(at, from.size(), to);
    }
  };
  replaceAll("Record_", "Analysis_");
  replaceAll(".avi", ".dta");
  std::string path = aviPath.substr(0, nameStart) + name;
  // A name with neither part must not make the side file the video itself.
  if (path == aviPath) path += ".dta";
  return path;
}

int CVideoBuffer::GetWidth() const {
  std::lock_guard lock(mutex_);
  return Width;
}

int CVideoBuffer::GetHeight() const {
  std::lock_guard lock(mutex_);
  return Height;
}

void CVideoBuffer::SetSize(int cameraWidth, int cameraHeight, int factor, int frameRate) {
  std::lock_guard control(controlMutex_);
  StopLocked(0, false);
  const cv::Size size = RecordingSize(cameraWidth, cameraHeight, factor);
  std::lock_guard lock(mutex_);
  ScaleFactor = factor;
  FrameRate = frameRate;
  Width = size.width;
  Height = size.height;
}

bool CVideoBuffer::Start(const std::string& fileName) {
  std::lock_guard control(controlMutex_);
  StopLocked(0, false);

  int width, height, rate, factor;
  {
    std::lock_guard lock(mutex_);
    width = Width;
    height = Height;
    rate = FrameRate;
    factor = ScaleFactor;
  }
  const std::string notStarted = "Video recording into " + Quoted(fileName) + " not started: ";
  if (width <= 0 || height <= 0) {
    LogError(notStarted + "no recording size (recording factor " + std::to_string(factor) + ")");
    return false;
  }
  if (rate <= 0) {
    LogError(notStarted + "the frame rate is " + std::to_string(rate));
    return false;
  }
  Avi = avi_open(fileName.c_str(), width, height, "MJPG", rate);
  if (!Avi) {
    LogError(notStarted + "the file cannot be created (" + SystemError(errno) + ")");
    return false;
  }
  Avi->SizeLimit = sizeLimit_;
  DtaPath = DtaPathFor(fileName);
  DtaFile = ::open(DtaPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (DtaFile < 0) {
    const int error = errno;
    avi_close(Avi);
    Avi = nullptr;
    ::unlink(fileName.c_str());
    LogError(notStarted + "the analysis file " + Quoted(DtaPath) + " cannot be created (" + SystemError(error) + ")");
    DtaPath.clear();
    return false;
  }
  AviPath = fileName;
  FramesWritten = 0;
  lastHeaderUpdate_ = OS::GetTickCount();
  headerBehind_ = false;
  std::lock_guard lock(mutex_);
  Stopped.Reset();
  recording_ = true;
  return true;
}

void CVideoBuffer::AddFrame(const AnalysisData& record, const cv::Mat& image) {
  if (!recording_.load()) return;
  auto frame = std::make_shared<VIDEOBUFFER_DATA>();
  frame->Record = record;
  if (FramePool::IsPooled(image)) {
    frame->Image = image;
  } else if (!image.empty()) {
    frame->Image = images_.Take(image.size(), image.type());
    image.copyTo(frame->Image);
  }
  bool startWatch = false;
  bool startCompressor = false;
  {
    std::lock_guard lock(mutex_);
    if (!recording_.load() || Stopped.IsSet()) return;
    frame->Width = Width;
    frame->Height = Height;
    Queue.push_back(frame);
    ++handedOver_;
    if (!watchRunning_) {
      watchRunning_ = true;
      ++watchesStarting_;
      startWatch = true;
    }
    if (!runner_) {
      toCompress_.push_back(frame);
      if (compressors_ < maxCompressors_) {
        ++compressors_;
        startCompressor = true;
      }
    }
  }

  if (runner_) {
    runner_([this, frame] {
      CompressAndRelease(*frame);
      WriteCompressed();
    });
  } else if (startCompressor) {
    auto future = Threading::StartAsyncTask([this] { return CompressQueued(), 0; }, 0);
    // No worker took the task: compress here rather than lose the frame.
    if (future->IsFinished() && future->GetResult() == Threading::kTaskNotStarted) CompressQueued();
  }
  if (startWatch) StartWatch();
}

void CVideoBuffer::CompressAndRelease(VIDEOBUFFER_DATA& frame) {
  Compress(frame);
  // Gives the image's memory back to its pool.
  frame.Image.release();
  frame.Ready.Set();
}

void CVideoBuffer::CompressQueued() {
  for (;;) {
    std::shared_ptr<VIDEOBUFFER_DATA> frame;
    {
      std::lock_guard lock(mutex_);
      if (toCompress_.empty()) {
        // The last touch of this object: Stop may end it once told.
        --compressors_;
        compressorsIdle_.notify_all();
        return;
      }
      frame = std::move(toCompress_.front());
      toCompress_.pop_front();
      if (!spareJpegs_.empty()) {
        frame->JpegData = std::move(spareJpegs_.back());
        spareJpegs_.pop_back();
      }
    }
    CompressAndRelease(*frame);
    WriteCompressed();
  }
}

void CVideoBuffer::WriteCompressed() {
  for (;;) {
    // Whoever holds the lock looks at the queue again once it has let go,
    // so the frame this thread has just compressed is written either way.
    if (!writeMutex_.try_lock()) return;
    WriteQueued(false);
    if (writeEndHook_) writeEndHook_();
    writeMutex_.unlock();
    std::lock_guard lock(mutex_);
    if (Queue.empty() || !Queue.front()->Ready.IsSet()) return;
  }
}

void CVideoBuffer::WriteQueued(bool wait) {
  for (;;) {
    std::shared_ptr<VIDEOBUFFER_DATA> frame;
    {
      std::lock_guard lock(mutex_);
      if (Queue.empty() || (!wait && !Queue.front()->Ready.IsSet())) return;
      frame = std::move(Queue.front());
      Queue.pop_front();
    }
    WriteFrame(*frame);
    // The JPEG's memory, for the frames to come.
    std::lock_guard lock(mutex_);
    if (frame->JpegData.capacity() > 0 && spareJpegs_.size() < kSpareJpegs) {
      frame->JpegData.clear();
      spareJpegs_.push_back(std::move(frame->JpegData));
    }
  }
}

void CVideoBuffer::WaitForCompressors() {
  std::unique_lock lock(mutex_);
  compressorsIdle_.wait(lock, [this] { return compressors_ == 0; });
}

void CVideoBuffer::StartWatch() {
  // The buffer outlives its watches (Stop and the destructor wait for them),
  // so the task is handed over without ownership.
  std::shared_ptr<Threading::AsyncTask> self(this, [](Threading::AsyncTask*) {});
  std::shared_ptr<Threading::TaskFuture> future = QueueTask(std::move(self), Threading::kTaskLongRunning);
  std::lock_guard lock(mutex_);
  std::erase_if(Watches, [](const std::shared_ptr<Threading::TaskFuture>& w) { return w->IsFinished(); });
  Watches.push_back(future);
  --watchesStarting_;
  // No thread could take it: the next frame tries again.
  if (future->IsFinished() && future->GetResult() == Threading::kTaskNotStarted) watchRunning_ = false;
  watchIdle_.notify_all();
}

void CVideoBuffer::WaitForWatch() {
  std::vector<std::shared_ptr<Threading::TaskFuture>> watches;
  {
    std::unique_lock lock(mutex_);
    watchIdle_.wait(lock, [this] { return !watchRunning_ && watchesStarting_ == 0; });
    watches.swap(Watches);
  }
  for (const auto& w : watches) w->Wait();
}

std::int32_t CVideoBuffer::Run() {
  std::uint64_t seen;
  {
    std::lock_guard lock(mutex_);
    seen = handedOver_;
  }
  for (;;) {
    const bool stopped = Stopped.Wait(std::chrono::milliseconds(kWriterIdleMs));
    bool pause;
    {
      std::lock_guard lock(mutex_);
      pause = !stopped && handedOver_ == seen && Queue.empty();
      seen = handedOver_;
    }
    if (pause) {
      {
        // Frames have stopped coming: bring the header up to date meanwhile.
        std::lock_guard write(writeMutex_);
        if (!Stopped.IsSet() && headerBehind_ && Avi) UpdateHeader();
      }
      if (idleHook_) idleHook_();
    }
    // The decision to end is taken under the lock that AddFrame queues under,
    // so a frame is either seen here or finds no watch and starts one.
    std::lock_guard lock(mutex_);
    if (Stopped.IsSet() || (pause && handedOver_ == seen && Queue.empty())) {
      watchRunning_ = false;
      watchIdle_.notify_all();
      return 0;
    }
    seen = handedOver_;
  }
}

void CVideoBuffer::Compress(VIDEOBUFFER_DATA& frame) {
  thread_local ThreadCompressor compressor;
  try {
    if (!compressor.Compress(frame.Image, cv::Size(frame.Width, frame.Height), frame.JpegData)) return;
    frame.JpegSize = frame.JpegData.size();
  } catch (...) {
    frame.JpegData.clear();
    frame.JpegSize = 0;
  }
}

void CVideoBuffer::WriteFrame(VIDEOBUFFER_DATA& frame) {
  frame.Ready.Wait();
  // A frame that could not be compressed is left out of both files.
  if (!Avi || DtaFile < 0 || frame.JpegSize == 0) return;

  // The record goes first: a crash between the two writes leaves one record
  // too many, which a reader can cut off, never a frame without its record.
  unsigned char record[AnalysisData::kSize];
  frame.Record.Serialize(std::span<std::uint8_t, AnalysisData::kSize>(record));
  const auto dtaEnd = static_cast<off_t>(FramesWritten.load()) * static_cast<off_t>(AnalysisData::kSize);
  if (!OS::WriteAllAt(DtaFile, record, sizeof record, static_cast<std::uint64_t>(dtaEnd))) {
    const int error = errno;
    CutBack(DtaFile, dtaEnd);
    EndRecording("the analysis file " + Quoted(DtaPath) + " cannot be written (" + SystemError(error) + ")", true);
    return;
  }
  const int added = avi_add_frame(Avi, frame.JpegData.data(), frame.JpegSize);
  if (added != 0) {
    const int error = errno;
    CutBack(DtaFile, dtaEnd);
    if (added == kAviSizeLimitReached) {
      EndRecording("the video file reached the largest size an AVI file can have", false);
    } else {
      EndRecording("the video file cannot be written (" + SystemError(error) + ")", true);
    }
    return;
  }
  FramesWritten++;
  headerBehind_ = true;
  if (OS::GetTickCount() - lastHeaderUpdate_ >= kHeaderUpdateIntervalMs) UpdateHeader();
}

bool CVideoBuffer::UpdateHeader() {
  lastHeaderUpdate_ = OS::GetTickCount();
  if (avi_update_header(Avi) != 0) {
    EndRecording("the video file cannot be written (" + SystemError(errno) + ")", true);
    return false;
  }
  headerBehind_ = false;
  return true;
}

void CVideoBuffer::Drain() {
  std::lock_guard write(writeMutex_);
  WriteQueued(true);
}

void CVideoBuffer::EndRecording(const std::string& why, bool error) {
  std::size_t dropped;
  {
    std::lock_guard lock(mutex_);
    recording_ = false;
    Stopped.Set();
    dropped = Queue.size();
    Queue.clear();
    for (const auto& frame : toCompress_) frame->Ready.Set();
    toCompress_.clear();
  }
  std::string text = "Video recording into " + Quoted(AviPath) + " stopped after " +
                     std::to_string(FramesWritten.load()) + " frames: " + why;
  if (dropped > 0) text += "; " + std::to_string(dropped) + " frames handed over later were not recorded";
  CloseFiles();
  if (error) {
    LogError(text);
  } else {
    LogWarning(text);
  }
}

void CVideoBuffer::CloseFiles() {
  if (Avi) {
    if (avi_close(Avi) != 0) LogError("Video file " + Quoted(AviPath) + " could not be completed");
    Avi = nullptr;
  }
  if (DtaFile >= 0) {
    if (::close(DtaFile) != 0) {
      LogError("Analysis file " + Quoted(DtaPath) + " could not be completed (" + SystemError(errno) + ")");
    }
    DtaFile = -1;
  }
  AviPath.clear();
  DtaPath.clear();
}

void CVideoBuffer::Stop() {
  std::lock_guard control(controlMutex_);
  StopLocked(0, false);
}

void CVideoBuffer::Stop(std::uint32_t elapsedMs) {
  std::lock_guard control(controlMutex_);
  StopLocked(elapsedMs, true);
}

std::uint32_t CVideoBuffer::MeasuredFrameRate(std::uint64_t frames, std::uint32_t elapsedMs) {
  if (elapsedMs < 1000) return 0;
  const std::uint64_t rate = frames * 1000 / elapsedMs;
  return rate > 0xFFFFFFFFull ? 0 : static_cast<std::uint32_t>(rate);
}

void CVideoBuffer::StopLocked(std::uint32_t elapsedMs, bool measure) {
  {
    std::lock_guard lock(mutex_);
    Stopped.Set();
    recording_ = false;
  }
  WaitForWatch();
  Drain();
  WaitForCompressors();
  std::lock_guard write(writeMutex_);
  if (measure && Avi) avi_set_frame_rate(Avi, MeasuredFrameRate(FramesWritten.load(), elapsedMs));
  CloseFiles();
  images_.Clear();
  std::lock_guard lock(mutex_);
  spareJpegs_.clear();
}

}  // namespace ORV
