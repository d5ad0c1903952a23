// The system's video-capture devices through V4L2: /dev/video* nodes that
// capture video, their formats, sizes, inputs and controls by ioctl, and
// frames streamed through memory-mapped buffers and turned into 24-bit BGR.
#include <fcntl.h>
#include <linux/videodev2.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "platform/cameras/capture/capture_device.h"

namespace ORV::Cameras {

namespace {

int Ioctl(int fd, unsigned long request, void* argument) {
  int result;
  do {
    result = ::ioctl(fd, request, argument);
  } while (result == -1 && errno == EINTR);
  return result;
}

// The colour conversion to BGR of a pixel format this layer reads; -1 for
// formats it cannot read. Grey and BGR24 need none (-2).
int ConversionOf(std::uint32_t fourcc) {
  switch (fourcc) {
    case V4L2_PIX_FMT_BGR24:
    case V4L2_PIX_FMT_GREY:
      return -2;
    case V4L2_PIX_FMT_BGR32:
      return cv::COLOR_BGRA2BGR;
    case V4L2_PIX_FMT_RGB565:
      return cv::COLOR_BGR5652BGR;
    case V4L2_PIX_FMT_RGB555:
      return cv::COLOR_BGR5552BGR;
    case V4L2_PIX_FMT_YUYV:
      return cv::COLOR_YUV2BGR_YUYV;
    case V4L2_PIX_FMT_YVYU:
      return cv::COLOR_YUV2BGR_YVYU;
    case V4L2_PIX_FMT_UYVY:
      return cv::COLOR_YUV2BGR_UYVY;
    case V4L2_PIX_FMT_YUV420:
      return cv::COLOR_YUV2BGR_I420;
    case V4L2_PIX_FMT_YVU420:
      return cv::COLOR_YUV2BGR_YV12;
    default:
      return -1;
  }
}

// The number of bytes a frame of the format holds (0 for unknown formats).
std::size_t FrameBytes(std::uint32_t fourcc, int width, int height, int bytesPerLine) {
  const std::size_t w = static_cast<std::size_t>(width), h = static_cast<std::size_t>(height);
  switch (fourcc) {
    case V4L2_PIX_FMT_GREY:
      return static_cast<std::size_t>(bytesPerLine) * h;
    case V4L2_PIX_FMT_YUV420:
    case V4L2_PIX_FMT_YVU420:
      return w * h * 3 / 2;
    default:
      return static_cast<std::size_t>(bytesPerLine) * h;
  }
}

std::string CardName(const v4l2_capability& caps) {
  const char* card = reinterpret_cast<const char*>(caps.card);
  return std::string(card, strnlen(card, sizeof caps.card));
}

bool CapturesVideo(const v4l2_capability& caps) {
  const std::uint32_t c = (caps.capabilities & V4L2_CAP_DEVICE_CAPS) ? caps.device_caps : caps.capabilities;
  return (c & V4L2_CAP_VIDEO_CAPTURE) && (c & V4L2_CAP_STREAMING);
}

class V4L2Device : public CaptureDevice {
 public:
  explicit V4L2Device(int fd) : fd_(fd) {}
  ~V4L2Device() override {
    StopStreaming();
    ::close(fd_);
  }

  std::vector<FormatCapability> Capabilities() override {
    std::vector<FormatCapability> out;
    v4l2_fmtdesc desc{};
    desc.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    for (desc.index = 0; Ioctl(fd_, VIDIOC_ENUM_FMT, &desc) == 0; ++desc.index) {
      if (ConversionOf(desc.pixelformat) == -1) continue;
      v4l2_frmsizeenum size{};
      size.pixel_format = desc.pixelformat;
      for (size.index = 0; Ioctl(fd_, VIDIOC_ENUM_FRAMESIZES, &size) == 0; ++size.index) {
        FormatCapability c;
        c.fourcc = desc.pixelformat;
        if (size.type == V4L2_FRMSIZE_TYPE_DISCRETE) {
          c.minWidth = c.maxWidth = static_cast<int>(size.discrete.width);
          c.minHeight = c.maxHeight = static_cast<int>(size.discrete.height);
        } else {
          c.minWidth = static_cast<int>(size.stepwise.min_width);
          c.maxWidth = static_cast<int>(size.stepwise.max_width);
          c.stepWidth = std::max(1, static_cast<int>(size.stepwise.step_width));
          c.minHeight = static_cast<int>(size.stepwise.min_height);
          c.maxHeight = static_cast<int>(size.stepwise.max_height);
          c.stepHeight = std::max(1, static_cast<int>(size.stepwise.step_height));
        }
        out.push_back(c);
        if (size.type != V4L2_FRMSIZE_TYPE_DISCRETE) break;
      }
    }
    return out;
  }

