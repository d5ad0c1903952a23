#include "core/experiment/session.h"

namespace ORV {

Session::Session() : experiment_(std::make_unique<ExperimentData>()) {}

Session::~Session() = default;

}  // namespace ORV
