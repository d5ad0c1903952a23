#pragma once
// The fixed sample records of the instruments. PMK4xData3 and FMASL1600Data
// are stored in experiment files and in the running backup, so their layouts
// are file formats: the static_asserts below pin every offset, and
// Serialize/Parse write and read them field by field in little-endian order.
//
// This header includes nothing of the project, so the experiment core can
// store the records without depending on the drivers.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

#include "platform/os/byte_order.h"

namespace ORV {

// One sample of a pressure interface (single or multi), 124 bytes.
struct PMK4xData3 {
  std::uint8_t flowValid = 1;                // 0: the flow at offset 24 is meaningful when non-zero
  std::uint8_t switch1 = 0;                  // 1
  std::uint8_t pad0[2] = {0, 0};             // 2
  float temperature = 0.0f;                  // 4
  float temperatureTarget = 0.0f;            // 8
  float force = 0.0f;                        // 12, mN
  float pulseRate = 0.0f;                    // 16
  float pH = 0.0f;                           // 20
  float flow = 0.0f;                         // 24
  float gradient = 5.0f;                     // 28
  std::uint8_t switch4 = 0;                  // 32
  std::uint8_t pad1[3] = {0, 0, 0};          // 33
  float p1 = 0.0f;                           // 36, inlet pressure
  float p2 = 0.0f;                           // 40, outlet pressure
  float targetP1 = 0.0f;                     // 44
  float targetP2 = 0.0f;                     // 48
  std::int32_t index = -1;                   // 52, stamped by the experiment record
  std::uint32_t time = 0;                    // 56, the sample's time (ms of the experiment clock)
  std::uint8_t digital8 = 0;                 // 60, pulsation running
  std::uint8_t digital6 = 0;                 // 61
  std::uint8_t digital5 = 0;                 // 62
  std::uint8_t digital3 = 0;                 // 63
  std::uint8_t dutyRate = 50;                // 64
  std::uint8_t pad2[3] = {0, 0, 0};          // 65
  std::array<std::uint32_t, 10> extended{};  // 68, extended channel values
  std::uint32_t reserved108 = 0;             // 108
  std::uint32_t reserved112 = 0;             // 112
  std::uint32_t reserved116 = 0;             // 116
  std::uint16_t reserved120 = 0;             // 120
  std::uint8_t reserved122 = 0;              // 122
  std::uint8_t reserved123 = 0;              // 123

  static constexpr std::size_t kSize = 124;
  void Serialize(std::span<std::uint8_t, kSize> out) const;
  static PMK4xData3 Parse(std::span<const std::uint8_t, kSize> in);
};

static_assert(sizeof(PMK4xData3) == 124);
static_assert(offsetof(PMK4xData3, flowValid) == 0);
static_assert(offsetof(PMK4xData3, switch1) == 1);
static_assert(offsetof(PMK4xData3, temperature) == 4);
static_assert(offsetof(PMK4xData3, temperatureTarget) == 8);
static_assert(offsetof(PMK4xData3, force) == 12);
static_assert(offsetof(PMK4xData3, pulseRate) == 16);
static_assert(offsetof(PMK4xData3, pH) == 20);
static_assert(offsetof(PMK4xData3, flow) == 24);
static_assert(offsetof(PMK4xData3, gradient) == 28);
static_assert(offsetof(PMK4xData3, switch4) == 32);
static_assert(offsetof(PMK4xData3, p1) == 36);
static_assert(offsetof(PMK4xData3, p2) == 40);
static_assert(offsetof(PMK4xData3, targetP1) == 44);
static_assert(offsetof(PMK4xData3, targetP2) == 48);
static_assert(offsetof(PMK4xData3, index) == 52);
static_assert(offsetof(PMK4xData3, time) == 56);
static_assert(offsetof(PMK4xData3, digital8) == 60);
static_assert(offsetof(PMK4xData3, digital6) == 61);
static_assert(offsetof(PMK4xData3, digital5) == 62);
static_assert(offsetof(PMK4xData3, digital3) == 63);
static_assert(offsetof(PMK4xData3, dutyRate) == 64);
static_assert(offsetof(PMK4xData3, extended) == 68);
static_assert(offsetof(PMK4xData3, reserved108) == 108);
static_assert(offsetof(PMK4xData3, reserved112) == 112);
static_assert(offsetof(PMK4xData3, reserved116) == 116);
static_assert(offsetof(PMK4xData3, reserved120) == 120);
static_assert(offsetof(PMK4xData3, reserved122) == 122);
static_assert(offsetof(PMK4xData3, reserved123) == 123);

// One flow sample, 12 bytes.
struct FMASL1600Data {
  std::uint32_t time = 0;        // 0, ms of the experiment clock, taken just before the read
  std::int16_t flow = 0;         // 4, signed
  std::uint8_t pad[2] = {0, 0};  // 6
  std::int32_t index = -1;       // 8, newest zone record's index when stored