  bool GetFormat(FrameFormat& format) override {
    v4l2_format f{};
    f.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (Ioctl(fd_, VIDIOC_G_FMT, &f) != 0) return false;
    format = {f.fmt.pix.pixelformat, static_cast<int>(f.fmt.pix.width), static_cast<int>(f.fmt.pix.height)};
    return true;
  }

  bool SetFormat(FrameFormat& format) override {
    v4l2_format f{};
    f.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    f.fmt.pix.pixelformat = format.fourcc;
    f.fmt.pix.width = static_cast<std::uint32_t>(format.width);
    f.fmt.pix.height = static_cast<std::uint32_t>(format.height);
    f.fmt.pix.field = V4L2_FIELD_NONE;
    if (Ioctl(fd_, VIDIOC_S_FMT, &f) != 0 || ConversionOf(f.fmt.pix.pixelformat) == -1) return false;
    format = {f.fmt.pix.pixelformat, static_cast<int>(f.fmt.pix.width), static_cast<int>(f.fmt.pix.height)};
    format_ = format;
    bytesPerLine_ = static_cast<int>(f.fmt.pix.bytesperline);
    if (bytesPerLine_ <= 0) bytesPerLine_ = format.width * (format.fourcc == V4L2_PIX_FMT_GREY ? 1 : 2);
    return true;
  }

  std::vector<CaptureInput> Inputs() override {
    std::vector<CaptureInput> out;
    v4l2_input input{};
    for (input.index = 0; Ioctl(fd_, VIDIOC_ENUMINPUT, &input) == 0; ++input.index) {
      const char* name = reinterpret_cast<const char*>(input.name);
      out.push_back({static_cast<int>(input.index), std::string(name, strnlen(name, sizeof input.name)),
                     input.type == V4L2_INPUT_TYPE_TUNER ? InputType::kTuner : InputType::kCamera});
    }
    return out;
  }

  bool SelectInput(int index) override { return Ioctl(fd_, VIDIOC_S_INPUT, &index) == 0; }

  bool QueryControl(std::uint32_t id, ControlRange& range) override {
    v4l2_queryctrl q{};
    q.id = id;
    if (Ioctl(fd_, VIDIOC_QUERYCTRL, &q) != 0 || (q.flags & V4L2_CTRL_FLAG_DISABLED)) return false;
    range = {q.minimum, q.maximum, q.step, q.default_value};
    return true;
  }

  bool GetControl(std::uint32_t id, long& value) override {
    v4l2_control c{};
    c.id = id;
    if (Ioctl(fd_, VIDIOC_G_CTRL, &c) != 0) return false;
    value = c.value;
    return true;
  }

  bool SetControl(std::uint32_t id, long value) override {
    v4l2_control c{};
    c.id = id;
    c.value = static_cast<std::int32_t>(std::clamp<long>(value, INT32_MIN, INT32_MAX));
    return Ioctl(fd_, VIDIOC_S_CTRL, &c) == 0;
  }

  bool StartStreaming() override {
    v4l2_requestbuffers request{};
    request.count = 4;
    request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    request.memory = V4L2_MEMORY_MMAP;
    if (Ioctl(fd_, VIDIOC_REQBUFS, &request) != 0 || request.count == 0) return false;
    for (std::uint32_t i = 0; i < request.count; ++i) {
      v4l2_buffer b{};
      b.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
      b.memory = V4L2_MEMORY_MMAP;
      b.index = i;
      if (Ioctl(fd_, VIDIOC_QUERYBUF, &b) != 0) return Unmap(false);
      void* p = ::mmap(nullptr, b.length, PROT_READ | PROT_WRITE, MAP_SHARED, fd_, b.m.offset);
      if (p == MAP_FAILED) return Unmap(false);
      buffers_.push_back({p, b.length});
      if (Ioctl(fd_, VIDIOC_QBUF, &b) != 0) return Unmap(false);
    }
    int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (Ioctl(fd_, VIDIOC_STREAMON, &type) != 0) return Unmap(false);
    streaming_ = true;
    return true;
  }

  void StopStreaming() override {
    if (streaming_) {
      int type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
      Ioctl(fd_, VIDIOC_STREAMOFF, &type);
      streaming_ = false;
    }
    Unmap(true);
  }

