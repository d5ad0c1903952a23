#pragma once
// The per-frame analysis record.
//
// The analysis keeps one record for the frame it shows, and the recorder
// writes one per recorded frame into the "Analysis_" ".dta" file beside the
// video; the experiment reads such files back. The 188 bytes are a file
// format: Serialize and Parse write and read them field by field in
// little-endian order, padding as zeros; the static_asserts pin the offsets
// of the in-memory mirror.
//
// This header needs nothing of the analysis code, so the experiment core can
// store the records without linking it.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "instruments/records/instrument_records.h"

namespace ORV {

inline constexpr int kAnalysisDataZones = 4;

// One zone's block, 40 bytes.
struct AnalysisZoneBlock {
  std::uint8_t valid = 1;           // 0, always 1
  std::uint8_t pad[3] = {0, 0, 0};  // 1
  float angle = 0.0f;               // 4, the zone's rotation in degrees
  std::int32_t left = 0;            // 8, bounds of the zone outline, frame pixels
  std::int32_t top = 0;             // 12
  std::int32_t right = 0;           // 16, left + width
  std::int32_t bottom = 0;          // 20, top + height
  std::int32_t outerLeft = 0;       // 24, reported edges, pixels from the crop's left side
  std::int32_t outerRight = 0;      // 28
  std::int32_t lumenLeft = 0;       // 32
  std::int32_t lumenRight = 0;      // 36

  static constexpr std::size_t kSize = 40;
};

static_assert(sizeof(AnalysisZoneBlock) == 40);
static_assert(offsetof(AnalysisZoneBlock, valid) == 0);
static_assert(offsetof(AnalysisZoneBlock, angle) == 4);
static_assert(offsetof(AnalysisZoneBlock, left) == 8);
static_assert(offsetof(AnalysisZoneBlock, top) == 12);
static_assert(offsetof(AnalysisZoneBlock, right) == 16);
static_assert(offsetof(AnalysisZoneBlock, bottom) == 20);
static_assert(offsetof(AnalysisZoneBlock, outerLeft) == 24);
static_assert(offsetof(AnalysisZoneBlock, outerRight) == 28);
static_assert(offsetof(AnalysisZoneBlock, lumenLeft) == 32);
static_assert(offsetof(AnalysisZoneBlock, lumenRight) == 36);

// One frame's record, 188 bytes. A default-constructed record is the fresh
// record: scale factor 1.0, the reserved fields -1, -1 and 1, every zone
// block valid, everything else 0.
struct AnalysisData {
  float scaleFactor = 1.0f;                                   // 0, video scale factor when recording started
  std::int32_t reserved1 = -1;                                // 4
  std::int16_t reserved2 = -1;                                // 8
  std::uint8_t pad0[2] = {0, 0};                              // 10
  std::int32_t startTime = 0;                                 // 12, clock time when capture or recording started, ms
  std::int32_t frameTime = 0;                                 // 16, the frame's time, ms
  std::int32_t reserved3 = 1;                                 // 20
  std::int16_t zoneCount = 0;                                 // 24
  std::uint8_t ignoreLumen = 0;                               // 26
  std::uint8_t pad1 = 0;                                      // 27
  std::array<AnalysisZoneBlock, kAnalysisDataZones> zones{};  // 28, 68, 108, 148

  static constexpr std::size_t kSize = 188;
  static constexpr std::size_t ZoneOffset(int zone) { return 28 + AnalysisZoneBlock::kSize * zone; }

