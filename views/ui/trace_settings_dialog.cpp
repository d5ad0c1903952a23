#include "views/ui/trace_settings_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "platform/ui/message_box.h"
#include "platform/ui/string_table.h"

namespace ORV::Views {

namespace {

UI::DialogFrame Frame() {
  UI::DialogFrame frame;
  frame.caption = QStringLiteral("Trace Settings");
  frame.widthDlu = 196;
  frame.heightDlu = 124;
  return frame;
}

std::string ProgramText(std::uint32_t id) { return UI::LoadString(id); }

}  // namespace

CTraceSettingsDialog::CTraceSettingsDialog(CPelmoraDoc& doc, CustomTraceList customTraces, std::uint32_t interfaceType,
                                           QWidget* parent)
    : Dialog(Frame(), parent),
      editor_(doc, std::move(customTraces), interfaceType, ProgramText),
      kinds_(new QComboBox(this)),
      minimum_(new QLineEdit(this)),
      maximum_(new QLineEdit(this)),
      horizontal_(new QLineEdit(this)),
      vertical_(new QLineEdit(this)),
      unit_(new QLabel(this)),
      showUnit_(new QCheckBox(QStringLiteral("Show trace unit"), this)),
      autoRange_(new QCheckBox(QStringLiteral("Auto range"), this)) {
  const auto label = [this](const char* text, int y) {
    auto* l = new QLabel(QString::fromUtf8(text), this);
    l->setGeometry(MapDialogRect(7, y + 3, 66, 8));
  };
  label("Trace:", 7);
  kinds_->setGeometry(MapDialogRect(76, 7, 113, 14));
  label("Minimum:", 29);
  minimum_->setGeometry(MapDialogRect(76, 29, 44, 14));
  label("Maximum:", 47);
  maximum_->setGeometry(MapDialogRect(76, 47, 44, 14));
  label("Horizontal labels:", 65);
  horizontal_->setGeometry(MapDialogRect(76, 65, 44, 14));
  label("Vertical labels:", 83);
  vertical_->setGeometry(MapDialogRect(76, 83, 44, 14));
  for (QLineEdit* e : {minimum_, maximum_, horizontal_, vertical_}) e->setAlignment(Qt::AlignRight);
  auto* unitCaption = new QLabel(QStringLiteral("Unit:"), this);
  unitCaption->setGeometry(MapDialogRect(128, 32, 22, 8));
  unit_->setGeometry(MapDialogRect(150, 32, 42, 8));
  showUnit_->setGeometry(MapDialogRect(128, 49, 64, 10));
  autoRange_->setGeometry(MapDialogRect(128, 67, 64, 10));
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  ok->setGeometry(MapDialogRect(85, 103, 50, 14));
  ok->setDefault(true);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  cancel->setGeometry(MapDialogRect(139, 103, 50, 14));
  connect(ok, &QPushButton::clicked, this, [this] { OnOK(); });
  connect(cancel, &QPushButton::clicked, this, [this] { OnCancel(); });
  connect(kinds_, &QComboBox::currentIndexChanged, this, [this](int row) {
    if (row >= 0 && row != editor_.Selected()) Show(editor_.Select(row));
  });
}

bool CTraceSettingsDialog::OnInitDialog() {
  {
    const QSignalBlocker block(kinds_);
    for (const auto& row : editor_.Rows()) kinds_->addItem(QString::fromStdString(row.name));
    kinds_->setCurrentIndex(editor_.Selected());
  }
  Show(editor_.Current());
  return true;
}

void CTraceSettingsDialog::Show(const TraceSettingsEditor::Fields& f) {
  minimum_->setText(QString::fromStdString(f.minimum));
  maximum_->setText(QString::fromStdString(f.maximum));
  horizontal_->setText(QString::fromStdString(f.horizontalLabels));
  vertical_->setText(QString::fromStdString(f.verticalLabels));
  for (QLineEdit* e : {minimum_, maximum_, horizontal_, vertical_}) e->setReadOnly(!f.editable);
  unit_->setText(QString::fromStdString(f.unit));
  showUnit_->setChecked(f.showUnit);
  autoRange_->setChecked(f.autoRange);
}

void CTraceSettingsDialog::OnOK() {
  TraceSettingsEditor::Fields f = editor_.Current();
  f.minimum = minimum_->text().toStdString();
  f.maximum = maximum_->text().toStdString();
  f.horizontalLabels = horizontal_->text().toStdString();
  f.verticalLabels = vertical_->text().toStdString();
  f.showUnit = showUnit_->isChecked();
  f.autoRange = autoRange_->isChecked();
  if (!editor_.Accept(f)) {
    UI::MessageBox(this, UI::LoadQString(kMaximumBelowMinimumText), UI::ApplicationTitle(),
                   UI::MB_OK | UI::MB_ICONEXCLAMATION);
    return;
  }
  EndDialog(UI::IDOK);
}

bool CTraceSettingsDialog::PreTranslateKey(QWidget* target, QKeyEvent* key) {
  if (target != minimum_ && target != maximum_) return false;
  switch (key->key()) {
    case Qt::Key_Backspace:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Left:
    case Qt::Key_Up:
    case Qt::Key_Right:
    case Qt::Key_Down:
    case Qt::Key_Delete:
    case Qt::Key_Minus:
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return false;
    default:
      // Digits of the main keyboard and of the keypad.
      return !(key->key() >= Qt::Key_0 && key->key() <= Qt::Key_9);
  }
}

}  // namespace ORV::Views
