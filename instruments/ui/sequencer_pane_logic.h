#pragma once
// What the sequencer pane shows and does, free of widgets: the columns of
// the task list and their widths, the texts of each row, the popup menu and
// its enable rules, the editing commands, loading and saving, and running
// the sequence. The list always mirrors the sequencer's task list.
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "instruments/sequencer_task.h"
#include "platform/ui/file_problem_text.h"

namespace ORV {

class Configuration;
class ExperimentData;
class InterfaceManager;
class Sequencer;

// The measuring zones of the first camera window: a sequence starts only
// when there is one to measure.
class SequencerZones {
 public:
  virtual ~SequencerZones() = default;
  virtual int ZoneCount() const = 0;
};

class SequencerPaneLogic {
 public:
  // The menu's commands.
  enum Command : int {
    kAddTask = 42969,
    kEditTask = 42970,
    kDeleteTask = 42971,
    kLoadSequence = 42972,
    kSaveSequence = 42973,
    kStartStop = 42974,
    kToggleLoop = 42976,
    kClearSequence = 42977,
  };
  enum class Column { Task, Time, P1, P2, Temperature, Pulse, Wait, Prompt };
  struct MenuItem {
    QString text;  // empty for a separator
    int id = 0;
    bool enabled = false;
    bool checked = false;
  };

  // `devices` may be null (no instruments).
  SequencerPaneLogic(Sequencer& sequencer, ExperimentData& experiment, InterfaceManager* devices,
                     Configuration& configuration);

  // The columns, from the unit's model: P2 unless it is the single-pressure
  // unit, Pulse only for the unit that pulses.
  const std::vector<Column>& Columns() const { return columns_; }
  static QString Title(Column column);
  // The widths of the columns for a list in a pane `width96` wide (at 96 DPI).
  std::vector<int> ColumnWidths(int width96) const;
  bool P2Column() const { return p2Column_; }
  bool PulseColumn() const { return pulseColumn_; }

  int TaskCount() const;
  // The texts of a task's row, one per column.
  QStringList RowTexts(int index) const;
  bool TaskEnabled(int index) const;

  // The popup menu with `selected` the one selected row (-1: none); none
  // without the camera window.
  std::vector<MenuItem> Menu(int selected, const SequencerZones* zones) const;

  // A new task as the task dialog starts it.
  SequencerTask NewTask() const;
  void AddTask(const SequencerTask& task);
  // The task of a row for the edit dialog; nothing for no task there.
  std::optional<SequencerTask> TaskToEdit(int index) const;
  void ReplaceTask(int index, const SequencerTask& task);
  void DeleteTask(int index);
  void ClearSequence();
  // The check box of a row.
  void SetTaskEnabled(int index, bool enabled);

  // The folder the file dialogs open in; empty when it does not exist.
  std::string InitialFolder() const;
  // Loads a sequence file and remembers its folder; false leaves all as it
  // was, with the reason in LoadProblem(). A path that is no file (a pipe, a
  // folder ...) or a file above the sequence size limit is refused without
  // being read.
  bool Load(const std::string& path);
  const UI::FileReason& LoadProblem() const { return loadProblem_; }
  // The message for the last refused load, naming the file.
  std::string LoadProblemText(const std::string& path) const;
  // Saves to the chosen path (with ".seq" added unless it names one) and
  // remembers it; false when it could not be written.
  bool Save(const std::string& chosen);
  // The chosen path with ".seq" added unless ".seq" or ".Seq" occurs in it.
  static std::string SequencePath(const std::string& chosen);

  bool Running() const;
  bool Paused() const;
  void StartStop();
  void PauseContinue();
  void ToggleLoop();
  QString StartStopText() const;
  QString PauseText() const;
  bool StartStopEnabled() const { return TaskCount() > 0; }
  bool PauseEnabled() const { return Running(); }

  // The task running (-1 when none) and how far it is, as the progress
  // element of the status bar has it.
  int RunningTask() const;
  QString ProgressText() const;
  int ProgressPercent() const;

 private:
  bool InterfaceConnected() const;
  void Modified();

  Sequencer& sequencer_;
  ExperimentData& experiment_;
  InterfaceManager* devices_;
  Configuration& configuration_;
  bool p2Column_ = false;
  bool pulseColumn_ = false;
  std::vector<Column> columns_;
  UI::FileReason loadProblem_;
};

// The task dialog's values, free of widgets: what its fields start with,
// when OK is enabled, and what OK makes of them.
class TaskDialogLogic {
 public:
  struct Fields {
    QString description, duration, p1, p2, temperature, pulseRate, prompt;
    bool showMarker = false, waitP1 = false, waitP2 = false, waitTemperature = false;
    bool pulsation = false, promptUser = false;
  };
  enum class Outcome { Accepted, P2AboveP1 };

  // `p2Row`: the dialog has the P2 row; `pulsation`: the unit pulses.
  TaskDialogLogic(const SequencerTask& task, bool p2Row, bool pulsation, bool editMode);

  QString Caption() const;
  bool P2Row() const { return p2Row_; }
  bool PulsationRow() const { return pulsation_; }
  Fields Initial() const;
  static bool OkEnabled(const QString& description) { return !description.isEmpty(); }
  // On Accepted the task takes the fields; on P2AboveP1 nothing changes.
  Outcome Accept(const Fields& fields);
  const SequencerTask& Task() const { return task_; }

 private:
  SequencerTask task_;
  const bool p2Row_;
  const bool pulsation_;
  const bool editMode_;
};

}  // namespace ORV
