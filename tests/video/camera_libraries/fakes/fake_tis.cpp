// A fake camera library of The Imaging Source: one device, "DMx 41AU02
// (fake)", of 40 x 30 pixels, which runs live at the frame rate asked for
// (at most 15) and hands frames to the grabber's frame callback on a thread
// of its own. Built without IC_GetUniqueNamefromList (ORV_FAKE_INCOMPLETE)
// it stands for a library of another version.
#include <map>

#include "platform/cameras/tis/tis_exports.h"
#include "tests/video/camera_libraries/fakes/fake_library.h"

using namespace ORV::Cameras;

namespace {

constexpr int kOk = 1;
constexpr char kDevice[] = "DMx 41AU02 (fake)";
constexpr char kUniqueName[] = "DMx 41AU02 41310099";

struct Grabber {
  std::mutex lock;  // guards the device state against the frame thread
  TisFrameCallback frame = nullptr;
  void* frameContext = nullptr;
  bool open = false;
  double frameRate = 0.0;
  std::map<int, long> properties{{kTisPropertyGain, 16}, {kTisPropertyExposure, 333}, {kTisPropertyGamma, 100}};
  FrameThread frames;
};

Grabber* Of(TisGrabber grabber) { return static_cast<Grabber*>(grabber); }

}  // namespace

extern "C" {

int IC_InitLibrary(const char*) {
  Record("InitLibrary");
  return kOk;
}

TisGrabber IC_CreateGrabber() {
  Record("CreateGrabber");
  return new Grabber;
}

void IC_ReleaseGrabber(TisGrabber* grabber) {
  Record("ReleaseGrabber");
  delete Of(*grabber);
  *grabber = nullptr;
}

int IC_IsTriggerAvailable(TisGrabber) { return 1; }

int IC_EnableTrigger(TisGrabber, int enable) {
  Record("EnableTrigger " + std::to_string(enable));
  return kOk;
}

int IC_SetCallbacks(TisGrabber grabber, TisFrameCallback frame, void* frameContext, TisDeviceLostCallback, void*) {
  Record("SetCallbacks");
  std::lock_guard guard(Of(grabber)->lock);
  Of(grabber)->frame = frame;
  Of(grabber)->frameContext = frameContext;
  return kOk;
}

int IC_OpenVideoCaptureDevice(TisGrabber grabber, const char* name) {
  Record(std::string("OpenVideoCaptureDevice ") + name);
  if (std::string_view(kDevice).substr(0, std::strlen(name)) != name || *name == '\0') return 0;
  std::lock_guard guard(Of(grabber)->lock);
  Of(grabber)->open = true;
  return kOk;
}

int IC_IsDevValid(TisGrabber grabber) {
  std::lock_guard guard(Of(grabber)->lock);
  return Of(grabber)->open ? 1 : 0;
}

void IC_CloseVideoCaptureDevice(TisGrabber grabber) {
  Record("CloseVideoCaptureDevice");
  std::lock_guard guard(Of(grabber)->lock);
  Of(grabber)->open = false;
}

int IC_SetFrameRate(TisGrabber grabber, double framesPerSecond) {
  std::lock_guard guard(Of(grabber)->lock);
  Of(grabber)->frameRate = std::min(framesPerSecond, 15.0);
  return kOk;
}

double IC_GetFrameRate(TisGrabber grabber) {
  std::lock_guard guard(Of(grabber)->lock);
  return Of(grabber)->frameRate;
}

int IC_GetFormat(TisGrabber) { return 4; }

int IC_SetFormat(TisGrabber, int format) {
  Record("SetFormat " + std::to_string(format));
  return kOk;
}

int IC_GetVideoFormatWidth(TisGrabber) { return 40; }
int IC_GetVideoFormatHeight(TisGrabber) { return 30; }
int IC_SetContinuousMode(TisGrabber, int) { return kOk; }
int IC_IsVideoPropertyAutoAvailable(TisGrabber, int property) { return property == kTisPropertyGain ? 1 : 0; }

int IC_EnableAutoVideoProperty(TisGrabber, int property, int enable) {
  Record("EnableAutoVideoProperty " + std::to_string(property) + " " + std::to_string(enable));
  return kOk;
}

int IC_IsCameraPropertyAutoAvailable(TisGrabber, int) { return 0; }
int IC_EnableAutoCameraProperty(TisGrabber, int, int) { return kOk; }

int IC_IsVideoPropertyAvailable(TisGrabber grabber, int property) {
  std::lock_guard guard(Of(grabber)->lock);
  return Of(grabber)->properties.count(property) != 0 ? 1 : 0;
}

int IC_VideoPropertyGetRange(TisGrabber, int property, long* minimum, long* maximum) {
  *minimum = property == kTisPropertyGamma ? 1 : 0;
  *maximum = 1000;
  return kOk;
}

int IC_GetVideoProperty(TisGrabber grabber, int property, long* value) {
  std::lock_guard guard(Of(grabber)->lock);
  auto found = Of(grabber)->properties.find(property);
  if (found == Of(grabber)->properties.end()) return 0;
  *value = found->second;
  return kOk;
}

int IC_SetVideoProperty(TisGrabber grabber, int property, long value) {
  Record("SetVideoProperty " + std::to_string(property) + " " + std::to_string(value));
  std::lock_guard guard(Of(grabber)->lock);
  Of(grabber)->properties[property] = value;
  return kOk;
}

int IC_StartLive(TisGrabber grabber, int showWindow) {
  Record("StartLive " + std::to_string(showWindow));
  Grabber* g = Of(grabber);
  {
    std::lock_guard guard(g->lock);
    if (!g->open) return 0;
  }
  g->frames.Start(40 * 30, [g](const std::uint8_t* data, std::uint32_t, std::uint32_t number) {
    TisFrameCallback frame;
    void* context;
    {
      std::lock_guard guard(g->lock);
      frame = g->frame;
      context = g->frameContext;
    }
    if (frame != nullptr) frame(g, data, number, context);
  });
  return kOk;
}

void IC_StopLive(TisGrabber grabber) {
  Record("StopLive");
  Of(grabber)->frames.Stop();
}

int IC_GetDeviceCount() { return 1; }
const char* IC_GetDevice(int index) { return index == 0 ? kDevice : nullptr; }

#ifndef ORV_FAKE_INCOMPLETE
const char* IC_GetUniqueNamefromList(int index) { return index == 0 ? kUniqueName : nullptr; }
#endif

}  // extern "C"
