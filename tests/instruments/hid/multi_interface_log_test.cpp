// The device log's report lines, and the device shared between threads.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <thread>

#include "tests/instruments/hid/hid_rig.h"

namespace ORV::Test {
namespace {

using Lines = std::vector<std::string>;

std::vector<std::string> ReadLines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Two upper-case hex digits and a space per byte.
std::string Hex(const Bytes& bytes) {
  std::string text;
  char cell[4];
  for (std::uint8_t b : bytes) {
    std::snprintf(cell, sizeof cell, "%02X ", b);
    text += cell;
  }
  return text;
}

TEST(MultiInterfaceLog, ReportsAreLoggedAsHexLines) {
  TempDir dir;
  const std::string log = dir / "ORVNewPressureInterface.log";
  HidRig rig;
  ASSERT_TRUE(rig.device->Load(rig.path));
  ASSERT_TRUE(rig.device->OpenLog(log));
  Multi& m = *rig.device;
  Multi::StatusBytes status;

  const Bytes ping = Padded({0x01, 0x60, 0x02}, 64);
  const Bytes pingAnswer = Padded({0x01, 0x60, 0x02, 0x4B, 0x34}, 64);
  const Bytes pressures =
      Padded({0x01, 0x60, 0x09, 0x42, 0xC8, 0, 0, 0x42, 0xA0, 0, 0, 0x40, 0xA0, 0, 0, 0x00, 0x14, 0x0A, 0x00}, 64);
  const Bytes acknowledged = Padded({0x01, 0x60, 0x35}, 64);
  const Bytes stale = Padded({0x01, 0x60, 0x00, 0x3F}, 64);
  const Bytes statusRequest = Padded({0x01, 0x60, 0x20}, 64);
  const Bytes statusAnswer = Padded({0x01, 0x60, 0x20, 12, 34, 56}, 64);
  const Bytes zeros(64, 0);

  EXPECT_TRUE(m.Ping());
  EXPECT_TRUE(m.SetPressures(100, 80, 5, 0, 0, 0));    // the request is logged
  EXPECT_TRUE(m.SetDigitalOutputs(1, 0xFF, 0xFF, 0));  // only the answer
  rig.unit->InjectReport(stale);
  EXPECT_TRUE(m.GetStatusBytes(status));

  rig.unit->SetWritesFail(true);
  EXPECT_FALSE(m.GetStatusBytes(status));
  EXPECT_FALSE(m.SetPressures(100, 80, 5, 0, 0, 0));  // a failed write of a set request is not logged
  EXPECT_FALSE(m.SetTemperatures(37, -1, -1));
  rig.unit->SetWritesFail(false);

  rig.unit->SetReadsFail(true);
  EXPECT_FALSE(m.GetStatusBytes(status));
  m.Close();

  EXPECT_EQ(ReadLines(log), (Lines{
                                "Data sent: " + Hex(ping),
                                "Data received: " + Hex(pingAnswer),
                                "Data sent: " + Hex(pressures),
                                "Data received: " + Hex(acknowledged),
                                "Data received: " + Hex(acknowledged),
                                "Data discarded: " + Hex(stale),
                                "Data sent: " + Hex(statusRequest),
                                "Data received: " + Hex(statusAnswer),
                                "Failed to send data: " + Hex(statusRequest),
                                "Data sent: " + Hex(statusRequest),
                                "Received failed: " + Hex(zeros),
                                "Closed COM port: '" + rig.path + "'",
                            }));
  EXPECT_EQ(ReadLines(log)[0].substr(0, 20), "Data sent: 01 60 02 ");
  EXPECT_EQ(ReadLines(log)[0].size(), std::string("Data sent: ").size() + 64 * 3);
}

TEST(MultiInterfaceThreads, RequestsFromTwoThreadsNeverTakeEachOthersAnswers) {
  HidRig rig;
  ASSERT_TRUE(rig.device->Load(rig.path));
  Multi& m = *rig.device;
  std::atomic<int> failures{0};
  std::thread poller([&] {
    Multi::FastBlock block;
    for (int i = 0; i < 300; ++i)
      if (!m.GetFastBlock(block)) ++failures;
  });
  std::thread commander([&] {
    Multi::Temperatures t;
    for (int i = 0; i < 150; ++i) {
      if (!m.SetDigitalOutputs(1, 0xFF, 0xFF, 0)) ++failures;
      if (!m.GetTemperatures(t)) ++failures;
    }
  });
  poller.join();
  commander.join();
  EXPECT_EQ(failures.load(), 0);
}

TEST(MultiInterfaceThreads, CloseWhileAnotherThreadPollsEndsItsRequestsCleanly) {
  HidRig rig;
  ASSERT_TRUE(rig.device->Load(rig.path));
  Multi& m = *rig.device;
  std::atomic<int> succeeded{0};
  std::thread poller([&] {
    Multi::FastBlock block;
    while (m.GetFastBlock(block)) ++succeeded;
  });
  while (succeeded.load() < 20) std::this_thread::yield();
  m.Close();
  poller.join();
  EXPECT_FALSE(m.IsConnected());
}

}  // namespace
}  // namespace ORV::Test
