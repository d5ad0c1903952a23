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
// pane's own worker (MyographPaneBase).
#include <QString>
#include <deque>
#include <mutex>

#include "core/base/scoped_registration.h"
#include "instruments/ui/myograph_pane_base.h"
#include "instruments/ui/myograph_pane_logic.h"

class CMyographWnd : public ORV::UI::MyographPaneBase<ORV::MyographPaneLogic> {
 public:
  static constexpr const char* kObjectName = "MyographPane";
  // Posted by the pane to itself after queueing a sample (0, 0).
  static constexpr std::uint32_t WM_MYOGRAPH_PANE_SAMPLE = ORV::UI::WM_APP + 1902;
  static constexpr std::uint32_t WM_MYOGRAPH_PANE_ACTIVE = ORV::UI::WM_APP + 1903;

  // `device` is the interface manager's single pressure interface.
  CMyographWnd(const ORV::InstrumentPaneContext& context, ORV::PressureMyographK4x& device, const QString& title,
               QWidget* parent = nullptr);

  // PressureDataConsumer, any thread.
  void OnPressureData(const ORV::PMK4xData3& sample) override;

 protected:
  QSize FixedSize96() const override { return {200, 345}; }
  int OnCreate() override;
  void OnPaint(QPainter& painter) override;
  void RunCommand(int id) override;
  void ShowQueuedSamples() override;
  void OnStateShown() override;

 private:
  void OnEnterKey(QKeyEvent* key) override;
  void Report(ORV::MyographPaneLogic::Outcome outcome);

  ORV::PressureMyographK4x& device_;
  const bool pressureOnly_;
  const ORV::MyographPaneLogic::Limits limits_;
  std::mutex lock_;
  std::deque<ORV::PMK4xData3> queue_;  // guarded by lock_
  // In the experiment record's pressure receivers while the interface is
  // connected. Declared after what it fills: the pane leaves the list before
  // the queue and its lock go.
  ORV::ScopedRegistration pressureRegistration_;
  // Last, so that the window closes before the members above go.
  ORV::UI::MessageWindowCloser closer_{*this};
};