  void Serialize(std::span<std::uint8_t, kSize> out) const;
  static AnalysisData Parse(std::span<const std::uint8_t, kSize> in);
};

static_assert(sizeof(AnalysisData) == 188);
static_assert(offsetof(AnalysisData, scaleFactor) == 0);
static_assert(offsetof(AnalysisData, reserved1) == 4);
static_assert(offsetof(AnalysisData, reserved2) == 8);
static_assert(offsetof(AnalysisData, startTime) == 12);
static_assert(offsetof(AnalysisData, frameTime) == 16);
static_assert(offsetof(AnalysisData, reserved3) == 20);
static_assert(offsetof(AnalysisData, zoneCount) == 24);
static_assert(offsetof(AnalysisData, ignoreLumen) == 26);
static_assert(offsetof(AnalysisData, zones) == AnalysisData::ZoneOffset(0));

// ---- inline definitions ----

inline void AnalysisData::Serialize(std::span<std::uint8_t, kSize> out) const {
  std::uint8_t* p = out.data();
  std::memset(p, 0, kSize);
  Bytes::PutLE<float>(p + 0, scaleFactor);
  Bytes::PutLE<std::uint32_t>(p + 4, static_cast<std::uint32_t>(reserved1));
  Bytes::PutLE<std::uint16_t>(p + 8, static_cast<std::uint16_t>(reserved2));
  Bytes::PutLE<std::uint32_t>(p + 12, static_cast<std::uint32_t>(startTime));
  Bytes::PutLE<std::uint32_t>(p + 16, static_cast<std::uint32_t>(frameTime));
  Bytes::PutLE<std::uint32_t>(p + 20, static_cast<std::uint32_t>(reserved3));
  Bytes::PutLE<std::uint16_t>(p + 24, static_cast<std::uint16_t>(zoneCount));
  Bytes::PutLE<std::uint8_t>(p + 26, ignoreLumen);
  for (int z = 0; z < kAnalysisDataZones; ++z) {
    const AnalysisZoneBlock& b = zones[z];
    std::uint8_t* q = p + ZoneOffset(z);
    Bytes::PutLE<std::uint8_t>(q + 0, b.valid);
    Bytes::PutLE<float>(q + 4, b.angle);
    const std::int32_t values[] = {b.left,      b.top,        b.right,     b.bottom,
                                   b.outerLeft, b.outerRight, b.lumenLeft, b.lumenRight};
    for (int i = 0; i < 8; ++i) Bytes::PutLE<std::uint32_t>(q + 8 + 4 * i, static_cast<std::uint32_t>(values[i]));
  }
}

inline AnalysisData AnalysisData::Parse(std::span<const std::uint8_t, kSize> in) {
  const std::uint8_t* p = in.data();
  AnalysisData r;
  r.scaleFactor = Bytes::GetLE<float>(p + 0);
  r.reserved1 = static_cast<std::int32_t>(Bytes::GetLE<std::uint32_t>(p + 4));
  r.reserved2 = static_cast<std::int16_t>(Bytes::GetLE<std::uint16_t>(p + 8));
  r.startTime = static_cast<std::int32_t>(Bytes::GetLE<std::uint32_t>(p + 12));
  r.frameTime = static_cast<std::int32_t>(Bytes::GetLE<std::uint32_t>(p + 16));
  r.reserved3 = static_cast<std::int32_t>(Bytes::GetLE<std::uint32_t>(p + 20));
  r.zoneCount = static_cast<std::int16_t>(Bytes::GetLE<std::uint16_t>(p + 24));
  r.ignoreLumen = p[26];
  for (int z = 0; z < kAnalysisDataZones; ++z) {
    AnalysisZoneBlock& b = r.zones[z];
    const std::uint8_t* q = p + ZoneOffset(z);
    b.valid = q[0];
    b.angle = Bytes::GetLE<float>(q + 4);
    std::int32_t* values[] = {&b.left,      &b.top,        &b.right,     &b.bottom,
                              &b.outerLeft, &b.outerRight, &b.lumenLeft, &b.lumenRight};
    for (int i = 0; i < 8; ++i) *values[i] = static_cast<std::int32_t>(Bytes::GetLE<std::uint32_t>(q + 8 + 4 * i));
  }
  return r;
}

}  // namespace ORV
