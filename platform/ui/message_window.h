#pragma once
// Windows that receive messages.
//
// A MessageWindow is mixed into a widget (pane, dialog, control) and gives it
// what a window of the program needs besides drawing:
//   - PostMessage from any thread: the (message, wParam, lParam) triple is
//     queued and handled later on the GUI thread, in posting order, once;
//   - SendMessage: the handler runs at once (a call from another thread waits
//     until the GUI thread has run it);
//   - a handler table: one handler per message number;
//   - timers by id: each fires WM_TIMER with the id as wParam.
//
// Producer threads should keep Target() rather than a pointer to the window:
// when the window is destroyed the target is closed, posts through it return
// false, and messages still queued for the window are dropped.
//
// PostMessage, Target() and SendMessage work from any thread; handlers and
// timers are set, and windows destroyed, on the GUI thread. A derived class
// whose handlers or timers use its own members declares a
// MessageWindowCloser as its last member, so that the window is closed
// before any of those members goes. One whose destructor must stop its
// messages before its own work there calls CloseMessageWindow() first thing
// instead.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <unordered_map>

#include "platform/os/message_target.h"

class QTimer;

namespace ORV::UI {

using OS::LPARAM;
using OS::LRESULT;
using OS::WM_APP;
using OS::WM_USER;
using OS::WPARAM;

inline constexpr std::uint32_t WM_CLOSE = 0x0010;
inline constexpr std::uint32_t WM_TIMER = 0x0113;

namespace detail {
class Mailbox;
class MessageReceiver;
}  // namespace detail

class MessageWindowCloser;

class MessageWindow {
 public:
  using Handler = std::function<LRESULT(WPARAM, LPARAM)>;

  MessageWindow();
  virtual ~MessageWindow();
  MessageWindow(const MessageWindow&) = delete;
  MessageWindow& operator=(const MessageWindow&) = delete;

  // Queues a message; false when the window is closed or there is no
  // application to deliver it. Any thread.
  bool PostMessage(std::uint32_t message, WPARAM wParam = 0, LPARAM lParam = 0) const;
  // Runs the message's handler now and returns its result (DefWindowProc's
  // when there is no handler). From another thread: waits for the GUI thread
  // to run it; 0 when the window was closed meanwhile.
  LRESULT SendMessage(std::uint32_t message, WPARAM wParam = 0, LPARAM lParam = 0);
  // A handle for producer threads (see above).
  std::shared_ptr<OS::MessageTarget> Target() const;

  // Sets (or with an empty handler removes) the handler of one message.
  void SetHandler(std::uint32_t message, Handler handler);

  // Starts or restarts timer `id`, firing every `elapseMs` ms.
  bool SetTimer(std::uintptr_t id, unsigned elapseMs);
  // Stops timer `id`; false when it was not running.
  bool KillTimer(std::uintptr_t id);
  bool HasTimer(std::uintptr_t id) const;

 protected:
  // Answers messages that have no handler. The default returns 0.
  virtual LRESULT DefWindowProc(std::uint32_t message, WPARAM wParam, LPARAM lParam);
  // Closes the window for messages: later posts fail, queued messages are
  // dropped, timers stop. Called by the destructor; may be called earlier.
  void CloseMessageWindow();

 private:
  friend class detail::MessageReceiver;
  friend class MessageWindowCloser;
  LRESULT Dispatch(std::uint32_t message, WPARAM wParam, LPARAM lParam);
  void DisposeTimer(std::map<std::uintptr_t, std::unique_ptr<QTimer>>::iterator it);

  std::shared_ptr<detail::Mailbox> mailbox_;
  detail::MessageReceiver* receiver_ = nullptr;
  std::unordered_map<std::uint32_t, Handler> handlers_;
  std::map<std::uintptr_t, std::unique_ptr<QTimer>> timers_;
  QTimer* firingTimer_ = nullptr;
};

// Closes a window for messages when it goes. Members go in the reverse of
// their order, so as the last member of the window's class it closes the
// window (later posts fail, queued messages are dropped, timers stop) before
// any other member is destroyed, and the class needs no destructor for it:
//   MessageWindowCloser closer_{*this};
class MessageWindowCloser {
 public:
  explicit MessageWindowCloser(MessageWindow& window) : window_(window) {}
  ~MessageWindowCloser() { window_.CloseMessageWindow(); }
  MessageWindowCloser(const MessageWindowCloser&) = delete;
  MessageWindowCloser& operator=(const MessageWindowCloser&) = delete;

 private:
  MessageWindow& window_;
};

}  // namespace ORV::UI
