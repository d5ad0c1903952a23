#include "platform/sim/hid_transport.h"

#include <algorithm>
#include <cerrno>

namespace ORV::Sim {

namespace {

// An open simulated device: reads and writes go straight to its unit.
class SimHidHandle final : public OS::HidHandle {
 public:
  explicit SimHidHandle(std::shared_ptr<MultiInterfaceUnit> unit) : unit_(std::move(unit)) {}

  OS::IoStatus Read(std::uint8_t* buffer, std::size_t size, std::size_t& received, const OS::StopEvent* stop,
                    int waitLimitMs) override {
    received = 0;
    if (stop && stop->IsSet()) return OS::IoStatus::Stopped;
    Report report;
    const int wait = waitLimitMs < 0 ? static_cast<int>(OS::kUnboundedWaitLimitMs) : waitLimitMs;
    const int got = unit_->Read(report, wait, error_);
    if (got < 0) return OS::IoStatus::Failed;
    if (got == 0) return OS::IoStatus::Ok;
    received = std::min(size, report.size());
    std::copy_n(report.begin(), received, buffer);
    return OS::IoStatus::Ok;
  }

  OS::IoStatus Write(const std::uint8_t* data, std::size_t size, std::size_t& written, const OS::StopEvent* stop,
                     int) override {
    written = 0;
    if (stop && stop->IsSet()) return OS::IoStatus::Stopped;
    if (!unit_->Write(data, size, error_)) return OS::IoStatus::Failed;
    written = size;
    return OS::IoStatus::Ok;
  }

  bool GetCaps(OS::HidCaps& caps) override {
    if (!unit_->DescriptorReadable()) return false;
    caps.inputReportLength = static_cast<std::uint16_t>(unit_->InputLength());
    caps.outputReportLength = static_cast<std::uint16_t>(unit_->OutputLength());
    caps.numberedReports = true;
    return true;
  }

  int LastError() const override { return error_; }

 private:
  std::shared_ptr<MultiInterfaceUnit> unit_;
  int error_ = 0;
};

}  // namespace

std::string SimHidTransport::AddDevice(std::shared_ptr<MultiInterfaceUnit> unit, std::uint16_t vendorId,
                                       std::uint16_t productId) {
  std::lock_guard<std::mutex> g(mutex_);
  Entry entry;
  entry.info.path = OS::MakeHidInterfacePath(vendorId, productId, "sim" + std::to_string(next_++));
  entry.info.vendorId = vendorId;
  entry.info.productId = productId;
  entry.unit = std::move(unit);
  devices_.push_back(entry);
  return entry.info.path;
}

void SimHidTransport::RemoveDevice(const std::string& path) {
  std::lock_guard<std::mutex> g(mutex_);
  for (auto it = devices_.begin(); it != devices_.end(); ++it) {
    if (it->info.path != path) continue;
    it->unit->Unplug();
    devices_.erase(it);
    return;
  }
}

void SimHidTransport::SetOpenError(int error) {
  std::lock_guard<std::mutex> g(mutex_);
  openError_ = error;
}

int SimHidTransport::OpenCount() const {
  std::lock_guard<std::mutex> g(mutex_);
  return opens_;
}

std::vector<OS::HidDeviceInfo> SimHidTransport::List(std::uint16_t vendorId, std::uint16_t productId) {
  std::lock_guard<std::mutex> g(mutex_);
  std::vector<OS::HidDeviceInfo> found;
  for (const Entry& e : devices_)
    if ((vendorId == 0 || e.info.vendorId == vendorId) && (productId == 0 || e.info.productId == productId))
      found.push_back(e.info);
  return found;
}

std::unique_ptr<OS::HidHandle> SimHidTransport::Open(const std::string& path, int& error) {
  std::lock_guard<std::mutex> g(mutex_);
  ++opens_;
  if (openError_ != 0) {
    error = openError_;
    return nullptr;
  }
  for (const Entry& e : devices_)
    if (e.info.path == path) return std::make_unique<SimHidHandle>(e.unit);
  error = ENOENT;
  return nullptr;
}

}  // namespace ORV::Sim
