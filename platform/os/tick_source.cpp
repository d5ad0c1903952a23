#include "platform/os/tick_source.h"

#include <time.h>

namespace ORV::OS {

namespace {
std::atomic<TickSource*> g_source{nullptr};

std::uint32_t SystemTicks() {
  timespec ts{};
  clock_gettime(CLOCK_BOOTTIME, &ts);
  const auto ms = static_cast<std::uint64_t>(ts.tv_sec) * 1000u + static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
  return static_cast<std::uint32_t>(ms);
}
}  // namespace

std::uint32_t GetTickCount() {
  TickSource* s = g_source.load(std::memory_order_acquire);
  return s ? s->Now() : SystemTicks();
}

void SetTickSource(TickSource* source) { g_source.store(source, std::memory_order_release); }

}  // namespace ORV::OS
