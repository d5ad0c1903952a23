#pragma once
// The sequencer's data: one task of the sequence, and what the sequencer
// needs of the progress element of the main window's status bar (which the
// user interface implements).
#include <cstdint>
#include <string>

namespace ORV {

// One task of the sequence: what it sets, how long it lasts and how it ends.
// A value of -1 means "none" (no duration, no target).
struct SequencerTask {
  std::string name;                  // the task's description; in the list, the actions and the marker
  std::string prompt;                // text of the prompt shown at the task's end
  std::string marker;                // marker text; stored in the sequence file only
  std::uint8_t showMarker = 1;       // 1: add a marker when the task starts
  std::int32_t duration = -1;        // seconds
  std::uint8_t waitP1 = 0;           // 1: at the end, wait for P1 within 1 mmHg of p1
  std::uint8_t waitP2 = 0;           // 1: at the end, wait for P2 within 1 mmHg of p2
  std::uint8_t waitTemperature = 0;  // 1: at the end, wait for the temperature within 0.2 °C
  std::uint8_t promptUser = 0;       // 1: show the prompt at the end
  std::uint8_t enabled = 1;          // 0: the task is skipped
  std::uint8_t pulsation = 0;        // 1: switch pulsation on at pulseRate
  std::int32_t pulseRate = 200;      // used only when 40..600
  std::int32_t p1 = -1;              // inlet pressure target, mmHg
  std::int32_t p2 = -1;              // outlet pressure target, mmHg
  std::int32_t temperature = -1;     // heater temperature target, whole °C

  bool operator==(const SequencerTask&) const = default;
};

// The status-bar element that shows the sequencer's progress. The sequencer
// writes the fields and then asks for a redraw; the element draws one
// segment per task, filled up to the current task plus the position's share
// of it, with the task's name over it while `shown` is 1, and the status
// text otherwise. Used on the user-interface thread only.
class SequencerProgressBar {
 public:
  virtual ~SequencerProgressBar() = default;
  virtual void Redraw() = 0;

  std::uint8_t shown = 0;
  std::int32_t taskCount = 0;
  std::int32_t currentTask = 0;
  std::string taskName;
  std::string statusText = "Sequencer not started";
  std::int32_t position = 0;  // percent of the current task, 0..100
};

}  // namespace ORV
