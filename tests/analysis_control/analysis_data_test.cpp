#include "analysis_control/analysis_data.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <vector>

namespace ORV {
namespace {

std::array<std::uint8_t, AnalysisData::kSize> Bytes(const AnalysisData& record) {
  std::array<std::uint8_t, AnalysisData::kSize> out;
  out.fill(0xAA);  // every byte must be written, padding included
  record.Serialize(out);
  return out;
}

TEST(AnalysisData, FreshRecordHasItsFixedBytes) {
  const auto bytes = Bytes(AnalysisData{});
  const std::vector<std::uint8_t> head(bytes.begin(), bytes.begin() + 32);
  const std::vector<std::uint8_t> expected = {
      0x00, 0x00, 0x80, 0x3F,  // scale factor 1.0
      0xFF, 0xFF, 0xFF, 0xFF,  // -1
      0xFF, 0xFF, 0x00, 0x00,  // -1, padding
      0x00, 0x00, 0x00, 0x00,  // start time
      0x00, 0x00, 0x00, 0x00,  // frame time
      0x01, 0x00, 0x00, 0x00,  // 1
      0x00, 0x00, 0x00, 0x00,  // zone count, ignore lumen, padding
      0x01, 0x00, 0x00, 0x00,  // zone 0: valid, padding
  };
  EXPECT_EQ(head, expected);
  for (int z = 0; z < kAnalysisDataZones; ++z) {
    SCOPED_TRACE(z);
    const std::size_t at = AnalysisData::ZoneOffset(z);
    EXPECT_EQ(bytes[at], 1);
    for (std::size_t i = at + 1; i < at + AnalysisZoneBlock::kSize; ++i) EXPECT_EQ(bytes[i], 0) << "byte " << i;
  }
  EXPECT_EQ(AnalysisData::ZoneOffset(3) + AnalysisZoneBlock::kSize, AnalysisData::kSize);
}

TEST(AnalysisData, FieldsLandAtTheirOffsetsAndParseBack) {
  AnalysisData r;
  r.scaleFactor = 4.0f;
  r.startTime = 0x01020304;
  r.frameTime = -2;
  r.zoneCount = 3;
  r.ignoreLumen = 1;
  for (int z = 0; z < kAnalysisDataZones; ++z) {
    AnalysisZoneBlock& b = r.zones[z];
    b.angle = 45.0f;
    b.left = 100 * z + 1;
    b.top = 100 * z + 2;
    b.right = 100 * z + 3;
    b.bottom = 100 * z + 4;
    b.outerLeft = 100 * z + 5;
    b.outerRight = 100 * z + 6;
    b.lumenLeft = 100 * z + 7;
    b.lumenRight = -(100 * z + 8);
  }
  const auto bytes = Bytes(r);
  EXPECT_EQ((std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 4)),
            (std::vector<std::uint8_t>{0, 0, 0x80, 0x40}));
  EXPECT_EQ((std::vector<std::uint8_t>(bytes.begin() + 12, bytes.begin() + 20)),
            (std::vector<std::uint8_t>{0x04, 0x03, 0x02, 0x01, 0xFE, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(bytes[24], 3);
  EXPECT_EQ(bytes[25], 0);
  EXPECT_EQ(bytes[26], 1);
  EXPECT_EQ(bytes[27], 0);
  for (int z = 0; z < kAnalysisDataZones; ++z) {
    SCOPED_TRACE(z);
    const std::size_t at = 28 + 40 * z;
    EXPECT_EQ(bytes[at], 1);
    EXPECT_EQ(bytes[at + 1] | bytes[at + 2] | bytes[at + 3], 0);
    EXPECT_EQ((std::vector<std::uint8_t>(bytes.begin() + at + 4, bytes.begin() + at + 8)),
              (std::vector<std::uint8_t>{0, 0, 0x34, 0x42}));  // 45.0f
    for (int i = 0; i < 7; ++i) {
      const std::int32_t value = 100 * z + 1 + i;
      EXPECT_EQ(bytes[at + 8 + 4 * i], value & 0xFF) << "field " << i;
      EXPECT_EQ(bytes[at + 9 + 4 * i], value >> 8) << "field " << i;
    }
    EXPECT_EQ(bytes[at + 39], 0xFF);  // negative lumen right
  }

  const AnalysisData back = AnalysisData::Parse(bytes);
  EXPECT_EQ(Bytes(back), bytes);
  EXPECT_EQ(back.zones[2].lumenRight, -208);
  EXPECT_EQ(back.reserved1, -1);
  EXPECT_EQ(back.reserved2, -1);
  EXPECT_EQ(back.reserved3, 1);
}

TEST(AnalysisData, ParseIgnoresPaddingBytes) {
  auto bytes = Bytes(AnalysisData{});
  for (std::size_t at : {10u, 11u, 27u, 29u, 30u, 31u, 149u}) bytes[at] = 0x5A;
  EXPECT_EQ(Bytes(AnalysisData::Parse(bytes)), Bytes(AnalysisData{}));
}

}  // namespace
}  // namespace ORV
