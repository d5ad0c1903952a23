#pragma once
// A simulated microscope unit on a pseudo-terminal. It answers the ASCII
// protocol (commands ended by CR, fields separated by ";"):
//   "?4s" -> ">4s;<firmware>"      (firmware "Firmware Ver.2.00" unless set)
//   "?41" -> ">41;<temperature>;"  "?4i" -> ">4i;<light level>;"
//   "=4i;<n>;" sets the light level and is not answered.
// Every reply ends with CR; anything else is not answered. The kit's fault
// modes give silence, short and garbled replies.
//
// Attached to a preparation, it measures the chamber's temperature.
#include <mutex>
#include <optional>
#include <string>

#include "platform/sim/preparation_link.h"
#include "platform/sim/serial_responder.h"

namespace ORV::Sim {

class MicroscopeSim : public SerialResponder, public PreparationLink {
 public:
  MicroscopeSim();
  ~MicroscopeSim() override;

  // The text after ">4s;" in the identity reply.
  void SetFirmware(const std::string& text);
  void SetTemperature(float temperature);
  void SetLightLevel(int level);
  float Temperature() const;
  int LightLevel() const;

 protected:
  std::optional<std::string> Answer(const std::string& request) override;

 private:
  mutable std::mutex stateMutex_;
  std::string firmware_ = "Firmware Ver.2.00";
  float temperature_ = 36.5f;
  int level_ = 0;
};

}  // namespace ORV::Sim
