#pragma once
// Asks for the four per-chamber temperature differences of the heat
// controller. The caller copies the current values into `values`, runs
// DoModal and, on IDOK, reads the new values ("Save"); Escape cancels and
// leaves them as they were. The edits take digits and one decimal point that
// does not start the text; Enter in an edit does nothing.
#include <QLineEdit>
#include <array>

#include "platform/ui/dialog.h"

class CSetDifferencesDialog : public ORV::UI::Dialog {
 public:
  static constexpr int kChambers = 4;
  static constexpr int kFirstEditId = 1058;  // chamber 1; 1059 to 1061 follow

  explicit CSetDifferencesDialog(QWidget* parent);

  // Chamber 1 to 4.
  std::array<float, kChambers> values{};

  QLineEdit* Edit(int chamber) const { return edits_[chamber]; }

 protected:
  bool OnInitDialog() override;
  bool PreTranslateKey(QWidget* target, QKeyEvent* key) override;
  void OnOK() override;

 private:
  std::array<QLineEdit*, kChambers> edits_{};
  // Last, so that the window closes before the members above go.
  ORV::UI::MessageWindowCloser closer_{*this};
};
