#pragma once
// Dialogs: a QDialog with the program's modal loop and keyboard rules.
//
// A dialog is built from a frame (caption, border, size in dialog units) and
// its controls, placed in dialog units too. DoModal() initialises it once
// (OnInitDialog), shows it and returns the code it was ended with: IDOK when
// the user confirms (Enter, or the default button), IDCANCEL on Escape or a
// close request, or the code given to EndDialog.
//
// Every key press aimed at the dialog or one of its controls first passes
// PreTranslateKey, which may swallow it.
#include <QDialog>
#include <QFont>
#include <QPoint>
#include <QRect>
#include <QString>

#include "platform/ui/message_window.h"

class QKeyEvent;

namespace ORV::UI {

// Result codes of dialogs and message boxes.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

// Where a pop-up of `size` goes beside `anchor` (what it edits, in screen
// coordinates) within `area` (the screen's available area): below the
// anchor, else above it, else to its right, else to its left, each moved
// along the anchor's edge to stay inside the area; never over the anchor
// while any of the four has room. Without room anywhere, below the anchor
// and kept inside the area. Returns the pop-up's top-left corner.
QPoint PlaceBeside(const QRect& anchor, const QSize& size, const QRect& area);

struct DialogFrame {
  QString caption;
  bool captionBar = true;  // false: no title bar, a thin border
  bool systemMenu = true;  // the caption bar's close box
  int widthDlu = 0;        // client size in dialog units
  int heightDlu = 0;
  bool centerOnMouse = false;
};

class Dialog : public QDialog, public MessageWindow {
 public:
  explicit Dialog(const DialogFrame& frame, QWidget* parent = nullptr);

  // Initialises the dialog on the first call, shows it modally and returns
  // the code it was ended with.
  int DoModal();
  // Initialises the dialog on the first call and shows it without a modal
  // loop.
  void Create();
  // Ends the modal loop with `result`.
  void EndDialog(int result);
  // The dialog opens beside `globalRect` (what it edits, in screen
  // coordinates) rather than where the frame says; see PlaceBeside.
  void OpenBeside(const QRect& globalRect) { anchor_ = globalRect; }

  // A rectangle in dialog units (x, y, width, height) in pixels of the
  // dialog's font, which stands for the templates' 8-point dialog font.
  QRect MapDialogRect(int x, int y, int width, int height) const;

  void accept() override;
  void reject() override;

 protected:
  // Fills the controls. Returning true gives the focus to the first control
  // that takes it.
  virtual bool OnInitDialog() { return true; }
  virtual void OnOK() { EndDialog(IDOK); }
  virtual void OnCancel() { EndDialog(IDCANCEL); }
  // A close request (the close box, Alt+F4). The default cancels.
  virtual void OnClose() { OnCancel(); }
  // Sees each key press before the control it is aimed at; true swallows it.
  virtual bool PreTranslateKey(QWidget* target, QKeyEvent* key);

  void keyPressEvent(QKeyEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;
  void paintEvent(QPaintEvent* e) override;

 private:
  void Initialise();

  void Place();

  DialogFrame frame_;
  QRect anchor_;
  int baseUnitX_ = 6;
  int baseUnitY_ = 13;
  bool initialised_ = false;
  // Last, so that the window closes before the members above go.
  ORV::UI::MessageWindowCloser closer_{*this};
};

}  // namespace ORV::UI
