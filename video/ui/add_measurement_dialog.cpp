#include "video/ui/add_measurement_dialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <cstdio>

#include "core/base/time_text.h"

namespace ORV::Video {

namespace {

UI::DialogFrame Frame() {
  UI::DialogFrame frame;
  frame.caption = QStringLiteral("Add measurement to data pad");
  frame.widthDlu = 186;
  frame.heightDlu = 78;
  return frame;
}

}  // namespace

AddMeasurementToDataPad::AddMeasurementToDataPad(QWidget* parent)
    : Dialog(Frame(), parent),
      time_(new QLineEdit(this)),
      value_(new QLineEdit(this)),
      text_(new QLineEdit(this)),
      add_(new QPushButton(QStringLiteral("Add"), this)),
      cancel_(new QPushButton(QStringLiteral("Cancel"), this)) {
  const struct {
    const char* text;
    int y;
  } labels[] = {{"Time:", 9}, {"Measurement:", 25}, {"Text:", 41}};
  for (const auto& l : labels) (new QLabel(QString::fromUtf8(l.text), this))->setGeometry(MapDialogRect(7, l.y, 52, 9));

  time_->setGeometry(MapDialogRect(62, 7, 70, 12));
  value_->setGeometry(MapDialogRect(62, 23, 70, 12));
  text_->setGeometry(MapDialogRect(62, 39, 117, 12));
  for (QLineEdit* field : {time_, value_}) {
    field->setReadOnly(true);
    field->setFocusPolicy(Qt::NoFocus);
  }
  add_->setGeometry(MapDialogRect(75, 57, 50, 14));
  cancel_->setGeometry(MapDialogRect(129, 57, 50, 14));
  add_->setDefault(true);
  QObject::connect(add_, &QPushButton::clicked, this, [this] { OnOK(); });
  QObject::connect(cancel_, &QPushButton::clicked, this, [this] { OnCancel(); });
}

bool AddMeasurementToDataPad::OnInitDialog() {
  time_->setText(QString::fromStdString(FormatTimeSecondsFraction(time)));
  char text[64];
  std::snprintf(text, sizeof text, "%.2f", double(value));
  value_->setText(QString::fromLatin1(text));
  text_->setText(initialLabel);
  text_->setFocus();
  return false;
}

void AddMeasurementToDataPad::OnOK() {
  resultText = text_->text();
  EndDialog(UI::IDOK);
}

}  // namespace ORV::Video
