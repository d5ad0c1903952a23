#include "instruments/ui/myograph_pane.h"

#include <QLineEdit>
#include <QPainter>
#include <QTimer>

#include "core/base/configuration.h"
#include "core/experiment/experiment_data.h"
#include "instruments/pressure_myograph_k4x.h"
#include "instruments/ui/instrument_pane_parts.h"
#include "platform/ui/focus_edit.h"
#include "platform/ui/icon_button.h"
#include "platform/ui/message_box.h"
#include "platform/ui/painting.h"
#include "platform/ui/string_table.h"

using namespace ORV::UI;
using PaneLogic = ORV::MyographPaneLogic;

namespace {

constexpr int kIncubationChamber = 2;
constexpr int kUpdateMs = 200;  // how often the controls' enabled states are brought up to date

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
    : DockingPane(context.configuration, QString::fromLatin1(kObjectName), title, parent),
      experiment_(context.experiment),
      device_(device),
      pressureOnly_(context.configuration.ProductType == kIncubationChamber),
      limits_{static_cast<float>(context.configuration.MinimumTemperature),
              static_cast<float>(context.configuration.MaximumTemperature), context.configuration.MinimumPressure,
              context.configuration.MaximumPressure},
      runner_(std::make_unique<WorkerCommandRunner>(this)),
      temperatureEntry_(std::make_unique<FocusEditEntry>()),
      p1Entry_(std::make_unique<FocusEditEntry>()),
      p2Entry_(std::make_unique<FocusEditEntry>()),
      logic_(std::make_unique<PaneLogic>(device, *runner_, pressureOnly_, limits_, temperatureEntry_.get(), *p1Entry_,
                                         *p2Entry_)) {
  SetHandler(WM_MYOGRAPH_PANE_SAMPLE, [this](WPARAM w, LPARAM l) { return OnSamples(w, l); });
  SetHandler(WM_MYOGRAPH_PANE_ACTIVE, [this](WPARAM on, LPARAM) {
    logic_->SetActive(on != 0);
    return LRESULT{0};
  });
  logic_->onChanged = [this] { ShowState(); };
  RepaintOwnerWhenMoved(*this);
}

CMyographWnd::~CMyographWnd() {
  // Off the receiver list first: removal waits for a call under way.
  pressureRegistration_.Reset();
  runner_.reset();
  CloseMessageWindow();
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
    CIconButton* button = MakeIconButton(*this, ButtonText(p.id), r, p.id, change);
    QObject::connect(button, &QPushButton::clicked, this, [this, id = p.id] { OnCommand(id); });
    controls_[p.id] = button;
  }
  for (const Place& p : kEdits) {
    const QRect r = rect(p);
    if (r.isNull()) continue;
    QLineEdit* edit = nullptr;
    if (IsTarget(p.id)) {
      auto* focus = new CFocusEdit(Client());
      focus->enterHandler = this;
      focus->numericOnly = p.id != PaneLogic::kTargetTemperature;
      focus->decimalAllowed = p.id == PaneLogic::kTargetTemperature;
      edit = focus;
      (p.id == PaneLogic::kTargetTemperature ? temperatureEntry_
       : p.id == PaneLogic::kTargetP1        ? p1Entry_
                                             : p2Entry_)
          ->edit = focus;
    }
    controls_[p.id] = MakeValueEdit(*this, r, p.id, edit);
  }
  if (!pressureOnly_) {
    // Tab: target temperature -> P1 -> P2 -> target temperature.
    CFocusEdit* order[] = {temperatureEntry_->edit, p1Entry_->edit, p2Entry_->edit};
    for (int i = 0; i < 3; ++i) {
      order[i]->nextWindow = order[(i + 1) % 3];
      order[i]->previousWindow = order[(i + 2) % 3];
    }
  }
  if (device_.IsConnected()) {
    pressureRegistration_ = experiment_.RegisterPressureConsumer(this);
    logic_->Start();
  }
  updateTimer_ = new QTimer(this);
  QObject::connect(updateTimer_, &QTimer::timeout, this, [this] { UpdateControls(); });
  updateTimer_->start(kUpdateMs);
  UpdateControls();
  return 0;
}

