// The multi interface's answers decoded from bytes alone: every reply code of
// the table with the fields it carries, and the answers that are refused.
#include "instruments/multi_interface_answers.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <vector>

#include "platform/os/byte_order.h"

namespace ORV::MultiAnswers {
namespace {

using Bytes = std::vector<std::uint8_t>;

// An answer's bytes: report id 1, the reply code, then the fields in order.
class Answer {
 public:
  explicit Answer(std::uint16_t code)
      : bytes_{1, static_cast<std::uint8_t>(code >> 8), static_cast<std::uint8_t>(code)} {}
  Answer& U8(std::uint8_t v) { return bytes_.push_back(v), *this; }
  Answer& U16(std::uint16_t v) { return ORV::Bytes::AppendBE(bytes_, v), *this; }
  Answer& U32(std::uint32_t v) { return ORV::Bytes::AppendBE(bytes_, v), *this; }
  Answer& F32(float v) { return ORV::Bytes::AppendBE(bytes_, v), *this; }
  Answer& Skip(std::size_t n) { return bytes_.resize(bytes_.size() + n, 0), *this; }
  Answer& At(std::size_t offset, std::uint8_t v) {
    if (bytes_.size() <= offset) bytes_.resize(offset + 1, 0);
    bytes_[offset] = v;
    return *this;
  }
  // Zeros up to the report length.
  Bytes Report(std::size_t length) const {
    Bytes b = bytes_;
    b.resize(length, 0);
    return b;
  }

