#include "platform/cameras/simlab/simulated_tis.h"

#include <cstdlib>
#include <cstring>

namespace ORV::Cameras {

bool SimulatedLabEnabled() {
  const char* value = std::getenv("ORV_SIMLAB");
  return value != nullptr && std::strcmp(value, "1") == 0;
}

int SimulatedCameraCount() {
  const char* value = std::getenv("ORV_SIMLAB_CAMERAS");
  if (value == nullptr || *value == '\0') return 2;
  char* end = nullptr;
  const long n = std::strtol(value, &end, 10);
  if (*end != '\0' || n < 1) return 2;
  return n > 4 ? 4 : static_cast<int>(n);
}

TisApi SimulatedTisApi(int) { return TisApi::Unbound(); }

}  // namespace ORV::Cameras
