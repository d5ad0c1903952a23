#include "analysis_control/video_buffer.h"

#include <gtest/gtest.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <iterator>
#include <mutex>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "platform/os/tick_source.h"
#include "tests/analysis_control/avi/avi_files.h"
#include "tests/support/test_support.h"

namespace ORV {
namespace {

using FileSizeCap = ORV::Test::FileSizeLimit;
using Test::ReadBytes;
using Test::TempDir;
using Test::U32At;
using namespace std::chrono_literals;

cv::Mat Frame(int width, int height, int level) { return cv::Mat(height, width, CV_8UC1, cv::Scalar(level)); }

AnalysisData Record(int n) {
  AnalysisData r;
  r.startTime = 5000;
  r.frameTime = 40 * n + 1;
  r.zoneCount = 1;
  return r;
}

std::vector<AnalysisData> ReadDta(const std::string& path) {
  const auto bytes = ReadBytes(path);
  EXPECT_EQ(bytes.size() % AnalysisData::kSize, 0u) << path;
  std::vector<AnalysisData> records;
  for (std::size_t at = 0; at + AnalysisData::kSize <= bytes.size(); at += AnalysisData::kSize) {
    records.push_back(AnalysisData::Parse(
        std::span<const std::uint8_t, AnalysisData::kSize>(bytes.data() + at, AnalysisData::kSize)));
  }
  return records;
}

std::vector<int> FrameTimes(const std::vector<AnalysisData>& records) {
  std::vector<int> times;
  for (const AnalysisData& r : records) times.push_back(r.frameTime);
  return times;
}

std::vector<int> ExpectedTimes(int first, int count) {
  std::vector<int> times;
  for (int n = first; n < first + count; ++n) times.push_back(Record(n).frameTime);
  return times;
}

struct Video {
  int frames = 0;
  int width = 0;
  int height = 0;
  std::vector<int> levels;  // each frame's mean grey level, rounded
};

Video ReadVideo(const std::string& path) {
  Video v;
  cv::VideoCapture cap(path, cv::CAP_FFMPEG);
  EXPECT_TRUE(cap.isOpened()) << path;
  cv::Mat frame;
  while (cap.read(frame)) {
    ++v.frames;
    v.width = frame.cols;
    v.height = frame.rows;
    v.levels.push_back(static_cast<int>(cv::mean(frame)[0] + 0.5));
  }
  return v;
}

// The frame count the AVI header gives.
std::uint32_t HeaderFrames(const std::string& path) { return U32At(ReadBytes(path), 48); }

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds bound = 20s) {
  const auto end = std::chrono::steady_clock::now() + bound;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(2ms);
  }
  return true;
}

// Holds the compression jobs until the test releases them.
class HeldJobs {
 public:
  std::function<void(std::function<void()>)> Runner() {
    return [this](std::function<void()> job) {
      std::lock_guard lock(mutex_);
      jobs_.push_back(std::move(job));
    };
  }
  std::size_t Count() {
    std::lock_guard lock(mutex_);
    return jobs_.size();
  }
  void Run(std::size_t i) {
    std::function<void()> job;
    {
      std::lock_guard lock(mutex_);
      job = jobs_.at(i);
    }
    job();
  }

 private:
  std::mutex mutex_;
  std::vector<std::function<void()>> jobs_;
};

TEST(VideoBuffer, RecordingSizeOfEachCameraSizeAndFactor) {
  struct Case {
    int width, height, factor;
    cv::Size expected;
  };
  const Case cases[] = {
      {1280, 960, 2, {640, 480}},  {1280, 960, 4, {320, 240}}, {1280, 960, 6, {172, 128}}, {1280, 960, 3, {1280, 960}},
      {1280, 960, 1, {1280, 960}}, {1032, 772, 2, {516, 386}}, {1032, 772, 4, {320, 240}}, {1032, 772, 6, {172, 128}},
      {1032, 772, 5, {1032, 772}}, {800, 600, 3, {266, 200}},  {800, 600, 1, {800, 600}},  {640, 480, 6, {106, 80}},
      {1280, 960, 0, {0, 0}},      {800, 600, 0, {0, 0}},      {800, 600, -2, {0, 0}},     {0, 600, 2, {0, 0}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CVideoBuffer::RecordingSize(c.width, c.height, c.factor), c.expected)
        << c.width << "x" << c.height << " factor " << c.factor;
  }
  CVideoBuffer buffer;
  buffer.SetSize(800, 600, 3, 15);
  EXPECT_EQ(buffer.GetWidth(), 266);
  EXPECT_EQ(buffer.GetHeight(), 200);
}

