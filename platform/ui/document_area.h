#pragma once
// The frame's tabbed document area and the child frames its views live in.
//
// Documents open from templates the application registers (the trace
// window, the data sheet, the action sheet): each opens a child frame and
// lets its template make the view inside it. A child frame knows what kind
// of view it hosts and tells its owner after it has closed, so the
// application can forget a sheet that went away. The "Windows..." command
// lists the open windows and activates or closes them. GUI thread.
#include <QDialog>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QString>
#include <functional>
#include <string>
#include <vector>

#include "platform/ui/command_router.h"

class QListWidget;

namespace ORV::UI {

class CChildFrame : public QMdiSubWindow {
 public:
  static constexpr unsigned kTraceView = 1;
  static constexpr unsigned kDataSheet = 2;
  static constexpr unsigned kActionSheet = 4;

  explicit CChildFrame(QWidget* parent = nullptr);

  // What the frame shows: a trace view until a sheet's view says otherwise.
  unsigned frameKind = kTraceView;
  // Called once the frame has closed.
  std::function<void(CChildFrame&)> onClosed;
  bool IsClosed() const { return closed_; }

 protected:
  void closeEvent(QCloseEvent* e) override;

 private:
  bool closed_ = false;
};

struct DocTemplate {
  QString name;
  // Makes the view inside `frame` (and may set its kind); null when it
  // cannot, and then no window opens.
  std::function<QWidget*(CChildFrame& frame)> makeView;
};

class DocumentArea : public QMdiArea {
 public:
  explicit DocumentArea(QWidget* parent = nullptr);

  // Registers a template; returns its index.
  int AddDocTemplate(DocTemplate docTemplate);
  std::size_t TemplateCount() const { return templates_.size(); }
  // Opens a new document of template `index` in a new child frame, shown
  // and active when `visible`. Null when there is no such template or it
  // made no view.
  CChildFrame* OpenDocument(int index, bool visible = true);

  // The open child frames in tab order.
  std::vector<CChildFrame*> Frames() const;

  // Shows the "Windows..." dialog.
  void ShowWindowsDialog();
  // Command `id` shows the dialog; its menu text is `text`.
  void EnableWindowsDialog(CommandRouter& router, CommandId id, std::string text);

 private:
  std::vector<DocTemplate> templates_;
};

// The "Windows..." dialog: the open windows, with Activate and Close.
class WindowsDialog : public QDialog {
 public:
  explicit WindowsDialog(DocumentArea& area, QWidget* parent = nullptr);
  QListWidget& List() { return *list_; }
  // Activates the selected window and ends the dialog.
  void ActivateSelected();
  // Closes the selected windows and lists the rest.
  void CloseSelected();

 private:
  void Fill();
  DocumentArea& area_;
  QListWidget* list_;
};

}  // namespace ORV::UI
