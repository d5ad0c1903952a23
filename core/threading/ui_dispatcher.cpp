#include "core/threading/ui_dispatcher.h"

#include <condition_variable>
#include <mutex>
#include <utility>

namespace ORV::Threading {

namespace {

std::mutex g_dispatcherMutex;
std::shared_ptr<UiDispatcher> g_dispatcher;

// How often a waiting worker looks at its give-up event.
constexpr std::chrono::milliseconds kGiveUpPoll{20};

// The meeting point of the posting thread and the user-interface thread.
// Shared by both, so whichever finishes last frees it.
struct Handshake {
  enum class Stage { Queued, Running, Done, Abandoned };
  std::mutex mutex;
  std::condition_variable done;
  Stage stage = Stage::Queued;
  bool threw = false;
};

}  // namespace

void SetUiDispatcher(std::shared_ptr<UiDispatcher> dispatcher) {
  std::lock_guard lock(g_dispatcherMutex);
  g_dispatcher = std::move(dispatcher);
}

std::shared_ptr<UiDispatcher> GetUiDispatcher() {
  std::lock_guard lock(g_dispatcherMutex);
  return g_dispatcher;
}

UiCallResult CallOnUiThread(std::function<void()> call, const Utils::Sync::Event* giveUp) {
  const std::shared_ptr<UiDispatcher> dispatcher = GetUiDispatcher();
  if (!dispatcher) return UiCallResult::Skipped;
  if (dispatcher->IsUiThread()) {
    try {
      call();
      return UiCallResult::Ran;
    } catch (...) {
      return UiCallResult::Threw;
    }
  }

  auto handshake = std::make_shared<Handshake>();
  const bool posted = dispatcher->Post([handshake, call = std::move(call)]() mutable {
    {
      std::lock_guard lock(handshake->mutex);
      if (handshake->stage == Handshake::Stage::Abandoned) return;
      handshake->stage = Handshake::Stage::Running;
    }
    bool threw = false;
    try {
      call();
    } catch (...) {
      threw = true;
    }
    call = nullptr;
    {
      std::lock_guard lock(handshake->mutex);
      handshake->threw = threw;
      handshake->stage = Handshake::Stage::Done;
    }
    handshake->done.notify_all();
  });
  if (!posted) return UiCallResult::Skipped;

  std::unique_lock lock(handshake->mutex);
  const auto finished = [&] { return handshake->stage == Handshake::Stage::Done; };
  if (!giveUp) {
    handshake->done.wait(lock, finished);
  } else {
    while (!handshake->done.wait_for(lock, kGiveUpPoll, finished)) {
      // A call that already runs is waited for; one still queued is dropped.
      if (handshake->stage == Handshake::Stage::Queued && giveUp->IsSet()) {
        handshake->stage = Handshake::Stage::Abandoned;
        return UiCallResult::Abandoned;
      }
    }
  }
  return handshake->threw ? UiCallResult::Threw : UiCallResult::Ran;
}

}  // namespace ORV::Threading
