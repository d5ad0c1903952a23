#include "instruments/ui/myograph_pane.h"

#include <QLineEdit>
#include <QPainter>

#include "core/base/configuration.h"
#include "core/experiment/experiment_data.h"
#include "instruments/pressure_myograph_k4x.h"
#include "instruments/ui/instrument_pane_parts.h"
#include "platform/ui/focus_edit.h"
#include "platform/ui/message_box.h"
#include "platform/ui/painting.h"
#include "platform/ui/string_table.h"

using namespace ORV::UI;
using PaneLogic = ORV::MyographPaneLogic;

namespace {

constexpr int kIncubationChamber = 2;

struct Place {
  int id;
  int full[4];  // left, top, right, bottom at 96 DPI; all 0 when the layout has no such control
  int pressureOnly[4];
};

// Buttons first, then the edits.
constexpr Place kButtons[] = {
    {PaneLogic::kHeaterOn, {85, 10, 130, 26}, {}},
    {PaneLogic::kHeaterOff, {135, 10, 185, 26}, {}},
    {PaneLogic::kChangeTemperature, {140, 40, 190, 73}, {}},
    {PaneLogic::kPressureOn, {85, 90, 130, 106}, {85, 10, 130, 26}},
    {PaneLogic::kPressureOff, {135, 90, 185, 106}, {135, 10, 185, 26}},
    {PaneLogic::kChangePressure, {130, 138, 190, 172}, {130, 58, 190, 92}},
    {PaneLogic::kZeroForce, {130, 241, 190, 264}, {}},
};
constexpr Place kEdits[] = {
    {PaneLogic::kCurrentTemperature, {26, 58, 66, 73}, {}},
    {PaneLogic::kTargetTemperature, {71, 56, 121, 73}, {}},
    {PaneLogic::kCurrentP1, {26, 138, 66, 156}, {26, 58, 66, 76}},
    {PaneLogic::kTargetP1, {71, 137, 121, 153}, {71, 58, 121, 76}},
    {PaneLogic::kCurrentP2, {26, 161, 66, 179}, {26, 81, 66, 99}},
    {PaneLogic::kTargetP2, {71, 160, 121, 176}, {71, 81, 121, 99}},
    {PaneLogic::kForce, {71, 246, 121, 264}, {}},
    {PaneLogic::kPH, {71, 310, 121, 328}, {71, 166, 121, 184}},
};

QString ButtonText(int id) {
  switch (id) {
    case PaneLogic::kHeaterOn:
    case PaneLogic::kPressureOn:
      return QStringLiteral("On");
    case PaneLogic::kHeaterOff:
    case PaneLogic::kPressureOff:
      return QStringLiteral("Off");
    case PaneLogic::kZeroForce:
      return QStringLiteral("Zero Force");
    default:
      return QStringLiteral("Change");
  }
}

bool IsTarget(int id) {
  return id == PaneLogic::kTargetTemperature || id == PaneLogic::kTargetP1 || id == PaneLogic::kTargetP2;
}

}  // namespace

CMyographWnd::CMyographWnd(const ORV::InstrumentPaneContext& context, ORV::PressureMyographK4x& device,
                           const QString& title, QWidget* parent)
    : MyographPaneBase(context, kObjectName, title, parent, WM_MYOGRAPH_PANE_SAMPLE, WM_MYOGRAPH_PANE_ACTIVE),
      device_(device),
      pressureOnly_(context.configuration.ProductType == kIncubationChamber),
      limits_{static_cast<float>(context.configuration.MinimumTemperature),
              static_cast<float>(context.configuration.MaximumTemperature), context.configuration.MinimumPressure,
              context.configuration.MaximumPressure} {
  ORV::TargetEntry* temperature = AddEntry(PaneLogic::kTargetTemperature);
  ORV::TargetEntry* p1 = AddEntry(PaneLogic::kTargetP1);
  ORV::TargetEntry* p2 = AddEntry(PaneLogic::kTargetP2);
  SetLogic(std::make_unique<PaneLogic>(device, Runner(), pressureOnly_, limits_, temperature, *p1, *p2));
}

