#pragma once
// Stands in for the analysis control's still members (frame size, grab).
#include <cstring>
#include <vector>

#include "platform/com/dispatch.h"
#include "video/calibration/calibration_model.h"

namespace ORV::Video {

class FakeStillControl : public Com::IDispatch {
 public:
  std::vector<std::uint8_t> still;
  std::int32_t reportedSize = -1;  // -1: the still's size
  std::int32_t grabResult = -1;    // -1: the bytes written
  int grabs = 0;

  // A top-down 24-bit still of width x height in a grey ramp.
  static std::vector<std::uint8_t> MakeStill(int width, int height) {
    const int stride = (width * 3 + 3) & ~3;
    std::vector<std::uint8_t> b(44 + std::size_t(stride) * height, 0);
    auto put = [&b](std::size_t at, std::int32_t v) { std::memcpy(&b[at], &v, 4); };
    put(0, 40);
    put(4, width);
    put(8, -height);
    b[12] = 1;
    b[14] = 24;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width * 3; ++x) b[44 + std::size_t(y) * stride + x] = std::uint8_t(60 + (x / 3 + y) % 160);
    return b;
  }

  Com::HRESULT Invoke(Com::DISPID dispid, unsigned, std::span<const Com::Variant> args, Com::Variant* result) override {
    if (dispid == kDispidGetFrameDataSize) {
      if (result) *result = Com::Variant(reportedSize >= 0 ? reportedSize : std::int32_t(still.size()));
      return Com::S_OK;
    }
    if (dispid == kDispidGrabFrameData && args.size() == 2) {
      ++grabs;
      auto* buffer = args[0].Get<std::uint8_t*>();
      const auto size = std::size_t(args[1].Get<std::int32_t>());
      const std::size_t n = std::min(size, still.size());
      std::memcpy(buffer, still.data(), n);
      if (result) *result = Com::Variant(grabResult >= 0 ? grabResult : std::int32_t(n));
      return Com::S_OK;
    }
    return Com::DISP_E_MEMBERNOTFOUND;
  }
};

}  // namespace ORV::Video
