#pragma once
// An experiment clock the test moves by hand: `now` is both the time and the
// elapsed time, and it counts as running while `running` is set.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "core/storage/relative_time.h"

namespace ORV::Test {

class HandClock : public RelativeTime::Interface {
 public:
  explicit HandClock(std::uint32_t start = 0) : now(start) {}

  void Start() override {}
  void Pause() override {}
  void Stop() override {}
  void CloseStore() override {}
  void OpenStore(const std::optional<std::string>&) override {}
  std::uint32_t Now() override { return now; }
  std::uint32_t Elapsed() override { return now; }
  bool IsRunning() override { return running; }
  void Subscribe(const std::shared_ptr<RelativeTime::SubscriberEvent>&) override {}

  std::uint32_t now = 0;
  bool running = true;
};

}  // namespace ORV::Test
