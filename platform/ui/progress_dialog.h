#pragma once
// The progress dialog of long operations (opening, saving and closing an
// experiment, exports).
//
// The dialog and its bar live on the GUI thread; the work runs on a worker
// and reports through a ProgressPoster, which posts WM_PROGRESS_UPDATE codes
// to the dialog from any thread. The dialog applies them in posting order:
//
//   0  text of the bar (the poster's copy of the text; 0 is ignored)
//   1  position                 2  push the text, position and upper bound
//   3  pop: restore the most recently pushed state (nothing when empty)
//   4  range 0..value, the value cut to its low 16 bits
//   5  advance the position by value          1000  redraw now
//
// Any other code is ignored. Nested stages push the outer stage, show their
// own text and range and pop it back (BeginStage posts the first half).
//
// Modal use: DoModal with a done query that the dialog asks every 250 ms; it
// ends when the query answers true. Modeless use: StartThread shows a
// marquee dialog whose position creeps forward every 100 ms until its
// handle's Stop(). The user cannot close it: the close box, Alt+F4 and
// Escape only minimise it, and the work goes on. Work that can stop early
// gives the dialog a Cancel button (SetCancel): the button, Escape and the
// close box then ask the work to stop, and the dialog still ends when the
// done query says so.
#include <QString>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "platform/ui/caption_progress_ctrl.h"
#include "platform/ui/dialog.h"

namespace ORV::UI {

inline constexpr std::uint32_t WM_PROGRESS_UPDATE = WM_USER + 2302;  // 0xCFE

enum ProgressCode : WPARAM {
  kProgressText = 0,
  kProgressPos = 1,
  kProgressPush = 2,
  kProgressPop = 3,
  kProgressRange = 4,
  kProgressAdvance = 5,
  kProgressRedraw = 1000,
};

// What the stages read and change of a bar.
class ProgressBarAccess {
 public:
  virtual ~ProgressBarAccess() = default;
  virtual QString Text() const = 0;
  virtual void SetText(const QString& text) = 0;
  virtual int Pos() const = 0;
  virtual void SetPos(int position) = 0;
  virtual int Upper() const = 0;
  // Range 0..upper.
  virtual void SetUpper(int upper) = 0;
  virtual void Redraw() = 0;
};

// The codes applied to a bar, with the stack of saved stages. One thread.
class ProgressStages {
 public:
  explicit ProgressStages(ProgressBarAccess& bar) : bar_(bar) {}
  // Applies one code; `text` is the text of code 0 (null: ignored).
  void Apply(WPARAM code, LPARAM value, const std::string* text);
  std::size_t Depth() const { return stack_.size(); }

 private:
  struct Saved {
    QString text;
    int position = 0;
    int upper = 0;
  };
  ProgressBarAccess& bar_;
  std::deque<Saved> stack_;
};

// Reports progress to a dialog from any thread. Texts wait in the poster
// until the dialog takes them, so one that never arrives (the dialog went
// away) is freed with the poster.
class ProgressPoster {
 public:
  explicit ProgressPoster(std::shared_ptr<OS::MessageTarget> target) : target_(std::move(target)) {}

  // False when the dialog is gone.
  bool Post(WPARAM code, LPARAM value = 0);
  bool PostText(std::string text);
  // Push, the stage's text, position 0, range 0..n, redraw.
  void BeginStage(std::string text, int n);

  // The text posted under `key`, taken out of the poster; false when none.
  bool TakeText(LPARAM key, std::string& text);

 private:
  std::shared_ptr<OS::MessageTarget> target_;
  std::mutex mutex_;
  std::unordered_map<LPARAM, std::string> texts_;
  LPARAM nextKey_ = 1;
};

class CProgressDialog;

// The handle of a dialog started by CProgressDialog::StartThread. Any thread.
class ProgressThread {
 public:
  // Ends the dialog (it is hidden and deleted on the GUI thread).
  void Stop();
  // Hides a shown dialog or shows a hidden one.
  void Toggle();
  bool Started() const { return started_; }
  ProgressPoster& Poster() { return *poster_; }

 private:
  friend class CProgressDialog;
  std::shared_ptr<OS::MessageTarget> target_;
  std::shared_ptr<ProgressPoster> poster_;
  bool started_ = false;
};

class CProgressDialog : public Dialog {
 public:
  static constexpr int kProgressBarId = 1077;
  static constexpr std::uintptr_t kDoneTimer = 1000;
  static constexpr unsigned kDonePollMs = 250;
  static constexpr std::uintptr_t kCreepTimer = 2;
  static constexpr unsigned kCreepMs = 100;

  using DoneQuery = std::function<bool()>;

  CProgressDialog(QWidget* owner, bool marquee, DoneQuery doneQuery = {});
  ~CProgressDialog() override;

  // Before the window is made (DoModal or Create).
  void SetDoneQuery(DoneQuery doneQuery) { doneQuery_ = std::move(doneQuery); }
  // Before the window is made: adds the Cancel button; `cancel` is called
  // once, on the GUI thread, when the user cancels.
  void SetCancel(std::function<void()> cancel);
  bool CancelRequested() const { return cancelRequested_; }
  // Where workers report to; shared with them.
  std::shared_ptr<ProgressPoster> Poster() const { return poster_; }
  // Blocks until the dialog is initialised. Any thread but the GUI thread.
  void WaitReady();
  bool IsReady() const;

  CCaptionProgressCtrl& Bar() { return *bar_; }
  const ProgressStages& Stages() const { return stages_; }

  // Shows a marquee dialog with the text "Loading from file.." on the GUI
  // thread (from any thread; a worker waits until it is up) and returns its
  // handle; an empty pointer when there is no GUI thread to show it on.
  static std::shared_ptr<ProgressThread> StartThread(QWidget* owner = nullptr);

 protected:
  bool OnInitDialog() override;
  void OnCancel() override;
  void OnClose() override;

 private:
  class BarAccess;
  LRESULT OnProgressUpdate(WPARAM code, LPARAM value);
  LRESULT OnTimer(WPARAM id, LPARAM);

  void RequestCancel();

  bool marquee_;
  DoneQuery doneQuery_;
  std::function<void()> cancel_;
  bool cancelRequested_ = false;
  QWidget* cancelButton_ = nullptr;
  CCaptionProgressCtrl* bar_;
  std::unique_ptr<BarAccess> access_;
  ProgressStages stages_;
  std::shared_ptr<ProgressPoster> poster_;
  int creep_ = 0;
  mutable std::mutex readyMutex_;
  std::condition_variable readyChanged_;
  bool ready_ = false;
  // Last, so that the window closes before the members above go.
  ORV::UI::MessageWindowCloser closer_{*this};
};

}  // namespace ORV::UI
