#pragma once
// An entry field for set values in the instrument panes.
//
// The field shows the live value read-only and becomes editable when the
// user clicks into it (the first click after it lost the focus selects the
// whole text) or tabs into it. Thirty ticks of its one-second timer (id
// 1111) without a key or a click make it read-only again; the panes tell
// display mode from entry mode by isReadOnly(). Enter and Escape go to
// handler objects, Tab and Shift+Tab to fixed neighbours, and in numeric
// mode only the keys of a number get through.
#include <QLineEdit>
#include <QPointer>
#include <cstdint>

#include "platform/ui/enter_key_interface.h"
#include "platform/ui/message_window.h"

class CFocusEdit : public QLineEdit, public ORV::UI::MessageWindow {
 public:
  static constexpr std::uintptr_t kTimerId = 1111;
  static constexpr unsigned kTimerPeriodMs = 1000;

  explicit CFocusEdit(QWidget* parent = nullptr);

  // Set by the owning pane after construction; handlers and neighbours are
  // not owned.
  CEnterKeyInterface* enterHandler = nullptr;
  CEnterKeyInterface* escapeHandler = nullptr;
  QPointer<QWidget> nextWindow;      // Tab
  QPointer<QWidget> previousWindow;  // Shift+Tab
  bool numericOnly = false;
  bool decimalAllowed = false;
  int reload = 30;  // ticks before the field locks itself

  // Ticks left before the field locks itself.
  int Countdown() const { return countdown_; }

 protected:
  bool event(QEvent* e) override;
  void keyPressEvent(QKeyEvent* e) override;
  void mousePressEvent(QMouseEvent* e) override;
  void focusInEvent(QFocusEvent* e) override;
  void focusOutEvent(QFocusEvent* e) override;
  void changeEvent(QEvent* e) override;

 private:
  // True when the key is swallowed.
  bool PreTranslateKey(QKeyEvent* key);
  bool NumericKeyAllowed(const QKeyEvent* key) const;
  void OnTimer();

  int countdown_ = 0;
  bool selected_ = false;
  // Last, so that the window closes before the members above go.
  ORV::UI::MessageWindowCloser closer_{*this};
};
