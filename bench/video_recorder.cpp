// Throughput of the video recorder against bare JPEG compression.
//
// A 1280 x 960 camera recorded with factor 2: the recorder shrinks each
// frame to 640 x 480, compresses it (grey, quality 75, fast DCT) on the task
// pool and writes it with its analysis record. Every recording goes into
// files of its own, as every recording of the program does.
//
// The anchor is TurboJPEG alone compressing the very frames the recorder
// writes (the same 640 x 480 pictures, shrunk beforehand) on one thread per
// processor, the recorder's own number of compression tasks, through the
// same entry point of TurboJPEG as the recorder (the fastest for a grey
// picture; the one-thread figure of the grey pixel format, which the
// recorder used before, is printed beside it). Each round runs the anchor
// and then the recorder's two figures below, so that a machine busy with
// other work slows each of them alike; every round prints its figures, its
// ratios and the load average, and the end the median and range of the
// ratios. Processor time per frame changes much less with the load of the
// machine than time does.
//
// Cold frames (the figure kept from before): the 32 camera frames (39 MB)
// sit in pooled memory and are handed over in turn by reference, as fast as
// the recorder takes them, at most kInFlight frames in flight (the frames
// are written in order, so a compression task that the system holds back
// for a moment holds the writer too; the limit leaves room for some tens of
// milliseconds of that at full speed). Each frame has left the caches by
// the time it is shrunk: the shrink waits at least as long as the memory
// takes to deliver 1.2 MB, where the anchor's pictures are a quarter of
// that. A second reference adds the shrink to the anchor (the recorder's
// shrink, on the same threads), so the difference to the recorder is the
// hand-over and the writing. Also reported: the time AddFrame takes, and the
// shrink of one frame on one thread against OpenCV's resize that made the
// same pictures before and against only reading the frame, the least any
// shrink of a frame that comes from memory takes.
//
// From the camera (the program's path): a camera back-end's library thread
// copies each new frame into the back-end's frame store and calls the
// capture engine, which on that same thread copies the frame into a frame
// of its frame pool and hands it to the recorder at once. Here one camera
// thread runs at kCameraRate frames per second (the simulated lab's camera,
// the fastest the program is asked to keep up with), takes a frame from a
// frame pool, writes the next of the 32 pictures into it (one copy where
// the program makes two; either way every byte of the frame has just been
// written by the thread that hands it over) and hands it over. The recorder
// meets every frame alone, as in the program: a task of the pool wakes for
// it, to shrink, compress and write it. Its processor time is the process's
// minus what the camera thread spends outside AddFrame (writing the frames
// and waiting for the next one); the time of this run is the camera's, so
// only processor time is compared with the anchor's.
//
//   bench_video_recorder [frames per run] [rounds] [camera frames]
//                                                      (default 2000, 5, 1000)
#include <stdlib.h>
#include <sys/resource.h>
#include <time.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <string>
#include <thread>
#include <vector>

#include "analysis_control/frame_shrink.h"
#include "analysis_control/video_buffer.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kInFlight = 256;
constexpr int kCameraRate = 200;

double Seconds(Clock::time_point from) { return std::chrono::duration<double>(Clock::now() - from).count(); }

// Processor time of the calling thread.
double ThreadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

double ProcessCpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Camera-like frames: a bright field with a dark vessel wall on each side, a
// grey lumen, a gradient and sensor noise, so the JPEG sizes are realistic.
std::vector<cv::Mat> MakeFrames(int count) {
  std::vector<cv::Mat> frames;
  cv::RNG rng(12345);
  for (int i = 0; i < count; ++i) {
    cv::Mat f(960, 1280, CV_8UC1);
    for (int y = 0; y < f.rows; ++y) {
      auto* row = f.ptr<unsigned char>(y);
      for (int x = 0; x < f.cols; ++x) row[x] = static_cast<unsigned char>(150 + (x + y) / 40);
    }
    const int shift = (i * 3) % 40;
    cv::rectangle(f, cv::Rect(400 + shift, 0, 60, 960), cv::Scalar(40), cv::FILLED);
    cv::rectangle(f, cv::Rect(820 - shift, 0, 60, 960), cv::Scalar(40), cv::FILLED);
    cv::rectangle(f, cv::Rect(460 + shift, 0, 360 - 2 * shift, 960), cv::Scalar(110), cv::FILLED);
    cv::Mat noise(f.size(), CV_8SC1);
    rng.fill(noise, cv::RNG::NORMAL, 0, 6);
    cv::add(f, noise, f, cv::noArray(), CV_8U);
    frames.push_back(f);
  }
  return frames;
}

