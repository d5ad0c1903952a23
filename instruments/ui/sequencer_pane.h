#pragma once
// The docking pane in which the user builds, loads, saves and runs the
// sequence: the tasks in a list whose check boxes enable them, a
// Start/Stop and a Pause/Continue button, a menu button and the popup menu
// of the editing commands, and the running task with its progress.
// SequencerPaneLogic decides what is shown and done; the task dialog edits
// one task.
#include <QString>
#include <functional>
#include <memory>

#include "instruments/ui/pane_context.h"
#include "instruments/ui/sequencer_pane_logic.h"
#include "platform/ui/docking_pane.h"

namespace ORV::UI {
struct FileDialogRequest;
}

class CIconButton;
class CTaskDialog;
class QTreeWidget;
class QTreeWidgetItem;

class SequencerWnd : public ORV::UI::DockingPane {
 public:
  static constexpr const char* kObjectName = "SequencerPane";
  enum Control : int { kList = 10116, kMenuButton = 10121, kStartStopButton = 10122, kPauseButton = 10123 };

  // The context's sequencer is required; its interface manager may be null.
  SequencerWnd(const ORV::InstrumentPaneContext& context, const QString& title, QWidget* parent = nullptr);
  ~SequencerWnd() override;

  ORV::SequencerPaneLogic& Logic() { return *logic_; }
  // The first camera window's zones; the menu needs them (set by the frame).
  void SetCameraWindow(const ORV::SequencerZones* zones) { zones_ = zones; }
  QTreeWidget* List() const { return list_; }
  CIconButton* Button(int id) const;

  // Runs a menu command, as choosing it does.
  void OnCommand(int id);
  // The popup menu at the cursor.
  void ShowMenu();
  void FillList();
  // Button texts and enabled states, the running task and its progress.
  void UpdateButtons();
  // Asks for a file and saves the sequence there (also at the exit prompt);
  // false when nothing was saved.
  bool SaveSequence();

  // Shows a task dialog modally and returns how it ended (tests answer it).
  std::function<int(CTaskDialog&)> runTaskDialog;

 protected:
  int OnCreate() override;
  void OnPaint(QPainter& painter) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void OnSize();
  int SelectedRow() const;
  void AddTask();
  void EditTask();
  void LoadSequence();
  ORV::UI::FileDialogRequest FileRequest(bool save) const;
  QRect Frame() const;

  ORV::Sequencer& sequencer_;
  std::unique_ptr<ORV::SequencerPaneLogic> logic_;
  const ORV::SequencerZones* zones_ = nullptr;
  QTreeWidget* list_ = nullptr;
  CIconButton* menuButton_ = nullptr;
  CIconButton* startStop_ = nullptr;
  CIconButton* pause_ = nullptr;
  bool filling_ = false;
  bool menuOpen_ = false;
  // Last, so that the window closes before the members above go.
  ORV::UI::MessageWindowCloser closer_{*this};
};