TEST(VideoBuffer, AnalysisFileNameFollowsTheVideoFileName) {
  const std::pair<const char*, const char*> cases[] = {
      {"/data/Record_12.avi", "/data/Analysis_12.dta"},
      {"Record_3.avi", "Analysis_3.dta"},
      {"/x/Record_dir/Record_3.avi", "/x/Record_dir/Analysis_3.dta"},
      {"/x/y.avi/Record_1.avi", "/x/y.avi/Analysis_1.dta"},
      {"/x/Record_Record_2.avi.avi", "/x/Analysis_Analysis_2.dta.dta"},
      {"/x/record_4.AVI", "/x/record_4.AVI.dta"},
      {"/x/Record_5.mp4", "/x/Analysis_5.mp4"},
  };
  for (const auto& [avi, dta] : cases) EXPECT_EQ(CVideoBuffer::DtaPathFor(avi), dta) << avi;
}

TEST(VideoBuffer, FramesCompressedInReverseOrderAreWrittenInHandOverOrder) {
  TempDir dir;
  const std::string avi = dir / "Record_0.avi";
  HeldJobs jobs;
  CVideoBuffer buffer;
  buffer.SetCompressionRunnerForTesting(jobs.Runner());
  buffer.SetSize(1280, 960, 2, 15);
  ASSERT_TRUE(buffer.Start(avi));
  constexpr int kFrames = 50;
  for (int n = 0; n < kFrames; ++n) buffer.AddFrame(Record(n), Frame(1280, 960, 5 * n));
  ASSERT_EQ(jobs.Count(), std::size_t(kFrames));
  std::thread compressor([&] {
    for (int n = kFrames - 1; n >= 0; --n) jobs.Run(static_cast<std::size_t>(n));
  });
  buffer.Stop();
  compressor.join();

  EXPECT_EQ(buffer.GetFramesWritten(), std::uint32_t(kFrames));
  EXPECT_EQ(std::filesystem::file_size(dir / "Analysis_0.dta"), 188u * kFrames);
  EXPECT_EQ(FrameTimes(ReadDta(dir / "Analysis_0.dta")), ExpectedTimes(0, kFrames));
  const Video v = ReadVideo(avi);
  EXPECT_EQ(v.frames, kFrames);
  EXPECT_EQ(v.width, 640);
  EXPECT_EQ(v.height, 480);
  ASSERT_EQ(v.levels.size(), std::size_t(kFrames));
  for (int n = 0; n < kFrames; ++n) EXPECT_NEAR(v.levels[n], 5 * n, 2) << "frame " << n;
  EXPECT_EQ(HeaderFrames(avi), std::uint32_t(kFrames));
}

// The JPEG of the plain way: the frame brought to grey and resized by
// OpenCV, compressed from TurboJPEG's grey pixel format; zeros up to the AVI
// chunk's 4-byte boundary.
std::vector<unsigned char> PlainJpeg(const cv::Mat& frame, cv::Size size) {
  cv::Mat grey = frame;
  if (frame.channels() == 3) cv::cvtColor(frame, grey, cv::COLOR_BGR2GRAY);
  cv::Mat small;
  cv::resize(grey, small, size, 0, 0, cv::INTER_LINEAR);
  tjhandle handle = tjInitCompress();
  std::vector<unsigned char> jpeg(tjBufSize(size.width, size.height, TJSAMP_GRAY));
  unsigned char* data = jpeg.data();
  unsigned long length = jpeg.size();
  EXPECT_EQ(tjCompress2(handle, small.data, small.cols, static_cast<int>(small.step), small.rows, TJPF_GRAY, &data,
                        &length, TJSAMP_GRAY, 75, TJFLAG_FASTDCT | TJFLAG_NOREALLOC),
            0);
  tjDestroy(handle);
  jpeg.resize((length + 3) & ~3ul);
  std::fill(jpeg.begin() + static_cast<long>(length), jpeg.end(), 0);
  return jpeg;
}

