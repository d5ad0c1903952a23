#include "instruments/ui/myograph_pane_logic.h"

#include <cmath>
#include <memory>

#include "instruments/pressure_myograph_k4x.h"

namespace ORV {

namespace {

constexpr std::uint32_t kFirstFirmwareWithHeaterSwitch = 3;  // "V3.30"

QString Fixed(float value, int decimals) { return QString::number(static_cast<double>(value), 'f', decimals); }

// An entry's text as a number; "," is taken as the decimal point.
double ReadNumber(const TargetEntry& entry, bool& ok) {
  return entry.Text().trimmed().replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok);
}

}  // namespace

MyographPaneLogic::MyographPaneLogic(PressureMyographK4x& device, UI::CommandRunner& runner, bool pressureOnly,
                                     const Limits& limits, TargetEntry* temperature, TargetEntry& p1, TargetEntry& p2)
    : device_(device),
      runner_(runner),
      pressureOnly_(pressureOnly),
      limits_(limits),
      temperatureEntry_(pressureOnly ? nullptr : temperature),
      p1Entry_(p1),
      p2Entry_(p2) {}

bool MyographPaneLogic::Connected() const { return device_.IsConnected(); }

void MyographPaneLogic::Start() {
  if (!Connected()) return;
  auto state = std::make_shared<std::pair<std::uint32_t, bool>>();
  runner_.Run(
      [this, state] {
        *state = {device_.FirmwareIndex(), device_.GetFlowValid()};
      },
      [this, state] {
        firmwareCode_ = state->first;
        flowEnabled_ = state->second;
        Changed();
      });
}

void MyographPaneLogic::TakeSample(const PMK4xData3& sample) {
  if (skipNextSample_) {
    skipNextSample_ = false;
    return;
  }
  if (!active_) {
    pressureOn_ = false;
    if (!pressureOnly_) heaterOn_ = false;
    readings_.Clear();
    for (TargetEntry* entry : {temperatureEntry_, &p1Entry_, &p2Entry_})
      if (entry != nullptr && !entry->Editing()) entry->SetText(QString());
  } else {
    targetTemperature_ = sample.temperatureTarget;
    targetP1_ = static_cast<int>(std::trunc(sample.targetP1));
    targetP2_ = static_cast<int>(std::trunc(sample.targetP2));
    if (!pressureOnly_) {
      heaterOn_ = sample.switch1 != 0;
      readings_.temperature = Fixed(sample.temperature, 1);
      readings_.force = Fixed(sample.force, 2);
      if (!temperatureEntry_->Editing()) temperatureEntry_->SetText(Fixed(targetTemperature_, 1));
    }
    pressureOn_ = sample.switch4 != 0;
    readings_.p1 = Fixed(sample.p1, 1);
    readings_.p2 = Fixed(sample.p2, 1);
    readings_.pH = Fixed(sample.pH, 2);
    if (!p1Entry_.Editing()) p1Entry_.SetText(QString::number(targetP1_));
    if (!p2Entry_.Editing()) p2Entry_.SetText(QString::number(targetP2_));
  }
  flowEnabled_ = sample.flowValid != 0;
  Changed();
}

void MyographPaneLogic::SetActive(bool on) {
  active_ = on;
  pressureOn_ = on;
  if (!pressureOnly_) heaterOn_ = on;
  Changed();
}

MyographPaneLogic::Outcome MyographPaneLogic::HeaterOn() {
  if (pressureOnly_) return Outcome::Refused;
  if (firmwareCode_ < kFirstFirmwareWithHeaterSwitch) return Outcome::OldFirmware;
  return Switch(true, true);
}

MyographPaneLogic::Outcome MyographPaneLogic::Switch(bool heater, bool on) {
  if ((heater && pressureOnly_) || !active_) return Outcome::Refused;
  skipNextSample_ = true;
  if (!Connected()) return Outcome::Refused;
  bool& state = heater ? heaterOn_ : pressureOn_;
  const bool before = state;
  if (!heater) state = on;  // the pressure switch shows at once
  auto accepted = std::make_shared<bool>(false);
  runner_.Run([this, heater, on, accepted] { *accepted = heater ? device_.SetSwitch1(on) : device_.SetSwitch4(on); },
              [this, &state, before, on, accepted] {
                state = *accepted ? on : before;
                skipNextSample_ = true;
                Changed();
              });
  Changed();
  return Outcome::Done;
}

