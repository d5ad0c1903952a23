#pragma once
// The simulated lab's cameras, offered as cameras of The Imaging Source's
// library: with ORV_SIMLAB=1 the process's library table counts the lab's
// simulated vessel cameras and delivers their frames at their frame rate on
// a thread of each grabber, so the rest of the program treats them as real
// cameras. The model name of every simulated camera is "DMx 41AU02".
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/cameras/tis/tis_api.h"

namespace ORV::Cameras {

// One simulated camera as the library table drives it.
class SimulatedCameraFeed {
 public:
  enum class Fill {
    kFrame,    // a frame was made
    kDropped,  // this frame is lost on the way
    kLost,     // the device is gone
  };
  virtual ~SimulatedCameraFeed() = default;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual double FrameRate() const = 0;
  virtual void SetFrameRate(double framesPerSecond) = 0;
  // The picture's response: levels scaled by `gain`, then raised to 1 / gamma.
  virtual void SetResponse(double gain, double gamma) = 0;
  // Makes the camera's next frame into `pixels` (width x height bytes, rows
  // top to bottom); its size may differ from Width() x Height().
  virtual Fill FillNextFrame(std::vector<std::uint8_t>& pixels, int& width, int& height) = 0;
};

// The cameras of the process's simulated lab (none when it does not run).
std::vector<std::shared_ptr<SimulatedCameraFeed>> SimulatedLabCameras();
// A library table over these cameras.
TisApi SimulatedTisApi(std::vector<std::shared_ptr<SimulatedCameraFeed>> cameras);

// Video-property ranges of a simulated camera, and their neutral values.
inline constexpr long kSimulatedGainRange[] = {0, 100, 50};       // gain factor value / 50
inline constexpr long kSimulatedExposureRange[] = {1, 200, 100};  // brightness factor value / 100
inline constexpr long kSimulatedGammaRange[] = {10, 300, 100};    // gamma value / 100

}  // namespace ORV::Cameras
