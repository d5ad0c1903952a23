// The device lists with stand-in devices handed to them: the stand-ins'
// devices come after the machine's, a path the stand-ins list opens through
// them, and once taken back the lists are the machine's alone.
#include "platform/os/stand_in_devices.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "platform/os/video_devices.h"

namespace ORV::OS {
namespace {

UsbSerialDevice Serial(const std::string& node) {
  UsbSerialDevice device;
  device.devNode = node;
  device.isUsb = true;
  return device;
}

std::vector<std::string> Nodes(const std::vector<UsbSerialDevice>& devices) {
  std::vector<std::string> nodes;
  for (const UsbSerialDevice& device : devices) nodes.push_back(device.devNode);
  return nodes;
}

// A HID transport that lists given devices and tells which path it was asked
// to open (it opens none).
class ListedHid final : public HidTransport {
 public:
  explicit ListedHid(std::vector<HidDeviceInfo> devices) : devices_(std::move(devices)) {}
  std::vector<HidDeviceInfo> List(std::uint16_t vendorId, std::uint16_t productId) override {
    std::vector<HidDeviceInfo> found;
    for (const HidDeviceInfo& d : devices_)
      if ((vendorId == 0 || d.vendorId == vendorId) && (productId == 0 || d.productId == productId)) found.push_back(d);
    return found;
  }
  std::unique_ptr<HidHandle> Open(const std::string& path, int& error) override {
    opened.push_back(path);
    error = ENOENT;
    return nullptr;
  }
  std::vector<std::string> opened;

 private:
  std::vector<HidDeviceInfo> devices_;
};

class FakeStandIns final : public StandInDevices {
 public:
  std::vector<UsbSerialDevice> SerialDevices() const override { return {Serial("/dev/pts/7"), Serial("/dev/pts/8")}; }
  HidTransport& Hid() override { return hid; }
  int CameraCount() const override { return 1; }
  std::shared_ptr<StandInCamera> CameraFeed(int) override { return nullptr; }
  ListedHid hid{{{"sim-hid-1", "/dev/sim-hidraw1", 0x1234, 0x0001}}};
};

// Hands the stand-ins over for one test and takes them back at its end.
class Offered {
 public:
  explicit Offered(StandInDevices* devices) { OfferStandInDevices(devices); }
  ~Offered() { OfferStandInDevices(nullptr); }
  Offered(const Offered&) = delete;
  Offered& operator=(const Offered&) = delete;
};

TEST(StandInDevices, SerialDevicesComeAfterTheMachinesAndGoWhenTakenBack) {
  struct Case {
    const char* what;
    bool machineAvailable;
    bool machineFails;
    bool offered;
    bool available;
    bool complete;
    std::vector<std::string> nodes;
  };
  const Case cases[] = {
      {"the machine's alone", true, false, false, true, true, {"/dev/ttyUSB0"}},
      {"the stand-ins after the machine's",
       true,
       false,
       true,
       true,
       true,
       {"/dev/ttyUSB0", "/dev/pts/7", "/dev/pts/8"}},
      {"a failing machine list is told, the stand-ins still come",
       true,
       true,
       true,
       true,
       false,
       {"/dev/ttyUSB0", "/dev/pts/7", "/dev/pts/8"}},
      {"no machine list: the stand-ins alone", false, false, true, true, true, {"/dev/pts/7", "/dev/pts/8"}},
      {"no machine list and no stand-ins: nothing to list", false, false, false, false, true, {}},
  };
  FakeStandIns standIns;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto machine = std::make_shared<FixedUsbSerialEnumerator>();
    machine->available = c.machineAvailable;
    machine->fails = c.machineFails;
    machine->devices = {Serial("/dev/ttyUSB0")};
    Offered offered(c.offered ? &standIns : nullptr);
    const StandInAwareUsbSerialEnumerator list(machine);
    std::vector<UsbSerialDevice> devices;
    EXPECT_EQ(list.IsAvailable(), c.available);
    EXPECT_EQ(list.List(devices), c.complete);
    EXPECT_EQ(Nodes(devices), c.nodes);
  }
}

TEST(StandInDevices, HidDevicesComeAfterTheMachinesAndTheirPathsOpenThroughThem) {
  FakeStandIns standIns;
  ListedHid machine({{"usb-hid-1", "/dev/hidraw0", 0x1234, 0x0001}, {"usb-hid-2", "/dev/hidraw1", 0x9999, 0x0002}});
  StandInAwareHidTransport hid(machine);
  int error = 0;
  {
    Offered offered(&standIns);
    const std::vector<HidDeviceInfo> listed = hid.List(0x1234, 0x0001);
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[0].path, "usb-hid-1");
    EXPECT_EQ(listed[1].path, "sim-hid-1");
    EXPECT_EQ(hid.List(0x9999, 0).size(), 1u) << "the stand-ins' devices are filtered as the machine's are";
    // Opened by its path or by its node, a stand-in opens through the
    // stand-ins; any other path through the machine.
    for (const char* path : {"sim-hid-1", "/dev/sim-hidraw1"}) EXPECT_EQ(hid.Open(path, error), nullptr);
    EXPECT_EQ(hid.Open("usb-hid-2", error), nullptr);
    EXPECT_EQ(standIns.hid.opened, (std::vector<std::string>{"sim-hid-1", "/dev/sim-hidraw1"}));
    EXPECT_EQ(machine.opened, (std::vector<std::string>{"usb-hid-2"}));
    EXPECT_TRUE(UsbVideoCapturePresent()) << "the stand-ins' camera counts as an attached camera";
    EXPECT_EQ(OfferedStandInDevices(), &standIns);
  }
  EXPECT_EQ(OfferedStandInDevices(), nullptr);
  EXPECT_EQ(hid.List(0x1234, 0x0001).size(), 1u);
  EXPECT_EQ(hid.Open("sim-hid-1", error), nullptr);
  EXPECT_EQ(machine.opened.back(), "sim-hid-1") << "once taken back, every path is the machine's";
  EXPECT_EQ(StandInDeviceEvents(), nullptr);
}

}  // namespace
}  // namespace ORV::OS
