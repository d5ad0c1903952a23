#pragma once
// The protocol sequencer: the task list, its state and the operations that
// run it, load it and save it.
//
// The sequencer works on one experiment record (its clock, its markers and
// the newest pressure sample) and drives the pressure interfaces of one
// interface manager. The program keeps one, next to the session, and hands
// it to the sequencer pane and the status timer. Everything here runs on the
// user-interface thread.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "instruments/sequencer_task.h"

namespace ORV {

class Configuration;
class ExperimentData;
class InterfaceManager;

class Sequencer {
 public:
  // Waits the given milliseconds (the pauses between commands).
  using Sleeper = std::function<void(std::uint32_t ms)>;

  // A sequencer on `experiment`, driving the instruments of `manager`, within
  // the pressure and temperature limits of `configuration`, where it also
  // remembers the sequence file last loaded or saved; all three outlive it.
  Sequencer(Configuration& configuration, ExperimentData& experiment, InterfaceManager& manager);

  std::vector<SequencerTask> tasks;             // the sequence
  std::uint8_t loop = 0;                        // restart at the first task after the last
  std::uint8_t running = 0;                     // the sequence runs
  std::uint8_t paused = 0;                      // paused by the user, or while a prompt is open
  std::uint8_t sequenceModified = 0;            // the list changed since it was last loaded or saved
  SequencerProgressBar* progressBar = nullptr;  // set by the main window; not owned
  std::int32_t currentTask = -1;                // index of the running task; -1 before the first
  std::uint32_t taskStartTime = 0;              // experiment time (ms) at which the current task started
  std::uint32_t pauseStartTime = 0;             // experiment time (ms) at which the user's pause began; 0: none
  std::uint32_t addedSeconds = 0;               // whole seconds of pause added to the current task
  std::uint8_t pulsationAllowed = 0;            // set at each start: the multi interface is the fast model
  // A task's prompt is open. Ticks return meanwhile, and the user's
  // Pause and Continue do not clear it.
  std::uint8_t promptOpen = 0;

  // A copy of the task at `index`; a default task for an index outside the list.
  SequencerTask GetTask(int index) const;
  void ClearTasks();
  // Switches the pressure on through the connected pressure interface.
  bool StartPressure();
  // Advances to the next enabled task and sets the instruments for it;
  // false when the sequence ended.
  bool StartNextTask();
  // One step of the running sequence (once a second); `finished` is set when
  // the sequence ended in this step.
  void SequencerTick(bool& finished);

  // The sequencer pane's commands. Start (when not running) begins with the
  // first enabled task and returns whether one started; Stop ends the run and
  // sends nothing to the instruments; Pause and Continue hold the current
  // task's time and add the pause to it; the loop switch toggles at any time.
  bool StartSequencer();
  void StopSequencer();
  void PauseSequencer();
  void ContinueSequencer();
  void ToggleLoop();

  // The largest sequence file that is read.
  static constexpr std::uint64_t kMaxFileBytes = 4u << 20;

  // The sequence file (".seq"). Load replaces the task list only when the
  // whole file was read, and refuses files larger than kMaxFileBytes; save replaces the file only when it was written
  // whole. Both remember the path as the last opened sequence.
  void LoadLastSequence();
  bool LoadSequence(const std::string& path);
  bool SaveSequence(const std::string& path);

  // The sleeper of the pauses between commands (a real sleep unless set).
  void SetSleeper(Sleeper sleeper) { sleeper_ = std::move(sleeper); }

 private:
  InterfaceManager& Manager();
  void Sleep(std::uint32_t ms);
  // The end of a run: not running, no pause, the bar shows "Sequencer ended".
  void EndSequence();
  void ShowEnded();
  // Sends a task's pressures, temperature and pulsation to the connected
  // pressure interfaces.
  void ApplyTask(const SequencerTask& task);
  // Adds a sequencer action at the current task's start time.
  void AddSequencerAction(const std::string& text);

  Configuration& configuration_;
  ExperimentData& experiment_;
  InterfaceManager& interfaceManager_;
  Sleeper sleeper_;
  // Counts the starts and stops of runs, so a step interrupted by a prompt
  // knows whether its run is still the one going on.
  std::uint64_t runNumber_ = 0;
};

}  // namespace ORV
