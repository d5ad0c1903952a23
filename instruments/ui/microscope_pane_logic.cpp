#include "instruments/ui/microscope_pane_logic.h"

#include <memory>

#include "core/base/configuration.h"
#include "instruments/microscope.h"

namespace ORV {

namespace {
// Readings at or below this mean the microscope measures no temperature.
constexpr float kNoTemperature = -257.0f;
}  // namespace

MicroscopePaneLogic::MicroscopePaneLogic(Microscope* device, UI::CommandRunner& runner, Configuration& configuration,
                                         bool showTemperature)
    : device_(device), runner_(runner), configuration_(configuration), showTemperature_(showTemperature) {}

void MicroscopePaneLogic::TakeSample(const MicroscopeSample& sample) {
  lightLevel_ = sample.setting;
  temperature_ = sample.temperature;
  if (skipNextSample_) {
    skipNextSample_ = false;
    return;
  }
  Refresh();
}

void MicroscopePaneLogic::Refresh() {
  const bool connected = device_ != nullptr && device_->IsConnected();
  if (connected != connected_) {
    if (!connected) lightText_.clear();
    connected_ = connected;
  }
  if (connected_) {
    lightText_ = QString::number(lightLevel_);
    // A command under way keeps the slider where the user put it.
    if (lightLevel_ != lastPosition_ && requested_ == lastPosition_) {
      sliderPosition_ = lightLevel_;
      lastPosition_ = requested_ = lightLevel_;
    }
  }
  if (showTemperature_)
    temperatureText_ = temperature_ <= kNoTemperature
                           ? QStringLiteral("-----")
                           : QString::number(static_cast<double>(temperature_), 'f', 1) + QChar(0x00BA);
  Changed();
}

void MicroscopePaneLogic::SliderMoved(int position) {
  sliderPosition_ = position;
  if (position != requested_) SendLevel(position);
}

void MicroscopePaneLogic::SendLevel(int level) {
  if (device_ == nullptr) return;
  requested_ = level;
  sliderPosition_ = level;
  auto accepted = std::make_shared<bool>(false);
  runner_.Run([this, level, accepted] { *accepted = device_->SetValue(level); },
              [this, level, accepted] {
                if (*accepted) {
                  skipNextSample_ = true;
                  lastPosition_ = level;
                  lightText_ = QString::number(level);
                }
                // Only the newest command decides where the slider stands.
                if (requested_ == level) {
                  requested_ = lastPosition_;
                  sliderPosition_ = lastPosition_;
                }
                Changed();
              });
  Changed();
}

void MicroscopePaneLogic::SelectCamera(const std::string& cameraName) {
  if (device_ == nullptr) return;
  auto serial = std::make_shared<std::string>();
  runner_.Run([this, serial] { *serial = device_->SerialNumber(); },
              [this, serial, cameraName] { configuration_.SetSettingsString(*serial, cameraName); });
}

}  // namespace ORV
