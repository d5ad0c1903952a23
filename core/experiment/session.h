#pragma once
// The process-wide session: it owns the record of the current experiment
// for the whole run. Everything here runs on the user-interface thread.
//
// The protocol sequencer works on this record but drives the instruments, so
// it lives with them (instruments/sequencer.h) and the program keeps it next
// to the session.
#include <memory>

#include "core/base/singleton.h"
#include "core/experiment/experiment_data.h"

namespace ORV {

class Session : public CSingleton<Session> {
 public:
  // Creates the experiment record (with no experiment in it).
  Session();
  ~Session() override;

  ExperimentData& Experiment() { return *experiment_; }

 private:
  std::unique_ptr<ExperimentData> experiment_;
};

}  // namespace ORV
