#pragma once
// What a simulated instrument needs to take its measurements from the
// simulated preparation and to pass the program's commands on to it. An
// instrument without a preparation answers from the state its test sets.
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <mutex>

#include "platform/sim/preparation.h"

namespace ORV::Sim {

class PreparationLink {
 public:
  // From now on the instrument measures `preparation` (nullptr: its own
  // state again).
  void Attach(std::shared_ptr<Preparation> preparation) {
    std::lock_guard<std::mutex> g(linkMutex_);
    preparation_ = std::move(preparation);
  }

 protected:
  std::shared_ptr<Preparation> Linked() const {
    std::lock_guard<std::mutex> g(linkMutex_);
    return preparation_;
  }

 private:
  mutable std::mutex linkMutex_;
  std::shared_ptr<Preparation> preparation_;
};

// A measured value as a signed 16-bit instrument count, rounded and held
// within the count's range.
inline std::int16_t ToCount(double value) {
  const double limit = std::numeric_limits<std::int16_t>::max();
  if (!(value == value)) return 0;
  return static_cast<std::int16_t>(std::lround(value < -limit ? -limit : (value > limit ? limit : value)));
}

}  // namespace ORV::Sim
