#include "shell/app/end_request.h"

#include <atomic>

namespace ORV::Shell {

namespace {
std::atomic<bool> g_endRequested{false};
}  // namespace

void RequestEnd() { g_endRequested = true; }
bool EndRequested() { return g_endRequested.load(); }

}  // namespace ORV::Shell
