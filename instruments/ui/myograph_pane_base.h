#pragma once
// What the single and the multi interface's panes have in common: the
// command worker and the pane's logic, the controls by id with their enabled
// states brought up to date on a timer, the entry fields the logic reads its
// targets from, the logic's active state and the samples handed to the GUI
// thread as posted messages, and the headings both panes paint.
//
// `PaneLogic` is the pane's widget-free logic (MyographPaneLogic or
// MultiMyographPaneLogic): onChanged, SetActive, Enabled and ValueText. A
// pane adds its entries, makes its logic on them and hands it over with
// SetLogic, all in its constructor. Samples it queues in OnPressureData
// (any thread) and posts itself the sample message; ShowQueuedSamples then
// gives them to the logic on the GUI thread.
//
// The pane declares its pressure registration after what the samples fill,
// and a MessageWindowCloser last: it leaves the receiver list and stops its
// messages before those go. The worker here finishes its command before the
// logic and the entries go.
#include <QString>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "core/experiment/consumers.h"
#include "instruments/ui/command_runner.h"
#include "instruments/ui/instrument_pane_parts.h"
#include "instruments/ui/pane_context.h"
#include "platform/ui/docking_pane.h"
#include "platform/ui/enter_key_interface.h"

class CFocusEdit;
class QLineEdit;
class QPainter;

namespace ORV::UI {

template <class PaneLogic>
class MyographPaneBase : public DockingPane, protected PressureDataConsumer, protected CEnterKeyInterface {
 public:
  PaneLogic& Logic() { return *logic_; }
  bool Busy() const { return runner_->Busy(); }
  // A control by its id (null when the pane has none).
  QWidget* Control(int id) const;
  // The edit of an entry field (null when the pane has none).
  CFocusEdit* Entry(int id) const;
  // Runs the command of a button id, as its click does.
  void OnCommand(int id);
  // Brings every control's enabled state up to date (done on a timer too).
  void UpdateControls();

  // PressureDataConsumer, any thread.
  void SetActive(bool on) override;

 protected:
  // `sampleMessage` and `activeMessage` are the pane's own message numbers.
  MyographPaneBase(const InstrumentPaneContext& context, const char* objectName, const QString& title, QWidget* parent,
                   std::uint32_t sampleMessage, std::uint32_t activeMessage);

  // An entry field's place, for the logic; its edit comes with the controls.
  TargetEntry* AddEntry(int id);
  CommandRunner& Runner() { return *runner_; }
  void SetLogic(std::unique_ptr<PaneLogic> logic);

  // The controls, made in OnCreate. A button runs OnCommand(id) when
  // clicked; an entry's edit is the focus edit of the entry added by that id.
  void AddButton(int id, const QString& text, const QRect& rect, bool icon);
  CFocusEdit* AddEntryEdit(int id, bool numericOnly, bool decimalAllowed);
  void AddValueEdit(int id, const QRect& rect, QLineEdit* edit = nullptr);
  // Tab and Shift+Tab go round `ring`.
  static void LinkTabOrder(const std::vector<CFocusEdit*>& ring);
  // Keeps the controls' enabled states up to date from now on.
  void StartUpdates();

  // "Current" and "Target" over the value columns at `top`.
  void PaintHeads(QPainter& painter, int top);
  // A single-value group under a centred heading at `top`.
  void PaintProbe(QPainter& painter, const QString& title, int top);

  // The commands of the pane's own (OnCommand runs those of the heater off,
  // pressure on and off and force zero buttons alike for both panes).
  virtual void RunCommand(int id) = 0;
  // GUI thread: hands the samples queued since the last message to the logic.
  virtual void ShowQueuedSamples() = 0;
  // After the values and enabled states were shown anew.
  virtual void OnStateShown() {}

  ExperimentData& experiment_;

 private:
  void ShowState();

  const std::uint32_t activeMessage_;
  std::map<int, QWidget*> controls_;
  std::map<int, std::unique_ptr<FocusEditEntry>> entries_;
  std::unique_ptr<PaneLogic> logic_;
  // Last: a command under way finishes before the logic and the entries go.
  std::unique_ptr<WorkerCommandRunner> runner_;
};

}  // namespace ORV::UI