 private:
  Bytes bytes_;
};

constexpr std::uint16_t Code(Command c) { return kReplyBase + c; }

struct Case {
  const char* name;
  bool reports64;
  Bytes report;
  // What the answer changes in freshly made values; empty when it is refused.
  std::function<void(UnitValues&)> change;
};

TEST(MultiInterfaceAnswers, EachReplyCodeStoresItsFieldsAndNothingElse) {
  const std::vector<Case> cases = {
      {"force, 64-byte", true, Answer(Code(kGetForce)).F32(-1.5f).F32(4.0f).U16(450).U8(60).U8(1).Report(64),
       [](UnitValues& v) {
         v.force = -1.5f, v.force2 = 4.0f, v.pulseRate = 450, v.dutyRate = 60;
         v.digital[7] = true;
       }},
      {"force, 19-byte: no pulsation", false, Answer(Code(kGetForce)).F32(-1.5f).F32(4.0f).U16(450).U8(60).Report(19),
       [](UnitValues& v) { v.force = -1.5f, v.force2 = 4.0f; }},
      {"ping", false, Answer(Code(kPing)).U16(0x0102).Report(19), [](UnitValues& v) { v.pingValue = 0x0102; }},
      {"fast block with extended values", true,
       Answer(Code(kGetFastBlock))
           .F32(81)
           .F32(41)
           .F32(7.1f)
           .U16(0xFFF6)
           .U16(3725)
           .F32(2.5f)
           .U32(1)
           .U32(0xFFFFFFFF)
           .At(63, 0)
           .Report(64),
       [](UnitValues& v) {
         v.p1 = 81, v.p2 = 41, v.pH = 7.1f, v.flow = 65526, v.temperatures[0] = 37.25f, v.force = 2.5f;
         v.extendedPresent = true;
         v.extended[0] = 1, v.extended[1] = 0xFFFFFFFF;
       }},
      {"fast block flagged without extended values", true,
       Answer(Code(kGetFastBlock)).F32(81).Skip(16).U32(5).At(63, 1).Report(64), [](UnitValues& v) { v.p1 = 81; }},
      {"slow block", true,
       Answer(Code(kGetSlowBlock))
           .F32(95)
           .F32(35)
           .F32(3)
           .U16(3800)
           .Skip(4)
           .U8(0)
           .U8(1)
           .U8(1)
           .U8(2)
           .U8(1)
           .Skip(5)
           .U8(1)
           .U16(120)
           .U8(33)
           .U8(1)
           .Report(64),
       [](UnitValues& v) {
         v.targetP1 = 95, v.targetP2 = 35, v.gradient = 3, v.temperatures[3] = 38;
         v.digital = {false, true, true, false, true, true, true, true};
         v.pulseRate = 120, v.dutyRate = 33;
       }},
      {"pressures", false, Answer(Code(kGetPressures)).F32(80.5f).F32(-3.25f).F32(12).F32(2.5f).Report(19),
       [](UnitValues& v) { v.p1 = 80.5f, v.p2 = -3.25f, v.p3 = 12, v.gradient = 2.5f; }},
      {"targets", false, Answer(Code(kGetTargets)).F32(70).F32(20).F32(12).F32(2.5f).Report(19),
       [](UnitValues& v) { v.targetP1 = 70, v.targetP2 = 20, v.p3 = 12, v.gradient = 2.5f; }},
      {"pH and a negative flow", false, Answer(Code(kGetPhAndFlow)).F32(7.25f).Skip(4).U16(0xFFF6).Report(19),
       [](UnitValues& v) { v.pH = 7.25f, v.flow = -10; }},
      {"pH and a flow inside the dead band", false, Answer(Code(kGetPhAndFlow)).F32(7.25f).Skip(4).U16(9).Report(19),
       [](UnitValues& v) { v.pH = 7.25f; }},
      {"info block", false,
       Answer(Code(kGetInfoBlock)).U32(0xFFFFFFFF).U16(0x8001).U32(7).U16(8).U16(0xFFFF).Report(19),
       [](UnitValues& v) {
         v.info = {0xFFFFFFFF, 0x8001, 7, 8, 0xFFFF};
       }},
      {"status bytes", false, Answer(Code(kGetStatusBytes)).U8(0xFE).U8(0).U8(9).Report(19),
       [](UnitValues& v) {
         v.status = {0xFE, 0, 9};
       }},
      {"constant flow", false, Answer(Code(kGetConstantFlow)).U16(0xBEEF).U8(1).U8(2).U32(0xCAFEF00D).Report(19),
       [](UnitValues& v) {
         v.constantFlow = {0xBEEF, 1, 2, 0xCAFEF00D};
       }},
      {"digital states of the first firmware", false,
       Answer(Code(kGetDigitalStates)).U8(1).U8(0).U8(1).U8(1).U8(2).Skip(5).U8(1).Skip(2).U8(0).U8(0).U8(6).Report(19),
       [](UnitValues& v) {
         v.digital = {true, false, true, true, false, true, true, false};
         v.firmwareMajor = 1, v.firmwareMinor = 6, v.firmwareText = "1.06", v.modelCode = 0x20000;
       }},
      {"digital states of firmware 3.25, fast model", false,
       Answer(Code(kGetDigitalStates)).Skip(13).U16(325).U8(6).Report(19),
       [](UnitValues& v) {
         v.firmwareMajor = 3, v.firmwareMinor = 25, v.firmwareText = "3.25", v.modelCode = kModelFast;
         v.internalFlowCapable = true;
       }},
      {"digital states of firmware 3.24, unknown model", false,
       Answer(Code(kGetDigitalStates)).Skip(13).U16(324).U8(99).Report(19),
       [](UnitValues& v) { v.firmwareMajor = 3, v.firmwareMinor = 24, v.firmwareText = "3.24"; }},
      {"temperatures", false,
       Answer(Code(kGetTemperatures)).U16(3700).U16(100).U16(200).U16(3800).U16(65535).U16(0).Report(19),
       [](UnitValues& v) { v.temperatures = {37, 1, 2, 38, 655.35f, 0}; }},
      {"four words", false, Answer(kReplyFourWords).U16(1).U16(2).U16(3).U16(4).Report(19), [](UnitValues&) {}},
      {"no data", false, Answer(kReplyNoData).Report(19), [](UnitValues&) {}},

      {"a code not in the table", true, Answer(0x6036).F32(1).Report(64), nullptr},
      {"a request's own code echoed", true, Answer(Code(kSetPressures)).F32(1).Report(64), nullptr},
      {"a code without the request marker", false, Answer(0x0008).F32(1).Report(19), nullptr},
      {"the fast block in 19-byte reports", false, Answer(Code(kGetFastBlock)).F32(1).Report(19), nullptr},
      {"the slow block in 19-byte reports", false, Answer(Code(kGetSlowBlock)).F32(1).Report(19), nullptr},
      {"pressures cut short", true, Answer(Code(kGetPressures)).F32(1).F32(2).F32(3).Report(18), nullptr},
      {"force with pulsation cut short", true, Answer(Code(kGetForce)).F32(1).F32(2).Report(14), nullptr},
      {"a report without a code", true, Bytes{1, 0x60}, nullptr},
      {"an empty report", true, Bytes{}, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    UnitValues values;
    UnitValues expected;
    if (c.change) c.change(expected);
    EXPECT_EQ(Decode(c.report, c.reports64, values), c.change != nullptr);
    EXPECT_TRUE(values == expected);
  }
}

TEST(MultiInterfaceAnswers, FirmwareIsLearntFromTheFirstDigitalStateAnswerOnly) {
  UnitValues values;
  ASSERT_TRUE(Decode(Answer(Code(kGetDigitalStates)).Skip(13).U16(412).U8(4).Report(19), false, values));
  ASSERT_TRUE(Decode(Answer(Code(kGetDigitalStates)).U8(1).Skip(12).U16(325).U8(6).Report(19), false, values));
  EXPECT_EQ(values.firmwareText, "4.12");
  EXPECT_EQ(values.modelCode, 0x100000u);
  EXPECT_TRUE(values.digital[0]) << "the states still follow every answer";
}

TEST(MultiInterfaceAnswers, TheTableHasOneRowPerCodeAndLengthsThatFitTheReports) {
  std::set<std::uint16_t> codes;
  for (const ReplyFormat& row : ReplyTable()) {
    SCOPED_TRACE(row.code);
    EXPECT_TRUE(codes.insert(row.code).second) << "a code twice";
    EXPECT_EQ(FindReply(row.code), &row);
    EXPECT_GE(row.length64, 3);
    EXPECT_LE(row.length64, 64);
    EXPECT_LE(row.length19, 19);
    EXPECT_NE(row.decode, nullptr);
  }
  EXPECT_EQ(FindReply(0x6036), nullptr);
  EXPECT_EQ(ReplyCode(Bytes{1, 0x60, 0x08}), 0x6008);
}

}  // namespace
}  // namespace ORV::MultiAnswers
