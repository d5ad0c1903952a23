#pragma once
// A HID transport whose devices are simulated units, for the driver tests
// and the simulated lab. Devices are listed under interface paths built as
// the system transport builds them, with "sim<N>" as the device name, so a
// configured path prefix selects them the same way.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/os/hid_transport.h"
#include "platform/sim/multi_interface_unit.h"

namespace ORV::Sim {

class SimHidTransport final : public OS::HidTransport {
 public:
  static constexpr std::uint16_t kVendorId = 0x0483;
  static constexpr std::uint16_t kProductId = 0x0110;

  // Plugs a unit in; returns the path it is listed under.
  std::string AddDevice(std::shared_ptr<MultiInterfaceUnit> unit, std::uint16_t vendorId = kVendorId,
                        std::uint16_t productId = kProductId);
  // Takes the device off the list and unplugs its unit.
  void RemoveDevice(const std::string& path);
  // Opens fail with this errno (0: opens work).
  void SetOpenError(int error);
  // How many times Open was called.
  int OpenCount() const;

  std::vector<OS::HidDeviceInfo> List(std::uint16_t vendorId, std::uint16_t productId) override;
  std::unique_ptr<OS::HidHandle> Open(const std::string& path, int& error) override;

 private:
  struct Entry {
    OS::HidDeviceInfo info;
    std::shared_ptr<MultiInterfaceUnit> unit;
  };
  mutable std::mutex mutex_;
  std::vector<Entry> devices_;
  int next_ = 0;
  int openError_ = 0;
  int opens_ = 0;
};

}  // namespace ORV::Sim
