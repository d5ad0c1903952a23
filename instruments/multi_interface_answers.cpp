#include "instruments/multi_interface_answers.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "platform/os/byte_order.h"

namespace ORV::MultiAnswers {

namespace {

using Report = std::span<const std::uint8_t>;

// The model codes by the model byte of the digital-state answer.
constexpr std::pair<std::uint8_t, std::uint32_t> kModelCodes[] = {
    {1, 0x20000},  {2, 0x40000},  {3, 0x80000}, {4, 0x100000}, {5, 0x100002}, {6, 0x100001}, {7, 0x80000004u},
    {8, 0x100004}, {9, 0x100008}, {20, 0x200},  {21, 0x400},   {22, 0x800},   {23, 0x1000},
};

std::uint16_t U16(Report r, std::size_t at) { return Bytes::GetBE<std::uint16_t>(r, at); }
std::uint32_t U32(Report r, std::size_t at) { return Bytes::GetBE<std::uint32_t>(r, at); }
float F32(Report r, std::size_t at) { return Bytes::GetBE<float>(r, at); }
float Hundredths(Report r, std::size_t at) { return U16(r, at) / 100.0f; }
bool On(Report r, std::size_t at) { return r[at] == 1; }

void Force(Report r, bool reports64, UnitValues& v) {
  v.force = F32(r, 3);
  v.force2 = F32(r, 7);
  // Pulsation and state 8 ride along in 64-byte reports only.
  if (reports64) {
    v.pulseRate = U16(r, 11);
    v.dutyRate = r[13];
    v.digital[7] = On(r, 14);
  }
}

void Ping(Report r, bool, UnitValues& v) { v.pingValue = U16(r, 3); }

void FastBlock(Report r, bool, UnitValues& v) {
  v.p1 = F32(r, 3);
  v.p2 = F32(r, 7);
  v.pH = F32(r, 11);
  v.flow = static_cast<float>(U16(r, 15));
  v.temperatures[0] = Hundredths(r, 17);
  v.force = F32(r, 19);
  // The last byte is 0 when the extended values are there.
  v.extendedPresent = r[63] == 0;
  if (v.extendedPresent) {
    for (std::size_t k = 0; k < kExtendedCount; ++k) v.extended[k] = U32(r, 23 + 4 * k);
  }
}

void SlowBlock(Report r, bool, UnitValues& v) {
  v.targetP1 = F32(r, 3);
  v.targetP2 = F32(r, 7);
  v.gradient = F32(r, 11);
  v.temperatures[3] = Hundredths(r, 15);
  for (std::size_t k = 0; k < 5; ++k) v.digital[k] = On(r, 21 + k);
  v.digital[6] = On(r, 31);
  v.pulseRate = U16(r, 32);
  v.dutyRate = r[34];
  v.digital[7] = On(r, 35);
}

void Pressures(Report r, bool, UnitValues& v) {
  v.p1 = F32(r, 3);
  v.p2 = F32(r, 7);
  v.p3 = F32(r, 11);
  v.gradient = F32(r, 15);
}

void Targets(Report r, bool, UnitValues& v) {
  v.targetP1 = F32(r, 3);
  v.targetP2 = F32(r, 7);
  v.p3 = F32(r, 11);
  v.gradient = F32(r, 15);
}

void PhAndFlow(Report r, bool, UnitValues& v) {
  v.pH = F32(r, 3);
  // Signed here, with a dead band: below 10 either way reads as no flow.
  const auto flow = static_cast<std::int16_t>(U16(r, 11));
  v.flow = flow > -10 && flow < 10 ? 0.0f : static_cast<float>(flow);
}

void Info(Report r, bool, UnitValues& v) { v.info = {U32(r, 3), U16(r, 7), U32(r, 9), U16(r, 13), U16(r, 15)}; }

void Status(Report r, bool, UnitValues& v) { v.status = {r[3], r[4], r[5]}; }

void ConstantFlowSettings(Report r, bool, UnitValues& v) { v.constantFlow = {U16(r, 3), r[5], r[6], U32(r, 7)}; }

// The firmware version (bytes 16 and 17) and model (byte 18), learnt once.
void LearnFirmware(Report r, UnitValues& v) {
  if (v.firmwareMajor != 0 || v.firmwareMinor != 0) return;
  const std::uint8_t hi = r[16], lo = r[17];
  if ((hi == 0 && lo == 0) || (hi == 1 && lo == 6)) {
    // The first firmware sends no version.
    v.firmwareMajor = 1;
    v.firmwareMinor = 6;
    v.firmwareText = "1.06";
    v.modelCode = 0x20000;
  } else {
    const unsigned version = hi * 256u + lo;
    v.firmwareMajor = static_cast<std::uint8_t>(version / 100);
    v.firmwareMinor = static_cast<std::uint8_t>(version % 100);
    char text[16];
    std::snprintf(text, sizeof text, "%d.%02d", v.firmwareMajor, v.firmwareMinor);
    v.firmwareText = text;
    v.internalFlowCapable = v.firmwareMajor >= 4 || (v.firmwareMajor == 3 && v.firmwareMinor >= 25);
  }
  if (v.modelCode != 0) return;
  for (const auto& [byte, model] : kModelCodes) {
    if (r[18] == byte) v.modelCode = model;
  }
}

void DigitalStates(Report r, bool, UnitValues& v) {
  for (std::size_t k = 0; k < 5; ++k) v.digital[k] = On(r, 3 + k);
  v.digital[6] = On(r, 13);
  LearnFirmware(r, v);
}

void TemperatureValues(Report r, bool, UnitValues& v) {
  for (std::size_t k = 0; k < v.temperatures.size(); ++k) v.temperatures[k] = Hundredths(r, 3 + 2 * k);
}

// Acknowledgements whose data nothing reads.
void Nothing(Report, bool, UnitValues&) {}

constexpr std::uint16_t Reply(Command command) { return kReplyBase + command; }

constexpr ReplyFormat kReplies[] = {
    {Reply(kGetForce), 15, 11, Force},
    {Reply(kPing), 5, 5, Ping},
    {Reply(kGetFastBlock), 64, 0, FastBlock},
    {Reply(kGetSlowBlock), 36, 0, SlowBlock},
    {Reply(kGetPressures), 19, 19, Pressures},
    {Reply(kGetTargets), 19, 19, Targets},
    {Reply(kGetPhAndFlow), 13, 13, PhAndFlow},
    {Reply(kGetInfoBlock), 17, 17, Info},
    {Reply(kGetStatusBytes), 6, 6, Status},
    {Reply(kGetConstantFlow), 11, 11, ConstantFlowSettings},
    {Reply(kGetDigitalStates), 19, 19, DigitalStates},
    {Reply(kGetTemperatures), 15, 15, TemperatureValues},
    {kReplyFourWords, 11, 11, Nothing},
    {kReplyNoData, 3, 3, Nothing},
};

}  // namespace

std::span<const ReplyFormat> ReplyTable() { return kReplies; }

const ReplyFormat* FindReply(std::uint16_t code) {
  const auto* row =
      std::find_if(std::begin(kReplies), std::end(kReplies), [code](const ReplyFormat& r) { return r.code == code; });
  return row == std::end(kReplies) ? nullptr : row;
}

std::uint16_t ReplyCode(std::span<const std::uint8_t> report) {
  return report.size() < 3 ? 0 : Bytes::GetBE<std::uint16_t>(report, 1);
}

bool Decode(std::span<const std::uint8_t> report, bool reports64, UnitValues& values) {
  const ReplyFormat* row = FindReply(ReplyCode(report));
  if (!row) return false;
  const std::size_t length = reports64 ? row->length64 : row->length19;
  if (length == 0 || report.size() < length) return false;
  row->decode(report, reports64, values);
  return true;
}

}  // namespace ORV::MultiAnswers
