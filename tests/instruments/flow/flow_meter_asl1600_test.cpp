// The ASCII flow meter: its stream decoding, and the driver against the
// simulated meter on a pseudo-terminal.
#include "instruments/flow_meter_asl1600.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

#include "platform/sim/flow_meter_asl1600_sim.h"
#include "tests/instruments/flow/flow_fixture.h"

namespace ORV::Test {
namespace {

using Sim::FlowMeterASL1600Sim;
constexpr std::uint16_t kInfo = OS::kEventInformation;
constexpr std::uint16_t kError = OS::kEventError;

TEST(FlowStreamDecode, TakesTheNewestFrameDividedByTheFactor) {
  struct Case {
    const char* name;
    Bytes bytes;
    float factor;
    std::optional<std::int16_t> flow;
  };
  const Case cases[] = {
      {"plain frame", {0x7F, 0x7F, 0x01, 0xF4}, 5, 100},
      {"small negative becomes 0", {0x7F, 0x7F, 0xFF, 0xF0}, 2, 0},
      {"negative", {0x7F, 0x7F, 0xFF, 0x9C}, 4, -25},
      {"truncates toward zero", {0x7F, 0x7F, 0xFF, 0x9B}, 2, -50},
      {"10 stays", {0x7F, 0x7F, 0x00, 0x0A}, 1, 10},
      {"9 becomes 0", {0x7F, 0x7F, 0x00, 0x09}, 1, 0},
      {"third 7F starts no frame", {0x7F, 0x7F, 0x7F, 0x01, 0xF4}, 1, 500},
      {"newest of several", {0x7F, 0x7F, 0x00, 0x64, 0x7F, 0x7F, 0x00, 0xC8}, 1, 200},
      {"incomplete tail ignored", {0x7F, 0x7F, 0x00, 0x64, 0x7F, 0x7F, 0x00}, 1, 100},
      {"lead-in before the frame", {0x12, 0x34, 0x7F, 0x7F, 0x80, 0x00}, 1, -32768},
      {"no pair", {0x01, 0x7F, 0x02, 0x7F, 0x03}, 1, std::nullopt},
      {"high byte 7F cannot be read", {0x7F, 0x7F, 0x7F, 0x10}, 1, std::nullopt},
      {"too short", {0x7F, 0x7F, 0x01}, 1, std::nullopt},
      {"empty", {}, 1, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(DecodeFlowStream(c.bytes.data(), c.bytes.size(), c.factor), c.flow);
  }
}

TEST(FlowStreamDecode, FactorTextMustHoldAnIntegerFrom1To99) {
  const std::string key = "Factor:             ";
  const std::pair<std::string, int> cases[] = {
      {key + "5\r\n", 5},
      {key + "1", 1},
      {key + "99 ml", 99},
      {"xx\r\n" + key + "42\r\n", 42},
      {key + "0", 0},
      {key + "100", 0},
      {key + "-5", 0},
      {key, 0},
      {key + "abc", 0},
      {"Factor:            5", 0},  // 12 spaces
      {"factor:             5", 0},
      {key + "99999999999999999999", 0},
  };
  for (const auto& [text, factor] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(ParseFlowFactor(text), factor);
  }
}

class FlowMeterASL1600Test : public FlowMeterTest {
 protected:
  std::unique_ptr<FlowMeterASL1600> MakeMeter() {
    auto m = std::make_unique<FlowMeterASL1600>();
    m->SetSleeper(sleeper_.AsSleeper());
    m->SetTimeout(500);  // as the interface manager gives it
    return m;
  }
  // A meter loaded on the simulator, the stream then stopped so the test
  // puts its own bytes on the line.
  std::unique_ptr<FlowMeterASL1600> LoadedQuiet(const std::string& factor) {
    sim_.SetFactorText(factor);
    auto m = MakeMeter();
    EXPECT_TRUE(m->Load(sim_.DevicePath()));
    sim_.SetStreamPeriod(std::chrono::hours(1));
    // The frame sent when "go" arrived, and any answer still on the way, are
    // read away first.
    for (int i = 0; i < 3; ++i) m->GetSample();
    return m;
  }

  FlowMeterASL1600Sim sim_;
};

TEST_F(FlowMeterASL1600Test, LoadSendsTheSetUpInOrderAndStreams) {
  ASSERT_TRUE(sim_.Start());
  sim_.SetRawValue(750);
  auto meter = MakeMeter();
  ASSERT_TRUE(meter->Load(sim_.DevicePath()));
  EXPECT_TRUE(meter->IsConnected());
  EXPECT_EQ(meter->Factor(), 5.0f);
  EXPECT_EQ(meter->PortName(), sim_.DevicePath());
  EXPECT_EQ(meter->Port().Timeout(), 500u);
  EXPECT_EQ(sim_.Received(), "\rsmod=F\rinfo\rres=7\rgo\r");
  EXPECT_EQ(sleeper_.Waits(), std::vector<std::uint32_t>{50});
  EXPECT_EQ(TakeEvents(), (std::vector<Event>{{kInfo, "FlowMeterASL1600::Load() - Opened port: " + sim_.DevicePath() +
                                                          " - Timeout: 500\n"}}));
  EXPECT_TRUE(sim_.IsStreaming());
  EXPECT_EQ(meter->GetSample(), 150);

  meter->Close();
  EXPECT_FALSE(meter->IsConnected());
  EXPECT_FALSE(meter->Port().IsOpen());
  sim_.WaitForRequests(9, std::chrono::seconds(2));
  EXPECT_TRUE(sim_.Received().ends_with("go\rs\rreset\r"));
  EXPECT_FALSE(sim_.IsStreaming());
  EXPECT_EQ(meter->GetSample(), std::nullopt);
}

TEST_F(FlowMeterASL1600Test, FactorOutsideTheRangeFailsLoadAndClosesThePort) {
  ASSERT_TRUE(sim_.Start());
  for (const char* factor : {"0", "100", ""}) {
    SCOPED_TRACE(factor);
    sim_.SetFactorText(factor);
    auto meter = MakeMeter();
    EXPECT_FALSE(meter->Load(sim_.DevicePath()));
    EXPECT_FALSE(meter->IsConnected());
    EXPECT_FALSE(meter->Port().IsOpen());
    EXPECT_EQ(
        TakeEvents(),
        (std::vector<Event>{
            {kInfo, "FlowMeterASL1600::Load() - Opened port: " + sim_.DevicePath() + " - Timeout: 500\n"},
            {kError, "FlowMeterASL1600::Load() - Failed connecting to ORV Flowmeter at port: " + sim_.DevicePath()}}));
  }
  // Nothing past "info", and no goodbye from a meter that never connected.
  EXPECT_EQ(sim_.Received().find("res=7"), std::string::npos);
  EXPECT_EQ(sim_.Received().find("reset"), std::string::npos);
}

TEST_F(FlowMeterASL1600Test, UnopenablePortIsReported) {
  auto meter = MakeMeter();
  EXPECT_FALSE(meter->Load("/nonexistent/ttyS9"));
  EXPECT_EQ(
      TakeEvents(),
      (std::vector<Event>{
          {kError, "FlowMeterASL1600::Load() - Unable to connect to COM port: /nonexistent/ttyS9 - error: 2\n"}}));
}

TEST_F(FlowMeterASL1600Test, APortThatWillNotOpenAgainAfterTheSetUpFailsLoad) {
  ASSERT_TRUE(sim_.Start());
  // The meter is reached through a link that goes away during the set-up,
  // so the port cannot be opened afresh for the stream.
  TempDir dir;
  const std::string link = dir / "ttyFlow";
  ASSERT_EQ(::symlink(sim_.DevicePath().c_str(), link.c_str()), 0);
  auto meter = MakeMeter();
  meter->SetSleeper([&](std::uint32_t) { std::filesystem::remove(link); });
  EXPECT_FALSE(meter->Load(link));
  EXPECT_FALSE(meter->IsConnected());
  EXPECT_FALSE(meter->Port().IsOpen());
  EXPECT_EQ(meter->GetSample(), std::nullopt);
  EXPECT_EQ(TakeEvents(),
            (std::vector<Event>{
                {kInfo, "FlowMeterASL1600::Load() - Opened port: " + link + " - Timeout: 500\n"},
                {kError, "FlowMeterASL1600::Load() - Unable to connect to COM port: " + link + " - error: 2\n"}}));
}

TEST_F(FlowMeterASL1600Test, AMeterThatNeverStopsStreamingCannotHoldLoad) {
  ASSERT_TRUE(sim_.Start());
  sim_.SetStreamPeriod(std::chrono::milliseconds(20));
  sim_.StreamForever();
  auto meter = MakeMeter();
  EXPECT_TRUE(meter->Load(sim_.DevicePath()));
  EXPECT_EQ(meter->GetSample(), 100);
}

TEST_F(FlowMeterASL1600Test, SampleJoinsReadsUntilFourBytesAndSilenceOrGarbageGiveNoValue) {
  ASSERT_TRUE(sim_.Start());
  auto meter = LoadedQuiet("1");
  EXPECT_EQ(meter->GetSample(), std::nullopt);

  // A frame split across two reads is joined.
  ASSERT_TRUE(sim_.Emit(std::string("\x7F\x7F", 2)));
  std::thread later([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    sim_.Emit(std::string("\x01\xF4", 2));
  });
  EXPECT_EQ(meter->GetSample(), 500);
  later.join();

  // Fewer than four bytes, then silence: no value.
  ASSERT_TRUE(sim_.Emit(std::string("\x7F\x7F\x01", 3)));
  EXPECT_EQ(meter->GetSample(), std::nullopt);

  // Garbage without a frame is no value either.
  ASSERT_TRUE(sim_.Emit(std::string("\x01\x02\x03\x04\x05\x06", 6)));
  EXPECT_EQ(meter->GetSample(), std::nullopt);
}

TEST_F(FlowMeterASL1600Test, PingAcceptsBothModels) {
  ASSERT_TRUE(sim_.Start());
  auto meter = MakeMeter();
  ASSERT_TRUE(meter->Port().Open(sim_.DevicePath()));
  ASSERT_EQ(meter->Port().Configure(9600, 1250), 0);  // reads end 50 ms after the reply
  const std::pair<const char*, bool> cases[] = {
      {"ASL1600 20 V2.1", true}, {"Model ASL1430 V1", true}, {"ASL1600 21", false}, {"", false}};
  for (const auto& [identity, accepted] : cases) {
    SCOPED_TRACE(identity);
    sim_.SetIdentity(identity);
    EXPECT_EQ(meter->Ping(), accepted);
    const std::vector<Event> events = TakeEvents();
    if (accepted)
      EXPECT_TRUE(events.empty());
    else
      EXPECT_EQ(events, (std::vector<Event>{{kError, "FlowMeterASL1600::Ping() - Unknown reply (" +
                                                         std::string(identity) + "\r\n) from ORV Flow meter"}}));
  }
  EXPECT_EQ(sleeper_.Waits(), (std::vector<std::uint32_t>{500, 500, 500, 500}));
}

}  // namespace
}  // namespace ORV::Test