// TurboJPEG compressing a grey picture handed over as the JPEG's one plane,
// as the recorder does, or (`packed`) in the grey pixel format, which the
// library first copies pixel by pixel into a buffer of its own. The JPEG is
// the same.
struct Compressor {
  tjhandle handle = tjInitCompress();
  std::vector<unsigned char> buffer = std::vector<unsigned char>(tjBufSize(640, 480, TJSAMP_GRAY));
  ~Compressor() { tjDestroy(handle); }
  unsigned long Compress(const cv::Mat& m, bool packed) {
    unsigned char* out = buffer.data();
    unsigned long size = buffer.size();
    const unsigned char* planes[1] = {m.data};
    const int strides[1] = {static_cast<int>(m.step)};
    const int failed = packed ? tjCompress2(handle, m.data, m.cols, strides[0], m.rows, TJPF_GRAY, &out, &size,
                                            TJSAMP_GRAY, 75, TJFLAG_FASTDCT | TJFLAG_NOREALLOC)
                              : tjCompressFromYUVPlanes(handle, planes, m.cols, strides, m.rows, TJSAMP_GRAY, &out,
                                                        &size, 75, TJFLAG_FASTDCT | TJFLAG_NOREALLOC);
    if (failed) {
      std::fprintf(stderr, "compression failed: %s\n", tjGetErrorStr2(handle));
      std::exit(1);
    }
    return size;
  }
};

struct Result {
  double seconds = 0;
  double cpuSeconds = 0;
  double handOverSeconds = 0;   // recorder: time spent in AddFrame on the capture thread
  double cameraCpuSeconds = 0;  // from the camera: the camera thread's own processor time
};

// Compresses `frames` frames taken round-robin from `source` on `threads`
// threads; with `shrink` each is first shrunk to 640 x 480; `packed` as in
// Compressor.
Result CompressAlone(const std::vector<cv::Mat>& source, int frames, unsigned threads, std::uint64_t* bytes,
                     bool shrink = false, bool packed = false) {
  std::atomic<int> next{0};
  std::atomic<std::uint64_t> total{0};
  const double cpu = ProcessCpuSeconds();
  const auto start = Clock::now();
  std::vector<std::thread> workers;
  for (unsigned t = 0; t < threads; ++t) {
    workers.emplace_back([&] {
      Compressor c;
      std::uint64_t mine = 0;
      cv::Mat small;
      for (int i = next++; i < frames; i = next++) {
        const cv::Mat& frame = source[static_cast<std::size_t>(i) % source.size()];
        if (shrink) ORV::ShrinkGrey(frame, cv::Size(640, 480), small);
        mine += c.Compress(shrink ? small : frame, packed);
      }
      total += mine;
    });
  }
  for (auto& w : workers) w.join();
  Result r{Seconds(start), ProcessCpuSeconds() - cpu};
  if (bytes) *bytes = total;
  return r;
}

// A new recording into `file`.
void StartRecording(ORV::CVideoBuffer& buffer, const std::string& file) {
  buffer.SetSize(1280, 960, 2, kCameraRate);
  if (!buffer.Start(file)) {
    std::fprintf(stderr, "cannot start recording into %s\n", file.c_str());
    std::exit(1);
  }
}

void ExpectWritten(const ORV::CVideoBuffer& buffer, int count) {
  if (static_cast<int>(buffer.GetFramesWritten()) != count) {
    std::fprintf(stderr, "only %u of %d frames recorded\n", buffer.GetFramesWritten(), count);
    std::exit(1);
  }
}

// Records `count` cold frames taken by reference round-robin from `frames`.
Result Record(const std::vector<cv::Mat>& frames, int count, const std::string& file) {
  ORV::CVideoBuffer buffer;
  StartRecording(buffer, file);
  ORV::AnalysisData record;
  double handOver = 0;
  const double cpu = ProcessCpuSeconds();
  const auto start = Clock::now();
  for (int i = 0; i < count; ++i) {
    while (static_cast<int>(buffer.GetFramesWritten()) < i - kInFlight)
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    record.frameTime = i * 5;
    const auto before = Clock::now();
    buffer.AddFrame(record, frames[static_cast<std::size_t>(i) % frames.size()]);
    handOver += Seconds(before);
  }
  buffer.Stop();
  Result r{Seconds(start), ProcessCpuSeconds() - cpu, handOver};
  ExpectWritten(buffer, count);
  return r;
}

