#include "tests/video/camera_fakes.h"

namespace ORV::Test {

using namespace Cameras;

LucamApi FakeLucam::Table() {
  LucamApi api;
  api.NumCameras = [this] { return cameras; };
  api.CameraOpen = [this](unsigned long n) -> LucamHandle {
    log.Add("CameraOpen " + std::to_string(n));
    return openFails ? nullptr : &handle_;
  };
  api.CameraClose = [this](LucamHandle) {
    log.Add("CameraClose");
    return true;
  };
  api.GetFormat = [this](LucamHandle, LucamFrameFormat* f, float* rate) {
    log.Add("GetFormat");
    if (getFormatFails) return false;
    *f = format;
    *rate = frameRate;
    return true;
  };
  api.SetFormat = [this](LucamHandle, const LucamFrameFormat& f, float rate) {
    log.Add("SetFormat " + std::to_string(f.subSampleX) + "x" + std::to_string(f.subSampleY) + " " +
            std::to_string(rate));
    if (setFormatFails) return false;
    format = f;
    return true;
  };
  api.GetProperty = [this](LucamHandle, unsigned long p, float* v, long* flags) {
    log.Add("GetProperty " + std::to_string(p));
    if (propertyFails) return false;
    *v = properties[p];
    *flags = 0;
    return true;
  };
  api.SetProperty = [this](LucamHandle, unsigned long p, float v, long flags) {
    log.Add("SetProperty " + std::to_string(p) + (flags == kLucamPropertyFlagWrite ? " write" : " ?"));
    if (propertyFails) return false;
    written[p] = v;
    return true;
  };
  api.AddStreamingCallback = [this](LucamHandle, LucamStreamingCallback cb, void* context) {
    log.Add("AddStreamingCallback");
    callback_ = cb;
    context_ = context;
    return 7L;
  };
  api.RemoveStreamingCallback = [this](LucamHandle, long id) {
    log.Add("RemoveStreamingCallback " + std::to_string(id));
    callback_ = nullptr;
    return true;
  };
  api.StreamVideoControl = [this](LucamHandle, unsigned long mode, void*) {
    log.Add("StreamVideoControl " + std::to_string(mode));
    return true;
  };
  return api;
}

void FakeLucam::Deliver(const std::vector<std::uint8_t>& frame) {
  if (callback_ != nullptr) callback_(context_, frame.data(), static_cast<std::uint32_t>(frame.size()));
}

TisApi FakeTis::Table() {
  TisApi api = TisApi::Unbound();
  api.InitLibrary = [this](const char*) { return initialises ? 1 : 0; };
  api.CreateGrabber = [this]() -> TisGrabber {
    log.Add("CreateGrabber");
    return &grabber_;
  };
  api.ReleaseGrabber = [this](TisGrabber* g) {
    log.Add("ReleaseGrabber");
    *g = nullptr;
  };
  api.IsTriggerAvailable = [this](TisGrabber) { return trigger ? 1 : 0; };
  api.EnableTrigger = [this](TisGrabber, int on) {
    log.Add("EnableTrigger " + std::to_string(on));
    return 1;
  };
  api.SetCallbacks = [this](TisGrabber, TisFrameCallback f, void* fc, TisDeviceLostCallback l, void* lc) {
    log.Add("SetCallbacks");
    frame_ = f;
    frameContext_ = fc;
    lost_ = l;
    lostContext_ = lc;
    return 1;
  };
  api.OpenVideoCaptureDevice = [this](TisGrabber, const char* name) {
    log.Add(std::string("Open ") + name);
    const std::string n = name;
    if (!opensOnly.empty()) return std::find(opensOnly.begin(), opensOnly.end(), n) != opensOnly.end() ? 1 : 0;
    for (const auto& d : devices) {
      if (d.starts_with(n) && !n.empty()) return 1;
    }
    return 0;
  };
  api.IsDevValid = [](TisGrabber) { return 1; };
  api.CloseVideoCaptureDevice = [this](TisGrabber) { log.Add("CloseVideoCaptureDevice"); };
  api.SetFrameRate = [this](TisGrabber, double rate) {
    log.Add("SetFrameRate " + std::to_string(rate));
    return 1;
  };
  api.GetFrameRate = [this](TisGrabber) { return frameRate; };
  api.GetFormat = [](TisGrabber) { return 4; };
  api.SetFormat = [this](TisGrabber, int f) {
    log.Add("SetFormat " + std::to_string(f));
    return 1;
  };
  api.GetVideoFormatWidth = [this](TisGrabber) { return width; };
  api.GetVideoFormatHeight = [this](TisGrabber) { return height; };
  api.SetContinuousMode = [this](TisGrabber, int m) {
    log.Add("SetContinuousMode " + std::to_string(m));
    return 1;
  };
  api.IsVideoPropertyAutoAvailable = [this](TisGrabber, int p) {
    return std::find(autoVideo.begin(), autoVideo.end(), p) != autoVideo.end() ? 1 : 0;
  };
  api.EnableAutoVideoProperty = [this](TisGrabber, int p, int on) {
    log.Add("AutoVideo " + std::to_string(p) + " " + std::to_string(on));
    return 1;
  };
  api.IsCameraPropertyAutoAvailable = [this](TisGrabber, int p) { return p == 4 && autoExposure ? 1 : 0; };
  api.EnableAutoCameraProperty = [this](TisGrabber, int p, int on) {
    log.Add("AutoCamera " + std::to_string(p) + " " + std::to_string(on));
    return 1;
  };
  api.IsVideoPropertyAvailable = [this](TisGrabber, int p) { return ranges.count(p) ? 1 : 0; };
  api.VideoPropertyGetRange = [this](TisGrabber, int p, long* mn, long* mx) {
    *mn = ranges[p].first;
    *mx = ranges[p].second;
    return 1;
  };
  api.GetVideoProperty = [this](TisGrabber, int p, long* v) {
    if (!values.count(p)) return 0;
    *v = values[p];
    return 1;
  };
  api.SetVideoProperty = [this](TisGrabber, int p, long v) {
    log.Add("SetVideoProperty " + std::to_string(p) + " " + std::to_string(v));
    values[p] = v;
    return 1;
  };
  api.StartLive = [this](TisGrabber, int show) {
    log.Add("StartLive " + std::to_string(show));
    return 1;
  };
  api.StopLive = [this](TisGrabber) { log.Add("StopLive"); };
  api.GetDeviceCount = [this] { return static_cast<int>(devices.size()); };
  api.GetDevice = [this](int i) -> const char* {
    return i >= 0 && i < static_cast<int>(devices.size()) ? devices[i].c_str() : nullptr;
  };
  api.GetUniqueNamefromList = [this](int i) -> const char* {
    return i >= 0 && i < static_cast<int>(uniqueNames.size()) ? uniqueNames[i].c_str() : nullptr;
  };
  api.GetFrameRows = [this](TisGrabber) { return rows.load(); };
  return api;
}

void FakeTis::Deliver(const std::vector<std::uint8_t>& frame) {
  if (frame_ != nullptr) frame_(&grabber_, frame.data(), 1, frameContext_);
}

void FakeTis::LoseDevice() {
  if (lost_ != nullptr) lost_(&grabber_, lostContext_);
}

XiApi FakeXi::Table() {
  XiApi api;
  api.GetNumberDevices = [this](std::uint32_t* n) {
    if (devices < 0) return kXiFailed;
    *n = static_cast<std::uint32_t>(devices);
    return kXiOk;
  };
  api.OpenDevice = [this](std::uint32_t index, XiHandle* h) {
    log.Add("OpenDevice " + std::to_string(index));
    if (devices <= 0) return kXiFailed;
    *h = &handle_;
    return kXiOk;
  };
  api.CloseDevice = [this](XiHandle) {
    log.Add("CloseDevice");
    return kXiOk;
  };
  api.SetParamInt = [this](XiHandle, const char* name, int v) {
    std::lock_guard guard(lock_);
    written_[name] = static_cast<float>(v);
    return kXiOk;
  };
  api.SetParamFloat = [this](XiHandle, const char* name, float v) {
    std::lock_guard guard(lock_);
    written_[name] = v;
    floats[name] = v;
    return kXiOk;
  };
  api.GetParamInt = [this](XiHandle, const char* name, int* v) {
    std::lock_guard guard(lock_);
    if (!ints.count(name)) return kXiFailed;
    *v = ints[name];
    return kXiOk;
  };
  api.GetParamFloat = [this](XiHandle, const char* name, float* v) {
    std::lock_guard guard(lock_);
    if (!floats.count(name)) return kXiFailed;
    *v = floats[name];
    return kXiOk;
  };
  api.StartAcquisition = [this](XiHandle) {
    log.Add("StartAcquisition");
    return kXiOk;
  };
  api.StopAcquisition = [this](XiHandle) {
    log.Add("StopAcquisition");
    return kXiOk;
  };
  api.GetImage = [this](XiHandle, std::uint32_t timeout, XiImage* image) {
    Frame f;
    {
      std::lock_guard guard(lock_);
      imageRecordSizes.push_back(image->size);
      f = script[std::min(next_, script.size() - 1)];
      ++next_;
    }
    log.Add(f.width == 0 ? "GetImage failed" : "GetImage");
    if (timeout != 500 || f.width == 0) return kXiFailed;
    buffer_.assign(static_cast<std::size_t>(f.width) * f.height, f.value);
    image->buffer = buffer_.data();
    image->bufferSize = static_cast<std::uint32_t>(buffer_.size());
    image->width = f.width;
    image->height = f.height;
    return kXiOk;
  };
  return api;
}

std::map<std::string, float> FakeXi::Written() const {
  std::lock_guard guard(lock_);
  return written_;
}

}  // namespace ORV::Test
