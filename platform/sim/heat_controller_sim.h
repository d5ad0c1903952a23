#pragma once
// A simulated four-channel heat controller on a pseudo-terminal. It answers
// the ASCII protocol (commands ended by CR, fields separated by ";"):
//   "?2s" -> ">2s;<firmware>"            (firmware "Firmware Ver.2.00.000" unless set)
//   "?22" -> ">22;t1;t2;t3;t4;"  targets  "?2d" -> ">2d;d1;d2;d3;d4;" differences
//   "?2p" -> ">2p;a;b;"                   "?2c" -> ">2c;s1;s2;s3;s4;" channel states
//   "?21" -> ">21;T1;T2;T3;T4;"  temperatures
//   "=22;t1;t2;t3;t4;" and "=2d;d1;d2;d3;d4;" set the targets or differences
//       and are not answered.
// Every reply ends with CR; anything else is not answered. The kit's fault
// modes give silence, short and garbled replies.
//
// Attached to a preparation, channel 1 measures the chamber and its target is
// the chamber heater's target.
#include <array>
#include <mutex>
#include <optional>
#include <string>

#include "platform/sim/preparation_link.h"
#include "platform/sim/serial_responder.h"

namespace ORV::Sim {

class HeatControllerSim : public SerialResponder, public PreparationLink {
 public:
  struct State {
    std::array<float, 4> targets{37.0f, 37.0f, 37.0f, 37.0f};
    std::array<float, 4> differences{0.0f, 0.0f, 0.0f, 0.0f};
    std::array<float, 2> further{1.0f, 2.0f};
    // A state text beginning with "0" marks a channel that is on.
    std::array<std::string, 4> states{"0", "0", "1", "1"};
    std::array<float, 4> temperatures{36.9f, 37.1f, 22.0f, 22.0f};
  };

  HeatControllerSim();
  ~HeatControllerSim() override;

  // The text after ">2s;" in the identity reply.
  void SetFirmware(const std::string& text);
  State GetState() const;
  void SetState(const State& state);

 protected:
  std::optional<std::string> Answer(const std::string& request) override;

 private:
  mutable std::mutex stateMutex_;
  std::string firmware_ = "Firmware Ver.2.00.000";
  State state_;
};

}  // namespace ORV::Sim
