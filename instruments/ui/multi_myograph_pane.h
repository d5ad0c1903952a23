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
// pane's own worker (MyographPaneBase).
#include <QString>

#include "core/base/scoped_registration.h"
#include "core/threading/newest_value.h"
#include "instruments/ui/multi_myograph_pane_logic.h"
#include "instruments/ui/myograph_pane_base.h"

class CMyographMultiWnd : public ORV::UI::MyographPaneBase<ORV::MultiMyographPaneLogic> {
 public:
  static constexpr const char* kObjectName = "MultiMyographPane";
  // Posted by the pane to itself after queueing a sample (0, 0).
  static constexpr std::uint32_t WM_MULTI_PANE_SAMPLE = ORV::UI::WM_APP + 1100;
  static constexpr std::uint32_t WM_MULTI_PANE_ACTIVE = ORV::UI::WM_APP + 1101;

  // `device` is the interface manager's multi interface; its model code
  // (known once it is loaded) chooses the controls.
  CMyographMultiWnd(const ORV::InstrumentPaneContext& context, ORV::PressureMultiMyographK4x& device,
                    const QString& title, QWidget* parent = nullptr);

  // PressureDataConsumer, any thread.
  void OnPressureData(const ORV::PMK4xData3& sample) override;

 protected:
  QSize FixedSize96() const override { return {200, variant_.Height96()}; }
  int OnCreate() override;
  void OnPaint(QPainter& painter) override;
  void RunCommand(int id) override;
  void ShowQueuedSamples() override;

 private:
  void OnEnterKey(QKeyEvent* key) override;
  void Report(const ORV::MultiMyographPaneLogic::Messages& messages);

  const ORV::MultiMyographPaneLogic::Variant variant_;
  const ORV::MultiMyographPaneLogic::Limits limits_;
  // The newest sample the sampler handed over; the GUI thread shows only it.
  ORV::Threading::NewestValue<ORV::PMK4xData3> sample_;
  // In the experiment record's pressure receivers while the interface is
  // connected. Declared after what it fills: the pane leaves the list before
  // the sample it fills goes.
  ORV::ScopedRegistration pressureRegistration_;
  // Last, so that the window closes before the members above go.
  ORV::UI::MessageWindowCloser closer_{*this};
};
