#pragma once
// A simulated ASCII flow meter on a pseudo-terminal. It takes commands ended
// by CR, and a single "s" also without one (the meter stops its stream at
// once when it reads it):
//   "s"     stops the stream              "reset" stops it too
//   "mod=F", "res=7" -> "OK"
//   "info"  -> a text with "Factor:", 13 spaces and the factor
//   "ver"   -> the identity text ("ASL1600 20 ..." unless set)
//   "go"    -> "OK", then the stream: frames 7F 7F hi lo of the raw value
//              (signed 16-bit big-endian), one every stream period.
// Every reply ends with CR LF. A meter can be made that never stops its
// stream, and raw bytes can be put on the line as the test needs them.
//
// Attached to a preparation, it streams the flow through the vessel (raw
// value: flow times the factor).
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "platform/sim/preparation_link.h"
#include "platform/sim/serial_responder.h"

namespace ORV::Sim {

class FlowMeterASL1600Sim : public SerialResponder, public PreparationLink {
 public:
  FlowMeterASL1600Sim();
  ~FlowMeterASL1600Sim() override;

  // The text after "Factor:" and its 13 spaces (default "5").
  void SetFactorText(const std::string& text);
  void SetIdentity(const std::string& text);
  void SetRawValue(std::int16_t raw);
  void SetStreamPeriod(std::chrono::milliseconds period);
  // Streams from now on and ignores "s" and "reset" (a meter left running).
  void StreamForever();
  bool IsStreaming() const;
  // Puts bytes on the line now.
  bool Emit(const std::string& bytes) { return Push(bytes); }

  // One stream frame of `raw`.
  static std::string Frame(std::int16_t raw);

 protected:
  std::optional<std::string> Answer(const std::string& request) override;
  std::optional<std::string> NextRequest(std::string& pending) override;

 private:
  void StreamLoop();

  mutable std::mutex stateMutex_;
  std::condition_variable wake_;
  std::string factorText_ = "5";
  std::string identity_ = "ASL1600 20 V2.1";
  std::int16_t raw_ = 500;
  std::chrono::milliseconds period_{10};
  bool streaming_ = false;
  bool forever_ = false;
  bool ending_ = false;
  std::thread streamer_;
};

}  // namespace ORV::Sim