// Each camera size and factor with a noisy picture (the sizes of the JPEG
// depend on every pixel), a grey frame with rows further apart than its width
// and a colour frame: the recorded frame is byte for byte the plain way's.
TEST(VideoBuffer, ARecordedFrameIsTheJpegOfTheFrameResizedByOpenCV) {
  struct Case {
    int width, height, factor;
    int type;
  };
  const Case cases[] = {{1280, 960, 2, CV_8UC1}, {1032, 772, 2, CV_8UC1}, {1280, 960, 4, CV_8UC1},
                        {1032, 772, 6, CV_8UC1}, {330, 250, 3, CV_8UC1},  {640, 480, 2, CV_8UC3}};
  for (const Case& c : cases) {
    const std::string name = std::to_string(c.width) + "x" + std::to_string(c.height) + " factor " +
                             std::to_string(c.factor) + (c.type == CV_8UC3 ? " colour" : "");
    cv::RNG rng(static_cast<std::uint64_t>(c.width * c.factor));
    cv::Mat wide(c.height, c.width + 24, c.type);
    rng.fill(wide, cv::RNG::NORMAL, 120, 40);
    const cv::Mat frames[] = {wide.colRange(0, c.width).clone(), wide.colRange(8, 8 + c.width)};

    TempDir dir;
    const std::string avi = dir / "Record_0.avi";
    CVideoBuffer buffer;
    buffer.SetSize(c.width, c.height, c.factor, 15);
    ASSERT_TRUE(buffer.Start(avi)) << name;
    for (int n = 0; n < 2; ++n) buffer.AddFrame(Record(n), frames[n]);
    buffer.Stop();

    const auto bytes = ReadBytes(avi);
    const auto chunks = ORV::Test::MovieChunks(bytes);
    ASSERT_EQ(chunks.size(), 2u) << name;
    const cv::Size size = CVideoBuffer::RecordingSize(c.width, c.height, c.factor);
    for (int n = 0; n < 2; ++n) {
      const auto begin = bytes.begin() + static_cast<long>(chunks[n].at + 8);
      const std::vector<unsigned char> recorded(begin, begin + chunks[n].size);
      EXPECT_TRUE(recorded == PlainJpeg(frames[n], size)) << name << ", frame " << n;
    }
  }
}

TEST(FramePool, AnImagesMemoryComesBackWhenItsLastCopyLetsGo) {
  FramePool pool;
  cv::Mat first = pool.Take({640, 480}, CV_8UC1);
  ASSERT_TRUE(FramePool::IsPooled(first));
  ASSERT_TRUE(first.isContinuous());
  const uchar* memory = first.data;
  cv::Mat copy = first;
  first.release();
  EXPECT_EQ(pool.Kept(), 0u) << "a copy still holds the memory";
  copy.release();
  EXPECT_EQ(pool.Kept(), 1u);

  cv::Mat otherSize = pool.Take({320, 240}, CV_8UC1);
  EXPECT_NE(otherSize.data, memory);
  cv::Mat again = pool.Take({480, 640}, CV_8UC1);  // the same byte size
  EXPECT_EQ(again.data, memory);
  EXPECT_EQ(again.size(), cv::Size(480, 640));
  EXPECT_EQ(pool.Kept(), 0u);

  EXPECT_FALSE(FramePool::IsPooled(cv::Mat(10, 10, CV_8UC1)));
  EXPECT_FALSE(FramePool::IsPooled(cv::Mat()));

  // Images may outlive their pool; their memory then goes to the system.
  std::optional<FramePool> shortLived(std::in_place);
  cv::Mat survivor = shortLived->Take({64, 48}, CV_8UC3);
  survivor.setTo(cv::Scalar(1, 2, 3));
  shortLived.reset();
  EXPECT_EQ(survivor.at<cv::Vec3b>(47, 63), cv::Vec3b(1, 2, 3));
  survivor.release();

  for (int i = 0; i < 2 * static_cast<int>(FramePool::kMaxKept); ++i) pool.Take({8, 8}, CV_8UC1);
  EXPECT_EQ(pool.Kept(), 1u) << "one buffer serves every image taken one after another";
  std::vector<cv::Mat> many;
  for (std::size_t i = 0; i < 2 * FramePool::kMaxKept; ++i) many.push_back(pool.Take({8, 8}, CV_8UC1));
  many.clear();
  EXPECT_EQ(pool.Kept(), FramePool::kMaxKept);
  pool.Clear();
  EXPECT_EQ(pool.Kept(), 0u);
}

