#pragma once
// The calls the Lumenera back-end makes into the maker's camera library, as a
// table of functions. The process's table is bound to the maker's shared
// library when it is installed (lucam_library.h), else to nothing (no camera
// is found); tests bind functions of their own.
//
// Results follow the library's custom: a call succeeds when it returns true
// (or a non-null handle, or a callback id other than -1).
#include <cstdint>
#include <functional>

namespace ORV::Cameras {

using LucamHandle = void*;

// The frame format: offsets and size on the sensor, the pixel format, and
// the sub-sampling and flags in x and y.
struct LucamFrameFormat {
  std::uint32_t xOffset = 0;
  std::uint32_t yOffset = 0;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint32_t pixelFormat = 0;
  std::uint16_t subSampleX = 1;
  std::uint16_t subSampleY = 1;
  std::uint16_t flagsX = 0;
  std::uint16_t flagsY = 0;
};

// Called on the library's streaming thread with the newest frame.
using LucamStreamingCallback = void (*)(void* context, const std::uint8_t* data, std::uint32_t length);

// Property numbers the back-end uses.
inline constexpr unsigned long kLucamPropertyBrightness = 0;
inline constexpr unsigned long kLucamPropertyGamma = 5;
inline constexpr unsigned long kLucamPropertyGain = 40;
inline constexpr unsigned long kLucamPropertyStillMode = 80;
// The flag every property is written with.
inline constexpr long kLucamPropertyFlagWrite = static_cast<long>(0x80000000u);

struct LucamApi {
  std::function<long()> NumCameras;
  std::function<LucamHandle(unsigned long number)> CameraOpen;
  std::function<bool(LucamHandle)> CameraClose;
  std::function<bool(LucamHandle, LucamFrameFormat*, float* frameRate)> GetFormat;
  std::function<bool(LucamHandle, const LucamFrameFormat&, float frameRate)> SetFormat;
  std::function<bool(LucamHandle, unsigned long property, float* value, long* flags)> GetProperty;
  std::function<bool(LucamHandle, unsigned long property, float value, long flags)> SetProperty;
  std::function<long(LucamHandle, LucamStreamingCallback, void* context)> AddStreamingCallback;
  std::function<bool(LucamHandle, long id)> RemoveStreamingCallback;
  // mode 1 starts streaming, 0 stops it; the window is the library's own
  // display, never used here.
  std::function<bool(LucamHandle, unsigned long mode, void* window)> StreamVideoControl;

  // A table whose every call fails and which counts no camera.
  static LucamApi Unbound();
};

// The process's table (bound to nothing until BindLucam is called).
LucamApi Lucam();
// Replaces the process's table (back-ends built later use it) and returns
// the table it replaced.
LucamApi BindLucam(LucamApi api);

}  // namespace ORV::Cameras
