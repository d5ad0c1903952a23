#include "instruments/ui/multi_myograph_pane.h"

#include <QLineEdit>
#include <QPainter>
#include <vector>

#include "core/base/configuration.h"
#include "core/experiment/experiment_data.h"
#include "instruments/pressure_multi_myograph_k4x.h"
#include "instruments/ui/instrument_pane_parts.h"
#include "platform/ui/focus_edit.h"
#include "platform/ui/message_box.h"
#include "platform/ui/painting.h"
#include "platform/ui/string_table.h"

using namespace ORV::UI;
using PaneLogic = ORV::MultiMyographPaneLogic;

namespace {

constexpr int kIncubationChamber = 2;

enum class Kind { Button, IconButton, Value, Entry, IntegerEntry };

struct Place {
  int id;
  Kind kind;
  QRect rect;  // edges at 96 DPI, held as left, top, right, bottom
};

Place At(int id, Kind kind, int left, int top, int right, int bottom) {
  return {id, kind, QRect(QPoint(left, top), QPoint(right, bottom))};
}

// The top of the pH heading, and of the pulsation group's heading.
int PHTop(const PaneLogic::Variant& v) {
  if (v.incubation) return 160;
  return (v.HasForce() ? 304 : 240) - (v.SinglePressure() ? 42 : 0);
}
constexpr int kPulsationTop = 368;
constexpr int kPulsationRow = kPulsationTop + 30;

// The controls of a variant, buttons first.
std::vector<Place> Layout(const PaneLogic::Variant& v) {
  using L = PaneLogic;
  std::vector<Place> places;
  const auto add = [&](int id, Kind kind, int l, int t, int r, int b) { places.push_back(At(id, kind, l, t, r, b)); };
  const bool single = v.SinglePressure();
  // The pressure group starts under the heater group, or at the top.
  const int shift = v.incubation ? -80 : 0;
  if (v.HasHeater()) {
    add(L::kHeaterOn, Kind::Button, 85, 10, 130, 26);
    add(L::kHeaterOff, Kind::Button, 135, 10, 185, 26);
    add(L::kChangeTemperature, Kind::IconButton, 140, 40, 190, 73);
  }
  add(L::kPressureOn, Kind::Button, 85, 90 + shift, 130, 106 + shift);
  add(L::kPressureOff, Kind::Button, 135, 90 + shift, 185, 106 + shift);
  if (v.incubation)
    add(L::kChangePressures, Kind::IconButton, 130, single ? 60 : 70, 190, single ? 94 : 104);
  else
    add(L::kChangePressures, Kind::IconButton, 166, single ? 140 : 150, 190, single ? 174 : 184);
  if (v.HasFlow()) {
    const int top = v.incubation ? 124 : 206;
    add(L::kFlowOn, Kind::Button, 71, top, 121, top + 18);
    add(L::kFlowOff, Kind::Button, 130, top, 180, top + 18);
  }
  if (v.HasForce()) add(L::kZeroForce, Kind::Button, 130, 265, 190, 288);
  if (v.Pulsation() && !v.incubation) {
    const int row = kPulsationRow;
    add(L::kChangePulsation, Kind::IconButton, 130, row + 10, 190, row + 44);
    add(L::kPulsationOn, Kind::Button, 71, row + 52, 121, row + 70);
    add(L::kPulsationOff, Kind::Button, 130, row + 52, 180, row + 70);
  }
  if (v.HasHeater()) {
    add(L::kCurrentTemperature, Kind::Value, 26, 58, 66, 73);
    add(L::kTargetTemperature, Kind::Entry, 71, 56, 121, 73);
  }
  const int p1 = 138 + shift;
  add(L::kCurrentP1, Kind::Value, 26, p1, 66, p1 + 18);
  add(L::kTargetP1, Kind::Entry, 71, p1, 121, p1 + 18);
  if (v.HasP2()) {
    add(L::kCurrentP2, Kind::Value, 26, p1 + 23, 66, p1 + 41);
    add(L::kTargetP2, Kind::Entry, 71, p1 + 23, 121, p1 + 41);
  }
  const int gradient = p1 + (single ? 23 : 46);
  add(L::kGradient, Kind::Entry, 71, gradient, 121, gradient + 18);
  if (v.HasForce()) add(L::kForce, Kind::Value, 71, 270, 121, 288);
  const int pH = PHTop(v) + 30;
  add(L::kPH, Kind::Value, 71, pH, 121, pH + 18);
  if (v.Pulsation() && !v.incubation) {
    add(L::kPulseRate, Kind::IntegerEntry, 71, kPulsationRow, 121, kPulsationRow + 18);
    add(L::kDutyRate, Kind::IntegerEntry, 71, kPulsationRow + 26, 121, kPulsationRow + 44);
  }
  return places;
}

QString ButtonText(int id) {
  switch (id) {
    case PaneLogic::kHeaterOn:
    case PaneLogic::kPressureOn:
    case PaneLogic::kFlowOn:
    case PaneLogic::kPulsationOn:
      return LoadQString(kOnString);
    case PaneLogic::kHeaterOff:
    case PaneLogic::kPressureOff:
    case PaneLogic::kFlowOff:
    case PaneLogic::kPulsationOff:
      return LoadQString(kOffString);
    case PaneLogic::kZeroForce:
      return QStringLiteral("Zero Force");
    case PaneLogic::kChangePressures:
      return QString();  // the icon only
    default:
      return QStringLiteral("Change");
  }
}

}  // namespace

