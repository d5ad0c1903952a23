#pragma once
// A simulated multi interface: the USB HID unit that sets chamber pressures,
// pulsation and heating. It takes output reports [1, 0x60, sub-command,
// arguments] and answers each with one input report [report id, 0x60,
// sub-command, data] of its input report length (64 or 19 bytes; what lies
// beyond a 19-byte report is cut off). Four-byte measurements go out as
// big-endian IEEE floats, temperatures in hundredths of a degree.
//
// Set requests change the unit's state, so later answers show the change,
// and are acknowledged with the code 0x6035 (settable).
//
// Faults for the driver tests: another reply code for a sub-command, no
// answer, answers shorter than the report, report lengths that the driver
// does not accept, a report descriptor that cannot be read, stale and
// unsolicited reports queued ahead of the next answer, and unplugging.
//
// Attached to a preparation, the unit measures it (pressures, flow, force,
// pH, the chamber's temperature) and its set requests change it (pressure
// targets and gradient, pulsation, heater, pressure on and off, force zero).
//
// Thread-safe: the driver's thread talks to it through SimHidTransport while
// a test changes its state or injects reports.
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <vector>

#include "platform/sim/preparation_link.h"

namespace ORV::Sim {

using Report = std::vector<std::uint8_t>;

// An input report of `length` bytes: report id 1, the reply code, then `data`
// from byte 3 (cut at the length), zeros after it.
Report MakeReply(std::size_t length, std::uint16_t code, std::initializer_list<std::uint8_t> data = {});

class MultiInterfaceUnit : public PreparationLink {
 public:
  // Everything the unit measures and holds.
  struct State {
    float p1 = 60.0f, p2 = 40.0f, p3 = 0.0f;
    float targetP1 = 60.0f, targetP2 = 40.0f, gradient = 5.0f;
    float pH = 7.4f, force = 1.5f, force2 = 0.0f;
    std::int16_t flow = 0;  // signed in the pH-and-flow answer, its bit pattern in the fast block
    // Temperatures 1 to 6 in hundredths; 1 is the chamber, 4 the target.
    std::array<std::uint16_t, 6> temperatures{3650, 0, 0, 3700, 0, 0};
    // Digital states 1 to 8 as report bytes (1 = on): 1 heater, 2 flow,
    // 4 pressure, 5 device clock, 7 internal flow meter, 8 pulsation.
    std::array<std::uint8_t, 8> digital{};
    std::uint8_t firmwareHigh = 0x01, firmwareLow = 0x48;  // 3.28
    std::uint8_t modelByte = 6;                            // model code 0x100001
    std::uint16_t pulseRate = 20;
    std::uint8_t dutyRate = 10;
    std::array<std::uint32_t, 10> extended{};
    std::uint8_t extendedAbsent = 0;  // byte 63 of the fast block; 0: the extended values are present
    std::uint32_t info1 = 0x01020304;
    std::uint16_t info2 = 0x0506;
    std::uint32_t info3 = 0x0708090A;
    std::uint16_t info4 = 0x0B0C, info5 = 0x0D0E;
    std::array<std::uint8_t, 3> status{12, 34, 56};
    std::uint16_t constantFlowValue = 0;
    std::uint8_t constantFlowFirst = 0, constantFlowSecond = 0;
    std::uint32_t constantFlowWord = 0;
    std::uint16_t pingValue = 0x4B34;
    std::uint8_t reportId = 1;  // byte 0 of every input report
  };

  static constexpr std::uint16_t kAcknowledge = 0x6035;

  explicit MultiInterfaceUnit(std::size_t reportLength = 64);
  ~MultiInterfaceUnit();
  MultiInterfaceUnit(const MultiInterfaceUnit&) = delete;
  MultiInterfaceUnit& operator=(const MultiInterfaceUnit&) = delete;

  State GetState() const;
  void SetState(const State& state);
  // Changes the state in place, under the unit's lock.
  void Update(const std::function<void(State&)>& change);