  static constexpr std::size_t kSize = 12;
  void Serialize(std::span<std::uint8_t, kSize> out) const;
  static FMASL1600Data Parse(std::span<const std::uint8_t, kSize> in);
};

static_assert(sizeof(FMASL1600Data) == 12);
static_assert(offsetof(FMASL1600Data, time) == 0);
static_assert(offsetof(FMASL1600Data, flow) == 4);
static_assert(offsetof(FMASL1600Data, index) == 8);

// One microscope reading, 16 bytes (posted by the microscope sampling thread).
struct MicroscopeSample {
  std::uint32_t time = 0;        // ms; 0 as posted
  float temperature = 0.0f;      // reply to "?41"
  std::int32_t setting = 0;      // reply to "?4i", the IR light level
  std::uint32_t microscope = 0;  // index of the microscope, 0-3

  static constexpr std::size_t kSize = 16;
};
static_assert(sizeof(MicroscopeSample) == 16);
static_assert(offsetof(MicroscopeSample, time) == 0);
static_assert(offsetof(MicroscopeSample, temperature) == 4);
static_assert(offsetof(MicroscopeSample, setting) == 8);
static_assert(offsetof(MicroscopeSample, microscope) == 12);

// One heat-controller reading, 20 bytes.
struct HeatControllerSample {
  std::array<std::uint8_t, 4> channelFlags{};  // 1 when the "?2c" field begins with '0'
  std::array<float, 4> temperatures{};         // "?21", channels 1-4

