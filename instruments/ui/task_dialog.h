#pragma once
// The dialog in which the user enters or changes one task of the sequence:
// description, duration, pressure and temperature targets and what to wait
// for, pulsation, the marker and the prompt at the task's end. OK refuses a
// P2 above P1 and keeps the dialog open. TaskDialogLogic holds the values.
#include <QString>
#include <map>

#include "instruments/ui/sequencer_pane_logic.h"
#include "platform/ui/dialog.h"

class QWidget;

class CTaskDialog : public ORV::UI::Dialog {
 public:
  // The control ids.
  enum Control : int {
    kDescription = 1006,
    kShowMarker = 1056,
    kDuration = 1039,
    kP1 = 1031,
    kWaitP1 = 1042,
    kP2Label = 1184,
    kP2 = 1040,
    kWaitP2 = 1043,
    kTemperatureLabel = 1185,
    kTemperature = 1041,
    kWaitTemperature = 1044,
    kPulsation = 1032,
    kPulsationGroup = 1090,
    kPulseRateLabel = 1089,
    kPulseRate = 1058,
    kPromptUser = 1034,
    kPrompt = 1038,
    kOk = 1,
    kCancel = 2,
  };

  // `p2Row`: the task has a P2 row; `pulsation`: the unit pulses; `edit`:
  // the task exists (caption "Edit task").
  CTaskDialog(QWidget* owner, const ORV::SequencerTask& task, bool p2Row, bool pulsation, bool edit);

  // The task as OK left it.
  const ORV::SequencerTask& Task() const { return logic_.Task(); }
  // A control by its id (null for none).
  QWidget* Control(int id) const;

 protected:
  bool OnInitDialog() override;
  void OnOK() override;

 private:
  ORV::TaskDialogLogic::Fields Read() const;
  void Add(int id, QWidget* widget, int x, int y, int width, int height);
  QRect MapTemplatePixels(int x, int y, int width, int height) const;
  void MoveToTemplatePixels(int id, int x, int y);

  ORV::TaskDialogLogic logic_;
  std::map<int, QWidget*> controls_;
  // Last, so that the window closes before the members above go.
  ORV::UI::MessageWindowCloser closer_{*this};
};
