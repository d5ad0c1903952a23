#include "video/loader/still_image_loader.h"

#include <cmath>
#include <cstring>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

namespace ORV::Video {

namespace {

class OpenCvImageLoader final : public StillImageLoader {
 public:
  ~OpenCvImageLoader() override { Close(); }

  bool Open(const std::string& path) override {
    Close();
    if (path.empty()) return false;
    // A single picture is a video of one frame at one frame a second (the
    // video reader would take it for a stream of pictures without a count).
    if (cv::haveImageReader(path)) {
      cv::Mat picture = cv::imread(path, cv::IMREAD_COLOR);
      if (picture.empty()) return false;
      still_ = picture;
      width_ = picture.cols;
      height_ = picture.rows;
      frameRate_ = 1;
      frameCount_ = 1;
      return true;
    }
    // The recorder writes MJPG AVI files; FFmpeg reads them and seeks in
    // them by frame, OpenCV's own MJPEG reader is the fallback.
    for (const int api : {cv::CAP_FFMPEG, cv::CAP_OPENCV_MJPEG}) {
      if (video_.open(path, api) && video_.isOpened()) break;
      video_.release();
    }
    if (!video_.isOpened()) return false;
    width_ = static_cast<int>(video_.get(cv::CAP_PROP_FRAME_WIDTH));
    height_ = static_cast<int>(video_.get(cv::CAP_PROP_FRAME_HEIGHT));
    const double fps = video_.get(cv::CAP_PROP_FPS);
    frameRate_ = std::isfinite(fps) && fps > 0.0 && fps < 1e6 ? static_cast<int>(std::lround(fps)) : 0;
    const double count = video_.get(cv::CAP_PROP_FRAME_COUNT);
    frameCount_ = std::isfinite(count) && count > 0.0 && count < 2e9 ? static_cast<int>(count) : 0;
    nextIndex_ = 0;
    if (width_ > 0 && height_ > 0) return true;
    Close();
    return false;
  }

  void Close() override {
    video_.release();
    still_.release();
    width_ = height_ = frameRate_ = frameCount_ = 0;
    nextIndex_ = 0;
  }

  bool ReadFrame(int index, std::uint8_t* buffer, std::size_t size) override {
    if (buffer == nullptr || index < 0 || index >= frameCount_ || size < FrameBufferSize() || FrameBufferSize() == 0) {
      return false;
    }
    cv::Mat frame;
    if (!still_.empty()) {
      frame = still_;
    } else {
      // Reading on from the last frame needs no seek; playing forwards is
      // the common case.
      if (index != nextIndex_ && !video_.set(cv::CAP_PROP_POS_FRAMES, index)) return false;
      nextIndex_ = -1;
      if (!video_.read(frame) || frame.empty()) return false;
      nextIndex_ = index + 1;
    }
    return CopyBgr(frame, buffer);
  }

  std::size_t FrameBufferSize() const override {
    return static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_) * 3;
  }

  bool Information(int& width, int& height, int& frameRate, int& frameCount) const override {
    if (width_ <= 0 || height_ <= 0) return false;
    width = width_;
    height = height_;
    frameRate = frameRate_;
    frameCount = frameCount_;
    return true;
  }

 private:
  // Writes the frame as packed BGR rows of the video's size, whatever the
  // decoder delivered (grey, BGRA, another size).
  bool CopyBgr(const cv::Mat& frame, std::uint8_t* out) const {
    if (frame.depth() != CV_8U) return false;
    cv::Mat bgr;
    switch (frame.channels()) {
      case 1:
        cv::cvtColor(frame, bgr, cv::COLOR_GRAY2BGR);
        break;
      case 3:
        bgr = frame;
        break;
      case 4:
        cv::cvtColor(frame, bgr, cv::COLOR_BGRA2BGR);
        break;
      default:
        return false;
    }
    if (bgr.cols != width_ || bgr.rows != height_) {
      cv::Mat sized;
      cv::resize(bgr, sized, cv::Size(width_, height_), 0, 0, cv::INTER_AREA);
      bgr = sized;
    }
    const std::size_t row = static_cast<std::size_t>(width_) * 3;
    for (int y = 0; y < height_; ++y) std::memcpy(out + row * static_cast<std::size_t>(y), bgr.ptr(y), row);
    return true;
  }

  cv::VideoCapture video_;
  cv::Mat still_;
  int width_ = 0;
  int height_ = 0;
  int frameRate_ = 0;
  int frameCount_ = 0;
  int nextIndex_ = 0;  // the frame the reader delivers next without a seek; -1 unknown
};

}  // namespace

std::unique_ptr<StillImageLoader> CreateImageLoader() { return std::make_unique<OpenCvImageLoader>(); }

}  // namespace ORV::Video