TEST(VideoBuffer, APooledFrameIsRecordedWithoutACopyAndAnyOtherIsCopied) {
  TempDir dir;
  const std::string avi = dir / "Record_0.avi";
  HeldJobs jobs;
  CVideoBuffer buffer;
  buffer.SetCompressionRunnerForTesting(jobs.Runner());
  buffer.SetSize(320, 240, 2, 15);
  ASSERT_TRUE(buffer.Start(avi));

  FramePool pool;
  cv::Mat pooled = pool.Take({320, 240}, CV_8UC1);
  pooled.setTo(cv::Scalar(60));
  cv::Mat plain = Frame(320, 240, 180);
  buffer.AddFrame(Record(0), pooled);
  buffer.AddFrame(Record(1), plain);
  EXPECT_EQ(pooled.u->refcount, 2) << "the recorder shares the pooled frame";
  EXPECT_EQ(plain.u->refcount, 1) << "the recorder copied the frame";
  // The caller may reuse its own image at once.
  plain.setTo(cv::Scalar(0));

  ASSERT_EQ(jobs.Count(), 2u);
  jobs.Run(0);
  jobs.Run(1);
  EXPECT_EQ(pooled.u->refcount, 1) << "a compressed frame is let go";
  buffer.Stop();

  const Video v = ReadVideo(avi);
  EXPECT_EQ(v.levels, (std::vector<int>{60, 180}));
}

// A recorder of a 320 x 240 camera at factor 2 (160 x 120 frames, 10 frames
// per second) and the files of its recording number n in a folder of its own.
struct SmallRecording {
  explicit SmallRecording(int n = 1)
      : avi(dir / ("Record_" + std::to_string(n) + ".avi")), dta(dir / ("Analysis_" + std::to_string(n) + ".dta")) {
    buffer.SetSize(320, 240, 2, 10);
  }
  void AddFrames(int first, int count, int level = 100) {
    for (int n = first; n < first + count; ++n) buffer.AddFrame(Record(n), Frame(320, 240, level));
  }
  bool WaitForTheEnd() {
    return WaitUntil([this] { return !buffer.IsRecording(); });
  }
  TempDir dir;
  std::string avi;
  std::string dta;
  CVideoBuffer buffer;  // stopped before the folder goes
};

TEST(VideoBuffer, AFrameThatCannotBeCompressedIsLeftOutOfBothFiles) {
  SmallRecording r;
  ASSERT_TRUE(r.buffer.Start(r.avi));
  r.buffer.AddFrame(Record(0), Frame(320, 240, 50));
  r.buffer.AddFrame(Record(1), cv::Mat());
  r.buffer.AddFrame(Record(2), cv::Mat(240, 320, CV_8UC3, cv::Scalar(200, 200, 200)));
  r.buffer.AddFrame(Record(3), cv::Mat(240, 320, CV_32FC1, cv::Scalar(1.0)));
  r.buffer.Stop();

  EXPECT_EQ(FrameTimes(ReadDta(r.dta)), (std::vector<int>{Record(0).frameTime, Record(2).frameTime}));
  const Video v = ReadVideo(r.avi);
  EXPECT_EQ(v.frames, 2);
  EXPECT_EQ(v.width, 160);
  EXPECT_EQ(v.levels, (std::vector<int>{50, 200}));
}

