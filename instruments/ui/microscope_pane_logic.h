#pragma once
// What a microscope pane shows and does, free of widgets: the infrared light
// level (slider, "-" and "+"), the chamber temperature the microscope
// measures (incubation chamber systems only) and which camera the microscope
// is attached to.
//
// Readings come from the microscope's worker (TakeSample). A light command
// runs through the command runner; when the microscope took it, the reading
// that follows (which may predate the change) is not shown. When it did not,
// the slider goes back to the level last sent.
#include <QString>
#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>

#include "instruments/records/instrument_records.h"
#include "instruments/ui/command_runner.h"

namespace ORV {

class Configuration;
class Microscope;

class MicroscopePaneLogic {
 public:
  static constexpr int kMaximumLevel = 1000;
  static constexpr int kStep = 10;

  // `device` may be null (no microscope of the pane's index).
  MicroscopePaneLogic(Microscope* device, UI::CommandRunner& runner, Configuration& configuration,
                      bool showTemperature);

  std::function<void()> onChanged;

  void TakeSample(const MicroscopeSample& sample);
  void Refresh();

  // The user moved the slider to `position`: one command per new position.
  void SliderMoved(int position);
  void LightDown() { SendLevel(std::max(0, sliderPosition_ - kStep)); }
  void LightUp() { SendLevel(std::min(kMaximumLevel, sliderPosition_ + kStep)); }
  // Remembers, under the microscope's serial number, the camera it is
  // attached to (an empty name for none).
  void SelectCamera(const std::string& cameraName);

  bool Connected() const { return connected_; }
  // The slider and the "-" and "+" buttons.
  bool LightEnabled() const { return connected_; }
  bool ShowTemperature() const { return showTemperature_; }
  int SliderPosition() const { return sliderPosition_; }
  const QString& LightText() const { return lightText_; }
  const QString& TemperatureText() const { return temperatureText_; }

 private:
  void SendLevel(int level);
  void Changed() const {
    if (onChanged) onChanged();
  }

  Microscope* const device_;
  UI::CommandRunner& runner_;
  Configuration& configuration_;
  const bool showTemperature_;
  bool connected_ = false;
  bool skipNextSample_ = false;
  int lastPosition_ = 0;  // the level last shown or accepted
  int requested_ = 0;     // the level last sent (lastPosition_ when none is under way)
  int sliderPosition_ = 0;
  float temperature_ = 0.0f;
  std::int32_t lightLevel_ = 0;
  QString lightText_ = QStringLiteral("0");
  QString temperatureText_ = QStringLiteral("0");
};

}  // namespace ORV
