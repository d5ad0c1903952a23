#pragma once
// Hand-built experiment files of versions 1, 2 and 3, written field by field
// from their documented layout:
//   versions 1, 2: u16 version, u32 product type, 10 x u32 block table,
//                  u32 startTick, u32 zone count of camera 0, title,
//                  description; blocks 0..6.
//   version 3:     u16 version, u32 product type, 20 x u32 block table,
//                  u32 startTick, u32 lastSampleTime, u32 zone count of
//                  camera 0, title, description; blocks 0..9.
// Texts are u32 UTF-16 unit counts and the units. The blocks follow the
// header in order and the table points at each.
#include <cstdint>
#include <string>
#include <vector>

#include "core/experiment/session_records.h"
#include "tests/core/experiment/file/file_fixture.h"

namespace ORV::Test {

inline Bytes& Text(Bytes& b, const std::u16string& text) {
  b.u32(static_cast<std::uint32_t>(text.size()));
  for (char16_t unit : text) b.u16(unit);
  return b;
}

inline Bytes& Raw(Bytes& b, std::span<const std::uint8_t> bytes) {
  b.b.insert(b.b.end(), bytes.begin(), bytes.end());
  return b;
}

// A record block: u32 total, u32 struct size, then the bytes.
inline std::vector<std::uint8_t> RecordBlock(std::uint32_t total, std::uint32_t size,
                                             std::span<const std::uint8_t> body = {}) {
  Bytes b;
  b.u32(total).u32(size);
  return Raw(b, body).b;
}

// `count` records of `size` bytes, record r's byte i being (seed + 16 r + i):
// every byte of a small list differs from its neighbours.
inline std::vector<std::uint8_t> Pattern(std::size_t count, std::size_t size, std::uint8_t seed = 1) {
  std::vector<std::uint8_t> out(count * size);
  for (std::size_t r = 0; r < count; ++r)
    for (std::size_t i = 0; i < size; ++i) out[r * size + i] = static_cast<std::uint8_t>(seed + 16 * r + i);
  return out;
}

struct OlderFile {
  enum Block { kActions, kCalculations, kMarkers, kFlow, kPressure, kZones, kMicroscope, kTraces, kVideo, kImages };

  explicit OlderFile(std::uint16_t v) : version(v) {
    blocks = {RecordBlock(0, 16),
              RecordBlock(0, 80),
              RecordBlock(0, 16),
              RecordBlock(0, 12),
              RecordBlock(0, 124),
              RecordBlock(0, 76),
              RecordBlock(0, v == 3 ? 16 : 12)};
    if (v == 3) blocks.insert(blocks.end(), {Bytes{}.u32(0).b, Bytes{}.u32(0).b, Bytes{}.u32(0).b});
  }

  std::vector<std::uint8_t> Build() const {
    const std::size_t entries = version == 3 ? 20 : 10;
    Bytes b;
    b.u16(version).u32(2);
    const std::size_t table = b.b.size();
    for (std::size_t i = 0; i < entries; ++i) b.u32(0);
    b.u32(startTick);
    if (version == 3) b.u32(lastSample);
    b.u32(zoneCount);
    Text(b, title);
    Text(b, description);
    for (std::size_t i = 0; i < blocks.size(); ++i) {
      b.put32(table + 4 * i, static_cast<std::uint32_t>(b.b.size()));
      Raw(b, blocks[i]);
    }
    return b.b;
  }

  // Where the title's length word stands.
  std::size_t TitleOffset() const { return version == 3 ? 98 : 54; }
  std::size_t DescriptionOffset() const { return TitleOffset() + 4 + 2 * title.size(); }

  std::uint16_t version;
  std::uint32_t startTick = 5000000;
  std::uint32_t lastSample = 5009000;
  std::uint32_t zoneCount = 2;
  std::u16string title = u"Old title";
  std::u16string description = u"Old description";
  std::vector<std::vector<std::uint8_t>> blocks;
};

}  // namespace ORV::Test
