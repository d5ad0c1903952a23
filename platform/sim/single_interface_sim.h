#pragma once
// A simulated single pressure interface on a pseudo-terminal. It answers the
// unit's ASCII protocol (commands ended by CR, replies ">..." ended by CR,
// fields separated by commas) from a state the test sets and the set
// commands change:
//   "?0100" -> ">01,<type>,<firmware>"      "?0107" -> ">P1,P2,force,pH,temperature"
//   "?0110", "?0120", "?0121" -> ">" and the temperature target, target P1, target P2
//   "?0111", "?0122", "?0124" -> ">1" or ">0": heater, pressure, flow valid
//   "=0110<t>", "=0111<0|1>", "=0120<p>", "=0121<p>", "=0122<0|1>", "=0112"
//       -> ">01" after changing the state ("=0112" zeroes the force)
// Anything else, or a set command whose value does not read, is not
// answered. Unit type and firmware are settable (a unit the driver does not
// support), and the kit's fault modes give silence, short and garbled replies.
//
// Attached to a preparation, it measures the preparation and its set commands
// change the preparation.
#include <mutex>
#include <optional>
#include <string>

#include "platform/sim/preparation_link.h"
#include "platform/sim/serial_responder.h"

namespace ORV::Sim {

class SingleInterfaceSim : public SerialResponder, public PreparationLink {
 public:
  struct State {
    float p1 = 60.0f, p2 = 40.0f, force = 1.25f, pH = 7.4f, temperature = 36.8f;
    float temperatureTarget = 37.0f;
    int targetP1 = 60, targetP2 = 40;
    bool heaterOn = false, pressureOn = false, flowValid = true;
  };

  SingleInterfaceSim();
  ~SingleInterfaceSim() override;

  void SetVersion(const std::string& type, const std::string& firmware);
  State GetState() const;
  void SetState(const State& state);

 protected:
  std::optional<std::string> Answer(const std::string& request) override;

 private:
  std::optional<std::string> AnswerFromState(const std::string& request);
  mutable std::mutex stateMutex_;
  State state_;
  std::string type_ = "K40Q";
  std::string firmware_ = "V3.30";
};

}  // namespace ORV::Sim