MyographPaneLogic::Outcome MyographPaneLogic::ChangeTemperature() {
  if (temperatureEntry_ == nullptr || !active_ || !Connected()) return Outcome::Refused;
  bool ok = false;
  const double t = ReadNumber(*temperatureEntry_, ok);
  if (!ok || t < limits_.minimumTemperature || t > limits_.maximumTemperature) {
    temperatureEntry_->EndEditing();
    return Outcome::TemperatureOutOfRange;
  }
  const float target = static_cast<float>(t);
  temperatureEntry_->SetText(Fixed(target, 1));
  temperatureEntry_->EndEditing();
  skipNextSample_ = true;
  auto accepted = std::make_shared<bool>(false);
  runner_.Run([this, target, accepted] { *accepted = device_.SetTemperature(target); },
              [this, accepted] {
                if (!*accepted) temperatureEntry_->SetText(Fixed(targetTemperature_, 1));
                skipNextSample_ = true;
                Changed();
              });
  return Outcome::Done;
}

MyographPaneLogic::Outcome MyographPaneLogic::ChangePressure() {
  if (!Connected()) return Outcome::Refused;
  skipNextSample_ = true;
  bool ok1 = false, ok2 = false;
  const double p1 = std::trunc(ReadNumber(p1Entry_, ok1));
  const double p2 = std::trunc(ReadNumber(p2Entry_, ok2));
  const auto inRange = [this](double p) { return p >= limits_.minimumPressure && p <= limits_.maximumPressure; };
  if (!ok1 || !ok2 || !inRange(p1) || !inRange(p2)) return Outcome::OutOfRange;
  if (p2 > p1) return Outcome::P2AboveP1;
  const bool send1 = p1Entry_.Editing(), send2 = p2Entry_.Editing();
  if (send1) p1Entry_.EndEditing();
  if (send2) p2Entry_.EndEditing();
  if (!send1 && !send2) return Outcome::Done;
  auto accepted = std::make_shared<std::pair<bool, bool>>(true, true);
  const int v1 = static_cast<int>(p1), v2 = static_cast<int>(p2);
  runner_.Run(
      [this, send1, send2, v1, v2, accepted] {
        if (send1) accepted->first = device_.SetTargetP1(v1);
        if (send2) accepted->second = device_.SetTargetP2(v2);
      },
      [this, accepted] {
        if (!accepted->first) p1Entry_.SetText(QString::number(targetP1_));
        if (!accepted->second) p2Entry_.SetText(QString::number(targetP2_));
        skipNextSample_ = true;
        Changed();
      });
  return Outcome::Done;
}

MyographPaneLogic::Outcome MyographPaneLogic::ZeroForce() {
  if (pressureOnly_ || !active_) return Outcome::Refused;
  skipNextSample_ = true;
  if (!Connected()) return Outcome::Refused;
  runner_.Run([this] { device_.ZeroForce(); }, {});
  return Outcome::Done;
}

void MyographPaneLogic::EnterKey() {
  if (!pressureOnly_) ChangeTemperature();
  ChangePressure();
}

bool MyographPaneLogic::Enabled(int control) const {
  if (!active_) return false;
  switch (control) {
    case kHeaterOn:
      return !heaterOn_;
    case kHeaterOff:
      return heaterOn_;
    case kPressureOn:
      return !pressureOn_;
    case kPressureOff:
      return pressureOn_;
    case kChangeTemperature:
      return temperatureEntry_ != nullptr && temperatureEntry_->Editing();
    case kChangePressure:
    case kCurrentP1:
    case kCurrentP2:
      return p1Entry_.Editing() || p2Entry_.Editing();
    default:
      return true;
  }
}

}  // namespace ORV
