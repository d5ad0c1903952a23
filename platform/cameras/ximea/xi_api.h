#pragma once
// The calls the XIMEA back-end's acquisition task makes into the maker's
// camera library, as a table of functions. The process's table is bound to
// the maker's shared library when it is installed (xi_library.h), else to
// nothing (no device is counted and none opens); tests bind functions of
// their own.
//
// Results follow the library's custom: 0 is success.
#include <cstdint>
#include <functional>

namespace ORV::Cameras {

using XiHandle = void*;

inline constexpr int kXiOk = 0;
inline constexpr int kXiFailed = 1;
// The record version the caller tells the library in the image's size field.
inline constexpr std::uint32_t kXiImageRecordSize = 288;

// One image as the library fills it: the buffer stays the library's until the
// next call.
struct XiImage {
  std::uint32_t size = 0;
  const std::uint8_t* buffer = nullptr;
  std::uint32_t bufferSize = 0;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
};

struct XiApi {
  std::function<int(std::uint32_t* count)> GetNumberDevices;
  std::function<int(std::uint32_t index, XiHandle* handle)> OpenDevice;
  std::function<int(XiHandle)> CloseDevice;
  std::function<int(XiHandle, const char* name, int value)> SetParamInt;
  std::function<int(XiHandle, const char* name, float value)> SetParamFloat;
  std::function<int(XiHandle, const char* name, int* value)> GetParamInt;
  std::function<int(XiHandle, const char* name, float* value)> GetParamFloat;
  std::function<int(XiHandle)> StartAcquisition;
  std::function<int(XiHandle)> StopAcquisition;
  std::function<int(XiHandle, std::uint32_t timeoutMs, XiImage* image)> GetImage;

  // A table whose every call fails.
  static XiApi Unbound();
};

// The process's table (bound to nothing until BindXi is called).
XiApi Xi();
// Replaces the process's table (back-ends built later use it) and returns
// the table it replaced.
XiApi BindXi(XiApi api);

}  // namespace ORV::Cameras
