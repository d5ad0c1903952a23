// A fake XIMEA camera library: one device of 40 x 30 pixels whose images
// the caller pulls with xiGetImage (about one a millisecond). xiGetImage
// fills the whole image record the caller says it has, as a library of that
// record version would, and refuses a record of another size. Built without
// xiGetImage (ORV_FAKE_INCOMPLETE) it stands for a library of another
// version.
#include <map>

#include "platform/cameras/ximea/xi_exports.h"
#include "tests/video/camera_libraries/fakes/fake_library.h"

using namespace ORV::Cameras;

namespace {

constexpr int kError = 1;

struct Device {
  std::mutex lock;
  bool open = false;
  bool acquiring = false;
  std::map<std::string, int> ints{{"width", 40}, {"height", 30}, {"framerate", 200}};
  std::map<std::string, float> floats{{"gain:min", 0.0f},   {"gain:max", 24.0f}, {"gammaY:min", 0.3f},
                                      {"gammaY:max", 1.0f}, {"gain", 6.0f},      {"gammaY", 1.0f},
                                      {"exposure", 2500.0f}};
  std::vector<std::uint8_t> image;
  std::uint32_t frames = 0;
};

Device g_device;

bool IsDevice(XiHandle handle) { return handle == &g_device; }

}  // namespace

extern "C" {

int xiGetNumberDevices(std::uint32_t* count) {
  Record("GetNumberDevices");
  *count = 1;
  return 0;
}

int xiOpenDevice(std::uint32_t index, XiHandle* handle) {
  Record("OpenDevice " + std::to_string(index));
  if (index != 0) return kError;
  std::lock_guard guard(g_device.lock);
  g_device.open = true;
  *handle = &g_device;
  return 0;
}

int xiCloseDevice(XiHandle device) {
  Record("CloseDevice");
  if (!IsDevice(device)) return kError;
  std::lock_guard guard(g_device.lock);
  g_device.open = false;
  return 0;
}

int xiSetParamInt(XiHandle device, const char* name, int value) {
  Record(std::string("SetParamInt ") + name + " " + std::to_string(value));
  if (!IsDevice(device)) return kError;
  std::lock_guard guard(g_device.lock);
  if (std::string(name) == "exposure") g_device.floats["exposure"] = static_cast<float>(value);
  return 0;
}

int xiSetParamFloat(XiHandle device, const char* name, float value) {
  Record(std::string("SetParamFloat ") + name + " " + std::to_string(value));
  if (!IsDevice(device)) return kError;
  std::lock_guard guard(g_device.lock);
  g_device.floats[name] = value;
  return 0;
}

int xiGetParamInt(XiHandle device, const char* name, int* value) {
  if (!IsDevice(device)) return kError;
  std::lock_guard guard(g_device.lock);
  auto found = g_device.ints.find(name);
  if (found == g_device.ints.end()) return kError;
  *value = found->second;
  return 0;
}

int xiGetParamFloat(XiHandle device, const char* name, float* value) {
  if (!IsDevice(device)) return kError;
  std::lock_guard guard(g_device.lock);
  auto found = g_device.floats.find(name);
  if (found == g_device.floats.end()) return kError;
  *value = found->second;
  return 0;
}

int xiStartAcquisition(XiHandle device) {
  Record("StartAcquisition");
  if (!IsDevice(device)) return kError;
  std::lock_guard guard(g_device.lock);
  g_device.acquiring = true;
  return 0;
}

int xiStopAcquisition(XiHandle device) {
  Record("StopAcquisition");
  if (!IsDevice(device)) return kError;
  std::lock_guard guard(g_device.lock);
  g_device.acquiring = false;
  return 0;
}

#ifndef ORV_FAKE_INCOMPLETE
int xiGetImage(XiHandle device, std::uint32_t, XiImage* image) {
  if (!IsDevice(device) || image->size != kXiImageRecordSize) return kError;
  std::this_thread::sleep_for(std::chrono::milliseconds(1));
  std::lock_guard guard(g_device.lock);
  if (!g_device.open || !g_device.acquiring) return kError;
  const int width = g_device.ints["width"], height = g_device.ints["height"];
  ++g_device.frames;
  g_device.image.assign(static_cast<std::size_t>(width) * height, static_cast<std::uint8_t>(g_device.frames % 256));
  // Every byte of the record is the library's to write.
  const std::uint32_t size = image->size;
  std::memset(static_cast<void*>(image), 0x5A, size);
  image->size = size;
  image->buffer = g_device.image.data();
  image->bufferSize = static_cast<std::uint32_t>(g_device.image.size());
  image->width = static_cast<std::uint32_t>(width);
  image->height = static_cast<std::uint32_t>(height);
  return 0;
}
#endif

}  // extern "C"
