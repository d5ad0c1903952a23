#include "platform/com/hresult.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/base/event_log.h"

namespace ORV::Com {

namespace {

// -1: not decided yet (read the environment on first use), 0 or 1.
std::atomic<int> g_strict{-1};

}  // namespace

std::string HResultText(HRESULT hr) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "0x%08X", static_cast<unsigned>(hr));
  return buf;
}

DispatchError::DispatchError(HRESULT hr, DISPID dispid, const std::string& what)
    : std::runtime_error(what), hr_(hr), dispid_(dispid) {}

bool DispatchStrict() {
  int s = g_strict.load(std::memory_order_acquire);
  if (s < 0) {
    const char* env = std::getenv("ORV_DISPATCH_STRICT");
    int fromEnv = (env && std::strcmp(env, "1") == 0) ? 1 : 0;
    g_strict.compare_exchange_strong(s, fromEnv, std::memory_order_acq_rel);
    s = g_strict.load(std::memory_order_acquire);
  }
  return s == 1;
}

void SetDispatchStrict(bool strict) { g_strict.store(strict ? 1 : 0, std::memory_order_release); }

void ReportDispatchFailure(HRESULT hr, DISPID dispid, const char* context) {
  std::string text = std::string(context ? context : "Invoke") + "() - DISPID " + std::to_string(dispid) +
                     " failed with " + HResultText(hr);
  if (DispatchStrict()) throw DispatchError(hr, dispid, text);
  LogError(text);
}

}  // namespace ORV::Com
