#pragma once
// The docking pane of the single pressure interface: current and target
// heater temperature, inlet (P1) and outlet (P2) pressure, force and pH, the
// heater, pressure and flow states, and the commands that switch the heater
// and the pressure, set targets and zero the force. Two layouts: the full
// one, and the pressure-only one of incubation chamber systems (no heater,
// no force). MyographPaneLogic decides what is shown and sent.
//
// Samples arrive on the sampling thread through the experiment record's
// pressure receivers; the pane queues them and posts itself a message, and
// the GUI thread hands them to the logic in order. Commands run on the
// pane's own worker.
#include <QString>
#include <deque>
#include <map>
#include <memory>
#include <mutex>

#include "core/base/scoped_registration.h"
#include "core/experiment/consumers.h"
#include "instruments/ui/command_runner.h"
#include "instruments/ui/instrument_pane_parts.h"
#include "instruments/ui/myograph_pane_logic.h"
#include "instruments/ui/pane_context.h"
#include "platform/ui/docking_pane.h"
#include "platform/ui/enter_key_interface.h"

class CFocusEdit;
class QLineEdit;
class QTimer;

class CMyographWnd : public ORV::UI::DockingPane, private ORV::PressureDataConsumer, private CEnterKeyInterface {
 public:
  static constexpr const char* kObjectName = "MyographPane";
  // Posted by the pane to itself after queueing a sample (0, 0).
  static constexpr std::uint32_t WM_MYOGRAPH_PANE_SAMPLE = ORV::UI::WM_APP + 1902;
  static constexpr std::uint32_t WM_MYOGRAPH_PANE_ACTIVE = ORV::UI::WM_APP + 1903;

  // `device` is the interface manager's single pressure interface.
  CMyographWnd(const ORV::InstrumentPaneContext& context, ORV::PressureMyographK4x& device, const QString& title,
               QWidget* parent = nullptr);
  ~CMyographWnd() override;

  ORV::MyographPaneLogic& Logic() { return *logic_; }
  bool Busy() const { return runner_->Busy(); }
  // A control by its id (null when the layout has none).
  QWidget* Control(int id) const;
  CFocusEdit* TargetEdit(int id) const;
  // Runs the command of a button id, as its click does.
  void OnCommand(int id);
  // Brings every control's enabled state up to date (done on a timer too).
  void UpdateControls();

  // PressureDataConsumer, any thread.
  void OnPressureData(const ORV::PMK4xData3& sample) override;
  void SetActive(bool on) override;

 protected:
  QSize FixedSize96() const override { return {200, 345}; }
  int OnCreate() override;
  void OnPaint(QPainter& painter) override;

 private:
  void OnEnterKey(QKeyEvent* key) override;
  ORV::UI::LRESULT OnSamples(ORV::UI::WPARAM, ORV::UI::LPARAM);
  void ShowState();
  void Report(ORV::MyographPaneLogic::Outcome outcome);

  ORV::ExperimentData& experiment_;
  ORV::PressureMyographK4x& device_;
  const bool pressureOnly_;
  const ORV::MyographPaneLogic::Limits limits_;
  std::unique_ptr<ORV::UI::WorkerCommandRunner> runner_;
  std::unique_ptr<ORV::UI::FocusEditEntry> temperatureEntry_, p1Entry_, p2Entry_;
  std::unique_ptr<ORV::MyographPaneLogic> logic_;
  std::map<int, QWidget*> controls_;
  QTimer* updateTimer_ = nullptr;
  std::mutex lock_;
  std::deque<ORV::PMK4xData3> queue_;  // guarded by lock_
  // In the experiment record's pressure receivers while the interface is
  // connected. Declared last: the pane leaves the list before the queue and
  // its lock go, even where the destructor did not reset it.
  ORV::ScopedRegistration pressureRegistration_;
};
