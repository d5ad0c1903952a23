#include "platform/ui/progress_dialog.h"

#include <QPushButton>

#include "platform/ui/ui_thread.h"
#include "platform/ui/window_styles.h"

namespace ORV::UI {
namespace {

// Private messages of a dialog started by StartThread.
constexpr std::uint32_t WM_PROGRESS_STOP = WM_APP + 0x390;
constexpr std::uint32_t WM_PROGRESS_TOGGLE = WM_APP + 0x391;
// The height with the Cancel button under the bar (dialog units).
constexpr int kCancelHeightDlu = 56;

DialogFrame ProgressFrame() {
  DialogFrame frame;
  frame.captionBar = false;
  frame.systemMenu = false;
  frame.widthDlu = 210;
  frame.heightDlu = 35;
  return frame;
}

}  // namespace

void ProgressStages::Apply(WPARAM code, LPARAM value, const std::string* text) {
  switch (code) {
    case kProgressText:
      if (text) bar_.SetText(QString::fromStdString(*text));
      break;
    case kProgressPos:
      bar_.SetPos(static_cast<int>(value));
      break;
    case kProgressPush:
      stack_.push_back({bar_.Text(), bar_.Pos(), bar_.Upper()});
      break;
    case kProgressPop:
      if (stack_.empty()) break;
      bar_.SetText(stack_.back().text);
      bar_.SetPos(stack_.back().position);
      bar_.SetUpper(stack_.back().upper);
      stack_.pop_back();
      break;
    case kProgressRange:
      // The bound travels as 16 bits: larger ranges keep their low bits.
      bar_.SetUpper(static_cast<std::uint16_t>(value));
      break;
    case kProgressAdvance:
      bar_.SetPos(bar_.Pos() + static_cast<int>(value));
      break;
    case kProgressRedraw:
      bar_.Redraw();
      break;
    default:
      break;
  }
}

bool ProgressPoster::Post(WPARAM code, LPARAM value) {
  return target_ && target_->PostMessage(WM_PROGRESS_UPDATE, code, value);
}

bool ProgressPoster::PostText(std::string text) {
  LPARAM key = 0;
  {
    std::lock_guard lock(mutex_);
    key = nextKey_++;
    texts_.emplace(key, std::move(text));
  }
  if (Post(kProgressText, key)) return true;
  std::string dropped;
  TakeText(key, dropped);
  return false;
}

void ProgressPoster::BeginStage(std::string text, int n) {
  Post(kProgressPush);
  PostText(std::move(text));
  Post(kProgressPos, 0);
  Post(kProgressRange, n);
  Post(kProgressRedraw);
}

bool ProgressPoster::TakeText(LPARAM key, std::string& text) {
  std::lock_guard lock(mutex_);
  const auto it = texts_.find(key);
  if (it == texts_.end()) return false;
  text = std::move(it->second);
  texts_.erase(it);
  return true;
}

// The stages' view of the dialog's bar.
class CProgressDialog::BarAccess : public ProgressBarAccess {
 public:
  explicit BarAccess(CCaptionProgressCtrl& bar) : bar_(bar) {}
  QString Text() const override { return bar_.GetWindowText(); }
  void SetText(const QString& text) override { bar_.SetWindowText(text); }
  int Pos() const override { return bar_.GetPos(); }
  void SetPos(int position) override { bar_.SetPos(position); }
  int Upper() const override { return bar_.GetRange(false); }
  void SetUpper(int upper) override { bar_.SetRange32(0, upper); }
  void Redraw() override { bar_.repaint(); }

