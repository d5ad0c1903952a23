#include "core/experiment/session.h"

namespace ORV {

Session::Session(Configuration& configuration, RelativeTime::Interface& clock)
    : experiment_(std::make_unique<ExperimentData>(configuration, clock)) {}

Session::~Session() = default;

}  // namespace ORV