// Records `count` frames from a camera at kCameraRate frames per second,
// which writes the pictures of `pictures` in turn into frames of its frame
// pool, each just before it hands it over.
Result RecordFromCamera(const std::vector<cv::Mat>& pictures, int count, const std::string& file) {
  ORV::FramePool pool;
  ORV::CVideoBuffer buffer;
  StartRecording(buffer, file);
  ORV::AnalysisData record;
  double handOver = 0, handOverCpu = 0;
  const double cpu = ProcessCpuSeconds();
  const double cameraCpu = ThreadCpuSeconds();
  const auto start = Clock::now();
  for (int i = 0; i < count; ++i) {
    std::this_thread::sleep_until(start + std::chrono::microseconds(std::int64_t{1000000} * i / kCameraRate));
    const cv::Mat& picture = pictures[static_cast<std::size_t>(i) % pictures.size()];
    cv::Mat frame = pool.Take(picture.size(), picture.type());
    std::memcpy(frame.data, picture.data, picture.total() * picture.elemSize());
    record.frameTime = i * 1000 / kCameraRate;
    const auto before = Clock::now();
    const double beforeCpu = ThreadCpuSeconds();
    buffer.AddFrame(record, frame);
    handOverCpu += ThreadCpuSeconds() - beforeCpu;
    handOver += Seconds(before);
  }
  const double camera = ThreadCpuSeconds() - cameraCpu - handOverCpu;
  buffer.Stop();
  Result r{Seconds(start), ProcessCpuSeconds() - cpu - camera, handOver, camera};
  ExpectWritten(buffer, count);
  return r;
}

// Seconds per frame of shrinking `frames` frames taken round-robin from
// `source` on one thread, with ORV::ShrinkGrey or with OpenCV's resize.
double ShrinkSeconds(const std::vector<cv::Mat>& source, int frames, bool opencv) {
  cv::Mat small;
  const auto start = Clock::now();
  for (int i = 0; i < frames; ++i) {
    const cv::Mat& frame = source[static_cast<std::size_t>(i) % source.size()];
    if (opencv) {
      cv::resize(frame, small, cv::Size(640, 480), 0, 0, cv::INTER_LINEAR);
    } else {
      ORV::ShrinkGrey(frame, cv::Size(640, 480), small);
    }
  }
  return Seconds(start) / frames;
}

// Seconds per frame of only reading `frames` frames taken round-robin from
// `source` on one thread: a sum of the frame's 64-byte lines, one word each.
double ReadSeconds(const std::vector<cv::Mat>& source, int frames) {
  std::uint64_t sum = 0;
  const auto start = Clock::now();
  for (int i = 0; i < frames; ++i) {
    const cv::Mat& frame = source[static_cast<std::size_t>(i) % source.size()];
    const std::size_t bytes = frame.total() * frame.elemSize();
    for (std::size_t at = 0; at + 8 <= bytes; at += 64) {
      std::uint64_t word;
      std::memcpy(&word, frame.data + at, sizeof word);
      sum += word;
    }
  }
  const double seconds = Seconds(start) / frames;
  volatile std::uint64_t sink = sum;
  (void)sink;
  return seconds;
}

