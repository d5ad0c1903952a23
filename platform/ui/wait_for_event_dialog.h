#pragma once
// The "Please wait" dialog shown while the program waits for something to
// finish: a worker task, an event being set, or a time-out.
//
// Every 250 ms (the poll timer) the dialog asks its done query and then its
// wait handle; when either answers true it ends with 0. Otherwise one more
// dot is shown after "Please wait" (one to five, then one again). With a
// time-out it ends with 1 after that many seconds when nothing else ended
// it first; without any of the three it never ends by itself.
//
// The timers run on a clock the creator may replace (tests advance a virtual
// one); by default they are the dialog's own window timers. The message line
// may be changed from any thread (SetMessage). The decisions live in
// WaitForEventState; the dialog shows them.
#include <QLabel>
#include <QString>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "platform/ui/dialog.h"

namespace ORV::UI {

inline constexpr std::uint32_t WM_WAIT_MESSAGE_CHANGED = WM_USER + 1030;  // 0x806

// Starts and stops the timers of a window: its own, or a test's clock.
class WindowTimers {
 public:
  virtual ~WindowTimers() = default;
  virtual void Start(MessageWindow& window, std::uintptr_t id, unsigned periodMs) = 0;
  virtual void Stop(MessageWindow& window, std::uintptr_t id) = 0;
};

// The window's own timers.
WindowTimers& OwnWindowTimers();

class WaitForEventState {
 public:
  static constexpr std::uintptr_t kTimeoutTimer = 1;
  static constexpr std::uintptr_t kPollTimer = 2;
  static constexpr unsigned kPollMs = 250;
  static constexpr std::uint32_t kNoTimeout = 0xFFFFFFFF;

  std::function<bool()> doneQuery;   // true once the task has finished
  std::function<bool()> waitHandle;  // true once the awaited event is set
  std::uint32_t timeoutSeconds = kNoTimeout;

  // The result to end with after timer `id`; nothing to keep waiting.
  std::optional<int> OnTimer(std::uintptr_t id);
  int Dots() const { return dots_; }
  // "Please wait" with the dots.
  QString PleaseWaitText() const;

 private:
  int dots_ = 0;
};

class CWaitForEvent : public Dialog {
 public:
  static constexpr int kMessageId = 1091;

  explicit CWaitForEvent(QWidget* owner = nullptr, WindowTimers& timers = OwnWindowTimers());
  ~CWaitForEvent() override;

  // Set before DoModal, which returns 0 when the task finished or the event
  // was set, 1 when the time-out ran out.
  WaitForEventState& State() { return state_; }
  // Any thread: the message line shows `message` soon after.
  void SetMessage(std::string message);

  QString PleaseWaitLabel() const { return pleaseWait_->text(); }
  QString MessageLabel() const { return message_->text(); }
  bool IsReady() const;

 protected:
  bool OnInitDialog() override;

 private:
  LRESULT OnTimer(WPARAM id, LPARAM);
  void ShowMessage();

  WindowTimers& timers_;
  WaitForEventState state_;
  QLabel* pleaseWait_;
  QLabel* message_;
  mutable std::mutex mutex_;
  std::string messageText_;
  bool ready_ = false;
  // Last, so that the window closes before the members above go.
  ORV::UI::MessageWindowCloser closer_{*this};
};

}  // namespace ORV::UI
