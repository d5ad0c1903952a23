#include "analysis_control/read_video_frames.h"

#include <cstdio>
#include <opencv2/videoio.hpp>

#include "core/base/time_text.h"

namespace ORV {

std::string FormatDuration(std::uint32_t seconds) {
  if (seconds >= 60) return FormatTimeSeconds(seconds);
  char text[8];
  std::snprintf(text, sizeof text, "%2u", seconds);
  return text;
}

struct ReadVideoFrames::State {
  cv::VideoCapture capture;
  Info info;
  std::mutex mutex;
  std::condition_variable changed;
  std::deque<cv::Mat> frames;
  bool request = true;  // decode another batch
  bool atEnd = false;   // the last batch found the end of the file
  bool stop = false;
};

ReadVideoFrames::~ReadVideoFrames() { Close(); }

bool ReadVideoFrames::Open(const std::string& path) {
  Close();
  auto state = std::make_shared<State>();
  // Our own recordings are Motion-JPEG AVI files, which both readers take;
  // FFmpeg also reads what other programs wrote.
  for (int api : {cv::CAP_FFMPEG, cv::CAP_OPENCV_MJPEG}) {
    try {
      if (state->capture.open(path, api)) break;
    } catch (const cv::Exception&) {
    }
  }
  if (!state->capture.isOpened()) return false;
  state->info.width = static_cast<int>(state->capture.get(cv::CAP_PROP_FRAME_WIDTH));
  state->info.height = static_cast<int>(state->capture.get(cv::CAP_PROP_FRAME_HEIGHT));
  state->info.frameCount = state->capture.get(cv::CAP_PROP_FRAME_COUNT);
  state->info.framesPerSecond = state->capture.get(cv::CAP_PROP_FPS);
  state_ = state;
  reader_ = std::thread([this, state] { Read(state); });
  return true;
}

void ReadVideoFrames::Close() {
  if (!state_) return;
  {
    std::lock_guard lock(state_->mutex);
    state_->stop = true;
  }
  state_->changed.notify_all();
  if (reader_.joinable()) reader_.join();
  state_.reset();
}

bool ReadVideoFrames::IsOpen() const { return state_ != nullptr && state_->capture.isOpened(); }

ReadVideoFrames::Info ReadVideoFrames::GetInfo() const { return state_ ? state_->info : Info{}; }

void ReadVideoFrames::Read(const std::shared_ptr<State>& state) {
  std::unique_lock lock(state->mutex);
  for (;;) {
    state->changed.wait(lock, [&] { return state->request || state->stop; });
    if (state->stop) break;
    state->request = false;
    bool found = false;
    for (int i = 0; i < kBatch && !state->stop; ++i) {
      if (i > 0) {
        // Let the taker in between two frames.
        lock.unlock();
        lock.lock();
      }
      cv::Mat frame;
      try {
        if (!state->capture.read(frame) || frame.empty()) break;
      } catch (const cv::Exception&) {
        break;
      }
      // The capture reuses its buffer: the queue keeps a copy.
      state->frames.push_back(frame.clone());
      found = true;
      state->changed.notify_all();
    }
    if (!found) state->atEnd = true;
    state->changed.notify_all();
  }
  state->capture.release();
}

cv::Mat ReadVideoFrames::NextFrame() {
  if (!state_) return {};
  State& s = *state_;
  std::unique_lock lock(s.mutex);
  s.changed.wait(lock, [&] { return !s.frames.empty() || s.atEnd || s.stop; });
  if (s.frames.empty()) return {};
  cv::Mat frame = std::move(s.frames.front());
  s.frames.pop_front();
  if (s.frames.size() < 2 && !s.atEnd) {
    s.request = true;
    s.changed.notify_all();
  }
  return frame;
}

void ReadVideoFrames::Seek(int frameIndex) {
  if (!state_) return;
  State& s = *state_;
  {
    std::lock_guard lock(s.mutex);
    try {
      s.capture.set(cv::CAP_PROP_POS_FRAMES, frameIndex);
    } catch (const cv::Exception&) {
    }
    s.frames.clear();
    s.atEnd = false;
    s.request = true;
  }
  s.changed.notify_all();
}

}  // namespace ORV
