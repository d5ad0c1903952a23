#pragma once
// Message boxes and edit balloon tips.
//
// MessageBox shows a modal box with the type's buttons and icon and returns
// the button pressed. While a ScriptedMessageBoxes object exists (tests) no
// box is shown: each one is recorded and answered from the script. Balloon
// tips are shown beside an edit field; a BalloonTipRecorder lists them.
#include <QPointer>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <deque>
#include <initializer_list>
#include <vector>

#include "platform/ui/dialog.h"

namespace ORV::UI {

// Buttons (the low four bits of the type).
inline constexpr std::uint32_t MB_OK = 0x00000000;
inline constexpr std::uint32_t MB_YESNO = 0x00000004;
// Icons.
inline constexpr std::uint32_t MB_ICONSTOP = 0x00000010;
inline constexpr std::uint32_t MB_ICONERROR = MB_ICONSTOP;
inline constexpr std::uint32_t MB_ICONQUESTION = 0x00000020;
inline constexpr std::uint32_t MB_ICONEXCLAMATION = 0x00000030;
inline constexpr std::uint32_t MB_ICONWARNING = MB_ICONEXCLAMATION;
inline constexpr std::uint32_t MB_ICONINFORMATION = 0x00000040;
// Modality flags; every box here is modal to the whole application.
inline constexpr std::uint32_t MB_TASKMODAL = 0x00002000;
inline constexpr std::uint32_t MB_TOPMOST = 0x00040000;

struct MessageBoxRecord {
  QPointer<QWidget> owner;
  QString text;
  QString caption;
  std::uint32_t type = 0;
  int answer = 0;
};

// Shows a modal message box (an empty caption is the application title) and
// returns IDOK, IDYES or IDNO. GUI thread.
int MessageBox(QWidget* owner, const QString& text, const QString& caption, std::uint32_t type);

// A scripted answer; the box stays open `delayMs` before it is given, the
// user-interface thread serving its events meanwhile as under a modal box.
struct ScriptedAnswer {
  int answer = 0;
  int delayMs = 0;
};

class ScriptedMessageBoxes {
 public:
  explicit ScriptedMessageBoxes(std::initializer_list<int> answers = {});
  ~ScriptedMessageBoxes();
  ScriptedMessageBoxes(const ScriptedMessageBoxes&) = delete;
  ScriptedMessageBoxes& operator=(const ScriptedMessageBoxes&) = delete;

  // Queues the answer to the next box.
  void Answer(int answer) { answers_.push_back({answer, 0}); }
  // Queues an answer that the user takes `delayMs` to give.
  void AnswerAfter(int answer, int delayMs) { answers_.push_back({answer, delayMs}); }
  // The boxes asked for so far, oldest first.
  const std::vector<MessageBoxRecord>& Shown() const { return shown_; }
  // Boxes that found the script empty; they got their first button.
  int Unscripted() const { return unscripted_; }

 private:
  friend int MessageBox(QWidget*, const QString&, const QString&, std::uint32_t);
  int Next(MessageBoxRecord record);

  std::deque<ScriptedAnswer> answers_;
  std::vector<MessageBoxRecord> shown_;
  int unscripted_ = 0;
};

// Balloon tip icons.
enum class BalloonIcon { None = 0, Info = 1, Warning = 2, Error = 3 };

struct BalloonTip {
  QPointer<QWidget> edit;
  QString title;
  QString text;
  BalloonIcon icon = BalloonIcon::None;
};

// Shows a tip with a title, a text and an icon pointing at `edit`, in place
// of the one shown before; it goes when the user types or clicks. Nothing is
// shown for an edit that is not on the screen. GUI thread.
void ShowBalloonTip(QWidget* edit, const QString& title, const QString& text, BalloonIcon icon);

class BalloonTipRecorder {
 public:
  BalloonTipRecorder();
  ~BalloonTipRecorder();
  BalloonTipRecorder(const BalloonTipRecorder&) = delete;
  BalloonTipRecorder& operator=(const BalloonTipRecorder&) = delete;

  const std::vector<BalloonTip>& Tips() const { return tips_; }
  void Clear() { tips_.clear(); }

 private:
  friend void ShowBalloonTip(QWidget*, const QString&, const QString&, BalloonIcon);
  std::vector<BalloonTip> tips_;
};

}  // namespace ORV::UI
