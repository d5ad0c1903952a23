#pragma once
// The process-wide session: it owns the record of the current experiment
// for the whole run.
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
