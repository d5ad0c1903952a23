// The binary flow meter against its simulator, found through a fake FTDI
// device list.
#include "instruments/flow_meter_sli2000.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/os/serial_port.h"
#include "platform/sim/flow_meter_sli2000_sim.h"
#include "tests/instruments/flow/flow_fixture.h"
#include "tests/instruments/ftdi_device.h"

namespace ORV::Test {
namespace {

using Sim::FlowMeterSLI2000Sim;
using Sim::ReplyMode;
constexpr std::uint16_t kInfo = OS::kEventInformation;
constexpr std::uint16_t kError = OS::kEventError;
constexpr std::uint16_t kConverter = kFtdiSerialConverterProductId;
const std::string kFailed = "FlowMeterSLI2000::Load() - Failed connecting to FlowMeterSLI2000";

template <std::size_t N>
std::string AsText(const std::array<std::uint8_t, N>& frame) {
  return std::string(frame.begin(), frame.end());
}

// The meter's time-out here. The interface manager gives it 50 ms, which a
// loaded machine can pass before the simulator's thread runs at all; these
// tests check what the meter makes of its replies, not its time-out, so the
// port waits up to a second for a reply.
constexpr std::int32_t kTimeoutMs = 1000;
// A read ends this long after the last byte that came. A reply comes in one
// piece, so once a meter is loaded its samples need no more than the 50 ms
// the interface manager gives (a second per sample would make these tests
// long).
constexpr std::uint32_t kAfterReplyMs = 50;

class FlowMeterSLI2000Test : public FlowMeterTest {
 protected:
  std::unique_ptr<FlowMeterSLI2000> MakeMeter() {
    auto m = std::make_unique<FlowMeterSLI2000>(devices_);
    m->SetSleeper(sleeper_.AsSleeper());
    m->SetTimeout(kTimeoutMs);
    return m;
  }
  std::unique_ptr<FlowMeterSLI2000> Loaded() {
    devices_->devices = {FtdiDevice(kConverter, "FT5X1", sim_.DevicePath())};
    auto m = MakeMeter();
    EXPECT_TRUE(m->Load(""));
    ShortenWaitAfterReplies(*m);
    TakeEvents();
    return m;
  }
  // The port still waits kTimeoutMs for a reply's first byte, and only
  // kAfterReplyMs after its last.
  static void ShortenWaitAfterReplies(FlowMeterSLI2000& m) {
    OS::PortHandle* handle = m.Port().Handle();
    ASSERT_NE(handle, nullptr);
    OS::PortTimeouts t;
    ASSERT_TRUE(handle->GetTimeouts(t));
    ASSERT_EQ(t.readTotalConstant, static_cast<std::uint32_t>(kTimeoutMs));
    t.readInterval = kAfterReplyMs;
    ASSERT_TRUE(handle->SetTimeouts(t));
  }
  std::string Opened() const {
    return "FlowMeterSLI2000::Load() - Opened port: " + sim_.DevicePath() +
           " - Timeout: " + std::to_string(kTimeoutMs) + "\n";
  }

