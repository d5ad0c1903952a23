#include "platform/cameras/capture/capture_manager.h"

#include <linux/videodev2.h>

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <utility>

namespace ORV::Cameras {

namespace {

// Pixel formats in order of preference, with the names printed for them and
// the V4L2 format each stands for (0: none on this platform).
struct Subtype {
  const char* name;
  std::uint32_t fourcc;
};
constexpr Subtype kSubtypes[] = {
    {"RGB24", V4L2_PIX_FMT_BGR24},
    {"RGB32", V4L2_PIX_FMT_BGR32},
    {"RGB555", V4L2_PIX_FMT_RGB555},
    {"RGB565", V4L2_PIX_FMT_RGB565},
    {"YUY2", V4L2_PIX_FMT_YUYV},
    {"YVYU", V4L2_PIX_FMT_YVYU},
    {"YUYV", V4L2_PIX_FMT_YUYV},
    {"IYUV", V4L2_PIX_FMT_YUV420},
    {"UYVY", V4L2_PIX_FMT_UYVY},
    {"YV12", V4L2_PIX_FMT_YVU420},
    {"YVU9", V4L2_PIX_FMT_YVU410},
    {"Y411", 0},
    {"Y41P", V4L2_PIX_FMT_Y41P},
    {"Y211", 0},
    {"AYUV", 0},
    {"Y800", V4L2_PIX_FMT_GREY},
    {"Y8", V4L2_PIX_FMT_GREY},
    {"GREY", V4L2_PIX_FMT_GREY},
};

const char* SubtypeName(std::uint32_t fourcc) {
  for (const Subtype& s : kSubtypes) {
    if (s.fourcc == fourcc && fourcc != 0) return s.name;
  }
  return "OTHER";
}

bool IsKnownSubtype(std::uint32_t fourcc) { return std::strcmp(SubtypeName(fourcc), "OTHER") != 0; }

// The value of [minimum, maximum] on the step grid nearest to `wanted` (the lower on a tie).
int Nearest(int wanted, int minimum, int maximum, int step) {
  if (wanted <= minimum || maximum <= minimum) return minimum;
  if (wanted >= maximum) return maximum;
  if (step <= 0) step = 1;
  const long k = (static_cast<long>(wanted) - minimum) / step;
  const long below = minimum + k * step;
  const long above = std::min<long>(below + step, maximum);
  return static_cast<int>(wanted - below <= above - wanted ? below : above);
}

bool Offers(const FormatCapability& c, int width, int height) {
  return Nearest(width, c.minWidth, c.maxWidth, c.stepWidth) == width &&
         Nearest(height, c.minHeight, c.maxHeight, c.stepHeight) == height;
}

// The V4L2 control of a video-processing property number; 0 for none.
std::uint32_t ControlOf(long property) {
  switch (property) {
    case 0:
      return V4L2_CID_BRIGHTNESS;
    case 1:
      return V4L2_CID_CONTRAST;
    case 2:
      return V4L2_CID_HUE;
    case 3:
      return V4L2_CID_SATURATION;
    case 4:
      return V4L2_CID_SHARPNESS;
    case 5:
      return V4L2_CID_GAMMA;
    case 7:
      return V4L2_CID_WHITE_BALANCE_TEMPERATURE;
    case 8:
      return V4L2_CID_BACKLIGHT_COMPENSATION;
    case 9:
      return V4L2_CID_GAIN;
    default:
      return 0;
  }
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

void SampleGrabberCallback::SetBufferSize(std::size_t size) {
  std::lock_guard guard(lock_);
  buffer_.assign(size, 0);
  bufferSize_ = size;
  newFrame_ = false;
}

void SampleGrabberCallback::SampleCB(const std::uint8_t* data, std::size_t length) {
  std::lock_guard guard(lock_);
  if (newFrame_) return;  // the last frame was not taken yet
  if (length != bufferSize_) {
    std::fputs("ERROR: SampleCB() - buffer sizes do not match\n", stdout);
    std::fflush(stdout);
    return;
  }
  std::memcpy(buffer_.data(), data, length);
  newFrame_ = true;
  changed_.notify_all();
}

bool SampleGrabberCallback::Take(std::uint8_t* destination, std::chrono::milliseconds timeout) {
  std::unique_lock guard(lock_);
  if (!changed_.wait_for(guard, timeout, [&] { return newFrame_; })) return false;
  std::memcpy(destination, buffer_.data(), bufferSize_);
  newFrame_ = false;
  return true;
}

struct CaptureDeviceManager::Slot {
  int width = 0, height = 0;
  int requestedWidth = 0, requestedHeight = 0;
  bool sizeRequested = false;
  std::atomic<bool> setupDone{false};
  int connectionType = kConnectionComposite;
  std::string name;
  std::unique_ptr<CaptureDevice> device;
  SampleGrabberCallback callback;
  std::thread reader;
  std::atomic<bool> stopReading{false};
  std::atomic<bool> stopped{false};

  ~Slot() { Stop(); }
  // Ends the reader and the device's stream, once.
  void Stop() {
    if (stopped.exchange(true)) return;
    setupDone = false;
    stopReading = true;
    if (reader.joinable()) reader.join();
    if (device) device->StopStreaming();
  }
};

CaptureDeviceManager::CaptureDeviceManager(std::shared_ptr<CaptureDeviceLayer> layer) : layer_(std::move(layer)) {
  for (auto& slot : slots_) slot = std::make_shared<Slot>();
}

CaptureDeviceManager::~CaptureDeviceManager() {
  for (int i = 0; i < kMaxDevices; ++i) ReleaseDevice(i);
}

void CaptureDeviceManager::Say(const char* format, ...) const {
  if (!verbose_) return;
  va_list args;
  va_start(args, format);
  std::vprintf(format, args);
  va_end(args);
  std::fflush(stdout);
}

int CaptureDeviceManager::CountDevices() {
  std::vector<CaptureDeviceInfo> devices = layer_->ListDevices();
  if (devices.size() > static_cast<std::size_t>(kMaxDevices)) devices.resize(kMaxDevices);
  std::lock_guard guard(lock_);
  devices_ = std::move(devices);
  return static_cast<int>(devices_.size());
}

std::string CaptureDeviceManager::GetDeviceName(int index) const {
  std::lock_guard guard(lock_);
  return index >= 0 && index < static_cast<int>(devices_.size()) ? devices_[index].name : std::string();
}

std::shared_ptr<CaptureDeviceManager::Slot> CaptureDeviceManager::SlotOf(int index) const {
  if (index < 0 || index >= kMaxDevices) return nullptr;
  std::lock_guard guard(lock_);
  return slots_[index];
}

bool CaptureDeviceManager::IsDeviceSetup(int index) const {
  auto slot = SlotOf(index);
  return slot && slot->setupDone;
}

int CaptureDeviceManager::GetWidth(int index) const {
  auto slot = SlotOf(index);
  return slot && slot->setupDone ? slot->width : 0;
}

int CaptureDeviceManager::GetHeight(int index) const {
  auto slot = SlotOf(index);
  return slot && slot->setupDone ? slot->height : 0;
}

void CaptureDeviceManager::SetRequestedSize(int index, int width, int height) {
  auto slot = SlotOf(index);
  if (!slot || slot->setupDone) return;
  slot->requestedWidth = width;
  slot->requestedHeight = height;
  slot->sizeRequested = width > 0 && height > 0;
}

bool CaptureDeviceManager::StartDevice(int index) {
  const int count = CountDevices();
  if (index < 0 || index >= count || index >= kMaxDevices) {
    Say("SETUP: device[%i] not found - you have %i devices available\n", index, count);
    if (count > 0) Say("SETUP: this means that the last device you can use is device[%i] \n", count - 1);
    return false;
  }
  auto slot = SlotOf(index);
  if (slot->setupDone) {
    Say("SETUP: can't setup, device %i is currently being used\n", index);
    return false;
  }
  if (SetUp(index, *slot)) return true;
  ReleaseDevice(index);
  return false;
}

void CaptureDeviceManager::SelectInput(CaptureDevice& device, const Slot& slot) {
  Say("SETUP: Checking crossbar\n");
  const std::vector<CaptureInput> inputs = device.Inputs();
  const bool crossbar = inputs.size() > 1 || std::any_of(inputs.begin(), inputs.end(), [](const CaptureInput& i) {
                          return i.type == InputType::kTuner;
                        });
  if (!crossbar) {
    Say("SETUP: You are a webcam or snazzy firewire cam! No Crossbar needed\n");
    return;
  }
  Say("SETUP: You are not a webcam! Setting Crossbar\n");
  auto matches = [&](const CaptureInput& input) {
    const std::string name = Lower(input.name);
    switch (slot.connectionType) {
      case kConnectionTuner:
        return input.type == InputType::kTuner;
      case kConnectionComposite:
        return name.find("composite") != std::string::npos;
      case kConnectionSVideo:
        return name.find("s-video") != std::string::npos || name.find("svideo") != std::string::npos;
      case kConnectionUsb:
        return name.find("usb") != std::string::npos;
      case kConnection1394:
        return name.find("1394") != std::string::npos || name.find("firewire") != std::string::npos;
      default:
        return false;
    }
  };
  static const char* const kConnectionNames[] = {"",         " - Tuner\n",   " - Composite\n", " - S-Video\n",
                                                 " - USB\n", " - Firewire\n"};
  for (const CaptureInput& input : inputs) {
    if (matches(input)) {
      Say("SETUP: Found Physical Interface%s", kConnectionNames[slot.connectionType]);
      device.SelectInput(input.index);
      return;
    }
  }
  Say("SETUP: Didn't find specified Physical Connection type. Using Defualt. \n");
  device.SelectInput(inputs.front().index);
}

bool CaptureDeviceManager::ChooseFormat(CaptureDevice& device, Slot& slot, FrameFormat& chosen) {
  FrameFormat current;
  if (!device.GetFormat(current)) {
    Say("ERROR: Couldn't getFormat for pAmMediaType!\n");
    return false;
  }
  Say("SETUP: Default Format is set to %i by %i \n", current.width, current.height);
  const int width = slot.sizeRequested ? slot.requestedWidth : current.width;
  const int height = slot.sizeRequested ? slot.requestedHeight : current.height;
  const std::vector<FormatCapability> capabilities = device.Capabilities();
  // The wanted size in the first format, in order of preference, that offers it.
  for (const Subtype& subtype : kSubtypes) {
    if (subtype.fourcc == 0) continue;
    if (slot.sizeRequested) Say("SETUP: trying format %s @ %i by %i\n", subtype.name, width, height);
    for (const FormatCapability& c : capabilities) {
      if (c.fourcc == subtype.fourcc && Offers(c, width, height)) {
        chosen = {c.fourcc, width, height};
        return true;
      }
    }
  }
  // Else the closest size offered: the smallest sum of the differences.
  if (slot.sizeRequested) Say("SETUP: couldn't find requested size - searching for closest matching size\n");
  long best = 9999999L + 9999999L;
  bool found = false;
  for (const FormatCapability& c : capabilities) {
    if (!IsKnownSubtype(c.fourcc)) continue;
    const int w = Nearest(width, c.minWidth, c.maxWidth, c.stepWidth);
    const int h = Nearest(height, c.minHeight, c.maxHeight, c.stepHeight);
    const long distance = std::labs(static_cast<long>(w) - width) + std::labs(static_cast<long>(h) - height);
    if (distance < best) {
      best = distance;
      chosen = {c.fourcc, w, h};
      found = true;
    }
  }
  if (found)
    Say("SETUP: closest supported size is %s @ %i %i\n", SubtypeName(chosen.fourcc), chosen.width, chosen.height);
  return found;
}

bool CaptureDeviceManager::SetUp(int index, Slot& slot) {
  Say("SETUP: Setting up device %i\n", index);
  std::string path;
  {
    std::lock_guard guard(lock_);
    path = devices_[index].path;
    slot.name = devices_[index].name;
  }
  slot.device = layer_->Open(path);
  if (!slot.device) {
    Say("ERROR - Could not find specified video device\n");
    return false;
  }
  CaptureDevice& device = *slot.device;
  SelectInput(device, slot);
  FrameFormat format;
  // A size no frame can have (none, or past 256 MB of pixels) is refused.
  if (!ChooseFormat(device, slot, format) || !device.SetFormat(format) || format.width <= 0 || format.height <= 0 ||
      static_cast<std::int64_t>(format.width) * format.height > (std::int64_t{1} << 28)) {
    Say("ERROR: Couldn't config the stream!\n");
    return false;
  }
  slot.width = format.width;
  slot.height = format.height;
  slot.callback.SetBufferSize(static_cast<std::size_t>(format.width) * format.height * 3);
  if (!device.StartStreaming()) {
    Say("ERROR: Could not start graph\n");
    return false;
  }
  slot.stopReading = false;
  slot.reader = std::thread([&slot] {
    std::vector<std::uint8_t> frame;
    while (!slot.stopReading) {
      if (slot.device->ReadFrame(frame, std::chrono::milliseconds(100)))
        slot.callback.SampleCB(frame.data(), frame.size());
    }
  });
  Say("SETUP: Capture callback set\n");
  Say("SETUP: Device is setup and ready to capture.\n\n");
  slot.setupDone = true;
  return true;
}

void CaptureDeviceManager::ReleaseDevice(int index) {
  if (index < 0 || index >= kMaxDevices) return;
  std::shared_ptr<Slot> old;
  {
    std::lock_guard guard(lock_);
    old = std::exchange(slots_[index], std::make_shared<Slot>());
  }
  if (old->device) Say("\nSETUP: Disconnecting device %i\n", index);
  const bool hadDevice = old->device != nullptr;
  old->Stop();
  if (hadDevice) Say("SETUP: Device %i disconnected and freed\n\n", index);
}

bool CaptureDeviceManager::GetPixels(int index, std::uint8_t* destination) {
  auto slot = SlotOf(index);
  if (!slot || !slot->setupDone || destination == nullptr) return false;
  return slot->callback.Take(destination, kFrameTimeout);
}

std::shared_ptr<CaptureDeviceManager::Slot> CaptureDeviceManager::SettingSlot(int index, long property,
                                                                              std::uint32_t& control,
                                                                              ControlRange& range) const {
  auto slot = SlotOf(index);
  if (!slot || !slot->setupDone) {
    Say("setVideoSetting - getDevice Error\n");
    return nullptr;
  }
  control = ControlOf(property);
  if (control == 0 || !slot->device->QueryControl(control, range)) {
    Say("setVideoSetting - QueryInterface Error\n");
    return nullptr;
  }
  return slot;
}

bool CaptureDeviceManager::GetVideoSettingRange(int index, long property, long& minimum, long& maximum, long& step,
                                                long& current, long& flags, long& defaultValue) {
  std::uint32_t control = 0;
  ControlRange range;
  auto slot = SettingSlot(index, property, control, range);
  if (!slot) return false;
  Say("Range for video setting %ld: Min:%ld Max:%ld SteppingDelta:%ld Default:%ld Flags:%ld\n", property, range.minimum,
      range.maximum, range.step, range.defaultValue, kVideoProcFlagsManual);
  long value = 0;
  if (!slot->device->GetControl(control, value)) return false;
  minimum = range.minimum;
  maximum = range.maximum;
  step = range.step;
  defaultValue = range.defaultValue;
  current = value;
  flags = kVideoProcFlagsManual;
  return true;
}

bool CaptureDeviceManager::SetVideoSetting(int index, long property, long value) {
  std::uint32_t control = 0;
  ControlRange range;
  auto slot = SettingSlot(index, property, control, range);
  if (!slot) return false;
  long current = 0;
  Say("Setting video setting %ld.\n", property);
  if (slot->device->GetControl(control, current)) Say("Current value: %ld Flags %ld (%s)\n", current, 2L, "Manual");
  return slot->device->SetControl(control, value);
}

CaptureDeviceManager& TheCaptureDeviceManager() {
  static CaptureDeviceManager manager(SystemCaptureDevices());
  return manager;
}

}  // namespace ORV::Cameras
