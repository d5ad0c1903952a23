// A fake Lumenera camera library: one camera with a 64 x 48 sensor at
// 29.97 frames a second, which streams frames to the registered callback
// on a thread of its own. Built without LucamStreamVideoControl
// (ORV_FAKE_INCOMPLETE) it stands for a library of another version.
#include <map>

#include "platform/cameras/lumenera/lucam_exports.h"
#include "tests/video/camera_libraries/fakes/fake_library.h"

using namespace ORV::Cameras;

namespace {

struct Camera {
  LucamFrameFormat format{0, 0, 64, 48, 0, 1, 1, 0, 0};
  std::map<unsigned long, float> properties{{kLucamPropertyStillMode, 0.0f},
                                            {kLucamPropertyGain, 1.0f},
                                            {kLucamPropertyBrightness, 12.5f},
                                            {kLucamPropertyGamma, 1.0f}};
  std::mutex lock;  // guards the callback against its removal
  LucamStreamingCallback callback = nullptr;
  void* context = nullptr;
  FrameThread frames;
};

Camera g_camera;
constexpr long kCallbackId = 7;

bool IsCamera(LucamHandle handle) { return handle == &g_camera; }

}  // namespace

extern "C" {

long LucamNumCameras() {
  Record("NumCameras");
  return 1;
}

LucamHandle LucamCameraOpen(unsigned long number) {
  Record("CameraOpen " + std::to_string(number));
  return number == 1 ? &g_camera : nullptr;
}

int LucamCameraClose(LucamHandle camera) {
  Record("CameraClose");
  return IsCamera(camera);
}

int LucamGetFormat(LucamHandle camera, LucamFrameFormat* format, float* frameRate) {
  Record("GetFormat");
  if (!IsCamera(camera)) return 0;
  *format = g_camera.format;
  *frameRate = 29.97f;
  return 1;
}

int LucamSetFormat(LucamHandle camera, LucamFrameFormat* format, float) {
  Record("SetFormat " + std::to_string(format->subSampleX) + "x" + std::to_string(format->subSampleY));
  if (!IsCamera(camera)) return 0;
  g_camera.format = *format;
  return 1;
}

int LucamGetProperty(LucamHandle camera, unsigned long property, float* value, long* flags) {
  Record("GetProperty " + std::to_string(property));
  if (!IsCamera(camera) || g_camera.properties.count(property) == 0) return 0;
  *value = g_camera.properties[property];
  *flags = 0;
  return 1;
}

int LucamSetProperty(LucamHandle camera, unsigned long property, float value, long) {
  Record("SetProperty " + std::to_string(property) + " " + std::to_string(value));
  if (!IsCamera(camera)) return 0;
  g_camera.properties[property] = value;
  return 1;
}

long LucamAddStreamingCallback(LucamHandle camera, LucamStreamingCallback callback, void* context) {
  Record("AddStreamingCallback");
  if (!IsCamera(camera)) return -1;
  std::lock_guard guard(g_camera.lock);
  g_camera.callback = callback;
  g_camera.context = context;
  return kCallbackId;
}

int LucamRemoveStreamingCallback(LucamHandle camera, long id) {
  Record("RemoveStreamingCallback " + std::to_string(id));
  if (!IsCamera(camera) || id != kCallbackId) return 0;
  std::lock_guard guard(g_camera.lock);
  g_camera.callback = nullptr;
  return 1;
}

#ifndef ORV_FAKE_INCOMPLETE
int LucamStreamVideoControl(LucamHandle camera, unsigned long mode, void*) {
  Record("StreamVideoControl " + std::to_string(mode));
  if (!IsCamera(camera)) return 0;
  if (mode == 0) {
    g_camera.frames.Stop();
    return 1;
  }
  const LucamFrameFormat& f = g_camera.format;
  const std::size_t size = static_cast<std::size_t>(f.width / f.subSampleX) * (f.height / f.subSampleY);
  g_camera.frames.Start(size, [](const std::uint8_t* data, std::uint32_t length, std::uint32_t) {
    std::lock_guard guard(g_camera.lock);
    if (g_camera.callback != nullptr) g_camera.callback(g_camera.context, data, length);
  });
  return 1;
}
#endif

}  // extern "C"
