#pragma once
// The capture manager of video devices that no camera maker's library
// serves (webcams, frame grabbers): up to 20 device slots, each set up with
// a frame size and format, an input and a reader thread that hands frames
// over one at a time; GetPixels takes the newest frame, waiting up to a
// second for it. The video-processing properties (gain, brightness, gamma
// ...) are read and set by their numbers (0 brightness, 5 gamma, 9 gain ...),
// each standing for a V4L2 control.
//
// Messages go to the standard output; most of them only when verbose.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/cameras/capture/capture_device.h"

namespace ORV::Cameras {

// The hand-over of frames from a device's reader thread: a frame is copied
// in only after the previous one was taken.
class SampleGrabberCallback {
 public:
  // Sizes the buffer (width x height x 3 bytes).
  void SetBufferSize(std::size_t size);
  std::size_t BufferSize() const { return bufferSize_; }
  // A frame from the device: ignored while the last one was not taken,
  // dropped with a message when its length is not the buffer's.
  void SampleCB(const std::uint8_t* data, std::size_t length);
  // Waits up to `timeout` for a frame and copies it out; false on time-out.
  bool Take(std::uint8_t* destination, std::chrono::milliseconds timeout);

 private:
  std::mutex lock_;
  std::condition_variable changed_;
  std::vector<std::uint8_t> buffer_;
  std::size_t bufferSize_ = 0;
  bool newFrame_ = false;
};

// Physical connection types of an input.
inline constexpr int kConnectionTuner = 1;
inline constexpr int kConnectionComposite = 2;
inline constexpr int kConnectionSVideo = 3;
inline constexpr int kConnectionUsb = 4;
inline constexpr int kConnection1394 = 5;

// Video-processing property numbers.
inline constexpr long kVideoProcBrightness = 0;
inline constexpr long kVideoProcGamma = 5;
inline constexpr long kVideoProcGain = 9;
// Flags of a property value.
inline constexpr long kVideoProcFlagsAuto = 1;
inline constexpr long kVideoProcFlagsManual = 2;

class CaptureDeviceManager {
 public:
  static constexpr int kMaxDevices = 20;
  static constexpr std::chrono::milliseconds kFrameTimeout{1000};

  explicit CaptureDeviceManager(std::shared_ptr<CaptureDeviceLayer> layer);
  // Releases every device.
  ~CaptureDeviceManager();
  CaptureDeviceManager(const CaptureDeviceManager&) = delete;
  CaptureDeviceManager& operator=(const CaptureDeviceManager&) = delete;

  void SetVerbose(bool verbose) { verbose_ = verbose; }

  // Lists the devices again; returns their number.
  int CountDevices();
  // The name of device `index` from the last count ("" when there is none).
  std::string GetDeviceName(int index) const;
  // Sets device `index` up and starts its frames; false when it does not
  // exist, is already set up, or cannot be set up.
  bool StartDevice(int index);
  // Stops the device and gives its slot a fresh record.
  void ReleaseDevice(int index);
  bool IsDeviceSetup(int index) const;
  int GetWidth(int index) const;
  int GetHeight(int index) const;
  // Asks for a frame size at the next set-up of the slot.
  void SetRequestedSize(int index, int width, int height);

  // Copies the newest frame (width x height x 3 bytes of BGR, top row
  // first), waiting up to a second for one; false on time-out or when the
  // device is not set up.
  bool GetPixels(int index, std::uint8_t* destination);

  // A video-processing property's range, default, current value and flags.
  bool GetVideoSettingRange(int index, long property, long& minimum, long& maximum, long& step, long& current,
                            long& flags, long& defaultValue);
  bool SetVideoSetting(int index, long property, long value);

 private:
  struct Slot;
  std::shared_ptr<Slot> SlotOf(int index) const;
  // The set-up slot of `index` and the device control of `property` with its
  // range; null (and a message) when either is missing.
  std::shared_ptr<Slot> SettingSlot(int index, long property, std::uint32_t& control, ControlRange& range) const;
  bool SetUp(int index, Slot& slot);
  bool ChooseFormat(CaptureDevice& device, Slot& slot, FrameFormat& chosen);
  void SelectInput(CaptureDevice& device, const Slot& slot);
  void Say(const char* format, ...) const;

  std::shared_ptr<CaptureDeviceLayer> layer_;
  std::atomic<bool> verbose_{false};
  mutable std::mutex lock_;
  std::vector<CaptureDeviceInfo> devices_;
  std::shared_ptr<Slot> slots_[kMaxDevices];
};

// The process's manager of the system's devices, made on first use.
CaptureDeviceManager& TheCaptureDeviceManager();

}  // namespace ORV::Cameras
