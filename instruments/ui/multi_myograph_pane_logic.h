#pragma once
// What the multi myograph pane shows and does, free of widgets: the multi
// interface's heater temperature, inlet (P1) and outlet (P2) pressures with
// their targets, gradient, force, pH and pulsation settings, its heater,
// pressure, flow and pulsation states, the enable rules of the pane's
// controls and its commands.
//
// The model decides what there is: the compact unit has no force, the
// single-pressure unit neither P2 nor flow, and only the fast unit pulses.
// In the incubation-chamber layout there is no heater and no force.
//
// Samples reach the logic in two steps: AcceptSample, on the sampler's
// thread, drops the first sample after a command (it may predate the
// change); ShowSample, on the GUI thread, shows the newest sample queued.
// Every exchange with the unit runs through the command runner. Entries the
// user is editing are never overwritten by samples.
#include <QString>
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "instruments/records/instrument_records.h"
#include "instruments/ui/command_runner.h"
#include "instruments/ui/myograph_readings.h"
#include "instruments/ui/target_entry.h"

namespace ORV {

class PressureMultiMyographK4x;

// Where the unit's own clock is shown (the main frame's status line).
class DeviceClockDisplay {
 public:
  virtual ~DeviceClockDisplay() = default;
  // Whether the unit has a clock; told with every sample shown.
  virtual void SetDeviceClockAvailable(bool available) = 0;
  virtual void SetDeviceClock(int hours, int minutes, int seconds) = 0;
};

class MultiMyographPaneLogic {
 public:
  // The pane's control ids.
  enum Control : int {
    kChangeTemperature = 33769,
    kCurrentTemperature = 33773,
    kTargetTemperature = 33774,
    kHeaterOn = 33775,
    kHeaterOff = 33776,
    kPressureOn = 33777,
    kPressureOff = 33778,
    kChangePressures = 33779,
    kCurrentP1 = 33781,
    kTargetP1 = 33782,
    kCurrentP2 = 33783,
    kTargetP2 = 33784,
    kFlowOn = 33785,
    kForce = 33786,
    kZeroForce = 33787,
    kPH = 33788,
    kGradient = 33789,
    kFlowOff = 33790,
    kChangePulsation = 33791,
    kPulsationOn = 33792,
    kPulsationOff = 33793,
    kPulseRate = 33794,
    kDutyRate = 33795,
  };
  // The model codes that change the pane.
  static constexpr std::uint32_t kModelFast = 0x100001;
  static constexpr std::uint32_t kModelCompact = 0x100004;
  static constexpr std::uint32_t kModelSinglePressure = 0x100008;

  // Why a command refused a value (each is a message box in the pane).
  enum class Message { TemperatureRange, PressureRange, P2AboveP1, GradientRange, DutyRange, PulseRange };
  using Messages = std::vector<Message>;

  struct Limits {
    float minimumTemperature = 20.0f, maximumTemperature = 45.0f;
    float minimumPressure = 0.0f, maximumPressure = 250.0f;
  };
  // Which pane: the product layout and the unit's model code.
  struct Variant {
    bool incubation = false;
    std::uint32_t modelCode = 0;
    bool Compact() const { return modelCode == kModelCompact; }
    bool SinglePressure() const { return modelCode == kModelSinglePressure; }
    bool Pulsation() const { return modelCode == kModelFast; }
    bool HasHeater() const { return !incubation; }
    bool HasForce() const { return !incubation && !Compact() && !SinglePressure(); }
    bool HasP2() const { return !SinglePressure(); }
    bool HasFlow() const { return !SinglePressure(); }
    // The pane's height at 96 DPI (its width is 200).
    int Height96() const;
  };
  // The entry fields; null where the variant has none.
  struct Entries {
    TargetEntry* temperature = nullptr;
    TargetEntry* p1 = nullptr;
    TargetEntry* p2 = nullptr;
    TargetEntry* gradient = nullptr;
    TargetEntry* pulseRate = nullptr;
    TargetEntry* dutyRate = nullptr;
  };

  MultiMyographPaneLogic(PressureMultiMyographK4x& device, UI::CommandRunner& runner, const Variant& variant,
                         const Limits& limits, const Entries& entries, DeviceClockDisplay* clock = nullptr);

  std::function<void()> onChanged;

  // For a connected unit: becomes active and reads the heater, flow and
  // pressure states. False (and inactive) when the unit is not connected.
  bool Start();
  // Sampler's thread: false for a sample that is to be dropped.
  bool AcceptSample();
  // GUI thread: shows the newest sample queued.
  void ShowSample(const PMK4xData3& sample);
  void SetActive(bool on);

  void HeaterOn();
  void HeaterOff();
  void PressureOn();
  void PressureOff();
  void FlowOn();
  void FlowOff();
  void ZeroForce();
  Messages ChangeTemperature();
  Messages ChangePressures();
  Messages ChangePulsation();
  void PulsationOn() { SwitchPulsation(true); }
  void PulsationOff() { SwitchPulsation(false); }
  // Return in an entry field: the temperature being edited, then the pressures.
  Messages EnterKey();

  bool Enabled(int control) const;
  const Variant& GetVariant() const { return variant_; }
  bool Active() const { return active_; }
  bool HeaterIsOn() const { return heaterOn_; }
  bool PressureIsOn() const { return pressureOn_; }
  bool FlowIsOn() const { return flowOn_; }
  bool PulsationRunning() const { return pulsationRunning_; }
  bool SkipsNextSample() const { return skipNextSample_.load(); }
  float PulseRate() const { return pulseRate_; }
  std::uint8_t DutyRate() const { return dutyRate_; }
  // The read-only value of a control (current temperature, P1, P2, force, pH).
  QString ValueText(int control) const { return readings_.Text<MultiMyographPaneLogic>(control); }

  // An entry's text as a number, "," taken as the decimal point; empty
  // text reads 0. Any locale.
  static std::optional<double> ReadNumber(const QString& text);

 private:
  enum class Output { Heater, Flow, Pressure };
  bool Ready() const;
  void SwitchOutput(Output output, bool on);
  void SwitchPulsation(bool on);
  std::uint16_t StoredPulseRate() const;
  void ReadClock();
  void Changed() const {
    if (onChanged) onChanged();
  }

  PressureMultiMyographK4x& device_;
  UI::CommandRunner& runner_;
  const Variant variant_;
  const Limits limits_;
  const Entries entries_;
  DeviceClockDisplay* const clock_;

  std::atomic<bool> skipNextSample_{false};
  bool active_ = false;
  bool heaterOn_ = true, pressureOn_ = true, flowOn_ = false;
  bool pulsationRunning_ = false;
  bool clockPending_ = false;
  std::uint8_t dutyRate_ = 0;
  float pulseRate_ = 0.0f;
  // The unit's targets at the last sample shown: what an entry that is not
  // being edited stands for.
  float targetTemperature_ = 0.0f, targetP1_ = 0.0f, targetP2_ = 0.0f, gradient_ = 0.0f;
  MyographReadings readings_;
};

}  // namespace ORV
