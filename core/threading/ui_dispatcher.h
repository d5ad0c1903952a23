#pragma once
// Runs calls on the user-interface thread.
//
// Core code never touches windows itself: work that must happen on the
// user-interface thread is posted through the dispatcher that the
// application installs (a queued call into its event loop). Until one is
// installed there is no user-interface thread, and calls meant for it are
// skipped. The application's dispatcher carries the calls as the thread
// message OS::WM_RUN_ON_UI_THREAD (platform/os/message_target.h).
#include <chrono>
#include <functional>
#include <memory>

#include "core/threading/event.h"

namespace ORV::Threading {

class UiDispatcher {
 public:
  virtual ~UiDispatcher() = default;
  // Queues `call` to run once on the user-interface thread, after the calls
  // queued before it. False when the call cannot be queued (the loop has
  // ended); the call is then dropped.
  virtual bool Post(std::function<void()> call) = 0;
  // True on the user-interface thread.
  virtual bool IsUiThread() const = 0;
};

// Installs the process's dispatcher (nullptr removes it).
void SetUiDispatcher(std::shared_ptr<UiDispatcher> dispatcher);
std::shared_ptr<UiDispatcher> GetUiDispatcher();

enum class UiCallResult {
  Ran,        // the call ran and returned
  Threw,      // the call ran and threw (the exception was caught there)
  Skipped,    // no dispatcher, or it refused the call
  Abandoned,  // `giveUp` was set before the call ran; it will not run
};

// Runs `call` on the user-interface thread and waits until it has run: at
// once when the caller is that thread, else posted through the dispatcher.
// While waiting, `giveUp` (may be null) is watched; once it is set the wait
// ends and the call, if it has not started yet, never runs.
UiCallResult CallOnUiThread(std::function<void()> call, const Utils::Sync::Event* giveUp = nullptr);

}  // namespace ORV::Threading
