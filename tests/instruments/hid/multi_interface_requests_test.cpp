// The requests of the multi interface: the exact reports of the set
// requests, what each getter decodes, the reply-code rules, and answers
// that are stale, foreign or too short for their fields.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <functional>

#include "tests/instruments/hid/hid_rig.h"

namespace ORV::Test {
namespace {

// A rig whose device is connected but kept every value it was created with.
std::unique_ptr<HidRig> FreshRig(std::size_t length) {
  auto rig = std::make_unique<HidRig>(length);
  rig->FailLoadQueries();
  EXPECT_TRUE(rig->device->Load(rig->path));
  rig->ClearReplyCodes();
  rig->unit->ClearReceived();
  return rig;
}

std::unique_ptr<HidRig> LoadedRig(std::size_t length = 64) {
  auto rig = std::make_unique<HidRig>(length);
  EXPECT_TRUE(rig->device->Load(rig->path));
  rig->unit->ClearReceived();
  return rig;
}

Bytes LastReport(const HidRig& rig) {
  const auto all = rig.unit->Received();
  return all.empty() ? Bytes{} : all.back();
}

TEST(MultiInterfaceSetRequests, ReportsOfAFreshDeviceCarryTheStoredDefaults) {
  struct Case {
    const char* name;
    std::function<bool(Multi&)> call;
    Bytes report64;
    Bytes report19;
  };
  const Bytes pressures = {0x01, 0x60, 0x09, 0x42, 0xC8, 0x00, 0x00, 0x42, 0xA0, 0x00, 0x00, 0x3F, 0x80, 0x00, 0x00};
  const auto with = [](Bytes head, Bytes tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
  };
  const Case cases[] = {
      // Gradient kept: the stored 0 is raised to 1.0; pulse and duty rate 0
      // send the stored 20 and 10.
      {"pressures, gradient, pulse and duty kept", [](Multi& m) { return m.SetPressures(100, 80, -1, 0, 0, 1); },
       with(pressures, {0x00, 0x14, 0x0A, 0x01}), pressures},
      {"pressures with every value given",
       [](Multi& m) { return m.SetPressures(100, 80, 2.5f, 600, 80, 0); },
       {0x01, 0x60, 0x09, 0x42, 0xC8, 0x00, 0x00, 0x42, 0xA0, 0x00, 0x00, 0x40, 0x20, 0x00, 0x00, 0x02, 0x58, 0x50,
        0x00},
       {0x01, 0x60, 0x09, 0x42, 0xC8, 0x00, 0x00, 0x42, 0xA0, 0x00, 0x00, 0x40, 0x20, 0x00, 0x00}},
      // P1 and P2 kept: the stored targets, 0 on a fresh device.
      {"targets kept",
       [](Multi& m) { return m.SetPressures(-1, -1, -1, 0, 0, 0); },
       {0x01, 0x60, 0x09, 0, 0, 0, 0, 0, 0, 0, 0, 0x3F, 0x80, 0x00, 0x00, 0x00, 0x14, 0x0A, 0x00},
       {0x01, 0x60, 0x09, 0, 0, 0, 0, 0, 0, 0, 0, 0x3F, 0x80, 0x00, 0x00}},
      {"heater temperature",
       [](Multi& m) { return m.SetTemperatures(37.5f, -1, -1); },
       {0x01, 0x60, 0x31, 0x0E, 0xA6},
       {0x01, 0x60, 0x31, 0x0E, 0xA6}},
      {"three temperatures, rounded to hundredths",
       [](Multi& m) { return m.SetTemperatures(0.004f, 21.456f, 655.35f); },
       {0x01, 0x60, 0x31, 0x00, 0x00, 0x08, 0x62, 0xFF, 0xFF},
       {0x01, 0x60, 0x31, 0x00, 0x00, 0x08, 0x62, 0xFF, 0xFF}},
      {"heater on",
       [](Multi& m) { return m.SetDigitalOutputs(1, 0xFF, 0xFF, 0); },
       {0x01, 0x60, 0x29, 0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00},
       {0x01, 0x60, 0x29, 0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00}},
      {"flow off, pressure on",
       [](Multi& m) { return m.SetDigitalOutputs(0xFF, 0, 1, 0); },
       {0x01, 0x60, 0x29, 0xFF, 0x00, 0xFF, 0x01, 0xFF},
       {0x01, 0x60, 0x29, 0xFF, 0x00, 0xFF, 0x01, 0xFF}},
      {"zero force",
       [](Multi& m) { return m.SetDigitalOutputs(0xFF, 0xFF, 0xFF, 1); },
       {0x01, 0x60, 0x29, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x01},
       {0x01, 0x60, 0x29, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x01}},
      {"zero-force argument other than 1",
       [](Multi& m) { return m.SetDigitalOutputs(0xFF, 0xFF, 0xFF, 2); },
       {0x01, 0x60, 0x29, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00},
       {0x01, 0x60, 0x29, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00}},
      {"constant flow",
       [](Multi& m) {
         return m.SetConstantFlow({0x1234, 5, 6, 0x0A0B0C0D});
       },
       {0x01, 0x60, 0x24, 0x12, 0x34, 0x05, 0x06, 0x0A, 0x0B, 0x0C, 0x0D},
       {0x01, 0x60, 0x24, 0x12, 0x34, 0x05, 0x06, 0x0A, 0x0B, 0x0C, 0x0D}},
  };
  for (std::size_t length : {64u, 19u}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(testing::Message() << c.name << ", " << length << "-byte reports");
      auto rig = FreshRig(length);
      EXPECT_TRUE(c.call(*rig->device));
      EXPECT_EQ(LastReport(*rig), Padded(length == 64 ? c.report64 : c.report19, length));
      EXPECT_EQ(rig->sleeper.Waits().back(), 20u);  // the wait before reading the answer
    }
  }
}

TEST(MultiInterfaceSetRequests, KeptValuesAreTheOnesTheUnitLastReported) {
  auto rig = LoadedRig();
  rig->unit->Update([](auto& s) {
    s.targetP1 = 90;
    s.targetP2 = 30;
    s.gradient = 0.5f;  // below 1.0: raised before it is sent
    s.pulseRate = 300;
    s.dutyRate = 40;
    s.temperatures = {3712, 0, 0, 0, 2500, 4001};
  });
  float a, b, c, d, force, force2;
  Multi::Temperatures t;
  ASSERT_TRUE(rig->device->GetTargets(a, b, c, d));
  ASSERT_TRUE(rig->device->GetForce(force, force2));
  ASSERT_TRUE(rig->device->GetTemperatures(t));

  ASSERT_TRUE(rig->device->SetPressures(-1, -1, -1, 0, 0, 1));
  EXPECT_EQ(LastReport(*rig), Padded({0x01, 0x60, 0x09, 0x42, 0xB4, 0x00, 0x00, 0x41, 0xF0, 0x00, 0x00, 0x3F, 0x80,
                                      0x00, 0x00, 0x01, 0x2C, 0x28, 0x01},
                                     64));
  // A gradient of 1.0 or more is kept as the unit reported it.
  rig->unit->Update([](auto& s) { s.gradient = 5.0f; });
  ASSERT_TRUE(rig->device->GetTargets(a, b, c, d));
  ASSERT_TRUE(rig->device->SetPressures(100, -1, -1, 0, 0, 0));
  EXPECT_EQ(LastReport(*rig), Padded({0x01, 0x60, 0x09, 0x42, 0xC8, 0x00, 0x00, 0x41, 0xF0, 0x00, 0x00, 0x40, 0xA0,
                                      0x00, 0x00, 0x01, 0x2C, 0x28, 0x00},
                                     64));
  // Temperatures 1, 5 and 6 stand in for -1.
  ASSERT_TRUE(rig->device->SetTemperatures(-1, -1, -1));
  EXPECT_EQ(LastReport(*rig), Padded({0x01, 0x60, 0x31, 0x0E, 0x80, 0x09, 0xC4, 0x0F, 0xA1}, 64));
  // The unit took them.
  const auto s = rig->unit->GetState();
  EXPECT_EQ(s.temperatures[3], 3712);
  EXPECT_EQ(s.digital[7], 0);
  EXPECT_FLOAT_EQ(s.targetP1, 100.0f);
}

TEST(MultiInterfaceSetRequests, TemperaturesThatDoNotFitTheFieldAreRefused) {
  auto rig = LoadedRig();
  for (float v : {-0.5f, -5.0f, 655.36f, 1000.0f, std::nanf(""), INFINITY}) {
    SCOPED_TRACE(v);
    EXPECT_FALSE(rig->device->SetTemperatures(37.0f, v, 37.0f));
    EXPECT_FALSE(rig->device->SetTemperatures(v, 37.0f, 37.0f));
  }
  EXPECT_TRUE(rig->unit->Received().empty());
}

TEST(MultiInterfaceSetRequests, SetRequestsSucceedOnlyOnADecodedAnswerCode) {
  struct Case {
    const char* name;
    std::uint8_t command;
    std::function<bool(Multi&)> call;
    std::uint16_t code;
    bool succeeds;
  };
  const auto pressures = [](Multi& m) { return m.SetPressures(100, 80, 5, 0, 0, 0); };
  const auto temperatures = [](Multi& m) { return m.SetTemperatures(37, -1, -1); };
  const auto outputs = [](Multi& m) { return m.SetDigitalOutputs(1, 0xFF, 0xFF, 0); };
  const auto flow = [](Multi& m) { return m.SetConstantFlow({1, 2, 3, 4}); };
  const Case cases[] = {
      {"pressures echoed", 0x09, pressures, 0x6009, false},
      {"temperatures echoed", 0x31, temperatures, 0x6031, false},
      {"outputs echoed", 0x29, outputs, 0x6029, false},
      {"constant flow echoed", 0x24, flow, 0x6024, false},
      {"beyond the table", 0x09, pressures, 0x6036, false},
      {"far beyond", 0x09, pressures, 0x7002, false},
      {"below the table", 0x29, outputs, 0x5FFF, false},
      {"unlisted code inside the range", 0x31, temperatures, 0x6003, false},
      {"no data", 0x09, pressures, 0x6035, true},
      {"four words", 0x29, outputs, 0x6032, true},
      {"a getter's code", 0x24, flow, 0x6008, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto rig = LoadedRig();
    rig->unit->SetReplyCode(c.command, c.code);
    EXPECT_EQ(c.call(*rig->device), c.succeeds);
    EXPECT_EQ(rig->device->LastReplyCode(), c.code);
    EXPECT_EQ(rig->device->StoredConstantFlow() == (Multi::ConstantFlow{1, 2, 3, 4}), c.succeeds && c.command == 0x24);
  }
}

TEST(MultiInterfaceGetters, EachGetterReadsItsFieldsFromTheUnit) {
  for (std::size_t length : {64u, 19u}) {
    SCOPED_TRACE(length);
    auto rig = LoadedRig(length);
    rig->unit->Update([](auto& s) {
      s.p1 = 80.5f, s.p2 = -3.25f, s.p3 = 12.0f, s.gradient = 2.5f;
      s.targetP1 = 70, s.targetP2 = 20;
      s.pH = 7.25f, s.force = -1.5f, s.force2 = 4.0f, s.flow = 1234;
      s.temperatures = {3700, 100, 200, 3800, 65535, 0};
      s.digital = {1, 0, 1, 1, 2, 0, 1, 1};  // 2 is not "on"
      s.pulseRate = 450, s.dutyRate = 60;
      s.info1 = 0xFFFFFFFF, s.info2 = 0x8001, s.info3 = 7, s.info4 = 8, s.info5 = 0xFFFF;
      s.status = {0xFE, 0, 9};
      s.constantFlowValue = 0xBEEF, s.constantFlowFirst = 1, s.constantFlowSecond = 2, s.constantFlowWord = 0xCAFEF00D;
      s.pingValue = 0x0102;
    });
    Multi& m = *rig->device;

    float force = 0, force2 = 0;
    ASSERT_TRUE(m.GetForce(force, force2));
    EXPECT_FLOAT_EQ(force, -1.5f);
    EXPECT_FLOAT_EQ(force2, 4.0f);
    // Pulse rate, duty rate and state 8 ride along in 64-byte reports only.
    EXPECT_EQ(m.PulseRate(), length == 64 ? 450 : 20);
    EXPECT_EQ(m.DutyRate(), length == 64 ? 60 : 10);
    EXPECT_EQ(m.DigitalState(8), length == 64);

    float p1, p2, p3, gradient;
    ASSERT_TRUE(m.GetPressures(p1, p2, p3, gradient));
    EXPECT_EQ(std::vector<float>({p1, p2, p3, gradient}), std::vector<float>({80.5f, -3.25f, 12.0f, 2.5f}));
    ASSERT_TRUE(m.GetTargets(p1, p2, p3, gradient));
    EXPECT_EQ(std::vector<float>({p1, p2, p3, gradient}), std::vector<float>({70.0f, 20.0f, 12.0f, 2.5f}));

    float pH = 0, flow = 0;
    ASSERT_TRUE(m.GetPhAndFlow(pH, flow));
    EXPECT_FLOAT_EQ(pH, 7.25f);
    EXPECT_FLOAT_EQ(flow, 1234.0f);

    Multi::Temperatures t;
    ASSERT_TRUE(m.GetTemperatures(t));
    EXPECT_EQ(t, (Multi::Temperatures{37.0f, 1.0f, 2.0f, 38.0f, 655.35f, 0.0f}));

    Multi::DigitalStates states;
    ASSERT_TRUE(m.GetDigitalStates(states));
    // State 6 is not in the answer and always on.
    EXPECT_EQ(states, (Multi::DigitalStates{true, false, true, true, false, true, true}));

    Multi::InfoBlock info;
    ASSERT_TRUE(m.GetInfoBlock(info));
    EXPECT_EQ(info, (Multi::InfoBlock{0xFFFFFFFF, 0x8001, 7, 8, 0xFFFF}));
    Multi::StatusBytes status;
    ASSERT_TRUE(m.GetStatusBytes(status));
    EXPECT_EQ(status, (Multi::StatusBytes{0xFE, 0, 9}));
    Multi::ConstantFlow settings;
    ASSERT_TRUE(m.GetConstantFlow(settings));
    EXPECT_EQ(settings, (Multi::ConstantFlow{0xBEEF, 1, 2, 0xCAFEF00D}));
    ASSERT_TRUE(m.Ping());
    EXPECT_EQ(m.PingValue(), 0x0102);
  }
}

TEST(MultiInterfaceGetters, BlocksOfThe64ByteUnit) {
  auto rig = LoadedRig();
  rig->unit->Update([](auto& s) {
    s.p1 = 81, s.p2 = 41, s.pH = 7.1f, s.force = 2.5f;
    s.flow = -10;  // its bit pattern: the fast block reads it unsigned
    s.temperatures[0] = 3725;
    s.temperatures[3] = 3800;
    s.targetP1 = 95, s.targetP2 = 35, s.gradient = 3;
    s.digital = {0, 1, 1, 0, 1, 0, 1, 0};
    s.pulseRate = 120, s.dutyRate = 33;
  });
  Multi::FastBlock fast;
  ASSERT_TRUE(rig->device->GetFastBlock(fast));
  EXPECT_EQ(std::vector<float>({fast.p1, fast.p2, fast.pH, fast.flow, fast.temperature1, fast.force}),
            std::vector<float>({81.0f, 41.0f, 7.1f, 65526.0f, 37.25f, 2.5f}));

  Multi::SlowBlock slow;
  ASSERT_TRUE(rig->device->GetSlowBlock(slow));
  EXPECT_EQ(std::vector<float>({slow.targetP1, slow.targetP2, slow.gradient, slow.temperature4, slow.pulseRate}),
            std::vector<float>({95.0f, 35.0f, 3.0f, 38.0f, 120.0f}));
  EXPECT_EQ(slow.dutyRate, 33);
  EXPECT_EQ(slow.states, (std::array<bool, 8>{false, true, true, false, true, true, true, false}));
  EXPECT_EQ(rig->device->PulseRate(), 120);
}

TEST(MultiInterfaceGetters, FlowOfThePhAnswerIsSignedWithADeadBand) {
  struct Case {
    std::uint8_t high, low;
    float flow;
  };
  const Case cases[] = {
      {0xFF, 0xF7, 0.0f}, {0xFF, 0xF6, -10.0f}, {0x00, 0x09, 0.0f},     {0x00, 0x0A, 10.0f},
      {0x00, 0x00, 0.0f}, {0x80, 0x00, -32768}, {0x7F, 0xFF, 32767.0f},
  };
  auto rig = LoadedRig();
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << int(c.high) << " " << int(c.low));
    rig->unit->Update([&](auto& s) { s.flow = static_cast<std::int16_t>((c.high << 8) | c.low); });
    float pH = -1, flow = -1;
    ASSERT_TRUE(rig->device->GetPhAndFlow(pH, flow));
    EXPECT_FLOAT_EQ(flow, c.flow);
  }
}