  bool ReadFrame(std::vector<std::uint8_t>& bgr, std::chrono::milliseconds timeout) override {
    if (!streaming_) return false;
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(timeout.count())) <= 0) return false;
    v4l2_buffer b{};
    b.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    b.memory = V4L2_MEMORY_MMAP;
    if (Ioctl(fd_, VIDIOC_DQBUF, &b) != 0) return false;
    const bool ok = b.index < buffers_.size() && !(b.flags & V4L2_BUF_FLAG_ERROR) &&
                    Convert(static_cast<const std::uint8_t*>(buffers_[b.index].start), b.bytesused, bgr);
    Ioctl(fd_, VIDIOC_QBUF, &b);
    return ok;
  }

 private:
  struct Buffer {
    void* start;
    std::size_t length;
  };

  bool Unmap(bool result) {
    for (const Buffer& b : buffers_) ::munmap(b.start, b.length);
    if (!buffers_.empty()) {
      v4l2_requestbuffers request{};
      request.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
      request.memory = V4L2_MEMORY_MMAP;
      Ioctl(fd_, VIDIOC_REQBUFS, &request);
    }
    buffers_.clear();
    return result;
  }

  // Turns a frame of the device's format into BGR rows; a short frame is
  // handed on as it is, so the manager drops it by its length.
  bool Convert(const std::uint8_t* data, std::size_t length, std::vector<std::uint8_t>& bgr) {
    const int w = format_.width, h = format_.height;
    const std::size_t expected = FrameBytes(format_.fourcc, w, h, bytesPerLine_);
    if (length < expected || expected == 0) {
      bgr.assign(data, data + length);
      return true;
    }
    bgr.resize(static_cast<std::size_t>(w) * h * 3);
    cv::Mat out(h, w, CV_8UC3, bgr.data());
    const int conversion = ConversionOf(format_.fourcc);
    auto* pixels = const_cast<std::uint8_t*>(data);
    if (format_.fourcc == V4L2_PIX_FMT_GREY) {
      cv::cvtColor(cv::Mat(h, w, CV_8UC1, pixels, static_cast<std::size_t>(bytesPerLine_)), out, cv::COLOR_GRAY2BGR);
    } else if (format_.fourcc == V4L2_PIX_FMT_BGR24) {
      cv::Mat(h, w, CV_8UC3, pixels, static_cast<std::size_t>(bytesPerLine_)).copyTo(out);
    } else if (format_.fourcc == V4L2_PIX_FMT_YUV420 || format_.fourcc == V4L2_PIX_FMT_YVU420) {
      cv::cvtColor(cv::Mat(h * 3 / 2, w, CV_8UC1, pixels), out, conversion);
    } else {
      const int type = format_.fourcc == V4L2_PIX_FMT_BGR32 ? CV_8UC4 : CV_8UC2;
      cv::cvtColor(cv::Mat(h, w, type, pixels, static_cast<std::size_t>(bytesPerLine_)), out, conversion);
    }
    return true;
  }

  int fd_;
  FrameFormat format_;
  int bytesPerLine_ = 0;
  std::vector<Buffer> buffers_;
  bool streaming_ = false;
};

class V4L2DeviceLayer : public CaptureDeviceLayer {
 public:
  std::vector<CaptureDeviceInfo> ListDevices() override {
    std::vector<std::pair<int, std::string>> nodes;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/dev", error)) {
      const std::string name = entry.path().filename().string();
      if (!name.starts_with("video") || name.size() == 5) continue;
      const std::string digits = name.substr(5);
      if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) continue;
      nodes.emplace_back(std::stoi(digits), entry.path().string());
    }
    std::sort(nodes.begin(), nodes.end());
    std::vector<CaptureDeviceInfo> out;
    for (const auto& [number, path] : nodes) {
      const int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
      if (fd < 0) continue;
      v4l2_capability caps{};
      if (Ioctl(fd, VIDIOC_QUERYCAP, &caps) == 0 && CapturesVideo(caps)) out.push_back({path, CardName(caps)});
      ::close(fd);
    }
    return out;
  }

  std::unique_ptr<CaptureDevice> Open(const std::string& path) override {
    const int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return nullptr;
    v4l2_capability caps{};
    if (Ioctl(fd, VIDIOC_QUERYCAP, &caps) != 0 || !CapturesVideo(caps)) {
      ::close(fd);
      return nullptr;
    }
    return std::make_unique<V4L2Device>(fd);
  }
};

}  // namespace

std::shared_ptr<CaptureDeviceLayer> SystemCaptureDevices() { return std::make_shared<V4L2DeviceLayer>(); }

}  // namespace ORV::Cameras
