#pragma once
// What the heater pane shows and does, free of widgets: the four chambers'
// current and target temperatures of the heat controller, the enable state
// of each chamber's controls, and the two commands (one chamber's target, the
// four temperature differences).
//
// Readings come from the heat-controller worker (TakeSample). Each reading
// re-evaluates the connection; when it comes back, the controller's targets
// and differences are read again. Every exchange with the controller runs
// through the command runner; the state changes when it is done, and then
// `onChanged` tells the pane to show it.
#include <QString>
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>

#include "instruments/records/instrument_records.h"
#include "instruments/ui/command_runner.h"

namespace ORV {

class HeatController;

class HeaterPaneLogic {
 public:
  static constexpr std::size_t kChambers = 4;
  using Four = std::array<float, kChambers>;

  enum class Outcome { Sent, NotConnected, OutOfRange };

  // `minimum` and `maximum` bound the targets that are sent (inclusive).
  HeaterPaneLogic(HeatController& device, UI::CommandRunner& runner, float minimum, float maximum);

  std::function<void()> onChanged;

  void TakeSample(const HeatControllerSample& sample);
  // Re-reads the connection state and the texts.
  void Refresh();

  bool Connected() const { return connected_; }
  // The current edit, the target edit and the "Set" button of chamber i.
  bool ChamberEnabled(std::size_t chamber) const { return connected_ && chamberOn_[chamber] != 0; }
  bool DifferencesEnabled() const { return connected_; }
  const QString& CurrentText(std::size_t chamber) const { return currentTexts_[chamber]; }
  const QString& TargetText(std::size_t chamber) const { return targetTexts_[chamber]; }
  const Four& Targets() const { return targets_; }
  const Four& Differences() const { return differences_; }
  float Minimum() const { return minimum_; }
  float Maximum() const { return maximum_; }

  bool InRange(float value) const { return value >= minimum_ && value <= maximum_; }
  // Sends the chamber's new target unless it lies outside the range or the
  // controller is not connected. When the controller does not take it, the
  // target edit shows what the controller still holds.
  Outcome SetTarget(std::size_t chamber, float value);
  Outcome SetDifferences(const Four& differences);

  // "%.1fº"
  static QString Degrees(float value);

 private:
  void ShowCurrents();
  void Changed() const {
    if (onChanged) onChanged();
  }

  HeatController& device_;
  UI::CommandRunner& runner_;
  const float minimum_;
  const float maximum_;
  Four targets_{};
  Four differences_{};
  std::array<std::uint8_t, kChambers> chamberOn_{};
  Four currents_{};
  bool connected_ = false;
  std::array<QString, kChambers> currentTexts_;
  std::array<QString, kChambers> targetTexts_;
};

}  // namespace ORV
