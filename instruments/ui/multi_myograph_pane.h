#pragma once
// The docking pane of the multi interface: heater temperature, inlet (P1)
// and outlet (P2) pressures with their targets and gradient, force, pH and
// the pulsation settings, and the commands that switch the heater, the
// pressure, the flow and the pulsation, set targets and zero the force.
// Which controls there are follows the unit's model and the product layout
// (MultiMyographPaneLogic::Variant); the logic decides what is shown and
// sent.
//
// Samples arrive on the sampler's thread through the experiment record's
// pressure receivers; the pane queues them and posts itself a message, and
// the GUI thread shows only the newest of those queued. Commands run on the
// pane's own worker.
#include <QString>
#include <map>
#include <memory>

#include "core/base/scoped_registration.h"
#include "core/experiment/consumers.h"
#include "core/threading/newest_value.h"
#include "instruments/ui/command_runner.h"
#include "instruments/ui/instrument_pane_parts.h"
#include "instruments/ui/multi_myograph_pane_logic.h"
#include "instruments/ui/pane_context.h"
#include "platform/ui/docking_pane.h"
#include "platform/ui/enter_key_interface.h"

class CFocusEdit;

class CMyographMultiWnd : public ORV::UI::DockingPane, private ORV::PressureDataConsumer, private CEnterKeyInterface {
 public:
  static constexpr const char* kObjectName = "MultiMyographPane";
  // Posted by the pane to itself after queueing a sample (0, 0).
  static constexpr std::uint32_t WM_MULTI_PANE_SAMPLE = ORV::UI::WM_APP + 1100;
  static constexpr std::uint32_t WM_MULTI_PANE_ACTIVE = ORV::UI::WM_APP + 1101;

  // `device` is the interface manager's multi interface; its model code
  // (known once it is loaded) chooses the controls.
  CMyographMultiWnd(const ORV::InstrumentPaneContext& context, ORV::PressureMultiMyographK4x& device,
                    const QString& title, QWidget* parent = nullptr);
  ~CMyographMultiWnd() override;

  ORV::MultiMyographPaneLogic& Logic() { return *logic_; }
  bool Busy() const { return runner_->Busy(); }
  // A control by its id (null when the variant has none).
  QWidget* Control(int id) const;
  CFocusEdit* Entry(int id) const;
  // Runs the command of a button id, as its click does.
  void OnCommand(int id);
  // Brings every control's enabled state up to date (done on a timer too).
  void UpdateControls();

  // PressureDataConsumer, any thread.
  void OnPressureData(const ORV::PMK4xData3& sample) override;
  void SetActive(bool on) override;

 protected:
  QSize FixedSize96() const override { return {200, variant_.Height96()}; }
  int OnCreate() override;
  void OnPaint(QPainter& painter) override;

 private:
  void OnEnterKey(QKeyEvent* key) override;
  ORV::UI::LRESULT OnSamples(ORV::UI::WPARAM, ORV::UI::LPARAM);
  void ShowState();
  void Report(const ORV::MultiMyographPaneLogic::Messages& messages);

  ORV::ExperimentData& experiment_;
  ORV::PressureMultiMyographK4x& device_;
  const ORV::MultiMyographPaneLogic::Variant variant_;
  const ORV::MultiMyographPaneLogic::Limits limits_;
  std::unique_ptr<ORV::UI::WorkerCommandRunner> runner_;
  std::map<int, std::unique_ptr<ORV::UI::FocusEditEntry>> entries_;
  std::unique_ptr<ORV::MultiMyographPaneLogic> logic_;
  std::map<int, QWidget*> controls_;
  // The newest sample the sampler handed over; the GUI thread shows only it.
  ORV::Threading::NewestValue<ORV::PMK4xData3> sample_;
  // In the experiment record's pressure receivers while the interface is
  // connected. Declared last: the pane leaves the list before the sample it
  // fills goes, even where the destructor did not reset it.
  ORV::ScopedRegistration pressureRegistration_;
};
