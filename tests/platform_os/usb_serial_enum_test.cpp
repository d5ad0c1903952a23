// The serial device enumeration: which terminals count as ports, and the
// listing of this machine through libudev.
#include "platform/os/usb_serial_enum.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <string>

namespace ORV::OS {
namespace {

TEST(UsbSerialEnum, OnlyTerminalsWithHardwareBehindThemArePorts) {
  struct Case {
    const char* name;
    TerminalFacts facts;
    bool real;
  };
  const Case cases[] = {
      {"USB converter", {true, true, false, std::nullopt}, true},
      {"serial-core port with a UART", {true, true, false, "4"}, true},
      {"serial-core port nothing answered at", {true, true, false, "0"}, false},
      {"serial-core port with an unreadable type", {true, true, false, ""}, false},
      {"virtual console", {true, true, true, std::nullopt}, false},
      {"no device behind it", {true, false, false, std::nullopt}, false},
      {"no device node", {false, true, false, "4"}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(IsRealSerialPort(c.facts), c.real);
  }
}

TEST(UsbSerialEnum, UsbIdsAreFourHexDigits) {
  const std::pair<const char*, std::uint16_t> cases[] = {
      {"0403", 0x0403}, {"f448\n", 0xF448}, {"F448", 0xF448}, {"6001", 0x6001}, {"403", 0},
      {"04031", 0},     {"zz03", 0},        {"", 0},          {"-403", 0},
  };
  for (const auto& [text, id] : cases) {
    SCOPED_TRACE(text);
    EXPECT_EQ(ParseUsbId(text), id);
  }
}

// Whatever this machine has attached, the listing holds only real devices.
TEST(UsbSerialEnum, ThisMachinesListingHoldsNoVirtualOrPhantomTerminal) {
  const auto enumerator = SystemUsbSerialEnumerator();
  ASSERT_TRUE(enumerator->IsAvailable());
  std::vector<UsbSerialDevice> devices;
  ASSERT_TRUE(enumerator->List(devices));
  for (const UsbSerialDevice& d : devices) {
    SCOPED_TRACE(d.sysPath);
    EXPECT_EQ(d.sysPath.find("/devices/virtual/"), std::string::npos);
    if (d.devNode.empty()) {
      // Listed without a terminal: only FTDI devices are.
      EXPECT_TRUE(d.isUsb);
      EXPECT_EQ(d.vendorId, kFtdiVendorId);
      continue;
    }
    EXPECT_TRUE(d.devNode.starts_with("/dev/"));
    std::ifstream type(d.sysPath + "/type");
    std::string uart;
    if (type >> uart) {
      EXPECT_NE(uart, "0");
    }
    if (d.isUsb) {
      EXPECT_NE(d.vendorId, 0);
    }
  }
}

}  // namespace
}  // namespace ORV::OS
