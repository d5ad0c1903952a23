#pragma once
// Playback of a recorded video file: a reader thread decodes the file ahead,
// at most one batch of five frames ahead of the one who takes them, so the
// frame timer takes each frame without waiting for the decoder.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <opencv2/core.hpp>
#include <string>
#include <thread>

namespace ORV {

// Whole seconds as "h:mm:ss", "m:ss" or, under a minute, "%2d" (a space
// before a single digit): the position and length texts of a video file.
std::string FormatDuration(std::uint32_t seconds);

class ReadVideoFrames {
 public:
  static constexpr int kBatch = 5;

  // What the file says of itself when it is opened.
  struct Info {
    int width = 0;
    int height = 0;
    double frameCount = 0.0;
    double framesPerSecond = 0.0;
  };

  ReadVideoFrames() = default;
  // Stops the reader and waits for it.
  ~ReadVideoFrames();
  ReadVideoFrames(const ReadVideoFrames&) = delete;
  ReadVideoFrames& operator=(const ReadVideoFrames&) = delete;

  // Closes a file still open, opens `path` (UTF-8) and starts the reader.
  // False when the file cannot be opened as a video.
  bool Open(const std::string& path);
  // Stops the reader and closes the file.
  void Close();
  bool IsOpen() const;
  Info GetInfo() const;

  // The next frame (the file's own, usually three-channel); waits for the
  // reader when none is decoded yet. Empty at the end of the file (also when
  // the file ends before the frame count it gave), and when nothing is open.
  cv::Mat NextFrame();
  // The next NextFrame gives frame `frameIndex`: the frames decoded ahead
  // are dropped.
  void Seek(int frameIndex);

 private:
  struct State;
  void Read(const std::shared_ptr<State>& state);

  std::shared_ptr<State> state_;
  std::thread reader_;
};

}  // namespace ORV