  std::shared_ptr<OS::FixedUsbSerialEnumerator> devices_ = std::make_shared<OS::FixedUsbSerialEnumerator>();
  FlowMeterSLI2000Sim sim_;
};

TEST_F(FlowMeterSLI2000Test, LoadSendsItsFramesInOrderAndEachSampleAsksOnce) {
  ASSERT_TRUE(sim_.Start());
  sim_.SetValue(100);
  auto meter = Loaded();
  EXPECT_TRUE(meter->IsConnected());
  EXPECT_EQ(meter->PortName(), sim_.DevicePath());
  EXPECT_EQ(meter->Port().Timeout(), static_cast<std::uint32_t>(kTimeoutMs));
  EXPECT_EQ(sleeper_.Waits(), (std::vector<std::uint32_t>{500, 1000}));
  const char load[] =
      "\x7E\x00\x65\x00\x9A\x7E"
      "\x7E\x00\x30\x00\xCF\x7E"
      "\x7E\x00\x33\x02\x00\x50\x7A\x7E";
  ASSERT_TRUE(sim_.WaitForRequests(3, std::chrono::seconds(2)));
  EXPECT_EQ(sim_.Received(), std::string(load, 20));
  EXPECT_EQ(sim_.Received(), AsText(FlowMeterSLI2000::kStartFrame) + AsText(FlowMeterSLI2000::kIdentityFrame) +
                                 AsText(FlowMeterSLI2000::kSettingFrame));

  EXPECT_EQ(meter->GetSample(), 20);
  EXPECT_EQ(sim_.Received().substr(20), std::string("\x7E\x00\x35\x00\xCA\x7E", 6));
  EXPECT_EQ(AsText(FlowMeterSLI2000::kReadValueFrame), std::string("\x7E\x00\x35\x00\xCA\x7E", 6));
}

TEST_F(FlowMeterSLI2000Test, TheLastMatchingFtdiDeviceIsChosen) {
  ASSERT_TRUE(sim_.Start());
  const std::string missing = "/nonexistent/ttyUSB7";
  const std::string unableMissing =
      "FlowMeterSLI2000::Load() - Unable to connect to COM port: " + missing + " - error: 2\n";
  OS::UsbSerialDevice foreign = FtdiDevice(kConverter, "FT0009", missing);
  foreign.vendorId = 0x1234;
  struct Case {
    const char* name;
    std::vector<OS::UsbSerialDevice> devices;
    bool listFails;
    bool available;
    bool loads;
    std::vector<Event> events;
  };
  const Case cases[] = {
      {"last of several wins",
       {FtdiDevice(kConverter, "FT0001", missing), FtdiDevice(kConverter, "FT0002", sim_.DevicePath()),
        FtdiDevice(kConverter, "A50003", missing), FtdiDevice(kConverter, "FT0004", ""),
        FtdiDevice(0x6015, "FT0005", missing), foreign},
       false,
       true,
       true,
       {{kInfo, Opened()}}},
      {"a later match is tried even when it cannot be opened",
       {FtdiDevice(kConverter, "FT0001", sim_.DevicePath()), FtdiDevice(kConverter, "FTW002", missing)},
       false,
       true,
       false,
       {{kError, unableMissing}, {kError, kFailed}}},
      {"serial must begin with FT",
       {FtdiDevice(kConverter, "ft0001", sim_.DevicePath()), FtdiDevice(kConverter, "XFT002", sim_.DevicePath())},
       false,
       true,
       false,
       {{kError, kFailed}}},
      {"no devices", {}, false, true, false, {{kError, kFailed}}},
      {"list fails", {FtdiDevice(kConverter, "FT0001", sim_.DevicePath())}, true, true, false, {{kError, kFailed}}},
      {"no device enumeration",
       {FtdiDevice(kConverter, "FT0001", sim_.DevicePath())},
       false,
       false,
       false,
       {{kError, "FlowMeterSLI2000::FlowMeterSLI2000() - Driver DLL not found"},
        {kError,
         "FlowMeterSLI2000::FindComPort() - Unable to search for FlowMeterSLI2000 port (no FTDI driver found)\n"},
        {kError, kFailed}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    devices_->devices = c.devices;
    devices_->fails = c.listFails;
    devices_->available = c.available;
    auto meter = MakeMeter();
    EXPECT_EQ(meter->Load("ignored"), c.loads);
    EXPECT_EQ(meter->Port().IsOpen(), c.loads);
    EXPECT_EQ(TakeEvents(), c.events);
  }
}

TEST_F(FlowMeterSLI2000Test, MeterThatDoesNotAnswerFailsLoad) {
  ASSERT_TRUE(sim_.Start());
  devices_->devices = {FtdiDevice(kConverter, "FT0001", sim_.DevicePath())};
  struct Case {
    const char* name;
    ReplyMode mode;
    std::size_t partial;
    std::size_t framesSent;
    std::string identity;  // a scripted identity reply, when not empty
  };
  // A meter that does not identify itself gets no measurement setting: the
  // last frame it receives is the identity request.
  const Case cases[] = {
      {"silent after start", ReplyMode::Silent, 0, 1, ""},
      {"identity cut before its length byte", ReplyMode::Partial, 4, 2, ""},
      {"identity of another device", ReplyMode::Normal, 0, 2, FlowMeterSLI2000Sim::ReplyFrame(0x30, "\x07\x01")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim_.SetMode(c.mode);
    sim_.SetPartialLength(c.partial);
    if (!c.identity.empty()) sim_.SetReply(AsText(FlowMeterSLI2000::kIdentityFrame), c.identity);
    const std::size_t before = sim_.Requests().size();
    auto meter = MakeMeter();
    EXPECT_FALSE(meter->Load(""));
    EXPECT_FALSE(meter->Port().IsOpen());
    EXPECT_EQ(TakeEvents(), (std::vector<Event>{{kInfo, Opened()}, {kError, kFailed}}));
    sim_.WaitForRequests(before + c.framesSent, std::chrono::seconds(2));
    // A frame sent after the failed identity would arrive within this wait.
    EXPECT_FALSE(sim_.WaitForRequests(before + c.framesSent + 1, std::chrono::milliseconds(300)));
    EXPECT_EQ(sim_.Requests().size(), before + c.framesSent);
    if (c.framesSent > 1) {
      EXPECT_EQ(sim_.Requests().back(), AsText(FlowMeterSLI2000::kIdentityFrame));
    }
  }
}

TEST_F(FlowMeterSLI2000Test, SamplesAreAFifthOfTheMeanOfTheLastTen) {
  ASSERT_TRUE(sim_.Start());
  auto meter = Loaded();
  struct Step {
    std::int16_t value;
    std::int16_t flow;
  };
  // While the ring fills: value / 5; then the sum of the last ten / 50, both
  // truncated toward zero.
  const Step steps[] = {
      {100, 20},      {-7, -1},  {-3, 0}, {250, 50}, {-1000, -200}, {7, 1},
      {33, 6},        {-12, -2}, {0, 0},  {4, 0},    {-9, -14},  // -9 -7 -3 250 -1000 7 33 -12 0 4 = -737
      {0, -14},                                                  // -730
      {-32768, -669},                                            // replaces the -3: -33495
  };
  for (std::size_t i = 0; i < std::size(steps); ++i) {
    SCOPED_TRACE(i);
    sim_.SetValue(steps[i].value);
    EXPECT_EQ(meter->GetSample(), steps[i].flow);
  }

  // A new load starts the ring afresh.
  ASSERT_TRUE(meter->Load(""));
  ShortenWaitAfterReplies(*meter);
  sim_.SetValue(-49);
  EXPECT_EQ(meter->GetSample(), -9);
}

TEST_F(FlowMeterSLI2000Test, StuffedValueByteRepeatsThePreviousValue) {
  ASSERT_TRUE(sim_.Start());
  auto meter = Loaded();
  sim_.SetValue(100);
  EXPECT_EQ(meter->GetSample(), 20);
  // 0x007E, 0x7D00 and 0x1100 go out with a value byte escaped as 7D.
  for (std::int16_t stuffed : {std::int16_t{0x007E}, std::int16_t{0x7D00}, std::int16_t{0x1100}}) {
    SCOPED_TRACE(stuffed);
    sim_.SetValue(stuffed);
    EXPECT_EQ(meter->GetSample(), 20);
  }
  sim_.SetValue(258);
  EXPECT_EQ(meter->GetSample(), 51);
  // The repeats were stored in the ring: once it is full, the eleventh
  // sample sees 0, 100, 100, 100 and six times 258: 1848 / 50.
  for (int i = 0; i < 5; ++i) meter->GetSample();
  sim_.SetValue(0);
  EXPECT_EQ(meter->GetSample(), 36);
}

// A frame as the meter sends it, from address to data, with its checksum
// (or a wrong one) and both delimiters; nothing in it is stuffed.
std::string HandFrame(std::initializer_list<std::uint8_t> body, bool goodChecksum = true) {
  unsigned sum = 0;
  std::string frame(1, '\x7E');
  for (std::uint8_t b : body) {
    sum += b;
    frame.push_back(static_cast<char>(b));
  }
  frame.push_back(static_cast<char>((~sum & 0xFF) ^ (goodChecksum ? 0 : 1)));
  frame.push_back('\x7E');
  return frame;
}

TEST_F(FlowMeterSLI2000Test, RepliesThatAreNotAGoodValueFrameGiveNoReading) {
  ASSERT_TRUE(sim_.Start());
  auto meter = Loaded();
  sim_.SetValue(500);
  EXPECT_EQ(meter->GetSample(), 100);
  sim_.SetValue(-500);  // FE 0C
  const std::string good = HandFrame({0x00, 0x35, 0x00, 0x02, 0xFE, 0x0C});
  ASSERT_EQ(good, FlowMeterSLI2000Sim::ReplyFrame(0x35, "\xFE\x0C"));
  struct Case {
    const char* name;
    ReplyMode mode;
    std::size_t partial;
    std::string reply;  // queued for the next request, when not empty
  };
  const Case cases[] = {
      {"cut after the delimiter", ReplyMode::Partial, 1, ""},
      {"cut after the length", ReplyMode::Partial, 5, ""},
      {"cut inside the value", ReplyMode::Partial, 6, ""},
      {"cut after the value", ReplyMode::Partial, 7, ""},
      {"cut before the last delimiter", ReplyMode::Partial, 8, ""},
      {"silence", ReplyMode::Silent, 0, ""},
      {"garbage", ReplyMode::Garbage, 0, ""},
      {"another command's reply", ReplyMode::Normal, 0, FlowMeterSLI2000Sim::ReplyFrame(0x30, "\xFE\x0C")},
      {"a failed state", ReplyMode::Normal, 0, HandFrame({0x00, 0x35, 0x43, 0x02, 0xFE, 0x0C})},
      {"another address", ReplyMode::Normal, 0, HandFrame({0x01, 0x35, 0x00, 0x02, 0xFE, 0x0C})},
      {"a length that does not match", ReplyMode::Normal, 0, HandFrame({0x00, 0x35, 0x00, 0x03, 0xFE, 0x0C})},
      {"one value byte", ReplyMode::Normal, 0, HandFrame({0x00, 0x35, 0x00, 0x01, 0xFE})},
      {"a wrong checksum", ReplyMode::Normal, 0, HandFrame({0x00, 0x35, 0x00, 0x02, 0xFE, 0x0C}, false)},
      {"bytes before the frame", ReplyMode::Normal, 0, "\x01" + good},
      {"no first delimiter", ReplyMode::Normal, 0, good.substr(1)},
      {"an escape before the last delimiter", ReplyMode::Normal, 0, good.substr(0, 8) + "\x7D\x7E"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim_.SetMode(c.mode);
    sim_.SetPartialLength(c.partial);
    if (!c.reply.empty()) sim_.QueueReply(c.reply);
    EXPECT_EQ(meter->GetSample(), std::nullopt);
  }

  // The ring took nothing from the failed replies: nine good values fill it,
  // and the eleventh sample sees 500 and nine times -500.
  sim_.SetMode(ReplyMode::Normal);
  for (int i = 0; i < 9; ++i) EXPECT_EQ(meter->GetSample(), -100);
  sim_.SetValue(0);
  EXPECT_EQ(meter->GetSample(), -90);

  // Identity replies need their length byte.
  sim_.SetMode(ReplyMode::Partial);
  sim_.SetPartialLength(4);
  EXPECT_FALSE(meter->Ping());
  sim_.SetPartialLength(5);
  EXPECT_TRUE(meter->Ping());
}

}  // namespace
}  // namespace ORV::Test
