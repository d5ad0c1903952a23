#include "instruments/ui/heater_pane.h"

#include <QLineEdit>
#include <QPainter>

#include "core/base/configuration.h"
#include "instruments/heat_controller.h"
#include "instruments/ui/instrument_pane_parts.h"
#include "instruments/ui/set_differences_dialog.h"
#include "instruments/ui/set_value_dialog.h"
#include "platform/ui/icon_button.h"
#include "platform/ui/message_box.h"
#include "platform/ui/painting.h"
#include "platform/ui/string_table.h"

using namespace ORV::UI;

namespace {

// Each chamber's row: top and bottom of the edits, 23 pixels apart.
constexpr int RowTop(int chamber) { return 58 + 23 * chamber; }

}  // namespace

CHeaterPane::CHeaterPane(const ORV::InstrumentPaneContext& context, ORV::HeatController& device, const QString& title,
                         QWidget* parent)
    : DockingPane(context.configuration, QString::fromLatin1(kObjectName), title, parent),
      inbox_(std::make_shared<ORV::SampleInbox>(Target())),
      runner_(std::make_unique<WorkerCommandRunner>(this)),
      logic_(std::make_unique<ORV::HeaterPaneLogic>(device, *runner_,
                                                    static_cast<float>(context.configuration.MinimumTemperature),
                                                    static_cast<float>(context.configuration.MaximumTemperature))) {
  SetHandler(ORV::WM_NEW_SAMPLE, [this](WPARAM w, LPARAM l) { return OnNewSample(w, l); });
  logic_->onChanged = [this] { ShowState(); };
  RepaintOwnerWhenMoved(*this);
}

CHeaterPane::~CHeaterPane() {
  runner_.reset();  // the command under way finishes before the logic goes
}

int CHeaterPane::OnCreate() {
  for (int i = 0; i < 4; ++i) {
    const int top = RowTop(i);
    currentEdits_[i] = MakeValueEdit(*this, Rect96(26, top, 66, top + 15), kFirstCurrentEditId + 3 * i);
    targetEdits_[i] = MakeValueEdit(*this, Rect96(81, top, 121, top + 15), kFirstCurrentEditId + 3 * i + 1);
    setButtons_[i] = MakeIconButton(*this, QStringLiteral("Set"), Rect96(140, top - 2, 190, top + 18),
                                    kFirstCurrentEditId + 3 * i + 2);
    QObject::connect(setButtons_[i], &QPushButton::clicked, this, [this, i] { OnSetTarget(i); });
  }
  differencesButton_ =
      MakeIconButton(*this, QStringLiteral("Set differences"), Rect96(40, 150, 150, 170), kSetDifferencesId);
  QObject::connect(differencesButton_, &QPushButton::clicked, this, [this] { OnSetDifferences(); });
  logic_->Refresh();
  return 0;
}

void CHeaterPane::OnPaint(QPainter& painter) {
  constexpr int kLeft = Qt::AlignLeft | Qt::AlignVCenter;
  constexpr int kCentre = Qt::AlignCenter;
  DrawLabel(painter, Rect96(5, 10, 195, 30), QStringLiteral("Chambers"), kLeft);
  DrawEtchedFrame(painter, Rect96(5, 30, 196, 180));
  painter.setFont(PanelFont());
  DrawLabel(painter, Rect96(26, 35, 66, 53), QStringLiteral("Current"), kCentre);
  DrawLabel(painter, Rect96(81, 35, 121, 53), QStringLiteral("Target"), kCentre);
  for (int i = 0; i < 4; ++i)
    DrawLabel(painter, Rect96(8, RowTop(i), 26, RowTop(i) + 18), QString::number(i + 1), kCentre);
}

QRect CHeaterPane::RowOnScreen(int chamber) const {
  QRect row;
  for (const QWidget* w :
       {static_cast<const QWidget*>(currentEdits_[chamber]), static_cast<const QWidget*>(targetEdits_[chamber]),
        static_cast<const QWidget*>(setButtons_[chamber])})
    row |= QRect(w->mapToGlobal(QPoint(0, 0)), w->size());
  return row;
}

LRESULT CHeaterPane::OnNewSample(WPARAM kind, LPARAM ticket) {
  if (kind != ORV::kDeviceHeatController) return 0;
  if (auto sample = inbox_->Take<ORV::HeatControllerSample>(ticket)) logic_->TakeSample(*sample);
  return 0;
}

void CHeaterPane::ShowState() {
  if (differencesButton_ == nullptr) return;  // not created yet
  for (std::size_t i = 0; i < 4; ++i) {
    const bool on = logic_->ChamberEnabled(i);
    currentEdits_[i]->setText(logic_->CurrentText(i));
    targetEdits_[i]->setText(logic_->TargetText(i));
    currentEdits_[i]->setEnabled(on);
    targetEdits_[i]->setEnabled(on);
    setButtons_[i]->setEnabled(on);
  }
  differencesButton_->setEnabled(logic_->DifferencesEnabled());
}

void CHeaterPane::OnSetTarget(int chamber) {
  if (!logic_->Connected()) return;
  CSetValueDialog dialog(this);
  // The dialog says which chamber it sets and opens beside that chamber's
  // row, clear of the row's own Set button.
  dialog.labelText = LoadQString(kTargetTemperatureChamberString) + u' ' + QString::number(chamber + 1);
  dialog.OpenBeside(RowOnScreen(chamber));
  dialog.balloonTitle = LoadQString(kEnteredValueOutRangeString);
  dialog.balloonText = LoadQString(kTargetTemperatureRangeString);
  dialog.minimum = logic_->Minimum();
  dialog.maximum = logic_->Maximum();
  dialog.decimalFlag = 1;
  dialog.initialText = QString::number(static_cast<double>(logic_->Targets()[chamber]), 'f', 1);
  if (dialog.DoModal() != IDOK) return;
  bool ok = false;
  const float value = QString(dialog.resultText).replace(QLatin1Char(','), QLatin1Char('.')).toFloat(&ok);
  if (!ok || logic_->SetTarget(chamber, value) == ORV::HeaterPaneLogic::Outcome::OutOfRange)
    MessageBox(this, LoadQString(kTargetTemperatureRangeString), LoadQString(kEnteredValueOutRangeString),
               MB_OK | MB_ICONSTOP);
}

void CHeaterPane::OnSetDifferences() {
  if (!logic_->Connected()) return;
  CSetDifferencesDialog dialog(this);
  dialog.OpenBeside(QRect(differencesButton_->mapToGlobal(QPoint(0, 0)), differencesButton_->size()));
  dialog.values = logic_->Differences();
  if (dialog.DoModal() != IDOK) return;
  logic_->SetDifferences(dialog.values);
}
