#pragma once
// The script help: a modeless window with one read-only text view that
// shows the help page (the globals a script can read, the Lua math names).
// The page is the RTF resource "custom_traces/help.rtf".
#include <QString>

#include "platform/ui/dialog.h"

class QTextBrowser;

namespace ORV::Traces {

class CustomScriptHelp : public UI::Dialog {
 public:
  // `rtf`: the page to show.
  explicit CustomScriptHelp(const QString& rtf, QWidget* parent = nullptr);

  // Set once the user has closed the window.
  bool Closed() const { return closed_; }
  QTextBrowser* Text() const { return text_; }

  // The help page from the resources; empty when it cannot be found.
  static QString LoadHelpText();

 protected:
  bool OnInitDialog() override;
  void OnOK() override { OnCancel(); }
  void OnCancel() override;

 private:
  QString rtf_;
  QTextBrowser* text_ = nullptr;
  bool closed_ = false;
};

}  // namespace ORV::Traces