  static constexpr std::size_t kSize = 20;
};
static_assert(sizeof(HeatControllerSample) == 20);
static_assert(offsetof(HeatControllerSample, channelFlags) == 0);
static_assert(offsetof(HeatControllerSample, temperatures) == 4);

// ---- inline definitions ----

inline void PMK4xData3::Serialize(std::span<std::uint8_t, kSize> out) const {
  std::uint8_t* p = out.data();
  std::memset(p, 0, kSize);
  Bytes::PutLE<std::uint8_t>(p + 0, flowValid);
  Bytes::PutLE<std::uint8_t>(p + 1, switch1);
  Bytes::PutLE<float>(p + 4, temperature);
  Bytes::PutLE<float>(p + 8, temperatureTarget);
  Bytes::PutLE<float>(p + 12, force);
  Bytes::PutLE<float>(p + 16, pulseRate);
  Bytes::PutLE<float>(p + 20, pH);
  Bytes::PutLE<float>(p + 24, flow);
  Bytes::PutLE<float>(p + 28, gradient);
  Bytes::PutLE<std::uint8_t>(p + 32, switch4);
  Bytes::PutLE<float>(p + 36, p1);
  Bytes::PutLE<float>(p + 40, p2);
  Bytes::PutLE<float>(p + 44, targetP1);
  Bytes::PutLE<float>(p + 48, targetP2);
  Bytes::PutLE<std::uint32_t>(p + 52, static_cast<std::uint32_t>(index));
  Bytes::PutLE<std::uint32_t>(p + 56, time);
  Bytes::PutLE<std::uint8_t>(p + 60, digital8);
  Bytes::PutLE<std::uint8_t>(p + 61, digital6);
  Bytes::PutLE<std::uint8_t>(p + 62, digital5);
  Bytes::PutLE<std::uint8_t>(p + 63, digital3);
  Bytes::PutLE<std::uint8_t>(p + 64, dutyRate);
  for (std::size_t i = 0; i < extended.size(); ++i) Bytes::PutLE<std::uint32_t>(p + 68 + 4 * i, extended[i]);
  Bytes::PutLE<std::uint32_t>(p + 108, reserved108);
  Bytes::PutLE<std::uint32_t>(p + 112, reserved112);
  Bytes::PutLE<std::uint32_t>(p + 116, reserved116);
  Bytes::PutLE<std::uint16_t>(p + 120, reserved120);
  Bytes::PutLE<std::uint8_t>(p + 122, reserved122);
  Bytes::PutLE<std::uint8_t>(p + 123, reserved123);
}

inline PMK4xData3 PMK4xData3::Parse(std::span<const std::uint8_t, kSize> in) {
  const std::uint8_t* p = in.data();
  PMK4xData3 r;
  r.flowValid = p[0];
  r.switch1 = p[1];
  r.temperature = Bytes::GetLE<float>(p + 4);
  r.temperatureTarget = Bytes::GetLE<float>(p + 8);
  r.force = Bytes::GetLE<float>(p + 12);
  r.pulseRate = Bytes::GetLE<float>(p + 16);
  r.pH = Bytes::GetLE<float>(p + 20);
  r.flow = Bytes::GetLE<float>(p + 24);
  r.gradient = Bytes::GetLE<float>(p + 28);
  r.switch4 = p[32];
  r.p1 = Bytes::GetLE<float>(p + 36);
  r.p2 = Bytes::GetLE<float>(p + 40);
  r.targetP1 = Bytes::GetLE<float>(p + 44);
  r.targetP2 = Bytes::GetLE<float>(p + 48);
  r.index = static_cast<std::int32_t>(Bytes::GetLE<std::uint32_t>(p + 52));
  r.time = Bytes::GetLE<std::uint32_t>(p + 56);
  r.digital8 = p[60];
  r.digital6 = p[61];
  r.digital5 = p[62];
  r.digital3 = p[63];
  r.dutyRate = p[64];
  for (std::size_t i = 0; i < r.extended.size(); ++i) r.extended[i] = Bytes::GetLE<std::uint32_t>(p + 68 + 4 * i);
  r.reserved108 = Bytes::GetLE<std::uint32_t>(p + 108);
  r.reserved112 = Bytes::GetLE<std::uint32_t>(p + 112);
  r.reserved116 = Bytes::GetLE<std::uint32_t>(p + 116);
  r.reserved120 = Bytes::GetLE<std::uint16_t>(p + 120);
  r.reserved122 = p[122];
  r.reserved123 = p[123];
  return r;
}

inline void FMASL1600Data::Serialize(std::span<std::uint8_t, kSize> out) const {
  std::uint8_t* p = out.data();
  Bytes::PutLE<std::uint32_t>(p, time);
  Bytes::PutLE<std::uint16_t>(p + 4, static_cast<std::uint16_t>(flow));
  p[6] = pad[0];
  p[7] = pad[1];
  Bytes::PutLE<std::uint32_t>(p + 8, static_cast<std::uint32_t>(index));
}

inline FMASL1600Data FMASL1600Data::Parse(std::span<const std::uint8_t, kSize> in) {
  const std::uint8_t* p = in.data();
  FMASL1600Data r;
  r.time = Bytes::GetLE<std::uint32_t>(p);
  r.flow = static_cast<std::int16_t>(Bytes::GetLE<std::uint16_t>(p + 4));
  r.pad[0] = p[6];
  r.pad[1] = p[7];
  r.index = static_cast<std::int32_t>(Bytes::GetLE<std::uint32_t>(p + 8));
  return r;
}

}  // namespace ORV
