#pragma once
// A progress bar that paints itself: a flat sunken frame, the bar, and a
// caption (the window text, optionally followed by the percentage) drawn in
// two colours so that it stays readable where the bar passes under it.
//
// The operations mirror the standard progress-bar messages and return what
// they return. A range of no width (lower == upper) shows an empty bar. In
// marquee style a segment bounces along the bar, one step per tick of timer
// 1; all marquee bars share one bounce direction, so they move in step.
#include <QString>
#include <QWidget>
#include <cstdint>

#include "platform/ui/message_window.h"
#include "platform/ui/painting.h"

class CCaptionProgressCtrl : public QWidget, public ORV::UI::MessageWindow {
 public:
  using COLORREF = ORV::UI::COLORREF;
  static constexpr std::uintptr_t kMarqueeTimer = 1;
  enum TextAlign { kAlignStart = 0, kAlignCenter = 1, kAlignEnd = 2 };
  struct Range {
    int low = 0;
    int high = 0;
  };

  explicit CCaptionProgressCtrl(QWidget* parent = nullptr);

  // Makes the control with PBS_ and WS_ style bits.
  bool Create(std::uint32_t style, const QRect& rect, QWidget* parent, int id);
  std::uint32_t GetStyle() const { return style_; }
  int CommandId() const { return commandId_; }

  // Each returns the old range packed as old upper x 65536 + old lower
  // (16 bits each).
  std::uint32_t SetRange(std::uint16_t lower, std::uint16_t upper);
  std::uint32_t SetRange32(int lower, int upper);
  // Fills `range` when given; returns the lower bound when `wantLower`, else
  // the upper one.
  int GetRange(bool wantLower, Range* range = nullptr) const;
  // Position operations return the old position.
  int SetPos(int position);
  int GetPos() const { return position_; }
  int DeltaPos(int delta);
  int SetStep(int step);
  int StepIt();

  // Colour setters return the old value (CLR_DEFAULT for the system's);
  // getters resolve the system's colour.
  COLORREF SetBarColor(COLORREF c);
  COLORREF GetBarColor() const;
  COLORREF SetBkColor(COLORREF c);
  COLORREF GetBkColor() const;
  COLORREF SetTextColor(COLORREF c);
  COLORREF GetTextColor() const;
  COLORREF SetTextBkColor(COLORREF c);
  COLORREF GetTextBkColor() const;

  bool SetShowPercent(bool show);
  int SetTextAlign(int align);
  void SetMarqueeSize(int percent);
  // On: marquee style and timer 1 every `periodMs`; off: neither. Either
  // way the percentage is no longer shown.
  void SetMarquee(bool on, int periodMs);

  void SetWindowText(const QString& text);
  QString GetWindowText() const { return text_; }
  // The caption as it is drawn.
  QString Caption() const;

 protected:
  void paintEvent(QPaintEvent* e) override;

 private:
  std::uint32_t ReplaceRange(int lower, int upper);
  COLORREF ReplaceColor(COLORREF& slot, COLORREF c);
  int MarqueeLimit() const;
  // The filled fraction of the range.
  double Fraction() const;
  void Redraw();
  void OnMarqueeTick();

  std::uint32_t style_ = 0;
  int commandId_ = 0;
  int lower_ = 0;
  int upper_ = 100;
  int position_ = 0;
  int step_ = 10;
  COLORREF barColor_ = ORV::UI::CLR_DEFAULT;
  COLORREF bkColor_ = ORV::UI::CLR_DEFAULT;
  COLORREF textColor_ = ORV::UI::CLR_DEFAULT;
  COLORREF textBkColor_ = ORV::UI::CLR_DEFAULT;
  bool showPercent_ = false;
  int textAlign_ = kAlignCenter;
  int marqueeSize_ = 20;
  QString text_;

  static int bounceDirection_;
  // Last, so that the window closes before the members above go.
  ORV::UI::MessageWindowCloser closer_{*this};
};
