// The FTDI device list and the USB serial port list built from the
// machine's device enumeration.
#include "instruments/ftdi_access.h"

#include <gtest/gtest.h>

#include <memory>

#include "tests/instruments/ascii/driver_fixture.h"

namespace ORV::Test {
namespace {

constexpr std::uint32_t kConverterId = FtdiDeviceId(kFtdiVendorId, kFtdiSerialConverterProductId);
constexpr std::uint32_t kHeaterId = FtdiDeviceId(kFtdiVendorId, kFtdiHeatControllerProductId);

std::shared_ptr<OS::FixedUsbSerialEnumerator> Machine() {
  auto m = std::make_shared<OS::FixedUsbSerialEnumerator>();
  OS::UsbSerialDevice builtIn;
  builtIn.sysPath = "/sys/devices/pnp0/00:01/tty/ttyS0";
  builtIn.devNode = "/dev/ttyS0";
  OS::UsbSerialDevice otherVendor = FtdiDevice(kFtdiSerialConverterProductId, "FTX1", "/dev/ttyUSB9");
  otherVendor.vendorId = 0x1A2B;
  otherVendor.product = "USB to UART";
  m->devices = {
      FtdiDevice(kFtdiSerialConverterProductId, "FT1001", "/dev/ttyUSB0"),
      builtIn,
      FtdiDevice(kFtdiHeatControllerProductId, "HC01", "/dev/ttyUSB1"),
      FtdiDevice(kFtdiSerialConverterProductId, "FTW200", "/dev/ttyUSB2"),
      FtdiDevice(kFtdiHeatControllerProductId, "HC02", ""),
      otherVendor,
      FtdiDevice(kFtdiSerialConverterProductId, "A9001", "/dev/ttyUSB3"),
  };
  return m;
}

TEST(FtdiAccess, DeviceListHoldsEveryFtdiDeviceWithItsIdAndTerminal) {
  FtdiAccess ftdi(Machine());
  ASSERT_TRUE(ftdi.IsAvailable());
  std::vector<FtdiDeviceInfo> list{{1, "stale", "", ""}};
  ASSERT_TRUE(ftdi.GetDeviceList(list));
  EXPECT_EQ(list, (std::vector<FtdiDeviceInfo>{
                      {kConverterId, "FT1001", "USB Serial", "/dev/ttyUSB0"},
                      {kHeaterId, "HC01", "USB Serial", "/dev/ttyUSB1"},
                      {kConverterId, "FTW200", "USB Serial", "/dev/ttyUSB2"},
                      {kHeaterId, "HC02", "USB Serial", ""},
                      {kConverterId, "A9001", "USB Serial", "/dev/ttyUSB3"},
                  }));
  EXPECT_EQ(kConverterId, 0x04036001u);
  EXPECT_EQ(kHeaterId, 0x0403F448u);
}

TEST(FtdiAccess, FindPortTakesTheLastMatchingDeviceThatHasATerminal) {
  auto machine = Machine();
  FtdiAccess ftdi(machine);
  auto startsWithFt = [](std::string_view serial) { return serial.starts_with("FT"); };
  auto none = [](std::string_view) { return false; };
  struct Case {
    const char* name;
    std::uint32_t id;
    std::function<bool(std::string_view)> accept;
    const char* port;
  };
  const Case cases[] = {
      {"heater: the one without a terminal is passed over", kHeaterId, {}, "/dev/ttyUSB1"},
      {"converter, any serial", kConverterId, {}, "/dev/ttyUSB3"},
      {"converter, serial beginning FT", kConverterId, startsWithFt, "/dev/ttyUSB2"},
      {"nothing accepted", kConverterId, none, ""},
      {"another vendor's id", FtdiDeviceId(0x1A2B, kFtdiSerialConverterProductId), {}, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ftdi.FindPort(c.id, c.accept), c.port);
  }

  machine->fails = true;
  EXPECT_EQ(ftdi.FindPort(kHeaterId), "");
  std::vector<FtdiDeviceInfo> list;
  EXPECT_FALSE(ftdi.GetDeviceList(list));

  // The access is decided when it is made: a device list that becomes
  // usable later does not make it available.
  machine->fails = false;
  machine->available = false;
  FtdiAccess without(machine);
  EXPECT_FALSE(without.IsAvailable());
  EXPECT_FALSE(without.GetDeviceList(list));
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(without.FindPort(kHeaterId), "");
}

TEST(FtdiAccess, UsbSerialPortsAreTheTerminalsWithTheirNamesAndSerialNumbers) {
  auto machine = Machine();
  machine->devices.resize(3);
  std::vector<USSerInfo> list;
  ASSERT_TRUE(EnumerateUsbSerialDevices(*machine, list));
  EXPECT_EQ(list,
            (std::vector<USSerInfo>{
                {"/sys/devices/usb1/1-1/FT1001", "", "USB Serial (/dev/ttyUSB0)", "FT1001", true, "USB Serial", "FTDI",
                 "/dev/ttyUSB0"},
                {"/sys/devices/pnp0/00:01/tty/ttyS0", "", "/dev/ttyS0 (/dev/ttyS0)", "", false, "", "", "/dev/ttyS0"},
                {"/sys/devices/usb1/1-1/HC01", "", "USB Serial (/dev/ttyUSB1)", "HC01", true, "USB Serial", "FTDI",
                 "/dev/ttyUSB1"},
            }));

  // A device without a terminal is no port; a failed listing keeps what it found.
  machine->devices = {FtdiDevice(kFtdiHeatControllerProductId, "HC02", ""),
                      FtdiDevice(kFtdiSerialConverterProductId, "FT1", "/dev/ttyUSB4")};
  machine->fails = true;
  list.clear();
  EXPECT_FALSE(EnumerateUsbSerialDevices(*machine, list));
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0].portName, "/dev/ttyUSB4");
}

TEST(FtdiAccess, SerialNumbersCompareWithoutRegardToCase) {
  EXPECT_TRUE(SameSerialNumber("FTA002", "fta002"));
  EXPECT_TRUE(SameSerialNumber("", ""));
  EXPECT_FALSE(SameSerialNumber("FTA002", "FTA02"));
  EXPECT_FALSE(SameSerialNumber("FTA002", "FTA003"));
}

}  // namespace
}  // namespace ORV::Test
