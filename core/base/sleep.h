#pragma once
// High-resolution sleep.
#include <cstdint>

namespace ORV {

// Sleeps for an interval in units of 100 ns. The first call on each thread
// asks for the finest timer slack.
void HighResolutionSleep(std::int64_t interval100ns);

}  // namespace ORV
