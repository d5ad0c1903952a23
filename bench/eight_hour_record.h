#pragma once
// An 8-hour experiment sampled at 15 Hz for the benchmarks: 432,000 zone
// records of camera 0, pressure samples and microscope readings.
#include <cstdint>

#include "core/experiment/experiment_data.h"

namespace ORV::Bench {

inline constexpr int kEightHourPoints = 8 * 3600 * 15;

inline void FillEightHours(ExperimentContents& c) {
  for (int i = 0; i < kEightHourPoints; ++i) {
    const auto t = static_cast<std::uint32_t>(i) * 1000u / 15u;
    const float f = static_cast<float>(i % 1000);
    ZoneData z;
    z.time = t;
    z.zoneCount = 1;
    z.outerLeft[0] = 100.0f + f;
    z.outerRight[0] = 300.0f + f;
    z.innerLeft[0] = 150.0f + f;
    z.innerRight[0] = 250.0f + f;
    c.zoneData[0].push_back(z);
    PMK4xData3 p;
    p.time = t;
    p.p1 = 60.0f + f * 0.01f;
    p.p2 = 40.0f + f * 0.01f;
    c.pressureSamples.push_back(p);
    MicroscopeData2 m;
    m.time = t;
    m.temperature = 37.0f;
    c.microscopeData[0].push_back(m);
  }
}

}  // namespace ORV::Bench
