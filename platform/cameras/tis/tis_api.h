#pragma once
// The calls The Imaging Source back-end makes into the maker's camera
// library, as a table of functions. The process's table is bound to the
// maker's shared library when it is installed (tis_library.h), to cameras
// standing in for hardware when the program was handed some
// (camera_libraries.h), else to nothing (the library does not initialise and no camera is found);
// tests bind functions of their own.
//
// Results follow the library's custom: 1 is success.
#include <cstdint>
#include <functional>

namespace ORV::Cameras {

using TisGrabber = void*;

// Called on the library's thread with the newest frame and its number.
using TisFrameCallback = void (*)(TisGrabber, const std::uint8_t* buffer, std::uint32_t frameNumber, void* context);
// Called on the library's thread when the device was lost.
using TisDeviceLostCallback = void (*)(TisGrabber, void* context);

inline constexpr int kTisSuccess = 1;
// Colour format 0: 8-bit grey.
inline constexpr int kTisFormatY800 = 0;
// Video properties the back-end reads and sets (the library's own units).
inline constexpr int kTisPropertyExposure = 0;
inline constexpr int kTisPropertyGamma = 5;
inline constexpr int kTisPropertyGain = 9;

struct TisApi {
  std::function<int(const char* licence)> InitLibrary;
  std::function<TisGrabber()> CreateGrabber;
  std::function<void(TisGrabber*)> ReleaseGrabber;
  std::function<int(TisGrabber)> IsTriggerAvailable;
  std::function<int(TisGrabber, int enable)> EnableTrigger;
  std::function<int(TisGrabber, TisFrameCallback, void* frameContext, TisDeviceLostCallback, void* lostContext)>
      SetCallbacks;
  std::function<int(TisGrabber, const char* name)> OpenVideoCaptureDevice;
  std::function<int(TisGrabber)> IsDevValid;
  std::function<void(TisGrabber)> CloseVideoCaptureDevice;
  std::function<int(TisGrabber, double)> SetFrameRate;
  std::function<double(TisGrabber)> GetFrameRate;
  std::function<int(TisGrabber)> GetFormat;
  std::function<int(TisGrabber, int format)> SetFormat;
  std::function<int(TisGrabber)> GetVideoFormatWidth;
  std::function<int(TisGrabber)> GetVideoFormatHeight;
  std::function<int(TisGrabber, int mode)> SetContinuousMode;
  std::function<int(TisGrabber, int property)> IsVideoPropertyAutoAvailable;
  std::function<int(TisGrabber, int property, int enable)> EnableAutoVideoProperty;
  std::function<int(TisGrabber, int property)> IsCameraPropertyAutoAvailable;
  std::function<int(TisGrabber, int property, int enable)> EnableAutoCameraProperty;
  std::function<int(TisGrabber, int property)> IsVideoPropertyAvailable;
  std::function<int(TisGrabber, int property, long* minimum, long* maximum)> VideoPropertyGetRange;
  std::function<int(TisGrabber, int property, long* value)> GetVideoProperty;
  std::function<int(TisGrabber, int property, long value)> SetVideoProperty;
  std::function<int(TisGrabber, int showWindow)> StartLive;
  std::function<void(TisGrabber)> StopLive;
  std::function<int()> GetDeviceCount;
  // Names of the attached devices; null for an index out of range. The texts
  // stay valid while the table is bound.
  std::function<const char*(int index)> GetDevice;
  std::function<const char*(int index)> GetUniqueNamefromList;
  // Called from the frame callback: how many of the frame's rows the device
  // filled (its buffer is always a whole format's size), or -1 where that is
  // not known. Fewer rows than the format's height mean the frame was torn on
  // the way and only those rows hold the picture. No export of the maker's
  // library: it stays empty there, and every frame it hands on counts as
  // whole. The simulated lab's cameras and tests bind it.
  std::function<int(TisGrabber)> GetFrameRows;

  // A table whose library does not initialise: every call fails.
  static TisApi Unbound();
};

// The process's table: bound to nothing until BindTis replaces it (with the
// maker's library, or with cameras standing in for hardware).
TisApi Tis();
// Replaces the process's table (back-ends built later use it) and returns
// the table it replaced.
TisApi BindTis(TisApi api);

}  // namespace ORV::Cameras
