#include "core/experiment/session.h"

namespace ORV {

Session::Session() : experiment_(std::make_unique<ExperimentData>()) {}

Session::~Session() = default;

SequencerTask Session::GetTask(int index) const {
  if (index < 0 || static_cast<std::size_t>(index) >= tasks.size()) return SequencerTask{};
  return tasks[static_cast<std::size_t>(index)];
}

void Session::ClearTasks() { tasks.clear(); }

}  // namespace ORV
