#include "instruments/ui/heater_pane_logic.h"

#include <memory>

#include "instruments/heat_controller.h"

namespace ORV {

HeaterPaneLogic::HeaterPaneLogic(HeatController& device, UI::CommandRunner& runner, float minimum, float maximum)
    : device_(device), runner_(runner), minimum_(minimum), maximum_(maximum) {
  currentTexts_.fill(QStringLiteral("0"));
  targetTexts_.fill(QStringLiteral("0"));
}

QString HeaterPaneLogic::Degrees(float value) {
  return QString::number(static_cast<double>(value), 'f', 1) + QChar(0x00BA);
}

void HeaterPaneLogic::TakeSample(const HeatControllerSample& sample) {
  chamberOn_ = sample.channelFlags;
  currents_ = sample.temperatures;
  Refresh();
}

void HeaterPaneLogic::Refresh() {
  const bool connected = device_.IsConnected();
  if (connected != connected_) {
    connected_ = connected;
    if (!connected) {
      for (std::size_t i = 0; i < kChambers; ++i) {
        currentTexts_[i].clear();
        targetTexts_[i].clear();
      }
    } else {
      // The controller's lock may be held by a reading under way.
      auto settings = std::make_shared<std::pair<Four, Four>>();
      runner_.Run(
          [this, settings] {
            *settings = {device_.Targets(), device_.Differences()};
          },
          [this, settings] {
            targets_ = settings->first;
            differences_ = settings->second;
            for (std::size_t i = 0; i < kChambers; ++i) targetTexts_[i] = Degrees(targets_[i]);
            ShowCurrents();
            Changed();
          });
    }
  }
  ShowCurrents();
  Changed();
}

void HeaterPaneLogic::ShowCurrents() {
  if (!connected_) return;
  for (std::size_t i = 0; i < kChambers; ++i)
    currentTexts_[i] = chamberOn_[i] == 1 ? Degrees(currents_[i] - differences_[i]) : QString();
}

HeaterPaneLogic::Outcome HeaterPaneLogic::SetTarget(std::size_t chamber, float value) {
  if (!connected_ || chamber >= kChambers) return Outcome::NotConnected;
  if (!InRange(value)) return Outcome::OutOfRange;
  auto held = std::make_shared<float>(targets_[chamber]);
  runner_.Run(
      [this, chamber, value, held] {
        device_.SetTarget(chamber, value);
        *held = device_.Targets()[chamber];
      },
      [this, chamber, held] {
        targets_[chamber] = *held;
        targetTexts_[chamber] = Degrees(*held);
        Changed();
      });
  return Outcome::Sent;
}

HeaterPaneLogic::Outcome HeaterPaneLogic::SetDifferences(const Four& differences) {
  if (!connected_) return Outcome::NotConnected;
  auto held = std::make_shared<Four>(differences_);
  runner_.Run(
      [this, differences, held] {
        device_.SetDifferences(differences);
        *held = device_.Differences();
      },
      [this, held] {
        differences_ = *held;
        Changed();
      });
  return Outcome::Sent;
}

}  // namespace ORV
