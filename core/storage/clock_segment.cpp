#include "core/storage/clock_segment.h"

namespace ORV {

std::size_t ReadClockSegment(std::istream& in, ClockSegment& segment, std::size_t size) {
  segment.start = ReadU32(in);
  segment.pause = ReadU32(in);
  segment.startTime = ReadU32(in);
  segment.frozen = ReadU32(in);
  segment.pausedTotal = ReadU32(in);
  return size;
}

void WriteClockSegment(SerializationStream& out, const ClockSegment& segment) {
  WriteU32(out, segment.start);
  WriteU32(out, segment.pause);
  WriteU32(out, segment.startTime);
  WriteU32(out, segment.frozen);
  WriteU32(out, segment.pausedTotal);
}

bool ClockSegmentCodec::Read(std::span<const std::uint8_t> value, ClockSegment& s) {
  if (value.size() < kClockSegmentSize) return false;
  ByteArrayStreamBuf buf(value);
  std::istream in(&buf);
  ReadClockSegment(in, s);
  return true;
}

}  // namespace ORV
