#pragma once
// One running segment of the experiment clock: 20 bytes, five little-endian
// u32 in this order, which is also its stored form (clock store, experiment
// file, running backup).
#include <cstddef>
#include <cstdint>
#include <istream>
#include <span>

#include "core/storage/lmdb_record_store.h"
#include "core/storage/record_stream.h"

namespace ORV {

struct ClockSegment {
  std::uint32_t start = 0;        // tick (ms) when the segment began; 0 = never started
  std::uint32_t pause = 0;        // tick when the clock was paused; 0 = not paused
  std::uint32_t startTime = 0;    // clock value when the segment began
  std::uint32_t frozen = 0;       // clock value at the pause; 0 while running
  std::uint32_t pausedTotal = 0;  // sum of the paused intervals, ms
  bool operator==(const ClockSegment&) const = default;
};

inline constexpr std::size_t kClockSegmentSize = 20;

// Reads the five fields; returns `size`. The caller checks that 20 bytes are
// there (missing bytes read as 0xFF).
std::size_t ReadClockSegment(std::istream& in, ClockSegment& segment, std::size_t size = kClockSegmentSize);
void WriteClockSegment(SerializationStream& out, const ClockSegment& segment);

// Segments are keyed by their position in the store.
struct ClockSegmentCodec {
  static constexpr StoreKeying kKeying = StoreKeying::ByPosition;
  static void Write(SerializationStream& out, const ClockSegment& s) { WriteClockSegment(out, s); }
  // Values shorter than a segment are not read.
  static bool Read(std::span<const std::uint8_t> value, ClockSegment& s);
};

using ClockSegmentStore = LmdbRecordStore<ClockSegment, ClockSegmentCodec>;

}  // namespace ORV