void CMyographWnd::OnPaint(QPainter& painter) {
  constexpr int kLeft = Qt::AlignLeft | Qt::AlignVCenter;
  constexpr int kCentre = Qt::AlignCenter;
  const auto heads = [&](int top) {
    DrawLabel(painter, Rect96(26, top, 66, top + 18), QStringLiteral("Current"), kCentre);
    DrawLabel(painter, Rect96(71, top, 121, top + 18), QStringLiteral("Target"), kCentre);
  };
  const auto pressure = [&](int top) {  // the pressure section, its title at `top`
    DrawLabel(painter, Rect96(5, top, 85, top + 16), QStringLiteral("Pressure"), kLeft);
    DrawEtchedFrame(painter, Rect96(5, top + 20, 196, pressureOnly_ ? 126 : 206));
    heads(top + 25);
    DrawLabel(painter, Rect96(8, top + 48, 26, top + 66), QStringLiteral("P1"), kLeft);
    DrawLabel(painter, Rect96(8, top + 71, 26, top + 89), QStringLiteral("P2"), kLeft);
  };
  const auto probe = [&](const QString& title, int top) {  // a single-value section under a centred title
    DrawLabel(painter, Rect96(5, top, 195, top + 20), title, kCentre);
    DrawEtchedFrame(painter, Rect96(5, top + 20, 196, top + 54));
    DrawLabel(painter, Rect96(26, top + 30, 66, top + 48), QStringLiteral("Current"), kCentre);
  };
  if (pressureOnly_) {
    pressure(10);
    probe(QStringLiteral("pH Probe"), 136);
  } else {
    DrawLabel(painter, Rect96(5, 10, 85, 26), QStringLiteral("Heater"), kLeft);
    DrawEtchedFrame(painter, Rect96(5, 30, 196, 80));
    heads(35);
    pressure(90);
    probe(QStringLiteral("Force [mN]"), 216);
    probe(QStringLiteral("pH Probe"), 280);
  }
  if (logic_->ShowsFlowState()) {
    const QRect r = pressureOnly_ ? Rect96(25, 105, 105, 123) : Rect96(25, 185, 105, 203);
    DrawLabel(painter, r, LoadQString(logic_->FlowEnabled() ? kFlowEnabledString : kNoFlowString), kCentre);
  }
}

QWidget* CMyographWnd::Control(int id) const {
  const auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

CFocusEdit* CMyographWnd::TargetEdit(int id) const {
  return IsTarget(id) ? static_cast<CFocusEdit*>(Control(id)) : nullptr;
}

void CMyographWnd::OnCommand(int id) {
  switch (id) {
    case PaneLogic::kHeaterOn:
      Report(logic_->HeaterOn());
      break;
    case PaneLogic::kHeaterOff:
      logic_->HeaterOff();
      break;
    case PaneLogic::kPressureOn:
      logic_->PressureOn();
      break;
    case PaneLogic::kPressureOff:
      logic_->PressureOff();
      break;
    case PaneLogic::kChangeTemperature:
      Report(logic_->ChangeTemperature());
      break;
    case PaneLogic::kChangePressure:
      Report(logic_->ChangePressure());
      break;
    case PaneLogic::kZeroForce:
      logic_->ZeroForce();
      break;
    default:
      break;
  }
  UpdateControls();
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
  if (!pressureOnly_) Report(logic_->ChangeTemperature());
  Report(logic_->ChangePressure());
  UpdateControls();
}

void CMyographWnd::OnPressureData(const ORV::PMK4xData3& sample) {
  {
    std::lock_guard guard(lock_);
    queue_.push_back(sample);
  }
  PostMessage(WM_MYOGRAPH_PANE_SAMPLE);
}

void CMyographWnd::SetActive(bool on) { PostMessage(WM_MYOGRAPH_PANE_ACTIVE, on ? 1 : 0); }

LRESULT CMyographWnd::OnSamples(WPARAM, LPARAM) {
  std::deque<ORV::PMK4xData3> samples;
  {
    std::lock_guard guard(lock_);
    samples.swap(queue_);
  }
  for (const ORV::PMK4xData3& sample : samples) logic_->TakeSample(sample);
  return 0;
}

void CMyographWnd::ShowState() {
  for (int id : {PaneLogic::kCurrentTemperature, PaneLogic::kCurrentP1, PaneLogic::kCurrentP2, PaneLogic::kForce,
                 PaneLogic::kPH})
    if (auto* edit = static_cast<QLineEdit*>(Control(id))) edit->setText(logic_->ValueText(id));
  UpdateControls();
  Client()->update();  // the flow state
}

void CMyographWnd::UpdateControls() {
  for (const auto& [id, control] : controls_) control->setEnabled(logic_->Enabled(id));
}