TEST(VideoBuffer, FramesWithPausesAndAStopRightAfterTheLastAreAllWrittenAndLaterOnesDropped) {
  SmallRecording r;
  ASSERT_TRUE(r.buffer.Start(r.avi));
  // Each pause is longer than the watch waits for a frame, so every frame
  // meets a watch that is ending or has ended.
  for (int n = 0; n < 4; ++n) {
    if (n > 0) std::this_thread::sleep_for(std::chrono::milliseconds(CVideoBuffer::kWriterIdleMs + 50));
    r.buffer.AddFrame(Record(n), Frame(320, 240, 30 + 40 * n));
  }
  r.buffer.Stop();
  EXPECT_FALSE(r.buffer.IsRecording());
  r.AddFrames(9, 1);
  r.buffer.Stop();

  EXPECT_EQ(r.buffer.GetFramesWritten(), 4u);
  EXPECT_EQ(FrameTimes(ReadDta(r.dta)), ExpectedTimes(0, 4));
  EXPECT_EQ(ReadVideo(r.avi).levels, (std::vector<int>{30, 70, 110, 150}));
}

TEST(VideoBuffer, AFrameHandedOverWhileTheWatchDecidesToEndIsStillWritten) {
  SmallRecording r;
  ASSERT_TRUE(r.buffer.Start(r.avi));
  std::once_flag once;
  r.buffer.SetWriterIdleHookForTesting([&] { std::call_once(once, [&] { r.AddFrames(1, 1); }); });
  r.AddFrames(0, 1);
  // Written by its compression task, not only by Stop.
  EXPECT_TRUE(WaitUntil([&] { return r.buffer.GetFramesWritten() == 2; }));
  r.buffer.Stop();
  EXPECT_EQ(FrameTimes(ReadDta(r.dta)), ExpectedTimes(0, 2));
  EXPECT_EQ(ReadVideo(r.avi).frames, 2);
}

TEST(VideoBuffer, FramesHandedOverFromSeveralThreadsAreAllWrittenInEachThreadsOrder) {
  SmallRecording r;
  ASSERT_TRUE(r.buffer.Start(r.avi));
  // Pauses around the watch's idle time, so that watches end and start
  // while other threads hand frames over.
  constexpr int kThreads = 4, kEach = 6;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&r, t] {
      for (int i = 0; i < kEach; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(CVideoBuffer::kWriterIdleMs - 20 + 13 * ((t + i) % 4)));
        r.AddFrames(100 * t + i, 1);
      }
    });
  }
  for (auto& t : threads) t.join();
  r.buffer.Stop();

  const std::vector<int> times = FrameTimes(ReadDta(r.dta));
  ASSERT_EQ(times.size(), std::size_t(kThreads * kEach));
  EXPECT_EQ(ReadVideo(r.avi).frames, kThreads * kEach);
  for (int t = 0; t < kThreads; ++t) {
    std::vector<int> mine;
    std::copy_if(times.begin(), times.end(), std::back_inserter(mine),
                 [t](int time) { return time >= Record(100 * t).frameTime && time < Record(100 * t + 100).frameTime; });
    EXPECT_EQ(mine, ExpectedTimes(100 * t, kEach)) << "thread " << t;
  }
}

// The compression jobs write too: whichever finishes the next frame writes
// it and those after it that are compressed. A job that finds another
// writing leaves its frame to that one, which looks again once it has done.
TEST(VideoBuffer, AFrameCompressedWhileAnotherJobWritesIsWrittenByThatJob) {
  HeldJobs jobs;
  SmallRecording r;
  r.buffer.SetCompressionRunnerForTesting(jobs.Runner());
  ASSERT_TRUE(r.buffer.Start(r.avi));
  r.AddFrames(0, 3);
  std::once_flag once;
  // Frame 1 is compressed on another thread while the job of frame 0 writes.
  r.buffer.SetWriteEndHookForTesting([&] { std::call_once(once, [&] { std::thread([&] { jobs.Run(1); }).join(); }); });
  jobs.Run(0);
  EXPECT_EQ(r.buffer.GetFramesWritten(), 2u);
  jobs.Run(2);
  EXPECT_EQ(r.buffer.GetFramesWritten(), 3u);
  // Frames compressed on several threads at once are all written, in order.
  r.AddFrames(3, 300);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&jobs, t] {
      for (int n = 302 - t; n >= 3; n -= 4) jobs.Run(static_cast<std::size_t>(n));
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(r.buffer.GetFramesWritten(), 303u);
  r.buffer.Stop();
  EXPECT_EQ(FrameTimes(ReadDta(r.dta)), ExpectedTimes(0, 303));
  EXPECT_EQ(ReadVideo(r.avi).frames, 303);
}