int CMyographWnd::OnCreate() {
  const auto rect = [this](const Place& p) -> QRect {
    const int* r = pressureOnly_ ? p.pressureOnly : p.full;
    if (r[2] == 0) return {};
    return Rect96(r[0], r[1], r[2], r[3]);
  };
  for (const Place& p : kButtons) {
    const QRect r = rect(p);
    if (r.isNull()) continue;
    const bool change = p.id == PaneLogic::kChangeTemperature || p.id == PaneLogic::kChangePressure;
    AddButton(p.id, ButtonText(p.id), r, change);
  }
  for (const Place& p : kEdits) {
    const QRect r = rect(p);
    if (r.isNull()) continue;
    QLineEdit* edit = nullptr;
    if (IsTarget(p.id)) {
      const bool temperature = p.id == PaneLogic::kTargetTemperature;
      edit = AddEntryEdit(p.id, !temperature, temperature);
    }
    AddValueEdit(p.id, r, edit);
  }
  // Tab: target temperature -> P1 -> P2 -> target temperature.
  if (!pressureOnly_)
    LinkTabOrder({Entry(PaneLogic::kTargetTemperature), Entry(PaneLogic::kTargetP1), Entry(PaneLogic::kTargetP2)});
  if (device_.IsConnected()) {
    pressureRegistration_ = experiment_.RegisterPressureConsumer(this);
    Logic().Start();
  }
  StartUpdates();
  return 0;
}

void CMyographWnd::OnPaint(QPainter& painter) {
  constexpr int kLeft = Qt::AlignLeft | Qt::AlignVCenter;
  constexpr int kCentre = Qt::AlignCenter;
  const auto pressure = [&](int top) {  // the pressure section, its title at `top`
    DrawLabel(painter, Rect96(5, top, 85, top + 16), QStringLiteral("Pressure"), kLeft);
    DrawEtchedFrame(painter, Rect96(5, top + 20, 196, pressureOnly_ ? 126 : 206));
    PaintHeads(painter, top + 25);
    DrawLabel(painter, Rect96(8, top + 48, 26, top + 66), QStringLiteral("P1"), kLeft);
    DrawLabel(painter, Rect96(8, top + 71, 26, top + 89), QStringLiteral("P2"), kLeft);
  };
  if (pressureOnly_) {
    pressure(10);
    PaintProbe(painter, QStringLiteral("pH Probe"), 136);
  } else {
    DrawLabel(painter, Rect96(5, 10, 85, 26), QStringLiteral("Heater"), kLeft);
    DrawEtchedFrame(painter, Rect96(5, 30, 196, 80));
    PaintHeads(painter, 35);
    pressure(90);
    PaintProbe(painter, QStringLiteral("Force [mN]"), 216);
    PaintProbe(painter, QStringLiteral("pH Probe"), 280);
  }
  if (Logic().ShowsFlowState()) {
    const QRect r = pressureOnly_ ? Rect96(25, 105, 105, 123) : Rect96(25, 185, 105, 203);
    DrawLabel(painter, r, LoadQString(Logic().FlowEnabled() ? kFlowEnabledString : kNoFlowString), kCentre);
  }
}

void CMyographWnd::RunCommand(int id) {
  switch (id) {
    case PaneLogic::kHeaterOn:
      Report(Logic().HeaterOn());
      break;
    case PaneLogic::kChangeTemperature:
      Report(Logic().ChangeTemperature());
      break;
    case PaneLogic::kChangePressure:
      Report(Logic().ChangePressure());
      break;
    default:
      break;
  }
}

void CMyographWnd::Report(PaneLogic::Outcome outcome) {
  switch (outcome) {
    case PaneLogic::Outcome::OldFirmware:
      MessageBox(this, LoadQString(kORVPressureInterfacesSoftwareString), QString(), MB_OK | MB_ICONINFORMATION);
      break;
    case PaneLogic::Outcome::TemperatureOutOfRange:
      MessageBox(this, TemperatureRangeText(limits_.minimumTemperature, limits_.maximumTemperature),
                 LoadQString(kEnteredValueOutRangeString), MB_OK | MB_ICONERROR);
      break;
    case PaneLogic::Outcome::OutOfRange:
      MessageBox(this, LoadQString(kEnteredValueOutRangeString), LoadQString(kEnteredValueOutRangeString),
                 MB_OK | MB_ICONERROR);
      break;
    case PaneLogic::Outcome::P2AboveP1:
      MessageBox(this, LoadQString(kP2AboveP1String), LoadQString(kEnteredValueOutRangeString), MB_OK | MB_ICONERROR);
      break;
    default:
      break;
  }
}

void CMyographWnd::OnEnterKey(QKeyEvent*) {
  if (!pressureOnly_) Report(Logic().ChangeTemperature());
  Report(Logic().ChangePressure());
  UpdateControls();
}

void CMyographWnd::OnPressureData(const ORV::PMK4xData3& sample) {
  {
    std::lock_guard guard(lock_);
    queue_.push_back(sample);
  }
  PostMessage(WM_MYOGRAPH_PANE_SAMPLE);
}

void CMyographWnd::ShowQueuedSamples() {
  std::deque<ORV::PMK4xData3> samples;
  {
    std::lock_guard guard(lock_);
    samples.swap(queue_);
  }
  for (const ORV::PMK4xData3& sample : samples) Logic().TakeSample(sample);
}

void CMyographWnd::OnStateShown() {
  Client()->update();  // the flow state
}
