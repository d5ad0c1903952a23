#include "instruments/ui/task_dialog.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>

#include "platform/ui/message_box.h"
#include "platform/ui/string_table.h"

using namespace ORV::UI;

namespace {

DialogFrame Frame(bool edit) {
  DialogFrame frame;
  frame.caption = edit ? QStringLiteral("Edit task") : QStringLiteral("Add task");
  frame.widthDlu = 182;
  frame.heightDlu = 221;
  return frame;
}

QLineEdit* DigitsEdit(QWidget* parent) {
  auto* edit = new QLineEdit(parent);
  static const QRegularExpression digits(QStringLiteral("[0-9]*"));
  edit->setValidator(new QRegularExpressionValidator(digits, edit));
  return edit;
}

// A check box with its text to the left of the box.
QCheckBox* TextLeftCheckBox(const QString& text, QWidget* parent) {
  auto* box = new QCheckBox(text, parent);
  box->setLayoutDirection(Qt::RightToLeft);
  return box;
}

}  // namespace

CTaskDialog::CTaskDialog(QWidget* owner, const ORV::SequencerTask& task, bool p2Row, bool pulsation, bool edit)
    : Dialog(Frame(edit), owner), logic_(task, p2Row, pulsation, edit) {
  Add(-1, new QLabel(QStringLiteral("Description"), this), 7, 15, 47, 8);
  Add(kDescription, new QLineEdit(this), 70, 14, 105, 12);
  Add(kShowMarker, new QCheckBox(QStringLiteral("Show description on trace when task starts"), this), 7, 34, 158, 10);
  Add(-1, new QLabel(QStringLiteral("Duration"), this), 10, 53, 56, 8);
  Add(kDuration, DigitsEdit(this), 70, 51, 28, 12);
  Add(-1, new QLabel(QStringLiteral("s"), this), 101, 52, 10, 8);
  auto* wait = new QLabel(QStringLiteral("Wait"), this);
  wait->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  Add(-1, wait, 101, 52, 61, 8);
  Add(-1, new QLabel(QStringLiteral("Inflow  (P1)"), this), 10, 74, 56, 8);
  Add(kP1, DigitsEdit(this), 70, 72, 28, 12);
  Add(kWaitP1, TextLeftCheckBox(QStringLiteral("mmHg"), this), 101, 73, 61, 10);
  Add(kP2Label, new QLabel(QStringLiteral("Outflow (P2)"), this), 10, 95, 56, 8);
  Add(kP2, DigitsEdit(this), 70, 93, 28, 12);
  Add(kWaitP2, TextLeftCheckBox(QStringLiteral("mmHg"), this), 101, 94, 61, 10);
  Add(kTemperatureLabel, new QLabel(QStringLiteral("Temperature"), this), 10, 116, 56, 8);
  Add(kTemperature, DigitsEdit(this), 70, 114, 28, 12);
  Add(kWaitTemperature, TextLeftCheckBox(QStringLiteral("deg. C"), this), 101, 115, 61, 10);
  Add(kPulsationGroup, new QGroupBox(this), 7, 140, 157, 26);
  Add(kPulsation, new QCheckBox(QStringLiteral("Use Pulsation"), this), 8, 133, 82, 10);
  Add(kPulseRateLabel, new QLabel(QStringLiteral("Pulse rate"), this), 10, 152, 56, 8);
  Add(kPulseRate, DigitsEdit(this), 70, 148, 28, 12);
  Add(kPromptUser, new QCheckBox(QStringLiteral("Prompt user"), this), 7, 172, 83, 8);
  Add(kPrompt, new QPlainTextEdit(this), 7, 183, 117, 31);
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setDefault(true);
  Add(kOk, ok, 127, 182, 48, 14);
  Add(kCancel, new QPushButton(QStringLiteral("Cancel"), this), 127, 200, 48, 14);
  // The group box's frame lies under the check box that titles it.
  Control(kPulsation)->raise();

  QObject::connect(ok, &QPushButton::clicked, this, [this] { OnOK(); });
  QObject::connect(static_cast<QPushButton*>(Control(kCancel)), &QPushButton::clicked, this, [this] { OnCancel(); });
  auto* description = static_cast<QLineEdit*>(Control(kDescription));
  QObject::connect(description, &QLineEdit::textChanged, this,
                   [ok](const QString& text) { ok->setEnabled(ORV::TaskDialogLogic::OkEnabled(text)); });
  auto* promptUser = static_cast<QCheckBox*>(Control(kPromptUser));
  QObject::connect(promptUser, &QCheckBox::toggled, this, [this](bool on) { Control(kPrompt)->setEnabled(on); });
}