TEST(MultiInterfaceGetters, ExtendedValuesOnlyForTheFastModelAndOnlyWhenFlaggedPresent) {
  const std::array<std::uint32_t, 10> values = {1, 2, 3, 0x40490FDB, 5, 6, 7, 8, 9, 0xFFFFFFFF};
  const std::array<std::uint32_t, 10> old = {7, 7, 7, 7, 7, 7, 7, 7, 7, 7};
  struct Case {
    const char* name;
    std::uint8_t modelByte;
    std::uint8_t absent;  // byte 63
    bool present;
    bool copied;
  };
  const Case cases[] = {
      {"fast model, present", 6, 0, true, true},
      {"fast model, flagged absent", 6, 1, false, false},
      {"fast model, flag 0xFF", 6, 0xFF, false, false},
      {"other model, present", 4, 0, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto rig = std::make_unique<HidRig>();
    rig->unit->Update([&](auto& s) {
      s.modelByte = c.modelByte;
      s.extended = values;
      s.extendedAbsent = c.absent;
    });
    ASSERT_TRUE(rig->device->Load(rig->path));
    Multi::FastBlock block;
    block.extended = old;
    ASSERT_TRUE(rig->device->GetFastBlock(block));
    EXPECT_EQ(block.extendedPresent, c.present);
    EXPECT_EQ(block.extended, c.copied ? values : old);
  }
}

TEST(MultiInterfaceGetters, AGetterFailsOnAnyCodeButItsOwnAndKeepsItsOutputs) {
  struct Case {
    const char* name;
    std::uint16_t code;
  };
  const Case cases[] = {
      {"another getter's code", 0x6000}, {"no data", 0x6035},          {"four words", 0x6032},
      {"echo of a set request", 0x6009}, {"beyond the table", 0x6036}, {"below the table", 0x0008},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto rig = LoadedRig();
    rig->unit->SetReplyCode(0x08, c.code);
    float p1 = -7, p2 = -7, p3 = -7, gradient = -7;
    EXPECT_FALSE(rig->device->GetPressures(p1, p2, p3, gradient));
    EXPECT_EQ(std::vector<float>({p1, p2, p3, gradient}), std::vector<float>(4, -7.0f));
    EXPECT_EQ(rig->device->LastReplyCode(), c.code);
    EXPECT_TRUE(rig->device->IsConnected());  // the device stays open
  }
}

TEST(MultiInterfaceGetters, ReportsQueuedBeforeARequestAreDiscarded) {
  auto rig = LoadedRig();
  rig->unit->Update([](auto& s) { s.p1 = 61, s.p2 = 41, s.p3 = 1, s.gradient = 5; });
  // A late answer to an earlier force request, an answer to this very
  // request with old values, and a report the unit sent on its own.
  rig->unit->InjectAnswer(0x00);
  rig->unit->InjectReport(Sim::MakeReply(64, 0x6008, {0x3F, 0x80, 0, 0, 0x40, 0, 0, 0, 0x40, 0x40, 0, 0, 0x40, 0x80}));
  rig->unit->InjectReport(Sim::MakeReply(64, 0x6035));

  float p1, p2, p3, gradient;
  ASSERT_TRUE(rig->device->GetPressures(p1, p2, p3, gradient));
  EXPECT_EQ(std::vector<float>({p1, p2, p3, gradient}), std::vector<float>({61.0f, 41.0f, 1.0f, 5.0f}));
  EXPECT_EQ(rig->unit->QueuedReports(), 0u);

  // A stale report still in the queue does not stand in for a set request's answer either.
  rig->unit->InjectAnswer(0x28);
  rig->unit->SetReplyCode(0x29, 0x6029);
  EXPECT_FALSE(rig->device->SetDigitalOutputs(1, 0xFF, 0xFF, 0));
}

TEST(MultiInterfaceGetters, AnswersAreDecodedOnlyWithinTheReport) {
  struct Case {
    const char* name;
    std::function<bool(Multi&)> call;
    std::uint8_t command;
    std::uint16_t code;
  };
  const auto fast = [](Multi& m) {
    Multi::FastBlock b;
    return m.GetFastBlock(b);
  };
  const auto slow = [](Multi& m) {
    Multi::SlowBlock b;
    return m.GetSlowBlock(b);
  };
  const auto outputs = [](Multi& m) { return m.SetDigitalOutputs(1, 0xFF, 0xFF, 0); };
  const Case cases[] = {
      {"fast block", fast, 0x04, 0x6004},
      {"slow block", slow, 0x06, 0x6006},
      {"set request answered with the fast block's code", outputs, 0x29, 0x6004},
      {"set request answered with the slow block's code", outputs, 0x29, 0x6006},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto rig = LoadedRig(19);
    rig->unit->SetReplyCode(c.command, c.code);
    EXPECT_FALSE(c.call(*rig->device));
    EXPECT_EQ(rig->device->LastReplyCode(), c.code);
  }

  // A report shorter than the unit's report length is no answer.
  auto rig = LoadedRig();
  rig->unit->SetAnswerLength(0x08, 19);
  float p1 = -7, p2, p3, gradient;
  EXPECT_FALSE(rig->device->GetPressures(p1, p2, p3, gradient));
  EXPECT_EQ(p1, -7.0f);
}

TEST(MultiInterfaceGetters, NothingIsSentUnlessConnected) {
  HidRig rig;
  rig.unit->SetReportLengths(32, 32);
  EXPECT_FALSE(rig.device->Load(rig.path));  // open, but not connected
  ASSERT_TRUE(rig.device->Port().IsOpen());
  float a, b;
  EXPECT_FALSE(rig.device->GetForce(a, b));
  EXPECT_FALSE(rig.device->SetPressures(100, 80, 5, 0, 0, 0));
  EXPECT_FALSE(rig.device->SetConstantFlow({}));
  EXPECT_TRUE(rig.unit->Received().empty());
}

}  // namespace
}  // namespace ORV::Test
