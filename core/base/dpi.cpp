#include "core/base/dpi.h"

#include <mutex>

namespace ORV {

namespace {
std::mutex g_dpiMutex;
std::function<int()> g_dpiProvider;
}  // namespace

int DefaultDpi() { return 96; }

int QueryDpi() {
  std::lock_guard lock(g_dpiMutex);
  if (g_dpiProvider) {
    const int d = g_dpiProvider();
    if (d > 0) return d;
  }
  return DefaultDpi();
}

void SetDpiProvider(std::function<int()> provider) {
  std::lock_guard lock(g_dpiMutex);
  g_dpiProvider = std::move(provider);
}

int ScaleByDpi(int value, int dpi) { return static_cast<int>(static_cast<long long>(value) * dpi / 96); }

}  // namespace ORV