CMyographMultiWnd::CMyographMultiWnd(const ORV::InstrumentPaneContext& context, ORV::PressureMultiMyographK4x& device,
                                     const QString& title, QWidget* parent)
    : MyographPaneBase(context, kObjectName, title, parent, WM_MULTI_PANE_SAMPLE, WM_MULTI_PANE_ACTIVE),
      variant_{context.configuration.ProductType == kIncubationChamber, device.ModelCode()},
      limits_{static_cast<float>(context.configuration.MinimumTemperature),
              static_cast<float>(context.configuration.MaximumTemperature),
              static_cast<float>(context.configuration.MinimumPressure),
              static_cast<float>(context.configuration.MaximumPressure)} {
  PaneLogic::Entries entries;
  for (const Place& p : Layout(variant_)) {
    if (p.kind != Kind::Entry && p.kind != Kind::IntegerEntry) continue;
    ORV::TargetEntry* entry = AddEntry(p.id);
    switch (p.id) {
      case PaneLogic::kTargetTemperature:
        entries.temperature = entry;
        break;
      case PaneLogic::kTargetP1:
        entries.p1 = entry;
        break;
      case PaneLogic::kTargetP2:
        entries.p2 = entry;
        break;
      case PaneLogic::kGradient:
        entries.gradient = entry;
        break;
      case PaneLogic::kPulseRate:
        entries.pulseRate = entry;
        break;
      default:
        entries.dutyRate = entry;
        break;
    }
  }
  SetLogic(std::make_unique<PaneLogic>(device, Runner(), variant_, limits_, entries, context.deviceClock));
}

int CMyographMultiWnd::OnCreate() {
  std::vector<CFocusEdit*> tabOrder;
  for (const Place& p : Layout(variant_)) {
    const QRect r = Rect96(p.rect.left(), p.rect.top(), p.rect.right(), p.rect.bottom());
    if (p.kind == Kind::Button || p.kind == Kind::IconButton) {
      AddButton(p.id, ButtonText(p.id), r, p.kind == Kind::IconButton);
      continue;
    }
    QLineEdit* edit = nullptr;
    if (p.kind != Kind::Value) {
      CFocusEdit* focus = AddEntryEdit(p.id, true, p.kind == Kind::Entry);
      tabOrder.push_back(focus);
      edit = focus;
    }
    AddValueEdit(p.id, r, edit);
  }
  LinkTabOrder(tabOrder);
  if (Logic().Start()) {
    pressureRegistration_ = experiment_.RegisterPressureConsumer(this);
  }
  StartUpdates();
  return 0;
}

