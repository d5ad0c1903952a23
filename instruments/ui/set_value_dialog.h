#pragma once
// Asks the user for one number (a chamber's target temperature, a measured
// length). The edit admits digits and, with the decimal flag 1, points; while
// the user types, a balloon tip warns when the value leaves the range. The
// warning never blocks: the caller gets whatever the edit held and checks it
// itself.
//
// The caller fills the public fields, runs DoModal and, on IDOK, reads
// resultText. Enter ends the dialog with IDOK, Escape with IDCANCEL; a close
// request from the window manager copies the text and cancels.
#include <QString>
#include <cstdint>

#include "platform/ui/dialog.h"

class QLabel;
class QLineEdit;

class CSetValueDialog : public ORV::UI::Dialog {
 public:
  static constexpr int kLabelId = 1010;
  static constexpr int kEditId = 1002;

  explicit CSetValueDialog(QWidget* owner);

  QWidget* const ownerWindow;
  QString labelText;
  QString initialText;
  // The edit's text at the last close request (Enter or a window close).
  QString resultText;
  QString balloonText;
  QString balloonTitle;
  // 1 lets the decimal point through; anything else admits digits only.
  std::uint8_t decimalFlag = 1;
  float minimum = 0.0f;  // inclusive range of the warning
  float maximum = 0.0f;

  QLineEdit* Edit() const { return edit_; }
  QLabel* Label() const { return label_; }

 protected:
  bool OnInitDialog() override;
  bool PreTranslateKey(QWidget* target, QKeyEvent* key) override;
  void OnClose() override;

 private:
  void OnEditChanged();

  QLabel* label_;
  QLineEdit* edit_;
  // Last, so that the window closes before the members above go.
  ORV::UI::MessageWindowCloser closer_{*this};
};
