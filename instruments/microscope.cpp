#include "instruments/microscope.h"

#include <algorithm>
#include <mutex>

#include "core/base/event_log.h"
#include "platform/os/number_text.h"

namespace ORV {

namespace {

using Guard = std::lock_guard<std::recursive_mutex>;

constexpr std::string_view kFirmware = "Firmware Ver.2.00";
constexpr std::size_t kFirmwareAt = 4;  // right after the reply's head ">4s;"
constexpr std::uint32_t kSettleMs = 500;

}  // namespace

Microscope::Microscope(std::shared_ptr<const OS::UsbSerialEnumerator> enumerator)
    : Device(kDeviceMicroscope), AsciiCommands(*this, ';'), ftdi_(std::move(enumerator)) {}

Microscope::~Microscope() { Close(); }

void Microscope::FindComPort(std::vector<std::string>& ports, std::vector<std::string>& serialNumbers) const {
  ports.clear();
  serialNumbers.clear();
  if (!ftdi_.IsAvailable()) {
    LogError("Microscope::FindComPort() - Unable to search for Microscope port (no FTDI driver found)\n");
    return;
  }
  std::vector<FtdiDeviceInfo> devices;
  if (!ftdi_.GetDeviceList(devices) || devices.empty()) return;
  std::vector<USSerInfo> serialPorts;
  EnumerateUsbSerialDevices(ftdi_.Enumerator(), serialPorts);

  for (const FtdiDeviceInfo& device : devices) {
    // "FTW" serial numbers belong to other instruments on the same converter.
    if (device.id != FtdiDeviceId(kFtdiVendorId, kFtdiSerialConverterProductId) ||
        device.serialNumber.starts_with("FTW"))
      continue;
    const auto match = std::find_if(serialPorts.begin(), serialPorts.end(), [&](const USSerInfo& info) {
      return SameSerialNumber(info.serialNumber, device.serialNumber);
    });
    if (match == serialPorts.end() || match->portName.empty()) continue;
    if (ports.size() == kMaxMicroscopes) {
      LogWarning("Microscope::FindComPort() - More than " + std::to_string(kMaxMicroscopes) +
                 " microscopes attached; not using the one with serial number " + device.serialNumber + " at port " +
                 match->portName + "\n");
      continue;
    }
    ports.push_back(match->portName);
    serialNumbers.push_back(device.serialNumber);
  }
}

bool Microscope::OnLoad(const std::string& port) {
  return OpenSerial(port, {.who = "Microscope",
                           .baud = kBaud,
                           .timeout = static_cast<std::int32_t>(ResolveTimeout(Timeout())),
                           .logPortOpen = true,
                           .settleMs = kSettleMs,
                           .check = [this] { return OnPing(); },
                           .failed = "Microscope::Load() - Failed connecting to ORV Microscope"});
}

bool Microscope::OnPing() {
  if (!Port().IsOpen()) return false;
  std::string reply;
  if (Query(reply, "?4s") && reply.find(kFirmware) == kFirmwareAt) return true;
  LogError("Microscope::Ping() - Unknown reply (" + reply + ") from ORV Microscope");
  return false;
}

bool Microscope::SetValue(std::int32_t value) {
  Guard g(Lock());
  if (!Port().IsOpen() || !IsConnected() || !ftdi_.IsAvailable()) return false;
  return Send("=4i;" + OS::FormatInt(value) + ";");
}

std::string Microscope::SerialNumber() const {
  Guard g(Lock());
  return serialNumber_;
}

void Microscope::SetSerialNumber(const std::string& serialNumber) {
  Guard g(Lock());
  serialNumber_ = serialNumber;
}

}  // namespace ORV