 private:
  CCaptionProgressCtrl& bar_;
};

CProgressDialog::CProgressDialog(QWidget* owner, bool marquee, DoneQuery doneQuery)
    : Dialog(ProgressFrame(), owner),
      marquee_(marquee),
      doneQuery_(std::move(doneQuery)),
      bar_(new CCaptionProgressCtrl(this)),
      access_(std::make_unique<BarAccess>(*bar_)),
      stages_(*access_),
      poster_(std::make_shared<ProgressPoster>(Target())) {
  // No task-bar entry of its own.
  setWindowFlag(Qt::Tool, true);
  SetHandler(WM_PROGRESS_UPDATE, [this](WPARAM code, LPARAM value) { return OnProgressUpdate(code, value); });
  SetHandler(WM_TIMER, [this](WPARAM id, LPARAM lParam) { return OnTimer(id, lParam); });
  SetHandler(WM_PROGRESS_TOGGLE, [this](WPARAM, LPARAM) -> LRESULT {
    setVisible(isHidden());
    return 0;
  });
  SetHandler(WM_PROGRESS_STOP, [this](WPARAM, LPARAM) -> LRESULT {
    KillTimer(kCreepTimer);
    hide();
    deleteLater();
    return 0;
  });
}

CProgressDialog::~CProgressDialog() = default;

bool CProgressDialog::OnInitDialog() {
  bar_->Create(WS_VISIBLE, MapDialogRect(7, 7, 196, 21), this, kProgressBarId);
  bar_->SetRange32(0, 100);
  bar_->SetPos(0);
  if (marquee_) bar_->SetMarquee(true, 4);
  if (cancel_) {
    auto* button = new QPushButton(QStringLiteral("Cancel"), this);
    button->setGeometry(MapDialogRect(153, 35, 50, 14));
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, [this] { RequestCancel(); });
    cancelButton_ = button;
  }
  if (doneQuery_) SetTimer(kDoneTimer, kDonePollMs);
  {
    std::lock_guard lock(readyMutex_);
    ready_ = true;
  }
  readyChanged_.notify_all();
  return true;
}

void CProgressDialog::WaitReady() {
  std::unique_lock lock(readyMutex_);
  readyChanged_.wait(lock, [this] { return ready_; });
}

bool CProgressDialog::IsReady() const {
  std::lock_guard lock(readyMutex_);
  return ready_;
}

void CProgressDialog::SetCancel(std::function<void()> cancel) {
  cancel_ = std::move(cancel);
  setFixedSize(MapDialogRect(0, 0, ProgressFrame().widthDlu, kCancelHeightDlu).size());
}

void CProgressDialog::RequestCancel() {
  if (!cancel_ || cancelRequested_) return;
  cancelRequested_ = true;
  if (cancelButton_) cancelButton_->setEnabled(false);
  cancel_();
}

// Neither Escape nor the close box ends the dialog: work that can stop is
// asked to; other work goes on while the dialog is minimised.
void CProgressDialog::OnCancel() {
  if (cancel_)
    RequestCancel();
  else
    showMinimized();
}
void CProgressDialog::OnClose() { OnCancel(); }

LRESULT CProgressDialog::OnProgressUpdate(WPARAM code, LPARAM value) {
  if (code != kProgressText) {
    stages_.Apply(code, value, nullptr);
    return 0;
  }
  std::string text;
  if (value != 0 && poster_->TakeText(value, text)) stages_.Apply(code, value, &text);
  return 0;
}

LRESULT CProgressDialog::OnTimer(WPARAM id, LPARAM) {
  if (id == kDoneTimer && doneQuery_ && doneQuery_()) {
    KillTimer(kDoneTimer);
    EndDialog(0);
  } else if (id == kCreepTimer) {
    creep_ += 2;
    poster_->Post(kProgressPos, creep_ % 100);
  }
  return 0;
}

void ProgressThread::Stop() {
  if (target_) target_->PostMessage(WM_PROGRESS_STOP, 0, 0);
}

void ProgressThread::Toggle() {
  if (target_) target_->PostMessage(WM_PROGRESS_TOGGLE, 0, 0);
}

std::shared_ptr<ProgressThread> CProgressDialog::StartThread(QWidget* owner) {
  auto handle = std::make_shared<ProgressThread>();
  const bool shown = RunOnUiThread([&] {
    // Deleted by itself when stopped, or with its owner.
    auto* dialog = new CProgressDialog(owner, true);
    dialog->Create();
    handle->target_ = dialog->Target();
    handle->poster_ = dialog->Poster();
    handle->poster_->Post(kProgressPos, 0);
    handle->poster_->Post(kProgressRange, 100);
    handle->poster_->PostText("Loading from file..");
    dialog->SetTimer(kCreepTimer, kCreepMs);
    handle->started_ = true;
  });
  if (!shown) return nullptr;
  return handle;
}

}  // namespace ORV::UI
