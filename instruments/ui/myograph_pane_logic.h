#pragma once
// What the single myograph pane shows and does, free of widgets: the single
// pressure interface's current and target values, its heater, pressure and
// flow states, the enable rules of the pane's controls and its commands.
//
// The three target entries are the pane's focus edits, seen through
// TargetEntry: the user types into an entry while it is being edited, and a
// sample never overwrites it then. Every exchange with the unit runs through
// the command runner; after a command the next sample (which may predate
// it) is dropped, and a command the unit does not take puts back what the
// unit holds.
#include <QString>
#include <cstdint>
#include <functional>

#include "instruments/records/instrument_records.h"
#include "instruments/ui/command_runner.h"
#include "instruments/ui/myograph_readings.h"
#include "instruments/ui/target_entry.h"

namespace ORV {

class PressureMyographK4x;

class MyographPaneLogic {
 public:
  // The pane's control ids.
  enum Control : int {
    kChangeTemperature = 33769,
    kChangePressure = 33772,
    kCurrentTemperature = 33773,
    kTargetTemperature = 33774,
    kCurrentP1 = 33775,
    kTargetP1 = 33776,
    kCurrentP2 = 33777,
    kTargetP2 = 33778,
    kForce = 33779,
    kZeroForce = 33780,
    kHeaterOn = 33781,
    kHeaterOff = 33782,
    kPressureOn = 33783,
    kPressureOff = 33784,
    kPH = 33785,
  };
  enum class Outcome { Done, Refused, OutOfRange, TemperatureOutOfRange, P2AboveP1, OldFirmware };

  struct Limits {
    float minimumTemperature = 20.0f, maximumTemperature = 45.0f;
    int minimumPressure = 0, maximumPressure = 250;
  };

  // `temperature` is null in the pressure-only layout.
  MyographPaneLogic(PressureMyographK4x& device, UI::CommandRunner& runner, bool pressureOnly, const Limits& limits,
                    TargetEntry* temperature, TargetEntry& p1, TargetEntry& p2);

  std::function<void()> onChanged;

  // Reads the firmware and flow state of a connected unit (at creation).
  void Start();
  void TakeSample(const PMK4xData3& sample);
  void SetActive(bool on);

  Outcome HeaterOn();
  Outcome HeaterOff() { return Switch(true, false); }
  Outcome PressureOn() { return Switch(false, true); }
  Outcome PressureOff() { return Switch(false, false); }
  Outcome ChangeTemperature();
  Outcome ChangePressure();
  Outcome ZeroForce();
  // Return in a target entry.
  void EnterKey();

  bool Enabled(int control) const;
  bool PressureOnly() const { return pressureOnly_; }
  bool Active() const { return active_; }
  bool HeaterIsOn() const { return heaterOn_; }
  bool PressureIsOn() const { return pressureOn_; }
  bool FlowEnabled() const { return flowEnabled_; }
  bool SkipsNextSample() const { return skipNextSample_; }
  std::uint32_t FirmwareCode() const { return firmwareCode_; }
  // The read-only value of a control (current temperature, P1, P2, force, pH).
  QString ValueText(int control) const { return readings_.Text<MyographPaneLogic>(control); }
  // Shown under the pressure frame: empty unless active with the pressure on.
  bool ShowsFlowState() const { return active_ && pressureOn_; }

 private:
  Outcome Switch(bool heater, bool on);
  bool Connected() const;
  void Changed() const {
    if (onChanged) onChanged();
  }

  PressureMyographK4x& device_;
  UI::CommandRunner& runner_;
  const bool pressureOnly_;
  const Limits limits_;
  TargetEntry* const temperatureEntry_;
  TargetEntry& p1Entry_;
  TargetEntry& p2Entry_;
  std::uint32_t firmwareCode_ = 0;
  bool skipNextSample_ = false;
  bool heaterOn_ = false, pressureOn_ = false, flowEnabled_ = true, active_ = true;
  // What the unit held at the last sample shown, put back after a refused command.
  float targetTemperature_ = 0.0f;
  int targetP1_ = 0, targetP2_ = 0;
  MyographReadings readings_;
};

}  // namespace ORV
