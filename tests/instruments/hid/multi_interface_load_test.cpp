// Loading the multi interface: opening, report lengths, the queries in
// their order with their warnings, and the firmware and model code.
#include <gtest/gtest.h>

#include "tests/instruments/hid/hid_rig.h"

namespace ORV::Test {
namespace {

using Events = std::vector<std::pair<int, std::string>>;
using Commands = std::vector<std::uint8_t>;

const std::string kWho = "PressureMultiMyographK4x::Load() - ";
constexpr int kError = 1, kWarning = 2, kInfo = 4;

std::pair<int, std::string> Opened(const std::string& path) {
  return {kInfo, kWho + "Opened HID device: " + path + "\n"};
}
const std::pair<int, std::string> kLoaded{kInfo,
                                          kWho + "Loaded all default values from HID device (new Multi Interface)\n"};
std::pair<int, std::string> Warning(const std::string& what) {
  return {kWarning, kWho + "Unable to load " + what + " from HID device (new Multi Interface)\n"};
}

TEST(MultiInterfaceLoad, AnsweringUnitLoadsWithEveryQueryInOrder) {
  for (std::size_t length : {64u, 19u}) {
    SCOPED_TRACE(length);
    HidRig rig(length);
    EXPECT_TRUE(rig.device->Load(rig.path));
    EXPECT_TRUE(rig.device->IsConnected());
    EXPECT_EQ(rig.device->PortName(), rig.path);
    EXPECT_EQ(rig.device->Has64ByteReports(), length == 64);
    EXPECT_EQ(rig.unit->ReceivedCommands(), (Commands{0x28, 0x30, 0x08, 0x0A, 0x10, 0x00, 0x25}));
    EXPECT_EQ(rig.sleeper.Waits(), (std::vector<std::uint32_t>{1000}));
    EXPECT_EQ(rig.Events(), (Events{Opened(rig.path), kLoaded}));
    for (const Bytes& report : rig.unit->Received()) EXPECT_EQ(report.size(), length);
  }
}

TEST(MultiInterfaceLoad, FailuresBeforeTheQueriesGiveTheirErrorsAndSendNothing) {
  struct Case {
    const char* name;
    void (*arrange)(HidRig&);
    std::string path;  // empty: the unit's own
    std::string error;
    bool opened;
  };
  const Case cases[] = {
      {"no access", [](HidRig& r) { r.transport.SetOpenError(13); }, "",
       "Unable to connect to HID device: %s - error: d\n", false},
      {"no such device", [](HidRig&) {}, "\\\\?\\hid#vid_0483&pid_0110#gone",
       "Unable to connect to HID device: %s - error: 2\n", false},
      {"descriptor unreadable", [](HidRig& r) { r.unit->SetDescriptorReadable(false); }, "",
       "Unable to retrieve preparsed HID data\n", true},
      {"32-byte reports", [](HidRig& r) { r.unit->SetReportLengths(32, 32); }, "", "HID buffer mismatch..\n", true},
      {"64 in, 19 out", [](HidRig& r) { r.unit->SetReportLengths(64, 19); }, "", "HID buffer mismatch..\n", true},
      {"19 in, 64 out", [](HidRig& r) { r.unit->SetReportLengths(19, 64); }, "", "HID buffer mismatch..\n", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HidRig rig;
    c.arrange(rig);
    const std::string path = c.path.empty() ? rig.path : c.path;
    std::string error = c.error;
    if (auto at = error.find("%s"); at != std::string::npos) error.replace(at, 2, path);

    EXPECT_FALSE(rig.device->Load(path));
    EXPECT_FALSE(rig.device->IsConnected());
    EXPECT_EQ(rig.device->Port().IsOpen(), c.opened);
    Events expected;
    if (c.opened) expected.push_back(Opened(path));
    expected.emplace_back(kError, kWho + error);
    EXPECT_EQ(rig.Events(), expected);
    EXPECT_TRUE(rig.unit->Received().empty());
    EXPECT_TRUE(rig.sleeper.Waits().empty());
    float force, force2;
    EXPECT_FALSE(rig.device->GetForce(force, force2));
  }
}

TEST(MultiInterfaceLoad, EachFailingQueryWarnsInQueryOrderAndTheLoadGoesOn) {
  struct Case {
    const char* name;
    Commands failing;
    Commands sent;
    Events warnings;
  };
  const Case cases[] = {
      // Without the digital states the firmware stays unknown, so the
      // constant-flow settings are not asked for.
      {"digital states", {0x28}, {0x28, 0x30, 0x08, 0x0A, 0x10, 0x00}, {Warning("digital values")}},
      {"all the others",
       {0x30, 0x08, 0x0A, 0x10, 0x00, 0x25},
       {0x28, 0x30, 0x08, 0x0A, 0x10, 0x00, 0x25},
       {Warning("actual temperatures values"), Warning("pressure values"), Warning("target pressure values"),
        Warning("PH value"), Warning("force"), Warning("konstant flow value")}},
      {"force only", {0x00}, {0x28, 0x30, 0x08, 0x0A, 0x10, 0x00, 0x25}, {Warning("force")}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HidRig rig;
    for (std::uint8_t command : c.failing) rig.unit->SetReplyCode(command, kUnknownCode);
    EXPECT_TRUE(rig.device->Load(rig.path));
    EXPECT_TRUE(rig.device->IsConnected());
    EXPECT_EQ(rig.unit->ReceivedCommands(), c.sent);
    Events expected{Opened(rig.path)};
    expected.insert(expected.end(), c.warnings.begin(), c.warnings.end());
    expected.push_back(kLoaded);
    EXPECT_EQ(rig.Events(), expected);
  }
}

TEST(MultiInterfaceLoad, FirmwareAndModelCodeComeFromTheDigitalStateAnswerOnce) {
  struct Case {
    std::uint8_t high, low, model;
    const char* text;
    std::uint8_t major, minor;
    std::uint32_t code;
    bool internalFlow;
  };
  const Case cases[] = {
      // 0.00 and 1.06 are the first units: model 0x20000 whatever byte 18 says.
      {0x00, 0x00, 6, "1.06", 1, 6, 0x20000, false},   {0x01, 0x06, 9, "1.06", 1, 6, 0x20000, false},
      {0x01, 0x48, 6, "3.28", 3, 28, 0x100001, true},  {0x01, 0x44, 6, "3.24", 3, 24, 0x100001, false},
      {0x01, 0x45, 1, "3.25", 3, 25, 0x20000, true},   {0x01, 0x90, 2, "4.00", 4, 0, 0x40000, true},
      {0x00, 0x6F, 3, "1.11", 1, 11, 0x80000, false},  {0x00, 0x6E, 4, "1.10", 1, 10, 0x100000, false},
      {0x01, 0x07, 5, "2.63", 2, 63, 0x100002, false}, {0x01, 0x48, 7, "3.28", 3, 28, 0x80000004u, true},
      {0x01, 0x48, 8, "3.28", 3, 28, 0x100004, true},  {0x01, 0x48, 9, "3.28", 3, 28, 0x100008, true},
      {0x01, 0x48, 20, "3.28", 3, 28, 0x200, true},    {0x01, 0x48, 21, "3.28", 3, 28, 0x400, true},
      {0x01, 0x48, 22, "3.28", 3, 28, 0x800, true},    {0x01, 0x48, 23, "3.28", 3, 28, 0x1000, true},
      {0x01, 0x48, 0, "3.28", 3, 28, 0, true},         {0x01, 0x48, 10, "3.28", 3, 28, 0, true},
      {0x01, 0x48, 24, "3.28", 3, 28, 0, true},        {0x00, 0x05, 6, "0.05", 0, 5, 0x100001, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << int(c.high) << "," << int(c.low) << " model byte " << int(c.model));
    HidRig rig;
    rig.unit->Update([&](auto& s) {
      s.firmwareHigh = c.high;
      s.firmwareLow = c.low;
      s.modelByte = c.model;
    });
    ASSERT_TRUE(rig.device->Load(rig.path));
    EXPECT_EQ(rig.device->FirmwareText(), c.text);
    EXPECT_EQ(rig.device->FirmwareMajor(), c.major);
    EXPECT_EQ(rig.device->FirmwareMinor(), c.minor);
    EXPECT_EQ(rig.device->ModelCode(), c.code);
    EXPECT_EQ(rig.device->InternalFlowCapable(), c.internalFlow);
    const Commands sent = rig.unit->ReceivedCommands();
    EXPECT_EQ(std::count(sent.begin(), sent.end(), 0x25), c.internalFlow ? 1 : 0);

    // A later answer with other bytes changes nothing, not even a model
    // code that stayed unknown.
    rig.unit->Update([](auto& s) {
      s.firmwareHigh = 0x02;
      s.firmwareLow = 0x00;
      s.modelByte = 2;
    });
    Multi::DigitalStates states;
    ASSERT_TRUE(rig.device->GetDigitalStates(states));
    EXPECT_EQ(rig.device->FirmwareText(), c.text);
    EXPECT_EQ(rig.device->ModelCode(), c.code);
    EXPECT_EQ(rig.device->InternalFlowCapable(), c.internalFlow);
  }
}

TEST(MultiInterfaceLoad, CloseEndsTheConnectionAndLoadOpensAgain) {
  HidRig rig;
  ASSERT_TRUE(rig.device->Load(rig.path));
  rig.device->Close();
  EXPECT_FALSE(rig.device->IsConnected());
  EXPECT_FALSE(rig.device->Port().IsOpen());
  rig.unit->ClearReceived();

  // Nothing goes out while closed.
  float p1, p2, p3, gradient;
  EXPECT_FALSE(rig.device->GetPressures(p1, p2, p3, gradient));
  EXPECT_FALSE(rig.device->Ping());
  EXPECT_FALSE(rig.device->SetDigitalOutputs(1, 0xFF, 0xFF, 0));
  EXPECT_TRUE(rig.unit->Received().empty());

  EXPECT_TRUE(rig.device->Load(rig.path));
  EXPECT_EQ(rig.transport.OpenCount(), 2);
  EXPECT_TRUE(rig.device->Ping());
  EXPECT_EQ(rig.device->PingValue(), 0x4B34);
}

}  // namespace
}  // namespace ORV::Test
