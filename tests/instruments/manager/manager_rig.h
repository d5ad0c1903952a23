#pragma once
// An interface manager whose every source is the test's: a port list, FTDI
// devices, simulated HID units, camera presence and a private log folder,
// with the event log in memory, the fixed waits recorded and the
// configuration values it reads restored afterwards.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/base/configuration.h"
#include "instruments/interface_manager.h"
#include "platform/os/usb_serial_enum.h"
#include "platform/sim/hid_transport.h"
#include "platform/sim/multi_interface_unit.h"
#include "platform/sim/serial_responder.h"
#include "tests/instruments/ftdi_device.h"
#include "tests/support/test_support.h"
#include "tests/support/test_world.h"

namespace ORV::Test {

using Event = std::pair<std::uint16_t, std::string>;

// Paths that no device stands behind: a load on them fails at once with the
// driver's "Unable to connect" entry, which shows the order of the trials.
inline std::string AbsentPort(int n) { return "/dev/orv-test-absent-" + std::to_string(n); }

// The serial drivers' time-outs here. These tests check what the manager
// finds and what the workers make of the answers, not the time-outs: a
// loaded machine can keep a simulator from answering for a good part of a
// second, so every driver waits a second for a reply. (A read lasts this
// long after a reply's last byte, so it is not longer.) The pressure
// interface gets the 1250 ms the program gives it, which waits long for the
// first byte and 50 ms after the last.
inline constexpr std::int32_t kMicroscopeTimeoutMs = 1000;  // the binary flow meter's too
inline constexpr std::int32_t kFlowMeterTimeoutMs = 1000;
inline constexpr std::int32_t kPressureInterfaceTimeoutMs = 1250;

class ManagerTest : public ::testing::Test {
 protected:
  ManagerTest() {
    Configuration& c = ORV::Test::SharedConfiguration();
    saved_ = {c.Debug,
              c.LastUsedInterfacePort,
              c.LastUsedFlowMeterPort,
              c.MultiInterfaceDevicePath,
              c.DeviceMicroscopeTimeout,
              c.DeviceFlowMeterTimeout,
              c.DevicePressureInterfaceTimeout};
    c.Debug = false;
    c.LastUsedInterfacePort.clear();
    c.LastUsedFlowMeterPort.clear();
    c.MultiInterfaceDevicePath = "\\\\?\\hid#vid_0483&pid_0110#";
    c.DeviceMicroscopeTimeout = kMicroscopeTimeoutMs;
    c.DeviceFlowMeterTimeout = kFlowMeterTimeoutMs;
    c.DevicePressureInterfaceTimeout = kPressureInterfaceTimeoutMs;
  }
  ~ManagerTest() override {
    manager_.reset();
    Configuration& c = ORV::Test::SharedConfiguration();
    c.Debug = saved_.debug;
    c.LastUsedInterfacePort = saved_.interfacePort;
    c.LastUsedFlowMeterPort = saved_.flowPort;
    c.MultiInterfaceDevicePath = saved_.multiPath;
    c.DeviceMicroscopeTimeout = saved_.microscopeTimeout;
    c.DeviceFlowMeterTimeout = saved_.flowTimeout;
    c.DevicePressureInterfaceTimeout = saved_.pressureTimeout;
  }

  // The manager on the test's sources (made on first use).
  InterfaceManager& Manager() {
    if (!manager_) {
      InterfaceManager::Sources s;
      s.usb = usb_;
      s.hid = &hid_;
      s.serialPorts = [this](std::vector<std::string>& out) {
        if (portsFail_) return false;
        out.insert(out.end(), ports_.begin(), ports_.end());
        return true;
      };
      s.cameraPresent = [this] { return cameraPresent_; };
      s.tempFolder = logs_.path() + "/";
      s.sleeper = sleeper_.AsSleeper();
      manager_ = std::make_unique<InterfaceManager>(ORV::Test::SharedConfiguration(), std::move(s));
    }
    return *manager_;
  }
  // Fills the manager's port list from the source, as the owner does.
  void ListPorts() {
    Manager().COMPorts().clear();
    Manager().LoadCOMPorts(Manager().COMPorts());
  }
  // Plugs in a multi interface unit; returns it.
  std::shared_ptr<Sim::MultiInterfaceUnit> AddUnit(std::size_t reportLength = 64) {
    auto unit = std::make_shared<Sim::MultiInterfaceUnit>(reportLength);
    hid_.AddDevice(unit);
    return unit;
  }

  std::vector<Event> TakeEvents() {
    std::vector<Event> out;
    for (const OS::EventRecord& e : events_.backend().Entries())
      out.emplace_back(e.type, e.texts.empty() ? std::string() : e.texts.front());
    events_.backend().Clear();
    return out;
  }
  // The ports named by the entries that begin with `head`, in order.
  std::vector<std::string> Trials(const std::vector<Event>& events, const std::vector<std::string>& heads) {
    std::vector<std::string> out;
    for (const Event& e : events) {
      for (const std::string& head : heads) {
        if (e.second.rfind(head, 0) != 0) continue;
        std::string rest = e.second.substr(head.size());
        const std::size_t end = rest.find_first_of(" \n");
        out.push_back(rest.substr(0, end));
      }
    }
    return out;
  }

  MemoryEventLog events_;
  TempDir logs_;
  Sim::RecordingSleeper sleeper_;
  std::shared_ptr<OS::FixedUsbSerialEnumerator> usb_ = std::make_shared<OS::FixedUsbSerialEnumerator>();
  Sim::SimHidTransport hid_;
  std::vector<std::string> ports_;
  bool portsFail_ = false;
  bool cameraPresent_ = false;
  std::unique_ptr<InterfaceManager> manager_;

 private:
  struct Saved {
    bool debug;
    std::string interfacePort, flowPort, multiPath;
    std::int32_t microscopeTimeout, flowTimeout, pressureTimeout;
  } saved_;
};

}  // namespace ORV::Test
