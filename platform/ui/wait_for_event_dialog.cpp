#include "platform/ui/wait_for_event_dialog.h"

#include <QApplication>

#include "platform/ui/string_table.h"

namespace ORV::UI {
namespace {

class OwnTimers : public WindowTimers {
 public:
  void Start(MessageWindow& window, std::uintptr_t id, unsigned periodMs) override { window.SetTimer(id, periodMs); }
  void Stop(MessageWindow& window, std::uintptr_t id) override { window.KillTimer(id); }
};

DialogFrame WaitFrame() {
  DialogFrame frame;
  frame.captionBar = false;
  frame.systemMenu = false;
  frame.widthDlu = 146;
  frame.heightDlu = 44;
  return frame;
}

}  // namespace

WindowTimers& OwnWindowTimers() {
  static OwnTimers timers;
  return timers;
}

std::optional<int> WaitForEventState::OnTimer(std::uintptr_t id) {
  if (id == kTimeoutTimer) return 1;
  if (id != kPollTimer) return std::nullopt;
  const bool finished = doneQuery && doneQuery();
  const bool signalled = !finished && waitHandle && waitHandle();
  if (finished || signalled) return 0;
  dots_ = dots_ >= 5 ? 1 : dots_ + 1;
  return std::nullopt;
}

QString WaitForEventState::PleaseWaitText() const {
  QString text = LoadQString(kPleaseWaitSString);
  text.replace(QStringLiteral("%s"), QString(dots_, u'.'));
  return text;
}

CWaitForEvent::CWaitForEvent(QWidget* owner, WindowTimers& timers)
    : Dialog(WaitFrame(), owner), timers_(timers), pleaseWait_(new QLabel(this)), message_(new QLabel(this)) {
  SetHandler(WM_TIMER, [this](WPARAM id, LPARAM lParam) { return OnTimer(id, lParam); });
  SetHandler(WM_WAIT_MESSAGE_CHANGED, [this](WPARAM, LPARAM) -> LRESULT {
    ShowMessage();
    return 0;
  });
}

CWaitForEvent::~CWaitForEvent() {
  timers_.Stop(*this, WaitForEventState::kTimeoutTimer);
  timers_.Stop(*this, WaitForEventState::kPollTimer);
}

bool CWaitForEvent::OnInitDialog() {
  // The message in the application's font, "Please wait" 2.5 points larger.
  const QFont messageFont = QApplication::font();
  QFont large = messageFont;
  large.setPointSizeF(messageFont.pointSizeF() + 2.5);
  pleaseWait_->setFont(large);
  message_->setFont(messageFont);
  pleaseWait_->setGeometry(MapDialogRect(7, 9, 132, 12));
  message_->setGeometry(MapDialogRect(7, 25, 132, 12));
  pleaseWait_->setText(state_.PleaseWaitText());
  ShowMessage();
  if (state_.timeoutSeconds != WaitForEventState::kNoTimeout) {
    timers_.Start(*this, WaitForEventState::kTimeoutTimer, state_.timeoutSeconds * 1000u);
  }
  timers_.Start(*this, WaitForEventState::kPollTimer, WaitForEventState::kPollMs);
  std::lock_guard lock(mutex_);
  ready_ = true;
  return false;
}

bool CWaitForEvent::IsReady() const {
  std::lock_guard lock(mutex_);
  return ready_;
}

void CWaitForEvent::SetMessage(std::string message) {
  {
    std::lock_guard lock(mutex_);
    messageText_ = std::move(message);
  }
  PostMessage(WM_WAIT_MESSAGE_CHANGED);
}

void CWaitForEvent::ShowMessage() {
  std::lock_guard lock(mutex_);
  message_->setText(QString::fromStdString(messageText_));
}

LRESULT CWaitForEvent::OnTimer(WPARAM id, LPARAM) {
  const std::optional<int> result = state_.OnTimer(id);
  if (result) {
    timers_.Stop(*this, WaitForEventState::kTimeoutTimer);
    timers_.Stop(*this, WaitForEventState::kPollTimer);
    EndDialog(*result);
  } else if (id == WaitForEventState::kPollTimer) {
    pleaseWait_->setText(state_.PleaseWaitText());
  }
  return 0;
}

}  // namespace ORV::UI
