// Report lengths from report descriptors, interface paths, and finding and
// opening devices.
#include "platform/os/hid_transport.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "platform/sim/hid_transport.h"

namespace ORV::Test {
namespace {

using Bytes = std::vector<std::uint8_t>;
using OS::HidCaps;

// A vendor collection with one input and one output report of `count`
// bytes each, under report id `id` (none when 0).
Bytes VendorDescriptor(std::uint8_t inputCount, std::uint8_t outputCount, std::uint8_t id = 1) {
  Bytes d = {0x06, 0x00, 0xFF, 0x09, 0x01,       0xA1, 0x01, 0x85, id,   0x15, 0x00,        0x26, 0xFF, 0x00, 0x75,
             0x08, 0x09, 0x02, 0x95, inputCount, 0x81, 0x02, 0x09, 0x03, 0x95, outputCount, 0x91, 0x02, 0xC0};
  if (id == 0) d.erase(d.begin() + 7, d.begin() + 9);  // no Report ID item
  return d;
}

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

TEST(HidReportDescriptor, LengthsAreTheLargestReportOfEachKindPlusTheIdByte) {
  struct Case {
    const char* name;
    Bytes descriptor;
    HidCaps expected;
  };
  const Case cases[] = {
      {"64-byte unit", VendorDescriptor(63, 63), {64, 64, true}},
      {"19-byte unit", VendorDescriptor(18, 18), {19, 19, true}},
      // Without report ids the length still counts the (zero) id byte.
      {"no report ids", VendorDescriptor(64, 64, 0), {65, 65, false}},
      {"two input reports: the longer counts",
       Join({{0x75, 0x08, 0x85, 0x01, 0x95, 0x07, 0x81, 0x02},
             {0x85, 0x02, 0x95, 0x14, 0x81, 0x02},
             {0x85, 0x01, 0x95, 0x02, 0x91, 0x02}}),
       {21, 3, true}},
      {"fields of one report add up across items",
       {0x75, 0x08, 0x95, 0x04, 0x81, 0x02, 0x95, 0x05, 0x81, 0x02},
       {10, 0, false}},
      // 3 bits and 5 bits of padding under Push, then 16 bytes with the
      // popped size and count.
      {"push and pop restore size and count",
       {0x75, 0x08, 0x95, 0x10, 0xA4, 0x75, 0x01, 0x95, 0x03, 0x81,
        0x02, 0x75, 0x05, 0x95, 0x01, 0x81, 0x03, 0xB4, 0x81, 0x02},
       {18, 0, false}},
      {"bits round up to a byte", {0x75, 0x01, 0x95, 0x03, 0x81, 0x02}, {2, 0, false}},
      {"long items and four-byte items are stepped over",
       Join({{0xFE, 0x02, 0x10, 0xAA, 0xBB, 0x27, 0xFF, 0xFF, 0x00, 0x00}, VendorDescriptor(63, 63)}),
       {64, 64, true}},
      {"feature reports are not counted", {0x75, 0x08, 0x95, 0x20, 0xB1, 0x02}, {0, 0, false}},
      {"a report count of 2^32-1 saturates",
       {0x75, 0x20, 0x97, 0xFF, 0xFF, 0xFF, 0xFF, 0x81, 0x02},
       {0xFFFF, 0, false}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    HidCaps caps;
    ASSERT_TRUE(OS::ParseReportDescriptor(c.descriptor, caps));
    EXPECT_EQ(caps, c.expected);
  }
}

TEST(HidReportDescriptor, MalformedDescriptorsAreRefusedAndLeaveTheCaps) {
  const Bytes cases[] = {
      {0x75},                    // data byte missing
      {0x75, 0x08, 0x26, 0xFF},  // two data bytes announced, one there
      {0x27, 0x01, 0x02, 0x03},  // four announced, three there
      {0xFE, 0x05, 0x10, 0x01},  // long item cut short
      {0xFE, 0x05},              // long item without its tag
      {0x75, 0x08, 0xB4},        // Pop without Push
  };
  for (const Bytes& d : cases) {
    HidCaps caps{7, 9, true};
    EXPECT_FALSE(OS::ParseReportDescriptor(d, caps));
    EXPECT_EQ(caps, (HidCaps{7, 9, true}));
  }
}

TEST(HidTransport, DevicesAreListedByInterfacePathAndFoundByVendorProductAndPrefix) {
  EXPECT_EQ(OS::MakeHidInterfacePath(0x0483, 0x0110, "hidraw3"), "\\\\?\\hid#vid_0483&pid_0110#hidraw3");
  EXPECT_EQ(OS::MakeHidInterfacePath(0xABCD, 0x00EF, "x"), "\\\\?\\hid#vid_abcd&pid_00ef#x");

  Sim::SimHidTransport transport;
  const std::string a = transport.AddDevice(std::make_shared<Sim::MultiInterfaceUnit>());
  const std::string b = transport.AddDevice(std::make_shared<Sim::MultiInterfaceUnit>(), 0x0483, 0x0111);
  const std::string c = transport.AddDevice(std::make_shared<Sim::MultiInterfaceUnit>(), 0x1234, 0x0110);
  const std::string d = transport.AddDevice(std::make_shared<Sim::MultiInterfaceUnit>());
  const auto paths = [](const std::vector<OS::HidDeviceInfo>& found) {
    std::vector<std::string> p;
    for (const auto& f : found) p.push_back(f.path);
    return p;
  };
  using Paths = std::vector<std::string>;
  EXPECT_EQ(a, "\\\\?\\hid#vid_0483&pid_0110#sim0");
  EXPECT_EQ(paths(transport.Enumerate(0, 0, "\\\\?\\hid#vid_0483&pid_0110#")), (Paths{a, d}));
  EXPECT_EQ(paths(transport.Enumerate(0, 0, "\\\\?\\HID#VID_0483")), Paths{});  // case counts
  EXPECT_EQ(paths(transport.Enumerate(0x0483, 0, "")), (Paths{a, b, d}));
  EXPECT_EQ(paths(transport.Enumerate(0, 0x0110, "")), (Paths{a, c, d}));
  EXPECT_EQ(paths(transport.Enumerate(0x1234, 0x0110, "\\\\?\\hid#vid_0483")), Paths{});

  transport.RemoveDevice(a);
  EXPECT_EQ(paths(transport.Enumerate(0, 0, "\\\\?\\hid#vid_0483&pid_0110#")), (Paths{d}));
  int error = 0;
  EXPECT_EQ(transport.Open(a, error), nullptr);
  EXPECT_EQ(error, ENOENT);
}

TEST(HidTransport, TheSystemTransportRefusesDevicesThatAreNotThere) {
  OS::HidTransport& system = OS::SystemHidTransport();
  EXPECT_TRUE(system.List(0xDEAD, 0xBEEF).empty());
  for (const std::string path : {"/dev/hidraw-not-there", "\\\\?\\hid#vid_dead&pid_beef#hidraw99"}) {
    int error = 0;
    EXPECT_EQ(system.Open(path, error), nullptr) << path;
    EXPECT_EQ(error, ENOENT) << path;
  }
}

}  // namespace
}  // namespace ORV::Test