// Frames that stop coming leave a header that counts them, long before the
// next periodic update.
TEST(VideoBuffer, InAPauseTheVideoHeaderIsBroughtUpToDate) {
  SmallRecording r;
  ASSERT_TRUE(r.buffer.Start(r.avi));
  r.AddFrames(0, 3);
  EXPECT_TRUE(WaitUntil([&] { return HeaderFrames(r.avi) == 3; }));
  r.AddFrames(3, 2);
  EXPECT_TRUE(WaitUntil([&] { return HeaderFrames(r.avi) == 5; }));
  r.buffer.Stop();
  EXPECT_EQ(ReadVideo(r.avi).frames, 5);
}

TEST(VideoBuffer, TheVideoHeaderIsBroughtUpToDateWhileFramesKeepComing) {
  OS::ManualTickSource ticks(1000);
  OS::ScopedTickSource useTicks(ticks);
  HeldJobs jobs;
  SmallRecording r;
  r.buffer.SetCompressionRunnerForTesting(jobs.Runner());
  ASSERT_TRUE(r.buffer.Start(r.avi));
  r.AddFrames(0, 3);

  // Frame 0 is written, while frame 1 waits for its compression: busy, and
  // not yet due to update the header.
  jobs.Run(0);
  ASSERT_TRUE(WaitUntil([&] { return r.buffer.GetFramesWritten() == 1; }));
  EXPECT_EQ(HeaderFrames(r.avi), 0u);

  // A few seconds later frame 1 is written, and the header updated while
  // frame 2 waits.
  ticks.Advance(CVideoBuffer::kHeaderUpdateIntervalMs);
  jobs.Run(1);
  EXPECT_TRUE(WaitUntil([&] { return HeaderFrames(r.avi) == 2; }));
  const auto bytes = ReadBytes(r.avi);
  EXPECT_EQ(U32At(bytes, 4), bytes.size() - 8);
  EXPECT_EQ(U32At(bytes, 140), 2u);
  EXPECT_EQ(U32At(bytes, 216), bytes.size() - 220);

  jobs.Run(2);
  r.buffer.Stop();
  EXPECT_EQ(HeaderFrames(r.avi), 3u);
}

TEST(VideoBuffer, StartRefusesWhatCannotBeRecordedAndLeavesNoFile) {
  struct Case {
    const char* name;
    int factor, rate;
    bool dtaIsFolder;
  };
  for (const Case& c : {Case{"factor 0", 0, 15, false}, Case{"frame rate 0", 2, 0, false},
                        Case{"analysis file cannot be made", 2, 15, true}}) {
    SCOPED_TRACE(c.name);
    ORV::Test::MemoryEventLog log;
    SmallRecording r;
    if (c.dtaIsFolder) std::filesystem::create_directory(r.dta);
    r.buffer.SetSize(1280, 960, c.factor, c.rate);
    EXPECT_FALSE(r.buffer.Start(r.avi));
    EXPECT_FALSE(r.buffer.IsRecording());
    EXPECT_FALSE(std::filesystem::exists(r.avi));
    EXPECT_NE(log.Dump().find("not started"), std::string::npos) << log.Dump();
    r.buffer.AddFrame(Record(0), Frame(1280, 960, 0));
    r.buffer.Stop();
    EXPECT_EQ(r.buffer.GetFramesWritten(), 0u);
  }
}

