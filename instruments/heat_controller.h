#pragma once
// The four-channel heat controller of the incubation chamber systems: an FTDI
// USB serial device (product 0xF448) at 115200 baud with ASCII commands ended
// by CR ("?2x" reads, "=2x;" sets). Replies begin with ">", the command's two
// characters and ";", then ";"-separated fields, and end with CR.
//
// The controller is found through the FTDI device list, so Load ignores its
// argument. Every operation but Load and Ping is refused (false, nothing
// sent) unless the port is open and the controller connected.
#include <array>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "instruments/ascii_commands.h"
#include "instruments/device.h"
#include "instruments/ftdi_access.h"
#include "instruments/records/instrument_records.h"

namespace ORV {

class HeatController : public Device, public AsciiCommands {
 public:
  static constexpr const char* kLogFileName = "ORVHeatController.log";
  static constexpr std::size_t kChannels = 4;
  static constexpr std::uint32_t kBaud = 115200;
  static constexpr std::int32_t kMinimumTimeout = 500;

  explicit HeatController(std::shared_ptr<const OS::UsbSerialEnumerator> enumerator = OS::SystemUsbSerialEnumerator());
  ~HeatController() override;

  // Reads the targets ("?22"), the differences ("?2d") and the two further
  // values ("?2p"); all three must answer, else nothing changes.
  bool ReadSettings();
  // Reads the channel states ("?2c") and temperatures ("?21") into `sample`;
  // both must answer, else `sample` is unchanged.
  bool ReadCurrent(HeatControllerSample& sample);

  // Sets one channel's target (chamber 0 to 3): sends "=22;" with all four
  // targets, the others as last read or set. When the command cannot be
  // sent, the channel keeps its old target.
  bool SetTarget(std::size_t chamber, float target);
  // Sends "=2d;" with the four differences and keeps them when that worked.
  bool SetDifferences(const std::array<float, kChannels>& differences);

  std::array<float, kChannels> Targets() const;
  std::array<float, kChannels> Differences() const;
  std::array<float, 2> FurtherValues() const;

  const FtdiAccess& Ftdi() const { return ftdi_; }

 protected:
  bool OnLoad(const std::string& port) override;
  bool OnPing() override;

 private:
  bool ReadSettingsLocked();
  // Sends a query and splits its reply: prefix, fields from index 4, at least `minimum`.
  bool Read(std::string_view command, std::string_view prefix, std::size_t minimum, std::vector<std::string>& fields);
  // Sends "<head>" and the four values as "%04.1f;" each; no reply is read.
  bool SendFour(std::string_view head, const std::array<float, kChannels>& values);

  FtdiAccess ftdi_;
  std::array<float, kChannels> differences_{};
  std::array<float, kChannels> targets_{};
  std::array<float, 2> further_{};
};

}  // namespace ORV