void CMyographMultiWnd::OnPaint(QPainter& painter) {
  constexpr int kLeft = Qt::AlignLeft | Qt::AlignVCenter;
  constexpr int kCentre = Qt::AlignCenter;
  const auto text = [&](int l, int t, int r, int b, const QString& s, int align) {
    DrawLabel(painter, Rect96(l, t, r, b), s, align);
  };
  const bool single = variant_.SinglePressure();
  const int shift = variant_.incubation ? -80 : 0;
  if (variant_.HasHeater()) {
    text(5, 10, 85, 26, QStringLiteral("Heater"), kLeft);
    DrawEtchedFrame(painter, Rect96(5, 30, 196, 80));
    PaintHeads(painter, 35);
  }
  text(5, 90 + shift, 85, 106 + shift, QStringLiteral("Pressure"), kLeft);
  const int frameBottom = variant_.incubation ? 150 : variant_.HasFlow() ? 230 : 188;
  DrawEtchedFrame(painter, Rect96(5, 110 + shift, 196, frameBottom));
  PaintHeads(painter, 115 + shift);
  const int p1 = 138 + shift;
  text(8, p1, 26, p1 + 18, QStringLiteral("P1"), kLeft);
  if (variant_.HasP2()) text(8, p1 + 23, 26, p1 + 41, QStringLiteral("P2"), kLeft);
  const int gradient = p1 + (single ? 23 : 46);
  text(8, gradient, 66, gradient + 18, QStringLiteral("Gradient"), kLeft);
  if (variant_.HasFlow()) text(8, p1 + 69, 66, p1 + 87, QStringLiteral("Flow"), kLeft);
  if (variant_.HasForce()) PaintProbe(painter, QStringLiteral("Force [mN]"), 240);
  PaintProbe(painter, QStringLiteral("pH Probe"), PHTop(variant_));
  if (variant_.Pulsation() && !variant_.incubation) {
    const int top = kPulsationTop;
    text(5, top, 195, top + 18, QStringLiteral("Pulsatile Pressure"), kCentre);
    // The frame ends inside the pane.
    DrawEtchedFrame(painter, Rect96(5, top + 20, 196, variant_.Height96() - 4));
    text(10, top + 32, 70, top + 50, QStringLiteral("Pulse Rate"), kLeft);
    text(10, top + 59, 70, top + 77, QStringLiteral("Duty Rate"), kLeft);
    text(10, top + 86, 70, top + 104, QStringLiteral("Pulsation"), kLeft);
  }
}

void CMyographMultiWnd::RunCommand(int id) {
  switch (id) {
    case PaneLogic::kHeaterOn:
      Logic().HeaterOn();
      break;
    case PaneLogic::kFlowOn:
      Logic().FlowOn();
      break;
    case PaneLogic::kFlowOff:
      Logic().FlowOff();
      break;
    case PaneLogic::kChangeTemperature:
      Report(Logic().ChangeTemperature());
      break;
    case PaneLogic::kChangePressures:
      Report(Logic().ChangePressures());
      break;
    case PaneLogic::kChangePulsation:
      Report(Logic().ChangePulsation());
      break;
    case PaneLogic::kPulsationOn:
      Logic().PulsationOn();
      break;
    case PaneLogic::kPulsationOff:
      Logic().PulsationOff();
      break;
    default:
      break;
  }
}

void CMyographMultiWnd::Report(const PaneLogic::Messages& messages) {
  using Message = PaneLogic::Message;
  const QString caption = LoadQString(kEnteredValueOutRangeString);
  for (const Message m : messages) {
    QString text;
    switch (m) {
      case Message::TemperatureRange:
        text = TemperatureRangeText(limits_.minimumTemperature, limits_.maximumTemperature);
        break;
      case Message::PressureRange:
        text = caption;
        break;
      case Message::P2AboveP1:
        text = LoadQString(kP2AboveP1String);
        break;
      case Message::GradientRange:
        text = LoadQString(kGradientValueOutRangeString);
        break;
      case Message::DutyRange:
        text = LoadQString(kEnteredDutyRateBetweenString);
        break;
      case Message::PulseRange:
        text = LoadQString(kEnteredPulseRateBetweenString);
        break;
    }
    MessageBox(this, text, caption, MB_OK | MB_ICONERROR);
  }
}

void CMyographMultiWnd::OnEnterKey(QKeyEvent*) {
  Report(Logic().EnterKey());
  UpdateControls();
}

void CMyographMultiWnd::OnPressureData(const ORV::PMK4xData3& sample) {
  if (!Logic().AcceptSample()) return;
  sample_.Put(sample, [this] { return PostMessage(WM_MULTI_PANE_SAMPLE); });
}

void CMyographMultiWnd::ShowQueuedSamples() {
  ORV::PMK4xData3 newest;
  if (sample_.Take(newest)) Logic().ShowSample(newest);
}
