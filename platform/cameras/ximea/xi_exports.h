#pragma once
// The XIMEA camera library as this program calls it: the C functions by the
// names the library exports, with the types the acquisition task passes. A
// call succeeds when it returns 0. Declared only to name their types; the
// program never links them, it looks them up in the loaded library
// (xi_library.h).
#include <cstdint>

#include "platform/cameras/ximea/xi_api.h"

namespace ORV::Cameras {

// The image record handed to xiGetImage: the library is told its size in the
// first field and may fill all of it; the fields this program reads come
// first.
struct XiImageRecord {
  XiImage image;
  std::uint8_t rest[kXiImageRecordSize - sizeof(XiImage)] = {};
};
static_assert(sizeof(XiImageRecord) == kXiImageRecordSize);

}  // namespace ORV::Cameras

extern "C" {
int xiGetNumberDevices(std::uint32_t* count);
int xiOpenDevice(std::uint32_t index, ORV::Cameras::XiHandle* handle);
int xiCloseDevice(ORV::Cameras::XiHandle device);
int xiSetParamInt(ORV::Cameras::XiHandle device, const char* name, int value);
int xiSetParamFloat(ORV::Cameras::XiHandle device, const char* name, float value);
int xiGetParamInt(ORV::Cameras::XiHandle device, const char* name, int* value);
int xiGetParamFloat(ORV::Cameras::XiHandle device, const char* name, float* value);
int xiStartAcquisition(ORV::Cameras::XiHandle device);
int xiStopAcquisition(ORV::Cameras::XiHandle device);
// `image` is a whole XiImageRecord whose size field says so.
int xiGetImage(ORV::Cameras::XiHandle device, std::uint32_t timeoutMs, ORV::Cameras::XiImage* image);
}
