#pragma once
// The docking pane of the four-chamber heat controller: each chamber's
// current and target temperature, a "Set" button per chamber and "Set
// differences". What it shows and sends is decided by HeaterPaneLogic; the
// pane only lays out the controls, opens the value dialogs and copies the
// logic's texts and enable states into its controls.
//
// Readings come from the heat-controller worker through Inbox() (the
// worker's target); the controller is commanded on the pane's own worker.
#include <QRect>
#include <QString>
#include <array>
#include <memory>

#include "instruments/sample_delivery.h"
#include "instruments/ui/command_runner.h"
#include "instruments/ui/heater_pane_logic.h"
#include "instruments/ui/pane_context.h"
#include "platform/ui/docking_pane.h"

class QLineEdit;
class CIconButton;

class CHeaterPane : public ORV::UI::DockingPane {
 public:
  static constexpr const char* kObjectName = "HeaterPane";
  static constexpr int kFirstCurrentEditId = 33868;  // then target edit, "Set", per chamber
  static constexpr int kSetDifferencesId = 33880;

  // `device` is the interface manager's heat controller.
  CHeaterPane(const ORV::InstrumentPaneContext& context, ORV::HeatController& device, const QString& title,
              QWidget* parent = nullptr);
  ~CHeaterPane() override;

  // The listener to hand to the heat-controller worker.
  const std::shared_ptr<ORV::SampleInbox>& Inbox() const { return inbox_; }
  ORV::HeaterPaneLogic& Logic() { return *logic_; }
  // Commands given and not yet finished on the pane's worker.
  bool Busy() const { return runner_->Busy(); }

  QLineEdit* CurrentEdit(int chamber) const { return currentEdits_[chamber]; }
  QLineEdit* TargetEdit(int chamber) const { return targetEdits_[chamber]; }
  CIconButton* SetButton(int chamber) const { return setButtons_[chamber]; }
  CIconButton* SetDifferencesButton() const { return differencesButton_; }

  // The button handlers: the value dialogs, then the command.
  void OnSetTarget(int chamber);
  void OnSetDifferences();

 protected:
  QSize FixedSize96() const override { return {200, 200}; }
  int OnCreate() override;
  void OnPaint(QPainter& painter) override;

 private:
  ORV::UI::LRESULT OnNewSample(ORV::UI::WPARAM kind, ORV::UI::LPARAM ticket);
  void ShowState();
  // Chamber `chamber`'s row (its edits and its Set button) on the screen.
  QRect RowOnScreen(int chamber) const;

  std::shared_ptr<ORV::SampleInbox> inbox_;
  std::unique_ptr<ORV::UI::WorkerCommandRunner> runner_;
  std::unique_ptr<ORV::HeaterPaneLogic> logic_;
  std::array<QLineEdit*, 4> currentEdits_{};
  std::array<QLineEdit*, 4> targetEdits_{};
  std::array<CIconButton*, 4> setButtons_{};
  CIconButton* differencesButton_ = nullptr;
  // Last, so that the window closes before the members above go.
  ORV::UI::MessageWindowCloser closer_{*this};
};
