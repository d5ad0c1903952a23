#pragma once
// Asks for the label of a length measured on a recorded video: shows the
// measurement's video time and value and takes a text. The caller sets the
// time and value, runs DoModal and, on IDOK, reads resultText.
#include <QString>

#include "platform/ui/dialog.h"

class QLineEdit;
class QPushButton;

namespace ORV::Video {

class AddMeasurementToDataPad : public UI::Dialog {
 public:
  enum : int { kTimeId = 1064, kValueId = 1098, kTextId = 1058, kAddId = 1088, kCancelId = 1063 };

  explicit AddMeasurementToDataPad(QWidget* parent = nullptr);

  double time = 0.0;   // seconds
  float value = 0.0f;  // micrometres
  QString initialLabel;
  QString resultText;

  QLineEdit* TimeField() const { return time_; }
  QLineEdit* ValueField() const { return value_; }
  QLineEdit* TextField() const { return text_; }
  QPushButton* AddButton() const { return add_; }
  QPushButton* CancelButton() const { return cancel_; }

 protected:
  bool OnInitDialog() override;
  void OnOK() override;

 private:
  QLineEdit* time_;
  QLineEdit* value_;
  QLineEdit* text_;
  QPushButton* add_;
  QPushButton* cancel_;
  // Last, so that the window closes before the members above go.
  ORV::UI::MessageWindowCloser closer_{*this};
};

}  // namespace ORV::Video
