#include "platform/ui/ui_thread.h"

#include <QCoreApplication>
#include <QThread>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace ORV::UI {
namespace {

// Tells a waiting poster whether its call ran.
class Completion {
 public:
  void Finish(bool ran) {
    std::lock_guard lock(mutex_);
    if (state_ != kPending) return;
    state_ = ran ? kRan : kDropped;
    cv_.notify_all();
  }
  bool Wait() {
    std::unique_lock lock(mutex_);
    cv_.wait(lock, [this] { return state_ != kPending; });
    return state_ == kRan;
  }

 private:
  enum State { kPending, kRan, kDropped };
  std::mutex mutex_;
  std::condition_variable cv_;
  State state_ = kPending;
};

// A queued call. Destroyed without running (the application went away), it
// releases its waiter.
struct PendingCall {
  std::function<void()> call;
  std::shared_ptr<Completion> completion;
  ~PendingCall() {
    if (completion) completion->Finish(false);
  }
};

// The application's hidden window for WM_RUN_ON_UI_THREAD. It owns the
// queued calls; the message carries only their address.
class UiThreadWindow : public MessageWindow {
 public:
  UiThreadWindow() {
    SetHandler(WM_RUN_ON_UI_THREAD, [this](WPARAM, LPARAM lParam) -> LRESULT {
      std::unique_ptr<PendingCall> pending = Take(lParam);
      if (!pending) return 0;
      pending->call();
      if (pending->completion) pending->completion->Finish(true);
      pending->completion.reset();
      return 0;
    });
  }

  bool Queue(std::unique_ptr<PendingCall> pending) {
    const auto key = reinterpret_cast<LPARAM>(pending.get());
    {
      std::lock_guard lock(mutex_);
      calls_.emplace(key, std::move(pending));
    }
    if (PostMessage(WM_RUN_ON_UI_THREAD, 0, key)) return true;
    Take(key);  // not queued: the call is dropped (and its waiter released)
    return false;
  }

 private:
  std::unique_ptr<PendingCall> Take(LPARAM key) {
    std::lock_guard lock(mutex_);
    const auto it = calls_.find(key);
    if (it == calls_.end()) return nullptr;
    std::unique_ptr<PendingCall> pending = std::move(it->second);
    calls_.erase(it);
    return pending;
  }

  std::mutex mutex_;
  std::unordered_map<LPARAM, std::unique_ptr<PendingCall>> calls_;
  MessageWindowCloser closer_{*this};  // last: the window closes before the calls go
};

std::mutex g_windowMutex;
std::shared_ptr<UiThreadWindow> g_window;
QCoreApplication* g_windowApp = nullptr;

// The hidden window of the current application, made on first use (from any
// thread) and destroyed with the application.
std::shared_ptr<UiThreadWindow> Window() {
  std::lock_guard lock(g_windowMutex);
  QCoreApplication* app = QCoreApplication::instance();
  if (!app) return nullptr;
  if (g_window && g_windowApp == app) return g_window;
  g_window = std::make_shared<UiThreadWindow>();
  g_windowApp = app;
  QObject::connect(app, &QObject::destroyed, [] {
    std::shared_ptr<UiThreadWindow> gone;
    {
      std::lock_guard lock(g_windowMutex);
      gone.swap(g_window);
      g_windowApp = nullptr;
    }
  });
  return g_window;
}

bool Queue(std::function<void()> call, std::shared_ptr<Completion> completion) {
  std::shared_ptr<UiThreadWindow> window = Window();
  if (!window) return false;
  auto pending = std::make_unique<PendingCall>();
  pending->call = std::move(call);
  pending->completion = std::move(completion);
  return window->Queue(std::move(pending));
}

}  // namespace

bool IsUiThread() {
  QCoreApplication* app = QCoreApplication::instance();
  return app && QThread::currentThread() == app->thread();
}

bool PostToUiThread(std::function<void()> call) {
  if (!call) return false;
  return Queue(std::move(call), nullptr);
}

bool RunOnUiThread(std::function<void()> call) {
  if (!call) return false;
  if (IsUiThread()) {
    call();
    return true;
  }
  auto completion = std::make_shared<Completion>();
  if (!Queue(std::move(call), completion)) return false;
  return completion->Wait();
}

}  // namespace ORV::UI