  // The report lengths the unit's descriptor declares (both equal by default).
  void SetReportLengths(std::size_t input, std::size_t output);
  std::size_t InputLength() const;
  std::size_t OutputLength() const;
  // Whether the report lengths can be read from the device at all.
  void SetDescriptorReadable(bool readable);
  bool DescriptorReadable() const;

  // Faults of the answers. A sub-command answered with another code (its
  // data stays that of the sub-command); the code set requests are
  // acknowledged with; no answer at all; answers of only `bytes` bytes.
  void SetReplyCode(std::uint8_t command, std::uint16_t code);
  void SetAcknowledgeCode(std::uint16_t code);
  void SetSilent(std::uint8_t command, bool silent);
  void SetAnswerLength(std::uint8_t command, std::size_t bytes);
  // Writes, or reads, fail (EIO) from now on.
  void SetWritesFail(bool fail);
  void SetReadsFail(bool fail);
  // The unit goes away: every later read and write fails (ENODEV).
  void Unplug();
  // The unit is back (plugged in again): reads and writes work again.
  void Replug();
  // Every answer at once: none at all (silent), or a report of the right
  // length whose code and bytes are no answer (garbage). Both false: the
  // unit answers as it should.
  void SetAllSilent(bool silent);
  void SetAllGarbage(bool garbage);

  // Reports ahead of the next answer, as a unit sends them on its own or
  // late: a report as given, or the unit's own answer to `command` from its
  // present state.
  void InjectReport(const Report& report);
  void InjectAnswer(std::uint8_t command);
  std::size_t QueuedReports() const;

  // The unit keeps a clock of its own from now on: it reports having one
  // (digital state 5) and its status bytes give the hours, minutes and
  // seconds of a clock that runs on from the time given (at 24 hours it
  // starts again from 0).
  void StartClock(int hours, int minutes, int seconds);

  // Every output report received, in order.
  std::vector<Report> Received() const;
  // The sub-commands received, in order.
  std::vector<std::uint8_t> ReceivedCommands() const;
  void ClearReceived();
  // Whether output reports are kept for the two above (they are unless
  // switched off): a unit that runs for hours keeps none, so its memory
  // stays flat.
  void KeepReceived(bool keep);

  // The device side, used by the simulated transport. Write takes one
  // output report: false with errno-style `error` when it fails. Read waits
  // up to `waitMs` for the next queued input report: 1 when one came, 0
  // when none, -1 with `error` when the unit failed.
  bool Write(const std::uint8_t* data, std::size_t size, int& error);
  int Read(Report& report, int waitMs, int& error);

 private:
  // The answer to one request, with the lock held; empty for none.
  Report Answer(const Report& request);
  Report AnswerData(std::uint8_t command) const;
  void Apply(const Report& request);
  // The state from the preparation, and a set request on to it; with the lock held.
  void Measure(Preparation& preparation);
  void Command(Preparation& preparation, const Report& request);

  mutable std::mutex mutex_;
  std::condition_variable queued_;
  State state_;
  std::size_t inputLength_;
  std::size_t outputLength_;
  bool descriptorReadable_ = true;
  std::map<std::uint8_t, std::uint16_t> replyCodes_;
  std::uint16_t acknowledgeCode_ = kAcknowledge;
  std::map<std::uint8_t, bool> silent_;
  std::map<std::uint8_t, std::size_t> answerLengths_;
  bool writesFail_ = false;
  bool readsFail_ = false;
  bool unplugged_ = false;
  bool allSilent_ = false;
  bool allGarbage_ = false;
  std::deque<Report> input_;
  bool keepReceived_ = true;
  std::vector<Report> received_;
  // The clock started by StartClock: its reading then and when that was.
  bool clockRunning_ = false;
  int clockStartSeconds_ = 0;
  std::chrono::steady_clock::time_point clockStartedAt_;
};

}  // namespace ORV::Sim
