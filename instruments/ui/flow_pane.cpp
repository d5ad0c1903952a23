#include "instruments/ui/flow_pane.h"

#include <QLineEdit>
#include <QPainter>

#include "core/experiment/experiment_data.h"
#include "instruments/ui/instrument_pane_parts.h"
#include "platform/ui/painting.h"
#include "platform/ui/string_table.h"

using namespace ORV::UI;

CFlowPane::CFlowPane(const ORV::InstrumentPaneContext& context, const QString& title, QWidget* parent)
    : DockingPane(context.configuration, QString::fromLatin1(kObjectName), title, parent),
      experiment_(context.experiment) {
  SetHandler(WM_FLOW_PANE_FLOW, [this](WPARAM w, LPARAM l) { return OnFlowArrived(w, l); });
  RepaintOwnerWhenMoved(*this);
}

CFlowPane::~CFlowPane() {
  // Off the receiver lists first: once removed, the sampling thread no longer
  // calls in (removal waits for a call under way), so nothing posts or
  // queues after this.
  flowRegistration_.Reset();
  flow_.Clear();
}

int CFlowPane::OnCreate() {
  flowRegistration_ = experiment_.RegisterFlowConsumer(this);
  flowEdit_ = new QLineEdit(Client());
  flowEdit_->setObjectName(QStringLiteral("flowEdit"));
  flowEdit_->setGeometry(Rect96(140, 50, 180, 70));
  flowEdit_->setFont(PanelFont());
  flowEdit_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  flowEdit_->setText(QString());
  flowEdit_->setReadOnly(true);
  flowEdit_->show();
  return 0;
}

void CFlowPane::OnPaint(QPainter& painter) {
  constexpr int kLeftMiddle = Qt::AlignLeft | Qt::AlignVCenter;
  DrawLabel(painter, Rect96(8, 15, 120, 30), LoadQString(kFlowMeterTitleString), kLeftMiddle);
  DrawEtchedFrame(painter, Rect96(5, 30, 196, 80));
  DrawLabel(painter, Rect96(8, 50, 120, 70), LoadQString(kFlowMeterLabelString), kLeftMiddle);
}

void CFlowPane::OnFlowData(const ORV::FMASL1600Data& sample) {
  flow_.Put(sample, [this] { return PostMessage(WM_FLOW_PANE_FLOW); });
}

LRESULT CFlowPane::OnFlowArrived(WPARAM, LPARAM) {
  ORV::FMASL1600Data sample;
  if (!flow_.Take(sample)) return 0;
  if (flowEdit_ != nullptr) flowEdit_->setText(QString::number(sample.flow));
  return 0;
}

void CFlowPane::SetActive(bool on) {
  if (!on && flowEdit_ != nullptr) flowEdit_->setText(QString());
}

void CFlowPane::OnEnterKey(QKeyEvent*) {}

void CFlowPane::OnPressureData(const ORV::PMK4xData3&) {}
