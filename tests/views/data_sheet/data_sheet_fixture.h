#pragma once
// An experiment opened from a file and a helper that makes its calculations.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/experiment/experiment_data.h"
#include "tests/support/test_support.h"
#include "tests/support/test_world.h"

namespace ORV::Test {

// One record of a statistic: method `kind` of trace `traceKind` in `zone`.
inline CalculationData Stat(std::int32_t kind, std::int32_t traceKind, std::int32_t zone, double value,
                            std::string comment = "", double start = 5.25, double end = 65.25, std::int32_t count = 120,
                            double sd = 0.5, double se = 0.125) {
  CalculationData r;
  r.kind = kind;
  r.traceKind = traceKind;
  r.zone = zone;
  r.value = value;
  r.selectionStart = start;
  r.selectionEnd = end;
  r.comment = std::move(comment);
  r.count = count;
  r.sd = sd;
  r.standardError = se;
  return r;
}

class DataSheetFixture : public testing::Test {
 protected:
  DataSheetFixture() {
    experiment_ = std::make_unique<ExperimentData>(ORV::Test::SharedConfiguration(), ORV::Test::SharedClock());
    experiment_->mode = kModeFile;
  }
  std::vector<CalculationData> Records() const {
    return experiment_->Read([](const ExperimentContents& c) { return c.calculations; });
  }

  SandboxedHome home_;
  MemoryEventLog log_;
  TempDir dir_;
  std::unique_ptr<ExperimentData> experiment_;
};

}  // namespace ORV::Test