// The system's load average over the last minute: the number of threads of
// every program that wanted a processor. Beyond the number of processors the
// three runs of a round share them with other work, and their times say
// less than their processor times.
double LoadAverage() {
  double load[1] = {0};
  return getloadavg(load, 1) == 1 ? load[0] : 0;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

void PrintRatios(const char* what, const std::vector<double>& time, const std::vector<double>& cpu) {
  std::printf("%s: time %.2f (%.2f-%.2f), processor time %.2f (%.2f-%.2f)\n", what, Median(time),
              *std::min_element(time.begin(), time.end()), *std::max_element(time.begin(), time.end()), Median(cpu),
              *std::min_element(cpu.begin(), cpu.end()), *std::max_element(cpu.begin(), cpu.end()));
}

}  // namespace

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::max(100, std::atoi(argv[1])) : 2000;
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  const int cameraCount = argc > 3 ? std::max(100, std::atoi(argv[3])) : 1000;
  const unsigned threads = std::max(1u, std::thread::hardware_concurrency());
  const std::vector<cv::Mat> frames = MakeFrames(32);
  // The camera's frames, as the capture thread hands them over: in pooled
  // memory, which the recorder shares instead of copying.
  ORV::FramePool pool;
  std::vector<cv::Mat> captured;
  for (const cv::Mat& f : frames) {
    captured.push_back(pool.Take(f.size(), f.type()));
    f.copyTo(captured.back());
  }
  // The pictures the recorder writes.
  std::vector<cv::Mat> small;
  for (const cv::Mat& f : frames) {
    cv::Mat s;
    ORV::ShrinkGrey(f, cv::Size(640, 480), s);
    small.push_back(s);
  }

  char folder[] = "/tmp/bench-video-recorder-XXXXXX";
  if (!mkdtemp(folder)) {
    std::perror("mkdtemp");
    return 1;
  }
  // Each recording into new files, as in the program: a file written anew
  // would first have its old contents thrown away (and flushed to the disk
  // when closed).
  int recordings = 0;
  std::uint64_t fileBytes = 0;  // of the last recording
  const auto recording = [&](const std::function<Result(const std::string&)>& record) {
    const std::string file = std::string(folder) + "/Record_" + std::to_string(recordings++) + ".avi";
    const Result r = record(file);
    fileBytes = std::filesystem::file_size(file);
    std::filesystem::remove(file);
    std::filesystem::remove(ORV::CVideoBuffer::DtaPathFor(file));
    return r;
  };

  // Warm up the pool, the compressors and the file system once.
  recording([&](const std::string& file) { return Record(captured, 200, file); });
  CompressAlone(small, 200, threads, nullptr);
  CompressAlone(frames, 200, threads, nullptr, true);

  std::uint64_t bytes = 0;
  const Result one = CompressAlone(small, count, 1, &bytes);
  const Result onePacked = CompressAlone(small, count, 1, nullptr, false, true);
  const double shrink = ShrinkSeconds(frames, 1000, false);
  const double resize = ShrinkSeconds(frames, 1000, true);
  const double read = ReadSeconds(frames, 1000);
  std::printf("frames: %d per run of 1280 x 960 recorded at 640 x 480 (factor 2), %u processors, %d rounds\n", count,
              threads, rounds);
  std::printf("mean JPEG size: %.0f bytes\n", double(bytes) / count);
  std::printf("TurboJPEG alone, 1 thread: %.0f frames/s (%.3f ms processor time per frame)\n", count / one.seconds,
              1000 * one.cpuSeconds / count);
  std::printf("  from the grey pixel format:  %.0f frames/s (%.3f ms processor time per frame)\n",
              count / onePacked.seconds, 1000 * onePacked.cpuSeconds / count);
  std::printf("shrink of one frame, 1 thread: %.3f ms (OpenCV resize %.3f ms, reading the frame alone %.3f ms)\n",
              1000 * shrink, 1000 * resize, 1000 * read);
  std::printf(
      "frames/s and processor ms per frame on %u threads; cold frames, then %d frames from the camera at "
      "%d frames/s:\n",
      threads, cameraCount, kCameraRate);
  std::printf(
      "round  TurboJPEG alone    shrink + TurboJPEG  recorder, cold     hand-over  ratio time  ratio cpu  load  "
      "camera: recorder  own ms  hand-over  ratio cpu  load\n");

  std::vector<double> time, cpu, timeShrunk, cpuShrunk, cpuCamera;
  std::uint64_t coldFileBytes = 0;
  for (int r = 0; r < rounds; ++r) {
    const Result all = CompressAlone(small, count, threads, nullptr);
    const Result both = CompressAlone(frames, count, threads, nullptr, true);
    const Result rec = recording([&](const std::string& file) { return Record(captured, count, file); });
    coldFileBytes = fileBytes;
    time.push_back(rec.seconds / all.seconds);
    cpu.push_back(rec.cpuSeconds / all.cpuSeconds);
    timeShrunk.push_back(rec.seconds / both.seconds);
    cpuShrunk.push_back(rec.cpuSeconds / both.cpuSeconds);
    std::printf("%5d  %6.0f (%.3f ms)  %6.0f (%.3f ms)  %6.0f (%.3f ms)  %.3f ms   %10.2f  %9.2f  %4.1f", r + 1,
                count / all.seconds, 1000 * all.cpuSeconds / count, count / both.seconds,
                1000 * both.cpuSeconds / count, count / rec.seconds, 1000 * rec.cpuSeconds / count,
                1000 * rec.handOverSeconds / count, time.back(), cpu.back(), LoadAverage());
    std::fflush(stdout);
    const Result cam = recording([&](const std::string& file) { return RecordFromCamera(frames, cameraCount, file); });
    cpuCamera.push_back((cam.cpuSeconds / cameraCount) / (all.cpuSeconds / count));
    std::printf("  %13.3f ms  %.3f ms  %.3f ms   %9.2f  %4.1f\n", 1000 * cam.cpuSeconds / cameraCount,
                1000 * cam.cameraCpuSeconds / cameraCount, 1000 * cam.handOverSeconds / cameraCount, cpuCamera.back(),
                LoadAverage());
  }
  std::filesystem::remove_all(folder);

  std::printf("AVI file of a run of cold frames: %.1f MB\n", double(coldFileBytes) / 1e6);
  std::printf("median (range) over %d rounds\n", rounds);
  PrintRatios("cold frames: ratio recorder / TurboJPEG alone", time, cpu);
  PrintRatios("cold frames: ratio recorder / shrink + TurboJPEG", timeShrunk, cpuShrunk);
  std::printf("from the camera: ratio recorder / TurboJPEG alone: processor time %.2f (%.2f-%.2f)\n", Median(cpuCamera),
              *std::min_element(cpuCamera.begin(), cpuCamera.end()),
              *std::max_element(cpuCamera.begin(), cpuCamera.end()));
  return 0;
}
