#include "platform/ui/message_window.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QThread>
#include <QTimer>
#include <mutex>

#include "platform/ui/ui_thread.h"

namespace ORV::UI {
namespace detail {

// One queued message.
class MessageEvent : public QEvent {
 public:
  MessageEvent(std::uint32_t message, WPARAM wParam, LPARAM lParam)
      : QEvent(Type()), message(message), wParam(wParam), lParam(lParam) {}

  static QEvent::Type Type() {
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
  }

  const std::uint32_t message;
  const WPARAM wParam;
  const LPARAM lParam;
};

// The GUI-thread object that Qt delivers a window's queued messages to. It
// outlives its window when the window is destroyed inside one of its own
// handlers; then it deletes itself once that handler has returned.
class MessageReceiver : public QObject {
 public:
  MessageWindow* window = nullptr;
  int dispatching = 0;

  bool event(QEvent* e) override {
    if (e->type() != MessageEvent::Type()) return QObject::event(e);
    if (window) {
      const auto* m = static_cast<MessageEvent*>(e);
      ++dispatching;
      window->Dispatch(m->message, m->wParam, m->lParam);
      --dispatching;
    }
    return true;
  }
};

// The window's target for other threads; closed when the window goes.
class Mailbox final : public OS::MessageTarget {
 public:
  explicit Mailbox(QObject* receiver) : receiver_(receiver) {}

  bool PostMessage(std::uint32_t message, WPARAM wParam, LPARAM lParam) override {
    std::lock_guard lock(mutex_);
    if (!receiver_ || !QCoreApplication::instance()) return false;
    // Qt keeps posted events of one receiver in posting order and removes
    // those still queued when the receiver is deleted.
    QCoreApplication::postEvent(receiver_, new MessageEvent(message, wParam, lParam));
    return true;
  }

  void Close() {
    std::lock_guard lock(mutex_);
    receiver_ = nullptr;
  }

  bool IsOpen() {
    std::lock_guard lock(mutex_);
    return receiver_ != nullptr;
  }

 private:
  std::mutex mutex_;
  QObject* receiver_;
};

}  // namespace detail

MessageWindow::MessageWindow() {
  QCoreApplication* app = QCoreApplication::instance();
  if (app) {
    receiver_ = new detail::MessageReceiver;
    receiver_->window = this;
    if (receiver_->thread() != app->thread()) receiver_->moveToThread(app->thread());
  }
  mailbox_ = std::make_shared<detail::Mailbox>(receiver_);
}

MessageWindow::~MessageWindow() { CloseMessageWindow(); }

void MessageWindow::CloseMessageWindow() {
  mailbox_->Close();
  while (!timers_.empty()) DisposeTimer(timers_.begin());
  if (!receiver_) return;
  receiver_->window = nullptr;
  if (!IsUiThread() || receiver_->dispatching > 0)
    receiver_->deleteLater();
  else
    delete receiver_;
  receiver_ = nullptr;
}

bool MessageWindow::PostMessage(std::uint32_t message, WPARAM wParam, LPARAM lParam) const {
  return mailbox_->PostMessage(message, wParam, lParam);
}

std::shared_ptr<OS::MessageTarget> MessageWindow::Target() const { return mailbox_; }

LRESULT MessageWindow::SendMessage(std::uint32_t message, WPARAM wParam, LPARAM lParam) {
  if (IsUiThread()) return mailbox_->IsOpen() ? Dispatch(message, wParam, lParam) : 0;
  std::shared_ptr<detail::Mailbox> box = mailbox_;
  LRESULT result = 0;
  RunOnUiThread([&] {
    // The window is alive exactly while its mailbox is open; both change
    // only on the GUI thread.
    if (box->IsOpen()) result = Dispatch(message, wParam, lParam);
  });
  return result;
}

void MessageWindow::SetHandler(std::uint32_t message, Handler handler) {
  if (handler)
    handlers_[message] = std::move(handler);
  else
    handlers_.erase(message);
}

LRESULT MessageWindow::DefWindowProc(std::uint32_t, WPARAM, LPARAM) { return 0; }

LRESULT MessageWindow::Dispatch(std::uint32_t message, WPARAM wParam, LPARAM lParam) {
  const auto it = handlers_.find(message);
  if (it == handlers_.end()) return DefWindowProc(message, wParam, lParam);
  // A copy, so that a handler may replace itself or destroy its window.
  const Handler handler = it->second;
  return handler(wParam, lParam);
}

bool MessageWindow::SetTimer(std::uintptr_t id, unsigned elapseMs) {
  if (!receiver_ || !IsUiThread()) return false;
  auto& timer = timers_[id];
  if (!timer) {
    timer = std::make_unique<QTimer>();
    QTimer* t = timer.get();
    std::shared_ptr<detail::Mailbox> box = mailbox_;
    QObject::connect(t, &QTimer::timeout, [this, t, id, box] {
      firingTimer_ = t;
      Dispatch(WM_TIMER, id, 0);
      // The handler may have destroyed the window; its mailbox tells.
      if (box->IsOpen() && firingTimer_ == t) firingTimer_ = nullptr;
    });
  }
  timer->start(static_cast<int>(elapseMs));
  return true;
}

bool MessageWindow::KillTimer(std::uintptr_t id) {
  const auto it = timers_.find(id);
  if (it == timers_.end()) return false;
  DisposeTimer(it);
  return true;
}

void MessageWindow::DisposeTimer(std::map<std::uintptr_t, std::unique_ptr<QTimer>>::iterator it) {
  std::unique_ptr<QTimer> timer = std::move(it->second);
  timers_.erase(it);
  timer->stop();
  if (timer.get() == firingTimer_) {
    // Killed from its own WM_TIMER handler: Qt is still inside the timer's
    // signal, so the timer may only go once that has returned.
    firingTimer_ = nullptr;
    timer->disconnect();
    timer.release()->deleteLater();
  }
}

bool MessageWindow::HasTimer(std::uintptr_t id) const { return timers_.count(id) > 0; }

}  // namespace ORV::UI
