#pragma once
// The answers of the multi interface, decoded without the device: pure
// functions from one input report's bytes to the values it carries.
//
// An answer is [report id, 0x60, sub-command, data]; its reply code, bytes 1
// and 2 big-endian, is 0x6000 + the sub-command of the request. Four-byte
// measurements are IEEE floats sent most significant byte first; other
// multi-byte values are big-endian unsigned unless a field says otherwise.
//
// One table says, for every reply code the driver knows, how many bytes the
// answer's fields take in 64-byte and in 19-byte reports and which function
// decodes it. An answer is decoded only when its code is in the table and all
// its fields lie inside the report.
#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace ORV::MultiAnswers {

// Sub-commands of the requests; each answer's code is kReplyBase + its
// request's sub-command.
enum Command : std::uint8_t {
  kGetForce = 0x00,
  kPing = 0x02,
  kGetFastBlock = 0x04,
  kGetSlowBlock = 0x06,
  kGetPressures = 0x08,
  kSetPressures = 0x09,
  kGetTargets = 0x0A,
  kGetPhAndFlow = 0x10,
  kGetInfoBlock = 0x12,
  kGetStatusBytes = 0x20,
  kSetConstantFlow = 0x24,
  kGetConstantFlow = 0x25,
  kGetDigitalStates = 0x28,
  kSetDigitalOutputs = 0x29,
  kGetTemperatures = 0x30,
  kSetTemperatures = 0x31,
};

inline constexpr std::uint16_t kReplyBase = 0x6000;
// Answers that acknowledge set requests: four 16-bit words nothing reads, and
// no data at all.
inline constexpr std::uint16_t kReplyFourWords = 0x6032;
inline constexpr std::uint16_t kReplyNoData = 0x6035;

// The unit with the fast block, the extended channel values and pulsation.
inline constexpr std::uint32_t kModelFast = 0x100001;
inline constexpr std::size_t kExtendedCount = 10;

struct InfoBlock {
  std::uint32_t first = 0;
  std::uint16_t second = 0;
  std::uint32_t third = 0;
  std::uint16_t fourth = 0;
  std::uint16_t fifth = 0;
  bool operator==(const InfoBlock&) const = default;
};
struct ConstantFlow {
  std::uint16_t value = 0;
  std::uint8_t first = 0;
  std::uint8_t second = 0;
  std::uint32_t word = 0;
  bool operator==(const ConstantFlow&) const = default;
};
using Temperatures = std::array<float, 6>;
using StatusBytes = std::array<std::uint8_t, 3>;

// Everything the answers tell about the unit. Each answer changes only its
// own fields; the starting values are those a unit is assumed to have before
// it said otherwise.
struct UnitValues {
  float p1 = 0, p2 = 0, p3 = 0;
  float pH = 0, force = 0, force2 = 0;
  float flow = 0;
  float targetP1 = 0, targetP2 = 0, gradient = 0;
  Temperatures temperatures{};
  StatusBytes status{};
  // States 1 to 8; state 6 is not in any answer and always on.
  std::array<bool, 8> digital{false, false, false, false, false, true, false, false};
  std::array<std::uint32_t, kExtendedCount> extended{};
  bool extendedPresent = false;
  std::uint16_t pulseRate = 20;
  std::uint8_t dutyRate = 10;
  InfoBlock info;
  ConstantFlow constantFlow;
  std::uint16_t pingValue = 0;
  // Learnt from the first digital-state answer and kept from then on.
  std::uint8_t firmwareMajor = 0, firmwareMinor = 0;
  std::string firmwareText;
  std::uint32_t modelCode = 0;
  bool internalFlowCapable = false;

  bool operator==(const UnitValues&) const = default;
};

// One row of the reply table. A length of 0 means the answer does not fit
// reports of that size.
struct ReplyFormat {
  std::uint16_t code;
  std::uint8_t length64;
  std::uint8_t length19;
  // Stores the answer's fields; the report holds at least the row's length.
  void (*decode)(std::span<const std::uint8_t> report, bool reports64, UnitValues& values);
};

// Every reply code the driver decodes.
std::span<const ReplyFormat> ReplyTable();
// The row of a reply code, or null.
const ReplyFormat* FindReply(std::uint16_t code);
// Bytes 1 and 2 of a report, big-endian; 0 for a report shorter than 3.
std::uint16_t ReplyCode(std::span<const std::uint8_t> report);
// Decodes one report of a unit with 64-byte (else 19-byte) reports into
// `values`. False, changing nothing, for a code not in the table or a report
// too short for the answer's fields.
bool Decode(std::span<const std::uint8_t> report, bool reports64, UnitValues& values);

}  // namespace ORV::MultiAnswers
