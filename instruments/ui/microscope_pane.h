#pragma once
// The docking pane of one microscope: its infrared light level with a slider
// and "-"/"+" buttons, the chamber temperature it measures (when the product
// is the incubation chamber system) and, when the frame offers it, the
// camera the microscope is attached to. MicroscopePaneLogic decides what is
// shown and sent; the pane lays out the controls and copies its state.
//
// Readings come from the microscope's worker through Inbox(); light commands
// run on the pane's own worker.
#include <QString>
#include <memory>
#include <string>
#include <vector>

#include "instruments/sample_delivery.h"
#include "instruments/ui/command_runner.h"
#include "instruments/ui/microscope_pane_logic.h"
#include "instruments/ui/pane_context.h"
#include "platform/ui/docking_pane.h"

class CIconButton;
class QComboBox;
class QLineEdit;
class QSlider;

class CMicroscopePane : public ORV::UI::DockingPane {
 public:
  static constexpr const char* kObjectNamePrefix = "MicroscopePane";
  static constexpr int kLightDownId = 43168;
  static constexpr int kLightUpId = 43169;
  static constexpr int kSliderId = 43170;
  static constexpr int kLightEditId = 43171;
  static constexpr int kTemperatureEditId = 43172;
  static constexpr int kCameraComboId = 43173;

  struct Options {
    int index = 0;                  // which microscope, 0-3; names the pane "MicroscopePane<index>"
    bool showCameraChoice = false;  // offer the camera choice (with `cameraName` selected)
    std::string cameraName;
  };

  // `device` is the interface manager's microscope of that index, or null.
  CMicroscopePane(const ORV::InstrumentPaneContext& context, ORV::Microscope* device, const Options& options,
                  const QString& title, QWidget* parent = nullptr);
  ~CMicroscopePane() override;

  const std::shared_ptr<ORV::SampleInbox>& Inbox() const { return inbox_; }
  ORV::MicroscopePaneLogic& Logic() { return *logic_; }
  bool Busy() const { return runner_->Busy(); }

  QSlider* Slider() const { return slider_; }
  CIconButton* DownButton() const { return downButton_; }
  CIconButton* UpButton() const { return upButton_; }
  QLineEdit* LightEdit() const { return lightEdit_; }
  QLineEdit* TemperatureEdit() const { return temperatureEdit_; }
  QComboBox* CameraCombo() const { return cameraCombo_; }

 protected:
  QSize FixedSize96() const override;
  int OnCreate() override;
  void OnPaint(QPainter& painter) override;

 private:
  ORV::UI::LRESULT OnNewSample(ORV::UI::WPARAM kind, ORV::UI::LPARAM ticket);
  void OnCameraSelected(int position);
  // The current experiment's camera names.
  std::vector<std::string> CameraNames() const;
  void ShowState();

  ORV::ExperimentData& experiment_;
  const Options options_;
  std::shared_ptr<ORV::SampleInbox> inbox_;
  std::unique_ptr<ORV::UI::WorkerCommandRunner> runner_;
  std::unique_ptr<ORV::MicroscopePaneLogic> logic_;
  QSlider* slider_ = nullptr;
  CIconButton* downButton_ = nullptr;
  CIconButton* upButton_ = nullptr;
  QLineEdit* lightEdit_ = nullptr;
  QLineEdit* temperatureEdit_ = nullptr;
  QComboBox* cameraCombo_ = nullptr;
  bool showing_ = false;  // the pane itself moves the slider
  // Last, so that the window closes before the members above go.
  ORV::UI::MessageWindowCloser closer_{*this};
};