TEST(VideoBuffer, StartingAgainCompletesTheRecordingBefore) {
  SmallRecording r(6);
  ASSERT_TRUE(r.buffer.Start(r.avi));
  r.AddFrames(0, 3);
  ASSERT_TRUE(r.buffer.Start(r.dir / "Record_7.avi"));
  r.AddFrames(3, 2);
  r.buffer.Stop();

  EXPECT_EQ(FrameTimes(ReadDta(r.dta)), ExpectedTimes(0, 3));
  EXPECT_EQ(HeaderFrames(r.avi), 3u);
  EXPECT_EQ(ReadVideo(r.avi).frames, 3);
  EXPECT_EQ(FrameTimes(ReadDta(r.dir / "Analysis_7.dta")), ExpectedTimes(3, 2));
  EXPECT_EQ(ReadVideo(r.dir / "Record_7.avi").frames, 2);
}

// Frames in the video and records in the analysis file of a finished
// recording; both must agree.
void ExpectConsistent(const SmallRecording& r, int frames) {
  EXPECT_EQ(HeaderFrames(r.avi), std::uint32_t(frames));
  EXPECT_EQ(ORV::Test::MovieChunks(ReadBytes(r.avi)).size(), std::size_t(frames));
  EXPECT_EQ(FrameTimes(ReadDta(r.dta)), ExpectedTimes(0, frames));
  if (frames > 0) {
    EXPECT_EQ(ReadVideo(r.avi).frames, frames);
  }
}

TEST(VideoBuffer, AtTheSizeLimitTheRecordingEndsWithBothFilesAtTheSameFrameCount) {
  ORV::Test::MemoryEventLog log;
  SmallRecording r;
  r.buffer.SetFileSizeLimitForTesting(8000);
  ASSERT_TRUE(r.buffer.Start(r.avi));
  r.AddFrames(0, 40);
  EXPECT_TRUE(r.WaitForTheEnd());
  r.AddFrames(40, 1);
  r.buffer.Stop();

  const int written = static_cast<int>(r.buffer.GetFramesWritten());
  EXPECT_GT(written, 0);
  EXPECT_LT(written, 40);
  EXPECT_LE(std::filesystem::file_size(r.avi), 8000u);
  ExpectConsistent(r, written);
  EXPECT_NE(log.Dump().find("largest size"), std::string::npos) << log.Dump();
}

TEST(VideoBuffer, AFileThatCannotBeWrittenEndsTheRecordingAndSaysSo) {
  // The analysis file fails at its first record.
  {
    ORV::Test::MemoryEventLog log;
    SmallRecording r(9);
    std::filesystem::create_symlink("/dev/full", r.dta);
    ASSERT_TRUE(r.buffer.Start(r.avi));
    r.AddFrames(0, 5);
    EXPECT_TRUE(r.WaitForTheEnd());
    r.buffer.Stop();
    EXPECT_EQ(r.buffer.GetFramesWritten(), 0u);
    EXPECT_EQ(HeaderFrames(r.avi), 0u);
    EXPECT_NE(log.Dump().find("Analysis_9.dta\" cannot be written"), std::string::npos) << log.Dump();
  }
  // The video file fails part-way through its fourth frame.
  {
    ORV::Test::MemoryEventLog log;
    std::uint32_t chunk = 0;  // the size of one frame's chunk
    {
      SmallRecording probe;
      ASSERT_TRUE(probe.buffer.Start(probe.avi));
      probe.AddFrames(0, 1);
      probe.buffer.Stop();
      chunk = 8 + U32At(ReadBytes(probe.avi), 228);
    }
    SmallRecording r(10);
    {
      FileSizeCap cap(224 + 3 * chunk + chunk / 2);
      ASSERT_TRUE(r.buffer.Start(r.avi));
      r.AddFrames(0, 6);
      EXPECT_TRUE(r.WaitForTheEnd());
      r.buffer.Stop();
    }
    EXPECT_EQ(r.buffer.GetFramesWritten(), 3u);
    ExpectConsistent(r, 3);
    EXPECT_NE(log.Dump().find("video file cannot be written"), std::string::npos) << log.Dump();
  }
}

}  // namespace
}  // namespace ORV