void CTaskDialog::Add(int id, QWidget* widget, int x, int y, int width, int height) {
  widget->setGeometry(MapDialogRect(x, y, width, height));
  if (id != -1) {
    widget->setObjectName(QStringLiteral("control%1").arg(id));
    controls_[id] = widget;
  }
}

QWidget* CTaskDialog::Control(int id) const {
  const auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

// Places given in pixels of the template's own font at 96 DPI (dialog base
// units of 6 by 13 pixels), mapped through this dialog's font like the rest
// of the template, so they keep their place among the other controls.
QRect CTaskDialog::MapTemplatePixels(int x, int y, int width, int height) const {
  return MapDialogRect(x * 4 / 6, y * 8 / 13, width * 4 / 6, height * 8 / 13);
}

void CTaskDialog::MoveToTemplatePixels(int id, int x, int y) {
  Control(id)->move(MapTemplatePixels(x, y, 0, 0).topLeft());
}

bool CTaskDialog::OnInitDialog() {
  const ORV::TaskDialogLogic::Fields f = logic_.Initial();
  const auto edit = [this](int id) { return static_cast<QLineEdit*>(Control(id)); };
  const auto check = [this](int id) { return static_cast<QCheckBox*>(Control(id)); };
  edit(kDescription)->setText(f.description);
  Control(kOk)->setEnabled(ORV::TaskDialogLogic::OkEnabled(f.description));
  check(kWaitTemperature)->setChecked(f.waitTemperature);
  check(kWaitP2)->setChecked(f.waitP2);
  check(kWaitP1)->setChecked(f.waitP1);
  check(kPromptUser)->setChecked(f.promptUser);
  check(kShowMarker)->setChecked(f.showMarker);
  check(kPulsation)->setChecked(f.pulsation);
  Control(kPrompt)->setEnabled(f.promptUser);
  edit(kDuration)->setText(f.duration);
  edit(kP1)->setText(f.p1);
  edit(kP2)->setText(f.p2);
  edit(kPulseRate)->setText(f.pulseRate);
  edit(kTemperature)->setText(f.temperature);
  static_cast<QPlainTextEdit*>(Control(kPrompt))->setPlainText(f.prompt);

  if (!logic_.PulsationRow()) {
    for (int id : {kPulsation, kPulsationGroup, kPulseRate, kPulseRateLabel}) Control(id)->hide();
    MoveToTemplatePixels(kOk, 195, 240);
    MoveToTemplatePixels(kCancel, 195, 268);
    MoveToTemplatePixels(kPromptUser, 15, 220);
    MoveToTemplatePixels(kPrompt, 15, 240);
    setFixedSize(MapTemplatePixels(0, 0, 300, 340).size());
  }
  if (!logic_.P2Row()) {
    for (int id : {kP2Label, kP2, kWaitP2}) {
      Control(id)->setEnabled(false);
      Control(id)->hide();
    }
    // The rows below move up into the place of the P2 row.
    const int d = Control(kTemperature)->geometry().bottom() - Control(kP2Label)->geometry().bottom();
    for (int id : {kTemperatureLabel, kTemperature, kWaitTemperature, kPulsation, kPulsationGroup, kPulseRateLabel,
                   kPulseRate, kPromptUser, kPrompt, kOk, kCancel})
      Control(id)->move(Control(id)->pos() - QPoint(0, d));
    setFixedSize(width(), height() - d / 2);
  }
  return true;
}

ORV::TaskDialogLogic::Fields CTaskDialog::Read() const {
  const auto text = [this](int id) { return static_cast<QLineEdit*>(Control(id))->text(); };
  const auto checked = [this](int id) { return static_cast<QCheckBox*>(Control(id))->isChecked(); };
  ORV::TaskDialogLogic::Fields f;
  f.description = text(kDescription);
  f.duration = text(kDuration);
  f.p1 = text(kP1);
  f.p2 = text(kP2);
  f.temperature = text(kTemperature);
  f.pulseRate = text(kPulseRate);
  f.prompt = static_cast<QPlainTextEdit*>(Control(kPrompt))->toPlainText();
  f.showMarker = checked(kShowMarker);
  f.waitP1 = checked(kWaitP1);
  f.waitP2 = checked(kWaitP2);
  f.waitTemperature = checked(kWaitTemperature);
  f.pulsation = checked(kPulsation);
  f.promptUser = checked(kPromptUser);
  return f;
}

void CTaskDialog::OnOK() {
  // Enter ends the dialog as OK does; not without a description.
  if (!Control(kOk)->isEnabled()) return;
  if (logic_.Accept(Read()) == ORV::TaskDialogLogic::Outcome::P2AboveP1) {
    MessageBox(this, LoadQString(kP2AboveP1String), LoadQString(kEnteredValueOutRangeString), MB_OK | MB_ICONERROR);
    return;
  }
  EndDialog(IDOK);
}
