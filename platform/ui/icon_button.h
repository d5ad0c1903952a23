#pragma once
// A push button that draws itself: a flat face that shows a 3-D edge while
// the mouse is over it, an icon beside or above its caption, and a tooltip.
// A button created with a check-box style keeps a checked state instead of
// springing back.
#include <QColor>
#include <QPushButton>
#include <QRect>
#include <QSize>
#include <QString>
#include <cstdint>
#include <memory>

class QSvgRenderer;

class CIconButton : public QPushButton {
 public:
  enum IconAlign { kIconLeft = 0, kIconAbove = 1, kIconRight = 2 };

  explicit CIconButton(QWidget* parent = nullptr);
  ~CIconButton() override;

  // Makes the button: caption, style (button type and WS_ bits), place,
  // parent and command id. The type decides check-box mode and whether the
  // button is the default button.
  bool Create(const QString& text, std::uint32_t style, const QRect& rect, QWidget* parent, int id);
  int CommandId() const { return commandId_; }

  // Shows icon `resourceId` at its natural size and repaints: 0, or 1 when
  // there is no such icon (the button then shows none).
  int SetIcon(int resourceId);
  QSize IconSize() const { return iconSize_; }
  // Where the icon stands beside a caption (beside it on the left at first).
  void SetIconAlign(IconAlign align);
  // A null text is ignored.
  void SetTooltipText(const QString& text);

  // A new button type: only whether it is the default button is kept.
  void SetButtonStyle(std::uint32_t style);
  bool IsDefaultButton() const { return defaultButton_; }
  bool IsCheckBoxMode() const { return checkBoxMode_; }
  // Check state, in check-box mode only.
  void SetCheck(bool checked);
  bool GetCheck() const;

  bool IsHovering() const { return hover_; }

 protected:
  void paintEvent(QPaintEvent* e) override;
  void enterEvent(QEnterEvent* e) override;
  void leaveEvent(QEvent* e) override;
  void mouseMoveEvent(QMouseEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;
  void changeEvent(QEvent* e) override;

 private:
  void LoadDefaultColors();
  void TrackHover(const QPoint& pos, Qt::MouseButtons buttons);
  void ClearHover();

  int commandId_ = 0;
  bool flat_ = true;
  bool drawBorder_ = true;
  bool drawFlatFocus_ = false;
  bool hover_ = false;
  bool checkBoxMode_ = false;
  bool defaultButton_ = false;
  // Face and text colours: in (pressed or hovering), out, focused.
  QColor inBack_, inText_, outBack_, outText_, focusBack_, focusText_;
  std::unique_ptr<QSvgRenderer> icon_;
  QSize iconSize_;
  IconAlign align_ = kIconLeft;
  static constexpr int kMarginX = 3;
  static constexpr int kMarginY = 3;
  static constexpr QPoint kPressedOffset{1, 1};
};
