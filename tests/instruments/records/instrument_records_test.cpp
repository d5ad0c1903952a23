#include "instruments/records/instrument_records.h"

#include <gtest/gtest.h>

#include <vector>

namespace ORV {
namespace {

TEST(InstrumentRecords, NewPressureRecordHasItsDefaultBytes) {
  std::array<std::uint8_t, 124> bytes{};
  PMK4xData3{}.Serialize(bytes);
  std::array<std::uint8_t, 124> expected{};
  expected[0] = 1;                                   // flow valid
  expected[28 + 2] = 0xA0, expected[28 + 3] = 0x40;  // gradient 5.0f = 0x40A00000
  for (int i = 52; i < 56; ++i) expected[i] = 0xFF;  // index -1
  expected[64] = 50;                                 // duty rate
  EXPECT_EQ(bytes, expected);
}

TEST(InstrumentRecords, PressureRecordRoundTripsEveryField) {
  PMK4xData3 r;
  r.flowValid = 0;
  r.switch1 = 1;
  r.temperature = 37.5f;
  r.temperatureTarget = 37.0f;
  r.force = 1.25f;
  r.pulseRate = 2.0f;
  r.pH = 7.4f;
  r.flow = -3.5f;
  r.gradient = 6.0f;
  r.switch4 = 1;
  r.p1 = 80.0f;
  r.p2 = 60.0f;
  r.targetP1 = 81.0f;
  r.targetP2 = 61.0f;
  r.index = 42;
  r.time = 0xA1B2C3D4;
  r.digital8 = 1;
  r.digital6 = 1;
  r.digital5 = 1;
  r.digital3 = 1;
  r.dutyRate = 33;
  for (std::uint32_t i = 0; i < 10; ++i) r.extended[i] = 0x01020304u * (i + 1);
  r.reserved108 = 7;
  r.reserved112 = 8;
  r.reserved116 = 9;
  r.reserved120 = 10;
  r.reserved122 = 11;
  r.reserved123 = 12;
  std::array<std::uint8_t, 124> bytes{};
  r.Serialize(bytes);
  EXPECT_EQ(bytes[56], 0xD4);
  EXPECT_EQ(bytes[59], 0xA1);
  const PMK4xData3 back = PMK4xData3::Parse(bytes);
  std::array<std::uint8_t, 124> again{};
  back.Serialize(again);
  EXPECT_EQ(bytes, again);
  EXPECT_EQ(back.time, r.time);
  EXPECT_FLOAT_EQ(back.flow, -3.5f);
}

TEST(InstrumentRecords, FlowRecordStoresNegativeFlowAsSigned16Bit) {
  FMASL1600Data f;
  f.time = 1000;
  f.flow = -20;
  std::array<std::uint8_t, 12> bytes{};
  f.Serialize(bytes);
  const std::array<std::uint8_t, 12> expected{0xE8, 0x03, 0, 0, 0xEC, 0xFF, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(bytes, expected);
  EXPECT_EQ(FMASL1600Data::Parse(bytes).flow, -20);
}

}  // namespace
}  // namespace ORV
