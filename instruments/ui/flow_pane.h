#pragma once
// The docking pane that shows the flow meter's current reading.
//
// The pane is made with its context (the experiment record and the
// configuration) and registers as a flow receiver of that record when it is
// created. Samples arrive on the sampling thread (OnFlowData): the
// pane keeps the newest one and, unless a message is already on its way,
// posts WM_FLOW_PANE_FLOW to itself; on the GUI thread the handler takes the
// newest sample and shows the flow as a signed whole number. Samples that
// arrive faster than the pane handles its messages collapse into one; a
// message that finds no new sample changes nothing.
//
// The pane shows no pressure: it keeps the pressure receiver slot only so that
// whoever registers it there is removed again when the pane goes; the samples
// it gets there are dropped.
#include <QString>
#include <cstdint>

#include "core/base/scoped_registration.h"
#include "core/experiment/consumers.h"
#include "core/threading/newest_value.h"
#include "instruments/ui/pane_context.h"
#include "platform/ui/docking_pane.h"
#include "platform/ui/enter_key_interface.h"

class QLineEdit;

class CFlowPane : public ORV::UI::DockingPane,
                  private ORV::FlowDataConsumer,
                  private CEnterKeyInterface,
                  private ORV::PressureDataConsumer {
 public:
  // Posted by the pane to itself after queueing a flow sample (0, 0).
  static constexpr std::uint32_t WM_FLOW_PANE_FLOW = ORV::UI::WM_APP + 1901;
  static constexpr int kFlowEditId = 32968;

  // The pane's object name, by which the frame saves and restores its place.
  static constexpr const char* kObjectName = "FlowPane";

  CFlowPane(const ORV::InstrumentPaneContext& context, const QString& title, QWidget* parent = nullptr);
  ~CFlowPane() override;

  // Any thread: keeps the sample and posts WM_FLOW_PANE_FLOW when none is on
  // its way.
  void OnFlowData(const ORV::FMASL1600Data& sample) override;
  // Off empties the flow field; on does nothing (the next sample fills it).
  void SetActive(bool on) override;

  // The read-only field that shows the flow; null before Create().
  QLineEdit* FlowEdit() const { return flowEdit_; }

 protected:
  QSize FixedSize96() const override { return {230, 155}; }
  int OnCreate() override;
  void OnPaint(QPainter& painter) override;

 private:
  void OnEnterKey(QKeyEvent* key) override;
  void OnPressureData(const ORV::PMK4xData3& sample) override;
  ORV::UI::LRESULT OnFlowArrived(ORV::UI::WPARAM, ORV::UI::LPARAM);

  ORV::ExperimentData& experiment_;
  QLineEdit* flowEdit_ = nullptr;
  ORV::Threading::NewestValue<ORV::FMASL1600Data> flow_;
  // In the experiment record's flow receivers; declared after the value it
  // fills, so the pane leaves the list before that value goes.
  ORV::ScopedRegistration flowRegistration_;
  // Last, so that the window closes before the members above go.
  ORV::UI::MessageWindowCloser closer_{*this};
};
