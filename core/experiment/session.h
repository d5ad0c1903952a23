#pragma once
// The session: it owns the record of the current experiment for the whole
// run. The program's owner makes one and hands its record to whoever works on
// it. Everything here runs on the user-interface thread.
//
// The protocol sequencer works on this record but drives the instruments, so
// it lives with them (instruments/sequencer.h) and the program keeps it next
// to the session.
#include <memory>

#include "core/experiment/experiment_data.h"

namespace ORV {

class Session {
 public:
  // Creates the experiment record (with no experiment in it) on
  // `configuration` and `clock`, which outlive the session.
  Session(Configuration& configuration, RelativeTime::Interface& clock);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  ExperimentData& Experiment() { return *experiment_; }

 private:
  std::unique_ptr<ExperimentData> experiment_;
};

}  // namespace ORV
