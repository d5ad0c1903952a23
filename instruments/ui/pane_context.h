#pragma once
// What the instrument panes work with, handed to each when it is made
// instead of being looked up through the process's singletons: the record of
// the current experiment (samples arrive through its receiver lists), the
// configuration (fonts, ranges, what the panes remember), and, for the panes
// that command instruments, the interface manager and the sequencer. The
// program owns all of them and outlives its panes; tests give their own.
namespace ORV {

class Configuration;
class DeviceClockDisplay;
class ExperimentData;
class InterfaceManager;
class Sequencer;

struct InstrumentPaneContext {
  ExperimentData& experiment;
  Configuration& configuration;
  InterfaceManager* devices = nullptr;
  Sequencer* sequencer = nullptr;
  // Where the multi interface's own clock is shown (the main frame).
  DeviceClockDisplay* deviceClock = nullptr;
};

}  // namespace ORV
